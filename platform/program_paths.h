#pragma once

#include <string>

namespace frambit::platform {

// The folder that keeps captured sample headers: "Cache" beside the program
// when that folder can be written, otherwise $XDG_CACHE_HOME/frambit/Cache
// (~/.cache/frambit/Cache). The folder may not exist yet.
std::string CacheDirectory();

// Creates the folder and its missing parents. Throws UserError
// "Cannot open file "<path>". <reason>" when it cannot.
void MakeDirectories(const std::string& path);

// Makes sure that files can be created in the folder, creating it and its
// parents when missing. Throws UserError with the path and the reason.
void EnsureWritableDirectory(const std::string& path);

// Renames from over to, replacing it in one step. Throws UserError.
void ReplaceFile(const std::string& from, const std::string& to);

// Removes a file; a missing file is not an error.
void RemoveFileQuietly(const std::string& path);

}  // namespace frambit::platform
