// vidscribe: the command-line face of the media library, for the people who
// build on it and support its recordings.
#include <cstdio>
#include <cstring>

#include "tool_support.h"

namespace {

const char kUsage[] =
    "usage: vidscribe COMMAND ARGS (vidscribe COMMAND --help for details)\n"
    "  record --h264 IN.h264 [--aac IN.aac] [--fps N] [--keyframes] OUT.flv|OUT.mp4\n"
    "  info FILE\n"
    "  seek FILE MS [--key]\n"
    "  extract FILE --h264 OUT.h264 [--aac OUT.aac]   (FILE is FLV or MP4; so is info's)\n"
    "  append DST.flv SRC.flv [--offset MS]\n"
    "  pad FILE.flv MS\n"
    "  index SRC.flv DST.flv [--force]\n"
    "  repair FILE [--keyframes]   (a recording cut off by a crash; FLV or MP4)\n"
    "Set VIDSCRIBE_LOG to see the library's diagnostic lines.\n";

struct Command {
  const char* name;
  int (*run)(int, char**);
};

const Command kCommands[] = {
    {"record", vidscribe_tool::RunRecord}, {"info", vidscribe_tool::RunInfo},
    {"seek", vidscribe_tool::RunSeek},     {"extract", vidscribe_tool::RunExtract},
    {"append", vidscribe_tool::RunAppend}, {"pad", vidscribe_tool::RunPad},
    {"index", vidscribe_tool::RunIndex},   {"repair", vidscribe_tool::RunRepair},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 1;
  }
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  vidscribe_tool::QuietLibraryLog();
  for (const Command& command : kCommands) {
    if (std::strcmp(argv[1], command.name) == 0) return command.run(argc - 2, argv + 2);
  }
  return vidscribe_tool::Fail("unknown command %s (see --help)", argv[1]);
}
