// mkmanifest: writes md5.json for a version folder, for package makers, the
// demo and the tests. The file appears only once it is complete.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "launcher/manifest/manifest_writer.h"
#include "launcher/string_util.h"

namespace {

constexpr char kUsage[] =
    "usage: mkmanifest [--all | --ext LIST] FOLDER\n"
    "Writes FOLDER/md5.json listing the MD5 digest of every file below FOLDER\n"
    "whose extension is dll, exe or so (case-sensitive).\n"
    "  --ext LIST  comma-separated extensions instead, e.g. --ext dll,exe,pak\n"
    "  --all       every file (names beginning with \".\" and md5.json excepted)\n"
    "Exits non-zero, writing nothing, when no file is listed or one cannot be read.\n";

int Fail(const std::string& reason) {
  std::fprintf(stderr, "mkmanifest: %s\n", reason.c_str());
  return 1;
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

struct Options {
  std::string folder;
  ManifestExtensions extensions = DefaultManifestExtensions();
};

// Returns "" on success, else the reason.
std::string ParseArguments(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--all") {
      options.extensions.clear();
    } else if (arg == "--ext" && i + 1 < argc) {
      std::vector<std::string> pieces;
      SplitString(argv[++i], ",", pieces);
      if (pieces.empty()) return "--ext needs at least one extension";
      options.extensions = ManifestExtensions(pieces.begin(), pieces.end());
    } else if (!arg.empty() && arg[0] == '-') {
      return "unknown option " + arg + " (see --help)";
    } else if (options.folder.empty()) {
      options.folder = arg;
    } else {
      return "only one folder, please";
    }
  }
  return options.folder.empty() ? "no folder given (see --help)" : "";
}

bool WriteAtomically(const std::string& path, const std::string& bytes) {
  const std::string temporary = path + ".partial";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.flush();
    if (!out) {
      ::unlink(temporary.c_str());
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
  }
  Options options;
  if (std::string reason = ParseArguments(argc, argv, options); !reason.empty()) return Fail(reason);
  if (!IsFolder(options.folder)) return Fail(options.folder + " is not a folder");

  Json::Value collected(Json::arrayValue);
  CollectManifestEntries(options.folder, "", collected, options.extensions);
  Json::Value array(Json::arrayValue);
  for (const Json::Value& element : collected) {
    const std::string file = element["file"].asString();
    if (file == "md5.json" || file == "md5.json.partial") continue;  // never lists itself
    if (element["md5"].asString().empty()) return Fail("cannot read " + file + "; nothing written");
    array.append(element);
  }
  if (array.empty()) return Fail("no matching files under " + options.folder + "; nothing written");
  const std::string path = options.folder + "/md5.json";
  if (!WriteAtomically(path, FormatManifest(array))) return Fail("cannot write " + path);
  std::printf("mkmanifest: %u files listed in %s\n", array.size(), path.c_str());
  return 0;
}
