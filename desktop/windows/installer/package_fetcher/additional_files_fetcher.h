// The additional files of one fetch attempt, one after the other. Each is
// downloaded into "additional_file.tmp" of the download folder (a name of
// its own when another run holds that one), up to
// kMaxTries times while its checksum does not match, then moved into its
// folder (partner content into the package folder, the suite beside it)
// under a name that no file of the package has, and never replacing one;
// a self-extracting archive is run there instead and the version of the
// component installer it unpacks is checked. The download is made new and
// held while it is written and its checksum taken; what goes into those
// folders is copied from it into files made new, held for reading only
// and checked again (held_files.h); the component installer is held from
// the moment its archive has ended. A file that fails is skipped:
// none fails the attempt. At the end the names of the partner content that
// arrived are appended to the package's files_list, so that the backend
// installs them with the package.
//
//   AdditionalFilesFetcher fetcher(&downloader, reply.additional_files,
//                                  folders, check_signatures, attempt_stats,
//                                  &stop_event);
//   fetcher.Start(base::BindOnce(&Core::OnPackageReady, weak_ptr));
//
// Runs on the thread of the downloader, which it uses exclusively until
// its completion has run; destroying it drops the completion.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_ADDITIONAL_FILES_FETCHER_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_ADDITIONAL_FILES_FETCHER_H_

#include <optional>
#include <string>
#include <vector>

#include "base/callback.h"
#include "base/files/file_path.h"
#include "base/files/new_file.h"
#include "base/memory/weak_ptr.h"
#include "desktop/windows/installer/installer_stats_node.h"
#include "desktop/windows/installer/package_fetcher/additional_file.h"

namespace base {
class WaitableEvent;
}

namespace installer {

class HeldFiles;
class WininetDownloader;

class AdditionalFilesFetcher {
 public:
  // Downloads of one file: the first and three more.
  static constexpr int kMaxTries = 4;

  struct Folders {
    base::FilePath download_folder;
    base::FilePath package_folder;
    // Where every type but partner content goes.
    base::FilePath suite_folder;
  };

  // |downloader| must be idle and outlive this object. With
  // |check_signatures| an archive runs only when it is signed by the
  // expected signer. |held| holds the package folder's files and takes
  // those this object writes; it must outlive this object. The files are
  // recorded in the list "addtional_files" of |attempt_stats|. |stop| (may
  // be null) ends an archive's run early.
  AdditionalFilesFetcher(WininetDownloader* downloader,
                         std::vector<AdditionalFile> files,
                         const Folders& folders,
                         bool check_signatures,
                         HeldFiles* held,
                         const InstallerStatsNode& attempt_stats,
                         base::WaitableEvent* stop);
  AdditionalFilesFetcher(const AdditionalFilesFetcher&) = delete;
  AdditionalFilesFetcher& operator=(const AdditionalFilesFetcher&) = delete;
  ~AdditionalFilesFetcher();

  // Fetches every file, then runs |done|.
  void Start(base::OnceClosure done);

 private:
  const AdditionalFile& current() const { return files_[index_]; }
  void DeleteTempFile();

  void DownloadAdditionalFile();
  void OnAdditionalFileDownloaded();
  // Put the downloaded file where it belongs; false (logged) when they
  // cannot.
  bool MoveIntoPlace(const base::FilePath& folder);
  // Whether |name| in |folder| is taken: by a file there or, in the package
  // folder, by an entry of its files_list (read once).
  bool IsPackageFile(const base::FilePath& folder, const base::FilePath& name);
  bool RunArchive(const base::FilePath& folder);
  // Creates |folder| new, held, unless it is held already.
  bool MakeFolder(const base::FilePath& folder);
  // Copies the download into |target|, whose name must be free, and has
  // the fetch hold the copy once it is found to be what was checked.
  bool HoldAs(const base::FilePath& target);
  void NextAdditionalFile();
  // Appends the partner content's names to files_list.
  void AppendToFilesList();
  void Finish();

  WininetDownloader* const downloader_;
  const std::vector<AdditionalFile> files_;
  const Folders folders_;
  const bool check_signatures_;
  HeldFiles* const held_;
  InstallerStatsNode attempt_stats_;
  base::WaitableEvent* const stop_;
  size_t index_ = 0;
  int try_count_ = 0;
  std::optional<InstallerStatsNode> file_stats_;
  std::optional<InstallerStatsNode> try_stats_;
  std::vector<std::string> partner_content_names_;
  // The file the current download goes to, made new in the download
  // folder and held while this fetcher owns it, and the SHA-256 of what
  // was written into it.
  base::NewFile temp_;
  std::string temp_sha256_;
  // The first component of every entry of the package's files_list, as
  // the attempt unpacked it.
  std::optional<std::vector<std::wstring>> package_files_;
  base::OnceClosure done_;

  base::WeakPtrFactory<AdditionalFilesFetcher> weak_factory_{this};
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_ADDITIONAL_FILES_FETCHER_H_
