// Opens arbitrary bytes as an MP4 and, when they pass, exercises every query
// and reads every sample, so any table the checks let through is used.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "mp4file/mp4_file_reader.h"
#include "mp4file/mp4_log.h"

using namespace mp4file;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool quiet = (SetLogHandler([](LogSource, const std::string&) {}), true);
  (void)quiet;
  auto reader = Mp4FileReader::Open(std::make_unique<MemorySource>(data, size), "fuzz input");
  if (!reader) return 0;
  for (uint32_t i = 0; i < reader->TrackCount(); ++i) {
    TrackId track = reader->TrackIdAt(i);
    std::vector<std::vector<uint8_t>> sps, pps;
    std::vector<uint8_t> config;
    reader->H264ParameterSets(track, sps, pps);
    reader->ESConfiguration(track, config);
    (void)reader->MediaDataName(track);
    (void)reader->VideoFrameRate(track);
    (void)reader->AudioChannels(track);
    (void)reader->Duration(track);
    std::vector<uint8_t> buffer(reader->MaxSampleSize(track));
    uint32_t count = reader->SampleCount(track);
    for (uint32_t id = 1; id <= count + 1 && id < 4096; ++id) {
      uint32_t got = 0;
      bool sync = false;
      SampleTiming timing;
      reader->ReadSample(track, id, buffer.data(), static_cast<uint32_t>(buffer.size()), got, sync, &timing);
    }
  }
  reader->FindTrackId(TrackKind::Video);
  reader->FindTrackId(TrackKind::Audio, 1);
  return 0;
}
