// Name patterns: the input split at its first NUL into pattern and text, matched with and
// without case, and as UTF-16 text against a UTF-8 pattern; the same bytes as Shift_JIS. The
// pattern read once for many names must answer as the pattern read per name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "raw/name_pattern.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using RawLayer::RawString;
  const auto parts = KestrelFuzz::SplitAtNul(data, size, 2);
  const RawString pattern = RawString::FromUtf8(parts[0]);
  const RawString text = RawString::FromUtf8(parts.size() > 1 ? parts[1] : parts[0]);
  (void)RawLayer::MatchNamePattern(pattern, text, false);
  (void)RawLayer::MatchNamePattern(pattern, text, true);
  (void)RawLayer::MatchNamePattern(pattern, text.Convert(RawLayer::CodeWide), true);
  (void)RawLayer::MatchNamePattern(pattern.Convert(RawLayer::CodeAnsi), text, false);
  const RawString shiftJisPattern = RawString::FromUnits(RawLayer::CodeShiftJis, pattern.Data(), pattern.Length());
  const RawString shiftJisText = RawString::FromUnits(RawLayer::CodeShiftJis, text.Data(), text.Length());
  for (const bool ignoreCase : {false, true}) {
    if (RawLayer::RawNamePattern(pattern, ignoreCase).Matches(text) !=
            RawLayer::MatchNamePattern(pattern, text, ignoreCase) ||
        RawLayer::RawNamePattern(shiftJisPattern, ignoreCase).Matches(shiftJisText) !=
            RawLayer::MatchNamePattern(shiftJisPattern, shiftJisText, ignoreCase)) {
      std::abort();
    }
  }
  return 0;
}
