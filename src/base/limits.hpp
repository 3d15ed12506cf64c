// The compiled limits of the program.
#pragma once

#include <cstdint>

namespace kovra {

inline constexpr uint16_t MAX_V = 54; // points of a design
inline constexpr uint16_t MAX_K = 7;  // points per block (a block holds 7 bytes of points)
inline constexpr uint16_t MAX_T = 7;
inline constexpr uint16_t MAX_M = 7;
inline constexpr uint16_t MAX_L = 255; // counters are bytes
inline constexpr int32_t MAX_B = 2147483647;
inline constexpr uint16_t MAX_N = 255; // largest point value a byte can hold
inline constexpr uint16_t MAX_BASE = 201;
inline constexpr uint16_t MAX_KT = 35; // C(7,3) = C(7,4): most t-subsets of a block
inline constexpr uint16_t MAX_MK = 35;
inline constexpr uint32_t MIN_CLL = 32; // compressed text line length (-G)
inline constexpr uint32_t MAX_CLL = 224;

// Capacity of a design file name, terminator excluded.
inline constexpr int FNAME_CAPACITY = 145;

} // namespace kovra
