// Block designs in the XML external representation that design theorists
// exchange and GAP's DESIGN package reads and writes:
//
//   <list_of_designs xmlns="http://designtheory.org/xml-namespace"
//                    dtrs_protocol="2.0" design_type="block_design" no_designs="1">
//     <designs>
//       <block_design id="fano-0" v="7" b="7">
//         <blocks ordered="true">
//           <block><z>0</z><z>1</z><z>3</z></block>
//           ...
//
// A file holds one or more <block_design> elements; each is one design. Its
// points are 0..v-1 (the design's file base is 0) and its blocks are the
// <z> elements of each <block> of its <blocks>, in order; every block must
// have as many points as the first. The "b" attribute, when given, must
// match the blocks. Other elements (the info, indicators, properties,
// automorphism groups) are passed over, with one exception: the parameters
// of a t-design (t_design_properties/parameters with "t" and "lambda") act
// like an ID line, as C(v,k,t,t,lambda). Element names may carry a namespace
// prefix. pugixml reads and writes the text in xmldesign.cpp, the one file
// that sees it.
#pragma once

#include "formats/loader.hpp"
#include "formats/textfmt.hpp"

#include <cstdint>
#include <cstdio>
#include <string>

namespace kovra {

// True when the text at the cursor starts, past blanks and a byte-order
// mark, with "<": no other design format does. Moves nothing.
bool StartsXml(TextCursor& text);

// What the XML reader found wrong, for the loader's messages.
struct XmlFault {
  int code = BLK_OK;      // a block-line code, or BLK_NOT_BLOCK for XML that holds no design
  std::string text;       // why, with the block and the number at fault
  bool overBound = false; // the text or the blocks pass the memory bound
};

// The number of <block_design> elements of the XML at the cursor (read to
// its end). False, with `fault` set, when the text is no XML or holds none.
bool CountXmlDesigns(TextCursor& text, uint64_t bound, uint32_t& count, XmlFault& fault);

// Reads design number io.design (from 0) of the XML at the cursor into
// `blocks` (rows of io.k points, numbered 0..v-1): io.v, k and b become the
// design's, io.base 0, and t, m and l those of its t-design parameters when
// it gives them (io.idLine is set then); io.designsHeld the number of
// designs the text holds. The text and the blocks take at
// most `bound` bytes. False with `fault` set on the first thing wrong.
bool ReadXmlDesign(TextCursor& text, LoadParams& io, uint64_t bound, BlockArray& blocks,
                   XmlFault& fault);

// Writes the design, numbered from sys.base, as a list of one block design
// with points 0..v-1. False when the stream failed.
bool WriteXmlDesign(const Sys& sys, std::FILE* out);

} // namespace kovra
