#include "desktop/windows/installer/package_fetcher/additional_files_fetcher.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

#include "base/bind.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/string_split.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/threading/thread_task_runner_handle.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/light_download_stats_observer.h"
#include "desktop/windows/installer/package_fetcher/checksum_checker.h"
#include "desktop/windows/installer/package_fetcher/downloaded_version_check.h"
#include "desktop/windows/installer/package_fetcher/hashing_file_writer.h"
#include "desktop/windows/installer/package_fetcher/held_files.h"
#include "desktop/windows/installer/package_fetcher/package_folder_security.h"
#include "desktop/windows/installer/package_fetcher/package_program.h"
#include "desktop/windows/installer/package_fetcher/signature_checker.h"
#include "desktop/windows/installer/package_files.h"
#include "desktop/windows/installer/wininet/wininet.h"

namespace installer {

namespace {

constexpr wchar_t kTempFileStem[] = L"additional_file";
constexpr int kMaxTempFileNames = 16;
constexpr char kArchiveSuffix[] = "_sfx.exe";
constexpr char kInstallerSuffix[] = "_installer.exe";
// The suite's archive may unpack the installer under this name instead.
constexpr char kSuiteInstallerAlternative[] = "assistant";

// Runs that start together share the download folder, and other programs
// may write it: the file is made new, the plain name first, then with this
// process's id, so that nothing planted at the name is written through and
// no other run or program writes into it, nor deletes it, while this one
// downloads.
base::NewFile CreateTempFile(const base::FilePath& folder) {
  return base::NewFile::Create(
      folder.Append(std::wstring(kTempFileStem) + L".tmp"),
      kMaxTempFileNames - 1);
}

}  // namespace

AdditionalFilesFetcher::AdditionalFilesFetcher(
    WininetDownloader* downloader,
    std::vector<AdditionalFile> files,
    const Folders& folders,
    bool check_signatures,
    HeldFiles* held,
    const InstallerStatsNode& attempt_stats,
    base::WaitableEvent* stop)
    : downloader_(downloader),
      files_(std::move(files)),
      folders_(folders),
      check_signatures_(check_signatures),
      held_(held),
      attempt_stats_(attempt_stats),
      stop_(stop) {}

AdditionalFilesFetcher::~AdditionalFilesFetcher() = default;

void AdditionalFilesFetcher::Start(base::OnceClosure done) {
  done_ = std::move(done);
  index_ = 0;
  try_count_ = 0;
  if (files_.empty()) {
    AppendToFilesList();
    Finish();
    return;
  }
  file_stats_ = attempt_stats_.AppendListEntry("addtional_files");
  DownloadAdditionalFile();
}

void AdditionalFilesFetcher::DeleteTempFile() {
  // Once held by the fetch the file is no longer the fetcher's.
  if (temp_.IsValid())
    temp_.Delete();
}

void AdditionalFilesFetcher::DownloadAdditionalFile() {
  LOG(INFO) << "Preparing to download an additional file";
  const AdditionalFile& file = current();
  if (!file.well_formed) {
    LOG(ERROR) << "Failed parsing additional file part of JSON reply";
    NextAdditionalFile();
    return;
  }
  file_stats_->SetString("download_url", file.location);
  file_stats_->SetInteger("download_succeeded", 0);
  try_stats_ = file_stats_->AppendListEntry("download_tries");
  try_stats_->RecordTime("download_start_time");
  try_stats_->SetInteger("try_number", try_count_);
  temp_ = CreateTempFile(folders_.download_folder);
  auto writer = std::make_unique<HashingFileWriter>(&temp_sha256_);
  if (!writer->Open(&temp_)) {
    // The download folder itself fails: the other files would fail alike.
    LOG(ERROR) << "Failed initializing the file to use as download "
                  "destination";
    Finish();
    return;
  }
  if (!downloader_->Start(
          base::UTF8ToWide(file.location), std::string(),
          base::BindOnce(&AdditionalFilesFetcher::OnAdditionalFileDownloaded,
                         weak_factory_.GetWeakPtr()),
          std::move(writer),
          std::make_unique<LightDownloadStatsObserver>(*try_stats_,
                                                       std::string()))) {
    LOG(ERROR) << "Failed downloading additional file";
    NextAdditionalFile();
  }
}

void AdditionalFilesFetcher::OnAdditionalFileDownloaded() {
  try_stats_->RecordTime("download_end_time");
  const AdditionalFile& file = current();
  // The digest is that of what was written: nobody else could write the
  // file meanwhile.
  if (downloader_->state() != WininetDownloader::STATE_COMPLETED ||
      temp_sha256_.empty() || temp_sha256_ != file.checksum) {
    LOG(ERROR) << "Failed downloading partner content";
    DeleteTempFile();
    const int tries_before = try_count_++;
    // The downloader retried this download itself already: the server
    // would fail the next one alike.
    if (tries_before >= kMaxTries - 1 || downloader_->retry_count() != 0) {
      LOG(INFO) << "Giving up downloading this file";
      NextAdditionalFile();
      return;
    }
    LOG(INFO) << "Retrying additional file download";
    DownloadAdditionalFile();
    return;
  }
  const base::FilePath& folder = file.type == kPartnerContentType
                                     ? folders_.package_folder
                                     : folders_.suite_folder;
  if (file.archive ? RunArchive(folder) : MoveIntoPlace(folder)) {
    file_stats_->SetInteger("download_succeeded", 1);
    if (file.type == kPartnerContentType && !file.archive)
      partner_content_names_.push_back(file.filename);
  }
  NextAdditionalFile();
}

bool AdditionalFilesFetcher::MoveIntoPlace(const base::FilePath& folder) {
  const base::FilePath target =
      folder.Append(base::UTF8ToWide(current().filename));
  if (IsPackageFile(folder, target.BaseName())) {
    // The package passed its own checks: partner content must not
    // replace what the backend installs or runs as part of it.
    LOG(ERROR) << "Refusing the additional file \"" << current().filename
               << "\": the package has a file of that name";
    return false;
  }
  // Never replacing: the name may still come to stand for an existing
  // file, through its short name or another file of this list.
  if (!MakeFolder(folder) || !HoldAs(target)) {
    LOG(ERROR) << "Failed moving additional file into place";
    return false;
  }
  return true;
}

bool AdditionalFilesFetcher::HoldAs(const base::FilePath& target) {
  // Copied rather than moved: a file made in the folder takes the folder's
  // security. Nobody could write the download since its digest was taken.
  if (!held_->CopyInto(&temp_, target, current().checksum))
    return false;
  DeleteTempFile();
  return true;
}

bool AdditionalFilesFetcher::MakeFolder(const base::FilePath& folder) {
  return held_->IsHeld(folder) ||
         held_->CreateFolder(folder, MakePackageFolderSecurity().get());
}

bool AdditionalFilesFetcher::IsPackageFile(const base::FilePath& folder,
                                           const base::FilePath& name) {
  if (base::PathExists(folder.Append(name)))
    return true;
  if (folder != folders_.package_folder)
    return false;
  if (!package_files_) {
    package_files_.emplace();
    std::string text;
    // A package without a readable list has nothing to compare with: its
    // files on disk were checked above.
    if (base::ReadFileToString(
            folders_.package_folder.AppendASCII(kFilesListName), &text)) {
      for (const std::string& entry :
           base::SplitString(text, "\r\n", base::TRIM_WHITESPACE,
                             base::SPLIT_WANT_NONEMPTY)) {
        // A name in the folder is taken by a file there, and by a folder
        // that holds files of the package.
        const std::vector<std::wstring> components =
            base::FilePath::FromUTF8Unsafe(entry).GetComponents();
        if (!components.empty())
          package_files_->push_back(components.front());
      }
    }
  }
  // Windows compares file names without regard to case.
  return std::any_of(package_files_->begin(), package_files_->end(),
                     [&name](const std::wstring& entry) {
                       return base::FilePath::CompareEqualIgnoreCase(
                           entry, name.value());
                     });
}

bool AdditionalFilesFetcher::RunArchive(const base::FilePath& folder) {
  const AdditionalFile& file = current();
  if (!MakeFolder(folder)) {
    LOG(ERROR) << "Could not create unpacking folder for additional file";
    return false;
  }
  const base::FilePath archive = folder.AppendASCII(file.type + kArchiveSuffix);
  // Checked and run as the fetch holds it.
  if (!HoldAs(archive)) {
    LOG(ERROR) << "Failed moving additional component SFX into place";
    return false;
  }
  if (check_signatures_ && !VerifyFileSignature(archive, nullptr)) {
    LOG(WARNING) << "The " << file.type << " archive is not signed by the "
                 << "expected signer: skipping it";
    return false;
  }
  int exit_code = -1;
  const PackageProgramEnd end = RunPackageProgram(archive, stop_, &exit_code);
  if (end == PackageProgramEnd::kNotStarted) {
    LOG(ERROR) << "Failed starting SFX archive";
    return false;
  }
  // What it unpacked, the component installer and what that loads, stays
  // as it is now, for the checks below and the backend that runs it, and
  // goes with the fetch.
  if (!held_->HoldTree(folder)) {
    LOG(ERROR) << "Could not keep what the SFX archive unpacked";
    return false;
  }
  if (end != PackageProgramEnd::kExited || exit_code != 0) {
    LOG(ERROR) << "Failed extracting SFX archive (exit code " << exit_code
               << ")";
    return false;
  }
  base::FilePath installer = folder.AppendASCII(file.type + kInstallerSuffix);
  if (file.type == kSuiteType && !held_->IsHeld(installer)) {
    installer = folder.AppendASCII(std::string(kSuiteInstallerAlternative) +
                                   kInstallerSuffix);
  }
  if (!held_->IsHeld(installer) ||
      (check_signatures_ && !VerifyFileSignature(installer, nullptr)) ||
      !CheckDownloadedVersion(installer, false, *file_stats_)) {
    LOG(ERROR) << "Component version didn't pass check";
    return false;
  }
  // What asking the version left beside it.
  held_->HoldTree(folder);
  held_->Delete(archive);
  return true;
}

void AdditionalFilesFetcher::NextAdditionalFile() {
  // What a skipped file left.
  DeleteTempFile();
  // Every file gets its own tries.
  try_count_ = 0;
  if (++index_ >= files_.size()) {
    AppendToFilesList();
    Finish();
    return;
  }
  file_stats_ = attempt_stats_.AppendListEntry("addtional_files");
  base::ThreadTaskRunnerHandle::Get()->PostTask(
      FROM_HERE, base::BindOnce(&AdditionalFilesFetcher::DownloadAdditionalFile,
                                weak_factory_.GetWeakPtr()));
}

void AdditionalFilesFetcher::AppendToFilesList() {
  // The list may lack its last line break: the names start on a line of
  // their own, and the empty lines this can leave are skipped by readers.
  const std::string text =
      "\r\n" + base::JoinString(partner_content_names_, "\r\n") + "\r\n";
  const base::FilePath list =
      folders_.package_folder.AppendASCII(kFilesListName);
  // The list as the attempt unpacked it, held: the backend installs what
  // it names.
  std::string content;
  const bool written = held_->ReadHeld(list, &content)
                           ? held_->Rewrite(list, content + text)
                           : held_->WriteNewFile(list, text);
  if (!written)
    LOG(WARNING) << "Could not append the additional files to "
                 << kFilesListName;
}

void AdditionalFilesFetcher::Finish() {
  DeleteTempFile();
  std::move(done_).Run();
}

}  // namespace installer
