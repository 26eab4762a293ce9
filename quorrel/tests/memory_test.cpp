// What released contexts leave behind: a renderer whose pages keep
// navigating must not grow. Measured on the process, so not run under the
// sanitizers, whose allocator keeps freed memory on purpose.
#include <gtest/gtest.h>

#include "test_browser.h"

namespace {

// A page that leaves something in every table: a registered callback, an
// open request, an open query, and a heap of its own.
const char kPage[] =
    "TKRegisterCallback('tick', function() {});"
    "TKInvoke({name: 'x', args: [1], onSuccess: function() {}});"
    "cefQuery({request: 'q', onSuccess: function() {}});"
    "var junk = []; for (var i = 0; i < 200; i++) junk.push({i: i, text: 'page ' + i});";

TEST(ReleasedContexts, AreReclaimedSoANavigatingRendererStaysFlat) {
  TestBrowser helper;
  helper.CreateBrowser(1);
  int context = 0;
  const auto navigate = [&](int times) {
    // In rounds small enough that neither pipe fills while the other end
    // writes.
    for (int done = 0; done < times; done += 50) {
      for (int i = 0; i < 50; ++i, ++context)
        helper.CreateContext(1, 10 + context % 2, context % 2 == 0, context + 1, kPage);
      helper.Sync();
    }
  };
  navigate(300);
  const long settled = helper.ResidentKiB();
  navigate(3000);
  const long after = helper.ResidentKiB();
  ASSERT_GT(settled, 0);
  EXPECT_LT(after - settled, 24 * 1024)
      << settled << " KiB after 300 navigations, " << after << " after 3300";
  EXPECT_EQ(helper.Finish(), 0);
}

}  // namespace
