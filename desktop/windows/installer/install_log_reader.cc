#include "desktop/windows/installer/install_log_reader.h"

#include <utility>

#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/time/time.h"
#include "desktop/windows/installer/install_log_checks.h"

namespace installer {

namespace {

// Only this exact text is true; "true" is not.
constexpr char kTrue[] = "True";

bool IsOptionalSectionName(const std::string& name) {
  return name == "registry" || name == "shortcut" || name == "components";
}

// Paths are stored as UTF-8 and may be surrounded by the line breaks and
// blanks of an edited file.
base::FilePath TextToPath(const std::string& utf8) {
  std::wstring wide;
  base::TrimWhitespace(base::UTF8ToWide(utf8), base::TRIM_ALL, &wide);
  // FilePath cuts the text at a NUL.
  return base::FilePath(wide);
}

}  // namespace

InstallLogReader::InstallLogReader() : xml_(&document_) {}

InstallLogReader::~InstallLogReader() = default;

bool InstallLogReader::Read(InstallLog* log, const base::FilePath& path) {
  DCHECK(log);
  error_.clear();
  // Read into a copy so that a failure leaves no half-read log behind.
  InstallLog result = *log;
  result.files.clear();
  result.root_files.clear();
  result.hklm_keys.clear();
  result.hkcu_keys.clear();
  if (!ReadDocument(path, &result)) {
    LOG(WARNING) << "Cannot read install log " << path.value() << ": "
                 << (error_.empty() ? "malformed registry or shortcut entry"
                                    : error_);
    return false;
  }
  if (!RemoveUnsafeEntries(&result)) {
    error_ = "The subfolder attribute does not name a folder below the path";
    LOG(WARNING) << "Cannot read install log " << path.value() << ": "
                 << error_;
    return false;
  }
  *log = std::move(result);
  return true;
}

bool InstallLogReader::ReadDocument(const base::FilePath& path,
                                    InstallLog* log) {
  if (!document_.Load(path))
    return Fail("Cannot parse the file as XML");
  if (!ReadRoot(log) || !ReadPath(log) || !ReadFiles(log))
    return false;
  std::string name;
  bool at_end = false;
  if (!ReadRootFiles(log, &name, &at_end))
    return false;
  if (!at_end && !ReadRegistry(log, &name, &at_end))
    return false;
  if (!at_end && !ReadShortcuts(log, &name, &at_end))
    return false;
  if (!at_end && !ReadComponents(log))
    return false;
  return true;
}

bool InstallLogReader::ReadRoot(InstallLog* log) {
  if (xml_.FirstChildElement() != XmlReader::kMoved)
    return Fail("Cannot proceed to the root element");
  if (!IsNamed("install_log"))
    return Fail("The root element's name is invalid");
  if (!xml_.GetAttribute("version", &log->version))
    return Fail("There's no version attribute on the root element");
  xml_.GetAttribute("app_id", &log->app_id);
  std::string flag;
  if (!xml_.GetAttribute("copy_only", &flag))
    return Fail("There's no copy_only attribute on the root element");
  log->copy_only = flag == kTrue;
  if (!xml_.GetAttribute("all_users", &flag))
    return Fail("There's no all_users attribute on the root element");
  log->all_users = flag == kTrue;
  if (!xml_.GetAttribute("pinned", &flag))
    return Fail("There's no pinned attribute on the root element");
  log->pinned = flag == kTrue;
  std::string band_check;
  if (!xml_.GetAttribute("last_band_check", &band_check)) {
    log->last_band_check = base::Time::Now();
    return true;
  }
  int64_t microseconds = 0;
  if (!base::StringToInt64(band_check, &microseconds))
    return Fail("Last band check has an invalid value");
  log->last_band_check = base::Time::FromInternalValue(microseconds);
  return true;
}

bool InstallLogReader::ReadPath(InstallLog* log) {
  if (xml_.FirstChildElement() != XmlReader::kMoved)
    return Fail("Cannot proceed to the path");
  if (!IsNamed("path"))
    return Fail("The path element is not named correctly");
  std::string text;
  if (xml_.GetAttribute("subfolder", &text))
    log->subfolder = TextToPath(text);
  if (!xml_.GetText(&text))
    return Fail("Cannot get text contents of path");
  log->install_path = TextToPath(text);
  return true;
}

bool InstallLogReader::ReadFiles(InstallLog* log) {
  if (xml_.NextSiblingElement() != XmlReader::kMoved)
    return Fail("Cannot go to files element");
  if (!IsNamed("files"))
    return Fail("Files element is incorrectly named");
  static constexpr FileListErrors kErrors = {
      "Cannot proceed to the first file on the list",
      "File element is incorrectly named",
      "Cannot get text content of a file element",
      "Failed traversing the files list",
      "Cannot get back to the files list",
  };
  return ReadFileList(kErrors, &log->files);
}

bool InstallLogReader::ReadFileList(const FileListErrors& errors,
                                    std::vector<base::FilePath>* list) {
  if (xml_.FirstChildElement() != XmlReader::kMoved)
    return Fail(errors.no_first_file);
  XmlReader::MoveResult move = XmlReader::kMoved;
  do {
    if (!IsNamed("file"))
      return Fail(errors.bad_name);
    std::string text;
    if (!xml_.GetText(&text))
      return Fail(errors.no_text);
    list->push_back(TextToPath(text));
    move = xml_.NextSiblingElement();
    if (move == XmlReader::kFailed)
      return Fail(errors.traversal);
  } while (move == XmlReader::kMoved);
  if (xml_.Parent() != XmlReader::kMoved)
    return Fail(errors.no_way_back);
  return true;
}

bool InstallLogReader::ReadRootFiles(InstallLog* log,
                                     std::string* name,
                                     bool* at_end) {
  // Older installers left this text behind even when the file simply ends
  // here; callers only look at it after a failure.
  error_ = "Cannot proceed to the expected root files list";
  XmlReader::MoveResult move = xml_.NextSiblingElement();
  if (move == XmlReader::kNoElement) {
    *at_end = true;
    return true;
  }
  if (move == XmlReader::kFailed)
    return false;
  error_.clear();
  if (!xml_.GetNodeName(name))
    return Fail("Cannot get the expected root files list name");
  if (*name != "root_files") {
    if (!IsOptionalSectionName(*name))
      return Fail("Invalid element in place of the optional root files list");
    return true;
  }
  static constexpr FileListErrors kErrors = {
      "Cannot proceed to the first root file",
      "A root file is incorrectly named",
      "Cannot get text of a root file",
      "Failed traversing the root files list",
      "Cannot get back to the root files list",
  };
  if (!ReadFileList(kErrors, &log->root_files))
    return false;
  return ReadRootFilesSuccessor(name, at_end);
}

bool InstallLogReader::ReadRootFilesSuccessor(std::string* name, bool* at_end) {
  XmlReader::MoveResult move = xml_.NextSiblingElement();
  if (move == XmlReader::kNoElement) {
    *at_end = true;
    return true;
  }
  if (move == XmlReader::kFailed)
    return Fail("Cannot proceed from the root files list");
  if (!xml_.GetNodeName(name))
    return Fail("Cannot get root files list successor name");
  if (!IsOptionalSectionName(*name))
    return Fail("Invalid successor of root files list");
  return true;
}

bool InstallLogReader::ReadRegistry(InstallLog* log,
                                    std::string* name,
                                    bool* at_end) {
  while (*name == "registry") {
    if (!ReadRegistryElement(log))
      return false;
    XmlReader::MoveResult move = xml_.NextSiblingElement();
    if (move == XmlReader::kNoElement) {
      *at_end = true;
      return true;
    }
    if (move == XmlReader::kFailed || !xml_.GetNodeName(name))
      return Fail("Failure while traversing registry keys");
  }
  if (*name != "shortcut" && *name != "components")
    return Fail("Invalid successor of the registry element");
  return true;
}

// Malformed keys and values fail without a text of their own.
bool InstallLogReader::ReadRegistryElement(InstallLog* log) {
  std::string hive;
  if (!xml_.GetAttribute("hive", &hive))
    return Fail("Cannot get the hive attibute of a registry element");
  std::vector<InstallLog::RegistryKey>* keys = nullptr;
  if (hive == "HKLM")
    keys = &log->hklm_keys;
  else if (hive == "HKCU")
    keys = &log->hkcu_keys;
  else
    return Fail("The hive attribute is not HKLM nor HKCU");
  if (xml_.FirstChildElement() != XmlReader::kMoved)
    return false;
  XmlReader::MoveResult move = XmlReader::kMoved;
  do {
    InstallLog::RegistryKey key;
    if (!ReadRegistryKey(&key))
      return false;
    keys->push_back(std::move(key));
    move = xml_.NextSiblingElement();
  } while (move == XmlReader::kMoved);
  return move == XmlReader::kNoElement && xml_.Parent() == XmlReader::kMoved;
}

bool InstallLogReader::ReadRegistryKey(InstallLog::RegistryKey* key) {
  std::string clean;
  if (!IsNamed("key") || !xml_.GetAttribute("path", &key->key_path) ||
      !xml_.GetAttribute("clean", &clean) ||
      !base::StringToInt(clean, &key->clean_level)) {
    return false;
  }
  XmlReader::MoveResult move = xml_.FirstChildElement();
  if (move == XmlReader::kNoElement)
    return true;
  while (move == XmlReader::kMoved) {
    InstallLog::RegistryValue value;
    if (!ReadRegistryValue(&value))
      return false;
    key->values.push_back(std::move(value));
    move = xml_.NextSiblingElement();
  }
  return move == XmlReader::kNoElement && xml_.Parent() == XmlReader::kMoved;
}

bool InstallLogReader::ReadRegistryValue(InstallLog::RegistryValue* value) {
  std::string data;
  if (!IsNamed("value") || !xml_.GetAttribute("name", &value->name) ||
      !xml_.GetAttribute("type", &value->type) || !xml_.GetText(&data)) {
    return false;
  }
  value->data = std::string(base::TrimWhitespaceASCII(data, base::TRIM_ALL));
  return true;
}

bool InstallLogReader::ReadShortcuts(InstallLog* log,
                                     std::string* name,
                                     bool* at_end) {
  while (*name == "shortcut") {
    if (!ReadShortcut(log))
      return false;
    XmlReader::SiblingFailure failure = XmlReader::SiblingFailure::kNone;
    XmlReader::MoveResult move = xml_.NextSiblingElement(&failure);
    if (move == XmlReader::kNoElement) {
      *at_end = true;
      return true;
    }
    if (failure == XmlReader::SiblingFailure::kNextNode)
      return Fail("Failure while traversing shortcuts");
    if (move == XmlReader::kFailed)
      return Fail("Failure trying to proceed to the shortcut successor");
    if (!xml_.GetNodeName(name))
      return Fail("Failed getting the shortcut successor element name");
  }
  // Only the components may follow the shortcuts.
  return *name == "components";
}

bool InstallLogReader::ReadShortcut(InstallLog* log) {
  std::string type;
  if (!xml_.GetAttribute("type", &type))
    return Fail("A shortcut element doesn't feature a type attribute");
  std::string text;
  if (!xml_.GetText(&text))
    return false;
  // Both the per-user and the all-users form of a pair name the same field.
  base::FilePath* shortcut = nullptr;
  if (type == "SC_DEST_DESKTOP" || type == "SC_DEST_COMMON_DESKTOP")
    shortcut = &log->desktop_shortcut;
  else if (type == "SC_DEST_MENU" || type == "SC_DEST_COMMON_MENU")
    shortcut = &log->start_menu_shortcut;
  else if (type == "SC_DEST_QUICK_LAUNCH")
    shortcut = &log->quick_launch_shortcut;
  else
    return Fail("Invalid shortcut type " + type);
  *shortcut = TextToPath(text);
  return true;
}

bool InstallLogReader::ReadComponents(InstallLog* log) {
  DCHECK(IsNamed("components"));
  if (xml_.FirstChildElement() != XmlReader::kMoved)
    return Fail("Failed going to the first component");
  XmlReader::MoveResult move = XmlReader::kMoved;
  do {
    InstallLog::Component component;
    if (!ReadComponent(&component))
      return false;
    log->components.push_back(std::move(component));
    move = xml_.NextSiblingElement();
    if (move == XmlReader::kFailed)
      return Fail("Failure while traversing components");
  } while (move == XmlReader::kMoved);
  if (xml_.Parent() != XmlReader::kMoved)
    return Fail("Cannot get back to the root of component list");
  if (xml_.NextSiblingElement() != XmlReader::kNoElement)
    return Fail("Components are not the last element in status");
  return true;
}

bool InstallLogReader::ReadComponent(InstallLog::Component* component) {
  if (!IsNamed("component"))
    return Fail("A component element is not called component");
  if (xml_.FirstChildElement() != XmlReader::kMoved)
    return Fail("Cannot go to first child of a component");
  if (!IsNamed("name"))
    return Fail("Component's first child is not called name");
  if (!xml_.GetText(&component->name))
    return Fail("Cannot get component's name as text");
  if (xml_.NextSiblingElement() != XmlReader::kMoved)
    return Fail("Cannot go to component.name sibling");
  if (!IsNamed("path"))
    return Fail("component.path is not called path");
  std::string path;
  if (!xml_.GetText(&path))
    return Fail("Cannot get the path of a component as text");
  component->path = TextToPath(path);
  if (xml_.Parent() != XmlReader::kMoved)
    return Fail("Cannot get back to the component's parent element");
  return true;
}

bool InstallLogReader::IsNamed(const char* expected) {
  std::string name;
  return xml_.GetNodeName(&name) && name == expected;
}

bool InstallLogReader::Fail(std::string error) {
  error_ = std::move(error);
  return false;
}

}  // namespace installer
