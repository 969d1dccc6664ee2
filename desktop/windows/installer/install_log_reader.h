// Reads installation_status.xml into an InstallLog.

#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALL_LOG_READER_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALL_LOG_READER_H_

#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "desktop/windows/installer/install_log.h"
#include "desktop/windows/installer/xml_document.h"
#include "desktop/windows/installer/xml_reader.h"

namespace installer {

class InstallLogReader {
 public:
  InstallLogReader();
  InstallLogReader(const InstallLogReader&) = delete;
  InstallLogReader& operator=(const InstallLogReader&) = delete;
  ~InstallLogReader();

  // Reads the install log at |path| into |log|. On success the files, root
  // files and both key lists hold exactly what the file lists, components
  // in the file are added to those |log| already has, and every other field
  // the file sets is overwritten. Entries that could make a clean-up delete
  // something outside the installation are dropped (see
  // install_log_checks.h). On failure |log| is left as it was and error()
  // says why; it is empty for malformed registry and shortcut content.
  // COM must be initialised on the calling thread.
  bool Read(InstallLog* log, const base::FilePath& path);

  // Meaningful only after a false Read. A successful read of a file that
  // ends right after its files list leaves "Cannot proceed to the expected
  // root files list" here.
  const std::string& error() const { return error_; }

 private:
  // The texts a list of file elements fails with.
  struct FileListErrors {
    const char* no_first_file;
    const char* bad_name;
    const char* no_text;
    const char* traversal;
    const char* no_way_back;
  };

  // Each step reads one part of the document into |log| and leaves the
  // cursor on the element after it. |at_end| becomes true when there is
  // none, which ends a successful read; |name| is the next element's name.
  bool ReadDocument(const base::FilePath& path, InstallLog* log);
  bool ReadRoot(InstallLog* log);
  bool ReadPath(InstallLog* log);
  bool ReadFiles(InstallLog* log);
  bool ReadFileList(const FileListErrors& errors,
                    std::vector<base::FilePath>* list);
  bool ReadRootFiles(InstallLog* log, std::string* name, bool* at_end);
  bool ReadRootFilesSuccessor(std::string* name, bool* at_end);
  bool ReadRegistry(InstallLog* log, std::string* name, bool* at_end);
  bool ReadRegistryElement(InstallLog* log);
  bool ReadRegistryKey(InstallLog::RegistryKey* key);
  bool ReadRegistryValue(InstallLog::RegistryValue* value);
  bool ReadShortcuts(InstallLog* log, std::string* name, bool* at_end);
  bool ReadShortcut(InstallLog* log);
  bool ReadComponents(InstallLog* log);
  bool ReadComponent(InstallLog::Component* component);

  // Whether the cursor is on an element of that name.
  bool IsNamed(const char* expected);
  // Sets the error text and returns false.
  bool Fail(std::string error);

  XmlDocument document_;
  XmlReader xml_;
  std::string error_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALL_LOG_READER_H_
