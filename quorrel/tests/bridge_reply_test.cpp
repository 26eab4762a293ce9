// Replies to TKInvoke and TKCall requests, and registered event callbacks.
#include "bridge_test_support.h"

namespace {

using Replies = BridgeTest;
using Events = BridgeTest;

Json::Value oneInt(int v) {
  Json::Value args(Json::arrayValue);
  args.append(TestBrowser::Int(v));
  return args;
}

const char kCallbacks[] =
    "function ok(t) { log.push(['ok', t]); }"
    "function fail(c, t) { log.push(['fail', c, t]); }";

TEST_F(Replies, PickTheCallbackByCodeAndAvailability) {
  helper->Run(1, kCallbacks);
  helper->Run(1, "TKInvoke({name: 'both', args: [], onSuccess: ok, onFailure: fail})");                 // 1
  helper->Run(1, "TKInvoke({name: 'both', args: [], onSuccess: ok, onFailure: fail})");                 // 2
  helper->Run(1, "TKInvoke({name: 'failure only', args: [], onFailure: fail})");                        // 3
  helper->Run(1, "TKInvoke({name: 'success only', args: [], onSuccess: ok})");                          // 4
  helper->Run(1, "TKInvoke({name: 'none', args: []})");                                                 // 5
  helper->Run(1, "TKCall('call', 1, function(c, t) { log.push(['call', c, t, arguments.length]); })");  // 6
  helper->Run(1, "TKCall('call', 2, function(c, t) { log.push(['call', c, t]); })");                    // 7
  helper->Reply(1, 1, 0, "r1");
  helper->Reply(1, 2, 5, "e2");
  helper->Reply(1, 3, 0, "r3");
  helper->Reply(1, 4, 9, "e4");
  helper->Reply(1, 5, 0, "r5");
  helper->Reply(1, 6, 0, "r6");
  helper->Reply(1, 7, -3, "e7");
  EXPECT_TRUE(ProcessMessages(helper->Sync()).empty());
  EXPECT_EQ(Log(), R"([["ok","r1"],["fail",5,"e2"],["fail",0,"r3"],["call",0,"r6",2],["call",-3,"e7"]])");
}

TEST_F(Replies, AreHandledOnceAndUnknownIdsAreIgnored) {
  helper->Run(1, kCallbacks);
  helper->Run(1, "TKInvoke({name: 'x', args: [], onSuccess: ok})");
  helper->Run(1, "TKCall('x', 5)");  // no callback: its reply finds nothing
  helper->Reply(1, 1, 0, "first");
  helper->Reply(1, 1, 0, "second");
  helper->Reply(1, 2, 0, "ignored");
  helper->Reply(1, 99, 0, "unknown");
  helper->SendMessage(1, "TKInvoke", Json::Value(Json::arrayValue));  // malformed: no id
  EXPECT_EQ(Log(), R"([["ok","first"]])");
}

TEST_F(Replies, RunInTheRequestingContextWithoutReceiver) {
  helper->CreateContext(1, 11, false, 2, "var where = 'child'; var log = [];");
  helper->Run(1, "var where = 'main';");
  helper->Run(2,
              "TKInvoke({name: 'x', args: [], onSuccess: function(t) { log.push(where, this === undefined || "
              "this === globalThis ? 'global' : 'other'); }})");
  helper->Reply(1, 1, 0, "r");
  EXPECT_EQ(Log(2), R"(["child","global"])");
  EXPECT_EQ(Log(1), "[]");
}

TEST_F(Replies, ForAReleasedContextAreDroppedWithoutCalls) {
  helper->CreateContext(1, 11, false, 2, "var log = [];");
  helper->Run(1, kCallbacks);
  helper->Run(2, "TKInvoke({name: 'x', args: [], onSuccess: function() { log.push('child'); }})");  // 1
  helper->Run(1, "TKInvoke({name: 'x', args: [], onSuccess: ok})");                                 // 2
  helper->ReleaseContext(2);
  helper->Reply(1, 1, 0, "late");
  helper->Reply(1, 2, 0, "main");
  EXPECT_TRUE(helper->Sync().empty());
  EXPECT_EQ(Log(), R"([["ok","main"]])");
}

// U+1F600 and U+20000: the page writes them as surrogate pairs, and text
// from the browser must arrive in that same form to compare equal.
const char kBeyondTheBasicPlane[] = "\xF0\x9F\x98\x80 \xF0\xA0\x80\x80";
const char kAsThePageWritesIt[] = "'\\ud83d\\ude00 \\ud840\\udc00'";

TEST_F(Replies, CarryTextBeyondTheBasicPlaneAsThePageWritesIt) {
  EXPECT_EQ(helper->Run(1, std::string("var wide = ") + kAsThePageWritesIt + "; wide.length"), "5");
  helper->Run(1,
              "TKInvoke({name: 'x', args: [], onSuccess: function(t) { log.push(t === wide, t.length); }})");
  helper->Reply(1, 1, 0, kBeyondTheBasicPlane);
  EXPECT_EQ(Log(), "[true,5]");
}

TEST_F(Replies, ThatThrowDoNotDisturbTheHelper) {
  helper->Run(1,
              "TKInvoke({name: 'x', args: [], onSuccess: function() { throw new Error('in callback'); }})");
  helper->Reply(1, 1, 0, "r");
  EXPECT_EQ(helper->Run(1, "'still here'"), "still here");
}

TEST_F(Events, CallTheRegisteredFunctionWithConvertedArguments) {
  helper->Run(1,
              "TKRegisterCallback('news', function() { log.push(Array.prototype.slice.call(arguments)); })");
  Json::Value args(Json::arrayValue);
  args.append(TestBrowser::Int(1));
  args.append(TestBrowser::Double(2.5));
  args.append(TestBrowser::Str("s"));
  args.append(TestBrowser::Bool(true));
  args.append(TestBrowser::Null());
  Json::Value nested(Json::arrayValue);
  nested.append(TestBrowser::Int(7));
  nested.append(TestBrowser::List(Json::Value(Json::arrayValue)));
  args.append(TestBrowser::List(nested));
  args.append(TestBrowser::List(Json::Value(Json::arrayValue)));
  helper->SendMessage(1, "news", args);
  helper->SendMessage(1, "news", Json::Value(Json::arrayValue));
  helper->SendMessage(1, "other", args);
  EXPECT_EQ(Log(), R"([[1,2.5,"s",true,null,[7,null],null],[]])");
  EXPECT_EQ(helper->Run(1, "typeof log[0][6] + ',' + (5 in log[0][5] ? 'x' : '') + log[0].length"),
            "undefined,7");
  EXPECT_EQ(helper->Run(1, "Array.isArray(log[0][5]) && log[0][5][1] === undefined"), "true");
}

TEST_F(Events, CarryTextBeyondTheBasicPlaneAsThePageWritesIt) {
  helper->Run(1, std::string("var wide = ") + kAsThePageWritesIt + ";" +
                     "TKRegisterCallback('text', function(a, b) { log.push(a === wide, b[0] === wide); })");
  Json::Value nested(Json::arrayValue);
  nested.append(TestBrowser::Str(kBeyondTheBasicPlane));
  Json::Value args(Json::arrayValue);
  args.append(TestBrowser::Str(kBeyondTheBasicPlane));
  args.append(TestBrowser::List(nested));
  helper->SendMessage(1, "text", args);
  EXPECT_EQ(Log(), "[true,true]");
}

// An event of `count` int arguments, written out directly: a Json::Value of
// a million elements would cost the test more than the helper.
std::string eventLine(const std::string& name, size_t count) {
  std::string line = R"({"type":"process_message","browser":1,"name":")" + name + R"(","args":[)";
  line.reserve(line.size() + count * 10 + 2);
  for (size_t i = 0; i < count; ++i) line += i ? R"(,{"int":1})" : R"({"int":1})";
  return line + "]}";
}

TEST_F(Events, ThatOneMessageCannotCarryAreRefusedWithAnErrorNotDeliveredInPart) {
  helper->Run(1, "TKRegisterCallback('many', function() { log.push(arguments.length); })");
  helper->SendLine(eventLine("many", 262144));  // at the limit: delivered whole
  helper->SendLine(eventLine("many", 1100000));
  const auto seen = helper->Sync();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0]["type"].asString(), "error");
  EXPECT_EQ(Log(), "[262144]");
}

TEST_F(Events, BinaryDictionaryAndInvalidElementsArriveAsUndefined) {
  helper->Run(
      1, "TKRegisterCallback('odd', function(a, b, c, d) { log.push([typeof a, typeof b, typeof c, d]); })");
  helper->SendLine(R"({"type":"process_message","browser":1,"name":"odd","args":)"
                   R"([{"binary":"00ff"},{"dict":{"k":{"int":1}}},{"invalid":null},{"int":4}]})");
  EXPECT_EQ(Log(), R"([["undefined","undefined","undefined",4]])");
}

TEST_F(Events, OneNamePerBrowserTheLaterFrameWinsAndLeavesWithItsContext) {
  helper->CreateContext(1, 11, false, 2, "var log = [];");
  helper->Run(1, "TKRegisterCallback('tick', function(n) { log.push('main ' + n); })");
  helper->Run(2, "TKRegisterCallback('tick', function(n) { log.push('child ' + n); })");
  helper->SendMessage(1, "tick", oneInt(1));
  EXPECT_EQ(Log(1), "[]");
  EXPECT_EQ(Log(2), R"(["child 1"])");
  helper->ReleaseContext(2);
  helper->SendMessage(1, "tick", oneInt(2));
  EXPECT_EQ(Log(1), "[]");
}

TEST_F(Events, AreKeptApartByBrowser) {
  helper->CreateBrowser(2);
  helper->CreateContext(2, 20, true, 3, "var log = [];");
  helper->Run(1, "TKRegisterCallback('tick', function() { log.push('browser 1'); })");
  helper->Run(3, "TKRegisterCallback('tick', function() { log.push('browser 2'); })");
  helper->SendMessage(2, "tick", Json::Value(Json::arrayValue));
  EXPECT_EQ(Log(1), "[]");
  EXPECT_EQ(Log(3), R"(["browser 2"])");
  // A destroyed browser takes its contexts and their registrations along.
  helper->SendLine(R"({"type":"browser_destroyed","browser":2})");
  helper->SendMessage(1, "tick", Json::Value(Json::arrayValue));
  EXPECT_EQ(Log(1), R"(["browser 1"])");
}

TEST_F(Events, AFunctionRegisteredAsTKInvokeAlsoSeesEveryReply) {
  helper->Run(
      1, "TKRegisterCallback('TKInvoke', function(id, code, text) { log.push(['spy', id, code, text]); })");
  helper->Run(1, "TKInvoke({name: 'x', args: [], onSuccess: function(t) { log.push(['ok', t]); }})");
  helper->Reply(1, 1, 0, "r");
  helper->Reply(1, 42, 3, "stray");
  EXPECT_EQ(Log(), R"([["ok","r"],["spy",1,0,"r"],["spy",42,3,"stray"]])");
}

TEST_F(Events, ACallbackMayReplaceItsOwnRegistration) {
  helper->Run(1,
              "TKRegisterCallback('e', function() { log.push(1); TKRegisterCallback('e', function() { "
              "log.push(2); }); })");
  helper->SendMessage(1, "e", Json::Value(Json::arrayValue));
  helper->SendMessage(1, "e", Json::Value(Json::arrayValue));
  EXPECT_EQ(Log(), "[1,2]");
}

}  // namespace
