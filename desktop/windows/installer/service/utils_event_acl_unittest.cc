// FixEventACL on real events, whose DACLs Wine stores and enforces. Wine
// gives a new event a null DACL where Windows gives the token's default,
// so the events here are made with an explicit one. Every process under
// Wine is an administrator's: the entry for BUILTIN\Administrators is what
// lets a second handle of the test in.

#include <windows.h>

#include <string>

#include "base/guid.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/scoped_log_capture.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/test/test_util.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// Everyone may wait on the event, and do nothing else.
constexpr wchar_t kWaitOnly[] = L"D:(A;;0x100000;;;WD)";
constexpr wchar_t kWaitOnlyEntry[] = L"(A;;0x100000;;;WD)";

std::wstring NewEventName() {
  return L"Local\\KelvoTest/FixEventACL/" +
         base::UTF8ToWide(base::GenerateGUID());
}

// Whether the DACL grants BUILTIN\Administrators every right, generic or
// mapped onto the event's rights.
bool AdmitsAdministrators(const std::wstring& dacl) {
  return dacl.find(L"(A;;GA;;;BA)") != std::wstring::npos ||
         dacl.find(L"(A;;0x1f0003;;;BA)") != std::wstring::npos;
}

base::win::ScopedHandle OpenEvent(const std::wstring& name, DWORD access) {
  return base::win::ScopedHandle(::OpenEventW(access, FALSE, name.c_str()));
}

TEST(FixEventAclTest, AdmitsAdministratorsBesideTheEntriesThere) {
  const std::wstring name = NewEventName();
  base::win::ScopedHandle event = test::CreateEventWithDacl(name, kWaitOnly);
  ASSERT_TRUE(event.IsValid());
  ASSERT_FALSE(OpenEvent(name, EVENT_MODIFY_STATE).IsValid());
  ASSERT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), ::GetLastError());

  ASSERT_TRUE(FixEventACL(event.Get()));

  EXPECT_TRUE(OpenEvent(name, EVENT_MODIFY_STATE).IsValid());
  // As another handle reads it back.
  base::win::ScopedHandle reader = OpenEvent(name, READ_CONTROL);
  ASSERT_TRUE(reader.IsValid());
  const std::wstring dacl = test::GetObjectDacl(reader.Get());
  EXPECT_TRUE(AdmitsAdministrators(dacl)) << dacl;
  EXPECT_NE(std::wstring::npos, dacl.find(kWaitOnlyEntry)) << dacl;
}

// A null DACL admits everyone: an ACL of one entry would shut out all
// others.
TEST(FixEventAclTest, NullDaclStaysAsItIs) {
  SECURITY_DESCRIPTOR null_dacl;
  ASSERT_TRUE(
      ::InitializeSecurityDescriptor(&null_dacl, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(::SetSecurityDescriptorDacl(&null_dacl, TRUE, nullptr, FALSE));
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), &null_dacl, FALSE};
  base::win::ScopedHandle event(
      ::CreateEventW(&attributes, FALSE, FALSE, NewEventName().c_str()));
  ASSERT_TRUE(event.IsValid());
  const std::wstring before = test::GetObjectDacl(event.Get());
  ASSERT_EQ(L"D:NO_ACCESS_CONTROL", before);

  EXPECT_TRUE(FixEventACL(event.Get()));

  EXPECT_EQ(before, test::GetObjectDacl(event.Get()));
}

// A handle that cannot read the DACL, one that cannot write it, and a DACL
// without room for another entry: false, logged, and the DACL unchanged.
TEST(FixEventAclTest, FailuresAreReportedAndChangeNothing) {
  {
    base::win::ScopedHandle event(
        ::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    ASSERT_TRUE(event.IsValid());
    const HANDLE closed = event.Get();
    event.Close();
    base::ScopedLogCapture log;
    EXPECT_FALSE(FixEventACL(closed));
    EXPECT_TRUE(log.Contains(logging::LOG_ERROR,
                             "FixEventACL: failed to GetSecurityInfo"));
  }
  {
    const std::wstring name = NewEventName();
    base::win::ScopedHandle event = test::CreateEventWithDacl(name, kWaitOnly);
    ASSERT_TRUE(event.IsValid());
    HANDLE read_only = nullptr;
    ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), event.Get(),
                                  ::GetCurrentProcess(), &read_only,
                                  READ_CONTROL, FALSE, 0));
    base::win::ScopedHandle scoped_read_only(read_only);
    base::ScopedLogCapture log;
    EXPECT_FALSE(FixEventACL(read_only));
    EXPECT_TRUE(log.Contains(logging::LOG_ERROR,
                             "FixEventACL: failed to SetSecurityInfo"));
    EXPECT_EQ(kWaitOnly, test::GetObjectDacl(event.Get()));
  }
  {
    const std::wstring name = NewEventName();
    base::win::ScopedHandle event =
        test::CreateEventWithDacl(name, kWaitOnly, /*full=*/true);
    ASSERT_TRUE(event.IsValid());
    const std::wstring before = test::GetObjectDacl(event.Get());
    base::ScopedLogCapture log;
    EXPECT_FALSE(FixEventACL(event.Get()));
    EXPECT_TRUE(log.Contains(logging::LOG_ERROR,
                             "FixEventACL: failed to SetEntriesInAcl"));
    EXPECT_EQ(before, test::GetObjectDacl(event.Get()));
    EXPECT_FALSE(OpenEvent(name, EVENT_MODIFY_STATE).IsValid());
  }
}

}  // namespace
}  // namespace installer
