#pragma once

#include <stdexcept>
#include <string>

namespace frambit {

// A failure whose what() is the text the user is shown, unchanged.
class UserError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A file or device that could not be opened; errorCode is the system's
// error number behind the text.
class CannotOpenError : public UserError {
 public:
  CannotOpenError(const std::string& text, int code) : UserError(text), errorCode(code) {}
  int errorCode;
};

}  // namespace frambit
