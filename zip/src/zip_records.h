#pragma once
// The three record kinds of the classic zip layout and the conversions of
// their fields into what callers see. Every reader here takes its bounds
// from the source and fails with a ZipResult rather than reading past them.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "zip/zip_reader.h"

class ZipSource;

struct ZipEndRecord {
  std::uint64_t position = 0;  // of the signature inside the source
  std::uint32_t entryCount = 0;
  std::uint32_t directorySize = 0;
  std::uint32_t directoryOffset = 0;  // as stored, before the prefix shift
  std::uint32_t commentLength = 0;
  std::uint64_t bytesBefore = 0;  // prefix in front of the archive
};

struct ZipCentralRecord {
  std::uint16_t versionMadeBy = 0;
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint32_t dosDateTime = 0;  // time in the low half, date in the high half
  std::uint32_t crc = 0;
  std::uint32_t compressedSize = 0;
  std::uint32_t uncompressedSize = 0;
  std::uint32_t externalAttributes = 0;
  std::uint32_t localHeaderOffset = 0;  // as stored, before the prefix shift
  std::string name;
  // Its bytes overlap those of an earlier entry or the central directory:
  // never read (see MarkOverlappingEntries).
  bool overlaps = false;
};

inline constexpr char kOverlapRefusal[] = "its data overlap another entry (possible zip bomb)";

struct ZipLocalHeader {
  std::uint64_t dataStart = 0;  // absolute position in the source
  std::vector<unsigned char> extra;
};

// Finds and checks the end-of-central-directory record.
ZipResult ReadEndRecord(ZipSource& source, ZipEndRecord& end);

// Reads all central records; each must lie inside the central directory.
ZipResult ReadCentralDirectory(ZipSource& source, const ZipEndRecord& end,
                               std::vector<ZipCentralRecord>& records);

// Marks every record whose bytes, from its local header to the end of its
// data, overlap the central directory or the bytes of a record before it.
// One local entry listed many times over would otherwise unpack far more
// than the archive holds; Info-ZIP refuses such entries the same way. A
// record whose local header cannot be read is left to fail on its own.
void MarkOverlappingEntries(ZipSource& source, std::uint64_t bytesBefore, std::uint64_t directoryStart,
                            std::uint64_t directoryEnd, std::vector<ZipCentralRecord>& records);

// Reads the local header of an entry and checks it against its central
// record. dataLimit is where the entry's data must end at the latest.
ZipResult ReadLocalHeader(ZipSource& source, const ZipCentralRecord& record, std::uint64_t bytesBefore,
                          std::uint64_t dataLimit, ZipLocalHeader& header);

std::uint32_t AttributesFromExternal(std::uint32_t external);
std::uint32_t UnixModeFromRecord(const ZipCentralRecord& record);
std::int64_t DosDateTimeToUnixTime(std::uint32_t dosDateTime);
// Applies the first "UT" block of an extra field to the entry's times.
void ApplyExtendedTimestamp(const unsigned char* extra, std::size_t length, ZipEntry& entry);
