#include "launcher/http_client.h"

#include "launcher/debug_log.h"

namespace varnel_http {

HttpClient::HttpClient() {
  Reset();
}

void HttpClient::Reset() {
  handle_.reset();
  headers_.reset();
  handle_ = NewCurlHandle();
  if (handle_) {
    CURL* h = handle_.get();
    curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, static_cast<char*>(nullptr));
    // Empty = every encoding the library decodes, so gzip replies arrive plain.
    curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(h, CURLOPT_TIMEOUT, kTimeoutSeconds);
    // The time limit must not be enforced with signals: clients run on
    // worker threads.
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    RestrictToHttp(h);
    if (!pins_.empty()) {
      curl_easy_setopt(h, CURLOPT_PINNEDPUBLICKEY, pins_.c_str());
      curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "https");
      curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    }
  }
  headers_ = NewFixedHeaderList();
}

void HttpClient::PinServerKeys(const std::string& pins) {
  pins_ = pins;
  Reset();
}

std::string BuildFormBody(const std::map<std::string, std::string>& form_fields) {
  std::string body;
  for (const auto& [key, value] : form_fields) {
    body += key;
    body += '=';
    body += value;
    body += '&';
  }
  return body;
}

void HttpClient::applyRequestOptions(const std::string& method, const std::string& url,
                                     const std::map<std::string, std::string>& form_fields) {
  CURL* h = handle_.get();
  curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, method.c_str());
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers_.get());
  // Deliberately loose and case-sensitive: the fallback gateway is a bare IP
  // address whose certificate cannot match, so secure probes never verify.
  if (url.find("https") != std::string::npos) {
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
  }
  if (method == "HEAD") {
    curl_easy_setopt(h, CURLOPT_HEADER, 1L);
    curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
  }
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  const std::string body = BuildFormBody(form_fields);
  if (!body.empty()) curl_easy_setopt(h, CURLOPT_COPYPOSTFIELDS, body.c_str());
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  // No header function: header lines go through the same sink, into the
  // header target.
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &HttpClient::textSink);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, &response_headers_);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &response_body_);
}

bool HttpClient::Request(const std::string& method, const std::string& url,
                         const std::map<std::string, std::string>& form_fields) {
  if (!handle_ || !headers_) return false;
  response_headers_.clear();
  response_body_.clear();
  if (!IsCleanRequestText(url) || !IsCleanRequestText(method)) {
    // Refused before anything reaches the network; reported like the
    // library reports an unusable URL.
    last_code_ = CURLE_URL_MALFORMAT;
    Reset();
    return false;
  }
  applyRequestOptions(method, url, form_fields);
  last_code_ = curl_easy_perform(handle_.get());
  long status = 0;
  const bool have_status = curl_easy_getinfo(handle_.get(), CURLINFO_RESPONSE_CODE, &status) == CURLE_OK;
  Reset();
  // A 200 whose body was cut short (time limit, size cap, dropped
  // connection) is not a reply the caller can trust.
  return last_code_ == CURLE_OK && have_status && status == 200;
}

std::size_t HttpClient::textSink(char* block, std::size_t size, std::size_t count, void* target) {
  if (block == nullptr || size == 0 || count == 0) return 0;
  const std::size_t bytes = size * count;
  auto* text = static_cast<std::string*>(target);
  if (bytes > kMaxResponseBytes - text->size()) {
    DebugLog("http reply over %zu bytes refused", kMaxResponseBytes);
    return 0;  // the library ends the transfer with its write error
  }
  text->append(block, bytes);
  return bytes;
}

}  // namespace varnel_http
