// Focus reports to the browser process.
#include "bridge_test_support.h"

namespace {

using Focus = BridgeTest;

void focusOn(TestBrowser& helper, const char* nodeJson) {
  helper.SendLine(std::string(R"({"type":"focused_node_changed","browser":1,"frame":10,"node":)") + nodeJson +
                  "}");
}

TEST_F(Focus, EveryMoveToANodeIsReportedWithEditabilityAndId) {
  focusOn(*helper, R"({"editable":false,"attributes":{"id":"title"}})");
  focusOn(*helper, R"({"editable":false,"attributes":{"id":"picture"}})");
  focusOn(*helper, R"({"editable":true,"attributes":{"id":"answer","class":"big"}})");
  focusOn(*helper, R"({"editable":true,"attributes":{"class":"no-id"}})");
  focusOn(*helper, R"({"editable":true})");
  const auto sent = ProcessMessages(helper->Sync());
  ASSERT_EQ(sent.size(), 5u);
  for (const auto& message : sent) EXPECT_EQ(message["name"].asString(), "ClientRenderer.FocusedNodeChanged");
  EXPECT_EQ(Compact(sent[0]["args"]), R"([{"bool":false},{"string":"title"}])");
  EXPECT_EQ(Compact(sent[1]["args"]), R"([{"bool":false},{"string":"picture"}])");
  EXPECT_EQ(Compact(sent[2]["args"]), R"([{"bool":true},{"string":"answer"}])");
  EXPECT_EQ(Compact(sent[3]["args"]), R"([{"bool":true},{"string":""}])");
  EXPECT_EQ(sent[4]["browser"].asInt(), 1);
}

TEST_F(Focus, LeavingEveryNodeSendsNothing) {
  focusOn(*helper, "null");
  EXPECT_TRUE(helper->Sync().empty());
}

}  // namespace
