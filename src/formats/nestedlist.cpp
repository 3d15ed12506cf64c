// Designs written as one nested list: JSON or GAP.
#include "formats/nestedlist.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <vector>

namespace kovra {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_'; }
bool IsNameChar(char c) { return IsNameStart(c) || IsDigit(c); }

// The next byte in [p, end) that is neither blank, line end nor part of a
// "#" comment; end when there is none.
const char* SkipSpaceAndComments(const char* p, const char* end) {
  while (p < end) {
    if (IsSpace(*p)) {
      ++p;
    } else if (*p == '#') {
      while (p < end && *p != '\n') ++p;
    } else {
      break;
    }
  }
  return p;
}

// Behind a GAP assignment "NAME :=" at p, or null when p starts none.
const char* PassAssignment(const char* p, const char* end) {
  if (p == end || !IsNameStart(*p)) return nullptr;
  while (p < end && IsNameChar(*p)) ++p;
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  if (end - p < 2 || p[0] != ':' || p[1] != '=') return nullptr;
  return p + 2;
}

bool IsOpening(char c) { return c == '[' || c == '(' || c == '{'; }

// The bytes of the list as JSON: the text from the cursor on, with "#"
// comments left out, the first ";" outside a string taken as the end, and
// parentheses and list braces read as brackets. Line ends pass through, so
// that a line counted here is a line of the file.
class ListSource {
public:
  explicit ListSource(TextCursor& text) : text_(text) { Settle(); }

  bool AtEnd() const { return atEnd_; }
  const char& Current() const { return current_; }
  void Advance() {
    const char c = *text_.pos++;
    if (c == '\n') ++line_;
    if (inString_) {
      if (escaped_)
        escaped_ = false;
      else if (c == '\\')
        escaped_ = true;
      else if (c == '"')
        inString_ = false;
    } else if (c == '"') {
      inString_ = true;
    }
    Settle();
  }
  uint64_t line() const { return line_; }
  bool StoppedAtSemicolon() const { return semicolon_; }
  void AddLines(uint64_t n) { line_ += n; }

private:
  bool Available() {
    if (text_.pos == text_.end && text_.source != nullptr && !text_.source->AtEnd())
      text_.source->Fill(text_.pos, text_.end, 1);
    return text_.pos < text_.end;
  }
  // Moves over what is no part of the JSON text and finds out whether the
  // text goes on.
  void Settle() {
    for (;;) {
      if (!Available()) {
        atEnd_ = true;
        return;
      }
      if (inString_) {
        current_ = *text_.pos;
        return;
      }
      if (*text_.pos == ';') {
        semicolon_ = atEnd_ = true;
        return;
      }
      if (*text_.pos != '#') {
        Translate();
        return;
      }
      while (Available() && *text_.pos != '\n') ++text_.pos;
    }
  }
  // The byte at the cursor as JSON sees it; each bracket is met here once.
  void Translate() {
    const char c = *text_.pos;
    current_ = c;
    if (c == '[' || c == '(') {
      closers_.push_back(']');
      current_ = '[';
    } else if (c == '{') {
      const bool object = OpensObject();
      closers_.push_back(object ? '}' : ']');
      current_ = object ? '{' : '[';
    } else if (c == ']' || c == ')' || c == '}') {
      current_ = closers_.empty() ? (c == '}' ? '}' : ']') : closers_.back();
      if (!closers_.empty()) closers_.pop_back();
    }
  }
  // A "{" whose next sign (blanks and line ends passed over, within the
  // window) is a key's quote or the "}" of an empty object.
  bool OpensObject() {
    if (text_.source != nullptr && !text_.source->AtEnd())
      text_.source->Fill(text_.pos, text_.end, MAX_LINE_BYTES);
    const char* p = text_.pos + 1;
    while (p < text_.end && IsSpace(*p)) ++p;
    return p < text_.end && (*p == '"' || *p == '}');
  }

  TextCursor& text_;
  char current_ = 0;
  std::vector<char> closers_; // what each open bracket closes as
  uint64_t line_ = 1;
  bool inString_ = false, escaped_ = false, atEnd_ = false, semicolon_ = false;
};

// The JSON library reads through a pair of these.
class ListIterator {
public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  ListIterator() = default;
  explicit ListIterator(ListSource* source) : source_(source) {}
  reference operator*() const { return source_->Current(); }
  ListIterator& operator++() {
    source_->Advance();
    return *this;
  }
  ListIterator operator++(int) {
    ListIterator before = *this;
    ++*this;
    return before;
  }
  bool operator==(const ListIterator& other) const { return Ended() == other.Ended(); }
  bool operator!=(const ListIterator& other) const { return !(*this == other); }

private:
  bool Ended() const { return source_ == nullptr || source_->AtEnd(); }
  ListSource* source_ = nullptr;
};

using Json = nlohmann::json;

// Collects the blocks while the JSON library walks the text. Each callback
// returns false to stop the walk at the first thing wrong.
class BlockCollector {
public:
  BlockCollector(const ListSource& source, LoadParams& io, uint64_t bound, BlockArray& blocks,
                 NestedListFault& fault)
      : source_(source), io_(io), bound_(bound), blocks_(blocks), fault_(fault),
        k_(io.kOpen ? 0u : io.k) {}

  bool null() { return OtherValue("null"); }
  bool boolean(bool) { return OtherValue("true or false"); }
  bool number_integer(Json::number_integer_t n) {
    if (n >= 0) return number_unsigned(static_cast<Json::number_unsigned_t>(n));
    return Number(std::to_string(n), -1);
  }
  bool number_unsigned(Json::number_unsigned_t n) {
    return Number(std::to_string(n), static_cast<int64_t>(std::min<uint64_t>(n, INT64_MAX)));
  }
  bool number_float(Json::number_float_t, const Json::string_t& text) {
    return OtherValue(text + ", not a whole number,");
  }
  bool string(Json::string_t&) { return OtherValue("a string"); }
  bool binary(Json::binary_t&) { return OtherValue("binary data"); }

  bool start_object(std::size_t) {
    if (Skipping() || (stack_.size() == 1 && stack_[0] == kObject)) return Enter(kSkip);
    if (!stack_.empty()) return NotBlocks("an object inside the list of blocks");
    return Enter(kObject);
  }
  bool key(Json::string_t& name) {
    key_ = name;
    if (stack_.size() != 1 || stack_[0] != kObject) return true;
    if (std::find(keys_.begin(), keys_.end(), name) != keys_.end())
      return NotBlocks("the key \"" + name + "\" appears twice");
    keys_.push_back(name);
    return true;
  }
  bool end_object() { return Leave(); }

  bool start_array(std::size_t) {
    if (Skipping()) return Enter(kSkip);
    if (stack_.empty()) return Enter(kList);
    if (stack_.back() == kObject) return key_ == "blocks" ? Enter(kList) : Enter(kSkip);
    if (stack_.back() == kList) {
      size_ = 0;
      blockLine_ = source_.line();
      return Enter(kBlock);
    }
    return NotBlocks("a list inside a block: blocks are lists of points");
  }
  bool end_array() {
    if (!stack_.empty() && stack_.back() == kBlock && !EndBlock()) return false;
    if (!stack_.empty() && stack_.back() == kList) sawBlocks_ = true;
    return Leave();
  }

  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& error) {
    // The library's text names a position in what it was given; the line
    // is the file's own.
    std::string why = error.what();
    const size_t column = why.find("column ");
    const size_t colon = why.find(": ", column == std::string::npos ? 0 : column);
    if (colon != std::string::npos) why.erase(0, colon + 2);
    return NotBlocks(why);
  }

  // After the walk: the list was there, and k agrees with the blocks.
  bool Finish() {
    if (!sawBlocks_) return NotBlocks("no list of blocks (an object needs a \"blocks\" key)");
    if (!kKey_) {
      if (k_ != 0) io_.k = static_cast<uint16_t>(k_);
      io_.kFromData = io_.kOpen && io_.b != 0;
      return true;
    }
    if (io_.b == 0 || io_.k == k_) return true;
    // A "k" key after the blocks that says otherwise.
    fault_.line = firstLine_;
    fault_.numbers = k_;
    fault_.code = k_ < io_.k ? BLK_TOO_FEW : BLK_TOO_MANY;
    fault_.number = std::to_string(k_);
    fault_.k = io_.k;
    return false;
  }

private:
  enum Frame : uint8_t { kList, kBlock, kObject, kSkip };

  bool Skipping() const { return !stack_.empty() && stack_.back() == kSkip; }
  bool AtParamKey() const {
    static const char* const kKeys[] = {"v", "k", "t", "m", "l", "b", "base"};
    return std::find(std::begin(kKeys), std::end(kKeys), key_) != std::end(kKeys);
  }
  // A value that is neither a point nor a parameter: fine as the value of
  // a key of the file's own, wrong anywhere else.
  bool OtherValue(const std::string& what) {
    if (Skipping()) return true;
    if (!stack_.empty() && stack_.back() == kObject)
      return !AtParamKey() || NotBlocks("\"" + key_ + "\" is " + what + ", not a whole number");
    return NotBlocks(what + " where a point or a block belongs");
  }
  bool Enter(Frame frame) {
    stack_.push_back(frame);
    // Depth is bounded by the skipped values alone; a list of lists of
    // lists deeper than any sensible file is refused rather than followed.
    if (stack_.size() > 64) return NotBlocks("lists nested more than 64 deep");
    return true;
  }
  bool Leave() {
    if (!stack_.empty()) stack_.pop_back();
    return true;
  }

  bool NotBlocks(const std::string& why) {
    if (fault_.code == BLK_OK) {
      fault_.code = BLK_NOT_BLOCK;
      fault_.line = source_.line();
      fault_.text = why;
    }
    return false;
  }
  bool BlockFault(int code, const std::string& number) {
    fault_.code = code;
    fault_.line = source_.line();
    fault_.number = number;
    fault_.numbers = size_;
    fault_.k = k_ != 0 ? k_ : size_;
    return false;
  }

  // A number: a point inside a block, or a parameter's value in the object.
  bool Number(const std::string& text, int64_t value) {
    if (Skipping()) return true;
    if (!stack_.empty() && stack_.back() == kObject) return Param(text, value);
    if (stack_.empty() || stack_.back() != kBlock)
      return NotBlocks("the number " + text + " outside a block: blocks are lists of points");
    if (value < 0 || value > UINT16_MAX) return BlockFault(BLK_RANGE, text);
    if (size_ == MAX_K || (k_ != 0 && size_ == k_)) return BlockFault(BLK_TOO_MANY, text);
    const auto point = static_cast<Point>(value);
    if (std::find(block_, block_ + size_, point) != block_ + size_)
      return BlockFault(BLK_DUP, text);
    block_[size_++] = point;
    return true;
  }

  bool Param(const std::string& text, int64_t value) {
    static const char* const kKeys[] = {"v", "k", "t", "m", "l", "b", "base"};
    const auto* known = std::find(std::begin(kKeys), std::end(kKeys), key_);
    if (known == std::end(kKeys)) return true; // a key of its own: a count, a year
    if (value < 0 || value > (key_ == "b" ? MAX_B : UINT16_MAX))
      return NotBlocks("\"" + key_ + "\": " + text + " is out of range");
    const auto small = static_cast<uint16_t>(value);
    io_.idLine = true;
    switch (known - std::begin(kKeys)) {
    case 0: io_.v = io_.v1 = small; break;
    case 1:
      io_.k = small;
      kKey_ = true;
      if (io_.b == 0) k_ = small; // the blocks to come must have it
      break;
    case 2: io_.t = small; break;
    case 3: io_.m = small; break;
    case 4: io_.l = small; break;
    case 5: bKey_ = static_cast<uint32_t>(value); break;
    default: io_.base = small; break;
    }
    return true;
  }

  bool EndBlock() {
    if (k_ == 0) k_ = size_;
    if (size_ < k_) return BlockFault(BLK_TOO_FEW, "");
    if (size_ == 0) return BlockFault(BLK_TOO_FEW, "");
    if (io_.b == 0) {
      firstLine_ = blockLine_;
      most_ = bound_ / (uint64_t{k_} * sizeof(Point));
    }
    if (io_.b == most_) {
      fault_.overBound = true;
      fault_.line = blockLine_;
      return false;
    }
    if (!GrowBlocks(blocks_, room_, io_.b + uint64_t{1}, most_, k_)) {
      fault_.overBound = true;
      fault_.line = blockLine_;
      return false;
    }
    std::copy_n(block_, k_, blocks_.get() + size_t{io_.b} * k_);
    ++io_.b;
    return true;
  }

public:
  uint32_t bKey() const { return bKey_; }
  unsigned width() const { return k_; }

private:
  const ListSource& source_;
  LoadParams& io_;
  uint64_t bound_, most_ = 0;
  BlockArray& blocks_;
  NestedListFault& fault_;
  unsigned k_; // points per block: given, named by "k", or the first block's
  std::vector<Frame> stack_;
  std::string key_;
  std::vector<std::string> keys_; // of the object, each once
  Point block_[MAX_K] = {};
  unsigned size_ = 0;
  uint64_t blockLine_ = 0, firstLine_ = 0;
  uint64_t room_ = 0;
  uint32_t bKey_ = 0;
  bool kKey_ = false, sawBlocks_ = false;
};

} // namespace

bool StartsNestedList(TextCursor& text) {
  if (text.source != nullptr && !text.source->AtEnd())
    text.source->Fill(text.pos, text.end, 4 * MAX_LINE_BYTES);
  const char* const end = text.end;
  const char* p = SkipSpaceAndComments(text.pos, end);
  if (const char* behind = PassAssignment(p, end)) {
    p = SkipSpaceAndComments(behind, end);
    return p < end && *p == '[';
  }
  if (p == end || !IsOpening(*p)) return false;
  const char open = *p;
  p = SkipSpaceAndComments(p + 1, end);
  return p < end && (IsOpening(*p) || (open == '{' && *p == '"'));
}

bool ReadNestedList(TextCursor& text, LoadParams& io, uint64_t bound, BlockArray& blocks,
                    NestedListFault& fault) {
  io.b = 0;
  // A GAP assignment before the list; StartsNestedList saw it in the window.
  uint64_t skippedLines = 0;
  const char* start = SkipSpaceAndComments(text.pos, text.end);
  if (const char* behind = PassAssignment(start, text.end)) {
    skippedLines = static_cast<uint64_t>(std::count(text.pos, behind, '\n'));
    text.pos = behind;
  }
  ListSource source(text);
  source.AddLines(skippedLines);
  BlockCollector collector(source, io, bound, blocks, fault);
  const bool parsed = Json::sax_parse(ListIterator(&source), ListIterator(), &collector,
                                      nlohmann::detail::input_format_t::json, true);
  if (!parsed || !collector.Finish()) {
    if (fault.code == BLK_OK && !fault.overBound) {
      fault.code = BLK_NOT_BLOCK;
      fault.line = source.line();
      fault.text = "not a list of blocks";
    }
    return false;
  }
  // Behind a ";" only comments and blanks may follow.
  if (source.StoppedAtSemicolon()) {
    uint64_t line = source.line();
    for (;;) {
      if (text.pos == text.end && text.source != nullptr && !text.source->AtEnd())
        text.source->Fill(text.pos, text.end, 1);
      if (text.pos == text.end) break;
      const char c = *text.pos++;
      if (c == '\n') ++line;
      if (c == '#') {
        while (text.pos < text.end && *text.pos != '\n') {
          ++text.pos;
          if (text.pos == text.end && text.source != nullptr && !text.source->AtEnd())
            text.source->Fill(text.pos, text.end, 1);
        }
      } else if (!IsSpace(c) && c != ';') {
        fault.code = BLK_NOT_BLOCK;
        fault.line = line;
        fault.text = "text after the list";
        return false;
      }
    }
  }
  if (collector.bKey() != 0 && collector.bKey() != io.b) {
    fault.code = collector.bKey() > io.b ? BLK_MISSING : 13;
    fault.numbers = collector.bKey();
    return false;
  }
  return true;
}

} // namespace kovra
