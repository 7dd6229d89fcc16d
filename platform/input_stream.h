#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace frambit::platform {

// What one ReadAt delivered. bytesRead < requested means the stream ended
// (errorCode == 0) or a read failed at offset + bytesRead (errorCode is the
// system's error number, e.g. EIO on a bad sector).
struct ReadOutcome {
  std::size_t bytesRead = 0;
  int errorCode = 0;
};

// A read-only view of a recovery target or a sample: an image file or a
// block device. Implementations never open anything for writing.
class InputStream {
 public:
  virtual ~InputStream() = default;

  // Current length in bytes: the file's size, or a device's exact length.
  virtual std::int64_t Size() = 0;

  // Reads up to out.size() bytes at offsetBytes. Interrupted and partial
  // reads are retried, so a short result always means end of stream or an
  // error; bytes past bytesRead are left as they were.
  virtual ReadOutcome ReadAt(std::int64_t offsetBytes, std::span<std::byte> out) = 0;

  // Tells the system that the stream will be read front to back.
  virtual void AdviseSequential() {}
};

using InputOpener = std::function<std::unique_ptr<InputStream>(const std::string& path)>;

// Opens a regular file or a block device read-only. Throws CannotOpenError
// "Cannot open file "<path>". <reason>" when that is not possible.
std::unique_ptr<InputStream> OpenInput(const std::string& path);

}  // namespace frambit::platform
