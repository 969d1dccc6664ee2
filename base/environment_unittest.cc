#include "base/environment.h"

#include <windows.h>

#include "gtest/gtest.h"

namespace base {
namespace {

constexpr char kName[] = "KELVO_ENVIRONMENT_TEST";

class EnvironmentTest : public testing::Test {
 protected:
  void TearDown() override {
    ::SetEnvironmentVariableW(L"KELVO_ENVIRONMENT_TEST", nullptr);
  }

  std::unique_ptr<Environment> env_ = Environment::Create();
};

TEST_F(EnvironmentTest, Utf8ValuesReachTheProcessEnvironment) {
  const std::string value = "Gr\xc3\xbc \xe4\xb8\xad \xf0\x9f\x98\x80";
  ASSERT_TRUE(env_->SetVar(kName, value));
  wchar_t buffer[64] = {};
  ASSERT_NE(0u,
            ::GetEnvironmentVariableW(L"KELVO_ENVIRONMENT_TEST", buffer, 64));
  EXPECT_EQ(std::wstring(L"Gr\u00fc \u4e2d \U0001f600"), buffer);
  std::string read;
  // Names are case-insensitive on Windows.
  ASSERT_TRUE(env_->GetVar("kelvo_environment_test", &read));
  EXPECT_EQ(value, read);
  EXPECT_FALSE(env_->SetVar("KELVO=BAD", "1"));
}

TEST_F(EnvironmentTest, SetEmptyAndUnsetAreDifferent) {
  std::string read = "stale";
  EXPECT_FALSE(env_->GetVar(kName, &read));
  EXPECT_EQ("stale", read);
  ASSERT_TRUE(env_->SetVar(kName, ""));
  EXPECT_TRUE(env_->GetVar(kName, &read));
  EXPECT_EQ("", read);
  EXPECT_TRUE(env_->UnSetVar(kName));
  EXPECT_FALSE(env_->HasVar(kName));
  EXPECT_TRUE(env_->UnSetVar(kName));  // Already gone.
}

TEST_F(EnvironmentTest, ValuesLongerThanTheFirstBuffer) {
  // Far beyond it, and exactly its size, where the terminator no longer fits.
  for (size_t length : {5000u, 64u}) {
    const std::string value(length, 'v');
    ASSERT_TRUE(env_->SetVar(kName, value));
    std::string read;
    ASSERT_TRUE(env_->GetVar(kName, &read));
    EXPECT_EQ(value, read);
  }
}

}  // namespace
}  // namespace base
