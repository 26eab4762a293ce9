// The renderer loop in-process: the order in which handlers, posted tasks
// and answers happen, and what contexts look like to a handler.
#include "renderer_loop.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

class SendLater : public CefRefCounted<CefTask> {
 public:
  SendLater(CefRefPtr<CefBrowser> browser, std::string name) : browser_(browser), name_(std::move(name)) {}
  void Execute() override { browser_->SendProcessMessage(PID_BROWSER, CefProcessMessage::Create(name_)); }

 private:
  CefRefPtr<CefBrowser> browser_;
  std::string name_;
};

// Records the calls it gets; a message named "post" posts a task that
// answers "task", anything else is echoed at once.
class Recorder : public CefRefCounted<CefApp>, public CefRenderProcessHandler {
 public:
  CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() override { return this; }
  void AddRef() const override { CefRefCounted<CefApp>::AddRef(); }
  bool Release() const override { return CefRefCounted<CefApp>::Release(); }
  bool HasOneRef() const override { return CefRefCounted<CefApp>::HasOneRef(); }

  void OnWebKitInitialized() override { calls.push_back("webkit"); }
  void OnBrowserDestroyed(CefRefPtr<CefBrowser> browser) override {
    calls.push_back("browser gone " + std::to_string(browser->GetIdentifier()));
  }
  void OnContextCreated(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame> frame,
                        CefRefPtr<CefV8Context> context) override {
    CefRefPtr<CefV8Context> current = CefV8Context::GetCurrentContext();
    calls.push_back(std::string("created entered=") + (current && current->IsSame(context) ? "yes" : "no") +
                    " frame-context=" + (frame->GetV8Context()->IsSame(context) ? "yes" : "no"));
    contexts.push_back(context);
  }
  void OnContextReleased(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame>,
                         CefRefPtr<CefV8Context> context) override {
    calls.push_back(std::string("released valid=") + (context->IsValid() ? "yes" : "no"));
  }
  bool OnProcessMessageReceived(CefRefPtr<CefBrowser> browser, CefProcessId,
                                CefRefPtr<CefProcessMessage> message) override {
    const std::string name = message->GetName().ToString();
    calls.push_back("message " + name);
    if (name == "post") {
      EXPECT_TRUE(CefCurrentlyOn(TID_RENDERER));
      EXPECT_TRUE(CefPostTask(TID_RENDERER, new SendLater(browser, "task")));
      EXPECT_FALSE(CefPostTask(TID_UI, new SendLater(browser, "never")));
      bool fromOtherThread = true;
      std::thread([&] {
        fromOtherThread = CefPostTask(TID_RENDERER, new SendLater(browser, "never"));
      }).join();
      EXPECT_FALSE(fromOtherThread);
    } else {
      browser->SendProcessMessage(PID_BROWSER, CefProcessMessage::Create("echo " + name));
    }
    return false;
  }

  std::vector<std::string> calls;
  std::vector<CefRefPtr<CefV8Context>> contexts;
};

class RendererLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    recorder = new Recorder();
    loop = std::make_unique<RendererLoop>(recorder.get(), CefCommandLine::CreateCommandLine(),
                                          [this](const std::string& line) { output.push_back(line); });
    loop->Start();
    loop->HandleLine(R"({"type":"browser_created","browser":1})");
    loop->HandleLine(R"({"type":"context_created","browser":1,"frame":10,"main":true,"context":1})");
    output.clear();
  }
  // The process-message names the loop sent, in order.
  std::vector<std::string> sentNames() {
    std::vector<std::string> names;
    for (const auto& line : output) {
      const size_t at = line.find("\"name\":\"");
      if (at != std::string::npos) names.push_back(line.substr(at + 8, line.find('"', at + 8) - at - 8));
    }
    return names;
  }

  CefRefPtr<Recorder> recorder;
  std::unique_ptr<RendererLoop> loop;
  std::vector<std::string> output;
};

TEST_F(RendererLoopTest, PostedTasksRunAfterTheRestOfTheirBatch) {
  loop->HandleLine(R"({"type":"batch","messages":[)"
                   R"({"type":"process_message","browser":1,"name":"post"},)"
                   R"({"type":"process_message","browser":1,"name":"second"}]})");
  loop->HandleLine(R"({"type":"process_message","browser":1,"name":"post"})");
  loop->HandleLine(R"({"type":"process_message","browser":1,"name":"third"})");
  EXPECT_EQ(sentNames(), (std::vector<std::string>{"echo second", "task", "task", "echo third"}));
}

TEST_F(RendererLoopTest, HandlersRunInsideTheContextTheyAreAbout) {
  EXPECT_EQ(recorder->calls[0], "webkit");
  EXPECT_EQ(recorder->calls[1], "created entered=yes frame-context=yes");
  EXPECT_FALSE(CefV8Context::InContext());
  // A newer context for the same frame replaces the old one.
  loop->HandleLine(R"({"type":"context_created","browser":1,"frame":10,"main":true,"context":2})");
  ASSERT_EQ(recorder->contexts.size(), 2u);
  EXPECT_FALSE(recorder->contexts[0]->IsValid());
  EXPECT_EQ(recorder->calls[2], "released valid=yes");
  EXPECT_TRUE(recorder->contexts[1]->IsValid());
}

TEST_F(RendererLoopTest, ABrowserGoesAfterItsContextsAndShutdownReleasesTheRest) {
  loop->HandleLine(R"({"type":"browser_created","browser":2})");
  loop->HandleLine(R"({"type":"context_created","browser":2,"frame":20,"main":true,"context":5})");
  loop->HandleLine(R"({"type":"browser_destroyed","browser":2})");
  const size_t n = recorder->calls.size();
  EXPECT_EQ(recorder->calls[n - 2], "released valid=yes");
  EXPECT_EQ(recorder->calls[n - 1], "browser gone 2");
  loop->HandleLine(R"({"type":"shutdown"})");
  EXPECT_TRUE(loop->finished());
  EXPECT_EQ(recorder->calls.back(), "browser gone 1");
  for (const auto& context : recorder->contexts) EXPECT_FALSE(context->IsValid());
  loop->HandleLine(R"({"type":"process_message","browser":1,"name":"late"})");
  EXPECT_TRUE(sentNames().empty());
}

}  // namespace
