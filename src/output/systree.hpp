// The system tree: one directory of design files per class of parameters.
//
// The tree's root is written "V:../system"; on this platform the drive prefix
// "V:" maps to nothing, so the root is ../system relative to the current
// directory. The files of C(v,k,t,m,...) lie in ../system/K<k>/<t>a<m>a<k> and
// carry old-style names with the letter a in the L position: the files of
// C(49,6,3,6,...) are ../system/K6/3a6a6/49????3a.6a6, and 4901683a.6a6 there
// holds 168 blocks. The best file of a class has the fewest blocks.
#pragma once

#include "design/sys.hpp"

#include <cstdint>
#include <string>

namespace kovra {

// The class directory, "../system/K6/3a6a6" for k=6, t=3, m=6.
std::string SysClassDir(uint16_t k, uint16_t t, uint16_t m);

// The name pattern of the class, "49????3a.6a6" for v=49, k=6, t=3, m=6.
std::string SysNamePattern(uint16_t v, uint16_t k, uint16_t t, uint16_t m);

// True when `name` matches `pattern`, where "?" stands for any one character
// and letters match either case (names copied from systems without case).
bool MatchSysName(const char* name, const char* pattern);

// Finds the file of the class with the fewest blocks (the number in
// characters 3-6 of its name; 0 or no digits skips the file). Regular files
// are examined in ascending byte order of their names, so among equal counts
// the first name in that order wins on every file system. `path` receives the
// directory, "/" and the best name (the name pattern when none was found),
// `count` its block count (0 when none). True when a file was found.
bool FindBestSysFile(const DesignParams& p, std::string& path, uint32_t& count);

// Gives the design its name in the system tree: the best file of its class
// (v, k, t, m) with its b written over characters 3-6. The block count never
// changes to anything the design's array does not hold, and a design is never
// named after a stored file with another count:
//  - no file of the class: false; szFileName gets the pattern path, the
//    parameters and b stay as they were;
//  - b = 0 or b > 9999 (not four digits), or b beyond the design's blocks:
//    false; b and the parameters stay, szFileName gets the class directory
//    and the old-style name with b in full (wider than twelve characters
//    when b > 9999), a name no stored file carries.
bool SetSysDirFName(Sys& sys);

} // namespace kovra
