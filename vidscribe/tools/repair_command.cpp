// vidscribe repair: makes a recording whose recorder died playable again,
// through the library's RepairRecording.
#include <cstdio>

#include "tool_support.h"

namespace vidscribe_tool {

namespace {

const char kUsage[] =
    "usage: vidscribe repair FILE [--keyframes]\n"
    "  Makes a recording that was cut off (the recorder crashed, was killed or lost\n"
    "  power) playable again, in place.\n"
    "  MP4: the movie box is rebuilt from the media data and the journal the\n"
    "  recording kept beside it (FILE.journal), which is removed after; without\n"
    "  a journal nothing is changed.\n"
    "  FLV: a tag cut short at the end is dropped and onMetaData rewritten\n"
    "  (duration, sizes, rates); with a key-frame index when the file was recorded\n"
    "  with one, or when --keyframes is given.\n"
    "  Nothing is written before everything is checked, and no second copy is\n"
    "  made (an FLV given a new index is written as FILE.repairing and renamed);\n"
    "  a repair cut off itself is finished by running it again.\n"
    "  A recording cut off by `vidscribe record` is OUT.part.\n";

}  // namespace

int RunRepair(int argc, char** argv) {
  Args args(argc, argv, {});
  if (args.Has("--help")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!args.Unknown().empty() || args.Positional().size() != 1) return Fail("repair: need FILE (see --help)");
  vidscribe::RepairReport report;
  const int options = args.Has("--keyframes") ? vidscribe::kRepairKeyFrameIndex : 0;
  if (!vidscribe::RepairRecording(args.Positional()[0].c_str(), options, report))
    return Fail("repair: %s", report.message.c_str());
  std::printf("%s\n", report.message.c_str());
  return 0;
}

}  // namespace vidscribe_tool
