#include "raw/clipboard.h"

#include <gtest/gtest.h>

#include <string>

namespace RawLayer {
namespace {

struct ClipboardRow {
  RawString text;
  RawRange range;
  int32_t maxLength;
  std::u16string expected;
};

// One test for every row: the clipboard is shared, so no two cases may race for it.
TEST(Clipboard, TextRoundTripsInRangeAndLength) {
  const ClipboardRow rows[] = {
      {"plain text", kWhole, 100, u"plain text"},
      {"plain text", {6, 10}, 100, u"text"},
      {"plain text", kWhole, 5, u"plain"},
      {"line one\r\nline two", kWhole, 100, u"line one\r\nline two"},
      {RawString::FromUtf8("caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC"), kWhole, 100, u"caf\u00E9 \u65E5\u672C"},
      {RawString::FromUnits(CodeShiftJis, "\x93\xFA\x96\x7B", 4), kWhole, 100, u"\u65E5\u672C"},
      {RawString::FromUtf8("ab\xE6\x97\xA5"), kWhole, 3, u"ab\u65E5"},
      {"", kWhole, 100, u""},
      {"anything", kWhole, 0, u""},
  };
  for (const ClipboardRow& row : rows) {
    ASSERT_TRUE(SetClipboardText(row.text, row.range)) << row.text.ToUtf8();
    RawString got = ClipboardText(row.maxLength);
    EXPECT_EQ(got.Code(), CodeWide);
    EXPECT_EQ(got.ToWide(), row.expected) << row.text.ToUtf8() << " max " << row.maxLength;
  }
}

}  // namespace
}  // namespace RawLayer
