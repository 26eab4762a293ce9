#include "launcher/update_worker.h"

// One run of the worker, phase by phase:
//   query    ask the gateways (primary, fallback, ... six times) for the version
//   check    a version folder that passes the manifest check is started at once
//   prepare  make room when the disk is low; clear the old folder and package
//            (renamed aside before they are deleted, so a kill never leaves
//            a half-deleted folder where the check would pass it)
//   download up to three passes over the URL list until a package has the MD5
//            (and, in builds with a package key, a valid signature); both
//            digests are taken while the package arrives
//   unpack   into a staging folder beside the version folder, renamed into
//            place only once complete, so a run killed mid-unpack never leaves
//            a folder that looks installed; the files are hashed for the
//            recheck on the side while the unpack goes on
//   recheck  check the unpacked folder, then start the shell
// Each phase returns "go on", "launch" or a failure; Execute() posts the one
// report of the run.
#include <strings.h>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <utility>

#include "launcher/config.h"
#include "launcher/data_folder.h"
#include "launcher/debug_log.h"
#include "launcher/file_util.h"
#include "launcher/http_client.h"
#include "launcher/http_downloader.h"
#include "launcher/launch_client.h"
#include "launcher/manifest/manifest_check.h"
#include "launcher/my_progress.h"
#include "launcher/package_digest.h"
#include "launcher/package_signature.h"
#include "launcher/string_util.h"
#include "launcher/system_info.h"
#include "launcher/unpacked_digests.h"
#include "launcher/version_reply.h"
#include "platform/disk_space.h"
#include "zip/zip_reader.h"

namespace {

struct PhaseResult {
  enum Kind { GoOn, Launch, Fail } kind = GoOn;
  UpdateFailure failure = FailNone;
  int code = 0;

  static PhaseResult Failed(UpdateFailure failure, int code = 0) { return {Fail, failure, code}; }
};

class UpdateRun {
 public:
  explicit UpdateRun(WorkerSetup setup) : setup_(std::move(setup)) {}

  void Execute() {
    PhaseResult result = queryVersion();
    for (auto phase : {&UpdateRun::check, &UpdateRun::prepare, &UpdateRun::download, &UpdateRun::unpack,
                       &UpdateRun::recheck}) {
      if (result.kind != PhaseResult::GoOn) break;
      result = (this->*phase)();
    }
    report(result);
  }

 private:
  PhaseResult queryVersion();
  PhaseResult check();
  PhaseResult prepare();
  PhaseResult download();
  PhaseResult unpack();
  PhaseResult recheck();
  void report(const PhaseResult& result);

  bool packagesVerifiable();
  bool packageAccepted(const std::string& url, const PackageDigest& digest);

  WorkerSetup setup_;
  VersionReply reply_;
  std::optional<PackageKey> packageKey_;  // set in builds that check signatures
  PackageSignature signature_{};
  std::unique_ptr<UnpackedDigests> unpacked_;
  std::wstring versionFolder_;
  std::wstring stagingFolder_;
  std::wstring packagePath_;
};

PhaseResult UpdateRun::queryVersion() {
  std::string machineId;
  GetMacAddressString(machineId);  // may stay empty
  varnel_http::HttpClient client;
  // A reply from a server without a pinned key fails like an unreachable
  // one, so the next attempt goes on.
  client.PinServerKeys(kGatewayPins);
  const std::map<std::string, std::string> noFields;
  int gateway = 0;
  for (int left = kVersionQueryAttempts; left > 0; --left, gateway = 1 - gateway) {
    std::string url =
        VersionQueryUrl(GatewayBaseUrls[gateway], static_cast<std::int32_t>(std::time(nullptr)), machineId);
    DebugLog("%d get version with url %s", left, url.c_str());
    if (!client.Request("GET", url, noFields)) {
      DebugLog("getVersion error %d,%s", client.last_code(), client.error_text().c_str());
      continue;
    }
    DebugLog("HttpResponse %s", client.response_body().c_str());
    std::optional<VersionReply> reply = ParseVersionReply(client.response_body());
    if (!reply) {
      DebugLog("parse error %s", client.response_body().c_str());
      continue;
    }
    reply_ = std::move(*reply);
    break;
  }
  if (reply_.version.empty()) {
    DebugLog("** getVersion error");
    return PhaseResult::Failed(FailNetwork);
  }
  if (!IsUsableVersionText(reply_.version)) {
    DebugLog("** refused version text '%s': not a plain folder name", reply_.version.c_str());
    return PhaseResult::Failed(FailNetwork);
  }
  return {};
}

PhaseResult UpdateRun::check() {
  std::wstring version = Utf8ToWide(reply_.version);
  std::optional<std::wstring> folder = VersionFolder(version, setup_.shellName);
  std::optional<std::wstring> package = PackagePath(version, setup_.shellName);
  if (!folder || !package) {
    // Without a home for the client data there is nothing to check or fill.
    DebugLog("** no client data folder (HOME and XDG_DATA_HOME unusable)");
    return PhaseResult::Failed(FailFileCheck, CRNoDir);
  }
  versionFolder_ = *folder;
  stagingFolder_ = versionFolder_ + L".unpacking";
  packagePath_ = *package;
  if (CheckInstalledFiles(versionFolder_, setup_.shellName) == CROk) return {PhaseResult::Launch};
  return {};
}

PhaseResult UpdateRun::prepare() {
  if (reply_.urls.empty()) {
    DebugLog("** no urls");
    return PhaseResult::Failed(FailNetwork);
  }
  std::optional<std::uint64_t> freeBytes = setup_.freeBytes(WideToAnsi(versionFolder_));
  if (freeBytes.value_or(0) < kLowDiskBytes) {
    DebugLog("clear for low disk");
    FixDirApp(setup_.shellName);
  }
  // The package is written into bin/Temp by name: a link there would send
  // it elsewhere, so only a real folder will do.
  std::optional<std::wstring> packageFolder = PackageFolder(setup_.shellName);
  if (packageFolder) CreateDirectoryTreeNoLink(*packageFolder);
  // Discarded, not deleted in place: a kill during the delete must never
  // leave a damaged folder that has lost its manifest and passes the check.
  if (!DiscardDirectoryTree(versionFolder_)) DebugLog("can't remove %s", WideToUtf8(versionFolder_).c_str());
  DiscardDirectoryTree(stagingFolder_);
  std::remove(WideToAnsi(packagePath_).c_str());
  DebugLog("download %s with %d urls", WideToUtf8(packagePath_).c_str(),
           static_cast<int>(reply_.urls.size()));
  return {};
}

// In a build with a package key, a package is taken only with the reply's
// MD5 and a signature to check it against. A reply without them could
// install nothing, so no download is spent on it.
bool UpdateRun::packagesVerifiable() {
  if (kPackagePublicKey[0] == '\0') return true;
  packageKey_ = PackageKey::Load(kPackagePublicKey);
  if (!packageKey_) {
    DebugLog("** the package key of this build is unusable: no package can be accepted");
    return false;
  }
  std::optional<PackageSignature> signature = DecodePackageSignature(reply_.signature);
  if (reply_.md5.empty() || !signature) {
    DebugLog("** package can't be verified: the reply has %s",
             reply_.md5.empty() ? "no md5" : "no valid signature");
    return false;
  }
  signature_ = *signature;
  return true;
}

bool UpdateRun::packageAccepted(const std::string& url, const PackageDigest& digest) {
  if (reply_.md5.empty()) return true;  // only in builds without a package key
  const std::string md5 = digest.Md5Hex();
  if (md5.empty() || strcasecmp(md5.c_str(), reply_.md5.c_str()) != 0) {
    DebugLog("** bad md5 on url %s %s!=%s", url.c_str(), reply_.md5.c_str(), md5.c_str());
    return false;
  }
  if (!packageKey_ || (digest.HasSha256() && packageKey_->Verifies(digest.Sha256(), signature_))) return true;
  DebugLog("** bad signature on url %s", url.c_str());
  return false;
}

PhaseResult UpdateRun::download() {
  if (!packagesVerifiable()) {
    DebugLog("** download error");
    return PhaseResult::Failed(FailDownload);
  }
  MyProgress progress(setup_.window);
  varnel_http::HttpDownloader downloader(&progress);
  const std::string packagePath = WideToAnsi(packagePath_);
  const PackageHashes hashes = packageKey_ ? PackageHashes::kMd5AndSha256 : PackageHashes::kMd5;
  const int budget = kDownloadPasses * static_cast<int>(reply_.urls.size());
  std::size_t index = 0;
  for (int left = budget; left > 0; --left, index = (index + 1) % reply_.urls.size()) {
    const std::string& url = reply_.urls[index];
    DebugLog("[%d] download with url %s", left, url.c_str());
    PackageDigest digest(hashes);
    if (!downloader.Download(url, packagePath,
                             [&digest](const char* data, std::size_t size) { digest.Feed(data, size); })) {
      DebugLog("download file error %d,%s", downloader.last_code(), url.c_str());
      continue;
    }
    digest.Finish();
    if (packageAccepted(url, digest)) return {};
  }
  DebugLog("** download error");
  return PhaseResult::Failed(FailDownload);
}

PhaseResult UpdateRun::unpack() {
  DebugLog("begin unzip %s -> %s", WideToUtf8(packagePath_).c_str(), WideToUtf8(versionFolder_).c_str());
  unpacked_ = std::make_unique<UnpackedDigests>();
  bool unpacked = UnzipToFolder(packagePath_, stagingFolder_,
                                [this](const std::string& path) { unpacked_->FileWritten(path); }) > 0;
  if (unpacked) {
    unpacked_->WaitUntilHashed();  // the hasher reads the files by their staging paths
    std::error_code error;
    std::filesystem::rename(WideToAnsi(stagingFolder_), WideToAnsi(versionFolder_), error);
    if (error) DebugLog("rename %s failed: %s", WideToUtf8(stagingFolder_).c_str(), error.message().c_str());
    unpacked = !error;
  }
  if (!unpacked) {
    DiscardDirectoryTree(stagingFolder_);
    DebugLog("** unzip error");
    return PhaseResult::Failed(FailUnzip);
  }
  return {};
}

PhaseResult UpdateRun::recheck() {
  int code = CheckInstalledFiles(versionFolder_, setup_.shellName,
                                 [this](int fd) { return unpacked_->DigestOf(fd); });
  if (code == CROk) return {PhaseResult::Launch};
  DebugLog("** filecheck error %s", WideToUtf8(versionFolder_).c_str());
  return PhaseResult::Failed(FailFileCheck, code);
}

void UpdateRun::report(const PhaseResult& result) {
  if (result.kind == PhaseResult::Launch) {
    LaunchClient(*setup_.window, versionFolder_, setup_.shellName, setup_.runMode);
  } else {
    setup_.window->PostLauncherMessage(WM_LAUNCHER_FAILED, static_cast<std::uintptr_t>(result.failure),
                                       result.code);
  }
}

}  // namespace

std::string VersionQueryUrl(const std::string& base, std::int32_t unixTime, const std::string& machineId) {
  char url[256];
  std::snprintf(url, sizeof url, "%s%s?tm=%d", base.c_str(), launcher_config::kVersionQueryPath,
                static_cast<int>(unixTime));
  std::string text = url;
  if (!machineId.empty()) text += "&id=" + machineId;
  return text;
}

int UpdateThreadProc(WorkerSetup setup) {
  if (!setup.freeBytes) setup.freeBytes = platform::FreeDiskBytes;
  // What a run killed while deleting left behind goes first.
  ClearDiscardLeftovers(setup.shellName);
  UpdateRun(std::move(setup)).Execute();
  return 0;
}
