// vidscribe append, pad and index: editing recordings in place or into a
// copy. A file that carries a key-frame index is continued in key-frame
// mode, so that Close rebuilds the index for the whole file. An edit that
// fails leaves the file as it was (the library cuts what it added and does
// not rewrite onMetaData); the tool then exits non-zero.
#include <cstdio>
#include <memory>

#include "tool_support.h"

namespace vidscribe_tool {

namespace {

const char kAppendUsage[] =
    "usage: vidscribe append DST.flv SRC.flv [--offset MS]\n"
    "  Appends the media of SRC.flv to DST.flv, MS milliseconds after its end\n"
    "  (a negative MS fills the gap with silent audio first).\n";
const char kPadUsage[] =
    "usage: vidscribe pad FILE.flv MS\n"
    "  Appends MS milliseconds of silent audio frames to FILE.flv.\n";
const char kIndexUsage[] =
    "usage: vidscribe index SRC.flv DST.flv [--force]\n"
    "  Copies SRC.flv to DST.flv with a key-frame index in onMetaData; --force\n"
    "  rebuilds an index SRC.flv already carries.\n";

// Opens an existing FLV file to continue it, with its streams declared.
// Null (after the one-line reason) when that is not possible.
std::unique_ptr<Vidscriber> openToContinue(const char* path, const char* command) {
  vidscribe::MediaDescription info;
  if (!ProbeFlv(path, info)) {
    Fail("%s: %s is not a readable FLV file", command, path);
    return nullptr;
  }
  auto writer = std::make_unique<Vidscriber>(info.indexedKeyFrames > 0);
  if (!writer->Open(path, FLVIO::ModeAppend)) {
    Fail("%s: cannot continue %s (not writable, or its onMetaData is damaged)", command, path);
    return nullptr;
  }
  DeclareStreams(*writer, info);
  return writer;
}

}  // namespace

int RunAppend(int argc, char** argv) {
  Args args(argc, argv, {"--offset"});
  if (args.Has("--help")) {
    std::fputs(kAppendUsage, stdout);
    return 0;
  }
  if (!args.Unknown().empty() || args.Positional().size() != 2)
    return Fail("append: need DST.flv SRC.flv (see --help)");
  int64_t offset = 0;
  if (!args.Value("--offset").empty() &&
      (!ParseInteger(args.Value("--offset"), true, &offset) || offset > 86400000 || offset < -86400000))
    return Fail("append: --offset must be a whole number of milliseconds within a day");
  const char* dst = args.Positional()[0].c_str();
  const char* src = args.Positional()[1].c_str();
  if (SameFile(dst, src)) return Fail("append: %s cannot be appended to itself", dst);
  vidscribe::MediaDescription source;
  if (!ProbeFlv(src, source)) return Fail("append: %s is not a readable FLV file", src);
  std::unique_ptr<Vidscriber> writer = openToContinue(dst, "append");
  if (!writer) return 1;
  // The gap a negative offset names is filled with silence, and the source
  // follows it directly.
  bool added = offset >= 0 || writer->AddSpace(static_cast<uint32_t>(-offset)) >= 0;
  added = added && writer->AddFlv(src, offset >= 0 ? offset : 0);
  const bool finished = writer->Close();
  if (!added || !finished) return Fail("append: could not add %s to %s", src, dst);
  return 0;
}

int RunPad(int argc, char** argv) {
  Args args(argc, argv, {});
  if (args.Has("--help")) {
    std::fputs(kPadUsage, stdout);
    return 0;
  }
  int64_t ms = 0;
  if (!args.Unknown().empty() || args.Positional().size() != 2)
    return Fail("pad: need FILE.flv MS (see --help)");
  if (!ParseInteger(args.Positional()[1], false, &ms) || ms > 86400000)
    return Fail("pad: MS must be a whole number of milliseconds within a day");
  const char* path = args.Positional()[0].c_str();
  std::unique_ptr<Vidscriber> writer = openToContinue(path, "pad");
  if (!writer) return 1;
  const int added = writer->AddSpace(static_cast<uint32_t>(ms));
  const bool finished = writer->Close();
  if (added < 0 || !finished) return Fail("pad: could not write %s; it is unchanged", path);
  if (added == 0 && ms > 0) return Fail("pad: %s has no audio to take the frame interval from", path);
  std::printf("%d\n", added);
  return 0;
}

int RunIndex(int argc, char** argv) {
  Args args(argc, argv, {});
  if (args.Has("--help")) {
    std::fputs(kIndexUsage, stdout);
    return 0;
  }
  if (!args.Unknown().empty() || args.Positional().size() != 2)
    return Fail("index: need SRC.flv DST.flv (see --help)");
  const char* src = args.Positional()[0].c_str();
  const char* dst = args.Positional()[1].c_str();
  if (OutputsOverlap("index", {src}, {dst})) return 1;
  const std::string partial = PartialName(dst);
  if (!Vidscriber::AddKeyFrame(src, partial.c_str(), args.Has("--force"))) {
    std::remove(partial.c_str());
    return Fail("index: could not index %s (already indexed without --force, unreadable, or not writable)",
                src);
  }
  if (std::rename(partial.c_str(), dst) != 0) {
    std::remove(partial.c_str());
    return Fail("index: cannot rename %s to %s", partial.c_str(), dst);
  }
  return 0;
}

}  // namespace vidscribe_tool
