// The compiled limits of the program.
#pragma once

#include <cstdint>

namespace kovra {

// What a design may be: as large as the designs people hold (covering tables
// go to v < 100, k <= 25, t <= 8; lotteries draw up to 20 of 80; projective
// geometries such as PG(2,16) pass 256 points, and Steiner triple systems
// come near 1000).
inline constexpr uint16_t MAX_V = 1024; // points of a design (sixteen 64-bit words)
inline constexpr uint16_t MAX_K = 32;   // points per block
inline constexpr uint16_t MAX_T = 8;
inline constexpr uint16_t MAX_M = 20;
inline constexpr uint16_t MAX_L = 255; // counters are bytes
inline constexpr int32_t MAX_B = 2147483647;
inline constexpr uint16_t MAX_BASE = 201;
// Largest point number a block line can carry: the last point in the last base.
inline constexpr uint16_t MAX_POINT = MAX_BASE + MAX_V - 1;
// Largest number -z renumbers: any number a block line can carry.
inline constexpr uint16_t MAX_N = MAX_POINT;

// A point as the program holds it, in any base: up to MAX_POINT.
using Point = uint16_t;

// The classic representation: one byte per t-subset of at most 54 points and
// blocks, t and m of at most 7. Designs inside these limits run on it; the
// old file-name schemes and the system tree are made for them as well.
inline constexpr uint16_t CLASSIC_MAX_V = 54;
inline constexpr uint16_t CLASSIC_MAX_K = 7;
inline constexpr uint16_t CLASSIC_MAX_T = 7;
inline constexpr uint16_t CLASSIC_MAX_M = 7;
inline constexpr uint16_t MAX_KT = 35; // C(7,3) = C(7,4): most t-subsets of a classic block

inline constexpr uint32_t MIN_CLL = 32; // compressed text line length (-G)
inline constexpr uint32_t MAX_CLL = 224;

// Capacity of a design file name, terminator excluded.
inline constexpr int FNAME_CAPACITY = 145;

} // namespace kovra
