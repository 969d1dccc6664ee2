#include "desktop/windows/installer/package_fetcher/in_page_error_guard.h"

#include <string.h>

#include <thread>

#include "base/files/scoped_temp_dir.h"
#include "desktop/windows/installer/package_fetcher/lzma_file_allocator.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

constexpr DWORD kStatus = 0xC000009C;  // STATUS_DEVICE_DATA_ERROR.
constexpr size_t kWindow = 1 << 20;

// Catches, after every other handler, the exceptions the guard let pass.
class LastChanceCatcher {
 public:
  LastChanceCatcher() {
    current_ = this;
    handler_ = ::AddVectoredExceptionHandler(0, &LastChanceCatcher::Handler);
  }
  ~LastChanceCatcher() {
    ::RemoveVectoredExceptionHandler(handler_);
    current_ = nullptr;
  }
  int caught() const { return caught_; }

 private:
  static LONG CALLBACK Handler(EXCEPTION_POINTERS* pointers) {
    const DWORD code = pointers->ExceptionRecord->ExceptionCode;
    if (code != EXCEPTION_IN_PAGE_ERROR && code != EXCEPTION_ACCESS_VIOLATION)
      return EXCEPTION_CONTINUE_SEARCH;
    ++current_->caught_;
    return EXCEPTION_CONTINUE_EXECUTION;
  }

  static LastChanceCatcher* current_;
  PVOID handler_;
  int caught_ = 0;
};

LastChanceCatcher* LastChanceCatcher::current_ = nullptr;

// Raised as the memory manager would; execution goes on after the call
// when a handler takes it.
void Raise(DWORD code, const void* address) {
  const ULONG_PTR info[3] = {0, reinterpret_cast<ULONG_PTR>(address), kStatus};
  ::RaiseException(code, 0, 3, info);
}

class InPageErrorGuardTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    allocator_ =
        std::make_unique<LzmaFileAllocator>(temp_dir_.GetPath(), kWindow);
    window_ = static_cast<char*>(allocator_->Allocate(kWindow));
    ASSERT_EQ(window_, allocator_->view());
    memset(window_, 'w', 16);
  }
  void TearDown() override { allocator_->Free(window_); }

  base::ScopedTempDir temp_dir_;
  std::unique_ptr<LzmaFileAllocator> allocator_;
  char* window_ = nullptr;
};

TEST_F(InPageErrorGuardTest, TakesAnInPageErrorInTheView) {
  LastChanceCatcher catcher;
  ScopedInPageErrorGuard guard(allocator_.get());
  Raise(EXCEPTION_IN_PAGE_ERROR, window_ + 8);
  EXPECT_TRUE(guard.has_error());
  EXPECT_EQ(kStatus, guard.status());
  EXPECT_EQ(0, catcher.caught());
  // The window is still there, without its data.
  EXPECT_EQ(window_, allocator_->view());
  EXPECT_EQ('\0', window_[8]);
}

TEST_F(InPageErrorGuardTest, LetsEverythingElsePass) {
  LastChanceCatcher catcher;
  {
    ScopedInPageErrorGuard guard(allocator_.get());
    // Outside the view, another exception, another thread.
    Raise(EXCEPTION_IN_PAGE_ERROR, window_ - 1);
    Raise(EXCEPTION_IN_PAGE_ERROR, window_ + kWindow);
    Raise(EXCEPTION_ACCESS_VIOLATION, window_ + 8);
    std::thread([this] { Raise(EXCEPTION_IN_PAGE_ERROR, window_ + 8); }).join();
    EXPECT_FALSE(guard.has_error());
    EXPECT_EQ(4, catcher.caught());
  }
  // Without a guard.
  Raise(EXCEPTION_IN_PAGE_ERROR, window_ + 8);
  EXPECT_EQ(5, catcher.caught());
  EXPECT_EQ('w', window_[8]);
}

TEST(LzmaInPageErrorFilterTest, NeedsTheAddressInTheView) {
  base::ScopedTempDir temp_dir;
  ASSERT_TRUE(temp_dir.CreateUniqueTempDir());
  LzmaFileAllocator allocator(temp_dir.GetPath(), kWindow);
  EXCEPTION_RECORD record = {};
  record.ExceptionCode = EXCEPTION_IN_PAGE_ERROR;
  record.NumberParameters = 3;
  EXCEPTION_POINTERS pointers = {&record, nullptr};
  // No view yet.
  EXPECT_EQ(EXCEPTION_CONTINUE_SEARCH,
            LzmaInPageErrorFilter(&pointers, allocator));
  void* window = allocator.Allocate(kWindow);
  record.ExceptionInformation[1] = reinterpret_cast<ULONG_PTR>(window);
  EXPECT_EQ(EXCEPTION_EXECUTE_HANDLER,
            LzmaInPageErrorFilter(&pointers, allocator));
  // A record without the address.
  record.NumberParameters = 1;
  EXPECT_EQ(EXCEPTION_CONTINUE_SEARCH,
            LzmaInPageErrorFilter(&pointers, allocator));
  allocator.Free(window);
}

}  // namespace
}  // namespace installer
