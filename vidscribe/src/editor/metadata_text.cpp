// DescribeMetaData: the onMetaData of an open file as text for people, one
// "name: value" line per entry, nested objects indented below their name
// and strict arrays (the key-frame index) by their length only.
#include <cstdio>
#include <string>

#include "amf/amf0_metadata.h"
#include "recorder/vidscriber_state.h"

namespace {

void describeValue(const std::string& indent, Flash::AS_Value* value, std::string& text);

void describeMembers(const std::string& indent, Flash::AS_Value* container, std::string& text) {
  for (const auto& child : container->children) {
    auto* variable = static_cast<Flash::AS_Variable*>(child.get());
    Flash::AS_Value* value = variable->Value();
    text += indent + variable->name + ":";
    if (value != nullptr && value->marker == Flash::kStrictArray) {
      text += " " + std::to_string(value->children.size()) + " entries\n";
      continue;
    }
    describeValue(indent, value, text);
  }
}

void describeValue(const std::string& indent, Flash::AS_Value* value, std::string& text) {
  if (value == nullptr) {
    text += " (none)\n";
    return;
  }
  char number[64];
  switch (value->marker) {
    case Flash::kNumber:
      std::snprintf(number, sizeof number, " %g\n", value->AsNumber());
      text += number;
      break;
    case Flash::kBoolean:
      text += value->AsBool() ? " true\n" : " false\n";
      break;
    case Flash::kString:
    case Flash::kLongString:
      text += " " + value->AsString() + "\n";
      break;
    case Flash::kObject:
    case Flash::kEcmaArray:
      text += "\n";
      describeMembers(indent + "  ", value, text);
      break;
    default:
      text += " (AMF0 type " + std::to_string(value->marker) + ")\n";
      break;
  }
}

}  // namespace

bool Vidscriber::DescribeMetaData(std::string& text) {
  vidscribe::MutexGuard guard(state->lock);
  FLVIO& io = state->io;
  text.clear();
  if (!io.isOpen()) return false;
  const int64_t was = io.Pos();
  FlvTag tag;
  io.Seek(vidscribe::kFirstSlot, 0);
  Flash::MetaDataBody meta;
  const bool decoded = tag.Read(io) && tag.GetType() == vidscribe::kScriptTag &&
                       Flash::DecodeMetaData(tag.GetData(), tag.GetDataSize(), meta);
  io.Seek(was, 0);
  if (!decoded) return false;
  text = meta.name.value + ":\n";
  describeMembers("  ", &meta.entries, text);
  return true;
}
