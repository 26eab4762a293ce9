// Stands in for the query router until its implementation is linked: the
// helper then runs without cefQuery and cefQueryCancel.
#include "cef_message_router.h"

CefRefPtr<CefMessageRouterRendererSide> CefMessageRouterRendererSide::Create(const CefMessageRouterConfig&) {
  return nullptr;
}
