// A browser process for tests and benchmarks: starts the real quorrel
// binary and speaks its pipe protocol (see ../PROTOCOL.md).
#pragma once

#include <json/json.h>
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

class TestBrowser {
 public:
  explicit TestBrowser(std::vector<std::string> args = {"--type=renderer"});
  ~TestBrowser();
  TestBrowser(const TestBrowser&) = delete;
  TestBrowser& operator=(const TestBrowser&) = delete;

  static std::string BinaryPath();

  void SendLine(const std::string& line);
  void Send(const Json::Value& message);
  // The next line from the helper, or nothing after `timeoutMs`.
  std::optional<Json::Value> Next(int timeoutMs = 30000);
  // The same, unparsed; and whether a whole line is already buffered.
  std::optional<std::string> NextLine(int timeoutMs = 30000);
  bool HasBufferedLine() const { return buffer_.find('\n') != std::string::npos; }
  // Everything the helper sends until it has handled all earlier input.
  std::vector<Json::Value> Sync();
  // Closes the helper's input and waits for it to exit; the exit status
  // (or -1 when it did not exit in time or died by a signal).
  int Finish(bool sendShutdown = true, int timeoutMs = 10000);

  // Protocol shorthands.
  void CreateBrowser(int browser);
  void CreateContext(int browser, long long frame, bool main, int context, const std::string& script = "");
  void ReleaseContext(int context);
  // Runs `script` and returns its result text (throws nothing; an uncaught
  // exception gives "!" + message). Lines seen before the result go to
  // `seen` when given.
  std::string Run(int context, const std::string& script, std::vector<Json::Value>* seen = nullptr);
  void SendMessage(int browser, const std::string& name, const Json::Value& typedArgs);
  void Reply(int browser, int id, int code, const std::string& text);

  // Typed-value helpers.
  static Json::Value Int(int v);
  static Json::Value Double(double v);
  static Json::Value Str(const std::string& v);
  static Json::Value Bool(bool v);
  static Json::Value Null();
  static Json::Value List(const Json::Value& elements);

  // Resident memory of the helper in KiB, or -1 when it cannot be read;
  // `peak` asks for the high-water mark instead.
  long ResidentKiB(bool peak = false) const;
  // CPU time the helper has used so far (user and system), or -1.
  double CpuSeconds() const;

  const std::string& firstLine() const { return firstLine_; }
  Json::Value commandLine() const { return commandLine_; }

 private:
  bool readMore(int timeoutMs);

  pid_t pid_ = -1;
  int toChild_ = -1;
  int fromChild_ = -1;
  std::string buffer_;
  std::string firstLine_;
  Json::Value commandLine_;
  int nextSyncId_ = 1;
  int exitStatus_ = -2;
};

// Only the process messages out of a list of lines.
std::vector<Json::Value> ProcessMessages(const std::vector<Json::Value>& lines);
std::string Compact(const Json::Value& value);
