#pragma once
// Big-endian field access (the library's one set) and box type codes.
#include <cstdint>

#include "base/big_endian.h"

namespace mp4file {

using vidscribe::GetU16;
using vidscribe::GetU24;
using vidscribe::GetU32;
using vidscribe::GetU64;
using vidscribe::PutU16;
using vidscribe::PutU32;
using vidscribe::PutU64;

// Box types are four ASCII characters read as one big-endian word.
constexpr uint32_t FourCC(const char (&s)[5]) {
  return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) | (uint32_t(uint8_t(s[2])) << 8) |
         uint32_t(uint8_t(s[3]));
}

}  // namespace mp4file
