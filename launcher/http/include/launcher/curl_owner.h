#pragma once
// Owners of the two libcurl objects every transfer class holds, so that a
// handle or header list can never outlive (or be freed before) its user.

#include <curl/curl.h>

#include <memory>
#include <string>

namespace varnel_http {

struct CurlEasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct CurlListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

using CurlHandle = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlHeaderList = std::unique_ptr<curl_slist, CurlListDeleter>;

// A fresh easy handle, or null when the library cannot be initialised.
// Initialises the library once per process first: doing that lazily inside
// curl_easy_init is not safe when two threads make their first handle at once.
CurlHandle NewCurlHandle();

// The two header lines sent on every transfer, in their fixed order; null when
// the list cannot be built.
CurlHeaderList NewFixedHeaderList();

// Narrows what the launcher's handles may speak to plain HTTP and HTTPS, also
// after a redirect: download URLs come from a gateway reply, and a reply must
// not be able to point a transfer at a local file or another protocol.
void RestrictToHttp(CURL* handle);

// True when the text may be handed to the library as a URL or method word:
// not empty and free of control bytes (CR/LF would smuggle header lines, a NUL
// would silently cut the text).
bool IsCleanRequestText(const std::string& text);

}  // namespace varnel_http
