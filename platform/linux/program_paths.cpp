#include "platform/program_paths.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/system_error_text.h"
#include "platform/user_error.h"

namespace frambit::platform {
namespace {

std::filesystem::path ProgramDirectory() {
  std::error_code error;
  const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::current_path() : executable.parent_path();
}

std::filesystem::path UserCacheRoot() {
  if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && *xdg == '/') return xdg;
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
    return std::filesystem::path(home) / ".cache";
  return std::filesystem::temp_directory_path();
}

}  // namespace

std::string CacheDirectory() {
  auto cache = ProgramDirectory() / "Cache";
  std::error_code error;
  // "Beside the program" works for a portable copy; an installed program
  // usually sits in a folder the user cannot write.
  const bool besideWritable = std::filesystem::is_directory(cache, error)
                                  ? ::access(cache.c_str(), W_OK) == 0
                                  : ::access(cache.parent_path().c_str(), W_OK) == 0;
  if (!besideWritable) cache = UserCacheRoot() / "frambit" / "Cache";
  return (cache / std::to_string(::getpid())).string();
}

void MakeDirectories(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (error) throw UserError(CannotOpenText(path, error.value()));
}

void EnsureWritableDirectory(const std::string& path) {
  MakeDirectories(path);
  if (::access(path.c_str(), W_OK | X_OK) != 0) throw UserError(CannotOpenText(path, errno));
}

void ReplaceFile(const std::string& from, const std::string& to) {
  std::error_code error;
  std::filesystem::rename(from, to, error);
  if (error) throw UserError(CannotOpenText(to, error.value()));
}

void RemoveQuietly(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
}

}  // namespace frambit::platform
