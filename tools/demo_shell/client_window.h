// The demo shell's window: a GTK window titled like the real shell, with a
// WebKitGTK view that loads the bundled page through the render helper's
// extension and answers what the page asks through TKInvoke and cefQuery.
#pragma once

#include <webkit2/webkit2.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "shell_server.h"

class ClientWindow {
 public:
  struct Options {
    std::string title;
    std::string extensionFolder;         // empty: the page runs without the helper
    std::string version;                 // what GetVersion answers
    std::string statusPath;              // status lines for scripts; empty: none
    int64_t startNs = 0;                 // CLOCK_MONOTONIC of the shell's start
    std::function<void()> onPageTalked;  // the page had its first reply
  };

  explicit ClientWindow(Options options);
  ~ClientWindow();
  ClientWindow(const ClientWindow&) = delete;
  ClientWindow& operator=(const ClientWindow&) = delete;

 private:
  void answerInvoke(const std::string& function, CefRefPtr<CefListValue> arguments,
                    quorrel_shell::ShellServer::Reply reply);
  void answerQuery(const std::shared_ptr<quorrel_shell::ShellServer::Query>& query);
  void tellTime();
  void status(const std::string& line);
  int64_t sinceStartMs() const;

  Options options_;
  GtkWidget* window_ = nullptr;
  WebKitWebView* view_ = nullptr;
  std::unique_ptr<quorrel_shell::ShellServer> server_;
  guint clock_ = 0;
};

// CLOCK_MONOTONIC in nanoseconds.
int64_t MonotonicNs();
