#include "desktop/windows/installer/package_fetcher/package_fetcher_core.h"

#include <algorithm>
#include <utility>

#include "base/bind.h"
#include "base/files/file_util.h"
#include "base/json/json_reader.h"
#include "base/json/json_writer.h"
#include "base/logging.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"
#include "base/threading/thread_task_runner_handle.h"
#include "base/values.h"
#include "desktop/windows/installer/download_stats_observer.h"
#include "desktop/windows/installer/light_download_stats_observer.h"
#include "desktop/windows/installer/package_fetcher/additional_files_fetcher.h"
#include "desktop/windows/installer/package_fetcher/downloaded_version_check.h"
#include "desktop/windows/installer/package_fetcher/hashing_file_writer.h"
#include "desktop/windows/installer/package_fetcher/lzma_util.h"
#include "desktop/windows/installer/package_fetcher/package_fetcher_proxy.h"
#include "desktop/windows/installer/package_fetcher/package_folder_security.h"
#include "desktop/windows/installer/package_fetcher/payload_reader.h"
#include "desktop/windows/installer/package_fetcher/signature_checker.h"
#include "desktop/windows/installer/package_files.h"
#include "desktop/windows/installer/prefs_task_pool.h"
#include "desktop/windows/installer/wininet/host_allow_list.h"
#include "desktop/windows/installer/wininet/wininet.h"
#include "desktop/windows/installer/wininet/wininet_response_writer.h"

namespace installer {

namespace {

constexpr wchar_t kTrackingDataFileName[] = L"server_tracking_data";
constexpr char kWelcomeUrlPref[] = "welcome-url";

// Names tried beside an attempt file's own when another file holds it.
constexpr int kOtherFileNames = 10;

int64_t g_max_package_size = PackageFetcher::kMaxPackageSize;

}  // namespace

PackageFetcher::ScopedMaxPackageSizeForTesting::ScopedMaxPackageSizeForTesting(
    int64_t max_package_size)
    : previous_max_size_(g_max_package_size) {
  g_max_package_size = max_package_size;
}

PackageFetcher::ScopedMaxPackageSizeForTesting::
    ~ScopedMaxPackageSizeForTesting() {
  g_max_package_size = previous_max_size_;
}

PackageFetcher::Core::Core(scoped_refptr<PackageFetcherProxy> proxy,
                           const PayloadReader* own_payload,
                           const Paths& paths,
                           const InstallerStatsNode& stats,
                           const std::wstring& download_address_url,
                           bool want_suite,
                           base::WaitableEvent* stop)
    : proxy_(std::move(proxy)),
      own_payload_(own_payload),
      download_folder_(paths.download_folder),
      package_path_(paths.package_path),
      package_folder_(paths.package_path.RemoveExtension()),
      suite_path_(paths.suite_path),
      download_address_url_(download_address_url),
      want_suite_(want_suite),
      stop_(stop),
      downloader_(
          std::make_unique<WininetDownloader>(proxy_.get(), proxy_.get())),
      root_stats_(stats) {
  downloader_->set_max_body_size(g_max_package_size);
}

PackageFetcher::Core::~Core() {
  LOG(INFO) << "Terminating the package fetcher";
  weak_factory_.InvalidateWeakPtrs();
  additional_files_.reset();
  // Ends a download under way, within the downloader's time limit.
  downloader_.reset();
  DeleteAttemptFiles();
  // Last: while it stays, no other run takes these names.
  base::DeleteFileAtItsPlace(package_path_);
}

void PackageFetcher::Core::Start() {
  if (attempt_running_) {
    LOG(WARNING) << "A fetch attempt is under way already";
    return;
  }
  attempt_running_ = true;
  LOG(INFO) << "Starting the package fetcher";
  int try_number = 0;
  {
    base::AutoLock hold(lock_);
    try_number = result_count_;
  }
  attempt_stats_ = root_stats_.AppendListEntry("fetches");
  attempt_stats_->SetInteger("try_number", try_number);
  attempt_stats_->RecordTime("start_time");
  NotifyStatus(FETCHER_STATUS_ATTEMPT_STARTED);
  additional_files_.reset();
  reply_ = DownloadAddressReply();
  DeleteAttemptFiles();
  // What an earlier attempt made is gone; a folder that stays is not this
  // run's, and is neither emptied (it may hold links) nor unpacked into.
  if (base::PathExists(package_folder_)) {
    Fail(FETCHER_STATUS_INITIALIZATION_FAILED,
         "Unable to remove the package folder");
    return;
  }
  attempt_file_ = package_path_.InsertBeforeExtensionASCII(
      base::StringPrintf("_%d", try_number));
  if (own_payload_->payload_type() == PAYLOAD_TYPE_FULL_PACKAGE) {
    NotifyStatus(FETCHER_STATUS_UNPACKING);
    // An archive that is missing, or not held, fails the unpacking.
    base::FilePath archive;
    WriteArchive(*own_payload_, &archive);
    base::ThreadTaskRunnerHandle::Get()->PostTask(
        FROM_HERE, base::BindOnce(&Core::UnpackArchive,
                                  weak_factory_.GetWeakPtr(), archive));
    return;
  }
  base::ThreadTaskRunnerHandle::Get()->PostTask(
      FROM_HERE,
      base::BindOnce(&Core::FetchDownloadURL, weak_factory_.GetWeakPtr()));
}

bool PackageFetcher::Core::CanRetry() const {
  base::AutoLock hold(lock_);
  return result_count_ < kMaxFailedAttempts;
}

void PackageFetcher::Core::FetchDownloadURL() {
  LOG(INFO) << "Preparing to fetch the download URL";
  NotifyStatus(FETCHER_STATUS_FETCHING_ADDRESS);
  downloader_->set_allowed_hosts(AllowedServerHosts());
  LOG(INFO) << "Fetching the download URL";
  attempt_stats_->RecordTime("fetch_download_url_start_time");
  // The tracking data goes back to the server: a POST, or a GET without.
  if (!downloader_->Start(download_address_url_, own_payload_->GetPayloadData(),
                          base::BindOnce(&Core::OnDownloadURLFetched,
                                         weak_factory_.GetWeakPtr()),
                          std::make_unique<StringResponseWriter>(&reply_text_),
                          std::make_unique<LightDownloadStatsObserver>(
                              *attempt_stats_, "fetch_download_url_"))) {
    ReportFailure("Failed fetching the download URL");
  }
}

void PackageFetcher::Core::OnDownloadURLFetched() {
  if (downloader_->state() != WininetDownloader::STATE_COMPLETED) {
    ReportFailure("Failed fetching the download URL");
    return;
  }
  NotifyStatus(FETCHER_STATUS_DOWNLOADING);
  VLOG(1) << "Parsing the fetched URL";
  if (!ParseDownloadAddressReply(reply_text_, want_suite_, &reply_)) {
    Fail(FETCHER_STATUS_DOWNLOAD_FAILED, "Failed parsing json reply");
    return;
  }
  attempt_stats_->SetString("download_url", reply_.installer);
  root_stats_.SetString("download_url", reply_.installer);
  LOG(INFO) << "Preparing to fetch the installer";
  // Made new: a link or file that another program put at the name is not
  // written through, and nobody else writes the file while it is held.
  attempt_ = base::NewFile::Create(attempt_file_, kOtherFileNames);
  auto writer = std::make_unique<HashingFileWriter>(&package_sha256_);
  if (!writer->Open(&attempt_)) {
    Fail(FETCHER_STATUS_DOWNLOAD_FAILED,
         "Failed initializing the file to use as download destination");
    return;
  }
  attempt_file_ = attempt_.path();
  attempt_stats_->RecordTime("download_start_time");
  root_stats_.RecordTimestamp("installation_start_download_time");
  // The package and the additional files may come from any host, also
  // after redirects: their checksums come from the update server.
  downloader_->set_allowed_hosts({});
  if (!downloader_->Start(
          base::UTF8ToWide(reply_.installer), std::string(),
          base::BindOnce(&Core::OnPackageDownloaded, weak_factory_.GetWeakPtr(),
                         reply_.installer_checksum),
          std::move(writer),
          std::make_unique<DownloadStatsObserver>(*attempt_stats_,
                                                  "download_chunks"))) {
    ReportFailure("Failed downloading the Kelvo package");
  }
}

void PackageFetcher::Core::OnPackageDownloaded(const std::string& checksum) {
  attempt_stats_->RecordTime("download_end_time");
  if (downloader_->state() != WininetDownloader::STATE_COMPLETED) {
    ReportFailure("Failed downloading the Kelvo package");
    return;
  }
  // No digest, or none to compare with, is no match. Held from here, for
  // reading only, since it is started to tell its version: the checks, the
  // runs asking its version and the archive all read the bytes that the
  // checksum covers.
  if (package_sha256_.empty() || package_sha256_ != checksum ||
      !held_.HoldNewFile(std::move(attempt_), checksum)) {
    Fail(FETCHER_STATUS_DOWNLOAD_FAILED,
         "Checksum incorrect for the downloaded package");
    return;
  }
  if (MustCheckSignatures()) {
    std::string error;
    if (!VerifyFileSignature(attempt_file_, &error)) {
      attempt_stats_->SetString("signature_check_error", error);
      Fail(FETCHER_STATUS_DOWNLOAD_FAILED,
           "Signature incorrect for the downloaded package");
      return;
    }
  }
  if (!CheckDownloadedVersion(attempt_file_, true, *attempt_stats_)) {
    Fail(FETCHER_STATUS_DOWNLOAD_FAILED,
         "Downloaded package failed version check");
    return;
  }
  ExtractArchive();
}

void PackageFetcher::Core::ExtractArchive() {
  attempt_stats_->RecordTime("extract_start_time");
  NotifyStatus(FETCHER_STATUS_UNPACKING);
  bool written = false;
  base::FilePath archive;
  {
    // Maps the package only while the archive is written out.
    PayloadReader package(attempt_file_);
    if (package.payload_type() != PAYLOAD_TYPE_FULL_PACKAGE) {
      Fail(FETCHER_STATUS_DOWNLOAD_FAILED,
           "Could not find 7z payload in full package");
      return;
    }
    written = WriteArchive(package, &archive);
  }
  if (!written) {
    Fail(FETCHER_STATUS_UNPACKING_FAILED,
         "Could not write out 7z archive from full package");
    return;
  }
  base::ThreadTaskRunnerHandle::Get()->PostTask(
      FROM_HERE, base::BindOnce(&Core::UnpackArchive,
                                weak_factory_.GetWeakPtr(), archive));
}

void PackageFetcher::Core::UnpackArchive(const base::FilePath& archive) {
  LOG(INFO) << "Unpacking files from archive";
  attempt_stats_->RecordTime("unpack_start_time");
  root_stats_.RecordTimestamp("installation_start_unpacking_time");
  // Made new by this attempt: a folder that another program made, or
  // planted files in, is not unpacked into.
  if (!held_.CreateFolder(package_folder_, MakePackageFolderSecurity().get())) {
    Fail(FETCHER_STATUS_UNPACKING_FAILED, "Could not create unpacking folder");
    return;
  }
  Archive7z unpacker(proxy_.get());
  unpacker.set_held_files(&held_);
  // Only the archive this attempt wrote and holds is unpacked.
  if (!held_.IsHeld(archive) || unpacker.Open(archive) != 0 ||
      unpacker.Extract(package_folder_, nullptr) != 0) {
    Fail(FETCHER_STATUS_UNPACKING_FAILED, "Archive unpacking failed");
    return;
  }
  unpacker.Close();
  if (own_payload_->payload_type() != PAYLOAD_TYPE_FULL_PACKAGE &&
      !own_payload_->GetPayloadData().empty() &&
      !WriteIntoPackage(kTrackingDataFileName,
                        own_payload_->GetPayloadData())) {
    // The backend would take what stands there for it.
    Fail(FETCHER_STATUS_UNPACKING_FAILED,
         "Failed saving tracking data to unpacked installer.");
    return;
  }
  base::ThreadTaskRunnerHandle::Get()->PostTask(
      FROM_HERE, base::BindOnce(&Core::OnUnpacked, weak_factory_.GetWeakPtr()));
  held_.Delete(archive);
}

bool PackageFetcher::Core::WriteIntoPackage(const wchar_t* name,
                                            std::string_view data) {
  const base::FilePath path = package_folder_.Append(name);
  return held_.IsHeld(path) ? held_.Rewrite(path, data)
                            : held_.WriteNewFile(path, data);
}

void PackageFetcher::Core::OnUnpacked() {
  attempt_stats_->RecordTime("unpack_end_time");
  root_stats_.RecordTimestamp("installation_unpack_complete_time");
  if (!reply_.welcome_url.empty() && !WriteWelcomeUrl()) {
    Fail(FETCHER_STATUS_UNPACKING_FAILED,
         "Could not write the welcome page url pref");
    return;
  }
  if (reply_.additional_files.empty()) {
    OnPackageReady();
    return;
  }
  LOG(INFO) << "We have additional content";
  NotifyStatus(FETCHER_STATUS_DOWNLOADING_ADDITIONAL_FILES);
  additional_files_ = std::make_unique<AdditionalFilesFetcher>(
      downloader_.get(), reply_.additional_files,
      AdditionalFilesFetcher::Folders{download_folder_, package_folder_,
                                      suite_path_.RemoveExtension()},
      MustCheckSignatures(), &held_, *attempt_stats_, stop_);
  additional_files_->Start(base::BindOnce(&Core::OnAdditionalFilesFetched,
                                          weak_factory_.GetWeakPtr()));
}

bool PackageFetcher::Core::WriteWelcomeUrl() {
  VLOG(1) << "Writing welcome page url pref";
  // The package's own prefs, as this attempt unpacked them, keep their
  // other values.
  const base::FilePath path =
      package_folder_.AppendASCII(kInstallerPrefsIncludeFileName);
  std::string text;
  std::unique_ptr<base::DictionaryValue> prefs;
  if (held_.ReadHeld(path, &text))
    prefs = base::DictionaryValue::From(base::JSONReader::Read(text));
  if (!prefs)
    prefs = std::make_unique<base::DictionaryValue>();
  prefs->SetString(kWelcomeUrlPref, reply_.welcome_url);
  if (!base::JSONWriter::Write(*prefs, &text) ||
      !WriteIntoPackage(path.BaseName().value().c_str(), text)) {
    LOG(ERROR) << "Could not write the welcome page url pref";
    return false;
  }
  return true;
}

void PackageFetcher::Core::OnAdditionalFilesFetched() {
  // The list the backend installs from was rewritten: unless it is still
  // held, what it names now is another program's choice.
  if (!held_.IsHeld(package_folder_.AppendASCII(kFilesListName))) {
    Fail(FETCHER_STATUS_UNPACKING_FAILED,
         "The package's files list could not be kept as written");
    return;
  }
  OnPackageReady();
}

void PackageFetcher::Core::OnPackageReady() {
  attempt_stats_->RecordTime("package_ready_time");
  LOG(INFO) << "Package ready.";
  root_stats_.RecordTimestamp("package_ready_time");
  attempt_stats_->SetString(
      "result", FetcherStatusToString(FETCHER_STATUS_PACKAGE_READY));
  attempt_running_ = false;
  NotifyStatus(FETCHER_STATUS_PACKAGE_READY);
}

void PackageFetcher::Core::NotifyStatus(FetcherStatus status) {
  proxy_->NotifyStatusChanged(status);
}

void PackageFetcher::Core::ReportResult(FetcherStatus status) {
  int count = 0;
  {
    base::AutoLock hold(lock_);
    count = ++result_count_;
  }
  root_stats_.SetInteger("fetcher_restarts", count);
  attempt_stats_->SetString("result", FetcherStatusToString(status));
  attempt_running_ = false;
  // A failed download may be as large as the downloader allows: it does
  // not wait for the next attempt, which may never come.
  DeleteAttemptFiles();
  NotifyStatus(status);
}

void PackageFetcher::Core::ReportFailure(const std::string& message) {
  const std::string text = message + "\n" + downloader_->GetErrorText();
  LOG(ERROR) << text;
  attempt_stats_->SetString("failure_reason", text);
  ReportResult(FETCHER_STATUS_DOWNLOAD_FAILED);
}

void PackageFetcher::Core::Fail(FetcherStatus status,
                                const std::string& message) {
  LOG(ERROR) << message;
  attempt_stats_->SetString("failure_reason", message);
  ReportResult(status);
}

base::FilePath PackageFetcher::Core::ArchivePath() const {
  return attempt_file_.ReplaceExtension(L"7z");
}

bool PackageFetcher::Core::WriteArchive(const PayloadReader& payload,
                                        base::FilePath* archive) {
  base::NewFile file = base::NewFile::Create(ArchivePath(), kOtherFileNames);
  *archive = file.path();
  std::string copy;
  return held_.WriteNewFile(std::move(file), payload.GetPayloadBytes(&copy));
}

void PackageFetcher::Core::DeleteAttemptFiles() {
  // A download under way is the attempt's own until it is checked and held.
  if (attempt_.IsValid() && !attempt_.Delete())
    LOG(WARNING) << "Unable to delete " << attempt_.path();
  if (!held_.DeleteAll()) {
    LOG(WARNING) << "Files that another program changed or added stay in "
                 << download_folder_;
  }
}

bool PackageFetcher::Core::MustCheckSignatures() const {
  bool has_certificate_table = false;
  return !IsPEFile(own_payload_->path(), &has_certificate_table) ||
         has_certificate_table;
}

}  // namespace installer
