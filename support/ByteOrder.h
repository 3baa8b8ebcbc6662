#pragma once
// Little-endian fields in file headers and records.
#include <cstdint>

namespace basic {

inline void PutLE16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLE32(uint8_t* p, uint32_t v) {
  PutLE16(p, v);
  PutLE16(p + 2, v >> 16);
}
inline uint32_t GetLE16(const uint8_t* p) { return p[0] | (uint32_t{p[1]} << 8); }
inline uint32_t GetLE32(const uint8_t* p) { return GetLE16(p) | (GetLE16(p + 2) << 16); }

}  // namespace basic
