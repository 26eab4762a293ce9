// The wire layout of the router's process messages. The renderer writes
// queries and cancels; the browser answers a query under the query
// message's own name, either with a response or with an error.
#pragma once

#include <cstdint>
#include <optional>

#include "cef_process_message.h"

namespace query_router {

struct QueryMessage {
  int64_t frameId = 0;
  bool isMainFrame = false;
  int32_t contextId = 0;
  int32_t requestId = 0;
  CefString request;
  bool persistent = false;
};

struct QueryReply {
  int32_t contextId = 0;
  int32_t requestId = 0;
  bool success = false;
  CefString response;  // when success
  int errorCode = 0;   // otherwise
  CefString errorMessage;
};

CefRefPtr<CefProcessMessage> MakeQueryMessage(const CefString& name, const QueryMessage& query);
CefRefPtr<CefProcessMessage> MakeCancelMessage(const CefString& name, int32_t contextId, int32_t requestId);
// Nothing when the arguments do not have the reply layout.
std::optional<QueryReply> ReadQueryReply(CefRefPtr<CefListValue> args);

}  // namespace query_router
