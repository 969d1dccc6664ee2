// Where a task was posted from. The function name is what logs and crash
// reports show for a task, so posts name the method they come from:
//
//   task_runner->PostTask(FROM_HERE, ...);  // the enclosing function's name
//   task_runner->PostTask(FROM_HERE_WITH_EXPLICIT_FUNCTION("Start"), ...);
//
// The second form is for posts made inside lambdas and helpers, whose own
// name would say nothing.

#ifndef BASE_LOCATION_H_
#define BASE_LOCATION_H_

#include <string>

namespace base {

class Location {
 public:
  Location() = default;
  // The strings must live for the whole run (literals).
  Location(const char* function_name, const char* file_name, int line_number)
      : function_name_(function_name),
        file_name_(file_name),
        line_number_(line_number) {}

  const char* function_name() const { return function_name_; }
  const char* file_name() const { return file_name_; }
  int line_number() const { return line_number_; }

  // "Start@installer.cc:120".
  std::string ToString() const;

 private:
  const char* function_name_ = "Unknown";
  const char* file_name_ = "Unknown";
  int line_number_ = -1;
};

}  // namespace base

// The spelling the installer's code base uses for the same type.
namespace tracked_objects {
using Location = ::base::Location;
}  // namespace tracked_objects

#define FROM_HERE_WITH_EXPLICIT_FUNCTION(function_name) \
  ::base::Location(function_name, __FILE__, __LINE__)
#define FROM_HERE FROM_HERE_WITH_EXPLICIT_FUNCTION(__func__)

#endif  // BASE_LOCATION_H_
