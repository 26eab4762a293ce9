#ifndef VIDSCRIBE_TESTS_RECORDER_ANNEXB_UNITS_H
#define VIDSCRIBE_TESTS_RECORDER_ANNEXB_UNITS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace recordertest {

// Units of an Annex B stream, start codes of either length removed: the
// form in which recordings are compared with their source streams.
inline std::vector<std::vector<uint8_t>> AnnexBUnits(const std::vector<uint8_t>& stream) {
  std::vector<std::vector<uint8_t>> list;
  size_t start = std::string::npos;
  for (size_t i = 0; i + 2 < stream.size(); ++i) {
    if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1) {
      if (start != std::string::npos) {
        size_t end = i;
        while (end > start && stream[end - 1] == 0) --end;
        list.emplace_back(stream.begin() + static_cast<long>(start), stream.begin() + static_cast<long>(end));
      }
      i += 2;
      start = i + 1;
    }
  }
  if (start != std::string::npos) list.emplace_back(stream.begin() + static_cast<long>(start), stream.end());
  return list;
}

}  // namespace recordertest

#endif  // VIDSCRIBE_TESTS_RECORDER_ANNEXB_UNITS_H
