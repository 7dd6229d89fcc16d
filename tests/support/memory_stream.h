#pragma once

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/input_stream.h"

namespace frambit::test {

// An in-memory target that can fail like a worn medium: reads that touch a
// bad range deliver the bytes before it and then report EIO. Every read is
// logged.
class MemoryStream : public platform::InputStream {
 public:
  struct Read {
    std::int64_t offset;
    std::size_t length;
  };

  explicit MemoryStream(std::vector<std::byte> bytes) : bytes_(std::move(bytes)) {}

  void AddBadRange(std::int64_t from, std::int64_t to) { bad_.emplace_back(from, to); }
  // The stream ends here from the next read on, as a removed card would.
  void Truncate(std::int64_t size) { bytes_.resize(static_cast<std::size_t>(size)); }
  const std::vector<Read>& Reads() const { return reads_; }

  std::int64_t Size() override { return static_cast<std::int64_t>(bytes_.size()); }

  platform::ReadOutcome ReadAt(std::int64_t offset, std::span<std::byte> out) override {
    reads_.push_back({offset, out.size()});
    const auto size = static_cast<std::int64_t>(bytes_.size());
    std::int64_t end = std::min(size, offset + static_cast<std::int64_t>(out.size()));
    int error = 0;
    for (const auto& [from, to] : bad_) {
      if (from < end && to > offset) {
        end = std::max(offset, from);
        error = EIO;
      }
    }
    const std::size_t delivered = end > offset ? static_cast<std::size_t>(end - offset) : 0;
    if (delivered > 0) std::memcpy(out.data(), bytes_.data() + offset, delivered);
    return {delivered, error};
  }

 private:
  std::vector<std::byte> bytes_;
  std::vector<std::pair<std::int64_t, std::int64_t>> bad_;
  std::vector<Read> reads_;
};

// An opener that hands out `stream` for `path` and opens everything else
// (the captured sample header, for one) from the real file system.
inline platform::InputOpener OpenerWith(std::string path, std::shared_ptr<MemoryStream> stream) {
  return [path = std::move(path), stream](const std::string& wanted) -> std::unique_ptr<platform::InputStream> {
    if (wanted != path) return platform::OpenInput(wanted);
    struct Shared : platform::InputStream {
      std::shared_ptr<MemoryStream> inner;
      std::int64_t Size() override { return inner->Size(); }
      platform::ReadOutcome ReadAt(std::int64_t offset, std::span<std::byte> out) override {
        return inner->ReadAt(offset, out);
      }
    };
    auto shared = std::make_unique<Shared>();
    shared->inner = stream;
    return shared;
  };
}

}  // namespace frambit::test
