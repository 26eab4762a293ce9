#include "skinui/skin_resources.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include "platform/unique_fd.h"
#include "skinui/text_convert.h"

namespace SkinUI {
namespace {

struct State {
  std::wstring resourcePath;
  std::unique_ptr<ISkinArchive> archive;
  std::wstring archiveName;
  bool memBuffer = false;
};

State& state() {
  static State s;
  return s;
}

SkinReadStatus readWholeFile(const std::string& path, std::vector<unsigned char>* out) {
  platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return SkinReadStatus::OpenFailed;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return SkinReadStatus::OpenFailed;
  if (st.st_size == 0) return SkinReadStatus::Empty;
  if (static_cast<unsigned long long>(st.st_size) > ResourceStore::kMaxSkinFileBytes)
    return SkinReadStatus::TooLarge;
  out->resize(static_cast<std::size_t>(st.st_size));
  std::size_t done = 0;
  while (done < out->size()) {
    ssize_t n = ::read(fd.get(), out->data() + done, out->size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  if (done < out->size()) {
    out->clear();
    return SkinReadStatus::ReadFailed;
  }
  return SkinReadStatus::Ok;
}

// Names inside skins are written with "\" as the separator.
std::string toPath(const std::wstring& name) {
  std::string s = WideToUtf8(name);
  for (char& c : s) {
    if (c == '\\') c = '/';
  }
  return s;
}

}  // namespace

void ResourceStore::SetResourcePath(const std::wstring& path) {
  std::wstring p = path;
  for (wchar_t& c : p) {
    if (c == L'\\') c = L'/';
  }
  if (!p.empty() && p.back() != L'/') p.push_back(L'/');
  state().resourcePath = p;
}

const std::wstring& ResourceStore::GetResourcePath() {
  return state().resourcePath;
}

bool ResourceStore::SetResourceZipMemory(const unsigned char* data, std::size_t size) {
  State& s = state();
  if (s.memBuffer && s.archive) return true;
  auto archive = OpenSkinArchiveFromMemory(data, size);
  if (!archive) return false;
  SetResourceZipArchive(std::move(archive), true);
  return true;
}

bool ResourceStore::SetResourceZipFile(const std::wstring& name) {
  auto archive = OpenSkinArchiveFromFile(toPath(state().resourcePath + name));
  if (!archive) return false;
  SetResourceZipArchive(std::move(archive), false);
  state().archiveName = name;
  return true;
}

void ResourceStore::SetResourceZipArchive(std::unique_ptr<ISkinArchive> archive, bool isMemBuffer) {
  State& s = state();
  s.archive = std::move(archive);
  s.memBuffer = isMemBuffer && s.archive != nullptr;
  s.archiveName = s.memBuffer ? L"membuffer" : L"";
}

ISkinArchive* ResourceStore::GetResourceZip() {
  return state().archive.get();
}
bool ResourceStore::IsResourceZipMemBuffer() {
  return state().memBuffer;
}
const std::wstring& ResourceStore::GetResourceZipName() {
  return state().archiveName;
}

void ResourceStore::Reset() {
  State& s = state();
  s.resourcePath.clear();
  s.archive.reset();
  s.archiveName.clear();
  s.memBuffer = false;
}

SkinReadStatus ReadSkinFileBytes(const std::wstring& name, std::vector<unsigned char>* out) {
  out->clear();
  ISkinArchive* archive = ResourceStore::GetResourceZip();
  if (archive == nullptr) return readWholeFile(toPath(ResourceStore::GetResourcePath() + name), out);
  switch (archive->ReadEntry(toPath(name), ResourceStore::kMaxSkinFileBytes, out)) {
    case ISkinArchive::ReadStatus::Ok:
      return out->empty() ? SkinReadStatus::Empty : SkinReadStatus::Ok;
    case ISkinArchive::ReadStatus::NotFound:
      return SkinReadStatus::ZipEntryMissing;
    case ISkinArchive::ReadStatus::TooLarge:
      return SkinReadStatus::TooLarge;
    case ISkinArchive::ReadStatus::Failed:
      break;
  }
  return SkinReadStatus::ZipReadFailed;
}

bool ReadSkinResourceBytes(const std::wstring& name, std::vector<unsigned char>* out) {
  if (name.empty()) return false;
  if (ReadSkinFileBytes(name, out) == SkinReadStatus::Ok) return true;
  return readWholeFile(toPath(name), out) == SkinReadStatus::Ok;
}

std::wstring GetModuleFolder() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return L"./";
  std::string path(buf, static_cast<std::size_t>(n));
  path.erase(path.find_last_of('/') + 1);
  return Utf8ToWide(path);
}

}  // namespace SkinUI
