#include "job/calc.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace JobLayer {

using RawLayer::TextCode;

namespace {

// A token of the expression, or the value that a bracket was replaced by.
struct Item {
  int32_t begin = 0;  // the token's range, when not computed
  int32_t end = 0;
  bool computed = false;
  int32_t value = 0;
};

enum CharClass { Separator, Bracket, Word, Other };

CharClass ClassOf(unsigned char c) {
  if (c <= ' ' || c == 127) return Separator;
  if (c == '(' || c == ')') return Bracket;
  if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return Word;
  return Other;
}

enum Operator : int8_t {
  NoOperator, Product, Quotient, Remainder, Sum, Difference, ShiftLeft, ShiftRight, Less, Greater, LessEqual,
  GreaterEqual, Equal, NotEqual, BitAnd, BitXor, BitOr, LogicAnd, LogicOr,
};

struct OperatorSpelling {
  std::string_view text;
  Operator op;
  int level;  // 10 binds most tightly
};

constexpr OperatorSpelling kOperators[] = {
    {"*", Product, 10},      {"/", Quotient, 10},    {"%", Remainder, 10}, {"+", Sum, 9},
    {"-", Difference, 9},    {"<<", ShiftLeft, 8},   {">>", ShiftRight, 8}, {"<", Less, 7},
    {">", Greater, 7},       {"<=", LessEqual, 7},   {">=", GreaterEqual, 7}, {"==", Equal, 6},
    {"!=", NotEqual, 6},     {"&", BitAnd, 5},       {"^", BitXor, 4},     {"|", BitOr, 3},
    {"&&", LogicAnd, 2},     {"||", LogicOr, 1},
};

// The units of the character at `p`: ASCII stands alone in every code handled here.
inline int32_t Width(TextCode code, const char* data, int32_t length, int32_t p) {
  return static_cast<unsigned char>(data[p]) < 0x80 ? 1 : 1 + RawLayer::CharExtraOf(code, data, length, p);
}

class FlatEvaluator {
 public:
  FlatEvaluator(const RawString& expression, const std::vector<Item>& items)
      : expression_(expression), items_(items) {}

  // Operands and operators alternate, so the operators stand at the odd places; each is looked
  // up once.
  bool Evaluate(int32_t& value) {
    operators_.assign(items_.size(), nullptr);
    for (size_t i = 1; i < items_.size(); i += 2) {
      operators_[i] = Find(items_[i]);
      if (operators_[i] == nullptr) return false;
    }
    position_ = 0;
    return Level(1, value);
  }

 private:
  const OperatorSpelling* Find(const Item& item) const {
    if (item.computed) return nullptr;
    const std::string_view text(expression_.Data() + item.begin, static_cast<size_t>(item.end - item.begin));
    for (const OperatorSpelling& candidate : kOperators) {
      if (candidate.text == text) return &candidate;
    }
    return nullptr;
  }

  // The operators of one level between operands of the tighter levels, left to right. The
  // recursion is as deep as the number of levels, whatever the expression.
  bool Level(int level, int32_t& value) {
    if (level > 10) return Operand(items_[position_++], value);
    if (!Level(level + 1, value)) return false;
    while (position_ < items_.size() && operators_[position_]->level == level) {
      const Operator op = operators_[position_++]->op;
      int32_t right = 0;
      if (!Level(level + 1, right)) return false;
      if (!Apply(op, value, right, value)) return false;
    }
    return true;
  }

  bool Operand(const Item& item, int32_t& value) const {
    if (item.computed) {
      value = item.value;
      return true;
    }
    int64_t number = 0;
    if (!expression_.ParseInteger({item.begin, item.end}, number)) return false;
    value = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(number)));
    return true;
  }

  static bool Apply(Operator op, int32_t a, int32_t b, int32_t& out) {
    const uint32_t ua = static_cast<uint32_t>(a);
    const uint32_t ub = static_cast<uint32_t>(b);
    uint32_t result = 0;
    switch (op) {
      case Quotient:
      case Remainder:
        // No quotient by 0, and none of INT32_MIN by -1 (the processor traps on it).
        if (b == 0 || (a == INT32_MIN && b == -1)) return false;
        out = op == Quotient ? a / b : a % b;
        return true;
      case Product: result = ua * ub; break;
      case Sum: result = ua + ub; break;
      case Difference: result = ua - ub; break;
      case ShiftLeft: result = ua << (ub & 31); break;
      case ShiftRight: result = static_cast<uint32_t>(a >> (ub & 31)); break;
      case Less: result = a < b; break;
      case Greater: result = a > b; break;
      case LessEqual: result = a <= b; break;
      case GreaterEqual: result = a >= b; break;
      case Equal: result = a == b; break;
      case NotEqual: result = a != b; break;
      case BitAnd: result = ua & ub; break;
      case BitXor: result = ua ^ ub; break;
      case BitOr: result = ua | ub; break;
      case LogicAnd: result = a != 0 && b != 0; break;
      case LogicOr: result = a != 0 || b != 0; break;
      case NoOperator: return false;
    }
    out = static_cast<int32_t>(result);
    return true;
  }

  const RawString& expression_;
  const std::vector<Item>& items_;
  std::vector<const OperatorSpelling*> operators_;  // by item place; set at the odd places
  size_t position_ = 0;
};

bool EvaluateFlat(const RawString& expression, const std::vector<Item>& items, Item& result) {
  if (items.size() % 2 == 0) return false;  // also no tokens at all
  if (items.size() == 1) {
    result = items[0];
    return true;
  }
  int32_t value = 0;
  if (!FlatEvaluator(expression, items).Evaluate(value)) return false;
  result = Item{0, 0, true, value};
  return true;
}

}  // namespace

bool EvaluateCalc(const RawString& given, RawString& value) {
  value = RawString();
  const RawString expression =
      RawLayer::UnitSize(given.Code()) == 1 && given.Code() != RawLayer::CodeUtf16Big &&
              given.Code() != RawLayer::CodeUtf16Little
          ? given
          : given.Convert(RawLayer::CodeUtf8);
  const char* data = expression.Data();
  const int32_t length = expression.Length();
  const TextCode code = expression.Code();

  // One list per open bracket, kept on the heap so that deep nesting costs no stack.
  std::vector<std::vector<Item>> groups(1);
  for (int32_t p = 0; p < length;) {
    const int32_t width = Width(code, data, length, p);
    const CharClass kind = width > 1 ? Other : ClassOf(static_cast<unsigned char>(data[p]));
    if (kind == Separator) {
      p += width;
      continue;
    }
    if (kind == Bracket) {
      if (data[p] == '(') {
        groups.emplace_back();
      } else {
        if (groups.size() == 1) return false;
        Item inner;
        if (!EvaluateFlat(expression, groups.back(), inner)) return false;
        groups.pop_back();
        groups.back().push_back(inner);
      }
      p += width;
      continue;
    }
    const int32_t begin = p;
    p += width;
    while (p < length) {
      const int32_t next = Width(code, data, length, p);
      const CharClass nextKind = next > 1 ? Other : ClassOf(static_cast<unsigned char>(data[p]));
      if (nextKind != kind) break;
      p += next;
    }
    groups.back().push_back(Item{begin, p, false, 0});
  }
  if (groups.size() != 1) return false;
  Item result;
  if (!EvaluateFlat(expression, groups.front(), result)) return false;
  if (result.computed) {
    value.AppendInteger(result.value);
  } else {
    value = expression.Sub({result.begin, result.end});
  }
  return true;
}

}  // namespace JobLayer
