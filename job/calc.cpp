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

class FlatEvaluator {
 public:
  FlatEvaluator(const RawString& expression, const std::vector<Item>& items)
      : expression_(expression), items_(items) {}

  // The binding level of an operator item: 1 (loosest) to 10; 0 when it is no operator.
  int LevelOf(const Item& item) const {
    if (item.computed) return 0;
    const std::string_view text(expression_.Data() + item.begin, static_cast<size_t>(item.end - item.begin));
    struct Operator {
      std::string_view text;
      int level;
    };
    static constexpr Operator kOperators[] = {
        {"*", 10}, {"/", 10}, {"%", 10}, {"+", 9},  {"-", 9},  {"<<", 8}, {">>", 8}, {"<", 7},  {">", 7},
        {"<=", 7}, {">=", 7}, {"==", 6}, {"!=", 6}, {"&", 5},  {"^", 4},  {"|", 3},  {"&&", 2}, {"||", 1},
    };
    for (const Operator& candidate : kOperators) {
      if (candidate.text == text) return candidate.level;
    }
    return 0;
  }

  // Operands and operators alternate, so the operators stand at the odd places.
  bool Evaluate(int32_t& value) {
    for (size_t i = 1; i < items_.size(); i += 2) {
      if (LevelOf(items_[i]) == 0) return false;
    }
    position_ = 0;
    return Level(1, value);
  }

 private:
  // The operators of one level between operands of the tighter levels, left to right. The
  // recursion is as deep as the number of levels, whatever the expression.
  bool Level(int level, int32_t& value) {
    if (level > 10) return Operand(items_[position_++], value);
    if (!Level(level + 1, value)) return false;
    while (position_ < items_.size() && LevelOf(items_[position_]) == level) {
      const Item& op = items_[position_++];
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

  bool Apply(const Item& op, int32_t a, int32_t b, int32_t& out) const {
    const std::string_view text(expression_.Data() + op.begin, static_cast<size_t>(op.end - op.begin));
    const uint32_t ua = static_cast<uint32_t>(a);
    const uint32_t ub = static_cast<uint32_t>(b);
    if (text == "/" || text == "%") {
      // No quotient by 0, and none of INT32_MIN by -1 (the processor traps on it).
      if (b == 0 || (a == INT32_MIN && b == -1)) return false;
      out = text == "/" ? a / b : a % b;
      return true;
    }
    uint32_t result = 0;
    if (text == "*") result = ua * ub;
    else if (text == "+") result = ua + ub;
    else if (text == "-") result = ua - ub;
    else if (text == "<<") result = ua << (ub & 31);
    else if (text == ">>") result = static_cast<uint32_t>(a >> (ub & 31));
    else if (text == "<") result = a < b;
    else if (text == ">") result = a > b;
    else if (text == "<=") result = a <= b;
    else if (text == ">=") result = a >= b;
    else if (text == "==") result = a == b;
    else if (text == "!=") result = a != b;
    else if (text == "&") result = ua & ub;
    else if (text == "^") result = ua ^ ub;
    else if (text == "|") result = ua | ub;
    else if (text == "&&") result = a != 0 && b != 0;
    else if (text == "||") result = a != 0 || b != 0;
    else return false;
    out = static_cast<int32_t>(result);
    return true;
  }

  const RawString& expression_;
  const std::vector<Item>& items_;
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
    const int32_t width = 1 + RawLayer::CharExtraOf(code, data, length, p);
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
      const int32_t next = 1 + RawLayer::CharExtraOf(code, data, length, p);
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
