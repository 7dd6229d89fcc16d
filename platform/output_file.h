#pragma once

#include <cstddef>
#include <span>
#include <string>

namespace frambit::platform {

// A file the program creates (or cuts to length 0) and writes front to back.
// Every write is complete or throws: a full disk is never a silent short file.
class OutputFile {
 public:
  // Throws UserError "Cannot open file "<path>". <reason>".
  explicit OutputFile(std::string path);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Throws UserError naming the file, the reason and the bytes written so far.
  void Write(std::span<const std::byte> bytes);

  // Flushes and closes; throws like Write when the system reports a late
  // failure (a delayed write error or a quota). The destructor closes quietly.
  void Close();

  const std::string& Path() const { return path_; }
  long long BytesWritten() const { return bytesWritten_; }

 private:
  std::string path_;
  int descriptor_ = -1;
  long long bytesWritten_ = 0;
};

// True when both paths name the same file (same device and inode). Used to
// refuse writing an output file over the recovery target itself.
bool SameFile(const std::string& first, const std::string& second);

}  // namespace frambit::platform
