#include "raw/parameter_list.h"

namespace RawLayer {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

size_t SkipBlanks(std::string_view line, size_t at) {
  while (at < line.size() && IsBlank(line[at])) ++at;
  return at;
}

// argument := '"' text up to the next '"' (or the end) | characters up to a blank
std::string_view TakeArgument(std::string_view line, size_t& at) {
  if (line[at] == '"') {
    const size_t begin = at + 1;
    const size_t close = line.find('"', begin);
    if (close == std::string_view::npos) {
      at = line.size();
      return line.substr(begin);
    }
    at = close + 1;
    return line.substr(begin, close - begin);
  }
  const size_t begin = at;
  while (at < line.size() && !IsBlank(line[at])) ++at;
  return line.substr(begin, at - begin);
}

// program := characters up to the first blank outside double quotes
size_t SkipProgramName(std::string_view line) {
  size_t at = SkipBlanks(line, 0);
  bool quoted = false;
  for (; at < line.size(); ++at) {
    if (line[at] == '"') {
      quoted = !quoted;
    } else if (!quoted && IsBlank(line[at])) {
      break;
    }
  }
  return at;
}

}  // namespace

void ReadOptionWords(const RawString& text, bool skipProgram, bool (*takesValue)(std::string_view name),
                     RawParameterList& options) {
  options.SetExact(true);
  const RawString utf8 = text.Convert(CodeUtf8);
  const std::string_view line = utf8.View();
  size_t at = skipProgram ? SkipProgramName(line) : 0;
  int64_t argumentCount = 0;
  for (;;) {
    at = SkipBlanks(line, at);
    if (at >= line.size()) break;
    if (line[at] == '-') {
      const size_t begin = ++at;
      while (at < line.size() && !IsBlank(line[at])) ++at;
      const std::string_view name = line.substr(begin, at - begin);
      std::string_view value;
      if (takesValue(name)) {
        const size_t next = SkipBlanks(line, at);
        if (next < line.size() && line[next] != '-') {
          at = next;
          value = TakeArgument(line, at);
        }
      }
      options.AddEntry(RawString::FromUtf8(name), RawString::FromUtf8(value));
    } else {
      RawString key("NoTag_");
      key.AppendInteger(++argumentCount);
      options.AddEntry(key, RawString::FromUtf8(TakeArgument(line, at)));
    }
  }
}

RawParameterUnit* RawParameterList::Find(const RawString& key) const {
  for (RawParameterUnit& unit : *this) {
    if (exact_ ? unit.key == key : unit.key.EqualNoCase(kWhole, key)) return &unit;
  }
  return nullptr;
}

RawParameterUnit& RawParameterList::FindOrAdd(const RawString& key) {
  if (RawParameterUnit* unit = Find(key)) return *unit;
  return Add(key);
}

void RawParameterList::SetValue(const RawString& key, const RawString& text) { FindOrAdd(key).value = text; }

void RawParameterList::SetNumber(const RawString& key, uint32_t value) {
  RawString text;
  text.AppendNumber(value, 10);
  SetValue(key, text);
}

void RawParameterList::SetInteger(const RawString& key, int64_t value) {
  RawString text;
  text.AppendInteger(value);
  SetValue(key, text);
}

RawString RawParameterList::GetValue(const RawString& key, const RawString& fallback) const {
  const RawParameterUnit* unit = Find(key);
  return unit ? unit->value : fallback;
}

void RawParameterList::Copy(const RawParameterList& other) {
  if (SharesBodyWith(other)) return;
  for (const RawParameterUnit& unit : other) SetValue(unit.key, unit.value);
}

}  // namespace RawLayer
