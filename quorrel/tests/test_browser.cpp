#include "test_browser.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace {

Json::Value parse(const std::string& line) {
  static const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
  Json::Value value;
  std::string errors;
  if (!reader->parse(line.data(), line.data() + line.size(), &value, &errors))
    throw std::runtime_error("helper sent a line that is not JSON: " + line);
  return value;
}

Json::Value typed(const char* type, Json::Value v) {
  Json::Value out(Json::objectValue);
  out[type] = std::move(v);
  return out;
}

}  // namespace

std::string Compact(const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  builder["emitUTF8"] = true;
  return Json::writeString(builder, value);
}

std::vector<Json::Value> ProcessMessages(const std::vector<Json::Value>& lines) {
  std::vector<Json::Value> out;
  for (const auto& line : lines)
    if (line["type"].asString() == "process_message") out.push_back(line);
  return out;
}

std::string TestBrowser::BinaryPath() {
  const char* fromEnv = std::getenv("QUORREL_BINARY");
  return fromEnv ? fromEnv : QUORREL_BINARY;
}

TestBrowser::TestBrowser(std::vector<std::string> args) {
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  const std::string binary = BinaryPath();
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(binary.c_str()));
  for (auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const int rc = posix_spawn(&pid_, binary.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  toChild_ = in[1];
  fromChild_ = out[0];
  if (rc != 0) throw std::runtime_error("cannot start " + binary);
  signal(SIGPIPE, SIG_IGN);
  const bool renderer = !args.empty() && args[0] == "--type=renderer";
  if (renderer) {
    auto first = Next(10000);
    if (!first) throw std::runtime_error("helper sent no command line");
    commandLine_ = *first;
  }
}

TestBrowser::~TestBrowser() {
  if (toChild_ >= 0) close(toChild_);
  if (fromChild_ >= 0) close(fromChild_);
  if (pid_ > 0 && exitStatus_ == -2) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

void TestBrowser::SendLine(const std::string& line) {
  const std::string data = line + "\n";
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = write(toChild_, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw std::runtime_error("helper stopped reading");
    done += static_cast<size_t>(n);
  }
}

void TestBrowser::Send(const Json::Value& message) {
  SendLine(Compact(message));
}

bool TestBrowser::readMore(int timeoutMs) {
  pollfd fd{fromChild_, POLLIN, 0};
  const int ready = poll(&fd, 1, timeoutMs);
  if (ready <= 0) return false;
  char chunk[65536];
  const ssize_t n = read(fromChild_, chunk, sizeof chunk);
  if (n <= 0) return false;
  buffer_.append(chunk, static_cast<size_t>(n));
  return true;
}

std::optional<Json::Value> TestBrowser::Next(int timeoutMs) {
  auto line = NextLine(timeoutMs);
  if (!line) return std::nullopt;
  return parse(*line);
}

std::optional<std::string> TestBrowser::NextLine(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const size_t newline = buffer_.find('\n');
    if (newline != std::string::npos) {
      std::string line = buffer_.substr(0, newline);
      buffer_.erase(0, newline + 1);
      if (firstLine_.empty()) firstLine_ = line;
      return line;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !readMore(static_cast<int>(left.count()))) return std::nullopt;
  }
}

std::vector<Json::Value> TestBrowser::Sync() {
  const int id = nextSyncId_++;
  Json::Value ping(Json::objectValue);
  ping["type"] = "ping";
  ping["id"] = id;
  Send(ping);
  std::vector<Json::Value> seen;
  for (;;) {
    auto line = Next();
    if (!line) throw std::runtime_error("helper did not answer a ping");
    if ((*line)["type"] == "pong" && (*line)["id"] == id) return seen;
    seen.push_back(*line);
  }
}

int TestBrowser::Finish(bool sendShutdown, int timeoutMs) {
  if (sendShutdown) SendLine(R"({"type":"shutdown"})");
  close(toChild_);
  toChild_ = -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) break;
    if (std::chrono::steady_clock::now() > deadline) return -1;
    // Keep draining so that a helper blocked on a full pipe can finish.
    readMore(10);
  }
  exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return exitStatus_;
}

long TestBrowser::ResidentKiB(bool peak) const {
  std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
  const std::string key = peak ? "VmHWM:" : "VmRSS:";
  for (std::string line; std::getline(status, line);)
    if (line.compare(0, key.size(), key) == 0) return std::atol(line.c_str() + key.size());
  return -1;
}

double TestBrowser::CpuSeconds() const {
  std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  // Fields after the command name, which may hold spaces: state is the
  // first, user and system time the 12th and 13th.
  const size_t end = text.rfind(')');
  if (end == std::string::npos) return -1;
  std::istringstream fields(text.substr(end + 1));
  std::string field;
  double ticks = 0;
  for (int i = 1; i <= 13 && fields >> field; ++i)
    if (i >= 12) ticks += std::atof(field.c_str());
  return fields ? ticks / static_cast<double>(sysconf(_SC_CLK_TCK)) : -1;
}

void TestBrowser::CreateBrowser(int browser) {
  Json::Value m(Json::objectValue);
  m["type"] = "browser_created";
  m["browser"] = browser;
  Send(m);
}

void TestBrowser::CreateContext(int browser, long long frame, bool main, int context,
                                const std::string& script) {
  Json::Value m(Json::objectValue);
  m["type"] = "context_created";
  m["browser"] = browser;
  m["frame"] = static_cast<Json::Int64>(frame);
  m["main"] = main;
  m["context"] = context;
  if (!script.empty()) m["script"] = script;
  Send(m);
}

void TestBrowser::ReleaseContext(int context) {
  Json::Value m(Json::objectValue);
  m["type"] = "context_released";
  m["context"] = context;
  Send(m);
}

std::string TestBrowser::Run(int context, const std::string& script, std::vector<Json::Value>* seen) {
  const int id = nextSyncId_++;
  Json::Value m(Json::objectValue);
  m["type"] = "run_script";
  m["context"] = context;
  m["script"] = script;
  m["id"] = id;
  Send(m);
  for (;;) {
    auto line = Next();
    if (!line) throw std::runtime_error("no result for script: " + script);
    if ((*line)["type"] == "script_result" && (*line)["id"] == id)
      return (*line)["ok"].asBool() ? (*line)["result"].asString() : "!" + (*line)["exception"].asString();
    if ((*line)["type"] == "error") throw std::runtime_error("helper reported: " + Compact(*line));
    if (seen) seen->push_back(*line);
  }
}

void TestBrowser::SendMessage(int browser, const std::string& name, const Json::Value& typedArgs) {
  Json::Value m(Json::objectValue);
  m["type"] = "process_message";
  m["browser"] = browser;
  m["name"] = name;
  m["args"] = typedArgs;
  Send(m);
}

void TestBrowser::Reply(int browser, int id, int code, const std::string& text) {
  Json::Value args(Json::arrayValue);
  args.append(Int(id));
  args.append(Int(code));
  args.append(Str(text));
  SendMessage(browser, "TKInvoke", args);
}

Json::Value TestBrowser::Int(int v) {
  return typed("int", v);
}
Json::Value TestBrowser::Double(double v) {
  return typed("double", v);
}
Json::Value TestBrowser::Str(const std::string& v) {
  return typed("string", v);
}
Json::Value TestBrowser::Bool(bool v) {
  return typed("bool", v);
}
Json::Value TestBrowser::Null() {
  return typed("null", Json::Value());
}
Json::Value TestBrowser::List(const Json::Value& elements) {
  return typed("list", elements);
}
