// Answers to queries: which callback runs, where and when; persistent
// requests; cancels racing replies; contexts going away.
#include "router_test_support.h"

namespace {

using Replies = RouterTest;
using Persistent = RouterTest;
using ReleasedContexts = RouterTest;

using Strings = std::vector<std::string>;

const char kCallbacks[] =
    "function ok(r) { log.push(['ok', r, arguments.length]); }"
    "function fail(c, t) { log.push(['fail', c, t, arguments.length]); }";

TEST_F(Replies, ReachTheMatchingCallbackOnceAndNothingElse) {
  helper->Run(1, kCallbacks);
  helper->Run(1, "cefQuery({request: '1', onSuccess: ok, onFailure: fail})");
  helper->Run(1, "cefQuery({request: '2', onSuccess: ok, onFailure: fail})");
  helper->Run(1, "cefQuery({request: '3', onFailure: fail})");
  helper->Run(1, "cefQuery({request: '4', onSuccess: ok})");
  helper->Send(Success(1, 1, "r1"));
  helper->Send(Failure(1, 2, -7, "e2"));
  helper->Send(Success(1, 3, "nobody listens"));  // no onSuccess: settled without a call
  helper->Send(Failure(1, 4, 5, "nobody listens"));
  helper->Send(Success(1, 1, "again"));  // already answered
  helper->Send(Failure(1, 2, 1, "again"));
  helper->Send(Success(1, 99, "unknown request"));
  helper->Send(Success(2, 1, "unknown context"));
  helper->Send(Success(1, 1, "other browser", 2));
  EXPECT_TRUE(SyncNames().empty());
  EXPECT_EQ(Log(), R"([["ok","r1",1],["fail",-7,"e2",2]])");
}

TEST_F(Replies, RunInTheAskingContextWithoutReceiver) {
  helper->CreateContext(1, 11, false, 2, "var where = 'child'; var log = [];");
  helper->Run(1, "var where = 'main';");
  helper->Run(2,
              "cefQuery({request: 'x', onSuccess: function(r) { log.push(where, r, this === undefined || "
              "this === globalThis ? 'global' : 'other'); }})");
  helper->Send(Success(1, 1, "r"));
  EXPECT_EQ(Log(2), R"(["child","r","global"])");
  EXPECT_EQ(Log(1), "[]");
}

TEST_F(Replies, CarryTextBeyondTheBasicPlaneAsThePageWritesIt) {
  // U+1F600 and U+20000, compared with the page's own surrogate pairs.
  helper->Run(1,
              "cefQuery({request: 'x', onSuccess: function(r) { log.push(r === '\\ud83d\\ude00 "
              "\\ud840\\udc00', r.length); }})");
  helper->Send(Success(1, 1, "\xF0\x9F\x98\x80 \xF0\xA0\x80\x80"));
  EXPECT_EQ(Log(), "[true,5]");
}

TEST_F(Replies, ArriveOneTaskLaterSoScriptsQueuedBehindThemRunFirst) {
  helper->Run(1, "cefQuery({request: 'x', onSuccess: function(r) { log.push(r); }})");
  Batch({Success(1, 1, "reply"), Script(1, "log.push('script')", 1000)});
  helper->Sync();
  EXPECT_EQ(Log(), R"(["script","reply"])");
}

TEST_F(Replies, LoseToACancelIssuedInTheSameBatch) {
  helper->Run(1, "var id = cefQuery({request: 'x', onSuccess: function(r) { log.push(r); }})");
  Batch({Success(1, 1, "too late"), Script(1, "log.push('cancelled ' + cefQueryCancel(id))", 1000)});
  EXPECT_EQ(SyncNames(), Strings{CancelArgs(1, 1)});
  EXPECT_EQ(Log(), R"(["cancelled true"])");
}

TEST_F(Replies, ForACancelledQueryCallNothing) {
  helper->Run(1, kCallbacks);
  helper->Run(1, "cefQueryCancel(cefQuery({request: 'x', onSuccess: ok, onFailure: fail}))");
  helper->Send(Success(1, 1, "late"));
  helper->Send(Failure(1, 1, 3, "late"));
  EXPECT_TRUE(SyncNames().empty());
  EXPECT_EQ(Log(), "[]");
}

TEST_F(Replies, WithTheWrongShapeAreIgnoredAndTheRequestStaysOpen) {
  helper->Run(1, kCallbacks);
  helper->Run(1, "cefQuery({request: 'x', onSuccess: ok, onFailure: fail})");
  auto send = [&](const std::string& args) {
    helper->SendLine(R"({"type":"process_message","browser":1,"name":"cefQueryMsg","args":)" + args + "}");
  };
  send(R"([])");
  send(R"([{"int":1},{"int":1}])");
  send(R"([{"int":1},{"int":1},{"int":1},{"string":"bool expected"}])");
  send(R"([{"int":1},{"int":1},{"bool":true}])");
  send(R"([{"int":1},{"int":1},{"bool":true},{"int":5}])");
  send(R"([{"int":1},{"int":1},{"bool":false},{"string":"code expected"},{"string":"e"}])");
  send(R"([{"int":1},{"int":1},{"bool":false},{"int":3}])");
  send(R"([{"string":"1"},{"int":1},{"bool":true},{"string":"r"}])");
  send(R"([{"int":1},{"double":1},{"bool":true},{"string":"r"}])");
  EXPECT_TRUE(helper->Sync().empty()) << "no error lines, no messages";
  EXPECT_EQ(Log(), "[]");
  helper->Send(Success(1, 1, "well formed"));
  EXPECT_EQ(Log(), R"([["ok","well formed",1]])");
}

TEST_F(Replies, ThatThrowOrQueryAgainDoNotDisturbTheTable) {
  helper->Run(1,
              "cefQuery({request: 'a', onSuccess: function(r) { log.push(r); "
              "log.push(cefQuery({request: 'from callback', onSuccess: function(r) { log.push(r); }})); "
              "throw new Error('in callback'); }})");
  EXPECT_EQ(Names(helper->Sync()).size(), 0u);
  helper->Send(Success(1, 1, "first"));
  EXPECT_EQ(SyncNames(), Strings{QueryArgs(10, 0, true, 1, 2, "from callback", false)});
  helper->Send(Success(1, 2, "second"));
  EXPECT_EQ(Log(), R"(["first",2,"second"])");
}

TEST_F(Persistent, KeepAnsweringUntilAFailure) {
  helper->Run(1, kCallbacks);
  helper->Run(1, "cefQuery({request: 'watch', persistent: true, onSuccess: ok, onFailure: fail})");
  helper->Send(Success(1, 1, "one"));
  helper->Send(Success(1, 1, "two"));
  helper->Send(Failure(1, 1, 9, "closed"));
  helper->Send(Success(1, 1, "after the failure"));
  EXPECT_EQ(Log(), R"([["ok","one",1],["ok","two",1],["fail",9,"closed",2]])");
  EXPECT_TRUE(SentBy("cefQueryCancel(1)").empty());
  EXPECT_EQ(lastResult, "false");
}

TEST_F(Persistent, StopAfterACancel) {
  helper->Run(1, kCallbacks);
  helper->Run(1, "var p = cefQuery({request: 'watch', persistent: true, onSuccess: ok})");
  helper->Send(Success(1, 1, "one"));
  // Both answers queue their delivery behind the cancel.
  Batch({Success(1, 1, "two"), Success(1, 1, "three"), Script(1, "cefQueryCancel(p)", 1000)});
  EXPECT_EQ(SyncNames(), Strings{CancelArgs(1, 1)});
  EXPECT_EQ(Log(), R"([["ok","one",1]])");
}

TEST_F(ReleasedContexts, SendOneCancelForAllTheirQueriesAndCallNothing) {
  helper->CreateContext(1, 11, false, 2, "var log = [];");
  helper->CreateContext(1, 12, false, 3, "var log = [];");
  helper->Run(1, kCallbacks);
  helper->Run(2, "cefQuery({request: 'a', onSuccess: function() { log.push('a'); }})");    // context 1
  helper->Run(1, "cefQuery({request: 'b', onSuccess: ok})");                               // context 2
  helper->Run(2, "cefQuery({request: 'c', persistent: true, onFailure: function() {}})");  // context 1
  helper->Run(3, "cefQueryCancel(5)");  // context 3: has an id, nothing pending
  helper->Sync();
  helper->ReleaseContext(2);
  EXPECT_EQ(SyncNames(), Strings{CancelArgs(1, 0)});
  helper->ReleaseContext(3);
  EXPECT_TRUE(SyncNames().empty());
  helper->Send(Success(1, 1, "late"));
  helper->Send(Failure(1, 3, 1, "late"));
  helper->Send(Success(2, 2, "still wanted"));
  EXPECT_EQ(Log(), R"([["ok","still wanted",1]])");
}

TEST_F(ReleasedContexts, LoseRepliesAlreadyOnTheirWay) {
  helper->CreateContext(1, 11, false, 2, "var log = [];");
  helper->Run(2, "cefQuery({request: 'a', onSuccess: function() { TKCall('called', 1); }})");
  helper->Sync();
  Json::Value release(Json::objectValue);
  release["type"] = "context_released";
  release["context"] = 2;
  Batch({Success(1, 1, "in flight"), release});
  EXPECT_EQ(SyncNames(), Strings{CancelArgs(1, 0)}) << "the reply must not reach the page";
}

TEST_F(ReleasedContexts, AtShutdownCancelTheirQueries) {
  helper->Run(1, "cefQuery({request: 'a'})");
  helper->Sync();
  helper->SendLine(R"({"type":"shutdown"})");
  auto line = helper->Next(5000);
  ASSERT_TRUE(line);
  EXPECT_EQ(Names({*line}), Strings{CancelArgs(1, 0)});
  EXPECT_EQ(helper->Finish(false), 0);
  helper.reset();
}

}  // namespace
