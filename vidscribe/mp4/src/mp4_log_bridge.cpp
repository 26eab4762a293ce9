#include "mp4_log_bridge.h"

#include <mutex>

#include "log/log_channel.h"
#include "mp4file/mp4_log.h"

namespace vidscribe {

void RouteMp4FileLog() {
  static std::once_flag once;
  std::call_once(once, [] {
    mp4file::SetLogHandler([](mp4file::LogSource source, const std::string& line) {
      LogPrint(source == mp4file::LogSource::Writer ? "Mp4" : "Mp4Reader", "%s", line.c_str());
    });
  });
}

}  // namespace vidscribe
