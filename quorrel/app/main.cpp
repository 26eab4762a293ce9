// quorrel: the sub-process executable of the client shell's browser.
#include <cstring>

#include "cef_app.h"
#include "tk_cef_app.h"

namespace {

// The interface version the helper was built against.
const char kBuiltApiHash[] = "64b27477b82b44b51ce817522f744fca6768cbbb";

int runSubProcess(const CefMainArgs& args, CefRefPtr<tarkel_cef::TKCefApp> app) {
  const char* hash = cef_api_hash(0);
  // A different framework build would misread our objects; stay out of it.
  if (!hash || std::strcmp(hash, kBuiltApiHash) != 0) return 0;
  return cef_execute_process(args, app.get(), nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  cef_enable_highdpi_support();
  CefMainArgs args(argc, argv);
  CefRefPtr<tarkel_cef::TKCefApp> app(new tarkel_cef::TKCefApp());
  const int result = runSubProcess(args, app);
  app = nullptr;
  return result;
}
