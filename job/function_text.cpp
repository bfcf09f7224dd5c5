// Text functions: lengths, cuts, characters by code, quotes, replacement and arithmetic.
#include <algorithm>
#include <vector>

#include "job/calc.h"
#include "job/functions.h"

namespace JobLayer {

using RawLayer::TextCode;

namespace {

// A whole character of a text: its units, with their number in the lowest byte.
using Char = uint64_t;

std::vector<Char> CharsOf(const RawString& text) {
  std::vector<Char> chars;
  chars.reserve(static_cast<size_t>(text.Length()));
  const char* data = text.Data();
  for (int32_t p = 0; p < text.Length();) {
    const int32_t width = 1 + text.CharExtra(p);
    Char packed = static_cast<Char>(width);
    for (int32_t i = 0; i < width; ++i) packed |= static_cast<Char>(static_cast<unsigned char>(data[p + i])) << (8 * (i + 1));
    chars.push_back(packed);
    p += width;
  }
  return chars;
}

RawString TextOf(TextCode code, const std::vector<Char>& chars) {
  RawString text = RawString::WithCapacity(code, static_cast<int32_t>(chars.size()));
  for (const Char c : chars) {
    const int32_t width = static_cast<int32_t>(c & 0xFF);
    char* out = text.AppendRaw(width);
    for (int32_t i = 0; i < width; ++i) out[i] = static_cast<char>(c >> (8 * (i + 1)));
  }
  return text;
}

bool Contains(const std::vector<Char>& text, const std::vector<Char>& part) {
  return std::search(text.begin(), text.end(), part.begin(), part.end()) != text.end();
}

// A replacement that may grow the text is given up once it has read, or made, this many
// characters more than the text has: it keeps finding new occurrences as if endless, or nested
// replacements multiply a text beyond any use. One that shrinks the text always ends.
constexpr size_t kReplaceBudget = size_t{1} << 20;

// Replaces the leftmost occurrence again and again until none remains. A new leftmost
// occurrence can only start within the last characters before an inserted text, so the text is
// kept as a settled part without any occurrence and a rest still to read: each character read
// is checked against the end of the settled part, and a replacement goes back to the front of
// the rest to be read again. This gives what restarting from the beginning gives, in time
// proportional to the characters read. False when a text that may grow runs out of budget.
bool ReplaceRepeatedly(const std::vector<Char>& text, const std::vector<Char>& search,
                       const std::vector<Char>& replacement, std::vector<Char>& settled) {
  std::vector<Char> rest(text.rbegin(), text.rend());  // read from the back
  const size_t m = search.size();
  const bool shrinks = replacement.size() < m;
  const size_t limit = kReplaceBudget + text.size();
  size_t work = 0;
  while (!rest.empty()) {
    settled.push_back(rest.back());
    rest.pop_back();
    if (!shrinks && ++work > limit) return false;
    if (settled.size() >= m && std::equal(search.begin(), search.end(), settled.end() - static_cast<ptrdiff_t>(m))) {
      settled.resize(settled.size() - m);
      rest.insert(rest.end(), replacement.rbegin(), replacement.rend());
    }
  }
  return true;
}

// One pass from left to right: each occurrence is replaced and the search goes on after the
// inserted text. False when the result outgrows the budget.
bool ReplaceOnce(const std::vector<Char>& text, const std::vector<Char>& search, const std::vector<Char>& replacement,
                 std::vector<Char>& out) {
  auto p = text.begin();
  for (;;) {
    const auto found = std::search(p, text.end(), search.begin(), search.end());
    out.insert(out.end(), p, found);
    if (found == text.end()) return true;
    out.insert(out.end(), replacement.begin(), replacement.end());
    if (out.size() > kReplaceBudget + text.size()) return false;
    p = found + static_cast<ptrdiff_t>(search.size());
  }
}

// Appends the UTF-8 form of a code point.
void AppendCodePoint(RawString& text, uint32_t code) {
  char units[4];
  int32_t count = 0;
  if (code < 0x80) {
    units[count++] = static_cast<char>(code);
  } else if (code < 0x800) {
    units[count++] = static_cast<char>(0xC0 | (code >> 6));
    units[count++] = static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    units[count++] = static_cast<char>(0xE0 | (code >> 12));
    units[count++] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    units[count++] = static_cast<char>(0x80 | (code & 0x3F));
  } else {
    units[count++] = static_cast<char>(0xF0 | (code >> 18));
    units[count++] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    units[count++] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    units[count++] = static_cast<char>(0x80 | (code & 0x3F));
  }
  text.AppendUnits(units, count);
}

}  // namespace

void JobVariableCalc::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  const RawString expression = argument.GetText(1);
  if (ArgumentFailed(result, argument)) return;
  RawString value;
  if (!EvaluateCalc(expression, value)) {
    // No message of its own: the log shows the state.
    result.state = VariableInvalid;
    result.text.Clear();
    return;
  }
  SetTextResult(result, value);
}

void JobVariableLength::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  const RawString text = argument.GetText(1);
  if (ArgumentFailed(result, argument)) return;
  SetNumberResult(result, text.Length());
}

void JobVariableBefore::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  const RawString text = argument.GetText(1);
  const int64_t count = argument.GetNumber(2, JobVariableArgument::kNotNegative);
  if (ArgumentFailed(result, argument)) return;
  // A count past the end gives the whole text: there is no more to give.
  SetTextResult(result, count >= text.Length() ? text : text.Sub({0, static_cast<int32_t>(count)}));
}

void JobVariableAfter::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  const RawString text = argument.GetText(1);
  const int64_t position = argument.GetNumber(2, JobVariableArgument::kNotNegative);
  if (ArgumentFailed(result, argument)) return;
  SetTextResult(result, position >= text.Length() ? RawString(text.Code(), RawString())
                                                  : text.Sub({static_cast<int32_t>(position), text.Length()}));
}

// The code is a Unicode code point, given as its UTF-8 character. The zero character (which
// would end the text at the system's boundary), surrogate halves and numbers beyond the last
// code point are rejected.
void JobVariableCode::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  const int64_t code = argument.GetNumber(1, JobVariableArgument::kNotNegative);
  if (ArgumentFailed(result, argument)) return;
  if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    RawString text;
    text.AppendInteger(code);
    argument.RejectValue(text);
    (void)ArgumentFailed(result, argument);
    return;
  }
  RawString text;
  AppendCodePoint(text, static_cast<uint32_t>(code));
  SetTextResult(result, text);
}

void JobVariableStripQuote::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  const RawString text = argument.GetText(1);
  if (ArgumentFailed(result, argument)) return;
  SetTextResult(result, text.Sub(text.Trim(RawLayer::kWhole, "\"")));
}

// The leftmost occurrence is replaced again and again until none remains. When the
// replacement holds the search text that would never end; the text is then replaced in one pass
// from left to right instead, the search going on after each inserted text.
void JobVariableReplace::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  const RawString given = argument.GetText(1);
  const RawString searchText = argument.GetText(2);
  const RawString replacementText = argument.GetText(3);
  if (ArgumentFailed(result, argument)) return;
  if (searchText.IsEmpty()) {
    SetTextResult(result, given);
    return;
  }
  const TextCode code = RawLayer::UnitSize(given.Code()) == 1 && given.Code() != RawLayer::CodeUtf16Big &&
                                given.Code() != RawLayer::CodeUtf16Little
                            ? given.Code()
                            : RawLayer::CodeUtf8;
  const std::vector<Char> text = CharsOf(RawString(code, given));
  const std::vector<Char> search = CharsOf(RawString(code, searchText));
  const std::vector<Char> replacement = CharsOf(RawString(code, replacementText));
  if (search.empty() || !Contains(text, search)) {
    SetTextResult(result, given);
    return;
  }
  std::vector<Char> replaced;
  const bool done = Contains(replacement, search) ? ReplaceOnce(text, search, replacement, replaced)
                                                  : ReplaceRepeatedly(text, search, replacement, replaced);
  if (!done) {
    argument.RejectValue(replacementText);
    (void)ArgumentFailed(result, argument);
    return;
  }
  SetTextResult(result, TextOf(code, replaced));
}

}  // namespace JobLayer
