#include "zip_records.h"

#include <algorithm>
#include <ctime>
#include <iterator>
#include <map>

#include "zip_source.h"

namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::size_t kZip64EndSize = 56;  // without extensible data
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kCentralRecordSize = 46;
constexpr std::size_t kLocalHeaderSize = 30;
// The end record is searched only this far back: a comment longer than
// that hides the record, and such archives are rejected.
constexpr std::uint64_t kEndSearchLimit = 0xFFFF;
// Windows overlap by 4 bytes so a signature across a window edge is seen.
constexpr std::size_t kSearchStep = 1024;
constexpr std::size_t kSearchWindow = kSearchStep + 4;
constexpr std::uint16_t kFlagDataDescriptor = 0x0008;
constexpr unsigned kHostUnix = 3;
constexpr unsigned kHostDarwin = 19;

std::uint16_t Le16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t Le32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint64_t Le64(const unsigned char* p) {
  return Le32(p) | (static_cast<std::uint64_t>(Le32(p + 4)) << 32);
}

// Where the central directory ends. An archiver writing to a pipe puts a
// Zip64 end record and its locator between the directory and the classic
// end record even for small archives; without this, their 76 bytes would
// be taken for a prefix and every offset would be off by that much.
std::uint64_t DirectoryEndMark(ZipSource& source, std::uint64_t endPosition) {
  const std::uint64_t both = kZip64EndSize + kZip64LocatorSize;
  unsigned char r[kZip64EndSize + kZip64LocatorSize];
  if (endPosition < both || !source.ReadAt(endPosition - both, r, sizeof r)) return endPosition;
  if (Le32(r + kZip64EndSize) != kZip64LocatorSignature || Le32(r) != kZip64EndSignature ||
      Le64(r + 4) != kZip64EndSize - 12) {
    return endPosition;
  }
  return endPosition - both;
}

// An archiver that did not know the sizes when it wrote a local header
// marks them 0xFFFFFFFF and puts the real ones in a Zip64 block (tag 1):
// uncompressed first, then compressed, each only when marked. False when a
// marked size has no value there.
bool LocalZip64Sizes(const std::vector<unsigned char>& extra, std::uint64_t& compressed,
                     std::uint64_t& uncompressed) {
  const bool needUncompressed = uncompressed == 0xFFFFFFFFu;
  const bool needCompressed = compressed == 0xFFFFFFFFu;
  if (!needUncompressed && !needCompressed) return true;
  std::size_t offset = 0;
  while (extra.size() - offset >= 4) {
    const unsigned char* block = extra.data() + offset;
    const std::size_t length = Le16(block + 2);
    if (length > extra.size() - offset - 4) return false;
    if (Le16(block) == 0x0001) {
      std::size_t at = 4;
      if (needUncompressed) {
        if (at + 8 > 4 + length) return false;
        uncompressed = Le64(block + at);
        at += 8;
      }
      if (needCompressed) {
        if (at + 8 > 4 + length) return false;
        compressed = Le64(block + at);
      }
      return true;
    }
    offset += 4 + length;
  }
  return false;
}

// Position of the end signature nearest the end of the source, or false.
bool FindEndSignature(ZipSource& source, std::uint64_t& position) {
  const std::uint64_t size = source.Size();
  const std::uint64_t limit = std::min(size, kEndSearchLimit);
  unsigned char window[kSearchWindow];
  std::uint64_t backRead = 4;
  while (backRead < limit) {
    backRead = std::min(backRead + kSearchStep, limit);
    const std::uint64_t readPos = size - backRead;
    const auto readSize = static_cast<std::size_t>(std::min<std::uint64_t>(kSearchWindow, size - readPos));
    if (readSize < 4 || !source.ReadAt(readPos, window, readSize)) return false;
    for (std::size_t i = readSize - 4 + 1; i-- > 0;) {
      if (Le32(window + i) == kEndSignature) {
        position = readPos + i;
        return true;
      }
    }
  }
  return false;
}

ZipResult ParseCentralRecord(const unsigned char* p, std::size_t available, ZipCentralRecord& record,
                             std::size_t& recordSize) {
  if (available < kCentralRecordSize || Le32(p) != kCentralSignature) return kZipCorrupt;
  const std::size_t nameLength = Le16(p + 28);
  const std::size_t extraLength = Le16(p + 30);
  const std::size_t commentLength = Le16(p + 32);
  recordSize = kCentralRecordSize + nameLength + extraLength + commentLength;
  if (recordSize > available) return kZipCorrupt;
  record.versionMadeBy = Le16(p + 4);
  record.flags = Le16(p + 8);
  record.method = Le16(p + 10);
  record.dosDateTime = Le32(p + 12);
  record.crc = Le32(p + 16);
  record.compressedSize = Le32(p + 20);
  record.uncompressedSize = Le32(p + 24);
  record.externalAttributes = Le32(p + 38);
  record.localHeaderOffset = Le32(p + 42);
  record.name.assign(reinterpret_cast<const char*>(p + kCentralRecordSize), nameLength);
  return kZipOk;
}

}  // namespace

ZipResult ReadEndRecord(ZipSource& source, ZipEndRecord& end) {
  std::uint64_t position = 0;
  if (!FindEndSignature(source, position)) return kZipCorrupt;
  unsigned char r[kEndRecordSize];
  if (!source.ReadAt(position, r, sizeof r)) return kZipCorrupt;
  const std::uint16_t thisDisk = Le16(r + 4);
  const std::uint16_t directoryDisk = Le16(r + 6);
  const std::uint16_t entriesHere = Le16(r + 8);
  end.position = position;
  end.entryCount = Le16(r + 10);
  end.directorySize = Le32(r + 12);
  end.directoryOffset = Le32(r + 16);
  end.commentLength = Le16(r + 20);
  if (thisDisk != 0 || directoryDisk != 0 || entriesHere != end.entryCount) return kZipCorrupt;
  const std::uint64_t directoryEnd = static_cast<std::uint64_t>(end.directoryOffset) + end.directorySize;
  const std::uint64_t directoryEndMark = DirectoryEndMark(source, position);
  if (directoryEnd > directoryEndMark) return kZipCorrupt;
  // Every central record takes at least its fixed part; a count that
  // cannot fit is a lie we need not walk.
  if (static_cast<std::uint64_t>(end.entryCount) * kCentralRecordSize > end.directorySize) {
    return kZipCorrupt;
  }
  end.bytesBefore = directoryEndMark - directoryEnd;
  return kZipOk;
}

ZipResult ReadCentralDirectory(ZipSource& source, const ZipEndRecord& end,
                               std::vector<ZipCentralRecord>& records) {
  // The directory's bytes were bounded by the end record's position, so
  // this buffer is never larger than what the source holds.
  std::vector<unsigned char> directory(end.directorySize);
  const std::uint64_t start = end.directoryOffset + end.bytesBefore;
  if (!source.ReadAt(start, directory.data(), directory.size())) return kZipReadFailed;
  records.clear();
  records.reserve(end.entryCount);
  std::size_t offset = 0;
  for (std::uint32_t i = 0; i < end.entryCount; ++i) {
    ZipCentralRecord record;
    std::size_t recordSize = 0;
    ZipResult result =
        ParseCentralRecord(directory.data() + offset, directory.size() - offset, record, recordSize);
    if (result != kZipOk) return result;
    records.push_back(std::move(record));
    offset += recordSize;
  }
  return kZipOk;
}

ZipResult ReadLocalHeader(ZipSource& source, const ZipCentralRecord& record, std::uint64_t bytesBefore,
                          std::uint64_t dataLimit, ZipLocalHeader& header) {
  const std::uint64_t position = record.localHeaderOffset + bytesBefore;
  unsigned char h[kLocalHeaderSize];
  if (position + kLocalHeaderSize > dataLimit || !source.ReadAt(position, h, sizeof h)) {
    return kZipCorrupt;
  }
  const std::uint16_t flags = Le16(h + 6);
  const std::uint16_t method = Le16(h + 8);
  if (Le32(h) != kLocalSignature || method != record.method || (method != 0 && method != 8)) {
    return kZipCorrupt;
  }
  const std::size_t nameLength = Le16(h + 26);
  const std::size_t extraLength = Le16(h + 28);
  if (nameLength != record.name.size()) return kZipCorrupt;
  header.dataStart = position + kLocalHeaderSize + nameLength + extraLength;
  if (header.dataStart > dataLimit || record.compressedSize > dataLimit - header.dataStart) {
    return kZipCorrupt;
  }
  header.extra.resize(extraLength);
  if (!source.ReadAt(position + kLocalHeaderSize + nameLength, header.extra.data(), extraLength)) {
    return kZipCorrupt;
  }
  // Streamed entries carry their CRC and sizes after the data; only the
  // central copy is meaningful then.
  if (flags & kFlagDataDescriptor) return kZipOk;
  if (Le32(h + 14) != record.crc) return kZipCorrupt;
  std::uint64_t compressed = Le32(h + 18);
  std::uint64_t uncompressed = Le32(h + 22);
  if (!LocalZip64Sizes(header.extra, compressed, uncompressed)) return kZipCorrupt;
  if (compressed != record.compressedSize || uncompressed != record.uncompressedSize) return kZipCorrupt;
  return kZipOk;
}

void MarkOverlappingEntries(ZipSource& source, std::uint64_t bytesBefore, std::uint64_t directoryStart,
                            std::uint64_t directoryEnd, std::vector<ZipCentralRecord>& records) {
  std::map<std::uint64_t, std::uint64_t> taken;  // start -> end of the spans let through
  if (directoryEnd > directoryStart) taken[directoryStart] = directoryEnd;
  for (ZipCentralRecord& record : records) {
    ZipLocalHeader local;
    if (ReadLocalHeader(source, record, bytesBefore, directoryStart, local) != kZipOk) continue;
    const std::uint64_t start = record.localHeaderOffset + bytesBefore;
    const std::uint64_t end = local.dataStart + record.compressedSize;
    const auto after = taken.lower_bound(start);
    record.overlaps = (after != taken.end() && after->first < end) ||
                      (after != taken.begin() && std::prev(after)->second > start);
    if (!record.overlaps) taken[start] = end;
  }
}

std::uint32_t AttributesFromExternal(std::uint32_t external) {
  std::uint32_t attributes = kZipAttrNormal;
  // High half: Unix mode of the maker; low byte: DOS attributes.
  if ((external & 0x40000000u) || (external & 0x10u)) attributes = kZipAttrFolder | kZipAttrNormal;
  if (external & 0x20u) attributes |= kZipAttrArchive;
  if (external & 0x02u) attributes |= kZipAttrHidden;
  // Windows makers leave the high half 0, so their files come out
  // read-only unless the owner-write bit says otherwise.
  if (!(external & 0x00800000u) || (external & 0x01u)) attributes |= kZipAttrReadOnly;
  if (external & 0x04u) attributes |= kZipAttrSystem;
  return attributes;
}

std::uint32_t UnixModeFromRecord(const ZipCentralRecord& record) {
  const unsigned host = record.versionMadeBy >> 8;
  if (host != kHostUnix && host != kHostDarwin) return 0;
  return record.externalAttributes >> 16;
}

std::int64_t DosDateTimeToUnixTime(std::uint32_t dosDateTime) {
  const std::uint32_t time = dosDateTime & 0xFFFF;
  const std::uint32_t date = dosDateTime >> 16;
  std::tm tm{};
  tm.tm_sec = static_cast<int>((time & 0x1F) * 2);
  tm.tm_min = static_cast<int>((time >> 5) & 0x3F);
  tm.tm_hour = static_cast<int>(time >> 11);
  tm.tm_mday = static_cast<int>(date & 0x1F);
  tm.tm_mon = static_cast<int>((date >> 5) & 0x0F) - 1;
  tm.tm_year = static_cast<int>(date >> 9) + 80;
  return static_cast<std::int64_t>(::timegm(&tm));
}

void ApplyExtendedTimestamp(const unsigned char* extra, std::size_t length, ZipEntry& entry) {
  std::size_t offset = 0;
  while (length - offset >= 4) {
    const unsigned char* block = extra + offset;
    const std::size_t dataLength = Le16(block + 2);
    if (dataLength > length - offset - 4) return;  // block runs past the field
    if (block[0] == 'U' && block[1] == 'T') {
      if (dataLength < 1) return;
      const unsigned flags = block[4];
      std::size_t at = 1;
      std::int64_t* targets[3] = {&entry.modificationTime, &entry.accessTime, &entry.creationTime};
      for (unsigned bit = 0; bit < 3; ++bit) {
        if (!(flags & (1u << bit)) || at + 4 > dataLength) continue;
        *targets[bit] = static_cast<std::int32_t>(Le32(block + 4 + at));
        at += 4;
      }
      return;
    }
    offset += 4 + dataLength;
  }
}
