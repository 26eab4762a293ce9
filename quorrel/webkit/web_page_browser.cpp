#include "web_page_browser.h"

#include "jsc_context.h"
#include "list_variant.h"

namespace quorrel_webkit {

PageBrowser::PageBrowser(WebKitWebPage* page, GoneCallback onGone, FrameGoneCallback onFrameGone)
    : page_(page),
      id_(static_cast<int>(webkit_web_page_get_id(page))),
      onGone_(std::move(onGone)),
      onFrameGone_(std::move(onFrameGone)) {
  g_object_weak_ref(G_OBJECT(page_), &PageBrowser::pageFinalized, this);
}

PageBrowser::~PageBrowser() {
  if (page_) g_object_weak_unref(G_OBJECT(page_), &PageBrowser::pageFinalized, this);
  for (auto& entry : frames_) entry.second->Detach();
}

void PageBrowser::pageFinalized(gpointer self, GObject*) {
  auto* browser = static_cast<PageBrowser*>(self);
  CefRefPtr<PageBrowser> keep(browser);
  browser->page_ = nullptr;
  // A copy: the callback may drop the browser's own.
  GoneCallback callback = browser->onGone_;
  if (callback) callback(*browser);
}

CefRefPtr<CefFrame> PageBrowser::GetMainFrame() {
  for (auto& entry : frames_)
    if (entry.second->IsMain()) return entry.second;
  return nullptr;
}

CefRefPtr<CefFrame> PageBrowser::GetFrame(int64_t identifier) {
  auto it = frames_.find(identifier);
  return it == frames_.end() ? nullptr : it->second;
}

bool PageBrowser::SendProcessMessage(CefProcessId target_process, CefRefPtr<CefProcessMessage> message) {
  if (target_process != PID_BROWSER || !message || !page_) return false;
  WebKitUserMessage* userMessage = webkit_user_message_new(message->GetName().ToString().c_str(),
                                                           ListToVariant(message->GetArgumentList()));
  // Nothing waits for an answer: replies come back as messages of their own.
  webkit_web_page_send_message_to_view(page_, userMessage, nullptr, nullptr, nullptr);
  return true;
}

CefRefPtr<PageFrame> PageBrowser::FrameFor(WebKitFrame* frame) {
  const auto id = static_cast<int64_t>(webkit_frame_get_id(frame));
  auto& entry = frames_[id];
  if (!entry || entry->frame() != frame) {
    if (entry) entry->Detach();
    entry = new PageFrame(this, frame, onFrameGone_);
  }
  return entry;
}

std::vector<CefRefPtr<PageFrame>> PageBrowser::Frames() const {
  std::vector<CefRefPtr<PageFrame>> frames;
  for (const auto& entry : frames_) frames.push_back(entry.second);
  return frames;
}

void PageBrowser::ForgetFrame(PageFrame& frame) {
  auto it = frames_.find(frame.GetIdentifier());
  if (it == frames_.end() || it->second.get() != &frame) return;
  CefRefPtr<PageFrame> keep = it->second;
  frames_.erase(it);
  keep->Detach();
}

PageFrame::PageFrame(PageBrowser* browser, WebKitFrame* frame, PageBrowser::FrameGoneCallback onGone)
    : browser_(browser),
      frame_(frame),
      id_(static_cast<int64_t>(webkit_frame_get_id(frame))),
      isMain_(webkit_frame_is_main_frame(frame)),
      onGone_(std::move(onGone)) {
  g_object_weak_ref(G_OBJECT(frame_), &PageFrame::frameFinalized, this);
}

PageFrame::~PageFrame() {
  Detach();
}

void PageFrame::Detach() {
  if (frame_) g_object_weak_unref(G_OBJECT(frame_), &PageFrame::frameFinalized, this);
  frame_ = nullptr;
  browser_ = nullptr;
  onGone_ = nullptr;
}

void PageFrame::frameFinalized(gpointer self, GObject*) {
  auto* frame = static_cast<PageFrame*>(self);
  CefRefPtr<PageFrame> keep(frame);
  frame->frame_ = nullptr;
  // A copy: the callback detaches the frame, which drops the frame's own.
  PageBrowser::FrameGoneCallback callback = frame->onGone_;
  if (callback) callback(*frame);
}

CefRefPtr<CefV8Context> PageFrame::GetV8Context() {
  if (!context_ || !context_->valid) return nullptr;
  return new JscContext(context_);
}

}  // namespace quorrel_webkit
