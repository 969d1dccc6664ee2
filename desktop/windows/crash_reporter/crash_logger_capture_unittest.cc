#include "desktop/windows/crash_reporter/crash_logger_capture.h"

#include <string>
#include <thread>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "gtest/gtest.h"

namespace crash_reporter {
namespace {

std::string Read(const base::FilePath& path) {
  std::string text;
  base::ReadFileToString(path, &text);
  return text;
}

// A report collects the lines of its own thread only, and appends them to
// its text log once.
TEST(CrashLoggerCaptureTest, AppendsTheLinesOfItsThreadOnce) {
  base::ScopedTempDir dir;
  ASSERT_TRUE(dir.CreateUniqueTempDir());
  base::FilePath log = dir.GetPath().AppendASCII("log.txt");
  ASSERT_EQ(5, base::WriteFile(log, "log\r\n", 5));
  logging::SetLogMessageHandler(&CrashLoggerCapture::HandleLogMessage);
  {
    CrashLoggerCapture capture;
    EXPECT_TRUE(capture.AppendToFile(log));
    EXPECT_EQ("log\r\n", Read(log));

    const int first_line = __LINE__ + 1;
    LOG(INFO) << "on the report's thread";
    std::thread([] { LOG(INFO) << "on another thread"; }).join();
    {
      CrashLoggerCapture nested;
      LOG(WARNING) << "in a nested capture";
    }
    const int second_line = __LINE__ + 1;
    LOG(ERROR) << "back in the first";
    EXPECT_FALSE(capture.AppendToFile(dir.GetPath().AppendASCII("no\\x.txt")));
    EXPECT_TRUE(capture.AppendToFile(log));
    EXPECT_TRUE(capture.AppendToFile(log));
    EXPECT_EQ("log\r\n\r\nCrash Logger:\r\n"
              "crash_logger_capture_unittest.cc:" +
                  base::NumberToString(first_line) +
                  ":on the report's thread\r\n"
                  "crash_logger_capture_unittest.cc:" +
                  base::NumberToString(second_line) +
                  ":back in the first\r\n",
              Read(log));
  }
  logging::SetLogMessageHandler(nullptr);
}

}  // namespace
}  // namespace crash_reporter
