// Round trips per second of TKInvoke -> reply -> callback through the real
// quorrel binary and its pipe. Beside it, in the same run, the bare pipe
// round trip (ping -> pong) as the floor that the protocol itself costs.
//
//   quorrel_bridge_bench [round trips, default 20000] [window, default 1 and 16]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "test_browser.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// CPU seconds used by finished helpers so far: a figure that, unlike the
// rate, does not depend on how busy the machine is.
double childCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  const auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return s(usage.ru_utime) + s(usage.ru_stime);
}

struct Result {
  double rate;
  double helperCpuMicros;  // per round trip
};

// `window` chains of requests run side by side; each callback sends the
// chain's next request until `total` replies have been delivered.
Result bridgeRate(int total, int window) {
  const double cpuBefore = childCpuSeconds();
  TestBrowser helper;
  helper.CreateBrowser(1);
  helper.CreateContext(1, 10, true, 1,
                       "var done = 0, sent = 0, total = " + std::to_string(total) +
                           ";"
                           "function next() { if (sent >= total) return; sent++;"
                           "  TKInvoke({name: 'echo', args: [sent, 'payload'], onSuccess: function(t) { "
                           "done++; next(); }}); }");
  helper.Sync();
  const auto start = Clock::now();
  helper.SendLine(R"({"type":"run_script","context":1,"script":"for (var w = 0; w < )" +
                  std::to_string(window) + R"(; w++) next();"})");
  // The browser side answers as cheaply as it can: it picks the id out of
  // the line without a full parse and answers everything it has read in
  // one write.
  const std::string idMarker = R"({"args":[{"int":)";
  std::string replies;
  for (int answered = 0; answered < total;) {
    auto line = helper.NextLine(10000);
    if (!line) {
      std::fprintf(stderr, "helper went quiet after %d replies\n", answered);
      std::exit(1);
    }
    if (line->compare(0, idMarker.size(), idMarker) != 0) continue;
    const int id = std::atoi(line->c_str() + idMarker.size());
    replies += R"({"type":"process_message","browser":1,"name":"TKInvoke","args":[{"int":)" +
               std::to_string(id) +
               R"(},{"int":0},{"string":"ok"}]})"
               "\n";
    ++answered;
    if (!helper.HasBufferedLine()) {
      replies.pop_back();
      helper.SendLine(replies);
      replies.clear();
    }
  }
  if (!replies.empty()) {
    replies.pop_back();
    helper.SendLine(replies);
  }
  const std::string done = helper.Run(1, "done");
  const double elapsed = seconds(start);
  if (done != std::to_string(total)) {
    std::fprintf(stderr, "only %s of %d callbacks ran\n", done.c_str(), total);
    std::exit(1);
  }
  helper.Finish();
  return {total / elapsed, (childCpuSeconds() - cpuBefore) / total * 1e6};
}

double pingRate(int total) {
  TestBrowser helper;
  const auto start = Clock::now();
  for (int i = 0; i < total; ++i) {
    helper.SendLine(R"({"type":"ping","id":)" + std::to_string(i) + "}");
    if (!helper.Next(10000)) std::exit(1);
  }
  const double elapsed = seconds(start);
  helper.Finish();
  return total / elapsed;
}

}  // namespace

int main(int argc, char** argv) {
  const int total = argc > 1 ? std::atoi(argv[1]) : 20000;
  const int window = argc > 2 ? std::atoi(argv[2]) : 16;
  if (total <= 0 || window <= 0) {
    std::fprintf(stderr, "usage: %s [round trips > 0] [window > 0]\n", argv[0]);
    return 2;
  }
  const double ping = pingRate(total);
  const Result serial = bridgeRate(total, 1);
  const Result windowed = bridgeRate(total, window);
  std::printf("pipe ping/pong, one at a time:            %7.0f round trips/s\n", ping);
  std::printf(
      "TKInvoke->reply->callback, one at a time: %7.0f round trips/s (%.2f x ping), helper CPU %.1f us "
      "each\n",
      serial.rate, serial.rate / ping, serial.helperCpuMicros);
  std::printf(
      "TKInvoke->reply->callback, %3d in flight: %7.0f round trips/s (%.2f x ping), helper CPU %.1f us "
      "each\n",
      window, windowed.rate, windowed.rate / ping, windowed.helperCpuMicros);
  return 0;
}
