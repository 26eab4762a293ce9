// RepairRecording: FLV files are told by their signature, MP4 recordings by
// their file type box, or by a journal beside a file still too young to
// hold one. Each kind is repaired by its own part; this only picks it and
// words the outcome.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "editor/flv_repair.h"
#include "log/log_channel.h"
#include "mp4_log_bridge.h"
#include "mp4file/journal_format.h"
#include "mp4file/recovery.h"
#include "vidscribe/vidscribe.h"

namespace vidscribe {
namespace {

enum class Kind { Flv, Mp4, Unknown };

Kind kindOf(const char* path) {
  uint8_t head[8] = {};
  FILE* file = std::fopen(path, "rb");
  const size_t got = file != nullptr ? std::fread(head, 1, sizeof head, file) : 0;
  if (file != nullptr) std::fclose(file);
  if (got >= 3 && std::memcmp(head, "FLV", 3) == 0) return Kind::Flv;
  if (got == sizeof head && std::memcmp(head + 4, "ftyp", 4) == 0) return Kind::Mp4;
  struct stat info;
  return ::stat(RecordingJournalPath(path).c_str(), &info) == 0 ? Kind::Mp4 : Kind::Unknown;
}

bool repairMp4(const char* path, RepairReport& report) {
  RouteMp4FileLog();
  mp4file::RecoveryReport recovered;
  const mp4file::RecoveryResult result = mp4file::RebuildFromJournal(path, recovered);
  if (result != mp4file::RecoveryResult::Rebuilt) {
    report.message = recovered.problem;
    return false;
  }
  report.videoFrames = recovered.videoSamples;
  report.audioFrames = recovered.audioSamples;
  report.duration = static_cast<uint32_t>(std::min<uint64_t>(recovered.durationMs, UINT32_MAX));
  report.bytesDropped = recovered.droppedBytes;
  return true;
}

}  // namespace

std::string RecordingJournalPath(const char* path) {
  return mp4file::JournalPathFor(path != nullptr ? path : "");
}

bool RepairRecording(const char* path, int options, RepairReport& report) {
  report = RepairReport();
  if (path == nullptr) {
    report.message = "no file named";
    return false;
  }
  const Kind kind = kindOf(path);
  const char* channel = kind == Kind::Mp4 ? "Mp4" : "Flv";
  bool repaired = false;
  if (kind == Kind::Unknown) {
    struct stat info;
    report.message = ::stat(path, &info) != 0
                         ? std::string("cannot read ") + path + ": " + std::strerror(errno)
                         : std::string(path) + " is neither an FLV nor an MP4 recording";
  } else if (kind == Kind::Mp4 && (options & kRepairKeyFrameIndex) != 0) {
    report.message = std::string(path) + " is an MP4 file: a key-frame index is an FLV matter";
  } else {
    repaired = kind == Kind::Flv ? RepairFlv(path, (options & kRepairKeyFrameIndex) != 0, report)
                                 : repairMp4(path, report);
  }
  if (!repaired) {
    LogPrint(channel, "repair refused: %s", report.message.c_str());
    return false;
  }
  char summary[160];
  std::snprintf(summary, sizeof summary, ": %u video and %u audio frames, %.3f s", report.videoFrames,
                report.audioFrames, report.duration / 1000.0);
  report.message = std::string("repaired ") + path + summary;
  if (report.bytesDropped > 0)
    report.message +=
        "; left out " + std::to_string(report.bytesDropped) + " bytes after the last whole frame";
  LogPrint(channel, "%s", report.message.c_str());
  return true;
}

}  // namespace vidscribe
