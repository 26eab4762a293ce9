#include "launcher/update_controller.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cwchar>
#include <mutex>

#include "launcher/data_folder.h"
#include "launcher/debug_log.h"
#include "launcher/string_util.h"
#include "launcher/text_table.h"

namespace {
std::atomic<int> runningWorkers{0};
}  // namespace

// Set by a worker thread after UpdateThreadProc has returned.
struct WorkerExit {
  std::mutex mutex;
  std::condition_variable done;
  bool exited = false;
};

int UpdateController::RunningWorkers() {
  return runningWorkers.load();
}

bool UpdateController::WaitForWorkerExit(int timeoutMs) {
  if (!lastExit_) return true;
  std::unique_lock<std::mutex> lock(lastExit_->mutex);
  return lastExit_->done.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [this] { return lastExit_->exited; });
}

UpdateController::UpdateController(LauncherWindowPort& window, std::shared_ptr<LauncherMessageSink> poster,
                                   std::wstring shellName, std::wstring runMode)
    : window_(window),
      poster_(std::move(poster)),
      shellName_(std::move(shellName)),
      runMode_(std::move(runMode)) {}

UpdateController::~UpdateController() {
  // The worker owns copies of everything it uses and posts through a shared
  // sink, so letting it run on is safe.
  if (worker_.joinable()) worker_.detach();
}

void UpdateController::StartUpdateWorker() {
  if (worker_.joinable()) {
    DebugLog("thread already start, skip retry");
    return;
  }
  // A shell that would not start may be broken in ways the manifest does not
  // see; the retry starts from a clean data folder.
  if (lastFailure_ == FailLaunch) FixDirApp(shellName_);
  lastFailure_ = FailNone;
  lastExit_ = std::make_shared<WorkerExit>();
  ++runningWorkers;
  worker_ = std::thread(
      [setup = WorkerSetup{shellName_, runMode_, poster_, freeBytes_}, exit = lastExit_]() mutable {
        UpdateThreadProc(std::move(setup));
        --runningWorkers;
        std::lock_guard<std::mutex> lock(exit->mutex);
        exit->exited = true;
        exit->done.notify_all();
      });
  window_.SetStatusText(LoadText(kTextCheckingUpdate));
  window_.SetProgressValue(0);
  window_.SetProgressText(L"");
}

void UpdateController::ShowProgress(int percent) {
  if (percent == 100) {
    window_.SetStatusText(LoadText(kTextUnzipping));
    return;
  }
  window_.SetStatusText(LoadText(kTextDownloading));
  window_.SetProgressValue(percent);
  wchar_t text[16];
  std::swprintf(text, sizeof text / sizeof text[0], L"%d%%", percent);
  window_.SetProgressText(text);
}

void UpdateController::ShowFailure(int kind, int code) {
  lastFailure_ = kind;
  window_.SetProgressText(LoadText(kTextRetry));
  window_.SetProgressValue(100);
  wchar_t message[260] = L"";
  switch (kind) {
    case FailNetwork:
      std::swprintf(message, 260, L"%ls", LoadText(kTextNetworkFailed).c_str());
      break;
    case FailDownload:
      std::swprintf(message, 260, L"%ls", LoadText(kTextDownloadFailed).c_str());
      break;
    case FailUnzip:
      std::swprintf(message, 260, L"%ls", LoadText(kTextUnzipFailed).c_str());
      break;
    case FailFileCheck:
      std::swprintf(message, 260, LoadText(kTextFileCheckFailed).c_str(), code);
      break;
    case FailLaunch:
      std::swprintf(message, 260, L"%ls", LoadText(kTextLaunchFailed).c_str());
      window_.SetProgressText(LoadText(kTextFixIt));
      break;
    default:
      break;
  }
  window_.ShowNormal();
  DebugLog("%s", WideToUtf8(message).c_str());
  window_.SetStatusText(message);
  // The worker has posted its last message and only winds down now.
  if (worker_.joinable()) worker_.detach();
}
