#include "base/location.h"

namespace base {

std::string Location::ToString() const {
  // Only the base name: build folders differ between machines.
  const char* base_name = file_name_;
  for (const char* p = file_name_; *p; ++p) {
    if (*p == '/' || *p == '\\')
      base_name = p + 1;
  }
  return std::string(function_name_) + "@" + base_name + ":" +
         std::to_string(line_number_);
}

}  // namespace base
