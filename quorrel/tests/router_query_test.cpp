// cefQuery and cefQueryCancel as a page sees them: argument checks, the
// functions' place on the global object, ids and the messages they send.
#include "router_test_support.h"

namespace {

using Queries = RouterTest;
using Cancels = RouterTest;

using Strings = std::vector<std::string>;

// Each call is expected to throw; the texts come back in order.
std::string thrownTexts(const std::vector<std::string>& calls) {
  std::string script = "var out = [];";
  for (const auto& call : calls)
    script += "try { " + call + "; out.push('no throw'); } catch (e) { out.push(e.message); }";
  return script + " out.join('\\n')";
}

TEST_F(Queries, WrongArgumentsThrowTheFirstFailedCheckAndSendNothing) {
  const std::string query = "Invalid arguments; expecting a single object";
  const std::string request =
      "Invalid arguments; object member 'request' is required and must have type string";
  const std::string onSuccess = "Invalid arguments; object member 'onSuccess' must have type function";
  const std::string onFailure = "Invalid arguments; object member 'onFailure' must have type function";
  const std::string persistent = "Invalid arguments; object member 'persistent' must have type boolean";
  const std::string cancel = "Invalid arguments; expecting a single integer";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"cefQuery()", query},
      {"cefQuery('text')", query},
      {"cefQuery({request: 'a'}, {request: 'b'})", query},
      {"cefQuery(null)", query},
      {"cefQuery({})", request},
      {"cefQuery({request: 5})", request},
      {"cefQuery({get request() { throw 1; }})", request},
      // The checks run in order: the first wrong member names the text.
      {"cefQuery({request: 1, onSuccess: 1, persistent: 1})", request},
      {"cefQuery({request: 'a', onSuccess: undefined})", onSuccess},
      {"cefQuery({request: 'a', onSuccess: 'f', onFailure: 1})", onSuccess},
      {"cefQuery({request: 'a', onSuccess: function() {}, onFailure: {}})", onFailure},
      {"cefQuery({request: 'a', onFailure: function() {}, persistent: 'yes'})", persistent},
      {"cefQuery({request: 'a', persistent: 0})", persistent},
      {"cefQueryCancel()", cancel},
      {"cefQueryCancel(1, 2)", cancel},
      {"cefQueryCancel('1')", cancel},
      {"cefQueryCancel(1.5)", cancel},
      {"cefQueryCancel(4294967296)", cancel},
  };
  std::vector<std::string> calls, expected;
  for (const auto& c : cases) {
    calls.push_back(c.first);
    expected.push_back(c.second);
  }
  EXPECT_TRUE(SentBy(thrownTexts(calls)).empty());
  std::string joined;
  for (const auto& e : expected) joined += (joined.empty() ? "" : "\n") + e;
  EXPECT_EQ(lastResult, joined);
  // None of the refused calls used up an id.
  EXPECT_EQ(SentBy("cefQuery({request: 'first'})"), Strings{QueryArgs(10, 0, true, 1, 1, "first", false)});
}

TEST_F(Queries, AreFixedHiddenAndUndeletableGlobals) {
  EXPECT_EQ(
      helper->Run(1,
                  "var d = Object.getOwnPropertyDescriptor(this, 'cefQuery'), c = "
                  "Object.getOwnPropertyDescriptor(this, 'cefQueryCancel');"
                  "[d.writable, d.enumerable, d.configurable, c.writable, c.enumerable, c.configurable,"
                  " Object.keys(this).indexOf('cefQuery'), typeof cefQuery, typeof cefQueryCancel].join()"),
      "false,false,false,false,false,false,-1,function,function");
  helper->Run(1, "cefQuery = null; try { delete cefQueryCancel; } catch (e) {}");
  EXPECT_EQ(helper->Run(1, "typeof cefQuery + typeof cefQueryCancel"), "functionfunction");
  // The bridge functions next to them are only read-only.
  EXPECT_NE(helper->Run(1, "Object.keys(this).indexOf('TKInvoke')"), "-1");
}

TEST_F(Queries, SendTheFrameSplitInHalvesTheIdsTheTextAndThePersistentFlag) {
  // 0x2_8000_0001: the low half has its top bit set and travels negative.
  helper->CreateContext(1, 0x280000001LL, false, 2, "var log = [];");
  EXPECT_EQ(SentBy("cefQuery({request: 'plain'})"), Strings{QueryArgs(10, 0, true, 1, 1, "plain", false)});
  EXPECT_EQ(lastResult, "1");
  EXPECT_EQ(
      SentBy("cefQuery({request: 'h\\u00e9llo \\u4e16', persistent: true, onSuccess: function() {}})", 2),
      Strings{QueryArgs(-2147483647, 2, false, 2, 2, "h\xc3\xa9llo \xe4\xb8\x96", true)});
  EXPECT_EQ(SentBy("cefQuery({request: '', persistent: false, onFailure: function() {}})"),
            Strings{QueryArgs(10, 0, true, 1, 3, "", false)});
}

TEST_F(Queries, CountRequestsPerProcessAndContextsInFirstUseOrder) {
  helper->CreateContext(1, 11, false, 2, "var log = [];");
  helper->CreateBrowser(2);
  helper->CreateContext(2, 20, true, 3, "var log = [];");
  // Cancelling 0 gives no context id; cancelling anything else does.
  EXPECT_TRUE(SentBy("cefQueryCancel(0)", 1).empty());
  EXPECT_TRUE(SentBy("cefQueryCancel(7)", 2).empty());
  EXPECT_EQ(lastResult, "false");
  EXPECT_EQ(SentBy("cefQuery({request: 'a'})", 3), Strings{QueryArgs(20, 0, true, 2, 1, "a", false)});
  EXPECT_EQ(SentBy("cefQuery({request: 'b'})", 1), Strings{QueryArgs(10, 0, true, 3, 2, "b", false)});
  EXPECT_EQ(SentBy("cefQuery({request: 'c'})", 2), Strings{QueryArgs(11, 0, false, 1, 3, "c", false)});
  EXPECT_EQ(SentBy("cefQuery({request: 'd'})", 3), Strings{QueryArgs(20, 0, true, 2, 4, "d", false)});
  // A new document in a frame is a new context with a new id; the old one
  // takes its outstanding query along.
  helper->CreateContext(1, 11, false, 4, "var log = [];");
  EXPECT_EQ(SyncNames(), Strings{CancelArgs(1, 0)});
  EXPECT_EQ(SentBy("cefQuery({request: 'e'})", 4), Strings{QueryArgs(11, 0, false, 4, 5, "e", false)});
}

TEST_F(Cancels, WithdrawOnlyOutstandingRequestsOfTheirOwnContext) {
  helper->CreateContext(1, 11, false, 2, "var log = [];");
  helper->Run(1, "var a = cefQuery({request: 'a'}), b = cefQuery({request: 'b'});");
  EXPECT_TRUE(SentBy("cefQueryCancel(0)").empty());
  EXPECT_EQ(lastResult, "false");
  EXPECT_TRUE(SentBy("cefQueryCancel(99)").empty());
  EXPECT_EQ(lastResult, "false");
  // Context 2 may not withdraw context 1's request 1.
  EXPECT_TRUE(SentBy("cefQueryCancel(1)", 2).empty());
  EXPECT_EQ(lastResult, "false");
  EXPECT_EQ(SentBy("cefQueryCancel(a)"), Strings{CancelArgs(1, 1)});
  EXPECT_EQ(lastResult, "true");
  EXPECT_TRUE(SentBy("cefQueryCancel(a)").empty());
  EXPECT_EQ(lastResult, "false");
  // An answered request is no longer outstanding.
  helper->Send(Success(1, 2, "done"));
  EXPECT_TRUE(SentBy("cefQueryCancel(b)").empty());
  EXPECT_EQ(lastResult, "false");
}

}  // namespace
