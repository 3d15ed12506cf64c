// The system tree: one directory of design files per class of parameters.
//
// The files of C(v,k,t,m,...) lie in ../system/K<k>/<t>a<m>a<k> relative to
// the current directory and carry old-style names with the letter a in the L
// position (49????3a.6a6). The best file of a class has the fewest blocks.
#pragma once

#include "design/sys.hpp"

#include <cstdint>
#include <string>

namespace kovra {

// Finds the file of the class with the fewest blocks. `path` receives the
// directory, "/" and the best name (the name pattern when none was found),
// `count` its block count (0 when none). True when a file was found.
bool FindBestSysFile(uint16_t k, uint16_t t, uint16_t m, uint16_t v, std::string& path,
                     uint32_t& count);

// Gives the design its name in the system tree (see the design run).
bool SetSysDirFName(Sys& sys, uint16_t v, uint16_t k, uint16_t t, uint16_t m, uint16_t l,
                    uint32_t b);

// Reads a design for the given parameters: from `fileName` when given, else
// the best file of its class in the system tree. True when a design was read.
bool MakeSys(Sys& sys, uint16_t v, uint16_t k, uint16_t t, uint16_t m, uint16_t l, bool sort,
             int16_t base, const char* fileName, uint8_t bCompressed, bool closeGaps);

} // namespace kovra
