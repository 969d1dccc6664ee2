#include "desktop/windows/installer/package_fetcher/package_fetcher.h"

#include <string.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/at_exit.h"
#include "base/base64.h"
#include "base/command_line.h"
#include "base/files/file.h"
#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/json/json_reader.h"
#include "base/message_loop/message_loop.h"
#include "base/run_loop.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"
#include "base/synchronization/lock.h"
#include "base/test/planted_link.h"
#include "base/test/scoped_log_capture.h"
#include "base/threading/platform_thread.h"
#include "base/threading/thread_task_runner_handle.h"
#include "base/values.h"
#include "base/version.h"
#include "desktop/windows/installer/installer_stats.h"
#include "desktop/windows/installer/package_fetcher/checksum_checker.h"
#include "desktop/windows/installer/package_fetcher/package_fetcher_observer.h"
#include "desktop/windows/installer/package_fetcher/package_program.h"
#include "desktop/windows/installer/package_fetcher/payload_reader.h"
#include "desktop/windows/installer/process/launch_lock.h"
#include "desktop/windows/installer/product/version_info.h"
#include "desktop/windows/installer/test/download_test_util.h"
#include "desktop/windows/installer/test/installer_process.h"
#include "desktop/windows/installer/test/net_install_test_util.h"
#include "desktop/windows/installer/test/test_util.h"
#include "desktop/windows/installer/wininet/wininet.h"
#include "gtest/gtest.h"
#include "testing/servers/http_test_server.h"

namespace installer {
namespace {

using base::FilePath;
using test::WriteTextFile;

constexpr base::TimeDelta kLimit = base::TimeDelta::FromSeconds(60);
constexpr char kTrackingData[] = "eyJ1dG0iOiB7InNvdXJjZSI6ICJ0ZXN0In19";

// Runs the current loop until |condition| holds, at most kLimit.
bool RunUntil(std::function<bool()> condition) {
  const base::TimeTicks deadline = base::TimeTicks::Now() + kLimit;
  while (!condition() && base::TimeTicks::Now() < deadline) {
    base::RunLoop loop;
    base::ThreadTaskRunnerHandle::Get()->PostDelayedTask(
        FROM_HERE, loop.QuitClosure(), base::TimeDelta::FromMilliseconds(10));
    loop.Run();
  }
  return condition();
}

// What the fetcher told its owner, in order.
class RecordingObserver : public PackageFetcherObserver {
 public:
  void SetTotalProgress(int total) override { ++reports; }
  void SetCurrentProgress(int current) override {
    ++reports;
    current_progress = current;
  }
  void NotifyStalled(int error) override { ++reports; }
  void NotifyStatusChanged(int status) override {
    ++reports;
    statuses.push_back(status);
  }

  // Waits for the attempt under way to end: its status, or -1.
  int WaitForResult() {
    const size_t seen = statuses.size();
    auto ended = [&] {
      for (size_t i = seen; i < statuses.size(); ++i) {
        if (statuses[i] >= FETCHER_STATUS_PACKAGE_READY)
          return true;
      }
      return false;
    };
    return RunUntil(ended) ? statuses.back() : -1;
  }

  std::vector<int> statuses;
  int reports = 0;
  int current_progress = 0;
};

// The fetcher in this process against the loopback server. Packages are
// stand-ins carrying a 7z archive; the stand-ins of the download folder
// answer --internal-version and --stream as this installer would.
class PackageFetcherTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Connect());
    prefix_ = server_.NewPathPrefix();
    ASSERT_TRUE(temp_.CreateUniqueTempDir());
    download_ = temp_.GetPath().Append(L"download");
    source_ = temp_.GetPath().Append(L"source");
    ASSERT_TRUE(base::CreateDirectory(download_));
    WriteTextFile(source_.Append(L"files_list"),
                  "kelvo.exe\r\nresources\\data.pak\r\n");
    WriteTextFile(source_.Append(L"kelvo.exe"), "browser");
    WriteTextFile(source_.Append(L"resources").Append(L"data.pak"),
                  std::string(5000, 'd'));
    Answer(download_, GetInternalVersion(), GetStream());
    ASSERT_TRUE(test::CopyWithPayload(StandIn(), kTrackingData,
                                      temp_.GetPath().Append(L"net.exe")));
  }

  static FilePath StandIn() {
    return test::GetBuildBinDir().Append(L"stand_in.exe");
  }
  static FilePath SignedFile(const wchar_t* name) {
    return test::GetBuildBinDir().Append(L"signature_test_files").Append(name);
  }
  // How the stand-ins in |folder| answer --internal-version and --stream.
  static void Answer(const FilePath& folder,
                     const std::string& version,
                     const std::string& stream) {
    WriteTextFile(folder.Append(L"internal-version.answer"), version);
    WriteTextFile(folder.Append(L"stream.answer"), stream);
  }

  // The stand-in carrying |payload|.
  FilePath MakePackage(const std::string& payload, const wchar_t* name) {
    const FilePath package = temp_.GetPath().Append(name);
    EXPECT_TRUE(test::CopyWithPayload(StandIn(), payload, package));
    return package;
  }

  std::string Url(const std::string& path) const {
    return server_.GetURL("127.0.0.1", prefix_ + path);
  }
  void Serve(const std::string& path, const std::string& steps) {
    ASSERT_TRUE(server_.Script(prefix_ + path, steps));
  }
  void ServeText(const std::string& path, const std::string& body) {
    std::string encoded;
    base::Base64Encode(body, &encoded);
    Serve(path, "[{\"body_base64\": \"" + encoded + "\"}]");
  }
  // The download address names |package| with |checksum| (its own when
  // empty) and |extra| members.
  void ServePackage(const FilePath& package,
                    std::string checksum = std::string(),
                    const std::string& extra = std::string()) {
    if (checksum.empty())
      checksum = test::FileChecksum(package);
    Serve("/package.exe", test::FileBodySteps(package));
    ServeText("/address",
              test::DownloadAddressReply(Url("/package.exe"), checksum, extra));
  }
  // What the download folder holds, but the stand-ins' answers and records
  // of their runs.
  std::vector<FilePath> DownloadFolderFiles() {
    std::vector<FilePath> files;
    base::FileEnumerator enumerator(
        download_, false,
        base::FileEnumerator::FILES | base::FileEnumerator::DIRECTORIES);
    for (FilePath path = enumerator.Next(); !path.empty();
         path = enumerator.Next()) {
      if (path.Extension() != L".answer" && path.Extension() != L".log")
        files.push_back(path);
    }
    return files;
  }
  size_t Requests(const std::string& path) {
    return server_.GetRequests(prefix_ + path).size();
  }

  std::unique_ptr<PackageFetcher> MakeFetcher(const PayloadReader* own,
                                              bool want_suite = false) {
    return std::make_unique<PackageFetcher>(
        download_, stats_.root(), &ui_runner_, &observer_, own, 0, want_suite,
        base::CommandLine::FromString(
            L"installer.exe --internal-package-server=" +
            server_.GetWideURL("127.0.0.1", prefix_ + "/address")));
  }
  int Fetch(PackageFetcher* fetcher) {
    fetcher->Start();
    return observer_.WaitForResult();
  }

  std::unique_ptr<base::DictionaryValue> Stats() {
    return base::DictionaryValue::From(
        base::JSONReader::Read(stats_.GetJson()));
  }
  // The last attempt's statistics.
  const base::DictionaryValue* LastAttempt(const base::DictionaryValue& stats) {
    const base::ListValue* fetches = nullptr;
    const base::DictionaryValue* attempt = nullptr;
    if (stats.GetList("fetches", &fetches))
      fetches->GetDictionary(fetches->GetSize() - 1, &attempt);
    return attempt;
  }
  std::string LastAttemptString(const std::string& key) {
    std::unique_ptr<base::DictionaryValue> stats = Stats();
    const base::DictionaryValue* attempt =
        stats ? LastAttempt(*stats) : nullptr;
    std::string value;
    if (attempt)
      attempt->GetString(key, &value);
    return value;
  }

  // The pref files' pool that a welcome page starts goes with the test.
  base::ShadowingAtExitManager at_exit_;
  base::MessageLoop loop_;
  WininetDownloader::ScopedRetryDelayForTesting fast_retries_{
      base::TimeDelta::FromMilliseconds(20)};
  test_server::HttpTestServer server_;
  std::string prefix_;
  base::ScopedTempDir temp_;
  FilePath download_;
  FilePath source_;
  test::RefusingUICallbackRunner ui_runner_;
  InstallerStats stats_{&ui_runner_};
  RecordingObserver observer_;
};

TEST_F(PackageFetcherTest, NetInstallUnpacksThePackageWithItsTrackingData) {
  ServePackage(MakePackage(test::MakeArchiveOfTree(source_), L"package.exe"),
               std::string(), "\"url_welcome\": \"https://kelvo.example/hi\"");
  PayloadReader own(temp_.GetPath().Append(L"net.exe"));
  std::unique_ptr<PackageFetcher> fetcher = MakeFetcher(&own);
  ASSERT_EQ(FETCHER_STATUS_PACKAGE_READY, Fetch(fetcher.get()));
  EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 5}), observer_.statuses);

  std::map<std::wstring, std::string> tree =
      test::ReadFileTree(fetcher->package_folder());
  EXPECT_EQ(kTrackingData, tree[L"server_tracking_data"]);
  std::unique_ptr<base::DictionaryValue> prefs = base::DictionaryValue::From(
      base::JSONReader::Read(tree[L"installer_prefs_include.json"]));
  std::string welcome;
  ASSERT_TRUE(prefs && prefs->GetString("welcome-url", &welcome));
  EXPECT_EQ("https://kelvo.example/hi", welcome);
  tree.erase(L"server_tracking_data");
  tree.erase(L"installer_prefs_include.json");
  EXPECT_EQ(test::ReadFileTree(source_), tree);

  // The tracking data went back to the server with the address request.
  std::vector<test_server::RecordedRequest> requests =
      server_.GetRequests(prefix_);
  ASSERT_EQ(2u, requests.size());
  EXPECT_EQ("POST", requests[0].method);
  EXPECT_EQ(kTrackingData, requests[0].body);
  EXPECT_EQ("GET", requests[1].method);
  EXPECT_EQ(prefix_ + "/package.exe", requests[1].target);

  EXPECT_EQ("package_ready", LastAttemptString("result"));
  EXPECT_EQ(GetInternalVersion(), LastAttemptString("internal_version"));
  EXPECT_EQ(Url("/package.exe"), LastAttemptString("download_url"));
  EXPECT_FALSE(Stats()->HasKey("fetcher_restarts"));

  // What the attempt downloaded stays until the fetcher goes.
  const FilePath attempt_file =
      fetcher->package_path().InsertBeforeExtension(L"_0");
  EXPECT_TRUE(base::PathExists(attempt_file));
  EXPECT_FALSE(base::PathExists(attempt_file.ReplaceExtension(L"7z")));
  const FilePath package_folder = fetcher->package_folder();
  fetcher.reset();
  EXPECT_FALSE(base::PathExists(attempt_file));
  EXPECT_FALSE(base::PathExists(package_folder));
}

// Another program of the user tries to change the package once it is
// ready, as the backend is about to run and copy it: nothing it wrote,
// the archive's files, the tracking data, the welcome page pref, the
// partner content, files_list and the component installer that the suite's
// archive unpacked, can be written, replaced, deleted or renamed, nor can
// the folders holding them, until the fetcher goes.
TEST_F(PackageFetcherTest, ReadyPackageCannotBeChangedWhileTheFetcherLives) {
  const std::string partner_sum = ComputeSha256Hex("partner", 7);
  ServeText("/partner.dat", "partner");
  Serve("/suite_sfx.exe", test::FileBodySteps(StandIn()));
  ServePackage(
      MakePackage(test::MakeArchiveOfTree(source_), L"package.exe"),
      std::string(),
      "\"url_welcome\": \"https://kelvo.example/hi\", \"components\": ["
      "{\"type\": \"partner_content\", \"location\": \"" +
          Url("/partner.dat") + "\", \"archive\": 0, \"checksum\": \"" +
          partner_sum +
          "\", \"filename\": \"partner.dat\"}, "
          "{\"type\": \"suite\", \"location\": \"" +
          Url("/suite_sfx.exe") + "\", \"archive\": 1, \"checksum\": \"" +
          test::FileChecksum(StandIn()) + "\"}]");
  PayloadReader own(temp_.GetPath().Append(L"net.exe"));
  std::unique_ptr<PackageFetcher> fetcher = MakeFetcher(&own, true);
  ASSERT_EQ(FETCHER_STATUS_PACKAGE_READY, Fetch(fetcher.get()));

  const FilePath package = fetcher->package_folder();
  const FilePath suite = fetcher->suite_folder();
  const FilePath planted = temp_.GetPath().Append(L"planted");
  WriteTextFile(planted, "planted");
  const FilePath files[] = {package.Append(L"kelvo.exe"),
                            package.Append(L"resources").Append(L"data.pak"),
                            package.Append(L"files_list"),
                            package.Append(L"server_tracking_data"),
                            package.Append(L"installer_prefs_include.json"),
                            package.Append(L"partner.dat"),
                            suite.Append(L"suite_installer.exe")};
  for (const FilePath& file : files) {
    SCOPED_TRACE(file.value());
    const std::string before = test::ReadTextFile(file);
    ASSERT_FALSE(before.empty());
    EXPECT_FALSE(
        ::CopyFileW(planted.value().c_str(), file.value().c_str(), FALSE));
    EXPECT_FALSE(::DeleteFileW(file.value().c_str()));
    EXPECT_FALSE(
        ::MoveFileW(file.value().c_str(), (file.value() + L".moved").c_str()));
    EXPECT_EQ(before, test::ReadTextFile(file));
  }
  for (const FilePath& folder :
       {package, package.Append(L"resources"), suite}) {
    SCOPED_TRACE(folder.value());
    EXPECT_FALSE(::MoveFileW(folder.value().c_str(),
                             (folder.value() + L"_moved").c_str()));
    EXPECT_TRUE(base::DirectoryExists(folder));
  }
  fetcher.reset();
  EXPECT_FALSE(base::PathExists(package));
  EXPECT_FALSE(base::PathExists(suite));
}

// Another program makes the package folder first, while the package still
// downloads, with a link in it at the name of a file of the archive:
// nothing is unpacked into a folder this run did not make, nor written
// through the link, and the folder is not emptied either (under Wine that
// would delete the link's target): the attempts fail, the link and its
// target stay.
TEST_F(PackageFetcherTest, PackageFolderMadeByAnotherProgramIsNotUnpackedInto) {
  const FilePath package_exe =
      MakePackage(test::MakeArchiveOfTree(source_), L"package.exe");
  std::string steps = test::FileBodySteps(package_exe);
  // The first download waits a moment before it answers.
  steps = "[" + steps.substr(1, steps.size() - 2).insert(1, "\"delay\": 2, ") +
          ", " + steps.substr(1);
  Serve("/package.exe", steps);
  ServeText("/address", test::DownloadAddressReply(
                            Url("/package.exe"),
                            test::FileChecksum(package_exe), std::string()));
  PayloadReader own(temp_.GetPath().Append(L"net.exe"));
  std::unique_ptr<PackageFetcher> fetcher = MakeFetcher(&own);
  const FilePath package = fetcher->package_folder();
  const FilePath elsewhere = temp_.GetPath().Append(L"elsewhere.txt");
  WriteTextFile(elsewhere, "untouched");
  fetcher->Start();
  ASSERT_TRUE(RunUntil([&] {
    return base::PathExists(
        fetcher->package_path().InsertBeforeExtension(L"_0"));
  }));
  ASSERT_TRUE(base::CreateDirectory(package));
  ASSERT_TRUE(
      base::test::MakeFileLink(package.Append(L"kelvo.exe"), elsewhere));

  EXPECT_EQ(FETCHER_STATUS_UNPACKING_FAILED, observer_.WaitForResult());
  EXPECT_EQ("Could not create unpacking folder",
            LastAttemptString("failure_reason"));
  EXPECT_EQ("untouched", test::ReadTextFile(elsewhere));
  ASSERT_TRUE(fetcher->Retry());
  EXPECT_EQ(FETCHER_STATUS_INITIALIZATION_FAILED, observer_.WaitForResult());
  fetcher.reset();
  EXPECT_EQ("untouched", test::ReadTextFile(package.Append(L"kelvo.exe")));
  EXPECT_EQ("untouched", test::ReadTextFile(elsewhere));
}

TEST_F(PackageFetcherTest, EveryFailureEndsTheAttemptWithOneStatus) {
  const FilePath good =
      MakePackage(test::MakeArchiveOfTree(source_), L"good.exe");
  const FilePath corrupt = MakePackage(
      std::string("7z\xBC\xAF\x27\x1C", 6) + "broken header", L"corrupt.exe");
  const std::string checksum = test::FileChecksum(good);
  const std::string older = base::IntToString(
      static_cast<int>(base::Version(GetInternalVersion()).components()[0]) -
      1);
  const struct {
    const char* name;
    std::string reply;  // Instead of the package's address; empty for that.
    FilePath package;
    std::string checksum;
    std::string version;
    std::string stream;
    int status;
    const char* reason;  // The start of the attempt's "failure_reason".
  } kCases[] = {
      {"no checksum", R"({"installer": "http://127.0.0.1:1/x.exe"})", good, "",
       GetInternalVersion(), GetStream(), FETCHER_STATUS_DOWNLOAD_FAILED,
       "Failed parsing json reply"},
      {"no JSON", "<html>installer</html>", good, "", GetInternalVersion(),
       GetStream(), FETCHER_STATUS_DOWNLOAD_FAILED,
       "Failed parsing json reply"},
      {"empty checksum",
       test::DownloadAddressReply(Url("/package.exe"), "", ""), good, "",
       GetInternalVersion(), GetStream(), FETCHER_STATUS_DOWNLOAD_FAILED,
       "Checksum incorrect for the downloaded package"},
      {"upper-case checksum", "", good, base::ToUpperASCII(checksum),
       GetInternalVersion(), GetStream(), FETCHER_STATUS_DOWNLOAD_FAILED,
       "Checksum incorrect for the downloaded package"},
      {"older version", "", good, "", older, GetStream(),
       FETCHER_STATUS_DOWNLOAD_FAILED,
       "Downloaded package failed version check"},
      {"another stream", "", good, "", GetInternalVersion(), "stable",
       FETCHER_STATUS_DOWNLOAD_FAILED,
       "Downloaded package failed version check"},
      {"no payload", "", StandIn(), "", GetInternalVersion(), GetStream(),
       FETCHER_STATUS_DOWNLOAD_FAILED,
       "Could not find 7z payload in full package"},
      {"corrupt 7z", "", corrupt, "", GetInternalVersion(), GetStream(),
       FETCHER_STATUS_UNPACKING_FAILED, "Archive unpacking failed"},
  };
  PayloadReader own(temp_.GetPath().Append(L"net.exe"));
  for (const auto& test_case : kCases) {
    SCOPED_TRACE(test_case.name);
    Answer(download_, test_case.version, test_case.stream);
    ServePackage(test_case.package, test_case.checksum);
    if (!test_case.reply.empty())
      ServeText("/address", test_case.reply);
    observer_.statuses.clear();
    std::unique_ptr<PackageFetcher> fetcher = MakeFetcher(&own);
    EXPECT_EQ(test_case.status, Fetch(fetcher.get()));
    const FilePath package_folder = fetcher->package_folder();
    fetcher.reset();
    EXPECT_TRUE(base::StartsWith(LastAttemptString("failure_reason"),
                                 test_case.reason,
                                 base::CompareCase::SENSITIVE))
        << LastAttemptString("failure_reason");
    // One result was counted, and what the attempt left is gone.
    int restarts = 0;
    EXPECT_TRUE(Stats()->GetInteger("fetcher_restarts", &restarts));
    EXPECT_EQ(1, restarts);
    EXPECT_FALSE(base::PathExists(package_folder));
    if (test_case.version == older) {
      EXPECT_EQ(older, LastAttemptString("internal_version"));
    }
  }
}

TEST_F(PackageFetcherTest, ThreeFailuresEndTheRetriesAndEveryAttemptFileGoes) {
  // The package arrives whole and fails its checksum every time.
  ServePackage(MakePackage(test::MakeArchiveOfTree(source_), L"package.exe"),
               std::string(64, '0'));
  PayloadReader own(temp_.GetPath().Append(L"net.exe"));
  std::unique_ptr<PackageFetcher> fetcher = MakeFetcher(&own);
  EXPECT_EQ(FETCHER_STATUS_DOWNLOAD_FAILED, Fetch(fetcher.get()));
  for (int retry = 1; retry < PackageFetcher::kMaxFailedAttempts; ++retry) {
    ASSERT_TRUE(fetcher->Retry());
    EXPECT_EQ(FETCHER_STATUS_DOWNLOAD_FAILED, observer_.WaitForResult());
  }
  EXPECT_FALSE(fetcher->Retry());
  EXPECT_EQ(3u, Requests("/package.exe"));

  // Started again after giving up, as the window does on Accept: a fourth
  // attempt file, and still no retry.
  EXPECT_EQ(FETCHER_STATUS_DOWNLOAD_FAILED, Fetch(fetcher.get()));
  EXPECT_FALSE(fetcher->Retry());
  std::unique_ptr<base::DictionaryValue> stats = Stats();
  const base::ListValue* fetches = nullptr;
  ASSERT_TRUE(stats->GetList("fetches", &fetches));
  ASSERT_EQ(4u, fetches->GetSize());
  const base::DictionaryValue* attempt = nullptr;
  int try_number = -1;
  ASSERT_TRUE(fetches->GetDictionary(3, &attempt));
  EXPECT_TRUE(attempt->GetInteger("try_number", &try_number));
  EXPECT_EQ(3, try_number);

  // Each failed attempt deleted its file at once; the fetcher's name
  // stays reserved until it goes.
  EXPECT_EQ(std::vector<FilePath>{fetcher->package_path()},
            DownloadFolderFiles());
  fetcher.reset();
  EXPECT_TRUE(DownloadFolderFiles().empty());
}

TEST_F(PackageFetcherTest, AdditionalFilesAreRetriedCheckedAndListed) {
  // A files_list without its last line break keeps its last entry.
  WriteTextFile(source_.Append(L"files_list"),
                "kelvo.exe\r\nresources\\data.pak");
  ServeText("/bad.dat", "never matches");
  ServeText("/escape.txt", "outside");
  ServeText("/partner.dat", "partner");
  const std::string partner_sum = ComputeSha256Hex("partner", 7);
  auto entry = [&](const std::string& type, const std::string& path,
                   const std::string& checksum, const std::string& filename) {
    return "{\"type\": \"" + type + "\", \"location\": \"" + Url(path) +
           "\", \"archive\": 0, \"checksum\": \"" + checksum +
           "\", \"filename\": \"" + filename + "\"}";
  };
  ServePackage(
      MakePackage(test::MakeArchiveOfTree(source_), L"package.exe"),
      std::string(),
      "\"components\": [" +
          entry("partner_content", "/bad.dat", std::string(64, 'a'),
                "bad.dat") +
          ", " +
          entry("partner_content", "/escape.txt", partner_sum, "..\\\\x.txt") +
          ", " +
          entry("partner_content", "/partner.dat", partner_sum, "partner.dat") +
          ", " + entry("toolbar", "/partner.dat", partner_sum, "t.dat") + ", " +
          entry("suite", "/partner.dat", partner_sum, "s.dat") + "]");
  PayloadReader own(temp_.GetPath().Append(L"net.exe"));
  std::unique_ptr<PackageFetcher> fetcher = MakeFetcher(&own);
  ASSERT_EQ(FETCHER_STATUS_PACKAGE_READY, Fetch(fetcher.get()));
  EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4, 5}), observer_.statuses);

  EXPECT_EQ(4u, Requests("/bad.dat"));
  // Neither the unsafe name nor the types not wanted were fetched.
  EXPECT_EQ(0u, Requests("/escape.txt"));
  EXPECT_EQ(1u, Requests("/partner.dat"));
  const FilePath package = fetcher->package_folder();
  EXPECT_EQ("partner", test::ReadTextFile(package.Append(L"partner.dat")));
  EXPECT_FALSE(base::PathExists(package.DirName().Append(L"x.txt")));
  EXPECT_FALSE(base::PathExists(package.Append(L"bad.dat")));
  EXPECT_EQ("kelvo.exe\r\nresources\\data.pak\r\npartner.dat\r\n",
            test::ReadTextFile(package.Append(L"files_list")));
  EXPECT_FALSE(base::PathExists(download_.Append(L"additional_file.tmp")));
}

// The suite's self-extracting archive (a stand-in, which copies itself to
// suite_installer.exe when it exits with 0) is run and waited for.
TEST_F(PackageFetcherTest, SuiteArchiveRunsAndIsSkippedWhenItFails) {
  const FilePath package =
      MakePackage(test::MakeArchiveOfTree(source_), L"package.exe");
  Serve("/suite_sfx.exe", test::FileBodySteps(StandIn()));
  const std::string components =
      "\"components\": [{\"type\": \"suite\", \"location\": \"" +
      Url("/suite_sfx.exe") + "\", \"archive\": 1, \"checksum\": \"" +
      test::FileChecksum(StandIn()) + "\"}]";
  const struct {
    const char* name;
    const char* exit_code;
    const char* wait_ms;
    bool installed;
  } kCases[] = {
      {"unpacks", "0", "0", true},
      {"exits with 1", "1", "0", false},
      {"hangs", "0", "60000", false},
  };
  PayloadReader own(temp_.GetPath().Append(L"net.exe"));
  for (const auto& test_case : kCases) {
    SCOPED_TRACE(test_case.name);
    // Only the archive that hangs meets a short limit: the programs that
    // answer, each a process start of their own, have the real limits,
    // which a loaded machine never reaches.
    const bool hangs = std::string(test_case.wait_ms) != "0";
    std::optional<ScopedPackageProgramTimeLimitForTesting> short_limit;
    if (hangs) {
      short_limit.emplace(kPackageQueryTimeLimit,
                          base::TimeDelta::FromSeconds(2));
    }
    ServePackage(package, std::string(), components);
    std::unique_ptr<PackageFetcher> fetcher = MakeFetcher(&own, true);
    const FilePath suite = fetcher->suite_folder();
    // The fetch makes the suite folder new: the archive finds its part in
    // the folder above, the download folder.
    WriteTextFile(download_.Append(L"suite_sfx.exe.exit_code"),
                  test_case.exit_code);
    WriteTextFile(download_.Append(L"suite_sfx.exe.wait_ms"),
                  test_case.wait_ms);
    const base::TimeTicks start = base::TimeTicks::Now();
    EXPECT_EQ(FETCHER_STATUS_PACKAGE_READY, Fetch(fetcher.get()));
    // The hanging archive was ended at its limit, long before it would
    // have exited.
    if (hangs) {
      EXPECT_LT(base::TimeTicks::Now() - start,
                base::TimeDelta::FromSeconds(50));
    }
    EXPECT_EQ(test_case.installed,
              base::PathExists(suite.Append(L"suite_installer.exe")));
    EXPECT_EQ(test_case.installed,
              !base::PathExists(suite.Append(L"suite_sfx.exe")));
    // The suite is not partner content: files_list gains no name.
    EXPECT_EQ(
        "kelvo.exe\r\nresources\\data.pak\r\n\r\n\r\n",
        test::ReadTextFile(fetcher->package_folder().Append(L"files_list")));
    fetcher.reset();
    EXPECT_FALSE(base::PathExists(suite));
  }
}

// A running installer that carries a certificate table takes only packages
// signed by the expected signer. Under Wine every chain is trusted, so the
// signer's name decides.
TEST_F(PackageFetcherTest, SignedInstallerTakesOnlyTheExpectedSigner) {
  PayloadReader own(SignedFile(L"tracking_expected.exe"));
  ASSERT_EQ(PAYLOAD_TYPE_TRACKING_DATA, own.payload_type());
  const struct {
    const wchar_t* package;
    int status;
    const char* signature_error;  // Null: none is recorded.
  } kCases[] = {
      {L"package_expected.exe", FETCHER_STATUS_PACKAGE_READY, nullptr},
      {L"package_other.exe", FETCHER_STATUS_DOWNLOAD_FAILED,
       "Level 0: Tried signer Other Company AS\n"},
      {L"package_unsigned.exe", FETCHER_STATUS_DOWNLOAD_FAILED,
       "Cannot WinVerifyTrust: "},
  };
  for (const auto& test_case : kCases) {
    SCOPED_TRACE(test_case.package);
    ServePackage(SignedFile(test_case.package));
    std::unique_ptr<PackageFetcher> fetcher = MakeFetcher(&own);
    EXPECT_EQ(test_case.status, Fetch(fetcher.get()));
    std::unique_ptr<base::DictionaryValue> stats = Stats();
    const base::DictionaryValue* attempt =
        stats ? LastAttempt(*stats) : nullptr;
    ASSERT_TRUE(attempt);
    std::string error;
    if (test_case.signature_error) {
      EXPECT_TRUE(attempt->GetString("signature_check_error", &error));
      EXPECT_NE(std::string::npos, error.find(test_case.signature_error))
          << error;
    } else {
      EXPECT_FALSE(attempt->HasKey("signature_check_error"));
      EXPECT_FALSE(attempt->HasKey("failure_reason"));
    }
    if (test_case.status == FETCHER_STATUS_PACKAGE_READY) {
      std::map<std::wstring, std::string> tree =
          test::ReadFileTree(fetcher->package_folder());
      tree.erase(L"server_tracking_data");
      EXPECT_EQ(test::ReadFileTree(SignedFile(L"package_tree")), tree);
    } else {
      EXPECT_EQ("Signature incorrect for the downloaded package",
                LastAttemptString("failure_reason"));
    }
  }
}

// A running installer that carries a certificate table runs only component
// archives of the expected signer: an unsigned archive, or another
// signer's, is skipped without being started, and the package is ready all
// the same.
TEST_F(PackageFetcherTest, SignedInstallerRunsOnlyArchivesOfTheExpectedSigner) {
  PayloadReader own(SignedFile(L"tracking_expected.exe"));
  const struct {
    const wchar_t* archive;
    bool runs;
  } kCases[] = {
      {L"unsigned.exe", false},
      {L"other.exe", false},
      {L"expected.exe", true},
  };
  for (const auto& test_case : kCases) {
    SCOPED_TRACE(test_case.archive);
    const FilePath archive = SignedFile(test_case.archive);
    Serve("/suite_sfx.exe", test::FileBodySteps(archive));
    ServePackage(SignedFile(L"package_expected.exe"), std::string(),
                 "\"components\": [{\"type\": \"suite\", \"location\": \"" +
                     Url("/suite_sfx.exe") +
                     "\", \"archive\": 1, \"checksum\": \"" +
                     test::FileChecksum(archive) + "\"}]");
    std::unique_ptr<PackageFetcher> fetcher = MakeFetcher(&own, true);
    // The fetch makes the suite folder new: its stand-ins answer from the
    // download folder above it.
    const FilePath suite = fetcher->suite_folder();
    base::ScopedLogCapture log;
    const size_t requests = Requests("/suite_sfx.exe");
    EXPECT_EQ(FETCHER_STATUS_PACKAGE_READY, Fetch(fetcher.get()));
    EXPECT_EQ(requests + 1, Requests("/suite_sfx.exe"));
    EXPECT_EQ(test_case.runs ? 1u : 0u,
              test::StandInRuns(suite.Append(L"suite_sfx.exe")).size());
    EXPECT_EQ(test_case.runs,
              base::PathExists(suite.Append(L"suite_installer.exe")));
    EXPECT_EQ(!test_case.runs,
              log.Contains(logging::LOG_WARNING,
                           "archive is not signed by the expected signer"));
    fetcher.reset();
  }
}

TEST_F(PackageFetcherTest, FullInstallerUnpacksItsOwnPayloadWithoutTheNetwork) {
  PayloadReader own(
      MakePackage(test::MakeArchiveOfTree(source_), L"full_installer.exe"));
  ASSERT_EQ(PAYLOAD_TYPE_FULL_PACKAGE, own.payload_type());
  std::unique_ptr<PackageFetcher> fetcher = MakeFetcher(&own);
  ASSERT_EQ(FETCHER_STATUS_PACKAGE_READY, Fetch(fetcher.get()));
  EXPECT_EQ((std::vector<int>{0, 3, 5}), observer_.statuses);
  EXPECT_EQ(test::ReadFileTree(source_),
            test::ReadFileTree(fetcher->package_folder()));
  EXPECT_EQ(0u, server_.GetRequests(prefix_).size());
}

// Another program of the user plants links in the package folder while the
// fetcher holds it, to a file and to a folder elsewhere: the clean-up
// deletes what the run made and what the programs it started left there,
// and never what a link leads to.
TEST_F(PackageFetcherTest, CleanUpNeverDeletesWhatALinkInThePackageLeadsTo) {
  ServePackage(MakePackage(test::MakeArchiveOfTree(source_), L"package.exe"));
  PayloadReader own(temp_.GetPath().Append(L"net.exe"));
  std::unique_ptr<PackageFetcher> fetcher = MakeFetcher(&own);
  ASSERT_EQ(FETCHER_STATUS_PACKAGE_READY, Fetch(fetcher.get()));
  const FilePath package = fetcher->package_folder();
  const FilePath victim = temp_.GetPath().Append(L"document.txt");
  WriteTextFile(victim, "precious");
  const FilePath outside = temp_.GetPath().Append(L"outside");
  WriteTextFile(outside.Append(L"keep.txt"), "keep");
  const FilePath file_link = package.Append(L"resources").Append(L"evil.pak");
  const FilePath folder_link = package.Append(L"evil");
  ASSERT_TRUE(base::test::MakeFileLink(file_link, victim));
  ASSERT_TRUE(base::test::MakeDirectoryLink(folder_link, outside));
  WriteTextFile(package.Append(L"left_by_the_backend.txt"), "left");

  fetcher.reset();
  EXPECT_EQ("precious", test::ReadTextFile(victim));
  EXPECT_EQ("keep", test::ReadTextFile(outside.Append(L"keep.txt")));
  EXPECT_FALSE(base::PathExists(package.Append(L"kelvo.exe")));
  EXPECT_FALSE(
      base::PathExists(package.Append(L"resources").Append(L"data.pak")));
  EXPECT_FALSE(base::PathExists(package.Append(L"left_by_the_backend.txt")));
  base::test::RemoveLink(file_link);
  base::test::RemoveLink(folder_link);
}

// Another program puts a link where a full installer writes out its own
// archive, to have it written elsewhere or to hand it an archive of its
// own: the archive is only ever created new, under another name when that
// one is taken, and only the one this run wrote and holds is unpacked.
TEST_F(PackageFetcherTest, FullInstallerUnpacksOnlyTheArchiveItWrote) {
  PayloadReader own(
      MakePackage(test::MakeArchiveOfTree(source_), L"full_installer.exe"));
  std::unique_ptr<PackageFetcher> fetcher = MakeFetcher(&own);
  const FilePath planted = temp_.GetPath().Append(L"planted.7z");
  const FilePath planted_tree = temp_.GetPath().Append(L"planted_tree");
  WriteTextFile(planted_tree.Append(L"kelvo.exe"), "planted");
  const std::string planted_archive = test::MakeArchiveOfTree(planted_tree);
  WriteTextFile(planted, planted_archive);
  const FilePath link =
      fetcher->package_path().InsertBeforeExtension(L"_0").ReplaceExtension(
          L"7z");
  ASSERT_TRUE(base::test::MakeFileLink(link, planted));

  EXPECT_EQ(FETCHER_STATUS_PACKAGE_READY, Fetch(fetcher.get()));
  EXPECT_EQ(test::ReadFileTree(source_),
            test::ReadFileTree(fetcher->package_folder()));
  EXPECT_EQ(planted_archive, test::ReadTextFile(planted));
  base::test::RemoveLink(link);
}

TEST_F(PackageFetcherTest, DestroyedMidDownloadItEndsSoonAndReportsNothing) {
  Serve("/package.exe", R"([{"pattern_size": 50000000, "rate": 200000}])");
  ServeText("/address", test::DownloadAddressReply(Url("/package.exe"),
                                                   std::string(64, '0'), ""));
  PayloadReader own(temp_.GetPath().Append(L"net.exe"));
  std::unique_ptr<PackageFetcher> fetcher = MakeFetcher(&own);
  fetcher->Start();
  // The package's own bytes, after those of the address request.
  ASSERT_TRUE(RunUntil([&] {
    return !observer_.statuses.empty() &&
           observer_.statuses.back() == FETCHER_STATUS_DOWNLOADING;
  }));
  observer_.current_progress = 0;
  ASSERT_TRUE(RunUntil([&] { return observer_.current_progress > 0; }));
  const FilePath attempt_file =
      fetcher->package_path().InsertBeforeExtension(L"_0");
  EXPECT_TRUE(base::PathExists(attempt_file));
  // The worker goes on while this thread does not run its loop: once the
  // file has grown, reports of that progress wait in the loop's queue.
  const int64_t seen = observer_.current_progress;
  const base::TimeTicks grown_by =
      base::TimeTicks::Now() + base::TimeDelta::FromSeconds(30);
  int64_t size = 0;
  while ((!base::GetFileSize(attempt_file, &size) || size < seen + 100000) &&
         base::TimeTicks::Now() < grown_by) {
    base::PlatformThread::Sleep(base::TimeDelta::FromMilliseconds(10));
  }
  ASSERT_GE(size, seen + 100000);

  const base::TimeTicks start = base::TimeTicks::Now();
  fetcher.reset();
  EXPECT_LT(base::TimeTicks::Now() - start,
            WininetDownloader::kTerminationTimeLimit +
                base::TimeDelta::FromSeconds(2));
  // The worker is gone, so nothing can be posted any more; what it posted
  // before is queued here and must be dropped.
  const int reports = observer_.reports;
  base::RunLoop().RunUntilIdle();
  EXPECT_EQ(reports, observer_.reports);
  EXPECT_FALSE(base::PathExists(attempt_file));
}

// A hostile update server ends the attempt with "download failed" promptly
// (the stall period and the size cap made small), and what the attempt
// downloaded is deleted at once, before the next attempt or the fetcher's
// end.
TEST_F(PackageFetcherTest, HostileServersFailTheAttemptInTimeAndLeaveNothing) {
  constexpr base::TimeDelta kStall = base::TimeDelta::FromSeconds(2);
  WininetDownloader::ScopedStallTimeLimitForTesting stall(kStall);
  PackageFetcher::ScopedMaxPackageSizeForTesting max_size(8 << 20);
  const FilePath package =
      MakePackage(test::MakeArchiveOfTree(source_), L"package.exe");
  const std::string file_steps = test::FileBodySteps(package);
  // The steps of the package's answer with |extra| members.
  auto package_steps = [&](const std::string& extra) {
    return file_steps.substr(0, file_steps.rfind('}')) + ", " + extra + "}]";
  };
  const struct {
    const char* name;
    std::string address_steps;  // Empty: the package's address.
    std::string package_steps;
    const char* reason;                  // In the attempt's "failure_reason".
    const char* other_reason = nullptr;  // Or this one, when not null.
  } kCases[] = {
      {"announces a terabyte", "",
       package_steps(R"("content_length": 1000000000000)"),
       "The server announces 1000000000000 bytes, more than the 8388608 "
       "allowed"},
      {"endless past its length", "",
       R"([{"endless": true, "content_length": 200000}])",
       "The body is longer than the 200000 bytes announced",
       // WinINet may also stop at the announced length by itself.
       "Checksum incorrect for the downloaded package"},
      {"endless", "", R"([{"endless": true}])",
       "The body is longer than the 8388608 bytes allowed"},
      // WinINet under Wine drains such a body in whichever thread closes
      // it last, for as long as the server sends.
      {"endless chunks", "", R"([{"endless": true, "chunked": true}])",
       "The body is longer than the 8388608 bytes allowed"},
      // Each connection would end after 3 s, well after its stall.
      {"drips a byte every 2 s", "",
       R"([{"pattern_size": 100000, "rate": 0.5, "close_after": 3}])",
       "The server stalled 3"},
      {"never answers the address", R"([{"silent": 3}])", "",
       "The server stalled 3"},
  };
  PayloadReader own(temp_.GetPath().Append(L"net.exe"));
  for (const auto& test_case : kCases) {
    SCOPED_TRACE(test_case.name);
    ServePackage(package);
    if (!test_case.package_steps.empty())
      Serve("/package.exe", test_case.package_steps);
    if (!test_case.address_steps.empty())
      Serve("/address", test_case.address_steps);
    std::unique_ptr<PackageFetcher> fetcher = MakeFetcher(&own);
    const base::TimeTicks start = base::TimeTicks::Now();
    EXPECT_EQ(FETCHER_STATUS_DOWNLOAD_FAILED, Fetch(fetcher.get()));
    EXPECT_LT(base::TimeTicks::Now() - start, base::TimeDelta::FromSeconds(30));
    const std::string reason = LastAttemptString("failure_reason");
    EXPECT_TRUE(reason.find(test_case.reason) != std::string::npos ||
                (test_case.other_reason &&
                 reason.find(test_case.other_reason) != std::string::npos))
        << reason;
    EXPECT_EQ(std::vector<FilePath>{fetcher->package_path()},
              DownloadFolderFiles());
    fetcher.reset();
    EXPECT_TRUE(DownloadFolderFiles().empty());
  }
}

// Installers started in the same second share the download folder: each
// fetcher takes names of its own (the stamp, then the process id and a
// counter), so that they neither share nor delete each other's files.
TEST_F(PackageFetcherTest, FetchersOfOneSecondTakeNamesOfTheirOwn) {
  // Another run holds the plain names of the coming seconds, and a folder
  // left behind one more.
  std::vector<FilePath> others;
  const base::Time now = base::Time::Now();
  for (int second = 0; second < 30; ++second) {
    base::Time::Exploded at;
    (now + base::TimeDelta::FromSeconds(second)).LocalExplode(&at);
    const std::string stamp =
        base::StringPrintf("%04d%02d%02d%02d%02d%02d", at.year, at.month,
                           at.day_of_month, at.hour, at.minute, at.second);
    others.push_back(
        download_.AppendASCII("kelvo_installer_" + stamp + ".exe"));
    WriteTextFile(others.back(), "");
    others.push_back(
        download_.AppendASCII("kelvo_installer_" + stamp + "_" +
                              base::NumberToString(::GetCurrentProcessId())));
    ASSERT_TRUE(base::CreateDirectory(others.back()));
  }
  ServePackage(MakePackage(test::MakeArchiveOfTree(source_), L"package.exe"));
  PayloadReader own(temp_.GetPath().Append(L"net.exe"));
  std::vector<std::unique_ptr<PackageFetcher>> fetchers;
  for (int i = 0; i < 3; ++i)
    fetchers.push_back(MakeFetcher(&own, /*want_suite=*/true));
  const std::wstring first = fetchers[0]->package_path().BaseName().value();
  // The plain name and the one with the process id are taken.
  EXPECT_TRUE(base::EndsWith(
      first, L"_" + base::NumberToString16(::GetCurrentProcessId()) + L"_1.exe",
      base::CompareCase::SENSITIVE))
      << first;
  std::set<FilePath> names;
  for (const auto& fetcher : fetchers) {
    names.insert(fetcher->package_path());
    EXPECT_TRUE(base::PathExists(fetcher->package_path()));
    // The suite shares the package's stamp.
    EXPECT_EQ(fetcher->package_path().BaseName().value().substr(
                  strlen("kelvo_installer")),
              fetcher->suite_path().BaseName().value().substr(strlen("suite")));
  }
  EXPECT_EQ(3u, names.size());

  // All three fetch at once, each into its own folder.
  for (const auto& fetcher : fetchers)
    fetcher->Start();
  ASSERT_TRUE(RunUntil([&] {
    return std::count_if(observer_.statuses.begin(), observer_.statuses.end(),
                         [](int status) {
                           return status >= FETCHER_STATUS_PACKAGE_READY;
                         }) == 3;
  }));
  for (const auto& fetcher : fetchers) {
    std::map<std::wstring, std::string> tree =
        test::ReadFileTree(fetcher->package_folder());
    EXPECT_EQ(kTrackingData, tree[L"server_tracking_data"]);
    tree.erase(L"server_tracking_data");
    EXPECT_EQ(test::ReadFileTree(source_), tree);
  }
  fetchers.clear();
  std::vector<FilePath> left = DownloadFolderFiles();
  std::sort(left.begin(), left.end());
  std::sort(others.begin(), others.end());
  EXPECT_EQ(others, left);
}

// Another program that wrote its own program over the suite's downloaded
// archive once it was checked got it started in its place. Starting it
// waits for the launch lock, held here: the moment such a program needs.
// The stand-in copies itself to suite_installer.exe when it runs.
TEST_F(PackageFetcherTest, ArchiveReplacedAfterItsDownloadIsNeverStarted) {
  ServePackage(MakePackage(test::MakeArchiveOfTree(source_), L"package.exe"),
               std::string(),
               "\"components\": [{\"type\": \"suite\", \"location\": \"" +
                   Url("/suite_sfx.exe") +
                   "\", \"archive\": 1, \"checksum\": \"" +
                   test::FileChecksum(StandIn()) + "\"}]");
  // The answer waits, so that the lock is held before the archive is.
  Serve("/suite_sfx.exe", "[{\"delay\": 2, \"file\": \"" +
                              base::WideToUTF8(test::UnixPath(StandIn())) +
                              "\"}]");
  const FilePath impostor = MakePackage("another program", L"impostor.exe");
  std::string impostor_bytes;
  ASSERT_TRUE(base::ReadFileToString(impostor, &impostor_bytes));
  int64_t size = 0;
  ASSERT_TRUE(base::GetFileSize(StandIn(), &size));
  PayloadReader own(temp_.GetPath().Append(L"net.exe"));
  std::unique_ptr<PackageFetcher> fetcher = MakeFetcher(&own, true);
  // The fetch makes the suite folder new: its stand-ins answer from the
  // download folder above it.
  const FilePath suite = fetcher->suite_folder();
  const FilePath archive = suite.Append(L"suite_sfx.exe");

  fetcher->Start();
  // The package's own version check is done once the suite downloads.
  ASSERT_TRUE(RunUntil([&] {
    return base::PathExists(download_.Append(L"additional_file.tmp"));
  }));
  {
    base::AutoLock hold(GetProcessLaunchLock());
    int64_t written = 0;
    ASSERT_TRUE(RunUntil([&] {
      return base::GetFileSize(archive, &written) && written == size;
    }));
    base::test::OverwriteWhenWritable(archive, impostor_bytes,
                                      base::TimeDelta::FromSeconds(1));
  }
  EXPECT_EQ(FETCHER_STATUS_PACKAGE_READY, observer_.WaitForResult());
  std::string installer;
  base::ReadFileToString(suite.Append(L"suite_installer.exe"), &installer);
  EXPECT_EQ(std::string::npos, installer.find("another program"))
      << "the other program's archive ran";
}

// Links planted at the names of the attempt's files, which the stamp makes
// known in advance, led the download and the archive over files elsewhere.
// The attempt takes other names, and the files elsewhere stay as they were.
TEST_F(PackageFetcherTest, LinksAtTheAttemptFilesNamesAreNotFollowed) {
  ServePackage(MakePackage(test::MakeArchiveOfTree(source_), L"package.exe"));
  PayloadReader own(temp_.GetPath().Append(L"net.exe"));
  std::unique_ptr<PackageFetcher> fetcher = MakeFetcher(&own);
  const FilePath attempt_file =
      fetcher->package_path().InsertBeforeExtension(L"_0");
  const FilePath archive = attempt_file.ReplaceExtension(L"7z");
  const FilePath victims[] = {temp_.GetPath().Append(L"document.txt"),
                              temp_.GetPath().Append(L"settings.ini")};
  for (const FilePath& victim : victims)
    WriteTextFile(victim, "precious");
  ASSERT_TRUE(base::test::MakeFileLink(attempt_file, victims[0]));
  ASSERT_TRUE(base::test::MakeFileLink(archive, victims[1]));

  EXPECT_EQ(FETCHER_STATUS_PACKAGE_READY, Fetch(fetcher.get()));
  EXPECT_EQ(test::ReadFileTree(source_).size() + 1,
            test::ReadFileTree(fetcher->package_folder()).size());
  fetcher.reset();
  for (const FilePath& victim : victims)
    EXPECT_EQ("precious", test::ReadTextFile(victim)) << victim;
  base::test::RemoveLink(attempt_file);
  base::test::RemoveLink(archive);
  // Nothing of the attempt is left beside the links.
  EXPECT_TRUE(DownloadFolderFiles().empty());
}

// Another program that wrote its own package over the downloaded one once
// the download was checked got its program started for the version check
// and its archive unpacked as the package. The version check waits for the
// launch lock, held here: the moment such a program needs.
TEST_F(PackageFetcherTest, PackageReplacedAfterItsDownloadIsNeverUsed) {
  const FilePath package =
      MakePackage(test::MakeArchiveOfTree(source_), L"package.exe");
  const FilePath evil_tree = temp_.GetPath().Append(L"evil");
  WriteTextFile(evil_tree.Append(L"files_list"), "kelvo.exe\r\n");
  WriteTextFile(evil_tree.Append(L"kelvo.exe"), "not the browser");
  const FilePath impostor =
      MakePackage(test::MakeArchiveOfTree(evil_tree), L"impostor.exe");
  std::string impostor_bytes;
  ASSERT_TRUE(base::ReadFileToString(impostor, &impostor_bytes));
  int64_t size = 0;
  ASSERT_TRUE(base::GetFileSize(package, &size));
  ServePackage(package);
  PayloadReader own(temp_.GetPath().Append(L"net.exe"));
  std::unique_ptr<PackageFetcher> fetcher = MakeFetcher(&own);
  const FilePath attempt_file =
      fetcher->package_path().InsertBeforeExtension(L"_0");

  bool replaced = false;
  {
    base::AutoLock hold(GetProcessLaunchLock());
    fetcher->Start();
    int64_t written = 0;
    ASSERT_TRUE(RunUntil([&] {
      return base::GetFileSize(attempt_file, &written) && written == size;
    }));
    replaced = base::test::OverwriteWhenWritable(
        attempt_file, impostor_bytes, base::TimeDelta::FromSeconds(1));
  }
  const int status = observer_.WaitForResult();
  std::map<std::wstring, std::string> tree =
      test::ReadFileTree(fetcher->package_folder());
  EXPECT_NE("not the browser", tree[L"kelvo.exe"]);
  if (status == FETCHER_STATUS_PACKAGE_READY) {
    EXPECT_FALSE(replaced);
    tree.erase(L"server_tracking_data");
    EXPECT_EQ(test::ReadFileTree(source_), tree);
  } else {
    // The other program wrote it in the moment before it was held.
    EXPECT_EQ("Checksum incorrect for the downloaded package",
              LastAttemptString("failure_reason"));
  }
}

}  // namespace
}  // namespace installer
