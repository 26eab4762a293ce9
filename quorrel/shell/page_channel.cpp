#include "page_channel.h"

#include "list_variant.h"
#include "webkit_messages.h"

namespace quorrel_shell {
namespace {

void flushed(GObject* view, GAsyncResult* result, gpointer data) {
  auto* done = static_cast<std::function<void(bool)>*>(data);
  GError* error = nullptr;
  WebKitUserMessage* reply =
      webkit_web_view_send_message_to_page_finish(WEBKIT_WEB_VIEW(view), result, &error);
  if (reply && g_object_is_floating(reply)) g_object_ref_sink(reply);
  if (reply) g_object_unref(reply);
  if (error) g_error_free(error);
  (*done)(reply != nullptr);
  delete done;
}

}  // namespace

void UseHelperExtension(WebKitWebContext* context, const std::string& folder) {
  webkit_web_context_set_web_extensions_directory(context, folder.c_str());
}

void PrepareHelperView(WebKitWebView* view) {
  webkit_settings_set_enable_page_cache(webkit_web_view_get_settings(view), FALSE);
}

PageChannel::PageChannel(WebKitWebView* view, Receiver receiver)
    : view_(WEBKIT_WEB_VIEW(g_object_ref(view))), receiver_(std::move(receiver)) {
  signal_ = g_signal_connect(view_, "user-message-received", G_CALLBACK(&PageChannel::received), this);
}

PageChannel::~PageChannel() {
  g_signal_handler_disconnect(view_, signal_);
  g_object_unref(view_);
}

void PageChannel::Send(const std::string& name, const CefRefPtr<CefListValue>& arguments) {
  WebKitUserMessage* message =
      webkit_user_message_new(name.c_str(), quorrel_webkit::ListToVariant(arguments));
  webkit_web_view_send_message_to_page(view_, message, nullptr, nullptr, nullptr);
}

void PageChannel::Flush(std::function<void(bool)> done) {
  WebKitUserMessage* ping = webkit_user_message_new(quorrel_webkit::kPingMessage, nullptr);
  webkit_web_view_send_message_to_page(view_, ping, nullptr, &flushed,
                                       new std::function<void(bool)>(std::move(done)));
}

gboolean PageChannel::received(WebKitWebView*, WebKitUserMessage* message, gpointer self) {
  auto* channel = static_cast<PageChannel*>(self);
  CefRefPtr<CefListValue> arguments = CefListValue::Create();
  GVariant* parameters = webkit_user_message_get_parameters(message);
  if (parameters && !quorrel_webkit::ListFromVariant(parameters, *arguments)) return FALSE;
  channel->receiver_(webkit_user_message_get_name(message), arguments);
  return TRUE;
}

}  // namespace quorrel_shell
