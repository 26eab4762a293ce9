// What a renderer keeps as its pages come and go, and what one oversized
// line costs it, measured on the real quorrel binary through its pipe.
//
//   quorrel_memory_bench [navigations, default 100000]
//
// Navigations alternate between the main frame, which keeps its id, and a
// child frame that is removed and made anew under a new id each time. Every
// page registers a callback, leaves a request and a query open and builds a
// small heap, so that each release has something of every kind to reclaim.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "test_browser.h"

namespace {

using Clock = std::chrono::steady_clock;

const char kPage[] =
    "TKRegisterCallback('tick', function() {});"
    "TKInvoke({name: 'x', args: [1, 'two', [3]], onSuccess: function() {}});"
    "cefQuery({request: 'q', onSuccess: function() {}});"
    "var junk = []; for (var i = 0; i < 200; i++) junk.push({i: i, text: 'page ' + i});";

double mib(long kib) {
  return kib / 1024.0;
}

void check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "%s\n", what);
  std::exit(1);
}

// Resident size after 1,000 navigations and after `total`.
void navigations(int total) {
  TestBrowser helper;
  helper.CreateBrowser(1);
  long early = -1;
  const auto start = Clock::now();
  for (int context = 1; context <= total;) {
    // In rounds small enough that neither pipe fills while the other end
    // writes.
    for (int i = 0; i < 50 && context <= total; ++i, ++context) {
      if (context % 2 == 1) {
        helper.CreateContext(1, 10, true, context, kPage);
      } else {
        if (context > 2) helper.ReleaseContext(context - 2);
        helper.CreateContext(1, 1000000 + context, false, context, kPage);
      }
    }
    helper.Sync();
    if (early < 0 && context > 1000) early = helper.ResidentKiB();
    if (context % 10000 == 1) std::fprintf(stderr, "%d navigations\n", context - 1);
  }
  const long late = helper.ResidentKiB();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  check(early > 0 && late > 0, "cannot read the helper's resident size");
  check(helper.Run(total, "typeof junk") == "object", "the last page did not run");
  check(helper.Finish() == 0, "the helper did not end cleanly");
  std::printf("RSS after 1000 navigations: %.1f MiB, after %d: %.1f MiB (%.0f navigations/s)\n", mib(early),
              total, mib(late), total / seconds);
  std::printf(
      "BENCH|RSS after %d navigations|%d navigations, main and new child frames|%.1f|RSS after 1000 "
      "navigations|%.1f|MiB|"
      "ratio<=1.5\n",
      total, total, mib(late), mib(early));
}

// An event of `count` tiny elements as one line, sent to a page that
// registered it; how long until the helper answers again and how much
// memory it took at its peak.
void oneLine(const char* what, size_t count, bool refused) {
  TestBrowser helper;
  helper.CreateBrowser(1);
  helper.CreateContext(1, 10, true, 1,
                       "var got = 0; TKRegisterCallback('many', function() { got = arguments.length; })");
  helper.Sync();
  const long before = helper.ResidentKiB(true);
  const double cpuBefore = helper.CpuSeconds();
  std::string line = R"({"type":"process_message","browser":1,"name":"many","args":[)";
  line.reserve(line.size() + count * 10 + 2);
  for (size_t i = 0; i < count; ++i) line += i ? R"(,{"int":1})" : R"({"int":1})";
  line += "]}";
  const auto start = Clock::now();
  helper.SendLine(line);
  const auto seen = helper.Sync();
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  const long peak = helper.ResidentKiB(true);
  const double cpuMs = (helper.CpuSeconds() - cpuBefore) * 1000;
  const bool errorSeen = seen.size() == 1 && seen[0]["type"].asString() == "error";
  check(errorSeen == refused, refused ? "the line was not refused" : "the line was refused");
  check(refused || helper.Run(1, "got") == std::to_string(count), "the event lost arguments");
  check(helper.Finish() == 0, "the helper did not end cleanly");
  std::printf(
      "%s: %zu elements, %.1f MB line, answered after %.0f ms (helper CPU %.0f ms), peak RSS %.1f MiB (%.1f "
      "before)\n",
      what, count, line.size() / 1e6, ms, cpuMs, mib(peak), mib(before));
  // CPU time rather than the wall clock, which a busy machine stretches.
  std::printf("BENCH|%s: helper CPU time|%.0f MB line, %zu elements|%.0f|-|-|ms|-\n", what, line.size() / 1e6,
              count, cpuMs);
  std::printf("BENCH|%s: peak RSS|%.0f MB line, %zu elements|%.1f|peak RSS before the line|%.1f|MiB|-\n",
              what, line.size() / 1e6, count, mib(peak), mib(before));
}

}  // namespace

int main(int argc, char** argv) {
  const int total = argc > 1 ? std::atoi(argv[1]) : 100000;
  if (total < 2000) {
    std::fprintf(stderr, "usage: %s [navigations >= 2000]\n", argv[0]);
    return 2;
  }
  navigations(total);
  oneLine("largest event delivered", size_t{1} << 18, false);
  oneLine("oversized event refused", 6000000, true);
  return 0;
}
