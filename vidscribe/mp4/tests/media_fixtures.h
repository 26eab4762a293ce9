#pragma once
// Test media made at run time by ffmpeg, and what ffprobe says about files.
// Nothing here is written by us, so a fault in our reader and writer cannot
// hide behind a matching fault in the fixtures.
#include <cstdint>
#include <string>
#include <vector>

namespace mp4test {

// A scratch folder removed with everything in it when the owner goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Runs a shell command; returns its exit status and fills output with its
// standard output.
int Run(const std::string& command, std::string* output = nullptr);

// A small tmpfs of its own at path (made when missing), unmounted however
// the test ends. Only root can mount one: mounted says whether it is there.
class TinyDisk {
 public:
  TinyDisk(const std::string& path, const std::string& size);
  ~TinyDisk();
  TinyDisk(const TinyDisk&) = delete;
  TinyDisk& operator=(const TinyDisk&) = delete;
  const std::string path;
  bool mounted = false;
};

bool HaveFfmpeg();

struct SourceOptions {
  bool video = true;
  bool audio = true;
  bool bFrames = true;
  double seconds = 3;
  int gopFrames = 50;  // 2 s at 25 frames per second
  int width = 320;
  int height = 240;
  std::string videoCodec = "libx264";
};

// Makes an MP4 with ffmpeg; false when ffmpeg fails.
bool MakeMp4(const std::string& path, const SourceOptions& options);

// The path of an MP4 made with these options, made once and shared by every
// test process of this user (CTest runs each test in a process of its own);
// empty when ffmpeg fails.
std::string CachedMp4(const SourceOptions& options);

struct Packet {
  int64_t pts = 0;
  int64_t dts = 0;
  uint32_t size = 0;
  bool key = false;
  uint32_t adler = 0;
};

// Packets of the first video ("v") or audio ("a") stream in decode order.
std::vector<Packet> ProbePackets(const std::string& path, const std::string& kind);

// One field of the first stream of that kind, e.g. "codec_name", "nb_frames".
std::string ProbeStream(const std::string& path, const std::string& kind, const std::string& field);

// Decodes every frame; returns what ffmpeg wrote to its error output.
std::string DecodeErrors(const std::string& path);

uint32_t Adler32(const uint8_t* data, size_t size);

std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace mp4test
