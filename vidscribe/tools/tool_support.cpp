#include "tool_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

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

bool ProbeFlv(const char* path, vidscribe::MediaDescription& info) {
  Vidscriber reader(false);
  if (!reader.Open(path, FLVIO::ModeRead)) return false;
  reader.Describe(info);
  FlvTag tag;
  bool videoKnown = info.videoCodec == -1;
  bool audioKnown = info.audioCodec == -1;
  // Sequence headers come first in any sane file; a bounded look keeps a
  // probe of a long file short.
  for (int i = 0; i < 400 && !(videoKnown && audioKnown) && reader.ReadTag(tag); ++i) {
    int offset = 0;
    const uint8_t kind = reader.ParseTag(tag, offset, 1);
    vidscribe::MediaDescription seen;
    reader.Describe(seen);
    if (tag.GetType() == vidscribe::kVideoTag)
      videoKnown =
          seen.videoCodec != vidscribe::kCodecAvc || reader.hasSeqVideo() || kind != vidscribe::kKindConfig;
    if (tag.GetType() == vidscribe::kAudioTag)
      audioKnown =
          seen.audioCodec != vidscribe::kSoundAac || kind == vidscribe::kKindConfig || seen.sampleRate != 0;
  }
  const uint32_t indexed = info.indexedKeyFrames;
  reader.Describe(info);
  info.indexedKeyFrames = indexed;
  return true;
}

void DeclareStreams(Vidscriber& writer, const vidscribe::MediaDescription& info) {
  if (info.videoCodec > 0)
    writer.SetVideo(info.videoCodec, info.width, info.height, static_cast<int>(std::lround(info.framerate)));
  if (info.audioCodec > 0) writer.SetAudio(info.audioCodec, info.sampleRate, info.channels, info.aacProfile);
}

std::string PartialName(const std::string& path) {
  return path + ".part";
}

namespace {

// The absolute spelling of a path whose folder exists, for names that do
// not exist (yet).
std::string absoluteName(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  char resolved[PATH_MAX];
  if (::realpath(folder.c_str(), resolved) == nullptr) return path;
  return std::string(resolved) + "/" + (slash == std::string::npos ? path : path.substr(slash + 1));
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
  struct stat first, second;
  const bool firstExists = ::stat(a.c_str(), &first) == 0;
  const bool secondExists = ::stat(b.c_str(), &second) == 0;
  if (firstExists && secondExists) return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
  if (firstExists || secondExists) return false;
  return absoluteName(a) == absoluteName(b);
}

bool OutputsOverlap(const char* command, const std::vector<std::string>& inputs,
                    const std::vector<std::string>& outputs) {
  for (size_t i = 0; i < outputs.size(); ++i) {
    const std::string& out = outputs[i];
    if (out.empty()) continue;
    for (const std::string& in : inputs) {
      if (in.empty()) continue;
      if (SameFile(in, out)) {
        Fail("%s: %s would overwrite the input %s", command, out.c_str(), in.c_str());
        return true;
      }
      if (SameFile(in, PartialName(out))) {
        Fail("%s: %s is written through %s, which is the input %s", command, out.c_str(),
             PartialName(out).c_str(), in.c_str());
        return true;
      }
    }
    for (size_t j = i + 1; j < outputs.size(); ++j) {
      const std::string& other = outputs[j];
      if (!other.empty() &&
          (SameFile(out, other) || SameFile(PartialName(out), other) || SameFile(out, PartialName(other)))) {
        Fail("%s: %s is named for two outputs", command, out.c_str());
        return true;
      }
    }
  }
  return false;
}

PendingOutput::PendingOutput(std::string name)
    : path(std::move(name)), partial(PartialName(path)), file(std::fopen(partial.c_str(), "wb")) {}

PendingOutput::~PendingOutput() {
  if (!kept && file != nullptr) {
    file.reset();
    std::remove(partial.c_str());
  }
}

bool PendingOutput::Keep() {
  if (file == nullptr) return false;
  failed = std::fclose(file.release()) != 0 || failed;
  kept = !failed && std::rename(partial.c_str(), path.c_str()) == 0;
  if (!kept) std::remove(partial.c_str());
  return kept;
}

}  // namespace vidscribe_tool
