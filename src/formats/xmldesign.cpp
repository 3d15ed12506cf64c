// Block designs in XML, through pugixml: the one file that sees it.
#include "formats/xmldesign.hpp"

#include "base/version.hpp"

#include <pugixml.hpp>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <string_view>

namespace kovra {
namespace {

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The name of an element without its namespace prefix.
std::string_view LocalName(const pugi::xml_node& node) {
  const std::string_view name = node.name();
  const size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

pugi::xml_node Child(const pugi::xml_node& node, std::string_view name) {
  for (const pugi::xml_node c : node.children())
    if (c.type() == pugi::node_element && LocalName(c) == name) return c;
  return {};
}

// Every <block_design> element, in document order, wherever it stands.
std::vector<pugi::xml_node> BlockDesigns(const pugi::xml_document& doc) {
  std::vector<pugi::xml_node> found;
  std::vector<pugi::xml_node> open{doc};
  while (!open.empty()) {
    const pugi::xml_node node = open.back();
    open.pop_back();
    if (node.type() == pugi::node_element && LocalName(node) == "block_design") {
      found.push_back(node);
      continue; // designs do not nest
    }
    std::vector<pugi::xml_node> children;
    for (const pugi::xml_node c : node.children())
      if (c.type() == pugi::node_element) children.push_back(c);
    open.insert(open.end(), children.rbegin(), children.rend());
  }
  return found;
}

// An unsigned decimal number of at most `limit`, blanks around it allowed.
bool WholeNumber(const char* text, uint64_t limit, uint64_t& value) {
  std::string_view s(text);
  while (!s.empty() && IsXmlSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsXmlSpace(s.back())) s.remove_suffix(1);
  if (s.empty() || s.size() > 20) return false;
  value = 0;
  for (const char c : s) {
    if (!IsDigit(c)) return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > limit) return false;
  }
  return true;
}

bool Fail(XmlFault& fault, int code, std::string text) {
  fault.code = code;
  fault.text = std::move(text);
  return false;
}

__attribute__((format(printf, 1, 2))) std::string Format(const char* format, ...) {
  char text[160];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

// The whole text at the cursor, parsed. False (with `fault`) when it passes
// the bound or is no XML.
bool ParseAll(TextCursor& text, uint64_t bound, pugi::xml_document& doc, XmlFault& fault) {
  std::string all;
  for (;;) {
    all.append(text.pos, text.end);
    text.pos = text.end;
    if (all.size() > bound) {
      fault.overBound = true;
      return Fail(fault, BLK_NOT_BLOCK, "the XML text passes the memory bound (--memory)");
    }
    if (text.source == nullptr || text.source->AtEnd()) break;
    text.source->Fill(text.pos, text.end, 1);
    if (text.pos == text.end) break;
  }
  const pugi::xml_parse_result parsed = doc.load_buffer(all.data(), all.size());
  if (!parsed)
    return Fail(fault, BLK_NOT_BLOCK,
                Format("no XML: %s at byte %lu", parsed.description(),
                       static_cast<unsigned long>(parsed.offset)));
  return true;
}

} // namespace

bool StartsXml(TextCursor& text) {
  if (text.source != nullptr && !text.source->AtEnd()) text.source->Fill(text.pos, text.end, 64);
  const char* p = text.pos;
  if (text.end - p >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) p += 3;
  while (p < text.end && IsXmlSpace(*p)) ++p;
  return p < text.end && *p == '<';
}

bool CountXmlDesigns(TextCursor& text, uint64_t bound, uint32_t& count, XmlFault& fault) {
  pugi::xml_document doc;
  if (!ParseAll(text, bound, doc, fault)) return false;
  count = static_cast<uint32_t>(BlockDesigns(doc).size());
  return count != 0 || Fail(fault, BLK_NOT_BLOCK, "no <block_design> element");
}

bool ReadXmlDesign(TextCursor& text, LoadParams& io, uint64_t bound, BlockArray& blocks,
                   XmlFault& fault) {
  pugi::xml_document doc;
  if (!ParseAll(text, bound, doc, fault)) return false;
  const std::vector<pugi::xml_node> designs = BlockDesigns(doc);
  if (designs.empty()) return Fail(fault, BLK_NOT_BLOCK, "no <block_design> element");
  io.designsHeld = static_cast<uint32_t>(designs.size());
  if (io.design >= designs.size())
    return Fail(fault, BLK_NOT_BLOCK,
                Format("no design %lu: the file holds %zu",
                       static_cast<unsigned long>(io.design) + 1, designs.size()));
  const pugi::xml_node design = designs[io.design];
  uint64_t v = 0;
  if (!WholeNumber(design.attribute("v").value(), UINT16_MAX, v) || v == 0)
    return Fail(fault, BLK_NOT_BLOCK, "no number of points v=\"...\" in <block_design>");
  const pugi::xml_node list = Child(design, "blocks");
  if (!list) return Fail(fault, BLK_NOT_BLOCK, "no <blocks> in <block_design>");

  // The points of each block, checked as they come; k is the first block's.
  std::vector<Point> points;
  uint64_t b = 0;
  unsigned k = 0;
  for (const pugi::xml_node block : list.children()) {
    if (block.type() != pugi::node_element || LocalName(block) != "block") continue;
    ++b;
    const size_t first = points.size();
    for (const pugi::xml_node z : block.children()) {
      if (z.type() != pugi::node_element || LocalName(z) != "z") continue;
      uint64_t p = 0;
      if (!WholeNumber(z.child_value(), UINT16_MAX, p) || p >= v)
        return Fail(fault, BLK_RANGE,
                    Format("block %lu: point \"%.20s\" is outside 0..%lu",
                           static_cast<unsigned long>(b), z.child_value(),
                           static_cast<unsigned long>(v - 1)));
      if (std::find(points.begin() + static_cast<std::ptrdiff_t>(first), points.end(), p) !=
          points.end())
        return Fail(fault, BLK_DUP,
                    Format("block %lu: point %lu appears twice", static_cast<unsigned long>(b),
                           static_cast<unsigned long>(p)));
      points.push_back(static_cast<Point>(p));
      if (points.size() * sizeof(Point) > bound) {
        fault.overBound = true;
        return Fail(fault, 3, "the blocks pass the memory bound (--memory)");
      }
    }
    const size_t size = points.size() - first;
    if (b == 1) k = static_cast<unsigned>(size);
    if (size != k)
      return Fail(fault, size < k ? BLK_TOO_FEW : BLK_TOO_MANY,
                  Format("block %lu has %zu points, block 1 has %u", static_cast<unsigned long>(b),
                         size, k));
  }
  if (b == 0 || k == 0) return Fail(fault, BLK_NOT_BLOCK, "no block of points in <blocks>");
  uint64_t given = 0;
  if (design.attribute("b") &&
      (!WholeNumber(design.attribute("b").value(), UINT64_MAX / 2, given) || given != b))
    return Fail(fault, BLK_NOT_BLOCK,
                Format("b=\"%.20s\" but %lu blocks", design.attribute("b").value(),
                       static_cast<unsigned long>(b)));
  if (b > MAX_B) return Fail(fault, 13, "more blocks than the limit");

  // The parameters of a t-design, when the file states them.
  const pugi::xml_node params =
      Child(Child(Child(design, "combinatorial_properties"), "t_design_properties"), "parameters");
  uint64_t t = 0, lambda = 0;
  if (WholeNumber(params.attribute("t").value(), UINT16_MAX, t) &&
      WholeNumber(params.attribute("lambda").value(), UINT16_MAX, lambda)) {
    io.t = io.m = static_cast<uint16_t>(t);
    io.l = static_cast<uint16_t>(lambda);
    io.idLine = true;
  }
  io.v = io.v1 = static_cast<uint16_t>(v);
  io.k = static_cast<uint16_t>(k);
  io.b = static_cast<uint32_t>(b);
  io.base = 0;
  io.vFromData = io.kFromData = true;
  uint64_t room = 0;
  if (!GrowBlocks(blocks, room, b, b, k)) {
    fault.overBound = true;
    return Fail(fault, 3, "no memory for the blocks");
  }
  std::copy(points.begin(), points.end(), blocks.get());
  return true;
}

bool WriteXmlDesign(const Sys& sys, std::FILE* out) {
  pugi::xml_document doc;
  pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  pugi::xml_node list = doc.append_child("list_of_designs");
  list.append_attribute("xmlns") = "http://designtheory.org/xml-namespace";
  list.append_attribute("dtrs_protocol") = "2.0";
  list.append_attribute("design_type") = "block_design";
  // One design is trivially not isomorphic to another of the list; GAP
  // reads no list without the attribute.
  list.append_attribute("pairwise_nonisomorphic") = "true";
  list.append_attribute("no_designs") = 1;
  list.append_child("info").append_child("software").text() =
      ("[ KOVRA-" + VersionText() + " ]").c_str();
  pugi::xml_node design = list.append_child("designs").append_child("block_design");
  design.append_attribute("id") = "kovra-0";
  design.append_attribute("v") = sys.v;
  design.append_attribute("b") = sys.b;
  pugi::xml_node blocks = design.append_child("blocks");
  blocks.append_attribute("ordered") = "true";
  for (uint32_t i = 0; i < sys.b; ++i) {
    pugi::xml_node block = blocks.append_child("block");
    const Point* row = BlockAt(sys, i);
    for (unsigned j = 0; j < sys.k; ++j)
      block.append_child("z").text() = static_cast<unsigned>(row[j] - sys.base);
  }
  pugi::xml_writer_file writer(out);
  doc.save(writer, "  ");
  return std::ferror(out) == 0;
}

} // namespace kovra
