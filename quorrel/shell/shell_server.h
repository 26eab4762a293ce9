// The shell's answers to one page: the browser halves of the bridge
// (TKInvoke requests and replies, events to registered functions) and of
// the query router (cefQuery requests, responses, cancels), and the focus
// reports. Everything runs on the GLib main loop; an answer may be given
// at once or later, and is dropped when the page or the server is gone.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "page_channel.h"

namespace quorrel_shell {

class ShellServer {
 public:
  // Answers a TKInvoke request: code 0 and the result, or an error code
  // and its text. Only the first answer counts.
  using Reply = std::function<void(int code, const std::string& text)>;
  using InvokeHandler =
      std::function<void(const std::string& function, CefRefPtr<CefListValue> arguments, Reply reply)>;

  // One cefQuery request. A persistent query may succeed many times until
  // it fails or the page cancels it; any other closes with its first answer.
  class Query {
   public:
    const std::string& request() const { return request_; }
    bool persistent() const { return persistent_; }
    bool mainFrame() const { return mainFrame_; }
    bool open() const { return open_; }
    void Success(const std::string& response);
    void Failure(int code, const std::string& message);

   private:
    friend class ShellServer;
    std::weak_ptr<PageChannel> channel_;
    int32_t contextId_ = 0;
    int32_t requestId_ = 0;
    std::string request_;
    bool persistent_ = false;
    bool mainFrame_ = false;
    bool open_ = true;
  };
  using QueryHandler = std::function<void(std::shared_ptr<Query> query)>;
  using FocusHandler = std::function<void(bool editable, const std::string& elementId)>;

  explicit ShellServer(WebKitWebView* view);
  ~ShellServer();

  void OnInvoke(InvokeHandler handler) { onInvoke_ = std::move(handler); }
  void OnQuery(QueryHandler handler) { onQuery_ = std::move(handler); }
  void OnFocus(FocusHandler handler) { onFocus_ = std::move(handler); }
  // A message to whatever function the page registered under `name`.
  void SendEvent(const std::string& name, const CefRefPtr<CefListValue>& arguments);

 private:
  void received(const std::string& name, CefRefPtr<CefListValue> arguments);
  void invoked(CefRefPtr<CefListValue> arguments);
  void queried(CefRefPtr<CefListValue> arguments);
  void cancelled(CefRefPtr<CefListValue> arguments);
  void closeQueries(int32_t contextId);
  static void pageReplaced(GObject*, GParamSpec*, gpointer self);

  std::shared_ptr<PageChannel> channel_;
  gulong pageIdSignal_ = 0;
  InvokeHandler onInvoke_;
  QueryHandler onQuery_;
  FocusHandler onFocus_;
  // Open queries by (context id, request id), to honour cancels.
  std::map<std::pair<int32_t, int32_t>, std::weak_ptr<Query>> queries_;
};

}  // namespace quorrel_shell
