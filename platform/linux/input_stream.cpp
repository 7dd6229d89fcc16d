#include "platform/input_stream.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/system_error_text.h"
#include "platform/user_error.h"

namespace frambit::platform {
namespace {

class FileInputStream final : public InputStream {
 public:
  FileInputStream(int descriptor, bool isBlockDevice)
      : descriptor_(descriptor), isBlockDevice_(isBlockDevice) {}
  ~FileInputStream() override { ::close(descriptor_); }
  FileInputStream(const FileInputStream&) = delete;
  FileInputStream& operator=(const FileInputStream&) = delete;

  std::int64_t Size() override {
    if (isBlockDevice_) {
      // The exact device length; a geometry product or a file system's
      // usable size would leave the tail of the medium unscanned.
      std::uint64_t bytes = 0;
      return ::ioctl(descriptor_, BLKGETSIZE64, &bytes) == 0 ? static_cast<std::int64_t>(bytes) : 0;
    }
    struct stat info {};
    return ::fstat(descriptor_, &info) == 0 ? static_cast<std::int64_t>(info.st_size) : 0;
  }

  ReadOutcome ReadAt(std::int64_t offsetBytes, std::span<std::byte> out) override {
    ReadOutcome outcome;
    while (outcome.bytesRead < out.size()) {
      const ssize_t got = ::pread(descriptor_, out.data() + outcome.bytesRead, out.size() - outcome.bytesRead,
                                  static_cast<off_t>(offsetBytes + static_cast<std::int64_t>(outcome.bytesRead)));
      if (got > 0) {
        outcome.bytesRead += static_cast<std::size_t>(got);
      } else if (got == 0) {
        break;  // end of the file or device
      } else if (errno != EINTR) {
        outcome.errorCode = errno;
        break;
      }
    }
    return outcome;
  }

  void AdviseSequential() override { ::posix_fadvise(descriptor_, 0, 0, POSIX_FADV_SEQUENTIAL); }

 private:
  int descriptor_;
  bool isBlockDevice_;
};

}  // namespace

std::unique_ptr<InputStream> OpenInput(const std::string& path) {
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) {
    const int error = errno;
    throw CannotOpenError(platform::CannotOpenText(path, error), error);
  }
  struct stat info {};
  int refusal = 0;
  if (::fstat(descriptor, &info) != 0) {
    refusal = errno;
  } else if (S_ISDIR(info.st_mode)) {
    refusal = EISDIR;
  } else if (!S_ISREG(info.st_mode) && !S_ISBLK(info.st_mode)) {
    refusal = ENOTBLK;
  }
  if (refusal != 0) {
    ::close(descriptor);
    throw CannotOpenError(platform::CannotOpenText(path, refusal), refusal);
  }
  return std::make_unique<FileInputStream>(descriptor, S_ISBLK(info.st_mode));
}

}  // namespace frambit::platform
