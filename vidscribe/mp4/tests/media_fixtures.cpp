#include "media_fixtures.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace mp4test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "mp4test-XXXXXX").string();
  if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

int Run(const std::string& command, std::string* output) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  int status = pclose(pipe);
  if (output) *output = std::move(text);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TinyDisk::TinyDisk(const std::string& path, const std::string& size) : path(path) {
  mounted = ::geteuid() == 0 &&
            Run("mkdir -p '" + path + "' && mount -t tmpfs -o size=" + size + " tmpfs '" + path + "'") == 0;
}

TinyDisk::~TinyDisk() {
  if (mounted) Run("umount '" + path + "'");
}

bool HaveFfmpeg() {
  return Run("ffmpeg -version >/dev/null 2>&1 && ffprobe -version >/dev/null 2>&1") == 0;
}

namespace {

std::string describe(const SourceOptions& o) {
  std::ostringstream name;
  name << (o.video ? o.videoCodec : "novideo") << "-" << (o.audio ? "aac" : "noaudio") << "-b" << o.bFrames
       << "-" << o.seconds << "s-g" << o.gopFrames << "-" << o.width << "x" << o.height;
  return name.str();
}

}  // namespace

std::string CachedMp4(const SourceOptions& options) {
  std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("vidscribe-mp4-fixtures-" + std::to_string(getuid()));
  std::error_code ignored;
  std::filesystem::create_directories(dir, ignored);
  std::string path = (dir / (describe(options) + ".mp4")).string();
  if (std::filesystem::exists(path)) return path;
  // Made under a private name and renamed, so a parallel test never sees a
  // half-written file.
  std::string scratch = path + "." + std::to_string(getpid()) + ".mp4";
  if (!MakeMp4(scratch, options)) return {};
  std::filesystem::rename(scratch, path, ignored);
  return ignored ? std::string() : path;
}

bool MakeMp4(const std::string& path, const SourceOptions& o) {
  std::ostringstream c;
  c << "ffmpeg -v error -y";
  if (o.video)
    c << " -f lavfi -i testsrc=size=" << o.width << "x" << o.height << ":rate=25:duration=" << o.seconds;
  if (o.audio) c << " -f lavfi -i sine=frequency=440:sample_rate=44100:duration=" << o.seconds;
  if (o.video) {
    c << " -c:v " << o.videoCodec << " -pix_fmt yuv420p -preset superfast -g " << o.gopFrames
      << " -keyint_min " << o.gopFrames << " -sc_threshold 0";
    c << (o.videoCodec == "libx264" ? (o.bFrames ? " -bf 2" : " -bf 0") : " -x265-params log-level=none");
  }
  if (o.audio) c << " -c:a aac -b:a 64k -ac 2";
  c << " '" << path << "' 2>&1";
  std::string output;
  return Run(c.str(), &output) == 0;
}

std::vector<Packet> ProbePackets(const std::string& path, const std::string& kind) {
  std::string output;
  // Edit lists are ignored so that every stored sample is listed, priming
  // audio included, with its decode time as stored.
  Run("ffprobe -v error -ignore_editlist 1 -select_streams " + kind +
          ":0 -show_data_hash adler32 -show_entries packet=pts,dts,size,flags,data_hash -of csv=p=0 '" +
          path + "'",
      &output);
  std::vector<Packet> packets;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    Packet p;
    char flags[8] = {0};
    unsigned adler = 0;
    long long pts, dts;
    unsigned size;
    if (std::sscanf(line.c_str(), "%lld,%lld,%u,%7[^,],adler32:%x", &pts, &dts, &size, flags, &adler) != 5)
      continue;
    p.pts = pts;
    p.dts = dts;
    p.size = size;
    p.key = flags[0] == 'K';
    p.adler = adler;
    packets.push_back(p);
  }
  return packets;
}

std::string ProbeStream(const std::string& path, const std::string& kind, const std::string& field) {
  std::string output;
  Run("ffprobe -v error -select_streams " + kind + ":0 -show_entries stream=" + field + " -of csv=p=0 '" +
          path + "'",
      &output);
  while (!output.empty() && (output.back() == '\n' || output.back() == ',')) output.pop_back();
  return output;
}

std::string DecodeErrors(const std::string& path) {
  std::string output;
  int status = Run("ffmpeg -v error -i '" + path + "' -f null - 2>&1", &output);
  if (status != 0 && output.empty()) output = "ffmpeg exit status " + std::to_string(status);
  return output;
}

uint32_t Adler32(const uint8_t* data, size_t size) {
  return static_cast<uint32_t>(adler32(adler32(0, nullptr, 0), data, static_cast<uInt>(size)));
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace mp4test
