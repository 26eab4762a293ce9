#include "shell_server.h"

namespace quorrel_shell {
namespace {

const char kInvokeMessage[] = "TKInvoke";
const char kFocusMessage[] = "ClientRenderer.FocusedNodeChanged";
const char kQueryMessage[] = "cefQueryMsg";
const char kCancelMessage[] = "cefQueryCancelMsg";

bool typesAre(const CefRefPtr<CefListValue>& list, std::initializer_list<CefValueType> types) {
  size_t i = 0;
  for (CefValueType type : types)
    if (list->GetType(i++) != type) return false;
  return true;
}

CefRefPtr<CefListValue> tail(const CefRefPtr<CefListValue>& list, size_t from) {
  CefRefPtr<CefListValue> copy = list->Copy();
  for (size_t i = 0; i < from && copy->GetSize() > 0; ++i) copy->Remove(0);
  return copy;
}

}  // namespace

void ShellServer::Query::Success(const std::string& response) {
  std::shared_ptr<PageChannel> channel = channel_.lock();
  if (!open_ || !channel) return;
  open_ = persistent_;
  CefRefPtr<CefListValue> answer = CefListValue::Create();
  answer->SetInt(0, contextId_);
  answer->SetInt(1, requestId_);
  answer->SetBool(2, true);
  answer->SetString(3, response);
  channel->Send(kQueryMessage, answer);
}

void ShellServer::Query::Failure(int code, const std::string& message) {
  std::shared_ptr<PageChannel> channel = channel_.lock();
  if (!open_ || !channel) return;
  open_ = false;
  CefRefPtr<CefListValue> answer = CefListValue::Create();
  answer->SetInt(0, contextId_);
  answer->SetInt(1, requestId_);
  answer->SetBool(2, false);
  answer->SetInt(3, code);
  answer->SetString(4, message);
  channel->Send(kQueryMessage, answer);
}

ShellServer::ShellServer(WebKitWebView* view)
    : channel_(std::make_shared<PageChannel>(
          view, [this](const std::string& name, CefRefPtr<CefListValue> arguments) {
            received(name, arguments);
          })) {
  // A new page id means a new web process, which counts its context ids
  // afresh: queries of the old one can no longer be told apart.
  pageIdSignal_ = g_signal_connect(view, "notify::page-id", G_CALLBACK(&ShellServer::pageReplaced), this);
}

ShellServer::~ShellServer() {
  g_signal_handler_disconnect(channel_->view(), pageIdSignal_);
}

void ShellServer::SendEvent(const std::string& name, const CefRefPtr<CefListValue>& arguments) {
  channel_->Send(name, arguments);
}

void ShellServer::received(const std::string& name, CefRefPtr<CefListValue> arguments) {
  if (name == kInvokeMessage)
    invoked(arguments);
  else if (name == kQueryMessage)
    queried(arguments);
  else if (name == kCancelMessage)
    cancelled(arguments);
  else if (name == kFocusMessage && onFocus_ && typesAre(arguments, {VTYPE_BOOL, VTYPE_STRING}))
    onFocus_(arguments->GetBool(0), arguments->GetString(1).ToString());
}

// [id, [function name, arguments...]]
void ShellServer::invoked(CefRefPtr<CefListValue> arguments) {
  if (!onInvoke_ || !typesAre(arguments, {VTYPE_INT, VTYPE_LIST})) return;
  const int32_t id = arguments->GetInt(0);
  CefRefPtr<CefListValue> call = arguments->GetList(1);
  if (call->GetType(0) != VTYPE_STRING) return;
  std::weak_ptr<PageChannel> channel = channel_;
  auto answered = std::make_shared<bool>(false);
  Reply reply = [channel, id, answered](int code, const std::string& text) {
    std::shared_ptr<PageChannel> open = channel.lock();
    if (*answered || !open) return;
    *answered = true;
    CefRefPtr<CefListValue> answer = CefListValue::Create();
    answer->SetInt(0, id);
    answer->SetInt(1, code);
    answer->SetString(2, text);
    open->Send(kInvokeMessage, answer);
  };
  onInvoke_(call->GetString(0).ToString(), tail(call, 1), reply);
}

// [frame low, frame high, main, context id, request id, request, persistent]
void ShellServer::queried(CefRefPtr<CefListValue> arguments) {
  if (!onQuery_ || !typesAre(arguments, {VTYPE_INT, VTYPE_INT, VTYPE_BOOL, VTYPE_INT, VTYPE_INT, VTYPE_STRING,
                                         VTYPE_BOOL}))
    return;
  auto query = std::make_shared<Query>();
  query->channel_ = channel_;
  query->mainFrame_ = arguments->GetBool(2);
  query->contextId_ = arguments->GetInt(3);
  query->requestId_ = arguments->GetInt(4);
  query->request_ = arguments->GetString(5).ToString();
  query->persistent_ = arguments->GetBool(6);
  // Answered and dropped queries leave the table here, so it stays small.
  for (auto it = queries_.begin(); it != queries_.end();) {
    auto open = it->second.lock();
    it = open && open->open_ ? std::next(it) : queries_.erase(it);
  }
  queries_[{query->contextId_, query->requestId_}] = query;
  onQuery_(query);
}

// [context id, request id or 0 for all of the context]
void ShellServer::cancelled(CefRefPtr<CefListValue> arguments) {
  if (!typesAre(arguments, {VTYPE_INT, VTYPE_INT})) return;
  const int32_t contextId = arguments->GetInt(0);
  const int32_t requestId = arguments->GetInt(1);
  if (requestId == 0) return closeQueries(contextId);
  auto it = queries_.find({contextId, requestId});
  if (it == queries_.end()) return;
  if (auto query = it->second.lock()) query->open_ = false;
  queries_.erase(it);
}

// Context id 0 closes every query.
void ShellServer::closeQueries(int32_t contextId) {
  for (auto it = queries_.begin(); it != queries_.end();) {
    if (contextId != 0 && it->first.first != contextId) {
      ++it;
      continue;
    }
    if (auto query = it->second.lock()) query->open_ = false;
    it = queries_.erase(it);
  }
}

void ShellServer::pageReplaced(GObject*, GParamSpec*, gpointer self) {
  static_cast<ShellServer*>(self)->closeQueries(0);
}

}  // namespace quorrel_shell
