#include "desktop/windows/installer/uninstall_batch.h"

#include <windows.h>

#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/process/launch.h"
#include "base/strings/string_util.h"

namespace installer {

const wchar_t kUninstallBatchFileName[] = L"k.bat";

namespace {

// |text| in the OEM code page; false when a character has no exact
// equivalent there.
bool ConvertToOem(const std::wstring& text, std::string* oem) {
  if (text.empty())
    return false;
  BOOL used_default = FALSE;
  int size = ::WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, text.data(),
                                   static_cast<int>(text.size()), nullptr, 0,
                                   nullptr, &used_default);
  if (size <= 0 || used_default)
    return false;
  oem->resize(size);
  ::WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, text.data(),
                        static_cast<int>(text.size()), oem->data(), size,
                        nullptr, nullptr);
  // Some code pages map a character without using the default and still
  // not to itself; only a round trip proves the conversion exact.
  int back_size =
      ::MultiByteToWideChar(CP_OEMCP, 0, oem->data(), size, nullptr, 0);
  std::wstring back(back_size, L'\0');
  ::MultiByteToWideChar(CP_OEMCP, 0, oem->data(), size, back.data(), back_size);
  return back == text;
}

}  // namespace

bool GetBatchFilePathText(const base::FilePath& path, std::string* text) {
  std::string converted;
  if (!ConvertToOem(path.value(), &converted)) {
    wchar_t short_path[MAX_PATH];
    DWORD length =
        ::GetShortPathNameW(path.value().c_str(), short_path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH ||
        !ConvertToOem(std::wstring(short_path, length), &converted)) {
      return false;
    }
  }
  // cmd.exe expands "%" in batch lines; "%%" is a literal one.
  base::ReplaceSubstringsAfterOffset(&converted, 0, "%", "%%");
  *text = std::move(converted);
  return true;
}

bool UninstallBatch::DescendingPath::operator()(const base::FilePath& a,
                                                const base::FilePath& b) const {
  return base::FilePath::CompareIgnoreCase(a.value(), b.value()) > 0;
}

UninstallBatch::UninstallBatch(const base::FilePath& install_folder)
    : install_folder_(install_folder),
      path_(install_folder.Append(kUninstallBatchFileName)) {}

UninstallBatch::~UninstallBatch() = default;

void UninstallBatch::AddProcess(int number, uint32_t pid) {
  DCHECK(number >= 1 && number <= 3);
  if (pid != 0)
    processes_.emplace_back(number, pid);
}

void UninstallBatch::AddFile(const base::FilePath& path) {
  files_.push_back(path);
  if (!install_folder_.IsParentIgnoringCase(path))
    return;
  for (base::FilePath folder = path.DirName();
       install_folder_.IsParentIgnoringCase(folder);
       folder = folder.DirName()) {
    folders_.insert(folder);
  }
}

std::string UninstallBatch::GetText() const {
  std::string text;
  for (const auto& [number, pid] : processes_)
    text += "SET PID" + std::to_string(number) + "_RUNNING=TRUE\n";
  text += ":again\n";
  for (const auto& [number, pid] : processes_) {
    std::string flag = "PID" + std::to_string(number) + "_RUNNING";
    text += "IF %" + flag + "%==TRUE (\n";
    text += "TASKLIST /FI \"PID eq " + std::to_string(pid) +
            "\" | FIND /c /i \".exe\"\n";
    text += "IF ERRORLEVEL 1 SET " + flag + "=FALSE\n";
    text += ")\n";
  }
  text += "ping -n 2 127.0.0.1\n";
  for (const auto& [number, pid] : processes_) {
    text +=
        "IF %PID" + std::to_string(number) + "_RUNNING%==TRUE GOTO :again\n";
  }
  auto add_paths = [&text](const char* command, const auto& paths) {
    for (const base::FilePath& path : paths) {
      std::string path_text;
      if (GetBatchFilePathText(path, &path_text))
        text += std::string(command) + " \"" + path_text + "\"\n";
      else
        LOG(WARNING) << "Path not expressible in the uninstall batch: " << path;
    }
  };
  add_paths("del", files_);
  add_paths("rmdir", folders_);
  text += "del %0\n";
  return text;
}

bool UninstallBatch::Write() const {
  std::string text = GetText();
  int size = static_cast<int>(text.size());
  if (base::WriteFile(path_, text.data(), size) != size) {
    LOG(ERROR) << "Could not write " << path_;
    return false;
  }
  return true;
}

void RunUninstallBatch(const base::FilePath& folder) {
  base::FilePath batch = folder.Append(kUninstallBatchFileName);
  if (!base::PathExists(batch)) {
    LOG(INFO) << "No uninstall batch file in " << folder;
    return;
  }
  LOG(INFO) << "Starting " << batch;
  base::LaunchOptions options;
  options.start_hidden = true;
  base::Process process =
      base::LaunchProcess(base::CommandLine(batch), options);
  if (!process.IsValid())
    LOG(ERROR) << "Cannot start " << batch;
}

}  // namespace installer
