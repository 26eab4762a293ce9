// MP4 files in the tool: recognising them, and info and extract for them.
#ifndef VIDSCRIBE_TOOL_MP4_COMMANDS_H
#define VIDSCRIBE_TOOL_MP4_COMMANDS_H

#include <string>

#include "tool_support.h"

namespace vidscribe_tool {

// By content, so a recording renamed without its extension still reads.
bool IsMp4File(const char* path);
// The record command picks the container by the output name (any case).
bool EndsWithMp4(const std::string& path);
int InfoMp4(const char* path);
int ExtractMp4(const char* path, const std::string& h264, const std::string& aac);

}  // namespace vidscribe_tool

#endif  // VIDSCRIBE_TOOL_MP4_COMMANDS_H
