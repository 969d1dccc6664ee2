#include "desktop/windows/installer/registry_record_check.h"

#include <algorithm>
#include <utility>

#include "base/logging.h"
#include "base/strings/string_util.h"
#include "desktop/windows/installer/registry_tables.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/template_resolver.h"

namespace installer {

namespace {

bool StartsWithIgnoringCase(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() &&
         base::EqualsCaseInsensitiveASCII(text.substr(0, prefix.size()),
                                          prefix);
}

bool IsVersionCharacter(wchar_t c) {
  return (c >= L'0' && c <= L'9') || c == L'.';
}

// Every row whose records a log can hold: the main table and the rows
// appended to it.
std::vector<const RegistryRow*> RecordedRows() {
  std::vector<const RegistryRow*> rows;
  for (const RegistryRow& row : GetMainRegistryTable())
    rows.push_back(&row);
  rows.push_back(&GetHideFromProgramsRow());
  // Rows that delete write no record.
  std::erase_if(rows, [](const RegistryRow* row) {
    return row->type == kRegistryRowDeleteKey ||
           row->type == kRegistryRowRemoveValue;
  });
  return rows;
}

// |pattern| without its last |count| components; the placeholders of the
// tables hold no backslash.
std::wstring_view DropLastComponents(std::wstring_view pattern, int count) {
  for (int i = 0; i < count; ++i) {
    const size_t separator = pattern.rfind(L'\\');
    if (separator == std::wstring_view::npos)
      return std::wstring_view();
    pattern = pattern.substr(0, separator);
  }
  return pattern;
}

// Every row a run executes: those whose records a log can hold, the rows
// that delete, and the install folder remembered for the next install.
std::vector<const RegistryRow*> ExecutedRows() {
  std::vector<const RegistryRow*> rows;
  for (const RegistryRow& row : GetMainRegistryTable())
    rows.push_back(&row);
  rows.push_back(&GetHideFromProgramsRow());
  rows.push_back(&GetLastInstallPathRow());
  rows.push_back(&GetLegacyX64LastInstallPathRow());
  return rows;
}

}  // namespace

RegistryRecordCheck::RegistryRecordCheck(const TemplateResolver* resolver,
                                         std::vector<std::wstring> old_streams)
    : resolver_(resolver), old_streams_(std::move(old_streams)) {
  DCHECK(resolver_);
}

RegistryRecordCheck::~RegistryRecordCheck() = default;

bool RegistryRecordCheck::FilterRecord(
    const std::wstring& key_path,
    int32_t clean_level,
    std::vector<std::wstring>* value_names) const {
  int32_t max_clean_level = -1;
  std::vector<const RegistryRow*> key_rows;
  for (const RegistryRow* row : RecordedRows()) {
    if (!Matches(row->key, key_path))
      continue;
    key_rows.push_back(row);
    max_clean_level =
        std::max(max_clean_level, static_cast<int32_t>(row->clean_level));
  }
  if (key_rows.empty()) {
    LOG(WARNING) << "Install log: ignoring the registry key " << key_path
                 << ", which this installer never writes";
    return false;
  }
  if (clean_level < 0 || clean_level > max_clean_level) {
    LOG(WARNING) << "Install log: ignoring the registry key " << key_path
                 << " with clean level " << clean_level << ", above the "
                 << max_clean_level << " it is written with";
    return false;
  }
  std::erase_if(*value_names,
                [this, &key_rows, &key_path](const std::wstring& name) {
                  for (const RegistryRow* row : key_rows) {
                    if (Matches(row->value_name ? row->value_name : L"", name))
                      return false;
                  }
                  LOG(WARNING) << "Install log: ignoring the value \"" << name
                               << "\" of the registry key " << key_path
                               << ", which this installer never writes";
                  return true;
                });
  return clean_level > 0 || !value_names->empty();
}

bool RegistryRecordCheck::IsWrittenValue(const std::wstring& key_path,
                                         const std::wstring& name) const {
  for (const RegistryRow* row : ExecutedRows()) {
    if (row->type != kRegistryRowDeleteKey && Matches(row->key, key_path) &&
        Matches(row->value_name ? row->value_name : L"", name)) {
      return true;
    }
  }
  return false;
}

bool RegistryRecordCheck::IsWrittenKeyOrAncestor(
    const std::wstring& key_path) const {
  for (const RegistryRow* row : ExecutedRows()) {
    if (row->type == kRegistryRowDeleteKey ||
        row->type == kRegistryRowRemoveValue) {
      continue;
    }
    for (int dropped = 0;; ++dropped) {
      const std::wstring_view pattern = DropLastComponents(row->key, dropped);
      if (pattern.empty())
        break;
      if (Matches(pattern, key_path))
        return true;
    }
  }
  return false;
}

bool RegistryRecordCheck::IsInDeletedTree(const std::wstring& key_path) const {
  // The key and each of its ancestors.
  std::vector<std::wstring_view> keys = {key_path};
  for (size_t i = 0; i < key_path.size(); ++i) {
    if (key_path[i] == L'\\')
      keys.push_back(std::wstring_view(key_path).substr(0, i));
  }
  std::vector<std::wstring_view> roots = {kOwnFileTypeKey};
  for (const RegistryRow* row : ExecutedRows()) {
    if (row->type == kRegistryRowDeleteKey)
      roots.push_back(row->key);
    if (row->type == kRegistryRowDeleteKey ||
        row->type == kRegistryRowRemoveValue || row->clean_level < 1) {
      continue;
    }
    for (int dropped = 0; dropped < static_cast<int>(row->clean_level);
         ++dropped) {
      roots.push_back(DropLastComponents(row->key, dropped));
    }
  }
  for (std::wstring_view root : roots) {
    for (std::wstring_view key : keys) {
      if (!root.empty() && Matches(root, key))
        return true;
    }
  }
  return false;
}

bool RegistryRecordCheck::Matches(std::wstring_view pattern,
                                  std::wstring_view text) const {
  const size_t open = pattern.find(L'{');
  const size_t close =
      open == std::wstring_view::npos ? open : pattern.find(L'}', open);
  if (close == std::wstring_view::npos) {
    return pattern.size() == text.size() &&
           base::EqualsCaseInsensitiveASCII(pattern, text);
  }
  const std::wstring_view literal = pattern.substr(0, open);
  if (!StartsWithIgnoringCase(text, literal))
    return false;
  text.remove_prefix(literal.size());
  const std::wstring name(pattern.substr(open + 1, close - open - 1));
  const std::wstring_view rest = pattern.substr(close + 1);
  if (name == L"Version")
    return MatchesVersion(rest, text);
  if (name == L"Uninstall") {
    // The key name of any version, with any suffix of a second entry.
    const std::wstring prefix = GetUninstallRegistryKey() + L"\\" +
                                resolver_->Lookup(L"Product") + L" ";
    return StartsWithIgnoringCase(text, prefix) &&
           MatchesVersion(rest, text.substr(prefix.size()));
  }
  for (const std::wstring& value : Alternatives(name)) {
    if (StartsWithIgnoringCase(text, value) &&
        Matches(rest, text.substr(value.size()))) {
      return true;
    }
  }
  return false;
}

std::vector<std::wstring> RegistryRecordCheck::Alternatives(
    const std::wstring& name) const {
  std::vector<std::wstring> values = {resolver_->Lookup(name)};
  if (name == L"Stream")
    values.insert(values.end(), old_streams_.begin(), old_streams_.end());
  return values;
}

bool RegistryRecordCheck::MatchesVersion(std::wstring_view rest_of_pattern,
                                         std::wstring_view text) const {
  // At least one character of a version, then the rest of the pattern.
  for (size_t length = 1;
       length <= text.size() && IsVersionCharacter(text[length - 1]);
       ++length) {
    if (Matches(rest_of_pattern, text.substr(length)))
      return true;
  }
  return false;
}

}  // namespace installer
