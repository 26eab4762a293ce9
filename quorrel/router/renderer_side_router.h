// The renderer half of the query router: installs the query and cancel
// functions in every context, keeps the outstanding requests, and hands the
// browser's replies back to the page's callbacks.
//
// A request lives in the table from cefQuery until its reply is delivered
// (a persistent one until a failure), it is cancelled, or its context goes
// away. Replies are never delivered inside the call that receives them but
// from a task posted to the renderer thread, so anything the page does in
// between (a cancel above all) takes effect first.
#pragma once

#include <cstdint>
#include <map>
#include <utility>

#include "cef_message_router.h"
#include "id_generator.h"
#include "router_messages.h"

namespace query_router {

class RendererSideRouter : public CefRefCounted<CefMessageRouterRendererSide> {
 public:
  explicit RendererSideRouter(const CefMessageRouterConfig& config);

  // CefMessageRouterRendererSide
  int GetPendingCount(CefRefPtr<CefBrowser> browser, CefRefPtr<CefV8Context> context) override;
  void OnContextCreated(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                        CefRefPtr<CefV8Context> context) override;
  void OnContextReleased(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                         CefRefPtr<CefV8Context> context) override;
  bool OnProcessMessageReceived(CefRefPtr<CefBrowser> browser, CefProcessId source_process,
                                CefRefPtr<CefProcessMessage> message) override;

  // For the function handlers.
  struct Callbacks {
    CefRefPtr<CefV8Value> onSuccess;
    CefRefPtr<CefV8Value> onFailure;
  };
  // The context's id, given on first use.
  int32_t ContextIdFor(CefRefPtr<CefV8Context> context);
  // Records the request, sends it and returns its id.
  int32_t SendQuery(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame, int32_t contextId,
                    const CefString& request, bool persistent, const Callbacks& callbacks);
  // True when the request was outstanding; the browser is then told.
  bool SendCancel(CefRefPtr<CefBrowser> browser, int32_t contextId, int32_t requestId);

 private:
  struct RequestRecord {
    bool persistent = false;
    Callbacks callbacks;
  };
  // (context id, request id)
  using RequestKey = std::pair<int32_t, int32_t>;
  using RequestMap = std::map<RequestKey, RequestRecord>;

  // Request id 0 removes every request of the context. Returns how many went.
  size_t removeRequests(int browserId, int32_t contextId, int32_t requestId);
  RequestRecord* findRequest(int browserId, int32_t contextId, int32_t requestId);
  void deliver(int browserId, const QueryReply& reply);
  void callInContext(int32_t contextId, CefRefPtr<CefV8Value> function, const CefV8ValueList& arguments);
  CefRefPtr<CefV8Context> contextById(int32_t contextId);
  // 0 when the context has not used the functions yet.
  int32_t knownContextId(CefRefPtr<CefV8Context> context);

  const CefMessageRouterConfig config_;
  const CefString queryMessageName_;
  const CefString cancelMessageName_;
  IdGenerator requestIds_;
  IdGenerator contextIds_;
  std::map<int32_t, CefRefPtr<CefV8Context>> contexts_;
  std::map<int, RequestMap> requests_;  // by browser id
};

}  // namespace query_router
