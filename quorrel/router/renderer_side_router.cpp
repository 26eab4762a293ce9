#include "renderer_side_router.h"

#include <climits>
#include <cstdio>
#include <functional>
#include <iterator>
#include <optional>

#include "cef_task.h"
#include "query_function_handler.h"

namespace query_router {
namespace {

// The two functions are part of the page's environment: a page script may
// not overwrite, delete or enumerate them.
const CefV8PropertyAttribute kFunctionAttributes = static_cast<CefV8PropertyAttribute>(
    V8_PROPERTY_ATTRIBUTE_READONLY | V8_PROPERTY_ATTRIBUTE_DONTENUM | V8_PROPERTY_ATTRIBUTE_DONTDELETE);

class ClosureTask : public CefRefCounted<CefTask> {
 public:
  explicit ClosureTask(std::function<void()> work) : work_(std::move(work)) {}
  void Execute() override { work_(); }

 private:
  std::function<void()> work_;
};

}  // namespace

RendererSideRouter::RendererSideRouter(const CefMessageRouterConfig& config)
    : config_(config),
      queryMessageName_(config.js_query_function.ToString() + "Msg"),
      cancelMessageName_(config.js_cancel_function.ToString() + "Msg") {}

int RendererSideRouter::GetPendingCount(CefRefPtr<CefBrowser> browser, CefRefPtr<CefV8Context> context) {
  if (!browser) return 0;
  auto perBrowser = requests_.find(browser->GetIdentifier());
  if (perBrowser == requests_.end()) return 0;
  if (!context) return static_cast<int>(perBrowser->second.size());
  // A context that never used the functions has nothing outstanding.
  const int32_t contextId = knownContextId(context);
  if (contextId == 0) return 0;
  int count = 0;
  for (const auto& entry : perBrowser->second)
    if (entry.first.first == contextId) ++count;
  return count;
}

void RendererSideRouter::OnContextCreated(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame>,
                                          CefRefPtr<CefV8Context> context) {
  CefRefPtr<CefV8Value> global = context ? context->GetGlobal() : nullptr;
  if (!global) return;
  CefRefPtr<CefV8Handler> handler = new QueryFunctionHandler(this, config_);
  global->SetValue(config_.js_query_function, CefV8Value::CreateFunction(config_.js_query_function, handler),
                   kFunctionAttributes);
  global->SetValue(config_.js_cancel_function,
                   CefV8Value::CreateFunction(config_.js_cancel_function, handler), kFunctionAttributes);
}

void RendererSideRouter::OnContextReleased(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame>,
                                           CefRefPtr<CefV8Context> context) {
  if (!context) return;
  const int32_t contextId = knownContextId(context);
  if (contextId == 0) return;
  contexts_.erase(contextId);
  if (!browser) return;
  // One message withdraws everything the page left open; no callback runs.
  if (removeRequests(browser->GetIdentifier(), contextId, 0) > 0)
    browser->SendProcessMessage(PID_BROWSER, MakeCancelMessage(cancelMessageName_, contextId, 0));
}

bool RendererSideRouter::OnProcessMessageReceived(CefRefPtr<CefBrowser> browser, CefProcessId,
                                                  CefRefPtr<CefProcessMessage> message) {
  if (!message || message->GetName() != queryMessageName_) return false;
  std::optional<QueryReply> reply = ReadQueryReply(message->GetArgumentList());
  if (!reply) {
    std::fprintf(stderr, "quorrel: ignored a %s reply without the reply layout\n",
                 queryMessageName_.ToString().c_str());
    return true;
  }
  if (!browser) return true;
  CefRefPtr<RendererSideRouter> self(this);
  const int browserId = browser->GetIdentifier();
  CefPostTask(TID_RENDERER,
              new ClosureTask([self, browserId, reply = *reply] { self->deliver(browserId, reply); }));
  return true;
}

int32_t RendererSideRouter::ContextIdFor(CefRefPtr<CefV8Context> context) {
  int32_t id = knownContextId(context);
  if (id != 0) return id;
  id = contextIds_.Next();
  contexts_[id] = context;
  return id;
}

// Handles of one context may differ; the engine's sameness test decides.
int32_t RendererSideRouter::knownContextId(CefRefPtr<CefV8Context> context) {
  for (const auto& entry : contexts_)
    if (entry.second->IsSame(context)) return entry.first;
  return 0;
}

int32_t RendererSideRouter::SendQuery(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                                      int32_t contextId, const CefString& request, bool persistent,
                                      const Callbacks& callbacks) {
  QueryMessage query;
  query.frameId = frame->GetIdentifier();
  query.isMainFrame = frame->IsMain();
  query.contextId = contextId;
  query.requestId = requestIds_.Next();
  query.request = request;
  query.persistent = persistent;
  requests_[browser->GetIdentifier()][RequestKey(contextId, query.requestId)] =
      RequestRecord{persistent, callbacks};
  browser->SendProcessMessage(PID_BROWSER, MakeQueryMessage(queryMessageName_, query));
  return query.requestId;
}

bool RendererSideRouter::SendCancel(CefRefPtr<CefBrowser> browser, int32_t contextId, int32_t requestId) {
  if (requestId == 0 || removeRequests(browser->GetIdentifier(), contextId, requestId) == 0) return false;
  browser->SendProcessMessage(PID_BROWSER, MakeCancelMessage(cancelMessageName_, contextId, requestId));
  return true;
}

size_t RendererSideRouter::removeRequests(int browserId, int32_t contextId, int32_t requestId) {
  auto perBrowser = requests_.find(browserId);
  if (perBrowser == requests_.end()) return 0;
  RequestMap& map = perBrowser->second;
  size_t removed = 0;
  if (requestId != 0) {
    removed = map.erase(RequestKey(contextId, requestId));
  } else {
    // Keys sort by context id first, so the context's requests are one run.
    auto first = map.lower_bound(RequestKey(contextId, INT32_MIN));
    auto last = map.upper_bound(RequestKey(contextId, INT32_MAX));
    removed = static_cast<size_t>(std::distance(first, last));
    map.erase(first, last);
  }
  if (map.empty()) requests_.erase(perBrowser);
  return removed;
}

RendererSideRouter::RequestRecord* RendererSideRouter::findRequest(int browserId, int32_t contextId,
                                                                   int32_t requestId) {
  auto perBrowser = requests_.find(browserId);
  if (perBrowser == requests_.end()) return nullptr;
  auto it = perBrowser->second.find(RequestKey(contextId, requestId));
  return it == perBrowser->second.end() ? nullptr : &it->second;
}

// The record is settled before any page code runs: a callback may query,
// cancel or even release things, and must find the table already current.
void RendererSideRouter::deliver(int browserId, const QueryReply& reply) {
  RequestRecord* found = findRequest(browserId, reply.contextId, reply.requestId);
  if (!found) return;
  const RequestRecord record = *found;
  if (!reply.success || !record.persistent) removeRequests(browserId, reply.contextId, reply.requestId);
  if (reply.success) {
    if (record.callbacks.onSuccess)
      callInContext(reply.contextId, record.callbacks.onSuccess, {CefV8Value::CreateString(reply.response)});
  } else if (record.callbacks.onFailure) {
    callInContext(reply.contextId, record.callbacks.onFailure,
                  {CefV8Value::CreateInt(reply.errorCode), CefV8Value::CreateString(reply.errorMessage)});
  }
}

void RendererSideRouter::callInContext(int32_t contextId, CefRefPtr<CefV8Value> function,
                                       const CefV8ValueList& arguments) {
  CefRefPtr<CefV8Context> context = contextById(contextId);
  if (!context || !context->Enter()) return;
  function->ExecuteFunction(nullptr, arguments);
  context->Exit();
}

CefRefPtr<CefV8Context> RendererSideRouter::contextById(int32_t contextId) {
  auto it = contexts_.find(contextId);
  return it == contexts_.end() ? nullptr : it->second;
}

}  // namespace query_router

CefRefPtr<CefMessageRouterRendererSide> CefMessageRouterRendererSide::Create(
    const CefMessageRouterConfig& config) {
  if (config.js_query_function.empty() || config.js_cancel_function.empty()) return nullptr;
  return new query_router::RendererSideRouter(config);
}
