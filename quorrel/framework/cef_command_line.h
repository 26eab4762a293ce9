// A process command line: the program, then "--name" or "--name=value"
// switches, then plain arguments.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "cef_base.h"
#include "cef_string.h"

class CefCommandLine : public virtual CefBase {
 public:
  using ArgumentList = std::vector<CefString>;
  using SwitchMap = std::map<CefString, CefString>;

  static CefRefPtr<CefCommandLine> CreateCommandLine();

  virtual void InitFromArgv(int argc, const char* const* argv) = 0;
  // Program, switches in the order added, then arguments.
  virtual void GetArgv(std::vector<CefString>& argv) = 0;
  virtual CefString GetCommandLineString() = 0;
  virtual CefString GetProgram() = 0;
  virtual bool HasSwitches() = 0;
  virtual bool HasSwitch(const CefString& name) = 0;
  virtual CefString GetSwitchValue(const CefString& name) = 0;
  virtual void GetSwitches(SwitchMap& switches) = 0;
  virtual void AppendSwitch(const CefString& name) = 0;
  virtual void AppendSwitchWithValue(const CefString& name, const CefString& value) = 0;
  virtual bool HasArguments() = 0;
  virtual void GetArguments(ArgumentList& arguments) = 0;
  virtual void AppendArgument(const CefString& argument) = 0;
};
