#pragma once
// The worker's download progress responder: turns percentages into posted
// WM_LAUNCHER_PROGRESS messages.
#include <memory>

#include "launcher/download_progress_responder.h"
#include "launcher/launcher_messages.h"

struct MyProgress : varnel_http::DownloadProgressResponder {
  explicit MyProgress(std::shared_ptr<LauncherMessageSink> window) : window(std::move(window)) {}
  // Values outside 0..100 are dropped; the window never sees them.
  void OnProgress(int percent) override;

  std::shared_ptr<LauncherMessageSink> window;
};
