// The router on its own, inside the renderer loop: its configuration, its
// count of outstanding requests, what it claims as its own, and its ids.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "cef_message_router.h"
#include "id_generator.h"
#include "renderer_loop.h"

namespace {

// A render-process handler that has nothing but a router, and keeps the
// browsers and contexts it saw so that the test can ask about them.
class RouterHost : public CefRefCounted<CefApp>, public CefRenderProcessHandler {
 public:
  explicit RouterHost(const CefMessageRouterConfig& config) : config_(config) {}
  CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() override { return this; }
  void AddRef() const override { CefRefCounted<CefApp>::AddRef(); }
  bool Release() const override { return CefRefCounted<CefApp>::Release(); }
  bool HasOneRef() const override { return CefRefCounted<CefApp>::HasOneRef(); }

  void OnWebKitInitialized() override { router = CefMessageRouterRendererSide::Create(config_); }
  void OnBrowserCreated(CefRefPtr<CefBrowser> browser) override { browsers.push_back(browser); }
  void OnContextCreated(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                        CefRefPtr<CefV8Context> context) override {
    contexts.push_back(context);
    router->OnContextCreated(browser, frame, context);
  }
  void OnContextReleased(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                         CefRefPtr<CefV8Context> context) override {
    router->OnContextReleased(browser, frame, context);
  }
  bool OnProcessMessageReceived(CefRefPtr<CefBrowser> browser, CefProcessId source,
                                CefRefPtr<CefProcessMessage> message) override {
    return router->OnProcessMessageReceived(browser, source, message);
  }

  CefRefPtr<CefMessageRouterRendererSide> router;
  std::vector<CefRefPtr<CefBrowser>> browsers;
  std::vector<CefRefPtr<CefV8Context>> contexts;

 private:
  CefMessageRouterConfig config_;
};

class Router : public ::testing::Test {
 protected:
  void start(const CefMessageRouterConfig& config = CefMessageRouterConfig()) {
    host = new RouterHost(config);
    loop = std::make_unique<RendererLoop>(host.get(), CefCommandLine::CreateCommandLine(),
                                          [this](const std::string& line) { output.push_back(line); });
    loop->Start();
    output.clear();
  }
  void TearDown() override {
    loop.reset();
    if (host) {
      host->contexts.clear();
      host->browsers.clear();
      host->router = nullptr;
      EXPECT_TRUE(host->HasOneRef()) << "the router must let go of everything it was given";
    }
  }
  // Runs a script in a context and returns its result.
  std::string run(int context, const std::string& script) {
    output.clear();
    loop->HandleLine(R"({"type":"run_script","id":0,"context":)" + std::to_string(context) + R"(,"script":)" +
                     quoted(script) + "}");
    const std::string& last = output.back();
    const size_t at = last.find("\"result\":\"");
    return at == std::string::npos ? last : last.substr(at + 10, last.find('"', at + 10) - at - 10);
  }
  void line(const std::string& text) { loop->HandleLine(text); }
  void page(int browser, int frame, int context) {
    line(R"({"type":"context_created","browser":)" + std::to_string(browser) + R"(,"frame":)" +
         std::to_string(frame) + R"(,"main":true,"context":)" + std::to_string(context) + "}");
  }
  static std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) out += c == '"' ? std::string("\\\"") : std::string(1, c);
    return out + "\"";
  }
  int pending(int browserIndex, int contextIndex = -1) {
    return host->router->GetPendingCount(
        host->browsers[static_cast<size_t>(browserIndex)],
        contextIndex < 0 ? nullptr : host->contexts[static_cast<size_t>(contextIndex)]);
  }

  CefRefPtr<RouterHost> host;
  std::unique_ptr<RendererLoop> loop;
  std::vector<std::string> output;
};

TEST(RouterConfig, RefusesEmptyFunctionNames) {
  CefMessageRouterConfig config;
  EXPECT_TRUE(CefMessageRouterRendererSide::Create(config));
  config.js_query_function = "";
  EXPECT_FALSE(CefMessageRouterRendererSide::Create(config));
  config = CefMessageRouterConfig();
  config.js_cancel_function = "";
  EXPECT_FALSE(CefMessageRouterRendererSide::Create(config));
}

TEST_F(Router, NamesItsFunctionsAndMessagesAfterTheConfiguration) {
  CefMessageRouterConfig config;
  config.js_query_function = "askHost";
  config.js_cancel_function = "dropAsk";
  start(config);
  line(R"({"type":"browser_created","browser":1})");
  page(1, 10, 1);
  EXPECT_EQ(run(1, "typeof cefQuery + typeof cefQueryCancel + typeof askHost + typeof dropAsk"),
            "undefinedundefinedfunctionfunction");
  run(1,
      "var log = []; var id = askHost({request: 'r', onSuccess: function(t) { log.push(t); }}); dropAsk(id);"
      "askHost({request: 's', onSuccess: function(t) { log.push(t); }})");
  ASSERT_EQ(output.size(), 4u);
  EXPECT_NE(output[0].find(R"("name":"askHostMsg")"), std::string::npos) << output[0];
  EXPECT_NE(output[1].find(R"("args":[{"int":1},{"int":1}],"browser":1,"name":"dropAskMsg")"),
            std::string::npos)
      << output[1];
  line(
      R"({"type":"process_message","browser":1,"name":"cefQueryMsg","args":[{"int":1},{"int":2},{"bool":true},{"string":"not mine"}]})");
  line(
      R"({"type":"process_message","browser":1,"name":"askHostMsg","args":[{"int":1},{"int":2},{"bool":true},{"string":"mine"}]})");
  EXPECT_EQ(run(1, "log.join()"), "mine");
}

TEST_F(Router, ClaimsOnlyItsOwnReplyMessage) {
  start();
  line(R"({"type":"browser_created","browser":1})");
  CefRefPtr<CefBrowser> browser = host->browsers[0];
  auto named = [](const char* name) { return CefProcessMessage::Create(name); };
  EXPECT_TRUE(host->router->OnProcessMessageReceived(browser, PID_BROWSER, named("cefQueryMsg")))
      << "even a malformed reply is the router's";
  EXPECT_FALSE(host->router->OnProcessMessageReceived(browser, PID_BROWSER, named("cefQueryCancelMsg")));
  EXPECT_FALSE(host->router->OnProcessMessageReceived(browser, PID_BROWSER, named("TKInvoke")));
  EXPECT_FALSE(host->router->OnProcessMessageReceived(browser, PID_BROWSER, named("cefQuery")));
}

TEST_F(Router, CountsPendingRequestsByBrowserAndContext) {
  start();
  line(R"({"type":"browser_created","browser":1})");
  line(R"({"type":"browser_created","browser":2})");
  page(1, 10, 1);
  page(1, 11, 2);
  page(1, 12, 3);
  page(2, 20, 4);
  EXPECT_EQ(pending(0), 0);
  run(1, "cefQuery({request: 'a'}); cefQuery({request: 'b', persistent: true});");
  run(2, "cefQuery({request: 'c'})");
  run(4, "cefQuery({request: 'd'})");
  EXPECT_EQ(pending(0), 3);
  EXPECT_EQ(pending(0, 0), 2);
  EXPECT_EQ(pending(0, 1), 1);
  EXPECT_EQ(pending(0, 2), 0) << "a context that never asked";
  EXPECT_EQ(pending(1), 1);
  EXPECT_EQ(host->router->GetPendingCount(nullptr, nullptr), 0);
  // Context ids: 1 for the first page, 2 for the second.
  line(
      R"({"type":"process_message","browser":1,"name":"cefQueryMsg","args":[{"int":1},{"int":1},{"bool":true},{"string":"a"}]})");
  line(
      R"({"type":"process_message","browser":1,"name":"cefQueryMsg","args":[{"int":1},{"int":2},{"bool":true},{"string":"b"}]})");
  EXPECT_EQ(pending(0, 0), 1) << "the persistent one stays";
  run(2, "cefQueryCancel(3)");
  EXPECT_EQ(pending(0), 1);
  line(R"({"type":"context_released","context":1})");
  EXPECT_EQ(pending(0), 0);
  EXPECT_EQ(pending(1), 1);
}

TEST(RouterIds, StartAtOneAndNeverHandOutZero) {
  query_router::IdGenerator fresh;
  EXPECT_EQ(fresh.Next(), 1);
  EXPECT_EQ(fresh.Next(), 2);
  query_router::IdGenerator atTop(INT32_MAX);
  EXPECT_EQ(atTop.Next(), INT32_MIN);
  query_router::IdGenerator belowZero(-1);
  EXPECT_EQ(belowZero.Next(), 1);
}

}  // namespace
