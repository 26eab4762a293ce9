#pragma once
// One HTTP(S) request at a time, reply kept in memory. Used for the gateway's
// version query and the URL probes: small replies, so memory capture is fine,
// and a cap keeps a hostile or broken server from filling memory.

#include <cstddef>
#include <map>
#include <string>

#include "launcher/curl_owner.h"

namespace varnel_http {

class HttpClient {
 public:
  // Far above any real gateway reply (a few hundred bytes of JSON), low
  // enough that an endless reply cannot exhaust memory. Applies to the header
  // text and the body separately.
  static constexpr std::size_t kMaxResponseBytes = 8u * 1024 * 1024;
  // The whole transfer, connection included.
  static constexpr long kTimeoutSeconds = 5;

  HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  // Starts over from a fresh handle with the default options only (and the
  // pins, which belong to the client rather than to one request).
  void Reset();

  // From now on a request succeeds only with a server whose public key
  // matches one of pins (libcurl's "sha256//<base64>;..." form), also when
  // certificate checks are off; "" lifts the rule. While pins are set only
  // https is spoken, after redirects too: plain http could not be pinned.
  void PinServerKeys(const std::string& pins);

  // True exactly when the exchange completed and the final status is 200.
  // The body of any other reply is still kept in response_body().
  bool Request(const std::string& method, const std::string& url,
               const std::map<std::string, std::string>& form_fields);

  const std::string& response_headers() const { return response_headers_; }
  const std::string& response_body() const { return response_body_; }
  int last_code() const { return last_code_; }
  // Nothing fills it; callers print it beside last_code().
  const std::string& error_text() const { return error_text_; }

 private:
  static std::size_t textSink(char* block, std::size_t size, std::size_t count, void* target);
  void applyRequestOptions(const std::string& method, const std::string& url,
                           const std::map<std::string, std::string>& form_fields);

  // Declared before the handle so the handle, which points at the list, is
  // freed first.
  CurlHeaderList headers_;
  CurlHandle handle_;
  std::string pins_;
  std::string response_headers_;
  std::string response_body_;
  int last_code_ = 0;
  std::string error_text_;
};

// The form body: key=value& for each field in ascending key order, nothing
// escaped, the last "&" kept. The gateway side expects exactly this shape.
std::string BuildFormBody(const std::map<std::string, std::string>& form_fields);

}  // namespace varnel_http
