#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace frambit {

// RIFF stores every number little-endian. The caller guarantees the bytes.
inline std::uint32_t LoadLittleEndian32(const std::byte* at) {
  std::uint8_t b[4];
  std::memcpy(b, at, 4);
  return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 | std::uint32_t{b[3]} << 24;
}

inline std::uint16_t LoadLittleEndian16(const std::byte* at) {
  std::uint8_t b[2];
  std::memcpy(b, at, 2);
  return static_cast<std::uint16_t>(b[0] | b[1] << 8);
}

inline void StoreLittleEndian32(std::byte* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = std::byte{static_cast<std::uint8_t>(value >> (8 * i))};
}

inline void StoreLittleEndian64(std::byte* at, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) at[i] = std::byte{static_cast<std::uint8_t>(value >> (8 * i))};
}

// Appends value's `Bytes` low bytes, lowest first.
template <int Bytes>
void AppendLittleEndian(std::vector<std::byte>& out, std::uint64_t value) {
  static_assert(Bytes >= 1 && Bytes <= 8);
  for (int i = 0; i < Bytes; ++i) out.push_back(std::byte{static_cast<std::uint8_t>(value >> (8 * i))});
}

// A four-character code as the word its bytes form: FourCc("00dc").
constexpr std::uint32_t FourCc(const char (&text)[5]) {
  return std::uint32_t{static_cast<std::uint8_t>(text[0])} | std::uint32_t{static_cast<std::uint8_t>(text[1])} << 8 |
         std::uint32_t{static_cast<std::uint8_t>(text[2])} << 16 | std::uint32_t{static_cast<std::uint8_t>(text[3])} << 24;
}

}  // namespace frambit
