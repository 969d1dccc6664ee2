#include "desktop/windows/installer/wininet/host_allow_list.h"

#include "desktop/windows/installer/product/branding_config.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(HostAllowListTest, MatchesWholeHostsOrDomainsBelowAnEntry) {
  const std::vector<std::wstring> list = {L".kelvo.example", L"localhost",
                                          L"127.0.0.1", L""};
  const struct {
    const wchar_t* host;
    bool allowed;
  } kCases[] = {
      {L"autoupdate.kelvo.example", true},
      {L"AutoUpdate.KELVO.Example", true},
      // A leading dot admits the hosts below the domain only.
      {L"kelvo.example", false},
      {L"evilkelvo.example", false},
      {L"localhost", true},
      {L"LOCALHOST", true},
      {L"a.localhost", true},
      {L"evillocalhost", false},
      {L"127.0.0.1", true},
      {L"127.0.0.10", false},
      {L"227.0.0.1", false},
      // An entry longer than the host, and the empty entry, admit nothing.
      {L"host", false},
      {L"", false},
  };
  for (const auto& test_case : kCases) {
    EXPECT_EQ(test_case.allowed, IsHostAllowed(test_case.host, list))
        << test_case.host;
  }
  EXPECT_TRUE(IsHostAllowed(L"anything.example", {}));
  EXPECT_FALSE(IsHostAllowed(L"anything.example", {L""}));
}

TEST(HostAllowListTest, ServerHostsAddABrandingDomainOfAnotherMaker) {
  std::vector<std::wstring> hosts = AllowedServerHosts();
  EXPECT_TRUE(IsHostAllowed(L"autoupdate.kelvo.example", hosts));
  EXPECT_TRUE(IsHostAllowed(L"127.0.0.1", hosts));
  EXPECT_FALSE(IsHostAllowed(L"partner.example", hosts));
  {
    BrandingConfig::ScopedOverrideForTesting branding(
        R"({"domain": ".partner.example"})");
    hosts = AllowedServerHosts();
    EXPECT_EQ(L".partner.example", hosts.front());
    EXPECT_TRUE(IsHostAllowed(L"www.partner.example", hosts));
  }
  BrandingConfig::ScopedOverrideForTesting no_domain("{}");
  for (const std::wstring& host : AllowedServerHosts())
    EXPECT_FALSE(host.empty());
}

}  // namespace
}  // namespace installer
