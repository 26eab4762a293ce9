// One page-level test suite, two engines: the same page scripts run
// against the Duktape helper (driven through its pipe) and against a real
// WebKitGTK view with the helper's extension, and expect one result. Each
// test binary links one engine; MakeEngine gives it.
//
// A page is a main frame (frame 0) and child frames 1..n, each starting
// with `var log = [];`. Messages are compared as "name args", the args as
// typed JSON (PROTOCOL.md), so both engines' output reads the same.
#pragma once

#include <json/json.h>

#include <memory>
#include <string>
#include <vector>

enum class Engine { Duktape, WebKit };

class PageEngine {
 public:
  virtual ~PageEngine() = default;
  virtual Engine kind() const = 0;
  // False, with the reason, when this machine cannot run the engine.
  virtual bool Available(std::string* reason) = 0;

  virtual void Open(int children) = 0;
  // The completion value of `script` as text, or "!" and the message of
  // an exception nothing caught.
  virtual std::string Run(int frame, const std::string& script) = 0;
  // A process message from the browser to the page; `typedArgs` is a JSON
  // array of typed elements.
  virtual void Send(const std::string& name, const Json::Value& typedArgs) = 0;
  // Every process message the page sent since the last call, once every
  // message sent to it before has been handled: {"name":..., "args":...}.
  virtual std::vector<Json::Value> Take() = 0;
  // A new document in the frame (frame 0 reloads the whole page).
  virtual void Navigate(int frame) = 0;
  // Takes a child frame out of the page.
  virtual void Remove(int frame) = 0;
  // Ends the page; false when the engine's process did not end cleanly.
  virtual bool Close() = 0;
};

std::unique_ptr<PageEngine> MakeEngine();
