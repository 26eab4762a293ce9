// A WebKitGTK view with the helper's extension as a page engine. Each page
// gets a web context of its own, so a fresh web process (request ids from
// 1), in a window on the test's X display. Every wait runs the GLib main
// loop until its event arrives, with a generous deadline for loaded
// machines; a missed deadline fails the test with what was awaited.
#pragma once

#include <webkit2/webkit2.h>

#include <functional>

#include "page_channel.h"
#include "page_engine.h"

class WebKitPages : public PageEngine {
 public:
  WebKitPages() = default;
  // A page in a view that shares `related`'s web process.
  explicit WebKitPages(WebKitPages& related) : related_(related.view_) {}
  ~WebKitPages() override;

  Engine kind() const override { return Engine::WebKit; }
  // Needs an X display.
  bool Available(std::string* reason) override;
  void Open(int children) override;
  std::string Run(int frame, const std::string& script) override;
  void Send(const std::string& name, const Json::Value& typedArgs) override;
  std::vector<Json::Value> Take() override;
  void Navigate(int frame) override;
  void Remove(int frame) override;
  bool Close() override;

  // Loads `html` as the main document and waits for it to finish loading.
  void Load(const std::string& html);
  WebKitWebView* view() const { return view_; }

 private:
  void waitFor(const std::function<bool()>& done, const char* what, int seconds = 60);
  static void loadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self);
  static void processGone(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer self);

  WebKitWebView* related_ = nullptr;
  WebKitWebContext* context_ = nullptr;
  GtkWidget* window_ = nullptr;
  WebKitWebView* view_ = nullptr;
  std::unique_ptr<quorrel_shell::PageChannel> channel_;
  std::vector<Json::Value> inbox_;
  int children_ = 0;
  bool loaded_ = false;
  bool processGone_ = false;
};
