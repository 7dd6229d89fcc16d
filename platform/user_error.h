#pragma once

#include <stdexcept>
#include <string>

namespace frambit {

// A failure whose what() is the text the user is shown, unchanged.
class UserError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace frambit
