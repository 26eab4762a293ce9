#pragma once
// The window-side half of the update: starting the worker, showing its
// progress and failures, and the retry. Lives on the window thread.
#include <memory>
#include <thread>

#include "launcher/launcher_messages.h"
#include "launcher/launcher_window_port.h"
#include "launcher/update_worker.h"

class UpdateController {
 public:
  // window: the controls; poster: where the worker posts (the same window,
  // reachable from any thread and safe to post to after the window is gone).
  UpdateController(LauncherWindowPort& window, std::shared_ptr<LauncherMessageSink> poster,
                   std::wstring shellName, std::wstring runMode);
  // A worker still running is left to finish on its own; the process ends
  // with the window anyway.
  ~UpdateController();
  UpdateController(const UpdateController&) = delete;
  UpdateController& operator=(const UpdateController&) = delete;

  // Starts a worker unless one runs; after FailLaunch the data folder is
  // reset first.
  void StartUpdateWorker();
  // WM_LAUNCHER_FAILED: remember the kind, turn the bar into the retry
  // button, show the text, and forget the worker.
  void ShowFailure(int kind, int code);
  // WM_LAUNCHER_PROGRESS.
  void ShowProgress(int percent);

  bool WorkerRunning() const { return worker_.joinable(); }
  // Waits until the last worker started here has returned and released
  // everything it held (tests, before their process tears down).
  bool WaitForWorkerExit(int timeoutMs);
  // Workers of this process that have not returned yet. The process entry
  // leaves without running global destructors while one still runs, since
  // tearing down libraries under a live transfer could crash the exit.
  static int RunningWorkers();
  int LastFailure() const { return lastFailure_; }

  // Tests walk the low-disk road with their own free-space figure.
  void SetFreeBytesQuery(std::function<std::optional<std::uint64_t>(const std::string&)> query) {
    freeBytes_ = std::move(query);
  }

 private:
  LauncherWindowPort& window_;
  std::shared_ptr<LauncherMessageSink> poster_;
  std::wstring shellName_;
  std::wstring runMode_;
  int lastFailure_ = FailNone;
  std::thread worker_;
  std::shared_ptr<struct WorkerExit> lastExit_;
  std::function<std::optional<std::uint64_t>(const std::string&)> freeBytes_;
};
