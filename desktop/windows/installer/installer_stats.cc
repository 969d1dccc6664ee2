#include "desktop/windows/installer/installer_stats.h"

#include <windows.h>

#include "base/command_line.h"
#include "base/files/file_path.h"
#include "base/json/json_writer.h"
#include "base/logging.h"
#include "base/process/process.h"
#include "base/process/process_handle.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/windows_version.h"
#include "crypto/sha2.h"
#include "desktop/windows/installer/product/version_info.h"
#include "desktop/windows/installer/service/utils.h"

namespace installer {

namespace {

// Whether |process| started no later than this process.
bool StartedBeforeUs(HANDLE process) {
  FILETIME created, self_created, unused1, unused2, unused3;
  if (!::GetProcessTimes(process, &created, &unused1, &unused2, &unused3) ||
      !::GetProcessTimes(::GetCurrentProcess(), &self_created, &unused1,
                         &unused2, &unused3)) {
    return false;
  }
  return ::CompareFileTime(&created, &self_created) <= 0;
}

std::wstring GetCurrentUserName() {
  std::wstring name;
  if (!GetUserName(&name)) {
    LOG(ERROR) << "GetUserName failed: "
               << logging::SystemErrorCodeToString(::GetLastError());
    return std::wstring();
  }
  return name;
}

std::wstring GetNetBiosComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!::GetComputerNameW(name, &size)) {
    LOG(ERROR) << "GetComputerName failed: "
               << logging::SystemErrorCodeToString(::GetLastError());
    return std::wstring();
  }
  return std::wstring(name, size);
}

// The switches and arguments this process was started with, quoted for
// Windows.
std::string GetCommandLineArguments() {
  return base::UTF16ToUTF8(
      base::CommandLine::FromString(::GetCommandLineW()).GetArgumentsString());
}

}  // namespace

InstallerStats::InstallerStats(UICallbackRunner* ui_callback_runner)
    : root_node_(&root_, &lock_, base::TimeTicks::Now()),
      sender_(ui_callback_runner, nullptr) {
  RecordInitialStats();
}

InstallerStats::~InstallerStats() = default;

std::string InstallerStats::GetJson() const {
  std::string json;
  base::AutoLock hold(lock_);
  if (!base::JSONWriter::Write(root_, &json))
    LOG(ERROR) << "The installer statistics hold a value JSON cannot express";
  return json;
}

void InstallerStats::RecordInitialStats() {
  InstallerStatsNode& root = root_node_;
  root.RecordTime("installer_start_time");
  root.RecordTimestamp("installation_start_time");

  root.SetString("version", GetProductVersion());
  root.SetString("stream", GetStream());
  root.SetString("product", GetProductName());

  const base::win::OSInfo* os_info = base::win::OSInfo::GetInstance();
  root.SetString("os.name", "windows");
  root.SetInteger("os.version.major", os_info->version_number().major);
  root.SetInteger("os.version.minor", os_info->version_number().minor);
  root.SetInteger("os.version.build", os_info->version_number().build);
  root.SetInteger("os.service_pack.major", os_info->service_pack().major);
  root.SetInteger("os.service_pack.minor", os_info->service_pack().minor);

  root.SetString("command_line_args", GetCommandLineArguments());

  // Names of programs are ASCII in practice; UTF-8 keeps any other intact.
  root.SetString("parent_process_name",
                 GetParentProcessImagePath().BaseName().AsUTF8Unsafe());
  root.SetInteger("parent_process_id",
                  static_cast<int>(base::GetParentProcessId(
                      base::GetCurrentProcessHandle())));

  root.SetString(
      "endpoint_name_hash",
      ComputeEndpointNameHash(GetCurrentUserName(), GetNetBiosComputerName()));
}

base::FilePath GetImagePathIfStartedBefore(base::ProcessId process_id) {
  base::Process process =
      base::Process::OpenWithAccess(process_id, base::kBasicProcessAccess);
  if (!process.IsValid() || !StartedBeforeUs(process.Handle()))
    return base::FilePath();
  base::FilePath path;
  if (!base::GetProcessImagePath(process.Handle(), &path))
    return base::FilePath();
  return path;
}

base::FilePath GetParentProcessImagePath() {
  return GetImagePathIfStartedBefore(
      base::GetParentProcessId(base::GetCurrentProcessHandle()));
}

std::string ComputeEndpointNameHash(const std::wstring& user_name,
                                    const std::wstring& computer_name) {
  const std::wstring name = user_name + computer_name;
  if (name.empty())
    return std::string();
  // wchar_t is a little-endian UTF-16 code unit on Windows.
  const std::string digest = crypto::SHA256HashString(
      std::string_view(reinterpret_cast<const char*>(name.data()),
                       name.size() * sizeof(wchar_t)));
  return base::ToLowerASCII(base::HexEncode(digest.data(), digest.size()));
}

}  // namespace installer
