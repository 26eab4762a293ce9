// The renderer's view of browsers, frames and focused nodes, as the
// browser process describes them over the pipe.
#pragma once

#include <map>
#include <memory>

#include "cef_browser.h"
#include "dom_node_impl.h"
#include "v8_engine.h"

// Where a browser's outgoing process messages go.
class ProcessMessageSink {
 public:
  virtual ~ProcessMessageSink() = default;
  virtual void SendToBrowserProcess(int browserId, CefRefPtr<CefProcessMessage> message) = 0;
};

class FrameImpl;

class BrowserImpl : public CefRefCounted<CefBrowser> {
 public:
  BrowserImpl(int id, ProcessMessageSink* sink) : id_(id), sink_(sink) {}
  ~BrowserImpl() override { Detach(); }

  int GetIdentifier() override { return id_; }
  bool IsSame(CefRefPtr<CefBrowser> that) override { return that && that->GetIdentifier() == id_; }
  CefRefPtr<CefFrame> GetMainFrame() override;
  CefRefPtr<CefFrame> GetFrame(int64_t identifier) override;
  bool SendProcessMessage(CefProcessId target_process, CefRefPtr<CefProcessMessage> message) override;

  // The frame with this id, made on first use.
  CefRefPtr<FrameImpl> FrameFor(int64_t identifier, bool isMain);
  void ForgetFrame(int64_t identifier);
  // Cuts the browser loose from the process: no more messages, no frames.
  void Detach();

 private:
  int id_;
  ProcessMessageSink* sink_;
  std::map<int64_t, CefRefPtr<FrameImpl>> frames_;
};

class FrameImpl : public CefRefCounted<CefFrame> {
 public:
  FrameImpl(BrowserImpl* browser, int64_t id, bool isMain) : browser_(browser), id_(id), isMain_(isMain) {}

  bool IsValid() override { return browser_ != nullptr; }
  bool IsMain() override { return isMain_; }
  int64_t GetIdentifier() override { return id_; }
  CefRefPtr<CefBrowser> GetBrowser() override { return browser_; }
  CefRefPtr<CefV8Context> GetV8Context() override;

  void SetMain(bool isMain) { isMain_ = isMain; }
  const std::shared_ptr<V8ContextState>& context() const { return context_; }
  void SetContext(std::shared_ptr<V8ContextState> context) { context_ = std::move(context); }
  void Detach() {
    browser_ = nullptr;
    context_ = nullptr;
  }

 private:
  // The browser owns its frames; a frame only points back.
  BrowserImpl* browser_;
  int64_t id_;
  bool isMain_;
  std::shared_ptr<V8ContextState> context_;
};
