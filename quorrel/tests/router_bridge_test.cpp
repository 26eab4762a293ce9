// One page using the bridge and the query router at once: both count their
// own ids from 1, and each reply reaches only its own side, unless the page
// registered a bridge callback under the router's message name.
#include "router_test_support.h"

namespace {

using BridgeAndRouter = RouterTest;

using Strings = std::vector<std::string>;

const char kPage[] =
    "function note(tag) { return function() { log.push([tag].concat(Array.prototype.slice.call(arguments))); "
    "}; }"
    "var ids = [TKInvoke({name: 'inv', args: [], onSuccess: note('invoke ok'), onFailure: note('invoke "
    "fail')}),"
    "  cefQuery({request: 'q1', onSuccess: note('query ok'), onFailure: note('query fail')}),"
    "  TKCall('call', 1, note('call')),"
    "  cefQuery({request: 'q2', persistent: true, onSuccess: note('watch ok'), onFailure: note('watch "
    "fail')})];"
    "ids.join()";

TEST_F(BridgeAndRouter, CountTheirOwnIdsAndSendTheirOwnMessages) {
  auto sent = SentBy(kPage);
  EXPECT_EQ(lastResult, "1,1,2,2");
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[0].rfind("TKInvoke [{\"int\":1}", 0), 0u) << sent[0];
  EXPECT_EQ(sent[1], QueryArgs(10, 0, true, 1, 1, "q1", false));
  EXPECT_EQ(sent[2].rfind("TKInvoke [{\"int\":2}", 0), 0u) << sent[2];
  EXPECT_EQ(sent[3], QueryArgs(10, 0, true, 1, 2, "q2", true));
}

TEST_F(BridgeAndRouter, RepliesReachOnlyTheirOwnSide) {
  helper->Run(1, kPage);
  // Same ids on both sides: a mix-up would show as a wrong tag.
  Batch({Success(1, 1, "query answer"), BridgeReply(1, 0, "invoke answer"), Success(1, 2, "watch answer"),
         Script(1, "log.push(['script'])", 1000)});
  helper->Reply(1, 2, 4, "call failed");
  helper->Send(Failure(1, 2, 8, "watch closed"));
  EXPECT_TRUE(SyncNames().empty());
  // The bridge answers at once; the router's answers come one task later,
  // after the script queued behind them.
  EXPECT_EQ(Log(),
            R"([["invoke ok","invoke answer"],["script"],["query ok","query answer"],)"
            R"(["watch ok","watch answer"],["call",4,"call failed"],["watch fail",8,"watch closed"]])");
}

TEST_F(BridgeAndRouter, ARouterShapedBridgeReplyAndABridgeShapedRouterReplyAreNotCrossed) {
  helper->Run(1, kPage);
  // A bridge-shaped answer under the router's name is not a router reply
  // and not a bridge reply; both requests stay open.
  Json::Value bridgeShaped(Json::arrayValue);
  bridgeShaped.append(TestBrowser::Int(1));
  bridgeShaped.append(TestBrowser::Int(0));
  bridgeShaped.append(TestBrowser::Str("misaddressed"));
  helper->SendMessage(1, "cefQueryMsg", bridgeShaped);
  EXPECT_TRUE(helper->Sync().empty());
  EXPECT_EQ(Log(), "[]");
  EXPECT_EQ(helper->Run(1, "cefQueryCancel(1)"), "true");
  helper->Reply(1, 1, 0, "right one");
  EXPECT_EQ(Log(), R"([["invoke ok","right one"]])");
}

TEST_F(BridgeAndRouter, ACallbackRegisteredUnderTheRouterNameSeesItsRepliesFirst) {
  helper->Run(1, kPage);
  helper->Run(1, "TKRegisterCallback('cefQueryMsg', note('spy'))");
  helper->Send(Success(1, 1, "r"));
  helper->Send(Failure(1, 77, 3, "unknown to the router"));
  EXPECT_EQ(Log(), R"([["spy",1,1,true,"r"],["query ok","r"],["spy",1,77,false,3,"unknown to the router"]])");
}

TEST_F(BridgeAndRouter, AReleasedContextDropsBothSidesAndOnlyTheRouterTellsTheBrowser) {
  helper->CreateContext(1, 11, false, 2, "var log = [];");
  helper->Run(2, kPage);
  helper->ReleaseContext(2);
  EXPECT_EQ(SyncNames(), Strings{CancelArgs(1, 0)});
  helper->Reply(1, 1, 0, "late");
  helper->Send(Success(1, 1, "late"));
  helper->Send(Success(1, 2, "late"));
  // The main frame's page keeps working with fresh ids on both sides.
  EXPECT_EQ(SentBy("[TKCall('x', 1), cefQuery({request: 'y'})].join()").size(), 2u);
  EXPECT_EQ(lastResult, "3,3");
}

}  // namespace
