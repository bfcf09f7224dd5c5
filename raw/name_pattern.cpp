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
  CharValue value;  // Char: case-folded when ignoring case
  int32_t begin;    // Class: the members' positions in the pattern
  int32_t end;
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
      const bool has = ClassHas(pattern, step.begin, step.end, c) ||
                       (ignoreCase && IsLetter(c) && ClassHas(pattern, step.begin, step.end, OtherCase(c)));
      return has != step.negated;
    }
  }
  return false;
}

Step CharStep(CharValue c, bool ignoreCase) { return Step{StepKind::Char, false, false, ignoreCase ? FoldCase(c) : c, 0, 0}; }

// wildcard := ( "*" | "?" | escape | char )*
int32_t CompileWildcard(CharReader& pattern, Step* steps, bool ignoreCase) {
  int32_t count = 0;
  while (!pattern.AtEnd()) {
    const CharValue c = pattern.Next();
    if (c == '*') {
      // Runs of "*" are one: fewer live steps, same language.
      if (count == 0 || steps[count - 1].kind != StepKind::Any || !steps[count - 1].repeats) {
        steps[count++] = Step{StepKind::Any, true, false, 0, 0, 0};
      }
    } else if (c == '?') {
      steps[count++] = Step{StepKind::Any, false, false, 0, 0, 0};
    } else {
      steps[count++] = CharStep(c == '%' ? ReadEscape(pattern) : c, ignoreCase);
    }
  }
  return count;
}

// class := "[" [ "^" ] member* ( "]" | end of pattern ). The reader stands after the "[".
Step ReadClass(CharReader& pattern) {
  Step step{StepKind::Class, false, false, 0, 0, 0};
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
      return step;
    }
    if (c == '%' && !pattern.AtEnd()) pattern.Next();
    step.end = pattern.Position();
  }
  return step;
}

// atom := "." | escape | class | char
Step ReadAtom(CharReader& pattern, bool ignoreCase) {
  const CharValue c = pattern.Next();
  if (c == '.') return Step{StepKind::Any, false, false, 0, 0, 0};
  if (c == '[') return ReadClass(pattern);
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

// literal := char*, compared exactly.
bool MatchLiteral(CharReader pattern, CharReader text) {
  while (!pattern.AtEnd() && !text.AtEnd()) {
    if (pattern.Next() != text.Next()) return false;
  }
  return pattern.AtEnd() && text.AtEnd();
}

// pattern := "<" pattern | ">" literal | "@" extended | wildcard
bool MatchPattern(const RawString& patternText, const RawString& text, bool ignoreCase) {
  CharReader pattern(patternText);
  bool negated = false;
  // Negation is read as a loop, so that no run of "<" can deepen a recursion.
  while (pattern.NextIs('<')) {
    pattern.Next();
    negated = !negated;
  }
  bool matched = false;
  if (pattern.NextIs('>')) {
    pattern.Next();
    matched = MatchLiteral(pattern, CharReader(text));
  } else {
    // Every step takes at least one pattern unit, so the units left bound their number.
    ScratchArray<Step, 64> steps(static_cast<size_t>(patternText.Length() - pattern.Position()) + 1);
    int32_t count = 0;
    if (pattern.NextIs('@')) {
      pattern.Next();
      count = CompileExtended(pattern, steps.Data(), ignoreCase);
    } else {
      count = CompileWildcard(pattern, steps.Data(), ignoreCase);
    }
    matched = RunSteps(steps.Data(), count, pattern, CharReader(text), ignoreCase);
  }
  return matched != negated;
}

// Whether the characters of a text are the same values in every code but UTF-7.
bool IsPlainAscii(const RawString& text) {
  CharReader reader(text);
  while (!reader.AtEnd()) {
    if (reader.Next() >= 0x80) return false;
  }
  return true;
}

}  // namespace

bool MatchNamePattern(const RawString& pattern, const RawString& text, bool ignoreCase) {
  if (pattern.Code() != text.Code() &&
      (pattern.Code() == CodeUtf7 || text.Code() == CodeUtf7 || !IsPlainAscii(pattern))) {
    // Other characters compare only within one code: bring both to the wide code,
    // which holds every character of the others (and no pattern syntax that was not
    // there: invalid bytes become the replacement character).
    RawString widePattern;
    RawString wideText;
    if (ConvertUnits(pattern.Code(), pattern.Data(), pattern.Length(), CodeWide, widePattern, false) &&
        ConvertUnits(text.Code(), text.Data(), text.Length(), CodeWide, wideText, false)) {
      return MatchPattern(widePattern, wideText, ignoreCase);
    }
  }
  return MatchPattern(pattern, text, ignoreCase);
}

}  // namespace RawLayer
