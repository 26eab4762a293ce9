#pragma once
// Turns an ffmpeg-made MP4 back into what a live encoder hands a recorder:
// H.264 access units in Annex B form (key frames led by SPS and PPS) and AAC
// frames behind ADTS headers, each with millisecond timestamps, interleaved
// in decode order.
#include <cstdint>
#include <string>
#include <vector>

namespace mp4test {

struct Frame {
  bool video = false;
  bool key = false;
  uint32_t timestamp = 0;       // ms
  int32_t compositionTime = 0;  // ms
  std::vector<uint8_t> bytes;   // what the recorder is given
  std::vector<uint8_t> sample;  // the sample as stored in the source file
};

struct Recording {
  std::vector<Frame> frames;
  std::vector<uint8_t> sps, pps;
  int sampleRate = 0, channels = 0;
};

// Empty frames when the file cannot be read.
Recording RecordingFromMp4(const std::string& path);

// Redirects standard error (where the log channel writes) into a file for
// the owner's lifetime.
class StderrCapture {
 public:
  StderrCapture();
  ~StderrCapture();
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;
  std::string Text() const;

 private:
  int saved_ = -1;
  std::string path_;
};

}  // namespace mp4test
