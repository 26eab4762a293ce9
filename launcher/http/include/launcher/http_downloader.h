#pragma once
// Streams one resource into a file, reporting whole percentages and giving up
// on transfers that are too slow (see download_rate_rule.h). No overall time
// limit: a large package on a slow but steady line may take as long as it
// needs.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "launcher/curl_owner.h"
#include "launcher/download_progress_responder.h"
#include "launcher/download_rate_rule.h"
#include "platform/unique_fd.h"

namespace varnel_http {

class HttpDownloader {
 public:
  // Seconds since 1970. Injectable so the rate rules can be tested on a
  // clock that runs faster than the wall clock.
  using Clock = std::function<std::int64_t()>;

  // responder may be null: then no percentages are reported and the rate
  // rules do not apply.
  explicit HttpDownloader(DownloadProgressResponder* responder, Clock clock = {});
  HttpDownloader(const HttpDownloader&) = delete;
  HttpDownloader& operator=(const HttpDownloader&) = delete;

  // Sees every block once it is in the file, in file order, so that a
  // caller can digest the file while it arrives.
  using BlockObserver = std::function<void(const char* data, std::size_t size)>;

  // Fetches url into path (created or truncated; missing folders made).
  // True exactly when the transfer finished with result code 0. A failed
  // transfer leaves its partial file behind for the caller to judge.
  bool Download(const std::string& url, const std::string& path, BlockObserver observer = {});

  int last_code() const { return last_code_; }

 private:
  using FileOwner = platform::UniqueFileStream;

  static std::size_t fileSink(char* block, std::size_t size, std::size_t count, void* self);
  static int progressRule(void* self, curl_off_t dl_total, curl_off_t dl_now, curl_off_t, curl_off_t);
  void resetHandle();
  void setTransferOptions(const std::string& url);

  DownloadRateRule rate_rule_;
  FileOwner file_;
  CurlHeaderList headers_;  // before the handle, which points at it
  CurlHandle handle_;
  int last_code_ = 0;
  DownloadProgressResponder* responder_;
  Clock clock_;
  BlockObserver observer_;  // of the download in progress
};

}  // namespace varnel_http
