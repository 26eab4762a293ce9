// The bridge fixture (browser 1, main-frame context 1 with `log`) plus the
// browser half of the query router: answers and the messages to expect.
#pragma once

#include <string>

#include "bridge_test_support.h"

class RouterTest : public BridgeTest {
 protected:
  static Json::Value Success(int context, int request, const std::string& response, int browser = 1) {
    Json::Value args(Json::arrayValue);
    args.append(TestBrowser::Int(context));
    args.append(TestBrowser::Int(request));
    args.append(TestBrowser::Bool(true));
    args.append(TestBrowser::Str(response));
    return Message(browser, "cefQueryMsg", args);
  }
  static Json::Value Failure(int context, int request, int code, const std::string& text, int browser = 1) {
    Json::Value args(Json::arrayValue);
    args.append(TestBrowser::Int(context));
    args.append(TestBrowser::Int(request));
    args.append(TestBrowser::Bool(false));
    args.append(TestBrowser::Int(code));
    args.append(TestBrowser::Str(text));
    return Message(browser, "cefQueryMsg", args);
  }
  static Json::Value BridgeReply(int id, int code, const std::string& text) {
    Json::Value args(Json::arrayValue);
    args.append(TestBrowser::Int(id));
    args.append(TestBrowser::Int(code));
    args.append(TestBrowser::Str(text));
    return Message(1, "TKInvoke", args);
  }
  static Json::Value Message(int browser, const std::string& name, const Json::Value& args) {
    Json::Value m(Json::objectValue);
    m["type"] = "process_message";
    m["browser"] = browser;
    m["name"] = name;
    m["args"] = args;
    return m;
  }
  static Json::Value Script(int context, const std::string& script, int id) {
    Json::Value m(Json::objectValue);
    m["type"] = "run_script";
    m["context"] = context;
    m["script"] = script;
    m["id"] = id;
    return m;
  }
  void Batch(const std::vector<Json::Value>& messages) {
    Json::Value m(Json::objectValue);
    m["type"] = "batch";
    m["messages"] = Json::Value(Json::arrayValue);
    for (const auto& inner : messages) m["messages"].append(inner);
    helper->Send(m);
  }

  // "name args" of every process message in `lines`, e.g.
  // `cefQueryCancelMsg [{"int":1},{"int":0}]`.
  static std::vector<std::string> Names(const std::vector<Json::Value>& lines) {
    std::vector<std::string> out;
    for (const auto& m : ProcessMessages(lines))
      out.push_back(m["name"].asString() + " " + Compact(m["args"]));
    return out;
  }
  std::vector<std::string> SentBy(const std::string& script, int context = 1) {
    return Names(allLines(script, context));
  }
  std::vector<std::string> SyncNames() { return Names(helper->Sync()); }

 private:
  std::vector<Json::Value> allLines(const std::string& script, int context) {
    std::vector<Json::Value> seen;
    lastResult = helper->Run(context, script, &seen);
    return seen;
  }
};

// The argument list of a query message the helper sends.
inline std::string QueryArgs(int frameLow, int frameHigh, bool main, int context, int request,
                             const std::string& requestText, bool persistent) {
  Json::Value args(Json::arrayValue);
  args.append(TestBrowser::Int(frameLow));
  args.append(TestBrowser::Int(frameHigh));
  args.append(TestBrowser::Bool(main));
  args.append(TestBrowser::Int(context));
  args.append(TestBrowser::Int(request));
  args.append(TestBrowser::Str(requestText));
  args.append(TestBrowser::Bool(persistent));
  return "cefQueryMsg " + Compact(args);
}

inline std::string CancelArgs(int context, int request) {
  return "cefQueryCancelMsg [{\"int\":" + std::to_string(context) + "},{\"int\":" + std::to_string(request) +
         "}]";
}
