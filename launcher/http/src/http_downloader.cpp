#include "launcher/http_downloader.h"

#include <ctime>

#include "launcher/debug_log.h"
#include "launcher/file_util.h"

namespace varnel_http {

namespace {
// Larger socket reads than the library's 16 KiB default: fewer trips
// through the transfer loop on a fast link.
constexpr long kReceiveBufferBytes = 256 * 1024;

std::int64_t WallClockSeconds() {
  return static_cast<std::int64_t>(std::time(nullptr));
}
}  // namespace

HttpDownloader::HttpDownloader(DownloadProgressResponder* responder, Clock clock)
    : responder_(responder), clock_(clock ? std::move(clock) : Clock(&WallClockSeconds)) {
  resetHandle();
}

void HttpDownloader::resetHandle() {
  handle_.reset();
  headers_.reset();
  handle_ = NewCurlHandle();
  headers_ = NewFixedHeaderList();
  rate_rule_.Clear();
  file_.reset();
}

void HttpDownloader::setTransferOptions(const std::string& url) {
  CURL* h = handle_.get();
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers_.get());
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &HttpDownloader::fileSink);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, 0L);
  curl_easy_setopt(h, CURLOPT_TIMEOUT, 0L);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
  RestrictToHttp(h);
  if (responder_ != nullptr) {
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &HttpDownloader::progressRule);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);
  }
}

bool HttpDownloader::Download(const std::string& url, const std::string& path, BlockObserver observer) {
  if (!handle_ || !headers_) return false;
  rate_rule_.Clear();
  file_.reset();
  // Checked before the target is touched: a URL that can never be fetched
  // must not cost the caller an existing file.
  if (!IsCleanRequestText(url)) {
    last_code_ = CURLE_URL_MALFORMAT;
    DebugLog("download url refused: %zu bytes with control characters or empty", url.size());
    return false;
  }
  CreateParentDirectories(path);
  file_.reset(std::fopen(path.c_str(), "wb"));
  if (!file_) {
    DebugLog("can't open %s for writing", path.c_str());
    return false;
  }
  // Every block is flushed as it arrives anyway; a stdio buffer would only
  // split each block into two writes.
  std::setvbuf(file_.get(), nullptr, _IONBF, 0);
  setTransferOptions(url);
  rate_rule_.Start(clock_());
  observer_ = std::move(observer);
  last_code_ = curl_easy_perform(handle_.get());
  observer_ = nullptr;  // it may not outlive this call
  // The file is closed before success is reported: a close that fails has
  // lost data, and the download is then no download.
  if (std::fclose(file_.release()) != 0 && last_code_ == CURLE_OK) {
    DebugLog("can't close %s", path.c_str());
    last_code_ = CURLE_WRITE_ERROR;
  }
  if (last_code_ == CURLE_OK && responder_ != nullptr) responder_->OnProgress(100);
  return last_code_ == CURLE_OK;
}

std::size_t HttpDownloader::fileSink(char* block, std::size_t size, std::size_t count, void* self) {
  if (block == nullptr || size == 0 || count == 0) return 0;
  auto* downloader = static_cast<HttpDownloader*>(self);
  std::FILE* file = downloader->file_.get();
  const std::size_t written = std::fwrite(block, size, count, file);
  // Every block reaches the file at once, so what is on disk is what arrived.
  if (std::fflush(file) != 0) return 0;
  if (downloader->observer_) downloader->observer_(block, written * size);
  // The library counts bytes; it always passes size 1, but say bytes anyway.
  return written * size;
}

int HttpDownloader::progressRule(void* self, curl_off_t dl_total, curl_off_t dl_now, curl_off_t, curl_off_t) {
  auto* downloader = static_cast<HttpDownloader*>(self);
  const bool abort = downloader->rate_rule_.OnProgress(downloader->clock_(), static_cast<double>(dl_total),
                                                       static_cast<double>(dl_now), downloader->responder_);
  return abort ? 1 : 0;
}

}  // namespace varnel_http
