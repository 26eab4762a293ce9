// The helper as a process: how it starts, what it reports, how it ends.
#include <gtest/gtest.h>

#include <chrono>

#include "test_browser.h"

namespace {

TEST(ProcessEntry, WithoutProcessTypeReturnsMinusOneAtOnceAndSaysNothing) {
  // A switch without a kind names no sub-process either.
  for (const auto& args :
       std::vector<std::vector<std::string>>{{}, {"--type"}, {"--type="}, {"x", "--type="}}) {
    const auto start = std::chrono::steady_clock::now();
    TestBrowser helper(args);
    EXPECT_EQ(helper.Finish(false), 255) << args.size();  // -1 as an exit status
    EXPECT_FALSE(helper.Next(100).has_value());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  }
}

TEST(ProcessEntry, OtherProcessTypesGetBothSwitchesReportThemAndExitZero) {
  TestBrowser helper({"--type=gpu-process", "--lang=en", "page.html"});
  auto report = helper.Next();
  ASSERT_TRUE(report);
  EXPECT_EQ((*report)["process_type"].asString(), "gpu-process");
  const Json::Value& argv = (*report)["argv"];
  ASSERT_EQ(argv.size(), 6u);
  EXPECT_EQ(argv[1].asString(), "--type=gpu-process");
  EXPECT_EQ(argv[2].asString(), "--lang=en");
  EXPECT_EQ(argv[3].asString(), "--allow-running-insecure-content");
  EXPECT_EQ(argv[4].asString(), "--ignore-certificate-errors");
  EXPECT_EQ(argv[5].asString(), "page.html");
  EXPECT_EQ(helper.Finish(false), 0);
}

TEST(ProcessEntry, RendererReportsItsCommandLineAndEndsOnShutdownOrEndOfInput) {
  {
    TestBrowser helper;
    const Json::Value argv = helper.commandLine()["argv"];
    EXPECT_EQ(helper.commandLine()["process_type"].asString(), "renderer");
    ASSERT_EQ(argv.size(), 4u);
    EXPECT_EQ(argv[2].asString(), "--allow-running-insecure-content");
    EXPECT_EQ(argv[3].asString(), "--ignore-certificate-errors");
    EXPECT_EQ(helper.Finish(true), 0);
  }
  {
    TestBrowser helper;
    helper.CreateBrowser(1);
    helper.CreateContext(1, 10, true, 1,
                         "var pending = TKInvoke({name: 'x', args: [], onSuccess: function() {}});");
    EXPECT_EQ(helper.Finish(false), 0);  // input closed with a context and a request still open
  }
}

TEST(ProcessEntry, BadInputIsReportedAndTheLoopCarriesOn) {
  TestBrowser helper;
  helper.SendLine("not json");
  helper.SendLine("[1,2]");
  helper.SendLine(R"({"type":"no_such_thing"})");
  helper.SendLine(R"({"type":"context_created","browser":9,"frame":1,"main":true,"context":1})");
  helper.CreateBrowser(1);
  helper.SendLine(R"({"type":"context_created","browser":1,"frame":"x","main":true,"context":1})");
  helper.SendLine(R"({"type":"process_message","browser":1,"name":"e","args":[{"int":1.5}]})");
  helper.SendLine(R"({"type":"process_message","browser":1,"name":"e","args":[{"binary":"abc"}]})");
  helper.SendLine(R"({"type":"run_script","context":77,"script":"1"})");
  // Nothing but the object on the line, members present and of their type.
  helper.SendLine(R"({"type":"ping","id":"tg"}garbage)");
  helper.SendLine(R"({"type":"ping","id":"c"} // comment)");
  helper.SendLine(R"({"type":"ping"})");
  helper.SendLine(R"({"type":"context_created","browser":1,"frame":12,"main":false,"context":5,"script":7})");
  helper.SendLine(R"({"type":"run_script","context":5,"script":"1"})");  // so there is no context 5
  helper.CreateContext(1, 10, true, 1);
  helper.SendLine(R"({"type":"focused_node_changed","browser":1,"frame":10,"node":{"editable":"yes"}})");
  helper.SendLine(R"({"type":"focused_node_changed","browser":1,"frame":10,"node":{"attributes":{}}})");
  helper.SendLine(R"({"type":"focused_node_changed","browser":1,"frame":10})");
  helper.CreateContext(1, 13, false, 6);
  helper.ReleaseContext(6);  // the frame went with its page
  helper.SendLine(R"({"type":"focused_node_changed","browser":1,"frame":13,"node":null})");
  const auto seen = helper.Sync();
  ASSERT_EQ(seen.size(), 17u);
  for (const auto& line : seen) EXPECT_EQ(line["type"].asString(), "error") << Compact(line);
  EXPECT_EQ(helper.Run(1, "1 + 1"), "2");
  EXPECT_EQ(helper.Finish(), 0);
}

TEST(ProcessEntry, UncaughtPageExceptionsAreReportedWithTheirLine) {
  TestBrowser helper;
  helper.CreateBrowser(1);
  helper.CreateContext(1, 10, true, 1, "var a = 1;\nnull.boom();");
  auto seen = helper.Sync();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0]["type"].asString(), "exception");
  EXPECT_EQ(seen[0]["context"].asInt(), 1);
  EXPECT_EQ(seen[0]["line"].asInt(), 2);
  EXPECT_NE(seen[0]["message"].asString().find("TypeError"), std::string::npos);
  // The script before the fault ran.
  EXPECT_EQ(helper.Run(1, "a"), "1");
  EXPECT_EQ(helper.Finish(), 0);
}

TEST(ProcessEntry, RunawayAllocationFailsInTheScriptNotTheProcess) {
  TestBrowser helper({"--type=renderer", "--script-heap-limit-mb=16"});
  helper.CreateBrowser(1);
  helper.CreateContext(1, 10, true, 1);
  const std::string result = helper.Run(
      1, "var s = 'x'; try { for (;;) s = s + s; } catch (e) { 'caught ' + (e instanceof Error) }");
  EXPECT_EQ(result, "caught true");
  EXPECT_EQ(helper.Run(1, "s = null; 40 + 2"), "42");
  EXPECT_EQ(helper.Finish(), 0);
}

}  // namespace
