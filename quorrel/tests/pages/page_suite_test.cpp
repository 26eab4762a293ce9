// Page scripts against the helper, with one expected result for both
// engines. Where the engines differ, the test names the difference.
#include <gtest/gtest.h>

#include <algorithm>

#include "page_engine.h"
#include "test_browser.h"

namespace {

using Strings = std::vector<std::string>;

class Pages : public ::testing::Test {
 protected:
  void SetUp() override {
    engine = MakeEngine();
    std::string reason;
    if (!engine->Available(&reason)) GTEST_SKIP() << reason;
  }
  void TearDown() override {
    if (engine && !IsSkipped()) {
      EXPECT_TRUE(engine->Close()) << "the engine's process must end cleanly";
    }
  }

  std::string Run(int frame, const std::string& script) { return engine->Run(frame, script); }
  std::string Log(int frame = 0) { return Run(frame, "JSON.stringify(log)"); }

  // "name args" of every message the page sent. A query's frame id
  // differs between engines (and runs); its two halves read as one
  // {"frame":"main"} or {"frame":"child"} element here.
  Strings Sent() {
    Strings out;
    for (const auto& message : engine->Take()) {
      Json::Value args = message["args"];
      if (message["name"] == "cefQueryMsg" && args.size() == 7) {
        Json::Value shown(Json::arrayValue);
        shown.append(Json::Value(Json::objectValue));
        shown[0]["frame"] = args[2]["bool"].asBool() ? "main" : "child";
        for (Json::ArrayIndex i = 2; i < args.size(); ++i) shown.append(args[i]);
        args = shown;
      }
      out.push_back(message["name"].asString() + " " + Compact(args));
    }
    return out;
  }

  void Reply(int id, int code, const std::string& text) {
    engine->Send("TKInvoke", list({TestBrowser::Int(id), TestBrowser::Int(code), TestBrowser::Str(text)}));
  }
  void QuerySuccess(int context, int request, const std::string& response) {
    engine->Send("cefQueryMsg", list({TestBrowser::Int(context), TestBrowser::Int(request),
                                      TestBrowser::Bool(true), TestBrowser::Str(response)}));
  }
  void QueryFailure(int context, int request, int code, const std::string& text) {
    engine->Send("cefQueryMsg",
                 list({TestBrowser::Int(context), TestBrowser::Int(request), TestBrowser::Bool(false),
                       TestBrowser::Int(code), TestBrowser::Str(text)}));
  }
  static Json::Value list(std::initializer_list<Json::Value> elements) {
    Json::Value out(Json::arrayValue);
    for (const auto& e : elements) out.append(e);
    return out;
  }

  std::unique_ptr<PageEngine> engine;
};

// A page function that logs its tag, the frame's `where` and its arguments.
const char kNote[] =
    "function note(tag) { return function () {"
    " log.push([tag, typeof where == 'string' ? where : '-'].concat([].slice.call(arguments))); }; }";

// Records what a callback in a child frame did where the test can see it
// after the child's document is gone: in the parent's log where frames
// can reach each other (a browser), else in the frame's own.
const char kWitness[] =
    "function witness(what) { (typeof parent == 'object' && parent.log ? parent.log : log).push(what); }";

TEST_F(Pages, BridgeRequestsCarryProcessWideIdsAndConvertedCallLists) {
  engine->Open(1);
  EXPECT_EQ(Run(0,
                "[TKInvoke({name: 'x', args: [1, {}, 'a', [], [2, [3, {}]], true, 2.5, new Date(1500), -0, "
                "2147483648, null]}), TKCall('y', {}, 2, function () {})].join()"),
            "1,2");
  EXPECT_EQ(Run(1, "TKCall('z', [])"), "3");
  // A getter that throws leaves no value: the request goes out with the
  // name alone. An array inside itself cannot be sent whole: the call
  // throws and uses no id.
  EXPECT_EQ(Run(0,
                "var a = [1]; a.push(a);"
                "[TKInvoke({name: 'g', get args() { throw new Error('no'); }}),"
                " (function () { try { return TKInvoke({name: 'c', args: [a]}); } catch (e) { return "
                "e.message; } })(),"
                " TKCall('d', [])]"),
            "4,Invalid arguments; an array contains itself,5");
  EXPECT_EQ(
      Sent(),
      (Strings{R"(TKInvoke [{"int":1},{"list":[{"string":"x"},{"int":1},{"null":null},{"string":"a"},)"
               R"({"null":null},{"list":[{"int":2},{"list":[{"int":3},{"null":null}]}]},{"bool":true},)"
               R"({"double":2.5},{"double":1.0},{"double":-0.0},{"double":2147483648.0},{"null":null}]}])",
               R"(TKInvoke [{"int":2},{"list":[{"string":"y"},{"int":2},{"null":null},{"null":null}]}])",
               R"(TKInvoke [{"int":3},{"list":[{"string":"z"},{"null":null}]}])",
               R"(TKInvoke [{"int":4},{"list":[{"string":"g"}]}])",
               R"(TKInvoke [{"int":5},{"list":[{"string":"d"},{"null":null}]}])"}));
}

TEST_F(Pages, WrongArgumentsThrowTheirExactTextsAndUseNoId) {
  engine->Open(0);
  const std::string member = "Invalid arguments; object member ";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"TKInvoke('x')", "not implement function"},
      {"TKInvoke({name: 'x'})", member + "args must have type array"},
      {"TKInvoke({args: []})", member + "name is required and must have type string"},
      {"TKInvoke({name: 'x', args: [], onSuccess: undefined})",
       member + "'onSuccess' must have type function"},
      {"TKInvoke({name: 'x', args: [], onFailure: 'f'})", member + "'onFailure' must have type function"},
      {"TKCall('x')", "not implement function"},
      {"TKRegisterCallback('x', 1)", "not implement function"},
      {"cefQuery('text')", "Invalid arguments; expecting a single object"},
      {"cefQuery({request: 5})", member + "'request' is required and must have type string"},
      {"cefQuery({get request() { throw 1; }})", member + "'request' is required and must have type string"},
      {"cefQuery({request: 'a', onSuccess: 1})", member + "'onSuccess' must have type function"},
      {"cefQuery({request: 'a', onFailure: {}})", member + "'onFailure' must have type function"},
      {"cefQuery({request: 'a', persistent: 0})", member + "'persistent' must have type boolean"},
      {"cefQueryCancel(1.5)", "Invalid arguments; expecting a single integer"},
  };
  for (const auto& [call, text] : cases)
    EXPECT_EQ(
        Run(0, "try { " + call + "; 'no exception' } catch (e) { (e instanceof Error) + ':' + e.message }"),
        "true:" + text)
        << call;
  EXPECT_EQ(Run(0, "[TKCall('x', 1), cefQuery({request: 'a'})].join()"), "1,1");
  EXPECT_EQ(Sent().size(), 2u) << "nothing but the two good calls";
}

TEST_F(Pages, PageFunctionsAreFixedGlobals) {
  engine->Open(0);
  const char kDescribe[] =
      "['TKInvoke', 'TKCall', 'TKRegisterCallback', 'cefQuery', 'cefQueryCancel'].map(function (name) {"
      "  var d = Object.getOwnPropertyDescriptor(this, name);"
      "  return name + ':' + typeof d.value + (d.writable ? 'W' : '') + (d.enumerable ? 'E' : '') +"
      "    (d.configurable ? 'C' : ''); }, this).join()";
  const std::string fixed =
      "TKInvoke:functionEC,TKCall:functionEC,TKRegisterCallback:functionEC,cefQuery:function,cefQueryCancel:"
      "function";
  EXPECT_EQ(Run(0, kDescribe), fixed);
  Run(0, "TKInvoke = 1; cefQuery = null; try { delete cefQueryCancel; } catch (e) {}");
  EXPECT_EQ(Run(0, kDescribe), fixed);
  EXPECT_EQ(Run(0, "Object.keys(this).filter(function (k) { return /^(TK|cef)/.test(k); }).join()"),
            "TKInvoke,TKCall,TKRegisterCallback");
}

TEST_F(Pages, RepliesReachTheirCallbackOnceInTheAskingFrame) {
  engine->Open(1);
  Run(0, std::string(kNote) + "var where = 'main';");
  Run(1, std::string(kNote) + "var where = 'child';");
  Run(0, "TKInvoke({name: 'a', args: [], onSuccess: note('ok'), onFailure: note('fail')})");
  Run(0, "TKInvoke({name: 'b', args: [], onFailure: note('failure only')})");
  Run(0, "TKCall('c', 1, note('call'))");
  Run(1, "TKInvoke({name: 'd', args: [], onSuccess: note('child ok')})");
  EXPECT_EQ(Sent().size(), 4u);
  Reply(1, 0, "r1");
  Reply(2, 0, "r2");
  Reply(3, 5, "e3");
  Reply(4, 0, "r4");
  Reply(1, 0, "again");
  Reply(99, 0, "unknown");
  EXPECT_EQ(Log(0), R"([["ok","main","r1"],["failure only","main",0,"r2"],["call","main",5,"e3"]])");
  EXPECT_EQ(Log(1), R"([["child ok","child","r4"]])");
  EXPECT_TRUE(Sent().empty());
}

TEST_F(Pages, EventsReachTheLaterRegistrationAndLeaveWithItsFrame) {
  engine->Open(1);
  Run(0, "TKRegisterCallback('news', function () { log.push([].slice.call(arguments)); })");
  Json::Value nested = list({TestBrowser::Int(7), TestBrowser::List(Json::Value(Json::arrayValue))});
  Json::Value binary(Json::objectValue), dict(Json::objectValue);
  binary["binary"] = "00ff";
  dict["dict"]["k"] = TestBrowser::Int(1);
  engine->Send("news", list({TestBrowser::Int(1), TestBrowser::Double(2.5), TestBrowser::Str("s"),
                             TestBrowser::Bool(true), TestBrowser::Null(), TestBrowser::List(nested),
                             TestBrowser::List(Json::Value(Json::arrayValue)), binary, dict}));
  EXPECT_EQ(
      Run(0, "JSON.stringify(log) + [typeof log[0][6], typeof log[0][7], typeof log[0][8], log[0].length]"),
      R"([[1,2.5,"s",true,null,[7,null],null,null,null]]undefined,undefined,undefined,9)");

  // The child's registration replaces the main frame's; the child leaves
  // with it and with its open query, and the main frame hears nothing more.
  Run(1, std::string(kWitness) +
             "TKRegisterCallback('news', function () { log.push('news in the child'); });"
             "cefQuery({request: 'open', onSuccess: function () { witness('late answer'); }})");
  Sent();
  engine->Send("news", Json::Value(Json::arrayValue));
  EXPECT_EQ(Log(1), R"(["news in the child"])");
  EXPECT_EQ(Run(0, "log.length"), "1");
  Run(0, "log = [];");
  engine->Remove(1);
  EXPECT_EQ(Sent(), Strings{R"(cefQueryCancelMsg [{"int":1},{"int":0}])"});
  engine->Send("news", Json::Value(Json::arrayValue));
  QuerySuccess(1, 1, "too late");
  EXPECT_TRUE(Sent().empty());
  EXPECT_EQ(Log(0), "[]");
}

TEST_F(Pages, TextKeepsEveryCharacterBothWays) {
  engine->Open(0);
  Run(0, "TKInvoke({name: 'x', args: ['h\\u00e9llo \\u4e16 \\ud83d\\ude00', 'a\\u0000b', 'a\\ud800b']})");
  EXPECT_EQ(Sent(),
            Strings{"TKInvoke [{\"int\":1},{\"list\":[{\"string\":\"x\"},{\"string\":\"h\xC3\xA9llo "
                    "\xE4\xB8\x96 \xF0\x9F\x98\x80\"},{\"string\":\"a\\u0000b\"},{\"string\":\"a\xEF\xBF\xBD"
                    "b\"}]}]"});

  Run(0, "TKRegisterCallback('text', function (s, t) { log.push(s, t); })");
  engine->Send("text",
               list({TestBrowser::Str("\xF0\x9F\x98\x80"), TestBrowser::Str(std::string("a\0b", 3))}));
  const std::string seen = Run(
      0, "[log[0].length, log[0].charCodeAt(0).toString(16), log[0] === '\\ud83d\\ude00', log[1].length]");
  EXPECT_EQ(seen, "2,d83d,true,3") << "a character above U+FFFF is the surrogate pair the page would write";
}

TEST_F(Pages, QueriesAreAnsweredCancelledAndKeptOpenWhenPersistent) {
  engine->Open(0);
  EXPECT_EQ(Run(0, std::string(kNote) +
                       "[cefQuery({request: 'one', onSuccess: note('ok'), onFailure: note('fail')}),"
                       " cefQuery({request: 'two', onFailure: note('fail')}),"
                       " cefQuery({request: 'watch', persistent: true, onSuccess: note('watch')}),"
                       " cefQuery({request: 'dropped', onSuccess: note('dropped')})].join()"),
            "1,2,3,4");
  EXPECT_EQ(
      Sent(),
      (Strings{
          R"(cefQueryMsg [{"frame":"main"},{"bool":true},{"int":1},{"int":1},{"string":"one"},{"bool":false}])",
          R"(cefQueryMsg [{"frame":"main"},{"bool":true},{"int":1},{"int":2},{"string":"two"},{"bool":false}])",
          R"(cefQueryMsg [{"frame":"main"},{"bool":true},{"int":1},{"int":3},{"string":"watch"},{"bool":true}])",
          R"(cefQueryMsg [{"frame":"main"},{"bool":true},{"int":1},{"int":4},{"string":"dropped"},{"bool":false}])"}));
  EXPECT_EQ(Run(0, "[cefQueryCancel(4), cefQueryCancel(4), cefQueryCancel(0)].join()"), "true,false,false");
  EXPECT_EQ(Sent(), Strings{R"(cefQueryCancelMsg [{"int":1},{"int":4}])"});
  QuerySuccess(1, 1, "r1");
  QueryFailure(1, 2, 7, "e2");
  QuerySuccess(1, 3, "w1");
  QuerySuccess(1, 3, "w2");
  QuerySuccess(1, 4, "after the cancel");
  QuerySuccess(1, 1, "again");
  EXPECT_TRUE(Sent().empty());
  EXPECT_EQ(Log(), R"([["ok","-","r1"],["fail","-",7,"e2"],["watch","-","w1"],["watch","-","w2"]])");
  EXPECT_EQ(Run(0, "[cefQueryCancel(1), cefQueryCancel(3)].join()"), "false,true");
}

TEST_F(Pages, QueriesNameTheirFrameAndContext) {
  engine->Open(1);
  Run(0, "cefQuery({request: 'a'})");
  Run(1, "cefQuery({request: 'b'})");
  Run(0, "cefQuery({request: 'c'})");
  const auto sent = engine->Take();
  ASSERT_EQ(sent.size(), 3u);
  const auto frame = [&](size_t i) { return Compact(sent[i]["args"][0]) + Compact(sent[i]["args"][1]); };
  EXPECT_EQ(frame(0), frame(2));
  EXPECT_NE(frame(0), frame(1));
  const auto where = [&](size_t i) {
    return Compact(sent[i]["args"][2]) + Compact(sent[i]["args"][3]) + Compact(sent[i]["args"][4]);
  };
  EXPECT_EQ(where(0), R"({"bool":true}{"int":1}{"int":1})");
  EXPECT_EQ(where(1), R"({"bool":false}{"int":2}{"int":2})");
  EXPECT_EQ(where(2), R"({"bool":true}{"int":1}{"int":3})");
}

// A new document in a frame releases the old one's context: its open
// queries are withdrawn with one message, and answers that arrive for it
// afterwards call nothing, neither in the dead document nor anywhere else.
TEST_F(Pages, ANewDocumentDropsWhatTheOldOneLeftOpen) {
  engine->Open(1);
  Run(1, std::string(kWitness) +
             "TKInvoke({name: 'x', args: [], onSuccess: function () { witness('late reply'); }});"
             "cefQuery({request: 'a', onSuccess: function () { witness('late answer'); }});"
             "cefQuery({request: 'b', persistent: true});"
             "TKRegisterCallback('tick', function () { witness('late event'); })");
  EXPECT_EQ(Sent().size(), 3u);
  engine->Navigate(1);
  EXPECT_EQ(Sent(), Strings{R"(cefQueryCancelMsg [{"int":1},{"int":0}])"});
  Reply(1, 0, "late");
  QuerySuccess(1, 1, "late");
  QuerySuccess(1, 2, "late");
  engine->Send("tick", Json::Value(Json::arrayValue));
  EXPECT_TRUE(Sent().empty());
  EXPECT_EQ(Log(0), "[]");
  EXPECT_EQ(Run(1, "[TKCall('y', 1), cefQuery({request: 'c'}), typeof log].join()"), "2,3,object");
  EXPECT_EQ(
      Sent(),
      (Strings{
          R"(TKInvoke [{"int":2},{"list":[{"string":"y"},{"int":1}]}])",
          R"(cefQueryMsg [{"frame":"child"},{"bool":false},{"int":2},{"int":3},{"string":"c"},{"bool":false}])"}));

  // A new main document replaces every frame's: both open queries go.
  Run(0, "cefQuery({request: 'd'})");
  Sent();
  engine->Navigate(0);
  Strings cancels = Sent();
  std::sort(cancels.begin(), cancels.end());
  EXPECT_EQ(cancels, (Strings{R"(cefQueryCancelMsg [{"int":2},{"int":0}])",
                              R"(cefQueryCancelMsg [{"int":3},{"int":0}])"}));
  EXPECT_EQ(Run(0, "cefQuery({request: 'e'})"), "5");
}

}  // namespace
