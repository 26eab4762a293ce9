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
bool ProbeFlv(const char* path, vidscribe::MediaDescription& info);
// Declares the probed streams on a writer that continues the file, so that
// its rewritten onMetaData keeps the codecs it had.
void DeclareStreams(Vidscriber& writer, const vidscribe::MediaDescription& info);

// Outputs are written under NAME.part and renamed once complete.
std::string PartialName(const std::string& path);
// Whether two paths name one file: by device and inode when both exist,
// else by their absolute spelling (so two outputs not made yet compare too).
bool SameFile(const std::string& a, const std::string& b);
// Fails (one line, status 1) when an output, or the .part name it is
// written through, is one of the inputs or another output: writing it would
// destroy the input or mix two outputs. Empty names are skipped.
bool OutputsOverlap(const char* command, const std::vector<std::string>& inputs,
                    const std::vector<std::string>& outputs);

// An output file written under NAME.part, which is removed unless the
// command completes, and renamed to NAME when it does: a failure never
// leaves a file under NAME, nor touches one already there.
class PendingOutput {
 public:
  explicit PendingOutput(std::string path);
  ~PendingOutput();
  bool ok() const { return file != nullptr && !failed; }
  void Write(const uint8_t* data, size_t length) {
    if (file != nullptr && length > 0 && std::fwrite(data, 1, length, file.get()) != length) failed = true;
  }
  bool Keep();
  const std::string path;

 private:
  const std::string partial;
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
int RunRepair(int argc, char** argv);

}  // namespace vidscribe_tool

#endif  // VIDSCRIBE_TOOL_TOOL_SUPPORT_H
