#include "zip/zip_reader.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/utf8.h"
#include "zip_entry_stream.h"
#include "zip_log_line.h"
#include "zip_records.h"
#include "zip_source.h"

namespace {

// Longest name FindEntry accepts, in characters.
constexpr std::size_t kMaxFindName = 255;
// Growth step of whole-entry reads: memory follows the inflated bytes.
constexpr std::size_t kReadChunk = 64 * 1024;

std::string CurrentFolder() {
  char buffer[PATH_MAX];
  if (!::getcwd(buffer, sizeof buffer)) return std::string();
  return buffer;
}

char FoldName(char c, ZipNameCase nameCase) {
  if (c == '\\') return '/';
  if (nameCase == ZipNameCase::kIgnore && c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
  return c;
}

bool NamesMatch(const std::string& wanted, const std::string& stored, ZipNameCase nameCase) {
  if (wanted.size() != stored.size()) return false;
  for (std::size_t i = 0; i < wanted.size(); ++i) {
    if (FoldName(wanted[i], nameCase) != FoldName(stored[i], nameCase)) return false;
  }
  return true;
}

}  // namespace

ZipReader::ZipReader() = default;

ZipReader::~ZipReader() {
  Close();
}

ZipResult ZipReader::OpenFile(const std::wstring& path) {
  return OpenFile(platform::WideToUtf8(path));
}

ZipResult ZipReader::OpenFile(const std::string& utf8Path) {
  if (IsOpen()) return kZipAlreadyOpen;
  auto source = std::make_unique<ZipFileSource>();
  if (std::uint32_t opened = source->Open(utf8Path); opened != kZipOk) {
    ZipLog("zip open %s failed 0x%x", utf8Path.c_str(), opened);
    return static_cast<ZipResult>(opened);
  }
  ZipResult result = openSource(std::move(source));
  if (result != kZipOk) ZipLog("zip %s rejected 0x%x", utf8Path.c_str(), result);
  return result;
}

ZipResult ZipReader::OpenMemory(const void* data, std::size_t length) {
  if (IsOpen()) return kZipAlreadyOpen;
  if (!data && length > 0) return kZipBadArgs;
  ZipResult result = openSource(std::make_unique<ZipMemorySource>(data, length));
  if (result != kZipOk) ZipLog("zip in memory (%zu bytes) rejected 0x%x", length, result);
  return result;
}

ZipResult ZipReader::openSource(std::unique_ptr<ZipSource> source) {
  ZipEndRecord end;
  ZipResult result = ReadEndRecord(*source, end);
  if (result == kZipOk) result = ReadCentralDirectory(*source, end, records_);
  if (result != kZipOk) {
    records_.clear();
    return result;
  }
  const std::uint64_t directoryStart = end.directoryOffset + end.bytesBefore;
  MarkOverlappingEntries(*source, end.bytesBefore, directoryStart, directoryStart + end.directorySize,
                         records_);
  source_ = std::move(source);
  bytesBefore_ = end.bytesBefore;
  directoryStart_ = directoryStart;
  commentSize_ = end.commentLength;
  rootFolder_ = CurrentFolder();
  cachedIndex_ = -1;
  return kZipOk;
}

void ZipReader::Close() {
  closeEntry();
  source_.reset();
  records_.clear();
  bytesBefore_ = 0;
  directoryStart_ = 0;
  commentSize_ = 0;
  cachedIndex_ = -1;
}

bool ZipReader::IsOpen() const {
  return source_ != nullptr;
}

int ZipReader::EntryCount() const {
  return static_cast<int>(records_.size());
}

std::size_t ZipReader::CommentSize() const {
  return commentSize_;
}

std::uint64_t ZipReader::BytesBeforeArchive() const {
  return bytesBefore_;
}

ZipResult ZipReader::GetEntry(int index, ZipEntry& entry) {
  if (IsOpen() && index == -1) {
    entry = ZipEntry();
    entry.index = EntryCount();
    return kZipOk;
  }
  if (!IsOpen() || index < 0 || index >= EntryCount()) return kZipBadArgs;
  if (index != cachedIndex_) {
    ZipResult result = readDescription(index, cachedEntry_);
    if (result != kZipOk) {
      cachedIndex_ = -1;
      return result;
    }
    cachedIndex_ = index;
  }
  entry = cachedEntry_;
  return kZipOk;
}

ZipResult ZipReader::readDescription(int index, ZipEntry& entry) {
  const ZipCentralRecord& record = records_[static_cast<std::size_t>(index)];
  entry = ZipEntry();
  entry.index = index;
  entry.name = record.name;
  entry.attributes = AttributesFromExternal(record.externalAttributes);
  entry.unixMode = UnixModeFromRecord(record);
  const std::int64_t dosTime = DosDateTimeToUnixTime(record.dosDateTime);
  entry.accessTime = entry.creationTime = entry.modificationTime = dosTime;
  entry.compressedSize = record.compressedSize;
  entry.uncompressedSize = record.uncompressedSize;
  // The local copy of the extra field carries all three Unix times; the
  // central copy only the modification time.
  ZipLocalHeader local;
  ZipResult result = ReadLocalHeader(*source_, record, bytesBefore_, directoryStart_, local);
  if (result != kZipOk) return result;
  if (local.extra.size() > 4) ApplyExtendedTimestamp(local.extra.data(), local.extra.size(), entry);
  return kZipOk;
}

ZipResult ZipReader::FindEntry(const std::wstring& name, ZipNameCase nameCase, ZipEntry& entry) {
  if (name.size() > kMaxFindName) return kZipBadArgs;
  return FindEntry(platform::WideToUtf8(name), nameCase, entry);
}

ZipResult ZipReader::FindEntry(const std::string& utf8Name, ZipNameCase nameCase, ZipEntry& entry) {
  if (!IsOpen()) return kZipBadArgs;
  for (std::size_t i = 0; i < records_.size(); ++i) {
    if (NamesMatch(utf8Name, records_[i].name, nameCase)) {
      return GetEntry(static_cast<int>(i), entry);
    }
  }
  return kZipNotFound;
}

ZipResult ZipReader::openEntry(int index) {
  closeEntry();
  const ZipCentralRecord& record = records_[static_cast<std::size_t>(index)];
  if (record.overlaps) {
    ZipLog("zip entry %s refused: %s", record.name.c_str(), kOverlapRefusal);
    return kZipCorrupt;
  }
  ZipLocalHeader local;
  ZipResult result = ReadLocalHeader(*source_, record, bytesBefore_, directoryStart_, local);
  if (result != kZipOk) return result;
  auto stream = std::make_unique<ZipEntryStream>();
  result = stream->Open(*source_, record, local.dataStart);
  if (result != kZipOk) return result;
  entryStream_ = std::move(stream);
  streamIndex_ = index;
  return kZipOk;
}

void ZipReader::closeEntry() {
  entryStream_.reset();
  streamIndex_ = -1;
}

ZipResult ZipReader::ReadEntry(int index, void* buffer, std::size_t length, std::size_t* delivered) {
  if (delivered) *delivered = 0;
  if (!IsOpen() || index < 0 || index >= EntryCount() || (!buffer && length > 0)) {
    return kZipBadArgs;
  }
  if (streamIndex_ != index) {
    if (ZipResult opened = openEntry(index); opened != kZipOk) return opened;
  }
  std::size_t got = 0;
  ZipResult result = entryStream_->Read(buffer, length, got);
  if (delivered) *delivered = got;
  if (result == kZipOk && !entryStream_->Finished()) return kZipMore;
  closeEntry();
  return result;
}

ZipResult ZipReader::ReadEntry(int index, std::vector<unsigned char>& out) {
  out.clear();
  if (!IsOpen() || index < 0 || index >= EntryCount()) return kZipBadArgs;
  closeEntry();
  ZipResult result = kZipMore;
  while (result == kZipMore) {
    const std::size_t used = out.size();
    out.resize(used + kReadChunk);
    std::size_t got = 0;
    result = ReadEntry(index, out.data() + used, kReadChunk, &got);
    out.resize(used + got);
  }
  return result;
}

void ZipReader::SetRootFolder(const std::wstring& folder) {
  SetRootFolder(platform::WideToUtf8(folder));
}

void ZipReader::SetRootFolder(const std::string& utf8Folder) {
  rootFolder_ = utf8Folder;
}
