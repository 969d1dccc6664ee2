#include "desktop/windows/installer/install_log_writer.h"

#include <string>

#include "base/files/important_file_writer.h"
#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"

namespace installer {

namespace {

const char* FlagText(bool flag) {
  return flag ? "True" : "False";
}

std::string PathText(const base::FilePath& path) {
  return base::WideToUTF8(path.value());
}

}  // namespace

InstallLogWriter::InstallLogWriter() : xml_(&document_) {}

InstallLogWriter::~InstallLogWriter() = default;

bool InstallLogWriter::WriteToFile(const InstallLog& log,
                                   const base::FilePath& path) {
  std::string text;
  if (!WriteToString(log, &text))
    return false;
  // The log is the only record of what to remove later: never leave a
  // truncated one behind.
  if (!base::ImportantFileWriter::WriteFileAtomically(path, text)) {
    LOG(ERROR) << "Cannot write the install log " << path.value();
    return false;
  }
  return true;
}

bool InstallLogWriter::WriteToString(const InstallLog& log, std::string* text) {
  if (!document_.Create()) {
    LOG(ERROR) << "Cannot create an XML document for the install log";
    return false;
  }
  if (!BuildDocument(log) || !document_.SaveIndented(text)) {
    LOG(ERROR) << "Cannot build the install log document";
    return false;
  }
  return true;
}

bool InstallLogWriter::BuildDocument(const InstallLog& log) {
  if (!WriteRoot(log) || !WritePath(log) ||
      !WriteFileList("files", log.files)) {
    return false;
  }
  if (!log.root_files.empty() && !WriteFileList("root_files", log.root_files))
    return false;
  if (!log.hklm_keys.empty() && !WriteRegistry("HKLM", log.hklm_keys))
    return false;
  if (!log.hkcu_keys.empty() && !WriteRegistry("HKCU", log.hkcu_keys))
    return false;
  if (!WriteShortcuts(log))
    return false;
  return log.components.empty() || WriteComponents(log.components);
}

bool InstallLogWriter::WriteRoot(const InstallLog& log) {
  return xml_.StartElement("install_log") &&
         xml_.SetAttribute("version", log.version) &&
         xml_.SetAttribute("copy_only", FlagText(log.copy_only)) &&
         xml_.SetAttribute("all_users", FlagText(log.all_users)) &&
         xml_.SetAttribute("pinned", FlagText(log.pinned)) &&
         xml_.SetAttribute("app_id", log.app_id) &&
         xml_.SetAttribute(
             "last_band_check",
             base::Int64ToString(log.last_band_check.ToInternalValue()));
}

bool InstallLogWriter::WritePath(const InstallLog& log) {
  return xml_.StartElement("path") &&
         xml_.SetAttribute("subfolder", PathText(log.subfolder)) &&
         xml_.SetText(PathText(log.install_path)) && xml_.EndElement();
}

bool InstallLogWriter::WriteFileList(std::string_view name,
                                     const std::vector<base::FilePath>& files) {
  if (!xml_.StartElement(name))
    return false;
  for (const base::FilePath& file : files) {
    if (!WriteTextElement("file", PathText(file)))
      return false;
  }
  return xml_.EndElement();
}

bool InstallLogWriter::WriteRegistry(
    std::string_view hive,
    const std::vector<InstallLog::RegistryKey>& keys) {
  if (!xml_.StartElement("registry") || !xml_.SetAttribute("hive", hive))
    return false;
  for (const InstallLog::RegistryKey& key : keys) {
    if (!WriteRegistryKey(key))
      return false;
  }
  return xml_.EndElement();
}

bool InstallLogWriter::WriteRegistryKey(const InstallLog::RegistryKey& key) {
  if (!xml_.StartElement("key") || !xml_.SetAttribute("path", key.key_path) ||
      !xml_.SetAttribute("clean", base::IntToString(key.clean_level))) {
    return false;
  }
  for (const InstallLog::RegistryValue& value : key.values) {
    if (!xml_.StartElement("value") || !xml_.SetAttribute("name", value.name) ||
        !xml_.SetAttribute("type", value.type) || !xml_.SetText(value.data) ||
        !xml_.EndElement()) {
      return false;
    }
  }
  return xml_.EndElement();
}

bool InstallLogWriter::WriteShortcuts(const InstallLog& log) {
  struct Shortcut {
    const base::FilePath& path;
    const char* type;
  };
  const Shortcut shortcuts[] = {
      {log.desktop_shortcut,
       log.all_users ? "SC_DEST_COMMON_DESKTOP" : "SC_DEST_DESKTOP"},
      {log.start_menu_shortcut,
       log.all_users ? "SC_DEST_COMMON_MENU" : "SC_DEST_MENU"},
      {log.quick_launch_shortcut, "SC_DEST_QUICK_LAUNCH"},
  };
  for (const Shortcut& shortcut : shortcuts) {
    if (shortcut.path.empty())
      continue;
    if (!xml_.StartElement("shortcut") ||
        !xml_.SetAttribute("type", shortcut.type) ||
        !xml_.SetText(PathText(shortcut.path)) || !xml_.EndElement()) {
      return false;
    }
  }
  return true;
}

bool InstallLogWriter::WriteComponents(
    const std::vector<InstallLog::Component>& components) {
  if (!xml_.StartElement("components"))
    return false;
  for (const InstallLog::Component& component : components) {
    if (!xml_.StartElement("component") ||
        !WriteTextElement("name", component.name) ||
        !WriteTextElement("path", PathText(component.path)) ||
        !xml_.EndElement()) {
      return false;
    }
  }
  return xml_.EndElement();
}

bool InstallLogWriter::WriteTextElement(std::string_view name,
                                        std::string_view text) {
  return xml_.StartElement(name) && xml_.SetText(text) && xml_.EndElement();
}

}  // namespace installer
