// The names under which the product presents itself to Windows services,
// such as the firewall rule that lets the browser answer multicast DNS.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_PRODUCT_NAMING_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_PRODUCT_NAMING_H_

#include <string>

namespace installer {

class ProductNaming {
 public:
  ProductNaming(const ProductNaming&) = delete;
  ProductNaming& operator=(const ProductNaming&) = delete;
  virtual ~ProductNaming();

  // The process's instance, made on first use and never destroyed. For the
  // engine's thread.
  static ProductNaming* GetInstance();

  // The branding's product name, the release stream and "Internet
  // Browser": "Kelvo developer Internet Browser".
  virtual void GetDisplayName(std::wstring* name) const = 0;
  // The branding's product name: "Kelvo".
  virtual void GetShortName(std::wstring* name) const = 0;

 protected:
  ProductNaming() = default;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_PRODUCT_NAMING_H_
