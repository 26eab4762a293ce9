#include "tool_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "recorder/vidscriber_state.h"

namespace vidscribe_tool {

namespace {
FILE*& toolOutputSlot() {
  static FILE* out = stderr;
  return out;
}
void vprint(const char* prefix, const char* format, va_list args) {
  FILE* out = toolOutputSlot();
  std::fputs(prefix, out);
  std::vfprintf(out, format, args);
  std::fputc('\n', out);
  std::fflush(out);
}
}  // namespace

Args::Args(int argc, char** argv, const std::vector<std::string>& valueOptions) {
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
      bool takesValue = false;
      for (const std::string& option : valueOptions) takesValue = takesValue || option == arg;
      if (takesValue) {
        if (i + 1 >= argc) {
          unknown = arg + " needs a value";
          return;
        }
        values.emplace_back(arg, argv[++i]);
      } else {
        flags.push_back(arg);
      }
    } else {
      positional.push_back(arg);
    }
  }
}

bool Args::Has(const std::string& flag) const {
  for (const std::string& f : flags)
    if (f == flag) return true;
  return false;
}

std::string Args::Value(const std::string& option) const {
  for (const auto& entry : values)
    if (entry.first == option) return entry.second;
  return std::string();
}

bool ParseInteger(const std::string& text, bool allowNegative, int64_t* out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || end == nullptr || *end != '\0') return false;
  if (value < 0 && !allowNegative) return false;
  *out = value;
  return true;
}

int Fail(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vprint("vidscribe: ", format, args);
  va_end(args);
  return 1;
}

void Note(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vprint("", format, args);
  va_end(args);
}

void QuietLibraryLog() {
  if (std::getenv("VIDSCRIBE_LOG") != nullptr) return;
  const int saved = dup(2);
  const int null = open("/dev/null", O_WRONLY);
  if (saved < 0 || null < 0) return;
  FILE* out = fdopen(saved, "w");
  if (out == nullptr) return;
  toolOutputSlot() = out;
  dup2(null, 2);
  close(null);
}

bool FileExists(const char* path) {
  struct stat info;
  return ::stat(path, &info) == 0;
}

bool ProbeFlv(const char* path, StreamInfo& info) {
  Vidscriber reader(false);
  if (!reader.Open(path, FLVIO::ModeRead)) return false;
  vidscribe::VidscriberState& s = vidscribe::VidscriberAccess::Of(reader);
  info.hasKeyframeIndex = !s.KeyframeIndex.empty();
  info.framerate = s.framerate;
  FlvTag tag;
  bool videoKnown = s.videoCodec == -1;
  bool audioKnown = s.params.audioCodec == -1;
  // Sequence headers come first in any sane file; a bounded look keeps a
  // probe of a long file short.
  for (int i = 0; i < 400 && !(videoKnown && audioKnown) && reader.ReadTag(tag); ++i) {
    int offset = 0;
    const uint8_t kind = reader.ParseTag(tag, offset, 1);
    if (tag.GetType() == 9) videoKnown = s.videoCodec != 7 || !s.params.sps.empty() || kind != 0;
    if (tag.GetType() == 8) audioKnown = s.params.audioCodec != 10 || kind == 0 || s.params.sampleRate != 0;
  }
  info.videoCodec = s.videoCodec;
  info.width = s.params.width;
  info.height = s.params.height;
  info.audioCodec = s.params.audioCodec;
  info.sampleRate = s.params.sampleRate;
  info.channels = s.params.channels;
  info.profile = s.params.aacProfile;
  return true;
}

void DeclareStreams(Vidscriber& writer, const StreamInfo& info) {
  if (info.videoCodec > 0)
    writer.SetVideo(info.videoCodec, info.width, info.height, static_cast<int>(info.framerate + 0.5));
  if (info.audioCodec > 0) writer.SetAudio(info.audioCodec, info.sampleRate, info.channels, info.profile);
}

}  // namespace vidscribe_tool
