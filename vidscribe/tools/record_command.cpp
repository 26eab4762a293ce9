// vidscribe record: Annex B H.264 (and ADTS AAC) into an FLV file. One
// thread feeds video, another audio, as an encoder pair would; a shared
// clock lets the thread whose next frame is earlier go first, so the file is
// interleaved in time order. Caller timestamps start at a non-zero base
// because the writer treats timestamp 0 as "no time".
//
// Video is stamped with decode times and composition offsets; with B-frames
// the first picture is shown some frames after its decode time, and the
// audio starts then, as it did beside that picture in the source.
//
// --realtime hands each frame over when its time comes, as a live source
// would; --frame-log notes when each frame was handed over. Together they
// show what a crash of a live recording loses (see repair).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "composition_clock.h"
#include "elementary_streams.h"
#include "mp4_commands.h"
#include "tool_support.h"

namespace vidscribe_tool {

namespace {

constexpr uint32_t kTimeBase = 1000;

const char kUsage[] =
    "usage: vidscribe record --h264 IN.h264 [--aac IN.aac] [--fps N] [--keyframes]\n"
    "                        [--realtime] [--frame-log LOG] OUT.flv|OUT.mp4\n"
    "  Records an Annex B H.264 stream and optionally an ADTS AAC stream into OUT.flv,\n"
    "  or into an MP4 file when the name ends in .mp4 (--keyframes is then unused).\n"
    "  Video frames are stamped from the frame rate (default 25), audio frames from\n"
    "  1024 samples at the ADTS sampling rate. --keyframes adds a key-frame index\n"
    "  to onMetaData. The file appears under its name only when complete; until\n"
    "  then it is OUT.part (and, for MP4, its journal OUT.part.journal). A\n"
    "  recording that was cut off leaves those behind: vidscribe repair OUT.part\n"
    "  makes it playable, and record refuses to start over it.\n"
    "  --realtime  hand each frame to the writer when its time comes, as a live\n"
    "              source would (a 10 s input takes 10 s)\n"
    "  --frame-log LOG  write a line per frame the writer took: v or a, its time in\n"
    "              ms, and the monotonic clock in ms when it was taken\n";

enum Feed { kVideo = 0, kAudio = 1 };

// Lets the feed with the earlier next timestamp write first. The feeds hand
// the turn back and forth every frame or two, so a hand-off must be cheap:
// a waiting feed first spins briefly on the shared times (the other feed is
// usually one frame away from passing it) and sleeps on the condition only
// when that fails; a feed wakes the other only when it is asleep. Sleeping
// on every hand-off cost more than the recording itself.
class TurnTaker {
 public:
  void Wait(Feed feed, uint64_t time) {
    next[feed].store(time);
    wakeOther(feed);
    const Feed other = feed == kVideo ? kAudio : kVideo;
    const auto myTurn = [&] {
      const uint64_t theirs = next[other].load();
      return done[other].load() || time < theirs || (time == theirs && feed == kVideo);
    };
    for (int spin = 0; spin < kSpins; ++spin) {
      if (myTurn()) return;
      if (spin % 64 == 63) std::this_thread::yield();
    }
    std::unique_lock<std::mutex> hold(lock);
    sleeping[feed].store(true);
    changed.wait(hold, myTurn);
    sleeping[feed].store(false);
  }
  void Finish(Feed feed) {
    done[feed].store(true);
    wakeOther(feed);
  }

 private:
  static constexpr int kSpins = 4096;

  // The sequentially consistent store of next/done above and the load of
  // sleeping here pair with the sleeper's store of sleeping and its check
  // of the times under the lock: one of the two always sees the other.
  void wakeOther(Feed feed) {
    const Feed other = feed == kVideo ? kAudio : kVideo;
    if (!sleeping[other].load()) return;
    std::lock_guard<std::mutex> hold(lock);
    changed.notify_all();
  }

  std::mutex lock;
  std::condition_variable changed;
  std::atomic<uint64_t> next[2] = {{0}, {0}};
  std::atomic<bool> done[2] = {{false}, {false}};
  std::atomic<bool> sleeping[2] = {{false}, {false}};
};

struct Progress {
  int64_t total = 0;
  std::chrono::steady_clock::time_point last = std::chrono::steady_clock::now();
  void Report(int64_t done) {
    const auto now = std::chrono::steady_clock::now();
    if (now - last < std::chrono::seconds(2)) return;
    last = now;
    Note("recorded %lld of %lld MB (%d%%)", static_cast<long long>(done >> 20),
         static_cast<long long>(total >> 20), total > 0 ? static_cast<int>(done * 100 / total) : 0);
  }
};

// How frames reach the writer: at once or when their time comes, and noted
// in the frame log when there is one.
class Delivery {
 public:
  bool Open(bool realtime, const std::string& logPath) {
    paced = realtime;
    start = std::chrono::steady_clock::now();
    if (logPath.empty()) return true;
    log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    return log >= 0;
  }
  ~Delivery() {
    if (log >= 0) ::close(log);
  }
  void WaitFor(uint64_t time) const {
    if (paced) std::this_thread::sleep_until(start + std::chrono::milliseconds(time - kTimeBase));
  }
  // One write per line, so a kill never leaves half a line.
  void Taken(Feed feed, uint64_t time) const {
    if (log < 0) return;
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    const std::string line = std::string(feed == kVideo ? "v " : "a ") + std::to_string(time) + " " +
                             std::to_string(now.count()) + "\n";
    if (::write(log, line.data(), line.size()) < 0) return;  // the log is a help, never a reason to stop
  }

 private:
  bool paced = false;
  std::chrono::steady_clock::time_point start;
  int log = -1;
};

// A write the writer refused (a full disk) ends both feeds: the recording
// is lost anyway, and the rest of the input need not be read for it.
void feedVideo(IAvWriter& writer, AnnexBFrameReader& video, std::vector<uint8_t> frame,
               CompositionClock clock, TurnTaker& turns, const Delivery& delivery, Progress& progress,
               std::atomic<bool>& failed) {
  vidscribe::PictureOrder order;
  while (!failed.load()) {
    uint64_t decodeMs = 0;
    int composition = 0;
    clock.Next(order.Next(frame.data(), frame.size()), &decodeMs, &composition);
    const uint64_t time = kTimeBase + decodeMs;
    turns.Wait(kVideo, time);
    delivery.WaitFor(time);
    if (writer.WriteVideo(frame.data(), static_cast<int>(frame.size()), static_cast<unsigned>(time), false,
                          composition) != 0)
      failed.store(true);
    else
      delivery.Taken(kVideo, time);
    progress.Report(video.Consumed());
    if (!video.Next(frame)) break;
  }
  turns.Finish(kVideo);
}

void feedAudio(IAvWriter& writer, AdtsFrameReader& audio, std::vector<uint8_t> frame, int sampleRate,
               uint64_t startMs, TurnTaker& turns, const Delivery& delivery, std::atomic<bool>& failed) {
  for (uint64_t index = 0; !failed.load(); ++index) {
    const uint64_t time = kTimeBase + startMs + index * 1024 * 1000 / static_cast<uint64_t>(sampleRate);
    turns.Wait(kAudio, time);
    delivery.WaitFor(time);
    if (writer.WriteAudio(frame.data(), static_cast<int>(frame.size()), static_cast<unsigned>(time)) != 0)
      failed.store(true);
    else
      delivery.Taken(kAudio, time);
    if (!audio.Next(frame, nullptr)) break;
  }
  turns.Finish(kAudio);
}

// Streams and frames the writer took, read before Close resets it.
uint32_t framesWritten(IAvWriter& writer, bool mp4) {
  vidscribe::MediaDescription written;
  if (mp4) {
    static_cast<Mp4Writer&>(writer).Describe(written);
  } else {
    static_cast<Vidscriber&>(writer).Describe(written);
  }
  return written.videoFrames;
}

int64_t fileSize(const char* path) {
  struct stat info;
  return ::stat(path, &info) == 0 ? static_cast<int64_t>(info.st_size) : 0;
}

bool exists(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0;
}

// An earlier recording of this name that was cut off can still be repaired:
// it is never recorded over.
bool leftBehind(const std::string& partial) {
  const std::string journal = vidscribe::RecordingJournalPath(partial.c_str());
  if (exists(journal)) {
    Fail(
        "record: %s is the journal of a recording that did not finish: repair it (vidscribe repair %s) or "
        "remove both",
        journal.c_str(), partial.c_str());
    return true;
  }
  if (exists(partial)) {
    Fail(
        "record: %s is left from a recording that did not finish: repair it (vidscribe repair %s) or remove "
        "it",
        partial.c_str(), partial.c_str());
    return true;
  }
  return false;
}

// A recording that failed leaves nothing behind, journal included.
int discard(const std::string& partial, int status) {
  std::remove(partial.c_str());
  std::remove(vidscribe::RecordingJournalPath(partial.c_str()).c_str());
  return status;
}

}  // namespace

int RunRecord(int argc, char** argv) {
  Args args(argc, argv, {"--h264", "--aac", "--fps", "--frame-log"});
  if (args.Has("--help")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!args.Unknown().empty()) return Fail("record: %s", args.Unknown().c_str());
  const std::string h264 = args.Value("--h264");
  const std::string aac = args.Value("--aac");
  if (h264.empty() || args.Positional().size() != 1)
    return Fail("record: need --h264 IN.h264 and OUT.flv or OUT.mp4 (see --help)");
  int64_t fps = 25;
  if (!args.Value("--fps").empty() &&
      (!ParseInteger(args.Value("--fps"), false, &fps) || fps < 1 || fps > 1000))
    return Fail("record: --fps must be a whole number from 1 to 1000");
  const std::string out = args.Positional()[0];
  const std::string frameLog = args.Value("--frame-log");
  if (OutputsOverlap("record", {h264, aac}, {out, frameLog})) return 1;
  const std::string partial = PartialName(out);
  if (leftBehind(partial)) return 1;

  AnnexBFrameReader video;
  std::vector<uint8_t> firstFrame;
  if (!video.Open(h264.c_str())) return Fail("record: cannot open %s", h264.c_str());
  if (!video.Next(firstFrame)) return Fail("record: %s holds no H.264 units", h264.c_str());
  AdtsFrameReader audio;
  std::vector<uint8_t> firstAudio;
  AdtsFormat format;
  if (!aac.empty()) {
    if (!audio.Open(aac.c_str())) return Fail("record: cannot open %s", aac.c_str());
    if (!audio.Next(firstAudio, &format) || format.sampleRate == 0)
      return Fail("record: %s does not start with an ADTS frame", aac.c_str());
  }

  const bool mp4 = EndsWithMp4(out);
  std::unique_ptr<IAvWriter> writer;
  if (mp4)
    writer = std::make_unique<Mp4Writer>();
  else
    writer = std::make_unique<Vidscriber>(args.Has("--keyframes"));
  // No picture size: the writers take it from the stream's SPS.
  writer->SetVideo(vidscribe::kCodecAvc, 0, 0, static_cast<int>(fps));
  if (!aac.empty())
    writer->SetAudio(vidscribe::kSoundAac, format.sampleRate, format.channels, format.profile);
  Delivery delivery;
  if (!delivery.Open(args.Has("--realtime"), frameLog))
    return Fail("record: cannot create %s", frameLog.c_str());
  if (!writer->Open(partial.c_str())) return Fail("record: cannot create %s", partial.c_str());

  TurnTaker turns;
  Progress progress;
  progress.total = fileSize(h264.c_str());
  if (aac.empty()) turns.Finish(kAudio);
  const CompositionClock clock(static_cast<double>(fps), LearnDisplayDelay(h264.c_str(), 300));
  std::atomic<bool> failed{false};
  std::thread videoThread(feedVideo, std::ref(*writer), std::ref(video), std::move(firstFrame), clock,
                          std::ref(turns), std::cref(delivery), std::ref(progress), std::ref(failed));
  std::thread audioThread;
  if (!aac.empty())
    audioThread =
        std::thread(feedAudio, std::ref(*writer), std::ref(audio), std::move(firstAudio), format.sampleRate,
                    clock.FirstShownMs(), std::ref(turns), std::cref(delivery), std::ref(failed));
  videoThread.join();
  if (audioThread.joinable()) audioThread.join();
  const uint32_t frames = framesWritten(*writer, mp4);
  const bool finished = writer->Close() && !failed.load();
  if (!finished) return discard(partial, Fail("record: writing %s failed", partial.c_str()));
  if (frames == 0)
    return discard(partial, Fail("record: %s holds no H.264 frame with parameter sets", h264.c_str()));
  if (audio.error()) return discard(partial, Fail("record: %s has a damaged ADTS frame", aac.c_str()));
  if (std::rename(partial.c_str(), out.c_str()) != 0)
    return discard(partial, Fail("record: cannot rename %s to %s", partial.c_str(), out.c_str()));
  return 0;
}

}  // namespace vidscribe_tool
