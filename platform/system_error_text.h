#pragma once

#include <string>

namespace frambit::platform {

// The system's reason for an error number, as the user reads it.
std::string SystemErrorText(int errorCode);

// "Cannot open file "<path>". <reason>"
std::string CannotOpenText(const std::string& path, int errorCode);

}  // namespace frambit::platform
