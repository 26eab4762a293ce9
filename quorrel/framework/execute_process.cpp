// The sub-process runner: decides the process kind from the command line
// and runs it.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "cef_app.h"
#include "json_line.h"
#include "line_channel.h"
#include "renderer_loop.h"

namespace {

const char kApiHash[] = "64b27477b82b44b51ce817522f744fca6768cbbb";
const char kHeapLimitSwitch[] = "script-heap-limit-mb";

// The browser may cap the page-script heap with --script-heap-limit-mb=N
// (1..4096); anything else keeps the default.
size_t heapLimit(CefRefPtr<CefCommandLine> commandLine) {
  const std::string text = commandLine->GetSwitchValue(kHeapLimitSwitch).ToString();
  char* end = nullptr;
  const unsigned long mb = std::strtoul(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || mb < 1 || mb > 4096) return V8Engine::kDefaultHeapLimit;
  return static_cast<size_t>(mb) << 20;
}

// Long enough to cover the browser's usual answer time, short enough that
// an idle helper costs nothing measurable.
constexpr int kReadSpinMicros = 50;

int runRenderer(CefRefPtr<CefApp> app, CefRefPtr<CefCommandLine> commandLine) {
  // A browser that goes away must end us through EOF or a failed write,
  // not through SIGPIPE.
  std::signal(SIGPIPE, SIG_IGN);
  LineChannel channel(STDIN_FILENO, STDOUT_FILENO);
  channel.SetSpin(std::chrono::microseconds(kReadSpinMicros));
  RendererLoop loop(
      app, commandLine, [&channel](const std::string& line) { channel.Write(line); }, heapLimit(commandLine));
  loop.Start();
  std::string line;
  while (!loop.finished()) {
    const LineChannel::Read read = channel.ReadLine(line);
    if (read == LineChannel::Read::End) break;
    if (read == LineChannel::Read::TooLong)
      loop.ReportError("line longer than " + std::to_string(LineChannel::kMaxLine) + " bytes discarded");
    else
      loop.HandleLine(line);
    if (channel.broken()) break;
  }
  loop.Shutdown();
  channel.Flush();
  return 0;
}

// Process kinds without work of their own here report the command line
// they ended up with, so that the browser can see the switches applied.
int reportCommandLine(const std::string& processType, CefRefPtr<CefCommandLine> commandLine) {
  std::vector<CefString> argv;
  commandLine->GetArgv(argv);
  Json::Value report(Json::objectValue);
  report["type"] = "command_line";
  report["process_type"] = processType;
  report["argv"] = Json::Value(Json::arrayValue);
  for (const auto& arg : argv) report["argv"].append(arg.ToString());
  std::string line;
  AppendJsonLine(report, line);
  line += '\n';
  return std::fwrite(line.data(), 1, line.size(), stdout) == line.size() && std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

const char* cef_api_hash(int entry) {
  return entry == 0 ? kApiHash : nullptr;
}

// There is no display scaling to opt into here; the call only keeps its
// place at the start of the process.
void cef_enable_highdpi_support() {}

int cef_execute_process(const CefMainArgs& args, CefRefPtr<CefApp> application, void*) {
  CefRefPtr<CefCommandLine> commandLine = CefCommandLine::CreateCommandLine();
  commandLine->InitFromArgv(args.argc, args.argv);
  // "--type" or "--type=" names no kind, so this is not a sub-process either.
  const std::string processType = commandLine->GetSwitchValue("type").ToString();
  if (processType.empty()) return -1;
  if (application) application->OnBeforeCommandLineProcessing(processType, commandLine);
  if (processType == "renderer") return runRenderer(application, commandLine);
  return reportCommandLine(processType, commandLine);
}
