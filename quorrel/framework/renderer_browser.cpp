#include "renderer_browser.h"

#include "v8_value.h"

CefRefPtr<CefFrame> BrowserImpl::GetMainFrame() {
  for (auto& entry : frames_)
    if (entry.second->IsMain()) return entry.second;
  return nullptr;
}

CefRefPtr<CefFrame> BrowserImpl::GetFrame(int64_t identifier) {
  auto it = frames_.find(identifier);
  return it == frames_.end() ? nullptr : it->second;
}

bool BrowserImpl::SendProcessMessage(CefProcessId target_process, CefRefPtr<CefProcessMessage> message) {
  if (target_process != PID_BROWSER || !message || !sink_) return false;
  sink_->SendToBrowserProcess(id_, message);
  return true;
}

CefRefPtr<FrameImpl> BrowserImpl::FrameFor(int64_t identifier, bool isMain) {
  auto& frame = frames_[identifier];
  if (!frame) frame = new FrameImpl(this, identifier, isMain);
  frame->SetMain(isMain);
  return frame;
}

void BrowserImpl::ForgetFrame(int64_t identifier) {
  auto it = frames_.find(identifier);
  if (it == frames_.end()) return;
  it->second->Detach();
  frames_.erase(it);
}

void BrowserImpl::Detach() {
  sink_ = nullptr;
  for (auto& entry : frames_) entry.second->Detach();
  frames_.clear();
}

CefRefPtr<CefV8Context> FrameImpl::GetV8Context() {
  if (!context_ || !context_->valid) return nullptr;
  return new V8ContextImpl(context_);
}
