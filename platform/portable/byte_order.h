// Little-endian integers in byte buffers, as BMP files and RGNDATA blocks
// hold them, read and written the same on any host.
#pragma once

#include <cstdint>

namespace tw {

inline std::uint16_t ReadU16Le(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t ReadU32Le(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::int32_t ReadI32Le(const std::uint8_t* p) { return static_cast<std::int32_t>(ReadU32Le(p)); }

inline void WriteU32Le(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

inline void WriteI32Le(std::uint8_t* p, std::int32_t v) { WriteU32Le(p, static_cast<std::uint32_t>(v)); }

}  // namespace tw
