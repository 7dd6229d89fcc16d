#include "platform/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/system_error_text.h"
#include "platform/user_error.h"

namespace frambit::platform {
namespace {

std::string WriteFailureText(const std::string& path, int errorCode, long long bytesWritten) {
  return "写入文件 \"" + path + "\" 失败: " + platform::SystemErrorText(errorCode) + "。该文件不完整（只写入了 " +
         std::to_string(bytesWritten) + " 字节）。";
}

}  // namespace

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {
  descriptor_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (descriptor_ < 0) throw UserError(platform::CannotOpenText(path_, errno));
}

OutputFile::~OutputFile() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

void OutputFile::Write(std::span<const std::byte> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::write(descriptor_, bytes.data() + done, bytes.size() - done);
    if (put > 0) {
      done += static_cast<std::size_t>(put);
      bytesWritten_ += put;
    } else if (put < 0 && errno == EINTR) {
      continue;
    } else {
      // write() returning 0 for a non-empty request means no room is left.
      throw UserError(WriteFailureText(path_, put < 0 ? errno : ENOSPC, bytesWritten_));
    }
  }
}

void OutputFile::Close() {
  const int descriptor = descriptor_;
  descriptor_ = -1;
  if (::close(descriptor) != 0 && errno != EINTR) throw UserError(WriteFailureText(path_, errno, bytesWritten_));
}

bool SameFile(const std::string& first, const std::string& second) {
  struct stat a {}, b {};
  if (::stat(first.c_str(), &a) != 0 || ::stat(second.c_str(), &b) != 0) return false;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace frambit::platform
