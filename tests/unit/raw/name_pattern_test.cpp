#include "raw/name_pattern.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace RawLayer {
namespace {

// Both ways of matching, which must agree: the pattern read for this text alone,
// and read once as a search does for many names.
bool Matches(const RawString& pattern, const RawString& text, bool ignoreCase) {
  const bool once = MatchNamePattern(pattern, text, ignoreCase);
  EXPECT_EQ(RawNamePattern(pattern, ignoreCase).Matches(text), once) << "the pattern read once for many names";
  return once;
}

struct MatchRow {
  const char* pattern;
  const char* text;
  bool ignoreCase;
  bool matches;
};

void CheckRows(const MatchRow* begin, const MatchRow* end) {
  for (const MatchRow* row = begin; row != end; ++row) {
    SCOPED_TRACE(std::string("pattern \"") + row->pattern + "\" text \"" + row->text + "\"" +
                 (row->ignoreCase ? " ignoring case" : ""));
    EXPECT_EQ(Matches(RawString::FromUtf8(row->pattern), RawString::FromUtf8(row->text), row->ignoreCase),
              row->matches);
  }
}

template <size_t N>
void CheckRows(const MatchRow (&rows)[N]) {
  CheckRows(rows, rows + N);
}

TEST(NamePattern, WildcardForm) {
  const MatchRow rows[] = {
      {"*.txt", "notes.txt", false, true},
      {"*.txt", "notes.txt", true, true},
      {"*.txt", "NOTES.TXT", true, true},
      {"*.txt", "NOTES.TXT", false, false},
      {"*.txt", "notes.txt.bak", true, false},
      {"*.txt", ".txt", false, true},
      {"a?c", "abc", false, true},
      {"a?c", "ac", false, false},
      {"a?c", "abbc", false, false},
      {"notepad", "Notepad", false, false},
      {"notepad", "Notepad", true, true},
      {"NOTE*", "notepad.exe", true, true},
      {"*", "", false, true},
      {"*", "anything at all", false, true},
      {"**", "abc", false, true},
      {"?", "", false, false},
      {"?*", "", false, false},
      {"?*", "x", false, true},
      {"a*b*c", "axxbyyc", false, true},
      {"a*b*c", "axxbyy", false, false},
      {"a*b", "ab", false, true},
      {"*ab", "aab", false, true},
      {"*a*", "bbb", false, false},
      {"", "", false, true},
      {"", "a", false, false},
      // Square brackets, dots and the extended markers mean nothing here.
      {"[a]", "[a]", false, true},
      {"[a]", "a", false, false},
      {"a.c", "abc", false, false},
      {"a@b+", "a@b+", false, true},
      // Case folding covers ASCII letters only.
      {"[", "{", true, false},
      {"é", "É", true, false},
  };
  CheckRows(rows);
}

TEST(NamePattern, Escapes) {
  const MatchRow rows[] = {
      {"%B", "[", false, true},  {"%C", ")", false, true},   {"%E", "]", false, true},  {"%O", "(", false, true},
      {"%c", ";", false, true},  {"%i", ";", false, true},   {"%e", "%", false, true},  {"%l", ":", false, true},
      {"%m", ",", false, true},  {"%n", "\n", false, true},  {"%q", "\"", false, true}, {"%r", "\r", false, true},
      {"%s", " ", false, true},  {"%t", "\t", false, true},  {"%v", "|", false, true},  {"%x", "x", false, true},
      {"%*", "*", false, true},  {"%*", "ab", false, false}, {"%?", "?", false, true},  {"%?", "a", false, false},
      {"%%", "%", false, true},  {"%s", "s", false, false},  {"%X", "x", true, true},    {"%X", "x", false, false},
      {"a%sb", "a b", false, true},
      // A lone "%" at the end stands for itself.
      {"50%", "50%", false, true},
      {"50%", "50", false, false},
      {"%", "%", false, true},
      {"%B*%E", "[x]", false, true},
      {"%B*%E", "[x", false, false},
  };
  CheckRows(rows);
}

TEST(NamePattern, NegatedAndLiteralForms) {
  const MatchRow rows[] = {
      {"<*.txt", "notes.txt", false, false},
      {"<*.txt", "notes.doc", false, true},
      {"<*.txt", "notes.txt.bak", false, true},
      {"<*.txt", "", false, true},
      {"<*.txt", "NOTES.TXT", true, false},
      {"<*.txt", "NOTES.TXT", false, true},
      {"<", "", false, false},
      {"<", "a", false, true},
      {"<<*.txt", "a.txt", false, true},
      {"<<<*.txt", "a.txt", false, false},
      {">a*b", "a*b", false, true},
      {">a*b", "a*b", true, true},
      {">a*b", "axxb", false, false},
      {">a*b", "A*B", true, false},
      {">a*b", "a*bc", false, false},
      {">a*b", "a*", false, false},
      {">%s", "%s", false, true},
      {">%s", " ", false, false},
      {">", "", false, true},
      {">", "a", false, false},
      {"<>a*b", "a*b", false, false},
      {"<>a*b", "ab", false, true},
      {"<@a+", "aa", false, false},
      {"<@a+", "b", false, true},
      // Only the first character selects a form.
      {"a<b", "a<b", false, true},
      {"a>b", "a>b", false, true},
  };
  CheckRows(rows);
}

TEST(NamePattern, ExtendedForm) {
  const MatchRow rows[] = {
      {"@", "", false, true},
      {"@", "a", false, false},
      {"@.", "x", false, true},
      {"@.", "", false, false},
      {"@.", "xy", false, false},
      {"@a*", "", false, true},
      {"@a*", "aaa", false, true},
      {"@a*", "aab", false, false},
      {"@a+", "", false, false},
      {"@a+", "a", false, true},
      {"@a+", "aaaa", false, true},
      {"@a+b", "b", false, false},
      {"@ab*c", "ac", false, true},
      {"@ab*c", "abbbc", false, true},
      {"@.*x", "abcx", false, true},
      {"@.*x", "abcxy", false, false},
      {"@.+", "", false, false},
      {"@note.*%.exe", "notepad.exe", false, true},
      {"@note.*%.exe", "notepad_exe", false, false},
      {"@a%*", "a*", false, true},
      {"@a%*", "aa", false, false},
      {"@%s+", "   ", false, true},
      {"@%x", "x", false, true},
      {"@%", "%", false, true},
      // "*" or "+" with nothing to repeat is an ordinary character.
      {"@*a", "*a", false, true},
      {"@*a", "a", false, false},
      {"@+", "+", false, true},
      {"@a**", "aa*", false, true},
      {"@a**", "aa", false, false},
      {"@a+*", "a*", false, true},
      // Letters compare as in the wildcard form.
      {"@x", "X", true, true},
      {"@x", "X", false, false},
      {"@X+", "xXx", true, true},
      // The wildcard "?" is an ordinary character here.
      {"@a?", "a?", false, true},
      {"@a?", "ab", false, false},
  };
  CheckRows(rows);
}

TEST(NamePattern, Classes) {
  const MatchRow rows[] = {
      {"@[abc]", "b", false, true},
      {"@[abc]", "d", false, false},
      {"@[abc]", "ab", false, false},
      {"@[a-c]+x", "abcx", false, true},
      {"@[a-c]+x", "abdx", false, false},
      {"@[a-cx-z0-9_]+", "az9_y", false, true},
      {"@[^a-c]", "d", false, true},
      {"@[^a-c]", "a", false, false},
      {"@[^a-c]", "", false, false},
      {"@[^a-c]*", "xyz", false, true},
      {"@[]", "a", false, false},
      {"@[]", "", false, false},
      {"@[]*", "", false, true},
      {"@[^]", "a", false, true},
      {"@[^]", "]", false, true},
      {"@[a-]", "-", false, true},
      {"@[a-]", "b", false, false},
      {"@[-a]", "-", false, true},
      {"@[z-a]", "m", false, false},
      {"@[z-a]", "z", false, false},
      {"@[a^]", "^", false, true},
      {"@[%]]", "]", false, true},
      {"@[%E]", "]", false, true},
      {"@[%-]", "-", false, true},
      {"@[a%-z]", "m", false, false},
      {"@[a%-z]", "z", false, true},
      {"@[%^a]", "^", false, true},
      {"@[%s%t]+", " \t ", false, true},
      {"@[%s-~]+", "Any printable!", false, true},
      {"@[%s-~]", "\t", false, false},
      {"@[.]", ".", false, true},
      {"@[.]", "x", false, false},
      {"@[*]", "*", false, true},
      // Without a closing bracket the class runs to the end.
      {"@[abc", "b", false, true},
      {"@[abc", "[", false, false},
      {"@[abc", "b]", false, false},
      {"@[", "a", false, false},
      {"@[^", "a", false, true},
      {"@[a%", "%", false, true},
      {"@[a%]", "]", false, true},
      {"@[a-", "-", false, true},
      // Ignoring case a class admits either case of a letter.
      {"@[A-Z]+", "abc", true, true},
      {"@[A-Z]+", "abc", false, false},
      {"@[a-z]", "Q", true, true},
      {"@[^a-z]", "Q", true, false},
      {"@[^a-z]", "Q", false, true},
      {"@[@-Z]", "`", true, false},
      {"@[à-ÿ]+", "éèü", false, true},
      {"@[à-ÿ]+", "éxü", false, false},
      {"@[日本]+", "本日", false, true},
  };
  CheckRows(rows);
}

// Literals with "*" at the ends compare bytes; these rows are where bytes and
// characters could part.
TEST(NamePattern, LiteralShapes) {
  const MatchRow rows[] = {
      {"ab*ba", "aba", false, false},  // the two literals may not overlap
      {"ab*ba", "abba", false, true},
      {"ab*ba", "ABXBA", true, true},
      {"*tmp*", "a.TMP.b", true, true},
      {"*tmp*", "a.TMP.b", false, false},
      {"*tmp*", "tm", false, false},
      {"*tmp*", "tmp", false, true},
      {"**tmp**", "xtmpx", false, true},
      {"abc", "ABC", true, true},
      {"abc", "ABC", false, false},
      {"abc", "abcd", false, false},
      {"*%s*", "a b", false, true},
      {"*%*", "a*", false, true},
      {"*%*", "ab", false, false},
      {"note*", "note\xE3", false, true},
      {"*.txt", "日本.txt", false, true},
      {"*.TXT", "日本.txt", true, true},
      {"日*.txt", "日本.txt", false, true},
      {"*本.txt", "日本.txt", false, true},
      {"*本*", "日本語", false, true},
      // A broken lead byte takes the next bytes into its character.
      {"*ab", "\xE3" "ab", false, false},
      {"*ab", "x\xE3zzab", false, true},
      {"*b*", "\xE3" "ab", false, false},
      {"a*b*c", "abc", false, true},  // not a shape: the steps decide
      // Longer than a shape holds: the steps decide.
      {"*0123456789012345678901234567890123456789012345678901234567890123456789",
       "x0123456789012345678901234567890123456789012345678901234567890123456789", false, true},
      {"*0123456789012345678901234567890123456789012345678901234567890123456789",
       "0123456789012345678901234567890123456789012345678901234567890123456788", false, false},
  };
  CheckRows(rows);
}

// A class keeps its ASCII members as bits and reads the rest again.
TEST(NamePattern, ClassMembersAcrossAscii) {
  const MatchRow rows[] = {
      {"@[Z-a]", "_", false, true},  // "[", "\\", "]", "^", "_", "`" between the cases
      {"@[Z-a]", "z", true, true},
      {"@[Z-a]", "A", true, true},
      {"@[Z-a]", "b", true, false},
      {"@[?-A]", "a", true, true},
      {"@[?-A]", "b", true, false},
      {"@[%n-%r]+", "\n\r", false, true},
      {"@[a-é]", "z", false, true},
      {"@[a-é]", "é", false, true},
      {"@[a-é]", "ÿ", false, false},
      {"@[a-é]", "A", true, true},
      {"@[^a-é]", "ü", false, true},
      {"@[^a-é]", "è", false, false},
      {"@[^é]", "e", false, true},
      {"@[é]", "e", false, false},
      {"@[\x01-\x7F]+", "any ASCII~", false, true},
      {"@[\x01-\x7F]", "é", false, false},
      {"@[@-~]+", "AZ[`az{~", false, true},
  };
  CheckRows(rows);
}

TEST(NamePattern, WholeCharactersOfUtf8) {
  const MatchRow rows[] = {
      {"?", "é", false, true},   {"??", "é", false, false}, {"?", "日", false, true},
      {"?", "😀", false, true},  {"?.txt", "😀.txt", false, true}, {"@.", "😀", false, true},
      {"@.+", "日本語", false, true}, {"日*", "日本", false, true},  {"*本", "日本", false, true},
      {"本*", "日本", false, false},
      // Invalid bytes: a broken character is one character and swallows no syntax.
      {"a\xE3", "a\xE3", false, true},
      {"\xE3*", "\xE3xyz", false, false},
      {"?", "\xFF", false, true},
      {"*", "\xC3\x28\xA0\xA1", false, true},
  };
  CheckRows(rows);
}

RawString ShiftJis(const std::string& bytes) {
  return RawString::FromUnits(CodeShiftJis, bytes.data(), static_cast<int32_t>(bytes.size()));
}

// Shift_JIS characters whose trail byte is an ASCII sign: "ソ" 83 5C ("\"),
// "ー" 81 5B ("["), "ゾ" 83 5D ("]"), "タ" 83 5E ("^"), "表" 95 5C ("\").
const std::string kSo = "\x83\x5C";
const std::string kLongVowel = "\x81\x5B";
const std::string kZo = "\x83\x5D";
const std::string kTa = "\x83\x5E";
const std::string kHyo = "\x95\x5C";

struct ShiftJisRow {
  std::string pattern;
  std::string text;
  bool matches;
};

TEST(NamePattern, ShiftJisTrailBytesAreNotPatternCharacters) {
  const ShiftJisRow rows[] = {
      {"?", kSo, true},
      {"??", kSo, false},
      {"*]", kZo, false},
      {"*" + kZo, "a" + kZo, true},
      {"*\\*", kHyo + "x", false},
      {"*\\*", "a\\" + kHyo, true},
      {"@[" + kZo + kLongVowel + "]+", kLongVowel + kZo + kLongVowel, true},
      {"@[" + kZo + kLongVowel + "]+", "]", false},
      {"@[" + kZo + kLongVowel + "]+", "[", false},
      {"@[" + kTa + "]", kTa, true},
      {"@[" + kTa + "]", "^", false},
      {"@[" + kLongVowel + "-" + kZo + "]", "\x83\x41", true},
      {"@[" + kLongVowel + "-" + kZo + "]", "a", false},
      {"@" + kSo + "*", kSo + kSo + kSo, true},
      {"@" + kSo + "*", kSo + "\\", false},
      {">" + kHyo, kHyo, true},
      {"<" + kHyo + "*", kSo, true},
      // A trail byte that spells a letter is no letter, nor its other case.
      {"*a", "\x83" "a", false},
      {"*a", "\x83" "aa", true},
      {"*\x83" "a", "x\x83" "A", false},
      {"\x83" "a*", "\x83" "A", false},
      {"*\\*", "a\\b", true},
  };
  for (const ShiftJisRow& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.pattern) + " against " + testing::PrintToString(row.text));
    EXPECT_EQ(Matches(ShiftJis(row.pattern), ShiftJis(row.text), false), row.matches);
    // No row differs in the case of a plain ASCII letter, so ignoring case changes nothing.
    EXPECT_EQ(Matches(ShiftJis(row.pattern), ShiftJis(row.text), true), row.matches);
  }
}

TEST(NamePattern, TextsOfDifferentCodes) {
  const RawString wideName = RawString::FromWide(u"Notes😀.TXT", 11);
  EXPECT_TRUE(Matches("*.txt", wideName, true));
  EXPECT_FALSE(Matches("*.txt", wideName, false));
  EXPECT_TRUE(Matches("Notes?.TXT", wideName, false));
  EXPECT_TRUE(Matches(RawString::FromUtf8("*😀*"), wideName, false));
  EXPECT_FALSE(Matches(RawString::FromUtf8("*日*"), wideName, false));

  // Plain ASCII patterns against Shift_JIS text; other characters through conversion.
  EXPECT_TRUE(Matches("?.txt", ShiftJis(kHyo + ".txt"), false));
  EXPECT_TRUE(Matches(RawString::FromUtf8("表*"), ShiftJis(kHyo + "x"), false));
  EXPECT_FALSE(Matches(RawString::FromUtf8("ソ*"), ShiftJis(kHyo + "x"), false));
  EXPECT_TRUE(Matches(ShiftJis("@[" + kSo + kHyo + "]+"), RawString::FromUtf8("ソ表"), false));

  // UTF-16 bytes: positions are bytes, characters are units or surrogate pairs.
  const char little[] = {'\xE9', '\0', 'x', '\0', '\x3D', '\xD8', '\x00', '\xDE'};  // "éx😀"
  const RawString utf16 = RawString::FromUnits(CodeUtf16Little, little, 8);
  EXPECT_TRUE(Matches("???", utf16, false));
  EXPECT_FALSE(Matches("??", utf16, false));
  EXPECT_TRUE(Matches("?X?", utf16, true));
  EXPECT_TRUE(Matches(RawString::FromUtf8("é*"), utf16, false));
  // A lone last byte is a character of its own that equals no whole one.
  const RawString odd = RawString::FromUnits(CodeUtf16Little, "a\0*", 3);
  EXPECT_TRUE(Matches("a*", odd, false));
  EXPECT_FALSE(Matches("*a", odd, false));
  EXPECT_TRUE(Matches("*", odd, false));
  EXPECT_TRUE(Matches("a?", odd, false));
  EXPECT_FALSE(Matches("a%*", odd, false));
}

// 8-bit pages: every byte is a character, and only ASCII letters have another case.
TEST(NamePattern, EightBitPages) {
  const RawString ansi = RawString::FromUnits(CodeAnsi, "caf\xE9.TXT", 8);
  EXPECT_TRUE(Matches("*.txt", ansi, true));
  EXPECT_FALSE(Matches("*.txt", ansi, false));
  EXPECT_TRUE(Matches(RawString::FromUnits(CodeAnsi, "*\xE9*", 3), ansi, false));
  EXPECT_FALSE(Matches(RawString::FromUnits(CodeAnsi, "*\xC9*", 3), ansi, true));
  EXPECT_TRUE(Matches(RawString::FromUnits(CodeAnsi, "CAF\xE9*", 5), ansi, true));
  EXPECT_TRUE(Matches(RawString::FromUnits(CodeMac, "*.TXT", 5), ansi, false));
  EXPECT_TRUE(Matches(RawString::FromWide(u"CAF*", 4), RawString::FromUtf8("caf\xC3\xA9"), true));
  EXPECT_FALSE(Matches(RawString::FromWide(u"CAF*", 4), RawString::FromUtf8("caf\xC3\xA9"), false));
}

// Patterns that would take exponential time in a backtracking matcher.
TEST(NamePattern, HostilePatternsFinish) {
  const std::string as(100000, 'a');
  EXPECT_FALSE(Matches("*a*a*a*a*a*a*a*b", RawString::FromUtf8(as), false));
  EXPECT_TRUE(Matches("*a*a*a*a*a*a*a*b", RawString::FromUtf8(as + "b"), false));
  EXPECT_FALSE(Matches("@a*a*a*a*a*a*a*a*a*a*a*a*b", RawString::FromUtf8(as), false));
  EXPECT_FALSE(Matches("@a+a+a+a+a+a+a+a+a+a+a+a+b", RawString::FromUtf8(as), false));
  EXPECT_FALSE(Matches("@.*.*.*.*.*.*.*.*.*.*b", RawString::FromUtf8(as), true));
  EXPECT_TRUE(Matches("@[a-z]*[a-z]*[a-z]*[a-z]*b", RawString::FromUtf8(as + "b"), false));

  std::string longStar;
  for (int i = 0; i < 500; ++i) longStar += "*a";
  EXPECT_FALSE(Matches(RawString::FromUtf8(longStar + "b"), RawString::FromUtf8(as.substr(0, 5000)), false));
  EXPECT_TRUE(Matches(RawString::FromUtf8(longStar), RawString::FromUtf8(as.substr(0, 5000)), false));

  // A run of negations is read without recursion.
  const std::string negations(200000, '<');
  EXPECT_TRUE(Matches(RawString::FromUtf8(negations + "x"), "x", false));
  EXPECT_FALSE(Matches(RawString::FromUtf8("<" + negations + "x"), "x", false));
}

// A plain recursive matcher over small alphabets, for comparison on every short
// pattern and text: it backtracks, which is fine at these sizes.
char FoldAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c; }

bool ReferenceMatch(const std::string& pattern, size_t p, const std::string& text, size_t t, bool extended,
                    bool ignoreCase) {
  if (p == pattern.size()) return t == text.size();
  if (!extended && pattern[p] == '*') {
    for (size_t k = t; k <= text.size(); ++k) {
      if (ReferenceMatch(pattern, p + 1, text, k, extended, ignoreCase)) return true;
    }
    return false;
  }
  const char atom = pattern[p];
  const auto admits = [&](size_t at) {
    return at < text.size() && ((!extended && atom == '?') || (extended && atom == '.') || atom == text[at] ||
                                (ignoreCase && FoldAscii(atom) == FoldAscii(text[at])));
  };
  const char repeat = p + 1 < pattern.size() ? pattern[p + 1] : '\0';
  if (extended && (repeat == '*' || repeat == '+')) {
    size_t k = t;
    if (repeat == '+') {
      if (!admits(k)) return false;
      ++k;
    }
    for (;; ++k) {
      if (ReferenceMatch(pattern, p + 2, text, k, extended, ignoreCase)) return true;
      if (!admits(k)) return false;
    }
  }
  return admits(t) && ReferenceMatch(pattern, p + 1, text, t + 1, extended, ignoreCase);
}

std::string Spell(unsigned number, int length, const char* alphabet, unsigned size) {
  std::string out;
  for (int i = 0; i < length; ++i, number /= size) out += alphabet[number % size];
  return out;
}

// Every text up to `longest` characters over `alphabet`.
std::vector<std::string> EveryText(const char* alphabet, int longest) {
  const auto size = static_cast<unsigned>(std::char_traits<char>::length(alphabet));
  std::vector<std::string> texts;
  unsigned count = 1;
  for (int length = 0; length <= longest; ++length, count *= size) {
    for (unsigned n = 0; n < count; ++n) texts.push_back(Spell(n, length, alphabet, size));
  }
  return texts;
}

TEST(NamePattern, AgreesWithBacktrackingOnShortInputs) {
  const struct {
    const char* alphabet;
    int longest;  // pattern length
    bool extended;
    bool ignoreCase;
    const char* textAlphabet;
    int longestText;
  } forms[] = {
      {"ab*?", 5, false, false, "ab", 6},
      {"ab.*+", 4, true, false, "ab", 6},
      {"aB*?", 3, false, true, "aAbB", 4},
      {"aB.*+", 3, true, true, "aAbB", 4},
  };
  int compared = 0;
  for (const auto& form : forms) {
    const std::vector<std::string> texts = EveryText(form.textAlphabet, form.longestText);
    for (const std::string& pattern : EveryText(form.alphabet, form.longest)) {
      // A quantifier with nothing before it is a plain character; the reference skips those.
      if (form.extended && !pattern.empty() && (pattern[0] == '*' || pattern[0] == '+')) continue;
      if (form.extended && (pattern.find("**") != std::string::npos || pattern.find("++") != std::string::npos ||
                            pattern.find("*+") != std::string::npos || pattern.find("+*") != std::string::npos)) {
        continue;
      }
      const RawString text = RawString::FromUtf8((form.extended ? "@" : "") + pattern);
      const RawNamePattern compiled(text, form.ignoreCase);
      for (const std::string& name : texts) {
        SCOPED_TRACE(pattern + " against " + name + (form.ignoreCase ? " ignoring case" : ""));
        const RawString nameText = RawString::FromUtf8(name);
        const bool expected = ReferenceMatch(pattern, 0, name, 0, form.extended, form.ignoreCase);
        ASSERT_EQ(MatchNamePattern(text, nameText, form.ignoreCase), expected);
        ASSERT_EQ(compiled.Matches(nameText), expected);
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 100000);
}

}  // namespace
}  // namespace RawLayer
