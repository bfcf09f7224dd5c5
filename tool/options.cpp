#include "tool/options.h"

#include <string_view>

namespace ToolLayer {

using RawLayer::CodeUtf8;
using RawLayer::RawParameterUnit;

namespace {

bool TakesValue(std::string_view name) {
  if (name.size() != 1) return false;
  return std::string_view("ncfxywhXYWHed").find(name[0]) != std::string_view::npos;
}

void AddPattern(RawStringList& list, const RawString& pattern, ToolOptions& options) {
  if (pattern.IsEmpty()) return;
  list.Add(pattern);
  options.flags |= FlagWindowGiven;
}

struct GeometryOption {
  char name;
  ToolGeometryFlag flag;
};
constexpr GeometryOption kGeometryOptions[] = {
    {'x', GeometryLeft},     {'y', GeometryTop},     {'w', GeometryWidth},     {'h', GeometryHeight},
    {'X', GeometryMoveLeft}, {'Y', GeometryMoveTop}, {'W', GeometryAddWidth}, {'H', GeometryAddHeight},
};

struct FlagOption {
  const char* name;
  uint32_t flags;
};
constexpr FlagOption kFlagOptions[] = {
    {"m", FlagPickWindow},
    {"M", FlagPickRect},
    {"l", FlagWindowList},
    {"k", FlagTerminate},
    {"q", FlagClose},
    {"i", FlagMinimize},
    {"a", FlagRestore},
    {"t", FlagToTop},
    {"T", FlagTopmost},
    {"o", FlagNotTopmost},
    {"z", FlagQuiet},
    {"b", FlagFlash},
    {"g", FlagCopyRect},
    {"p", FlagOpenProfile},
    {"s", FlagStore},
    {"S", FlagStore | FlagStoreFull},
    {"s-", FlagStore | FlagStoreByClass},
    {"S-", FlagStore | FlagStoreFull | FlagStoreByClass},
    {"s+", FlagStore | FlagStoreNumbered},
    {"S+", FlagStore | FlagStoreFull | FlagStoreNumbered},
};

}  // namespace

void ToolGeometry::Set(ToolGeometryFlag flag, int32_t value) {
  // Bit i (absolute) and bit i + 4 (relative) belong to the same axis.
  const uint16_t bit = static_cast<uint16_t>(flag);
  const uint16_t axis = bit >= GeometryMoveLeft ? static_cast<uint16_t>(bit >> 4) : bit;
  flags = static_cast<uint16_t>((flags & ~(axis | (axis << 4))) | bit);
  switch (axis) {
    case GeometryLeft: x = value; break;
    case GeometryTop: y = value; break;
    case GeometryWidth: w = value; break;
    default: h = value; break;
  }
}

ToolOptions ToolOptions::Clone() const {
  ToolOptions copy = *this;
  copy.names.Detach();
  copy.classes.Detach();
  copy.files.Detach();
  return copy;
}

void ReadToolCommandLine(const RawString& commandLine, RawParameterList& options) {
  RawLayer::ReadOptionWords(commandLine, true, TakesValue, options);
}

void ReadOptionText(const RawString& text, RawParameterList& options) {
  RawLayer::ReadOptionWords(text, false, TakesValue, options);
}

bool ParseToolNumber(const RawString& text, int32_t& value) {
  const RawString utf8 = text.Convert(CodeUtf8);
  std::string_view digits = utf8.View();
  bool negative = false;
  if (!digits.empty() && digits[0] == '+') {
    digits.remove_prefix(1);
  }
  if (!digits.empty() && digits[0] == '#') {
    negative = true;
    digits.remove_prefix(1);
  }
  if (!digits.empty() && digits[0] == '-') {
    negative = !negative;
    digits.remove_prefix(1);
  }
  // Held at the limit while reading, so that no digit count can overflow.
  constexpr int64_t kLimit = int64_t{INT32_MAX} + 1;
  int64_t magnitude = 0;
  size_t count = 0;
  for (; count < digits.size() && digits[count] >= '0' && digits[count] <= '9'; ++count) {
    magnitude = magnitude * 10 + (digits[count] - '0');
    if (magnitude > kLimit) magnitude = kLimit;
  }
  if (count == 0) return false;
  int64_t signed_value = negative ? -magnitude : magnitude;
  if (signed_value > INT32_MAX) signed_value = INT32_MAX;
  value = static_cast<int32_t>(signed_value);
  return true;
}

void ApplyOptions(const RawParameterList& list, ToolOptions& options) {
  for (const RawParameterUnit& unit : list) {
    const RawString& key = unit.key;
    if (key == "n") {
      AddPattern(options.names, unit.value, options);
    } else if (key == "c") {
      AddPattern(options.classes, unit.value, options);
    } else if (key == "f") {
      AddPattern(options.files, unit.value, options);
    } else if (key == "e" || key == "d") {
      options.flags |= key == "d" ? FlagSections | FlagDelete : FlagSections;
      options.section = unit.value.IsEmpty() ? RawString("*") : unit.value;
    } else if (key == "?") {
      options.usage = true;
    } else if (key.Length() == 1) {
      const char name = static_cast<char>(key.UnitAt(0));
      for (const GeometryOption& option : kGeometryOptions) {
        int32_t value = 0;
        if (option.name == name && ParseToolNumber(unit.value, value)) {
          options.geometry.Set(option.flag, value);
          options.flags |= FlagGeometry;
        }
      }
    }
    for (const FlagOption& option : kFlagOptions) {
      if (key == RawString::FromUtf8(option.name)) options.flags |= option.flags;
    }
  }
}

}  // namespace ToolLayer
