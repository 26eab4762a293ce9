// Focus reports in a real engine: they come from a script world of the
// helper's own, which the page can neither see nor stop.
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

}  // namespace
