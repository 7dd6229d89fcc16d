#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace frambit::test {

// Builds target bytes: noise with AVI chunks at chosen places.
class ChunkBuilder {
 public:
  // Noise that holds no byte '0' (0x30), so it can never form a header.
  void Noise(std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      auto value = static_cast<std::uint8_t>(random_());
      if (value == 0x30) value = 0x31;
      bytes_.push_back(std::byte{value});
    }
  }

  // A chunk with `dataBytes` of data and the pad byte RIFF puts after odd
  // data. Returns the chunk's offset.
  std::int64_t Chunk(const std::string& identifier, std::uint32_t dataBytes, bool pad = true) {
    const std::int64_t at = Size();
    Header(identifier, dataBytes);
    for (std::uint32_t i = 0; i < dataBytes; ++i) bytes_.push_back(std::byte{static_cast<std::uint8_t>(0x40 + i % 7)});
    if (pad && dataBytes % 2 == 1) bytes_.push_back(std::byte{0});
    return at;
  }

  // Only the eight header bytes: an identifier and a size field.
  std::int64_t Header(const std::string& identifier, std::uint32_t sizeField) {
    const std::int64_t at = Size();
    for (char c : identifier) bytes_.push_back(std::byte{static_cast<std::uint8_t>(c)});
    for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(std::byte{static_cast<std::uint8_t>(sizeField >> shift)});
    return at;
  }

  void Raw(const std::vector<std::byte>& raw) { bytes_.insert(bytes_.end(), raw.begin(), raw.end()); }

  std::int64_t Size() const { return static_cast<std::int64_t>(bytes_.size()); }
  const std::vector<std::byte>& Bytes() const { return bytes_; }

 private:
  std::vector<std::byte> bytes_;
  std::mt19937 random_{20261210};
};

}  // namespace frambit::test
