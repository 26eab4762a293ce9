// A helper with one browser (1) and one main frame context (1) ready, and
// the shorthands the bridge tests share.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "test_browser.h"

class BridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    helper = std::make_unique<TestBrowser>();
    helper->CreateBrowser(1);
    helper->CreateContext(1, 10, true, 1, "var log = [];");
  }
  void TearDown() override {
    if (helper) {
      EXPECT_EQ(helper->Finish(), 0) << "the helper must end cleanly (and leak nothing)";
    }
  }

  // Runs `script` and returns the process messages it sent.
  std::vector<Json::Value> Sent(const std::string& script, int context = 1) {
    std::vector<Json::Value> seen;
    lastResult = helper->Run(context, script, &seen);
    return ProcessMessages(seen);
  }
  // The single TKInvoke request a script sent: [id, call list].
  Json::Value Request(const std::string& script, int context = 1) {
    auto sent = Sent(script, context);
    EXPECT_EQ(sent.size(), 1u) << script;
    if (sent.empty()) return Json::Value();
    EXPECT_EQ(sent[0]["name"].asString(), "TKInvoke");
    return sent[0]["args"];
  }
  std::string Log(int context = 1) { return helper->Run(context, "JSON.stringify(log)"); }

  std::unique_ptr<TestBrowser> helper;
  std::string lastResult;
};

// A call list as compact JSON of typed elements.
inline std::string CallList(const Json::Value& request) {
  return Compact(request[1]["list"]);
}
