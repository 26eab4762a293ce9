#include "mp4file/sample_entry.h"

namespace mp4file {
namespace {

// Descriptor nesting in an elementary-stream box is fixed (stream, decoder
// configuration, decoder-specific data), so no recursion is needed.
bool readDescriptorHeader(ByteReader& r, uint8_t& tag, size_t& size) {
  tag = r.U8();
  uint32_t length = 0;
  for (int i = 0; i < 4; ++i) {
    uint8_t b = r.U8();
    length = (length << 7) | (b & 0x7F);
    if (!(b & 0x80)) break;
  }
  size = length;
  return r.Ok() && r.Has(size);
}

bool parseEsDescriptor(const Box& esds, ReaderTrack& t, std::string& why) {
  why = "damaged elementary stream descriptor";
  ByteReader box(esds.payload, esds.size);
  box.Skip(4);  // version and flags
  uint8_t tag;
  size_t size;
  if (!readDescriptorHeader(box, tag, size) || tag != 0x03) return false;
  ByteReader es(box.Take(size), size);
  es.Skip(2);
  uint8_t flags = es.U8();
  if (flags & 0x80) es.Skip(2);
  if (flags & 0x40) es.Skip(es.U8());
  if (flags & 0x20) es.Skip(2);
  while (es.Ok() && es.Remaining() > 0) {
    if (!readDescriptorHeader(es, tag, size)) return false;
    ByteReader decoder(es.Take(size), size);
    if (tag != 0x04) continue;
    decoder.Skip(13);  // object type, stream type, buffer size, bit rates
    while (decoder.Ok() && decoder.Remaining() > 0) {
      if (!readDescriptorHeader(decoder, tag, size)) return false;
      const uint8_t* data = decoder.Take(size);
      if (tag == 0x05) {
        t.esConfiguration.assign(data, data + size);
        t.hasEsConfiguration = true;
        break;
      }
    }
    if (!decoder.Ok()) return false;
    why.clear();
    return true;
  }
  if (!es.Ok()) return false;
  why.clear();
  return true;
}

bool readParameterSets(ByteReader& r, size_t count, std::vector<std::vector<uint8_t>>& sets) {
  for (size_t i = 0; i < count; ++i) {
    uint16_t size = r.U16();
    const uint8_t* data = r.Take(size);
    if (!r.Ok()) return false;
    if (size > 0) sets.emplace_back(data, data + size);
  }
  return true;
}

bool parseAvcConfiguration(const Box& avcC, ReaderTrack& t, std::string& why) {
  ByteReader r(avcC.payload, avcC.size);
  r.Skip(5);  // version, profile, compatibility, level, length size
  bool ok =
      readParameterSets(r, r.U8() & 0x1F, t.sequenceSets) && readParameterSets(r, r.U8(), t.pictureSets);
  if (!ok || !r.Ok()) {
    why = "damaged AVC configuration";
    return false;
  }
  t.hasAvcConfiguration = true;
  return true;
}

bool parseVisualEntry(ByteReader& r, ReaderTrack& t, std::string& why) {
  r.Skip(6 + 2 + 16);  // reserved, data reference, pre-defined
  t.width = r.U16();
  t.height = r.U16();
  r.Skip(4 + 4 + 4 + 2 + 32 + 2 + 2);
  if (!r.Ok()) {
    why = "short visual sample entry";
    return false;
  }
  BoxWalker children(r.Current(), r.Remaining());
  Box child;
  while (children.Next(child)) {
    if (child.type == FourCC("avcC") && !t.hasAvcConfiguration && !parseAvcConfiguration(child, t, why))
      return false;
  }
  if (children.Damaged()) {
    why = "damaged box inside the visual sample entry";
    return false;
  }
  return true;
}

bool parseAudioEntry(ByteReader& r, ReaderTrack& t, std::string& why) {
  r.Skip(6 + 2);
  uint16_t version = r.U16();
  r.Skip(6);
  t.channels = r.U16();
  r.Skip(2 + 2 + 2 + 4);  // sample size, pre-defined, reserved, rate
  // Older sound entries carry extra fields before their child boxes.
  if (version == 1) r.Skip(16);
  if (version == 2) r.Skip(36);
  if (!r.Ok()) {
    why = "short audio sample entry";
    return false;
  }
  BoxWalker children(r.Current(), r.Remaining());
  Box child;
  while (children.Next(child)) {
    if (child.type == FourCC("esds") && !t.hasEsConfiguration && !parseEsDescriptor(child, t, why))
      return false;
  }
  if (children.Damaged()) {
    why = "damaged box inside the audio sample entry";
    return false;
  }
  return true;
}

}  // namespace

bool ParseSampleDescription(const Box& stsd, ReaderTrack& t, uint32_t& entryCount, std::string& why) {
  ByteReader r(stsd.payload, stsd.size);
  r.Skip(4);
  entryCount = r.U32();
  if (!r.Ok() || entryCount == 0) {
    why = "empty sample description";
    return false;
  }
  BoxWalker entries(r.Current(), r.Remaining());
  Box entry;
  if (!entries.Next(entry)) {
    why = "damaged sample description";
    return false;
  }
  t.sampleEntry = entry.type;
  ByteReader fields(entry.payload, entry.size);
  if (t.handler == kHandlerVideo) return parseVisualEntry(fields, t, why);
  if (t.handler == kHandlerSound) return parseAudioEntry(fields, t, why);
  return true;
}

}  // namespace mp4file
