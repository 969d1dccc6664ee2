#include "desktop/windows/crash_reporter/client_text_crash_log.h"

#include <windows.h>

#include <inttypes.h>
#include <psapi.h>
#include <wchar.h>

#include <iterator>
#include <map>

#include "base/files/file.h"
#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"
#include "components/crash_handler/client_info.h"
#include "desktop/windows/crash_reporter/debugger_attachment.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/product/version_info.h"

namespace crash_reporter {

namespace {

using crash_handler::CustomInfoEntry;

// Keys that are no metadata: the header shows the first two, the others go
// into uploads and records.
const wchar_t* const kNonMetadataKeys[] = {
    L"Version", L"build_number", L"ptime", L"URL", L"crash_guid", L"modules"};

// The text of a fixed array that may lack its terminator.
std::wstring ArrayText(const wchar_t* text, size_t size) {
  return std::wstring(text, wcsnlen(text, size));
}

bool IsPlainName(const wchar_t* name) {
  size_t length = wcsnlen(name, CustomInfoEntry::kNameMaxLength);
  if (length == 0 || length == CustomInfoEntry::kNameMaxLength)
    return false;
  for (size_t i = 0; i < length; ++i) {
    wchar_t c = name[i];
    if (!base::IsAsciiAlpha(c) && !base::IsAsciiDigit(c) && c != L'.' &&
        c != L'-' && c != L'_') {
      return false;
    }
  }
  return true;
}

bool IsMetadataKey(const std::wstring& name) {
  for (const wchar_t* key : kNonMetadataKeys) {
    if (name == key)
      return false;
  }
  return true;
}

// A client's text on one line of the log: control characters would let it
// forge lines of its own.
std::string OneLine(const std::wstring& text) {
  std::string utf8 = base::WideToUTF8(text);
  for (char& c : utf8) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
      c = '?';
  }
  return utf8;
}

struct MainModule {
  std::string name = "<no name>";
  uint64_t base = 0;
};

MainModule FindMainModule(HANDLE process) {
  MainModule main_module;
  HMODULE first = nullptr;
  DWORD needed = 0;
  wchar_t name[MAX_PATH];
  // The executable comes first.
  if (::EnumProcessModulesEx(process, &first, sizeof(first), &needed,
                             LIST_MODULES_ALL) &&
      first && ::GetModuleBaseNameW(process, first, name, MAX_PATH)) {
    main_module.name = base::WideToUTF8(name);
    main_module.base = reinterpret_cast<uintptr_t>(first);
  } else {
    PLOG(WARNING) << "Cannot find the main module of the crashed process";
  }
  return main_module;
}

std::string FindKeyValue(const crash_handler::CustomClientInfo& keys,
                         const wchar_t* name) {
  for (size_t i = 0; i < keys.count; ++i) {
    if (ArrayText(keys.entries[i].name, CustomInfoEntry::kNameMaxLength) ==
        name) {
      return OneLine(
          ArrayText(keys.entries[i].value, CustomInfoEntry::kValueMaxLength));
    }
  }
  return std::string();
}

std::string MakeLogText(const crash_handler::ClientInfo& client,
                        const crash_handler::CustomClientInfo& keys,
                        DWORD code,
                        uint64_t address) {
  std::string version = FindKeyValue(keys, L"Version");
  std::string build = FindKeyValue(keys, L"build_number");
  if (version.empty())
    version = installer::GetProductVersion();
  if (build.empty())
    build = base::NumberToString(installer::GetBuildNumber());
  MainModule main_module = FindMainModule(client.process_handle());
  std::string text = base::StringPrintf(
      "%s-CRASHLOG V1 desktop%s %s %s windows x64 release\r\n",
      base::ToUpperASCII(installer::GetProductName()).c_str(),
      installer::GetCrashLogProductSuffix().c_str(), version.c_str(),
      build.c_str());
  text += base::StringPrintf("%s caused exception %lX at address %012" PRIX64
                             " (Base: %012" PRIX64 ")\r\n",
                             main_module.name.c_str(), code, address,
                             main_module.base);
  auto metadata = CrashKeysToMetadata(keys);
  if (!metadata.empty()) {
    text += "\r\nmetadata:\r\n";
    for (const auto& [name, value] : metadata)
      text += name + "=\"" + value + "\"\r\n";
  }
  return text;
}

}  // namespace

bool WriteClientTextCrashLog(const crash_handler::ClientInfo& client,
                             const base::FilePath& path) {
  DebuggerAttachment attachment(client.pid());
  crash_handler::CustomClientInfo keys = {};
  client.GetCustomInfo(&keys);
  DWORD code = 0;
  uint64_t address = 0;
  if (!client.ReadExceptionRecord(&code, &address)) {
    LOG(ERROR) << "Cannot read the exception of process " << client.pid();
    base::DeleteFile(path, false);
    return false;
  }
  std::string text = MakeLogText(client, keys, code, address);
  base::File file(path,
                  base::File::FLAG_CREATE_ALWAYS | base::File::FLAG_WRITE);
  if (!file.IsValid() ||
      file.Write(0, text.data(), static_cast<int>(text.size())) !=
          static_cast<int>(text.size())) {
    LOG(ERROR) << "Cannot write the crash log " << path;
    file.Close();
    base::DeleteFile(path, false);
    return false;
  }
  return true;
}

std::vector<std::pair<std::string, std::string>> CrashKeysToMetadata(
    const crash_handler::CustomClientInfo& keys) {
  std::vector<std::wstring> order;
  std::map<std::wstring, std::wstring> values;
  for (size_t i = 0; i < keys.count; ++i) {
    const CustomInfoEntry& entry = keys.entries[i];
    if (!IsPlainName(entry.name))
      continue;
    std::wstring name = entry.name;
    if (!IsMetadataKey(name))
      continue;
    if (!values.count(name))
      order.push_back(name);
    values[name] += ArrayText(entry.value, CustomInfoEntry::kValueMaxLength);
  }
  std::vector<std::pair<std::string, std::string>> metadata;
  for (const std::wstring& name : order) {
    if (!values[name].empty())
      metadata.emplace_back(base::WideToUTF8(name), OneLine(values[name]));
  }
  return metadata;
}

}  // namespace crash_reporter
