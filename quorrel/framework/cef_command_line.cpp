#include "cef_command_line.h"

#include <utility>

namespace {

class CommandLine : public CefRefCounted<CefCommandLine> {
 public:
  void InitFromArgv(int argc, const char* const* argv) override {
    program_ = CefString();
    switches_.clear();
    arguments_.clear();
    if (argc <= 0 || !argv) return;
    program_ = CefString(argv[0]);
    bool switchesEnded = false;
    for (int i = 1; i < argc; ++i) {
      const std::string arg = argv[i] ? argv[i] : "";
      if (arg == "--") {
        switchesEnded = true;
      } else if (!switchesEnded && arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
        const size_t eq = arg.find('=');
        if (eq == std::string::npos)
          put(arg.substr(2), "");
        else
          put(arg.substr(2, eq - 2), arg.substr(eq + 1));
      } else {
        arguments_.emplace_back(arg);
      }
    }
  }
  void GetArgv(std::vector<CefString>& argv) override {
    argv.clear();
    argv.push_back(program_);
    for (const auto& entry : switches_) {
      std::string text = "--" + entry.first.ToString();
      if (!entry.second.empty()) text += "=" + entry.second.ToString();
      argv.emplace_back(text);
    }
    for (const auto& arg : arguments_) argv.push_back(arg);
  }
  CefString GetCommandLineString() override {
    std::vector<CefString> argv;
    GetArgv(argv);
    std::string text;
    for (const auto& arg : argv) text += (text.empty() ? "" : " ") + arg.ToString();
    return text;
  }
  CefString GetProgram() override { return program_; }
  bool HasSwitches() override { return !switches_.empty(); }
  bool HasSwitch(const CefString& name) override { return find(name) != switches_.end(); }
  CefString GetSwitchValue(const CefString& name) override {
    auto it = find(name);
    return it == switches_.end() ? CefString() : it->second;
  }
  void GetSwitches(SwitchMap& switches) override {
    switches.clear();
    for (const auto& entry : switches_) switches[entry.first] = entry.second;
  }
  void AppendSwitch(const CefString& name) override { put(name, CefString()); }
  void AppendSwitchWithValue(const CefString& name, const CefString& value) override { put(name, value); }
  bool HasArguments() override { return !arguments_.empty(); }
  void GetArguments(ArgumentList& arguments) override { arguments = arguments_; }
  void AppendArgument(const CefString& argument) override { arguments_.push_back(argument); }

 private:
  using Switches = std::vector<std::pair<CefString, CefString>>;

  Switches::iterator find(const CefString& name) {
    for (auto it = switches_.begin(); it != switches_.end(); ++it)
      if (it->first == name) return it;
    return switches_.end();
  }
  // A repeated switch keeps its first position and takes the last value.
  void put(const CefString& name, const CefString& value) {
    auto it = find(name);
    if (it == switches_.end())
      switches_.emplace_back(name, value);
    else
      it->second = value;
  }

  CefString program_;
  Switches switches_;
  ArgumentList arguments_;
};

}  // namespace

CefRefPtr<CefCommandLine> CefCommandLine::CreateCommandLine() {
  return new CommandLine();
}
