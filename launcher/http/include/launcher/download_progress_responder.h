#pragma once

namespace varnel_http {

// Receives a download's progress in whole percent, 0 to 100, on the thread
// that performs the download.
class DownloadProgressResponder {
 public:
  virtual ~DownloadProgressResponder() = default;
  virtual void OnProgress(int percent) = 0;
};

}  // namespace varnel_http
