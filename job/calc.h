// The arithmetic expression language of "$(Calc:...)": 32-bit integers, ten levels of binary
// operators, brackets, no unary operators.
//
// Tokens: blanks and control characters separate; "(" and ")" stand alone; a run of ASCII
// letters and digits is one token, and a run of any other characters is one token (so "<=" is
// one operator and "*-" an unknown one). Brackets are evaluated innermost first and replaced by
// their value. A flat list must alternate operand, operator, operand; a single token is the value
// unchanged (not checked as a number). Operands are argument numbers cut to 32 bits.
//
// Levels, tightest first: 10 "*" "/" "%"; 9 "+" "-"; 8 "<<" ">>" (by the right operand modulo 32,
// ">>" arithmetic); 7 "<" ">" "<=" ">="; 6 "==" "!="; 5 "&"; 4 "^"; 3 "|"; 2 "&&"; 1 "||".
// Equal levels go left to right. Every operation wraps in 32 bits except "/" and "%": by 0, and
// of -2147483648 by -1 (whose quotient has no 32-bit value), they are errors.
#pragma once

#include "raw/string.h"

namespace JobLayer {

using RawLayer::RawString;

// The value of `expression` as a decimal text (or the single token unchanged). False for any
// error of the expression, with `value` empty.
[[nodiscard]] bool EvaluateCalc(const RawString& expression, RawString& value);

}  // namespace JobLayer
