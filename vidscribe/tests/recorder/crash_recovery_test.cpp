// Recordings that survive their recorder. `vidscribe record --realtime` is
// killed with SIGKILL at random moments, FLV and MP4, with and without
// B-frames; `vidscribe repair` must then give a file that ffmpeg decodes
// without a word, whose packets are the first packets of the same recording
// finished normally (so A and V keep the timing the finished file has), and
// that holds every frame the recorder took a second or more before the
// kill (the frame log says which and when). Besides: the repair of a
// recording that was not killed is the finished file itself, a cut FLV
// loses only what was cut, damage elsewhere and strangers are refused
// untouched, a repair killed itself is finished by the next, and record
// never starts over what a cut-off recording left.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "flv_file_view.h"
#include "media_fixtures.h"

namespace {

using flvtest::ReadFile;
using flvtest::WriteFile;

const std::string kMedia = RECORDINGS_DIR;
const std::string kTool = TOOL_PATH;
// One folder per test process: the variants run in parallel.
const std::string kWork = RECORDINGS_DIR "/crash." + std::to_string(getpid());

class Recordings : public ::testing::Environment {
 public:
  void SetUp() override {
    const std::string command = std::string(MAKE_RECORDINGS_SCRIPT) + " " + kMedia;
    ASSERT_EQ(std::system(command.c_str()), 0) << "making test media failed: " << command;
    std::filesystem::remove_all(kWork);
    std::filesystem::create_directories(kWork);
  }
  void TearDown() override { std::filesystem::remove_all(kWork); }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new Recordings);

int64_t nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool exists(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0;
}

// Polls for a condition the tool brings about; false after ten seconds.
template <typename Condition>
bool waitFor(Condition condition) {
  for (const int64_t until = nowMs() + 10000; nowMs() < until;) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return condition();
}

struct Outcome {
  int status;
  std::string out;
};

Outcome tool(const std::string& args) {
  Outcome result{-1, {}};
  result.status = mp4test::Run("'" + kTool + "' " + args + " 2>&1", &result.out);
  return result;
}

int lines(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// The tool in the background, quiet.
pid_t startTool(const std::vector<std::string>& args) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  std::vector<char*> argv{const_cast<char*>(kTool.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  if (std::freopen("/dev/null", "w", stderr) == nullptr || std::freopen("/dev/null", "w", stdout) == nullptr)
    ::_exit(127);
  ::execv(kTool.c_str(), argv.data());
  ::_exit(127);
}

std::vector<std::string> recordArgs(const std::string& media, bool keyframes, const std::string& out) {
  std::vector<std::string> args{"record", "--h264", kMedia + "/" + media + ".h264", "--aac",
                                kMedia + "/" + media + ".aac"};
  if (keyframes) args.push_back("--keyframes");
  args.push_back(out);
  return args;
}

// Frames the recorder had taken by a moment, per stream, from its frame log.
std::map<char, size_t> takenBy(const std::string& log, int64_t moment) {
  std::map<char, size_t> taken{{'v', 0}, {'a', 0}};
  const std::vector<uint8_t> text = ReadFile(log);
  std::istringstream in(std::string(text.begin(), text.end()));
  char stream = 0;
  long long time = 0, at = 0;
  while (in >> stream >> time >> at) {
    if (at <= moment) ++taken[stream];
  }
  return taken;
}

// A file's packets as ffprobe lists them (times as played, edit lists
// applied; a hash of each packet's bytes), per stream kind. Of the flags
// only the key-frame flag counts: a cut GOP's last reference frame lies
// past the end of the shorter file's edit, and ffprobe marks it discarded
// (it is decoded, not shown).
struct Probe {
  std::map<char, std::vector<std::string>> packets;  // 'v', 'a'
  std::map<char, double> firstShown;
  std::map<char, double> lastDecoded;
};

Probe probe(const std::string& path) {
  std::string out;
  mp4test::Run(
      "ffprobe -v error -show_data_hash adler32 -show_entries stream=index,codec_type:packet=stream_index,"
      "pts_time,dts_time,size,flags,data_hash -of compact '" +
          path + "'",
      &out);
  Probe p;
  std::map<std::string, char> kinds;  // stream index -> kind
  std::vector<std::pair<std::string, std::string>> packets;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    std::map<std::string, std::string> field;
    std::istringstream parts(line);
    for (std::string part; std::getline(parts, part, '|');) {
      const size_t eq = part.find('=');
      if (eq != std::string::npos) field[part.substr(0, eq)] = part.substr(eq + 1);
    }
    if (line.rfind("stream|", 0) == 0) kinds[field["index"]] = field["codec_type"] == "video" ? 'v' : 'a';
    if (line.rfind("packet|", 0) == 0) {
      const size_t flags = line.find("flags=");
      if (flags != std::string::npos && flags + 7 < line.size()) line.erase(flags + 7, 1);
      packets.emplace_back(field["stream_index"], line);
    }
  }
  for (const auto& packet : packets) {
    const char kind = kinds[packet.first];
    const size_t pts = packet.second.find("pts_time="), dts = packet.second.find("dts_time=");
    const double shown = std::atof(packet.second.c_str() + pts + 9);
    const double decoded = std::atof(packet.second.c_str() + dts + 9);
    if (p.packets[kind].empty() || shown < p.firstShown[kind]) p.firstShown[kind] = shown;
    p.lastDecoded[kind] = std::max(p.lastDecoded[kind], decoded);
    p.packets[kind].push_back(packet.second);
  }
  return p;
}

struct Variant {
  const char* name;
  const char* media;  // from make_recordings.sh
  bool mp4;
};

// Names the variant in test lists (gtest would print its bytes).
void PrintTo(const Variant& v, std::ostream* out) {
  *out << v.name;
}

class KilledRecording : public ::testing::TestWithParam<Variant> {
 protected:
  // The same recording, finished normally, as ffprobe sees it.
  const Probe& finished(bool keyframes) {
    if (finished_.count(keyframes) == 0) {
      const Variant& v = GetParam();
      const std::string out = kWork + "/" + v.name + (keyframes ? "-kf" : "") + (v.mp4 ? ".mp4" : ".flv");
      std::string args;
      for (const std::string& arg : recordArgs(v.media, keyframes, out)) args += "'" + arg + "' ";
      const Outcome made = tool(args);
      EXPECT_EQ(made.status, 0) << made.out;
      finished_[keyframes] = probe(out);
    }
    return finished_[keyframes];
  }

  void checkRepaired(const std::string& part, const Probe& whole, const std::string& log, int64_t killedAt) {
    const std::map<char, size_t> due = takenBy(log, killedAt - 1000);
    const Outcome repair = tool("repair '" + part + "'");
    if (due.at('v') + due.at('a') == 0 && repair.status != 0) {
      EXPECT_EQ(lines(repair.out), 1) << repair.out;  // killed before anything was due: said so
      return;
    }
    ASSERT_EQ(repair.status, 0) << repair.out;
    EXPECT_FALSE(exists(part + ".journal"));
    EXPECT_EQ(mp4test::DecodeErrors(part), "");
    Probe ours = probe(part);
    for (char kind : {'v', 'a'}) {
      SCOPED_TRACE(std::string(1, kind));
      const std::vector<std::string>& packets = ours.packets[kind];
      const std::vector<std::string>& all = whole.packets.at(kind);
      ASSERT_LE(packets.size(), all.size());
      for (size_t i = 0; i < packets.size(); ++i)
        ASSERT_EQ(packets[i], all[i]) << "packet " << i << " is not the finished recording's";
      EXPECT_GE(packets.size(), due.at(kind)) << "frames taken a second before the kill are missing";
    }
    // Played together: shown first at the same moment (A and V packets are
    // those of the finished file, so they stay in step), and decoded up to
    // the same moment, as they were taken in time order.
    EXPECT_NEAR(ours.firstShown['v'], ours.firstShown['a'], 0.040);
    EXPECT_NEAR(ours.lastDecoded['v'], ours.lastDecoded['a'], 0.2);
  }

 private:
  std::map<bool, Probe> finished_;
};

TEST_P(KilledRecording, RepairKeepsEveryFrameTakenASecondBeforeTheKill) {
  const Variant& v = GetParam();
  const unsigned seed = std::random_device()();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  // Up to 3.2 s after the first frame: the shortest input lasts 6 s.
  std::uniform_int_distribution<int> moment(50, 3200);
  for (int run = 0; run < 6; ++run) {
    const bool keyframes = !v.mp4 && run % 2 == 1;
    const Probe& whole = finished(keyframes);
    const std::string out = kWork + "/" + v.name + "-" + std::to_string(run) + (v.mp4 ? ".mp4" : ".flv");
    const std::string log = out + ".frames";
    std::vector<std::string> args = recordArgs(v.media, keyframes, out);
    args.insert(args.begin() + 1, {"--realtime", "--frame-log", log});
    const pid_t pid = startTool(args);
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(waitFor([&] { return !ReadFile(log).empty(); })) << "the recorder took no frame";
    const int wait = moment(random);
    SCOPED_TRACE("run " + std::to_string(run) + ", killed " + std::to_string(wait) +
                 " ms after the first frame");
    std::this_thread::sleep_for(std::chrono::milliseconds(wait));
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    const int64_t killedAt = nowMs();
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the recording ended before the kill";
    checkRepaired(out + ".part", whole, log, killedAt);
  }
}

INSTANTIATE_TEST_SUITE_P(Recordings, KilledRecording,
                         ::testing::Values(Variant{"flv_bframes", "twelve", false},
                                           Variant{"flv_steady", "steady", false},
                                           Variant{"mp4_bframes", "twelve", true},
                                           Variant{"mp4_steady", "steady", true}),
                         [](const ::testing::TestParamInfo<Variant>& info) { return info.param.name; });

// The repair of a recording that was not killed is the file Close wrote: an
// MP4 rebuilt from its whole journal (kept through a second name while the
// recorder ran, as if it had died right after its movie box), an FLV (with
// and without index) from itself. A recording still running is not
// repaired under its recorder; without a journal an MP4 is left alone.
TEST(Repair, OfARecordingThatWasNotKilledIsTheFinishedFile) {
  const std::string out = kWork + "/whole.mp4", kept = kWork + "/kept.journal";
  std::vector<std::string> args = recordArgs("stereo44", false, out);
  args.insert(args.begin() + 1, "--realtime");
  const pid_t pid = startTool(args);
  ASSERT_TRUE(waitFor([&] { return exists(out + ".part.journal"); }));
  ASSERT_EQ(::link((out + ".part.journal").c_str(), kept.c_str()), 0);
  const Outcome live = tool("repair '" + out + ".part'");
  EXPECT_EQ(live.status, 1);
  EXPECT_NE(live.out.find("still being recorded"), std::string::npos) << live.out;
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(exists(out + ".part.journal"));
  const std::string copy = kWork + "/copy.mp4";
  WriteFile(copy, ReadFile(out));
  std::filesystem::rename(kept, copy + ".journal");
  const Outcome repair = tool("repair '" + copy + "'");
  ASSERT_EQ(repair.status, 0) << repair.out;
  EXPECT_TRUE(ReadFile(copy) == ReadFile(out));
  EXPECT_FALSE(exists(copy + ".journal"));

  const Outcome again = tool("repair '" + copy + "'");
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(lines(again.out), 1) << again.out;
  EXPECT_NE(again.out.find("no journal"), std::string::npos) << again.out;
  EXPECT_TRUE(ReadFile(copy) == ReadFile(out));

  for (bool keyframes : {false, true}) {
    const std::string flv = kWork + (keyframes ? "/whole-kf.flv" : "/whole.flv");
    std::string record;
    for (const std::string& arg : recordArgs("stereo44", keyframes, flv)) record += "'" + arg + "' ";
    ASSERT_EQ(tool(record).status, 0);
    const std::vector<uint8_t> bytes = ReadFile(flv);
    ASSERT_EQ(tool("repair '" + flv + "'").status, 0);
    EXPECT_TRUE(ReadFile(flv) == bytes) << flv;
  }
}

// An FLV cut anywhere inside a tag (in its header, in its body, before its
// back-pointer) is repaired to the same file as one cut right after the tag
// before: duration and index describe the whole tags kept. Zeros after the
// cut (a power cut) change nothing; damage before the end, or a file that is
// no FLV, is refused with one line and the file left as it was.
TEST(Repair, FlvCutAnywhereLosesOnlyWhatWasCut) {
  const std::string finished = kWork + "/cut-source.flv";
  std::string record;
  for (const std::string& arg : recordArgs("twelve", true, finished)) record += "'" + arg + "' ";
  ASSERT_EQ(tool(record).status, 0);
  // The recording as a kill leaves it in key-frame mode: no onMetaData yet.
  std::vector<uint8_t> bytes = ReadFile(finished);
  const std::vector<flvtest::Tag> tags = flvtest::Tags(bytes);
  ASSERT_GT(tags.size(), 400u);
  std::vector<uint8_t> live(bytes.begin(), bytes.begin() + 13);
  live.insert(live.end(), bytes.begin() + tags[1].offset, bytes.end());
  const std::vector<flvtest::Tag> liveTags = flvtest::Tags(live);
  const flvtest::Tag& last = liveTags[300];  // the last whole tag kept
  const int64_t lastEnd = last.offset + 11 + static_cast<int64_t>(last.body.size()) + 4;

  const std::string reference = kWork + "/cut-reference.flv";
  WriteFile(reference, {live.begin(), live.begin() + lastEnd});
  ASSERT_EQ(tool("repair '" + reference + "'").status, 0);
  const std::vector<uint8_t> repaired = ReadFile(reference);
  EXPECT_EQ(mp4test::DecodeErrors(reference), "");
  uint32_t latest = 0;
  for (size_t i = 0; i <= 300; ++i) latest = std::max(latest, liveTags[i].time);
  EXPECT_DOUBLE_EQ(flvtest::MetaNumber(repaired, "duration") * 1000, latest);
  const auto index = flvtest::IndexOf(repaired);
  ASSERT_FALSE(index.empty());
  for (const auto& entry : index) {
    const size_t at = static_cast<size_t>(entry.second);
    ASSERT_LT(at + 11, repaired.size());
    EXPECT_EQ(repaired[at], 9);
    EXPECT_EQ(repaired[at + 11] & 0xF0, 0x10) << "index entry at " << at << " is no key frame";
  }

  // In the last tag's back-pointer, in the next tag's header, in its body,
  // one byte short of its end.
  const std::string cut = kWork + "/cut.flv";
  const int64_t nextEnd = lastEnd + 11 + static_cast<int64_t>(liveTags[301].body.size());
  for (int64_t at : {lastEnd - 2, lastEnd + 5, lastEnd + 20, nextEnd - 1}) {
    SCOPED_TRACE("cut at " + std::to_string(at));
    std::vector<uint8_t> kept(live.begin(), live.begin() + at);
    WriteFile(cut, kept);
    const Outcome repair = tool("repair '" + cut + "'");
    ASSERT_EQ(repair.status, 0) << repair.out;
    EXPECT_TRUE(ReadFile(cut) == repaired);
    if (at < lastEnd) continue;  // zeros over a back-pointer cost the tag in front of it
    kept.resize(kept.size() + 65536, 0);
    WriteFile(cut, kept);
    ASSERT_EQ(tool("repair '" + cut + "'").status, 0);
    EXPECT_TRUE(ReadFile(cut) == repaired) << "zeros after the cut";
  }

  std::vector<uint8_t> damaged(live.begin(), live.begin() + lastEnd + 20);
  damaged[static_cast<size_t>(liveTags[150].offset)] = 0x55;
  WriteFile(cut, damaged);
  const Outcome refused = tool("repair '" + cut + "'");
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(lines(refused.out), 1) << refused.out;
  EXPECT_NE(refused.out.find("damaged at byte " + std::to_string(liveTags[150].offset)), std::string::npos)
      << refused.out;
  EXPECT_TRUE(ReadFile(cut) == damaged);

  const std::string text = kWork + "/notes.txt";
  WriteFile(text, {'n', 'o', 't', 'e', 's', '\n'});
  const Outcome stranger = tool("repair '" + text + "'");
  EXPECT_EQ(stranger.status, 1);
  EXPECT_EQ(lines(stranger.out), 1) << stranger.out;
  EXPECT_EQ(ReadFile(text).size(), 6u);
}

// strace, keeping a sanitizer build's leak check (which cannot work under a
// tracer) out of the way.
const std::string kStrace = "ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0\" strace -f -qq";

// How often a command makes each of the system calls named, as strace
// sees them.
std::map<std::string, int> systemCalls(const std::string& command, const std::string& names,
                                       const std::string& log) {
  EXPECT_EQ(
      mp4test::Run(kStrace + " -o '" + log + "' -e trace=" + names + " " + command + " >/dev/null 2>&1"), 0);
  std::map<std::string, int> counts;
  const std::vector<uint8_t> text = ReadFile(log);
  std::istringstream lines(std::string(text.begin(), text.end()));
  for (std::string line; std::getline(lines, line);) {
    const size_t open = line.find('(');
    const size_t name = line.find_last_of(' ', open) + 1;  // after the process id
    if (open != std::string::npos) ++counts[line.substr(name, open - name)];
  }
  return counts;
}

// A repair cut off itself, at any of its writes, leaves a file the next
// repair makes into the very file an uncut repair makes: MP4 and FLV
// mended where they lie, and an FLV given an index through a second file.
// Each call that changes a file (or says something) is in turn the one the
// repair is killed on entering, by strace, before it runs. On a disk with
// room for a movie box but not for a second copy, the first two are still
// repaired; the third is refused in one line and left as it was.
TEST(Repair, CutOffAtAnyWriteIsFinishedByTheNextRepair) {
  ASSERT_EQ(mp4test::Run("strace -V >/dev/null 2>&1"), 0) << "strace is needed (scripts/install-deps.sh)";
  for (const char* name : {"/again.mp4", "/again.flv", "/again-kf.flv"}) {
    SCOPED_TRACE(name);
    const std::string out = kWork + name, part = out + ".part", journal = part + ".journal";
    const bool mp4 = out.find(".mp4") != std::string::npos, keyframes = out.find("-kf") != std::string::npos;
    std::vector<std::string> args = recordArgs("steady", keyframes, out);
    args.insert(args.begin() + 1, {"--realtime", "--frame-log", out + ".frames"});
    const pid_t pid = startTool(args);
    ASSERT_TRUE(waitFor([&] { return !ReadFile(out + ".frames").empty(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    ASSERT_EQ(::waitpid(pid, nullptr, 0), pid);
    const std::vector<uint8_t> cutOff = ReadFile(part),
                               cutOffJournal = mp4 ? ReadFile(journal) : std::vector<uint8_t>();
    const auto restore = [&] {
      WriteFile(part, cutOff);
      if (mp4) WriteFile(journal, cutOffJournal);
    };
    const std::string repair = "'" + kTool + "' repair '" + part + "'";
    const std::map<std::string, int> calls = systemCalls(
        repair, "write,pwrite64,ftruncate,fdatasync,copy_file_range,rename,unlink", out + ".trace");
    const std::vector<uint8_t> repaired = ReadFile(part);
    ASSERT_NE(repaired, cutOff);
    ASSERT_GT(calls.size(), 2u);
    for (const auto& call : calls) {
      for (int n = 1; n <= call.second; ++n) {
        SCOPED_TRACE("killed on " + call.first + " #" + std::to_string(n));
        restore();
        mp4test::Run(kStrace + " -o /dev/null -e trace=" + call.first + " -e inject=" + call.first +
                     ":signal=KILL:when=" + std::to_string(n) + " " + repair + " >/dev/null 2>&1");
        // Killed after its last write, the next run may find nothing to do.
        tool("repair '" + part + "'");
        EXPECT_TRUE(ReadFile(part) == repaired);
        EXPECT_FALSE(exists(journal));
        EXPECT_FALSE(exists(part + ".repairing"));
      }
    }

    const size_t room = cutOff.size() + cutOffJournal.size() + (16 << 10);
    mp4test::TinyDisk disk(out + ".disk", std::to_string(room >> 10) + "k");
    ASSERT_EQ(disk.mounted, ::geteuid() == 0) << "root could not mount a tmpfs";
    if (!disk.mounted) continue;  // only root can make the small disk
    const std::string tight = disk.path + name + ".part";
    WriteFile(tight, cutOff);
    if (mp4) WriteFile(tight + ".journal", cutOffJournal);
    const Outcome repairedThere = tool("repair '" + tight + "'");
    if (keyframes) {
      EXPECT_EQ(repairedThere.status, 1);
      EXPECT_EQ(lines(repairedThere.out), 1) << repairedThere.out;
      EXPECT_TRUE(ReadFile(tight) == cutOff);
      EXPECT_FALSE(exists(tight + ".repairing"));
    } else {
      EXPECT_EQ(repairedThere.status, 0) << repairedThere.out;
      EXPECT_TRUE(ReadFile(tight) == repaired);
    }
  }
}

// What a cut-off recording left (its .part, an MP4's journal) can still be
// repaired: record refuses to start over it and touches neither.
TEST(Repair, RecordNeverStartsOverACutOffRecording) {
  for (const char* name : {"/left.flv", "/left.mp4"}) {
    SCOPED_TRACE(name);
    const std::string out = kWork + name, part = out + ".part", journal = part + ".journal";
    WriteFile(part, {'F', 'L', 'V', 1});
    if (std::string(name).find(".mp4") != std::string::npos) WriteFile(journal, {'j'});
    std::string args;
    for (const std::string& arg : recordArgs("stereo44", false, out)) args += "'" + arg + "' ";
    const Outcome record = tool(args);
    EXPECT_EQ(record.status, 1);
    EXPECT_EQ(lines(record.out), 1) << record.out;
    EXPECT_NE(record.out.find("vidscribe repair"), std::string::npos) << record.out;
    EXPECT_EQ(ReadFile(part).size(), 4u);
    EXPECT_FALSE(exists(out));
  }
  // Without its .part, the journal alone still stops the recorder.
  std::filesystem::remove(kWork + "/left.mp4.part");
  std::string args;
  for (const std::string& arg : recordArgs("stereo44", false, kWork + "/left.mp4")) args += "'" + arg + "' ";
  const Outcome record = tool(args);
  EXPECT_EQ(record.status, 1);
  EXPECT_NE(record.out.find("journal"), std::string::npos) << record.out;
  EXPECT_FALSE(exists(kWork + "/left.mp4.part"));
}

}  // namespace
