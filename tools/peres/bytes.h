// Little-endian reading and writing over byte strings, bounds checked by the
// callers.
#pragma once

#include <cstdint>
#include <string>

namespace peres {

inline uint16_t Get16(const std::string &b, size_t at)
{
    return (uint16_t)((uint8_t)b[at] | (uint8_t)b[at + 1] << 8);
}

inline uint32_t Get32(const std::string &b, size_t at)
{
    return (uint32_t)Get16(b, at) | (uint32_t)Get16(b, at + 2) << 16;
}

inline void Put16(std::string &b, size_t at, uint16_t v)
{
    b[at] = (char)(v & 0xFF);
    b[at + 1] = (char)(v >> 8);
}

inline void Put32(std::string &b, size_t at, uint32_t v)
{
    Put16(b, at, (uint16_t)(v & 0xFFFF));
    Put16(b, at + 2, (uint16_t)(v >> 16));
}

inline void Append16(std::string &b, uint16_t v)
{
    b.push_back((char)(v & 0xFF));
    b.push_back((char)(v >> 8));
}

inline void Append32(std::string &b, uint32_t v)
{
    Append16(b, (uint16_t)(v & 0xFFFF));
    Append16(b, (uint16_t)(v >> 16));
}

// True when [at, at + size) lies inside a string of length total.
inline bool Within(size_t total, uint64_t at, uint64_t size) { return at <= total && size <= total - at; }

}  // namespace peres
