// Writes an InstallLog as installation_status.xml.

#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALL_LOG_WRITER_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALL_LOG_WRITER_H_

#include <string_view>
#include <vector>

#include <string>

#include "base/files/file_path.h"
#include "desktop/windows/installer/install_log.h"
#include "desktop/windows/installer/xml_document.h"
#include "desktop/windows/installer/xml_writer.h"

namespace installer {

class InstallLogWriter {
 public:
  InstallLogWriter();
  InstallLogWriter(const InstallLogWriter&) = delete;
  InstallLogWriter& operator=(const InstallLogWriter&) = delete;
  ~InstallLogWriter();

  // Creates or replaces |path| with |log|. The file is replaced in one step:
  // a failure, or a crash, leaves the previous file as it was. COM must be
  // initialised on the calling thread.
  bool WriteToFile(const InstallLog& log, const base::FilePath& path);
  // The text WriteToFile writes. COM as for WriteToFile.
  bool WriteToString(const InstallLog& log, std::string* text);

 private:
  bool BuildDocument(const InstallLog& log);
  bool WriteRoot(const InstallLog& log);
  bool WritePath(const InstallLog& log);
  bool WriteFileList(std::string_view name,
                     const std::vector<base::FilePath>& files);
  bool WriteRegistry(std::string_view hive,
                     const std::vector<InstallLog::RegistryKey>& keys);
  bool WriteRegistryKey(const InstallLog::RegistryKey& key);
  bool WriteShortcuts(const InstallLog& log);
  bool WriteComponents(const std::vector<InstallLog::Component>& components);
  // An element holding only |text|, as a child of the cursor.
  bool WriteTextElement(std::string_view name, std::string_view text);

  XmlDocument document_;
  XmlWriter xml_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALL_LOG_WRITER_H_
