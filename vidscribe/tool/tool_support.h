// What the subcommands share: argument handling, the tool's own output
// (the library's diagnostic lines go elsewhere), and the stream parameters
// of an existing file.
#ifndef VIDSCRIBE_TOOL_TOOL_SUPPORT_H
#define VIDSCRIBE_TOOL_TOOL_SUPPORT_H

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "elementary_streams.h"
#include "vidscribe/vidscribe.h"

namespace vidscribe_tool {

// Arguments after the subcommand name: options with values, flags and
// positional arguments, in any order.
class Args {
 public:
  Args(int argc, char** argv, const std::vector<std::string>& valueOptions);
  bool Has(const std::string& flag) const;
  // Empty when the option is absent.
  std::string Value(const std::string& option) const;
  const std::vector<std::string>& Positional() const { return positional; }
  // An unknown option, or empty.
  const std::string& Unknown() const { return unknown; }

 private:
  std::vector<std::string> flags;
  std::vector<std::pair<std::string, std::string>> values;
  std::vector<std::string> positional;
  std::string unknown;
};

// Parses a whole non-negative (or, with allowNegative, signed) number.
bool ParseInteger(const std::string& text, bool allowNegative, int64_t* out);

// The one-line reason on standard error; returns the exit status 1.
int Fail(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Progress and notes on standard error.
void Note(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Sends the library's diagnostic lines to /dev/null unless VIDSCRIBE_LOG is
// set; the tool's own messages keep the real standard error.
void QuietLibraryLog();

// Stream parameters of an existing FLV file, from its metadata and its
// sequence headers.
struct StreamInfo {
  int videoCodec = -1;
  int width = 0;
  int height = 0;
  double framerate = 0.0;
  int audioCodec = -1;
  int sampleRate = 0;
  int channels = 0;
  int profile = 2;
  bool hasKeyframeIndex = false;
};
bool ProbeFlv(const char* path, StreamInfo& info);
// Declares the probed streams on a writer that continues the file, so that
// its rewritten onMetaData keeps the codecs it had.
void DeclareStreams(Vidscriber& writer, const StreamInfo& info);

bool FileExists(const char* path);

// Output files that are removed unless the command completes.
class PendingOutput {
 public:
  explicit PendingOutput(std::string path)
      : path(std::move(path)), file(std::fopen(this->path.c_str(), "wb")) {}
  ~PendingOutput() {
    if (!kept && file != nullptr) {
      file.reset();
      std::remove(path.c_str());
    }
  }
  bool ok() const { return file != nullptr && !failed; }
  void Write(const uint8_t* data, size_t length) {
    if (file != nullptr && length > 0 && std::fwrite(data, 1, length, file.get()) != length) failed = true;
  }
  bool Keep() {
    if (file == nullptr) return false;
    failed = std::fclose(file.release()) != 0 || failed;
    kept = !failed;
    if (!kept) std::remove(path.c_str());
    return kept;
  }
  const std::string path;

 private:
  FilePtr file;
  bool failed = false;
  bool kept = false;
};


int RunRecord(int argc, char** argv);
int RunInfo(int argc, char** argv);
int RunSeek(int argc, char** argv);
int RunExtract(int argc, char** argv);
int RunAppend(int argc, char** argv);
int RunPad(int argc, char** argv);
int RunIndex(int argc, char** argv);

}  // namespace vidscribe_tool

#endif  // VIDSCRIBE_TOOL_TOOL_SUPPORT_H
