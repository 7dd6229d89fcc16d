#pragma once

#include <string>

namespace frambit::platform {

// The folder that keeps this process's captured sample headers: a folder of
// its own inside "Cache" beside the program when that can be written,
// otherwise inside $XDG_CACHE_HOME/frambit/Cache (~/.cache/frambit/Cache).
// Programs that run side by side so never take each other's header. The
// folder may not exist yet.
std::string CacheDirectory();

// Creates the folder and its missing parents. Throws UserError
// "Cannot open file "<path>". <reason>" when it cannot.
void MakeDirectories(const std::string& path);

// Makes sure that files can be created in the folder, creating it and its
// parents when missing. Throws UserError with the path and the reason.
void EnsureWritableDirectory(const std::string& path);

// Renames from over to, replacing it in one step. Throws UserError.
void ReplaceFile(const std::string& from, const std::string& to);

// Removes a file or an empty folder; one that is missing, or a folder that
// is not empty, is left as it is without complaint.
void RemoveQuietly(const std::string& path);

}  // namespace frambit::platform
