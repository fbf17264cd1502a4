// Little-endian fields in byte vectors: every format the builder reads or
// writes (ZIP records, PE headers, the settings block) is little-endian.
// Readers assume the caller has checked the bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline uint16_t GetLe16(const Bytes& bytes, size_t at) {
  return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

inline uint32_t GetLe32(const Bytes& bytes, size_t at) {
  return static_cast<uint32_t>(GetLe16(bytes, at)) |
         (static_cast<uint32_t>(GetLe16(bytes, at + 2)) << 16);
}

inline void SetLe16(Bytes* bytes, size_t at, uint16_t value) {
  (*bytes)[at] = static_cast<uint8_t>(value);
  (*bytes)[at + 1] = static_cast<uint8_t>(value >> 8);
}

inline void SetLe32(Bytes* bytes, size_t at, uint32_t value) {
  SetLe16(bytes, at, static_cast<uint16_t>(value));
  SetLe16(bytes, at + 2, static_cast<uint16_t>(value >> 16));
}

inline void AppendLe16(Bytes* bytes, uint16_t value) {
  bytes->push_back(static_cast<uint8_t>(value));
  bytes->push_back(static_cast<uint8_t>(value >> 8));
}

inline void AppendLe32(Bytes* bytes, uint32_t value) {
  AppendLe16(bytes, static_cast<uint16_t>(value));
  AppendLe16(bytes, static_cast<uint16_t>(value >> 16));
}

inline void AppendBytes(Bytes* bytes, const uint8_t* data, size_t count) {
  bytes->insert(bytes->end(), data, data + count);
}

// True when `count` bytes starting at `at` lie inside a buffer of `size`
// bytes, without overflowing.
inline bool FitsIn(size_t size, size_t at, size_t count) {
  return at <= size && count <= size - at;
}
