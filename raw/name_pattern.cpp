// Name patterns.
//
// Grammar, in characters of the pattern's own code (every step covers a whole
// character, so a Shift_JIS trail byte such as "[", "]" or "\" belongs to its
// character and is never syntax):
//
//   pattern   := "<" pattern                 the rest, negated
//              | ">" literal                 the rest, exactly and with case
//              | "@" extended
//              | wildcard
//   literal   := char*
//   wildcard  := ( "*" | "?" | escape | char )*
//   extended  := ( atom [ "*" | "+" ] )*
//   atom      := "." | escape | class | char
//   class     := "[" [ "^" ] member* ( "]" | end of pattern )
//   member    := single [ "-" single ]       a range
//   single    := escape | char               ("]" ends the class instead)
//   escape    := "%" char
//
// Escapes: %B "[", %C ")", %E "]", %O "(", %c and %i ";", %e "%", %l ":", %m ",",
// %n line feed, %q double quote, %r carriage return, %s space, %t tab, %v "|";
// "%" before any other character stands for that character.
//
// Where the grammar leaves room:
// - a lone "%" at the end of a pattern stands for "%" itself;
// - "*" or "+" with no atom before it (first in an extended pattern, or right
//   after another repetition) is an ordinary character;
// - escapes inside a class use the same table ("%E" and "%]" both put "]" into
//   a class, "%-" a minus, "%^" a caret);
// - "[]" is an empty class that admits nothing, "[^]" admits any character; a
//   "-" first or last in a class is itself; a range whose ends are in descending
//   order admits nothing; other characters of a class are taken one by one;
// - ignoring case, a class admits a letter when it admits either case of it;
// - an empty pattern (and an empty extended or wildcard part) matches only the
//   empty text; "<" alone matches every text that is not empty.
//
// Matching: the pattern compiles into a list of steps, each one test of a text
// character (any, one character, a class) taken once or repeated zero or more
// times ("x+" becomes "x x*"; the wildcard "*" is "any, repeated"). The text runs
// through the set of live steps (a simulation of the automaton, not
// backtracking), so the cost is at most text length × pattern length even for
// patterns such as "*a*a*a*a*a*b". Which run a repetition tries first (the
// shortest) decides how a pattern matches, never whether, so no order is needed.
// A class keeps its ASCII members as a bitmap and reads its members again only
// for a character beyond ASCII.
//
// Most wildcard patterns a search uses are a literal with "*" at one or both ends
// ("*.txt", "note*", "*tmp*", "note*.exe"): those compare the text's bytes
// directly, and the steps decide only where a byte match may not be a match of
// whole characters (see Shape).
#include "raw/name_pattern.h"

#include <array>
#include <bit>
#include <cstring>
#include <utility>
#include <vector>

namespace RawLayer {
namespace {

// A character's value. ASCII characters are their own code in every text code,
// so a pattern of plain ASCII compares against a text of any code; the others are
// their code units packed together and compare within one code only.
using CharValue = uint64_t;
// Marks a character cut off inside a 16-bit unit: it equals no whole character.
constexpr CharValue kHalfUnit = CharValue{1} << 56;

constexpr CharValue FoldCase(CharValue c) { return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c; }
constexpr bool IsLetter(CharValue c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
constexpr CharValue OtherCase(CharValue c) { return c ^ 0x20; }

// Walks a text by whole characters of its code.
class CharReader {
 public:
  explicit CharReader(const RawString& text)
      : code_(text.Code()),
        narrow_(UnitSize(code_) == 1 && code_ != CodeUtf16Big && code_ != CodeUtf16Little),
        data_(text.Data()),
        length_(text.Length()) {}

  bool AtEnd() const { return position_ >= length_; }
  int32_t Position() const { return position_; }
  void Seek(int32_t position) { position_ = position; }

  CharValue Peek() const {
    int32_t next = 0;
    return ValueAt(position_, next);
  }
  CharValue Next() {
    int32_t next = 0;
    const CharValue value = ValueAt(position_, next);
    position_ = next;
    return value;
  }
  // Whether the next character is the ASCII character `c` (false at the end).
  bool NextIs(char c) const { return !AtEnd() && Peek() == static_cast<CharValue>(c); }

 private:
  CharValue ValueAt(int32_t position, int32_t& next) const {
    // ASCII is one unit in every narrow code: the usual name needs no more.
    if (narrow_ && static_cast<uint8_t>(data_[position]) < 0x80) {
      next = position + 1;
      return static_cast<uint8_t>(data_[position]);
    }
    next = position + 1 + CharExtraOf(code_, data_, length_, position);
    CharValue value = 0;
    if (code_ == CodeWide) {
      for (int32_t p = position; p < next; ++p) {
        char16_t unit = 0;
        std::memcpy(&unit, data_ + 2 * static_cast<size_t>(p), 2);
        value = value << 16 | unit;
      }
      return value;
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(data_);
    if (code_ == CodeUtf16Big || code_ == CodeUtf16Little) {
      const int high = code_ == CodeUtf16Big ? 0 : 1;
      int32_t p = position;
      for (; p + 1 < next; p += 2) value = value << 16 | (bytes[p + high] << 8 | bytes[p + 1 - high]);
      if (p < next) value = (value << 8 | bytes[p]) | kHalfUnit;
      return value;
    }
    for (int32_t p = position; p < next; ++p) value = value << 8 | bytes[p];
    return value;
  }

  TextCode code_;
  bool narrow_;  // one byte per unit and ASCII bytes are characters
  const char* data_;
  int32_t length_;
  int32_t position_ = 0;
};

enum class StepKind : uint8_t { Any, Char, Class };

// One test of a text character. Kept trivial so that a list of them on the
// stack costs nothing to set up.
struct Step {
  StepKind kind;
  bool repeats;    // zero or more times instead of once
  bool negated;    // a class with "^"
  bool beyondAscii;  // Class: a member reaches past ASCII (such characters read the members again)
  CharValue value;  // Char: case-folded when ignoring case
  int32_t begin;    // Class: the members' positions in the pattern
  int32_t end;
  uint64_t ascii[2];  // Class: the ASCII characters it holds (both cases when ignoring case), before "^"
};

// A buffer on the stack for the usual short pattern, on the heap beyond.
template <typename T, size_t N>
class ScratchArray {
 public:
  explicit ScratchArray(size_t size) {
    if (size > N) heap_.resize(size);
    data_ = size > N ? heap_.data() : inline_.data();
  }
  ScratchArray(const ScratchArray&) = delete;
  ScratchArray& operator=(const ScratchArray&) = delete;
  T* Data() { return data_; }
  T& operator[](size_t i) { return data_[i]; }
  const T& operator[](size_t i) const { return data_[i]; }

 private:
  std::array<T, N> inline_;
  std::vector<T> heap_;
  T* data_;
};

// escape := "%" char. The reader stands after the "%".
CharValue ReadEscape(CharReader& pattern) {
  if (pattern.AtEnd()) return '%';
  const CharValue c = pattern.Next();
  switch (c) {
    case 'B': return '[';
    case 'C': return ')';
    case 'E': return ']';
    case 'O': return '(';
    case 'c':
    case 'i': return ';';
    case 'e': return '%';
    case 'l': return ':';
    case 'm': return ',';
    case 'n': return '\n';
    case 'q': return '"';
    case 'r': return '\r';
    case 's': return ' ';
    case 't': return '\t';
    case 'v': return '|';
    default: return c;
  }
}

// single := escape | char. A class never ends between "%" and its character.
CharValue ReadSingle(CharReader& pattern) {
  const CharValue c = pattern.Next();
  return c == '%' ? ReadEscape(pattern) : c;
}

// member* of a class whose members lie in [begin, end): whether `c` is among them.
bool ClassHas(CharReader pattern, int32_t begin, int32_t end, CharValue c) {
  pattern.Seek(begin);
  while (pattern.Position() < end) {
    const CharValue low = ReadSingle(pattern);
    CharValue high = low;
    if (pattern.Position() < end && pattern.NextIs('-')) {
      const int32_t minus = pattern.Position();
      pattern.Next();
      if (pattern.Position() < end) {
        high = ReadSingle(pattern);
      } else {
        pattern.Seek(minus);  // a last "-" is a member of its own
      }
    }
    if (low <= c && c <= high) return true;
  }
  return false;
}

bool Admits(const Step& step, const CharReader& pattern, CharValue c, bool ignoreCase) {
  switch (step.kind) {
    case StepKind::Any:
      return true;
    case StepKind::Char:
      return (ignoreCase ? FoldCase(c) : c) == step.value;
    case StepKind::Class: {
      // Only ASCII letters have another case, so beyond ASCII the members decide alone.
      if (c < 0x80) return ((step.ascii[c >> 6] >> (c & 63)) & 1) != step.negated;
      return (step.beyondAscii && ClassHas(pattern, step.begin, step.end, c)) != step.negated;
    }
  }
  return false;
}

Step CharStep(CharValue c, bool ignoreCase) {
  return Step{StepKind::Char, false, false, false, ignoreCase ? FoldCase(c) : c, 0, 0, {0, 0}};
}
Step AnyStep(bool repeats) { return Step{StepKind::Any, repeats, false, false, 0, 0, 0, {0, 0}}; }

// wildcard := ( "*" | "?" | escape | char )*
int32_t CompileWildcard(CharReader& pattern, Step* steps, bool ignoreCase) {
  int32_t count = 0;
  while (!pattern.AtEnd()) {
    const CharValue c = pattern.Next();
    if (c == '*') {
      // Runs of "*" are one: fewer live steps, same language.
      if (count == 0 || steps[count - 1].kind != StepKind::Any || !steps[count - 1].repeats) {
        steps[count++] = AnyStep(true);
      }
    } else if (c == '?') {
      steps[count++] = AnyStep(false);
    } else {
      steps[count++] = CharStep(c == '%' ? ReadEscape(pattern) : c, ignoreCase);
    }
  }
  return count;
}

// Sets the ASCII part of each member of the class into `step.ascii`, and notes
// whether any member reaches beyond it. The members are read as ClassHas reads them.
void MapClass(CharReader pattern, Step& step, bool ignoreCase) {
  uint64_t bits[2] = {0, 0};
  pattern.Seek(step.begin);
  while (pattern.Position() < step.end) {
    const CharValue low = ReadSingle(pattern);
    CharValue high = low;
    if (pattern.Position() < step.end && pattern.NextIs('-')) {
      const int32_t minus = pattern.Position();
      pattern.Next();
      if (pattern.Position() < step.end) {
        high = ReadSingle(pattern);
      } else {
        pattern.Seek(minus);
      }
    }
    if (high >= 0x80 && low <= high) step.beyondAscii = true;
    if (low > high || low >= 0x80) continue;
    const CharValue top = high < 0x80 ? high : 0x7F;
    for (CharValue w = low >> 6; w <= top >> 6; ++w) {
      const CharValue from = low > 64 * w ? low - 64 * w : 0;
      const CharValue to = top < 64 * w + 63 ? top - 64 * w : 63;
      bits[w] |= (~uint64_t{0} >> (63 - to)) & (~uint64_t{0} << from);
    }
  }
  if (ignoreCase) {
    // The letters are all in the second word: "A"-"Z" at bits 1-26, "a"-"z" 32 higher.
    const uint64_t letters = (bits[1] | bits[1] >> 32) & (uint64_t{0x3FFFFFF} << 1);
    bits[1] |= letters | letters << 32;
  }
  step.ascii[0] = bits[0];
  step.ascii[1] = bits[1];
}

// class := "[" [ "^" ] member* ( "]" | end of pattern ). The reader stands after the "[".
Step ReadClass(CharReader& pattern, bool ignoreCase) {
  Step step{StepKind::Class, false, false, false, 0, 0, 0, {0, 0}};
  if (pattern.NextIs('^')) {
    pattern.Next();
    step.negated = true;
  }
  step.begin = pattern.Position();
  step.end = step.begin;
  while (!pattern.AtEnd()) {
    const int32_t at = pattern.Position();
    const CharValue c = pattern.Next();
    if (c == ']') {
      step.end = at;
      break;
    }
    if (c == '%' && !pattern.AtEnd()) pattern.Next();
    step.end = pattern.Position();
  }
  MapClass(pattern, step, ignoreCase);
  return step;
}

// atom := "." | escape | class | char
Step ReadAtom(CharReader& pattern, bool ignoreCase) {
  const CharValue c = pattern.Next();
  if (c == '.') return AnyStep(false);
  if (c == '[') return ReadClass(pattern, ignoreCase);
  return CharStep(c == '%' ? ReadEscape(pattern) : c, ignoreCase);
}

// extended := ( atom [ "*" | "+" ] )*
int32_t CompileExtended(CharReader& pattern, Step* steps, bool ignoreCase) {
  int32_t count = 0;
  while (!pattern.AtEnd()) {
    const Step atom = ReadAtom(pattern, ignoreCase);
    steps[count++] = atom;
    if (pattern.NextIs('*')) {
      pattern.Next();
      steps[count - 1].repeats = true;
    } else if (pattern.NextIs('+')) {
      pattern.Next();
      steps[count] = atom;
      steps[count++].repeats = true;
    }
  }
  return count;
}

// The live steps as bits, 64 to a word: a text walk visits only the live ones.
class LiveSet {
 public:
  explicit LiveSet(int32_t states) : words_(static_cast<size_t>(states) / 64 + 1), bits_(words_) { Clear(); }
  void Clear() { std::memset(bits_.Data(), 0, words_ * sizeof(uint64_t)); }
  void Set(int32_t i) { bits_[static_cast<size_t>(i) / 64] |= uint64_t{1} << (i % 64); }
  bool Has(int32_t i) const { return (bits_[static_cast<size_t>(i) / 64] >> (i % 64)) & 1; }
  size_t Words() const { return words_; }
  uint64_t Word(size_t w) const { return bits_[w]; }

 private:
  size_t words_;
  ScratchArray<uint64_t, 4> bits_;
};

// Makes step i live, and with it every step after a run of repeating steps
// from i on, since a repeating step may be skipped.
void Enter(const Step* steps, int32_t count, LiveSet& live, int32_t i) {
  live.Set(i);
  while (i < count && steps[i].repeats) live.Set(++i);
}

// Runs the text through the steps; step i is live when the text so far is
// matched by the steps before it.
bool RunSteps(const Step* steps, int32_t count, const CharReader& pattern, CharReader text, bool ignoreCase) {
  LiveSet first(count + 1);
  LiveSet second(count + 1);
  LiveSet* current = &first;
  LiveSet* following = &second;
  Enter(steps, count, *current, 0);
  while (!text.AtEnd()) {
    const CharValue c = text.Next();
    following->Clear();
    bool any = false;
    for (size_t w = 0; w < current->Words(); ++w) {
      for (uint64_t bits = current->Word(w); bits != 0; bits &= bits - 1) {
        const auto i = static_cast<int32_t>(w * 64) + std::countr_zero(bits);
        if (i >= count || !Admits(steps[i], pattern, c, ignoreCase)) continue;
        Enter(steps, count, *following, steps[i].repeats ? i : i + 1);
        any = true;
      }
    }
    if (!any) return false;
    std::swap(current, following);
  }
  return current->Has(count);
}

// For RunShortSteps: which steps entering step i makes live, for i up to `count`.
constexpr int32_t kShortSteps = 63;
void MakeEnterMasks(const Step* steps, int32_t count, uint64_t* enter) {
  enter[count] = uint64_t{1} << count;
  for (int32_t i = count - 1; i >= 0; --i) enter[i] = uint64_t{1} << i | (steps[i].repeats ? enter[i + 1] : 0);
}

// RunSteps for the usual pattern of at most kShortSteps steps: the live set is
// one word.
bool RunShortSteps(const Step* steps, int32_t count, const uint64_t* enter, const CharReader& pattern, CharReader text,
                   bool ignoreCase) {
  const uint64_t stepBits = (uint64_t{1} << count) - 1;
  uint64_t current = enter[0];
  while (!text.AtEnd()) {
    const CharValue c = text.Next();
    uint64_t following = 0;
    for (uint64_t bits = current & stepBits; bits != 0; bits &= bits - 1) {
      const int32_t i = std::countr_zero(bits);
      if (Admits(steps[i], pattern, c, ignoreCase)) following |= enter[steps[i].repeats ? i : i + 1];
    }
    if (following == 0) return false;
    current = following;
  }
  return (current >> count) & 1;
}

// The common wildcard shapes compared byte by byte: a literal with "*" at
// neither end, either or both ("x", "*x", "x*", "*x*"), and "x*y". The bytes
// are the characters' own units, so the comparison answers for the characters
// whenever every text character is one byte: always in the 8-bit codes, and in
// UTF-8 and Shift_JIS when the text is plain ASCII. Otherwise a byte match only
// says that the steps must decide (a byte that matched may be part of a longer
// character), while a byte mismatch means no match in any case.
class Shape {
 public:
  enum Verdict { kNo, kYes, kUnsure };

  // False when the pattern has another shape.
  bool Compile(CharReader pattern, bool ignoreCase) {
    ignoreCase_ = ignoreCase;
    bool afterStar = false;
    while (!pattern.AtEnd()) {
      CharValue c = pattern.Next();
      if (c == '*') {
        if (!afterStar) {
          // A second "*" only closes "*x*"; "x*y*" and the like take the steps.
          if (stars_ == 2 || (stars_ == 1 && split_ != 0)) return false;
          if (++stars_ == 1) split_ = size_;
        }
        afterStar = true;
        continue;
      }
      if (c == '?' || stars_ == 2) return false;
      if (c == '%') c = ReadEscape(pattern);
      if (c >= kHalfUnit) return false;
      // A character's value is its bytes, the first one highest.
      const int bytes = c == 0 ? 1 : (std::bit_width(c) + 7) / 8;
      if (size_ + bytes > static_cast<int32_t>(sizeof bytes_)) return false;
      for (int b = bytes - 1; b >= 0; --b) {
        const auto byte = static_cast<uint8_t>(c >> (8 * b));
        bytes_[size_++] = static_cast<char>(ignoreCase ? Fold(byte) : byte);
      }
      wideChars_ = wideChars_ || bytes > 1;
      afterStar = false;
    }
    return true;
  }

  // kUnsure also for a text of 16-bit units.
  Verdict Match(TextCode code, const RawString& text) const {
    if (UnitSize(code) != 1 || code == CodeUtf16Big || code == CodeUtf16Little) return kUnsure;
    const bool ignoreCase = ignoreCase_;
    const char* t = text.Data();
    const int32_t n = text.Length();
    bool found = false;
    if (stars_ == 0) {
      found = n == size_ && Same(t, bytes_, size_, ignoreCase);
    } else if (stars_ == 1) {
      const int32_t tail = size_ - split_;
      found = n >= size_ && Same(t, bytes_, split_, ignoreCase) &&
              Same(t + (n - tail), bytes_ + split_, tail, ignoreCase);
    } else {
      for (int32_t at = 0; at + size_ <= n && !found; ++at) found = Same(t + at, bytes_, size_, ignoreCase);
    }
    if (!found) return kNo;
    return !wideChars_ && OneBytePerChar(code, t, n) ? kYes : kUnsure;
  }

 private:
  static uint8_t Fold(uint8_t b) {
    return static_cast<uint8_t>(b - 'a') < 26 ? static_cast<uint8_t>(b - ('a' - 'A')) : b;
  }

  // Both sides are folded byte by byte (the pattern's bytes were folded when it was
  // read), so a match of the characters is always a match here, even where a trail
  // byte looks like a letter.
  static bool Same(const char* text, const char* folded, int32_t size, bool ignoreCase) {
    if (!ignoreCase) return std::memcmp(text, folded, static_cast<size_t>(size)) == 0;
    for (int32_t i = 0; i < size; ++i) {
      if (Fold(static_cast<uint8_t>(text[i])) != static_cast<uint8_t>(folded[i])) return false;
    }
    return true;
  }

  static bool OneBytePerChar(TextCode code, const char* t, int32_t n) {
    if (code != CodeUtf8 && code != CodeShiftJis) return true;
    uint64_t high = 0;
    int32_t i = 0;
    for (; i + 8 <= n; i += 8) {
      uint64_t word;
      std::memcpy(&word, t + i, 8);
      high |= word;
    }
    for (; i < n; ++i) high |= static_cast<uint8_t>(t[i]);
    return (high & 0x8080808080808080ull) == 0;
  }

  char bytes_[64];
  int32_t size_ = 0;
  int32_t split_ = 0;  // with one "*": where the bytes before it end
  int32_t stars_ = 0;
  bool wideChars_ = false;  // a character of the pattern has more than one byte
  bool ignoreCase_ = false;
};

// literal := char*, compared exactly.
bool MatchLiteral(CharReader pattern, CharReader text) {
  while (!pattern.AtEnd() && !text.AtEnd()) {
    if (pattern.Next() != text.Next()) return false;
  }
  return pattern.AtEnd() && text.AtEnd();
}

// What the first characters of a pattern say; the reader stands after them.
struct Form {
  bool negated = false;
  bool literal = false;
  bool extended = false;
};

// pattern := "<" pattern | ">" literal | "@" extended | wildcard
Form ReadForm(CharReader& pattern) {
  Form form;
  // Negation is read as a loop, so that no run of "<" can deepen a recursion.
  while (pattern.NextIs('<')) {
    pattern.Next();
    form.negated = !form.negated;
  }
  if (pattern.NextIs('>')) {
    pattern.Next();
    form.literal = true;
  } else if (pattern.NextIs('@')) {
    pattern.Next();
    form.extended = true;
  }
  return form;
}

// Every step takes at least one pattern unit, so the units left bound their number.
size_t MostSteps(const RawString& patternText, const CharReader& pattern) {
  return static_cast<size_t>(patternText.Length() - pattern.Position()) + 1;
}

int32_t CompileSteps(const Form& form, CharReader pattern, Step* steps, bool ignoreCase) {
  return form.extended ? CompileExtended(pattern, steps, ignoreCase) : CompileWildcard(pattern, steps, ignoreCase);
}

bool MatchPattern(const RawString& patternText, const RawString& text, bool ignoreCase) {
  CharReader pattern(patternText);
  const Form form = ReadForm(pattern);
  if (form.literal) return MatchLiteral(pattern, CharReader(text)) != form.negated;
  Shape shape;
  const Shape::Verdict verdict =
      !form.extended && shape.Compile(pattern, ignoreCase) ? shape.Match(text.Code(), text) : Shape::kUnsure;
  if (verdict != Shape::kUnsure) return (verdict == Shape::kYes) != form.negated;
  ScratchArray<Step, 64> steps(MostSteps(patternText, pattern));
  const int32_t count = CompileSteps(form, pattern, steps.Data(), ignoreCase);
  bool matched = false;
  if (count <= kShortSteps) {
    std::array<uint64_t, kShortSteps + 1> enter;
    MakeEnterMasks(steps.Data(), count, enter.data());
    matched = RunShortSteps(steps.Data(), count, enter.data(), pattern, CharReader(text), ignoreCase);
  } else {
    matched = RunSteps(steps.Data(), count, pattern, CharReader(text), ignoreCase);
  }
  return matched != form.negated;
}

// Whether the characters of a text are the same values in every code but UTF-7.
bool IsPlainAscii(const RawString& text) {
  CharReader reader(text);
  while (!reader.AtEnd()) {
    if (reader.Next() >= 0x80) return false;
  }
  return true;
}

// Other characters compare only within one code: such a pair goes to the wide code.
bool NeedsWideCode(const RawString& pattern, const RawString& text) {
  return pattern.Code() != text.Code() &&
         (pattern.Code() == CodeUtf7 || text.Code() == CodeUtf7 || !IsPlainAscii(pattern));
}

}  // namespace

bool MatchNamePattern(const RawString& pattern, const RawString& text, bool ignoreCase) {
  if (NeedsWideCode(pattern, text)) {
    // The wide code holds every character of the others (and no pattern syntax that
    // was not there: invalid bytes become the replacement character).
    RawString widePattern;
    RawString wideText;
    if (ConvertUnits(pattern.Code(), pattern.Data(), pattern.Length(), CodeWide, widePattern, false) &&
        ConvertUnits(text.Code(), text.Data(), text.Length(), CodeWide, wideText, false)) {
      return MatchPattern(widePattern, wideText, ignoreCase);
    }
  }
  return MatchPattern(pattern, text, ignoreCase);
}

struct RawNamePattern::Compiled {
  RawString text;
  TextCode code = CodeUtf8;
  bool ignoreCase = false;
  bool plainAscii = true;
  Form form;
  int32_t start = 0;  // where the literal or the steps begin
  bool shaped = false;
  Shape shape;
  std::vector<Step> steps;
  int32_t count = 0;
  std::vector<uint64_t> enter;  // with at most kShortSteps steps
};

RawNamePattern::RawNamePattern(const RawString& pattern, bool ignoreCase) : compiled_(std::make_unique<Compiled>()) {
  Compiled& c = *compiled_;
  c.text = pattern;
  c.code = pattern.Code();
  c.ignoreCase = ignoreCase;
  c.plainAscii = IsPlainAscii(pattern);
  CharReader reader(c.text);
  c.form = ReadForm(reader);
  c.start = reader.Position();
  if (c.form.literal) return;
  c.shaped = !c.form.extended && c.shape.Compile(reader, ignoreCase);
  c.steps.resize(MostSteps(c.text, reader));
  c.count = CompileSteps(c.form, reader, c.steps.data(), ignoreCase);
  if (c.count <= kShortSteps) {
    c.enter.resize(static_cast<size_t>(c.count) + 1);
    MakeEnterMasks(c.steps.data(), c.count, c.enter.data());
  }
}

RawNamePattern::~RawNamePattern() = default;
RawNamePattern::RawNamePattern(RawNamePattern&&) noexcept = default;
RawNamePattern& RawNamePattern::operator=(RawNamePattern&&) noexcept = default;

bool RawNamePattern::Matches(const RawString& text) const {
  const Compiled& c = *compiled_;
  const TextCode code = text.Code();
  if (code != c.code && (c.code == CodeUtf7 || code == CodeUtf7 || !c.plainAscii)) {
    return MatchNamePattern(c.text, text, c.ignoreCase);
  }
  const Shape::Verdict verdict = c.shaped ? c.shape.Match(text.Code(), text) : Shape::kUnsure;
  if (verdict != Shape::kUnsure) return (verdict == Shape::kYes) != c.form.negated;
  CharReader pattern(c.text);
  pattern.Seek(c.start);
  if (c.form.literal) return MatchLiteral(pattern, CharReader(text)) != c.form.negated;
  const bool matched =
      c.count <= kShortSteps
          ? RunShortSteps(c.steps.data(), c.count, c.enter.data(), pattern, CharReader(text), c.ignoreCase)
          : RunSteps(c.steps.data(), c.count, pattern, CharReader(text), c.ignoreCase);
  return matched != c.form.negated;
}

}  // namespace RawLayer
