// 32-bit arithmetic that wraps in two's complement, as the song's clocks,
// lengths and values are defined to. Never signed overflow.
#pragma once

#include <cstdint>
#include <limits>

namespace wrap {

inline int32_t Add(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t Sub(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
inline int32_t Mul(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
inline int32_t Neg(int32_t a) { return static_cast<int32_t>(0u - static_cast<uint32_t>(a)); }
// Division truncating toward zero; b must not be 0. INT32_MIN / -1 wraps to INT32_MIN.
inline int32_t Div(int32_t a, int32_t b) {
  if (b == -1) return Neg(a);
  return a / b;
}
inline int32_t Mod(int32_t a, int32_t b) {
  if (b == -1) return 0;
  return a % b;
}

}  // namespace wrap
