// Browsers and frames as a WebKit web process sees them: a CEF browser is
// a web page (one per web view), a CEF frame is a WebKit frame. Both hold
// the WebKit object weakly: WebKit decides when a page or frame goes away,
// and the extension hears of it through the weak reference.
#pragma once

#include <webkit2/webkit-web-extension.h>

#include <functional>
#include <map>

#include "cef_browser.h"
#include "jsc_engine.h"

namespace quorrel_webkit {

class PageFrame;

class PageBrowser : public CefRefCounted<CefBrowser> {
 public:
  using GoneCallback = std::function<void(PageBrowser&)>;
  using FrameGoneCallback = std::function<void(PageFrame&)>;

  PageBrowser(WebKitWebPage* page, GoneCallback onGone, FrameGoneCallback onFrameGone);
  ~PageBrowser() override;

  // The page id: WebKit counts pages up in each browser process, far below
  // where 32 bits would not hold them.
  int GetIdentifier() override { return id_; }
  bool IsSame(CefRefPtr<CefBrowser> that) override { return that && that->GetIdentifier() == id_; }
  CefRefPtr<CefFrame> GetMainFrame() override;
  CefRefPtr<CefFrame> GetFrame(int64_t identifier) override;
  bool SendProcessMessage(CefProcessId target_process, CefRefPtr<CefProcessMessage> message) override;

  WebKitWebPage* page() const { return page_; }
  // The frame for a WebKit frame, made on first sight.
  CefRefPtr<PageFrame> FrameFor(WebKitFrame* frame);
  std::vector<CefRefPtr<PageFrame>> Frames() const;
  void ForgetFrame(PageFrame& frame);

 private:
  static void pageFinalized(gpointer self, GObject* page);

  WebKitWebPage* page_;
  int id_;
  GoneCallback onGone_;
  FrameGoneCallback onFrameGone_;
  std::map<int64_t, CefRefPtr<PageFrame>> frames_;
};

class PageFrame : public CefRefCounted<CefFrame> {
 public:
  PageFrame(PageBrowser* browser, WebKitFrame* frame, PageBrowser::FrameGoneCallback onGone);
  ~PageFrame() override;

  bool IsValid() override { return frame_ != nullptr && browser_ != nullptr; }
  bool IsMain() override { return isMain_; }
  int64_t GetIdentifier() override { return id_; }
  CefRefPtr<CefBrowser> GetBrowser() override { return browser_; }
  CefRefPtr<CefV8Context> GetV8Context() override;

  WebKitFrame* frame() const { return frame_; }
  const JscState& context() const { return context_; }
  void SetContext(JscState context) { context_ = std::move(context); }
  // Cuts the frame loose from its page (the browser keeps no frames).
  void Detach();

 private:
  static void frameFinalized(gpointer self, GObject* frame);

  PageBrowser* browser_;
  WebKitFrame* frame_;
  int64_t id_;
  bool isMain_;
  PageBrowser::FrameGoneCallback onGone_;
  JscState context_;
};

}  // namespace quorrel_webkit
