#include "platform/system_error_text.h"

#include <cstring>

namespace frambit::platform {

std::string SystemErrorText(int errorCode) {
  char buffer[256];
  // GNU strerror_r may return a static string instead of filling the buffer.
  return strerror_r(errorCode, buffer, sizeof buffer);
}

std::string CannotOpenText(const std::string& path, int errorCode) {
  return "Cannot open file \"" + path + "\". " + SystemErrorText(errorCode);
}

}  // namespace frambit::platform
