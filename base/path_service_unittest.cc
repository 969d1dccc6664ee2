#include "base/path_service.h"

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/test/scoped_path_override.h"
#include "gtest/gtest.h"

namespace base {
namespace {

FilePath Get(int key) {
  FilePath path;
  EXPECT_TRUE(PathService::Get(key, &path)) << "key " << key;
  return path;
}

TEST(PathServiceTest, ExecutableModuleAndSystemFolders) {
  FilePath exe = Get(FILE_EXE);
  EXPECT_TRUE(FilePath::CompareEqualIgnoreCase(L"base_unittests.exe",
                                               exe.BaseName().value()));
  EXPECT_EQ(exe.DirName(), Get(DIR_EXE));
  FilePath temp;
  ASSERT_TRUE(GetTempDir(&temp));
  EXPECT_EQ(temp, Get(DIR_TEMP));
  EXPECT_TRUE(Get(DIR_WINDOWS).IsAbsolute());
}

TEST(PathServiceTest, KnownFoldersAreAbsoluteAndDistinct) {
  const int keys[] = {DIR_HOME,
                      DIR_USER_DESKTOP,
                      DIR_PROGRAM_FILES,
                      DIR_PROGRAM_FILESX86,
                      DIR_COMMON_START_MENU,
                      DIR_START_MENU,
                      DIR_APP_DATA,
                      DIR_LOCAL_APP_DATA,
                      DIR_COMMON_APP_DATA,
                      DIR_COMMON_DESKTOP,
                      DIR_USER_QUICK_LAUNCH,
                      DIR_TASKBAR_PINS};
  std::set<FilePath> seen;
  for (int key : keys) {
    FilePath path = Get(key);
    EXPECT_TRUE(path.IsAbsolute()) << key << ": " << path;
    EXPECT_TRUE(seen.insert(path).second) << key << " repeats " << path;
  }
  // A 64-bit process: its own program files are the 64-bit ones.
  EXPECT_EQ(Get(DIR_PROGRAM_FILES), Get(DIR_PROGRAM_FILES6432));
}

TEST(PathServiceTest, UnknownKeysHaveNoAnswer) {
  FilePath path(L"untouched");
  EXPECT_FALSE(PathService::Get(PATH_END, &path));
  EXPECT_FALSE(PathService::Get(99999, &path));
  EXPECT_EQ(L"untouched", path.value());
}

TEST(PathServiceTest, OverrideReachesDerivedKeysAndIsRemoved) {
  const FilePath original_pins = Get(DIR_TASKBAR_PINS);
  {
    ScopedPathOverride app_data(DIR_APP_DATA);
    FilePath overridden = Get(DIR_APP_DATA);
    EXPECT_NE(overridden, Get(DIR_LOCAL_APP_DATA));
    // The cached pins folder was derived from the old answer.
    EXPECT_TRUE(overridden.IsParent(Get(DIR_TASKBAR_PINS)));
  }
  EXPECT_EQ(original_pins, Get(DIR_TASKBAR_PINS));
  EXPECT_FALSE(PathService::RemoveOverride(DIR_APP_DATA));
}

TEST(PathServiceTest, OverrideCreatesTheFolderUnlessToldNotTo) {
  ScopedTempDir dir;
  ASSERT_TRUE(dir.CreateUniqueTempDir());
  FilePath created = dir.GetPath().Append(L"a\\b");
  {
    ScopedPathOverride temp(DIR_TEMP, created);
    EXPECT_TRUE(DirectoryExists(created));
    EXPECT_EQ(created, Get(DIR_TEMP));
  }

  // A folder that can never be made: below a file. Creating fails; taken
  // as it is, it still overrides (so callers can meet the failure).
  FilePath file = dir.GetPath().Append(L"file");
  ASSERT_EQ(1, WriteFile(file, "x", 1));
  FilePath impossible = file.Append(L"sub");
  EXPECT_FALSE(PathService::Override(DIR_TEMP, impossible));
  {
    ScopedPathOverride temp(DIR_TEMP, impossible, true, false);
    EXPECT_EQ(impossible, Get(DIR_TEMP));
  }
}

TEST(PathServiceTest, ConcurrentReadersSeeOneOfTheValidAnswers) {
  ScopedTempDir dir;
  ASSERT_TRUE(dir.CreateUniqueTempDir());
  const FilePath original = Get(DIR_LOCAL_APP_DATA);
  const FilePath overridden = dir.GetPath();
  std::atomic<int> wrong{0};
  std::vector<std::thread> readers;
  for (int i = 0; i < 4; ++i) {
    readers.emplace_back([&] {
      for (int n = 0; n < 300; ++n) {
        FilePath pins;
        FilePath local;
        if (!PathService::Get(DIR_LOCAL_APP_DATA, &local) ||
            (local != original && local != overridden) ||
            !PathService::Get(DIR_TASKBAR_PINS, &pins)) {
          ++wrong;
        }
      }
    });
  }
  for (int n = 0; n < 100; ++n) {
    EXPECT_TRUE(PathService::Override(DIR_LOCAL_APP_DATA, overridden));
    EXPECT_TRUE(PathService::RemoveOverride(DIR_LOCAL_APP_DATA));
  }
  for (std::thread& reader : readers)
    reader.join();
  EXPECT_EQ(0, wrong);
  EXPECT_EQ(original, Get(DIR_LOCAL_APP_DATA));
}

}  // namespace
}  // namespace base
