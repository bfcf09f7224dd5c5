#include "job/hotkey.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using JobLayer::JobHotKey;
using JobLayer::kHotKeyAlt;
using JobLayer::kHotKeyCtrl;
using JobLayer::kHotKeyShift;
using JobLayer::kHotKeyWin;
using RawLayer::RawString;

struct GoodRow {
  const char* text;
  uint32_t modifiers;
  uint32_t virtualKey;
  const char* spelled;  // HotKeyText of the result
};

const GoodRow kGood[] = {
    {"Ctrl+Alt+K", kHotKeyCtrl | kHotKeyAlt, 'K', "Ctrl+Alt+K"},
    {"ctrl+alt+k", kHotKeyCtrl | kHotKeyAlt, 'K', "Ctrl+Alt+K"},
    {"ALT+CTRL+K", kHotKeyCtrl | kHotKeyAlt, 'K', "Ctrl+Alt+K"},
    {" Control + Shift + 7 ", kHotKeyCtrl | kHotKeyShift, '7', "Ctrl+Shift+7"},
    {"Win+Space", kHotKeyWin, 0x20, "Win+Space"},
    {"F5", 0, 0x74, "F5"},
    {"f24", 0, 0x87, "F24"},
    {"F1", 0, 0x70, "F1"},
    {"Pause", 0, 0x13, "Pause"},
    {"Shift+F12", kHotKeyShift, 0x7B, "Shift+F12"},
    {"Alt+Enter", kHotKeyAlt, 0x0D, "Alt+Enter"},
    {"Alt+Return", kHotKeyAlt, 0x0D, "Alt+Enter"},
    {"Ctrl+Tab", kHotKeyCtrl, 0x09, "Ctrl+Tab"},
    {"Ctrl+Home", kHotKeyCtrl, 0x24, "Ctrl+Home"},
    {"Ctrl+End", kHotKeyCtrl, 0x23, "Ctrl+End"},
    {"Ctrl+PageUp", kHotKeyCtrl, 0x21, "Ctrl+PageUp"},
    {"Ctrl+PageDown", kHotKeyCtrl, 0x22, "Ctrl+PageDown"},
    {"Ctrl+Insert", kHotKeyCtrl, 0x2D, "Ctrl+Insert"},
    {"Ctrl+Ins", kHotKeyCtrl, 0x2D, "Ctrl+Insert"},
    {"Ctrl+Delete", kHotKeyCtrl, 0x2E, "Ctrl+Delete"},
    {"Ctrl+Del", kHotKeyCtrl, 0x2E, "Ctrl+Delete"},
    {"Ctrl+Up", kHotKeyCtrl, 0x26, "Ctrl+Up"},
    {"Ctrl+Down", kHotKeyCtrl, 0x28, "Ctrl+Down"},
    {"Ctrl+Left", kHotKeyCtrl, 0x25, "Ctrl+Left"},
    {"Ctrl+Right", kHotKeyCtrl, 0x27, "Ctrl+Right"},
    {"Ctrl+Num0", kHotKeyCtrl, 0x60, "Ctrl+Num0"},
    {"Ctrl+Num9", kHotKeyCtrl, 0x69, "Ctrl+Num9"},
    {"Ctrl+NumAdd", kHotKeyCtrl, 0x6B, "Ctrl+NumAdd"},
    {"Ctrl+NumSubtract", kHotKeyCtrl, 0x6D, "Ctrl+NumSubtract"},
    {"Ctrl+NumMultiply", kHotKeyCtrl, 0x6A, "Ctrl+NumMultiply"},
    {"Ctrl+NumDivide", kHotKeyCtrl, 0x6F, "Ctrl+NumDivide"},
    {"Ctrl+NumDecimal", kHotKeyCtrl, 0x6E, "Ctrl+NumDecimal"},
    {"Ctrl+Alt+Shift+Win+Z", kHotKeyCtrl | kHotKeyAlt | kHotKeyShift | kHotKeyWin, 'Z',
     "Ctrl+Alt+Shift+Win+Z"},
    {"\tCtrl+A\t", kHotKeyCtrl, 'A', "Ctrl+A"},
};

TEST(HotKeyTest, GoodTextsGiveTheirKey) {
  for (const GoodRow& row : kGood) {
    SCOPED_TRACE(row.text);
    JobHotKey key;
    RawString why;
    ASSERT_TRUE(JobLayer::ParseHotKey(RawString::FromUtf8(row.text), key, why)) << why.ToUtf8();
    EXPECT_EQ(key.modifiers, row.modifiers);
    EXPECT_EQ(key.virtualKey, row.virtualKey);
    EXPECT_EQ(JobLayer::HotKeyText(key).ToUtf8(), row.spelled);
    // The usual spelling reads back as the same key.
    JobHotKey again;
    ASSERT_TRUE(JobLayer::ParseHotKey(JobLayer::HotKeyText(key), again, why));
    EXPECT_EQ(again, key);
  }
}

struct BadRow {
  std::string text;
  const char* why;  // a part of the reason
};

const BadRow kBad[] = {
    {"", "no key"},
    {"   ", "no key"},
    {"K", "without Ctrl"},
    {"Space", "without Ctrl"},
    {"Enter", "without Ctrl"},
    {"Ctrl+", "empty"},
    {"+K", "empty"},
    {"Ctrl++K", "empty"},
    {"Ctrl+Alt", "no key follows"},
    {"Ctrl+Ctrl+K", "twice"},
    {"Ctrl+Control+K", "twice"},
    {"Ctrl+K+L", "only one key"},
    {"K+Ctrl", "only one key"},
    {"Ctrl+Foo", "\"foo\" is neither"},
    {"Ctrl+F0", "neither"},
    {"Ctrl+F25", "neither"},
    {"Ctrl+F01", "neither"},
    {"Ctrl+F100", "neither"},
    {"Ctrl+Num10", "neither"},
    {"Ctrl+Escape", "neither"},
    {"Ctrl+;", "neither"},
    {"Ctrl+AltGr+K", "neither"},
    {"Ctrl+\xC3\x84", "plain letters"},        // Ä
    {"Strg+\xE3\x81\x82", "plain letters"},    // a kana
    {"Ctrl+\xEF\xBC\xAB", "plain letters"},    // full-width K
    {std::string("Ctrl+\0K", 7), "plain letters"},
    {"Ctrl+\x01", "plain letters"},
    {std::string(65, 'K'), "too long"},
    {"Ctrl+" + std::string(100000, 'A'), "too long"},
    {std::string(100000, '+'), "too long"},
};

TEST(HotKeyTest, BadTextsAreRefusedWithAReason) {
  for (const BadRow& row : kBad) {
    SCOPED_TRACE(row.text.substr(0, 40));
    JobHotKey key{1, 2};
    RawString why;
    EXPECT_FALSE(JobLayer::ParseHotKey(RawString::FromUtf8(row.text), key, why));
    EXPECT_NE(why.ToUtf8().find(row.why), std::string::npos) << why.ToUtf8();
    EXPECT_EQ(key, JobHotKey{});
  }
}

TEST(HotKeyTest, TheLongestTextIsStillRead) {
  // 64 bytes exactly: blanks around the parts count, and the key is still found.
  std::string text = "Ctrl+" + std::string(58, ' ') + "K";
  ASSERT_EQ(text.size(), 64u);
  JobHotKey key;
  RawString why;
  EXPECT_TRUE(JobLayer::ParseHotKey(RawString::FromUtf8(text), key, why)) << why.ToUtf8();
  EXPECT_EQ(key.virtualKey, static_cast<uint32_t>('K'));
}

TEST(HotKeyTest, QuotesAreShortAndPrintable) {
  EXPECT_EQ(JobLayer::HotKeyQuote(RawString("Ctrl+K")).ToUtf8(), "Ctrl+K");
  EXPECT_EQ(JobLayer::HotKeyQuote(RawString::FromUtf8(std::string(100, 'x'))).ToUtf8(), std::string(40, 'x') + "...");
  EXPECT_EQ(JobLayer::HotKeyQuote(RawString::FromUtf8("a\tb\x01")).ToUtf8(), "a?b?");
  // Whole characters: the cut never splits one.
  std::string kana;
  for (int i = 0; i < 50; ++i) kana += "\xE3\x81\x82";
  EXPECT_EQ(JobLayer::HotKeyQuote(RawString::FromUtf8(kana)).ToUtf8(), kana.substr(0, 120) + "...");
}

}  // namespace
