// The security of the front end's mailslot. Its name follows from the
// install folder, so any process could otherwise open it and speak for the
// backend: only the installer's own user (the front end's user, whom every
// backend of the run runs as) and elevated administrators (an elevated copy
// of the installer) may open it.

#ifndef DESKTOP_WINDOWS_INSTALLER_IPC_MAILSLOT_SECURITY_H_
#define DESKTOP_WINDOWS_INSTALLER_IPC_MAILSLOT_SECURITY_H_

#include <windows.h>

#include <string>

namespace installer {

class MailslotSecurity {
 public:
  // For the user of this process.
  MailslotSecurity();
  MailslotSecurity(const MailslotSecurity&) = delete;
  MailslotSecurity& operator=(const MailslotSecurity&) = delete;
  ~MailslotSecurity();

  // Null when the descriptor could not be made; the mailslot must then not
  // be created with default security.
  SECURITY_ATTRIBUTES* attributes() {
    return descriptor_ ? &attributes_ : nullptr;
  }

  // The descriptor as SDDL, "D:P(A;;GA;;;<user SID>)(A;;GA;;;BA)"; empty
  // when the user's SID cannot be read.
  static std::wstring GetDescriptorText();

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_ = {};
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_IPC_MAILSLOT_SECURITY_H_
