#include "desktop/windows/installer/service/product_naming.h"

#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/product/version_info.h"

namespace installer {

namespace {

class BrandedProductNaming : public ProductNaming {
 public:
  BrandedProductNaming() = default;
  BrandedProductNaming(const BrandedProductNaming&) = delete;
  BrandedProductNaming& operator=(const BrandedProductNaming&) = delete;
  ~BrandedProductNaming() override = default;

  void GetDisplayName(std::wstring* name) const override {
    *name = base::UTF8ToWide(GetBrandingProductName() + " " + GetStream() +
                             " Internet Browser");
  }

  void GetShortName(std::wstring* name) const override {
    *name = base::UTF8ToWide(GetBrandingProductName());
  }
};

}  // namespace

ProductNaming::~ProductNaming() = default;

// static
ProductNaming* ProductNaming::GetInstance() {
  // Never destroyed, so that no exit-time destructor runs under a late
  // caller.
  static ProductNaming* const instance = new BrandedProductNaming();
  return instance;
}

}  // namespace installer
