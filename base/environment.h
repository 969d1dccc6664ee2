// The process environment, with UTF-8 names and values.

#ifndef BASE_ENVIRONMENT_H_
#define BASE_ENVIRONMENT_H_

#include <memory>
#include <string>

#include "base/strings/string16.h"

namespace base {

class Environment {
 public:
  virtual ~Environment();

  // The environment of this process.
  static std::unique_ptr<Environment> Create();

  // Reads a variable; false when it is not set. A variable set to the empty
  // string is set: true with an empty |*result|. |result| may be null.
  virtual bool GetVar(StringPiece variable_name, std::string* result) = 0;

  bool HasVar(StringPiece variable_name);

  // Sets a variable; an empty value keeps it defined but empty. False (and a
  // log line) on failure, for example for a name containing "=".
  virtual bool SetVar(StringPiece variable_name,
                      const std::string& new_value) = 0;

  // Removes a variable; removing an unset one succeeds.
  virtual bool UnSetVar(StringPiece variable_name) = 0;
};

}  // namespace base

#endif  // BASE_ENVIRONMENT_H_
