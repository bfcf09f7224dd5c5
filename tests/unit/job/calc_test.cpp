#include "job/calc.h"

#include <gtest/gtest.h>

#include <string>

namespace JobLayer {
namespace {

using RawLayer::RawString;

constexpr const char* kInvalid = nullptr;

struct Row {
  std::string expression;
  const char* expected;  // kInvalid for an error
};

void Check(const Row& row) {
  SCOPED_TRACE(row.expression);
  RawString value("stale");
  const bool ok = EvaluateCalc(RawString::FromUtf8(row.expression), value);
  if (row.expected == kInvalid) {
    EXPECT_FALSE(ok);
    EXPECT_TRUE(value.IsEmpty());
  } else {
    EXPECT_TRUE(ok);
    EXPECT_EQ(value.ToUtf8(), row.expected);
  }
}

TEST(CalcTest, PrecedenceAndOrder) {
  const Row rows[] = {
      {"1+2*3", "7"},
      {"7-2-1", "4"},
      {"2*3+4*5", "26"},
      {"100/10/5", "2"},
      {"2+3<<1", "10"},
      {"1<<2+1", "8"},
      {"1+2<4", "1"},
      {"1<2==1", "1"},
      {"3==3!=0", "1"},
      {"1|2^3&4", "3"},
      {"6&3==3", "0"},  // "==" binds more tightly than "&"
      {"1||0&&0", "1"},
      {"0&&1||1", "1"},
      {"2>1>0", "1"},
      {"5>=5<=0", "0"},
      {"  1 \t+\r\n2  ", "3"},
      {"(1+2)*3", "9"},
      {"((2))*((3+1))", "8"},
      {"7%3", "1"},
      {"(0-7)%3", "-1"},
      {"7%(0-3)", "1"},
      {"(0-7)/2", "-3"},
      {"0x10+0", "16"},
      {"0b11*0x2", "6"},
  };
  for (const Row& row : rows) Check(row);
}

TEST(CalcTest, SingleTokensComeBackUnchanged) {
  const Row rows[] = {
      {"0x10", "0x10"},
      {"abc", "abc"},
      {"+++", "+++"},
      {" (0x10) ", "0x10"},
      {"((abc))", "abc"},
      // A bracket's single token takes its place as it is, even where an operator stands.
      {"1 (+) 2", "3"},
  };
  for (const Row& row : rows) Check(row);
}

TEST(CalcTest, ErrorsGiveNoValue) {
  const Row rows[] = {
      {"", kInvalid},
      {"   ", kInvalid},
      {"()", kInvalid},
      {"(", kInvalid},
      {")", kInvalid},
      {"(1+2", kInvalid},
      {"1+2)", kInvalid},
      {"(1)(2)", kInvalid},
      {"-5", kInvalid},     // two tokens: no unary minus
      {"3*-2", kInvalid},   // "*-" is one unknown operator
      {"1 2 3", kInvalid},  // "2" is no operator
      {"1 +", kInvalid},
      {"1 + +", kInvalid},
      {"abc+1", kInvalid},
      {"(abc)+1", kInvalid},
      {"1=1", kInvalid},
      {"7/0", kInvalid},
      {"7%0", kInvalid},
      {"1+(2/(1-1))", kInvalid},
      // The quotient of the smallest number by -1 has no 32-bit value: an error, never a trap.
      {"(0-2147483647-1)/(0-1)", kInvalid},
      {"(0-2147483647-1)%(0-1)", kInvalid},
  };
  for (const Row& row : rows) Check(row);
}

TEST(CalcTest, ThirtyTwoBitArithmetic) {
  const Row rows[] = {
      {"2147483647+1", "-2147483648"},
      {"0-2147483647-1-1", "2147483647"},
      {"65536*65536", "0"},
      {"4294967296+1", "1"},             // operands are cut to 32 bits
      {"18446744073709551617+0", "1"},  // after wrapping in 64 bits
      {"99999999999999999999999999+0", "-469762049"},
      {"(0-2147483647-1)/1", "-2147483648"},
      {"(0-2147483647-1)%1", "0"},
      {"1<<31", "-2147483648"},
      {"1<<32", "1"},  // shifts count modulo 32
      {"1<<33", "2"},
      {"1<<(0-1)", "-2147483648"},
      {"(0-8)>>1", "-4"},  // arithmetic shift
      {"(0-1)>>31", "-1"},
      {"0xFFFFFFFF+0", "-1"},
      {"0xFFFFFFFF&0x0F", "15"},
  };
  for (const Row& row : rows) Check(row);
}

TEST(CalcTest, LongAndDeepExpressions) {
  std::string sum = "0";
  for (int i = 1; i <= 100; ++i) sum += (i % 2 != 0 ? "+" : "-") + std::to_string(i);
  Check({sum, "-50"});

  const int kDeep = 100000;
  Check({std::string(kDeep, '(') + "41+1" + std::string(kDeep, ')'), "42"});
  Check({std::string(kDeep, '(') + "1", kInvalid});
}

TEST(CalcTest, ShiftJisTokensAreWholeCharacters) {
  // 0x83 0x41 is one character whose trail byte is the letter "A": one token of other characters.
  const std::string bytes = "\x83\x41";
  RawString value;
  ASSERT_TRUE(EvaluateCalc(RawString::FromUnits(RawLayer::CodeShiftJis, bytes.data(), 2), value));
  EXPECT_EQ(std::string(value.View()), bytes);
  const std::string sum = "1\x83\x41" "2";
  EXPECT_FALSE(EvaluateCalc(RawString::FromUnits(RawLayer::CodeShiftJis, sum.data(), 4), value));
}

}  // namespace
}  // namespace JobLayer
