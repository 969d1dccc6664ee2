// An install log comes from the install folder, which an unprivileged user
// may be able to write, and its registry records become deletions of keys
// and values, possibly by an elevated uninstall. A record is acted on only
// when the registry tables of this product can have written it: its key
// matches the key of a table row, its clean level is at most what those
// rows record, and each of its values is one that such a row writes.
//
//   RegistryRecordCheck check(&templates, {});
//   if (!check.FilterRecord(&key_path, clean_level, &value_names))
//     return;  // Logged.

#ifndef DESKTOP_WINDOWS_INSTALLER_REGISTRY_RECORD_CHECK_H_
#define DESKTOP_WINDOWS_INSTALLER_REGISTRY_RECORD_CHECK_H_

#include <stdint.h>

#include <string>
#include <string_view>
#include <vector>

namespace installer {

class TemplateResolver;

class RegistryRecordCheck {
 public:
  // |resolver| gives the placeholders of the installation whose records
  // are checked (its folder, the product's names) and must outlive the
  // check. "{Version}" and the version in "{Uninstall}" stand for any
  // version, so that the records of earlier versions pass. |old_streams|
  // are further texts that "{Stream}" may stand for: the stream names of
  // the former product's records.
  RegistryRecordCheck(const TemplateResolver* resolver,
                      std::vector<std::wstring> old_streams);
  RegistryRecordCheck(const RegistryRecordCheck&) = delete;
  RegistryRecordCheck& operator=(const RegistryRecordCheck&) = delete;
  ~RegistryRecordCheck();

  // Whether the tables can have recorded the key |key_path| with
  // |clean_level|. Drops from |value_names| every name that no row of that
  // key writes; a record of clean level 0, which removes only its values,
  // must keep at least one. Logs what it refuses.
  bool FilterRecord(const std::wstring& key_path,
                    int32_t clean_level,
                    std::vector<std::wstring>* value_names) const;

  // The questions of a journal's replay, over every row a run executes:
  // the tables, the rows appended to them, the install folder remembered,
  // and the rows that delete.
  //
  // Whether a row writes or removes the value |name| of |key_path|.
  bool IsWrittenValue(const std::wstring& key_path,
                      const std::wstring& name) const;
  // Whether |key_path| is the key of a row that writes, or an ancestor of
  // one: a key that a run may create.
  bool IsWrittenKeyOrAncestor(const std::wstring& key_path) const;
  // Whether |key_path| lies in a tree that a run deletes whole: below a
  // row's key with up to its clean level less one of its last components
  // dropped, a key that a row deletes, or the browser's own file type.
  bool IsInDeletedTree(const std::wstring& key_path) const;

 private:
  // Whether |text| is what |pattern| (a row's template) can expand to.
  bool Matches(std::wstring_view pattern, std::wstring_view text) const;
  // The texts the placeholder |name| may stand for; empty for the ones
  // that stand for a version.
  std::vector<std::wstring> Alternatives(const std::wstring& name) const;
  bool MatchesVersion(std::wstring_view rest_of_pattern,
                      std::wstring_view text) const;

  const TemplateResolver* const resolver_;
  const std::vector<std::wstring> old_streams_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_REGISTRY_RECORD_CHECK_H_
