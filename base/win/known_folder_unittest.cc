#include "base/win/known_folder.h"

#include <windows.h>

#include <knownfolders.h>

#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "gtest/gtest.h"

namespace base {
namespace win {
namespace {

// {00000000-0000-0000-0000-00000000CAFE}: no folder of the system.
constexpr KNOWNFOLDERID kUnknownFolder = {0,
                                          0,
                                          0,
                                          {0, 0, 0, 0, 0, 0, 0xCA, 0xFE}};

TEST(KnownFolderTest, ExistingFolderInEveryAccessUnknownInNone) {
  for (KnownFolderAccess access :
       {KnownFolderAccess::kExisting, KnownFolderAccess::kCreate,
        KnownFolderAccess::kUnverified}) {
    SCOPED_TRACE(static_cast<int>(access));
    FilePath path;
    ASSERT_TRUE(GetKnownFolderPath(FOLDERID_LocalAppData, access, &path));
    EXPECT_TRUE(path.IsAbsolute());
    EXPECT_TRUE(DirectoryExists(path));

    FilePath untouched(L"C:\\untouched");
    EXPECT_FALSE(GetKnownFolderPath(kUnknownFolder, access, &untouched));
    EXPECT_EQ(L"C:\\untouched", untouched.value());
  }
}

}  // namespace
}  // namespace win
}  // namespace base
