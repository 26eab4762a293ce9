#include "router_messages.h"

namespace query_router {

// A frame id is 64 bits but list values carry 32-bit ints, so it travels
// as its low and high halves, each reinterpreted as a signed int.
CefRefPtr<CefProcessMessage> MakeQueryMessage(const CefString& name, const QueryMessage& query) {
  CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(name);
  CefRefPtr<CefListValue> args = message->GetArgumentList();
  const uint64_t frame = static_cast<uint64_t>(query.frameId);
  args->SetInt(0, static_cast<int32_t>(static_cast<uint32_t>(frame & 0xffffffffu)));
  args->SetInt(1, static_cast<int32_t>(static_cast<uint32_t>(frame >> 32)));
  args->SetBool(2, query.isMainFrame);
  args->SetInt(3, query.contextId);
  args->SetInt(4, query.requestId);
  args->SetString(5, query.request);
  args->SetBool(6, query.persistent);
  return message;
}

CefRefPtr<CefProcessMessage> MakeCancelMessage(const CefString& name, int32_t contextId, int32_t requestId) {
  CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(name);
  CefRefPtr<CefListValue> args = message->GetArgumentList();
  args->SetInt(0, contextId);
  args->SetInt(1, requestId);
  return message;
}

// The browser process is outside our control: a reply whose elements have
// the wrong types is refused rather than read as zeros and empty strings,
// which would turn a garbled success into a failure delivered to the page.
std::optional<QueryReply> ReadQueryReply(CefRefPtr<CefListValue> args) {
  if (!args || args->GetType(0) != VTYPE_INT || args->GetType(1) != VTYPE_INT ||
      args->GetType(2) != VTYPE_BOOL)
    return std::nullopt;
  QueryReply reply;
  reply.contextId = args->GetInt(0);
  reply.requestId = args->GetInt(1);
  reply.success = args->GetBool(2);
  if (reply.success) {
    if (args->GetType(3) != VTYPE_STRING) return std::nullopt;
    reply.response = args->GetString(3);
  } else {
    if (args->GetType(3) != VTYPE_INT || args->GetType(4) != VTYPE_STRING) return std::nullopt;
    reply.errorCode = args->GetInt(3);
    reply.errorMessage = args->GetString(4);
  }
  return reply;
}

}  // namespace query_router
