#pragma once
// Reader for zip archives with stored and deflated entries, opened from a
// file on disk or from a memory block. It lists entries, finds one by name,
// reads one into memory (in pieces if the caller wants) and extracts entries
// below a root folder. It never writes to an archive.
//
// The archive is outside data: every size and offset in it is checked
// against the bytes that really exist, a declared size never decides an
// allocation, and an entry that inflates past its declared size is cut
// there. Extraction refuses names that would leave the root folder and never
// creates symbolic links.
//
// One ZipReader holds one open archive and is used from one thread at a
// time. Results are the ZipResult codes below; nothing throws.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

enum ZipResult : std::uint32_t {
  kZipOk = 0,
  kZipNoFile = 0x200,   // a file could not be created or opened
  kZipRefused = 0x300,  // entry not extracted: unsafe or unusable name, link
  kZipWriteFailed = 0x400,
  kZipNotFound = 0x500,  // no entry of that name
  kZipMore = 0x600,      // buffer filled, more of the entry remains
  kZipCorrupt = 0x700,   // archive or entry data inconsistent
  kZipReadFailed = 0x800,
  kZipBadArgs = 0x10000,  // index out of range, name too long, nothing open
  kZipAlreadyOpen = 0x1000000,
  kZipCannotSeek = 0x2000000,  // the source is not a regular file
  kZipInflateError = 0x5000000,
};

// Attribute bits of an entry, in the Windows file-attribute layout the
// package format was made with.
enum ZipAttribute : std::uint32_t {
  kZipAttrReadOnly = 0x01,
  kZipAttrHidden = 0x02,
  kZipAttrSystem = 0x04,
  kZipAttrFolder = 0x10,
  kZipAttrArchive = 0x20,
  kZipAttrNormal = 0x80,
};

enum class ZipNameCase { kExact, kIgnore };

struct ZipEntry {
  int index = -1;
  // As stored in the archive (its own separators, UTF-8 assumed), never cut.
  std::string name;
  std::uint32_t attributes = kZipAttrNormal;  // ZipAttribute bits
  // Seconds since 1970 UTC. DOS times are taken as UTC; a "UT" extra block
  // replaces the kinds it carries.
  std::int64_t accessTime = 0;
  std::int64_t creationTime = 0;
  std::int64_t modificationTime = 0;
  std::uint64_t compressedSize = 0;
  std::uint64_t uncompressedSize = 0;  // as declared; reads never exceed it
  // Type and permission bits of an entry made on a Unix system, else 0.
  std::uint32_t unixMode = 0;

  bool IsFolder() const { return (attributes & kZipAttrFolder) != 0; }
  bool IsSymlink() const { return (unixMode & 0170000u) == 0120000u; }
};

class ZipSource;
class ZipEntryStream;
struct ZipCentralRecord;

class ZipReader {
 public:
  ZipReader();
  ~ZipReader();
  ZipReader(const ZipReader&) = delete;
  ZipReader& operator=(const ZipReader&) = delete;

  // Opens a regular file for reading. kZipAlreadyOpen if this reader holds
  // an archive; a rejected archive leaves the reader closed.
  ZipResult OpenFile(const std::wstring& path);
  ZipResult OpenFile(const std::string& utf8Path);
  // The block is neither copied nor owned: it must outlive the reader (or
  // the next Close).
  ZipResult OpenMemory(const void* data, std::size_t length);
  void Close();
  bool IsOpen() const;

  int EntryCount() const;
  std::size_t CommentSize() const;
  // Offset of the archive's first byte inside the source (non-zero when a
  // stub was put in front of it).
  std::uint64_t BytesBeforeArchive() const;

  // Index -1 asks for the count instead: it comes back in entry.index.
  ZipResult GetEntry(int index, ZipEntry& entry);
  // The name is limited to 255 characters; "\" in it and in entry names is
  // taken as "/".
  ZipResult FindEntry(const std::wstring& name, ZipNameCase nameCase, ZipEntry& entry);
  ZipResult FindEntry(const std::string& utf8Name, ZipNameCase nameCase, ZipEntry& entry);

  // Reads the entry into buffer. kZipMore when the buffer was filled and data
  // is left: the next call with the same index continues. kZipOk once the
  // entry is complete and its CRC-32 matched. delivered (optional) receives
  // the bytes written into buffer by this call, errors included.
  ZipResult ReadEntry(int index, void* buffer, std::size_t length, std::size_t* delivered = nullptr);
  // Reads a whole entry; the vector grows with the bytes really inflated,
  // never by the declared size alone.
  ZipResult ReadEntry(int index, std::vector<unsigned char>& out);

  // Where ExtractEntry writes. Until set: the current folder at open time.
  void SetRootFolder(const std::wstring& folder);
  void SetRootFolder(const std::string& utf8Folder);
  // Writes entry index below the root folder, creating the folders on its
  // way. An existing file is replaced unless it is read-only.
  ZipResult ExtractEntry(int index);

 private:
  ZipResult openSource(std::unique_ptr<ZipSource> source);
  ZipResult readDescription(int index, ZipEntry& entry);
  ZipResult openEntry(int index);
  void closeEntry();

  std::unique_ptr<ZipSource> source_;
  std::vector<ZipCentralRecord> records_;
  std::uint64_t bytesBefore_ = 0;
  std::uint64_t directoryStart_ = 0;
  std::size_t commentSize_ = 0;
  std::string rootFolder_;
  std::unique_ptr<ZipEntryStream> entryStream_;
  int streamIndex_ = -1;
  int cachedIndex_ = -1;
  ZipEntry cachedEntry_;
};

// Unpacks every entry of the zip file at zipPath below destination (one
// folder level is created if missing). Returns the number of entries in the
// archive, 0 when it cannot be opened, the destination is empty or the
// archive has no entries. Entries that fail are logged and skipped: callers
// verify the result against the version's manifest. fileWritten, when
// given, hears the path of every file entry written in full, as soon as it
// is closed, so a caller can start on the files while the rest unpacks.
int UnzipToFolder(const std::wstring& zipPath, const std::wstring& destination,
                  const std::function<void(const std::string& path)>& fileWritten = {});
