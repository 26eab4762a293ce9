// What only a real engine shows: focus reports, which come from a script
// world of the helper's own that the page can neither see nor stop, and
// pages that go away while their web process lives on.
#include <gtest/gtest.h>

#include "test_browser.h"
#include "webkit_pages.h"

namespace {

const char kPage[] = R"(<!doctype html>
<script>
  // A page that tries to keep focus to itself.
  window.addEventListener('focus', function (e) { e.stopImmediatePropagation(); }, true);
  document.addEventListener('focus', function (e) { e.stopPropagation(); }, true);
</script>
<input id="name"><input id="locked" readonly><button id="go">Go</button>
<div id="notes" contenteditable="true">notes</div><textarea id="essay"></textarea>
<input id="agree" type="checkbox"><input id="off" disabled><span>no id</span>
<iframe id="f1" srcdoc="<input id='inner'>"></iframe>)";

TEST(WebKitFocus, EveryMoveToAnElementIsReportedWithEditabilityAndId) {
  WebKitPages pages;
  std::string reason;
  if (!pages.Available(&reason)) GTEST_SKIP() << reason;
  pages.Open(0);
  pages.Load(kPage);
  EXPECT_EQ(pages.Run(0,
                      "['name', 'locked', 'go', 'notes', 'essay', 'agree', 'name'].forEach(function (id) {"
                      "  document.getElementById(id).focus(); });"
                      "document.getElementById('off').focus();"  // cannot take focus: no report
                      "document.activeElement.blur();"           // focus on nothing: no report
                      "document.getElementById('f1').contentDocument.getElementById('inner').focus();"
                      "typeof report + typeof hide"),
            "undefinedundefined");
  std::vector<std::string> reports;
  for (const auto& message : pages.Take()) {
    EXPECT_EQ(message["name"].asString(), "ClientRenderer.FocusedNodeChanged");
    reports.push_back(Compact(message["args"]));
  }
  EXPECT_EQ(reports, (std::vector<std::string>{
                         R"([{"bool":true},{"string":"name"}])", R"([{"bool":false},{"string":"locked"}])",
                         R"([{"bool":false},{"string":"go"}])", R"([{"bool":true},{"string":"notes"}])",
                         R"([{"bool":true},{"string":"essay"}])", R"([{"bool":false},{"string":"agree"}])",
                         R"([{"bool":true},{"string":"name"}])", R"([{"bool":true},{"string":"inner"}])"}));
  EXPECT_TRUE(pages.Close());
}

// A destroyed view's page is finalized in a web process that other views
// still use: its contexts are released with nothing left to send to, and
// the process carries on (request ids count per process).
TEST(WebKitPagesGone, ADestroyedViewLeavesItsSharedWebProcessWorking) {
  WebKitPages first;
  std::string reason;
  if (!first.Available(&reason)) GTEST_SKIP() << reason;
  first.Open(1);
  first.Run(1,
            "cefQuery({request: 'open', persistent: true}); TKInvoke({name: 'x', args: []});"
            "TKRegisterCallback('tick', function () {})");
  WebKitPages second(first);
  second.Open(0);
  EXPECT_EQ(second.Run(0, "TKCall('y', 1)"), "2") << "the two views share one web process";
  EXPECT_TRUE(first.Close());
  second.Send("tick", Json::Value(Json::arrayValue));
  EXPECT_EQ(second.Run(0, "TKCall('z', 1)"), "3");
  EXPECT_EQ(second.Take().size(), 2u);
  EXPECT_TRUE(second.Close());
}

}  // namespace
