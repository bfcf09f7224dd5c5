#include "app/command_line.h"

#include <cstdint>
#include <string_view>

#include "raw/path.h"

namespace AppLayer {

using RawLayer::CodeUtf8;
using RawLayer::RawParameterUnit;

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

// A process id we wrote ourselves: a plain non-negative number that fits 32 bits.
// Longer texts are refused before parsing because the parser does not detect a
// 64-bit overflow, and a wrapped number must never name some other process.
uint32_t ParseProcessId(const RawString& text) {
  constexpr int32_t kLongestSafe = 18;
  if (text.IsEmpty() || text.Length() > kLongestSafe) return 0;
  uint64_t magnitude = 0;
  bool negative = false;
  if (!text.ParseInteger(RawLayer::kWhole, magnitude, negative)) return 0;
  if (negative || magnitude > UINT32_MAX) return 0;
  return static_cast<uint32_t>(magnitude);
}

}  // namespace

void ReadCommandLine(const RawString& commandLine, RawParameterList& options) {
  options.SetExact(true);
  const RawString text = commandLine.Convert(CodeUtf8);
  const std::string_view line = text.View();
  size_t at = SkipProgramName(line);
  int64_t argumentCount = 0;
  for (;;) {
    at = SkipBlanks(line, at);
    if (at >= line.size()) break;
    if (line[at] == '-') {
      const size_t begin = ++at;
      while (at < line.size() && !IsBlank(line[at])) ++at;
      const std::string_view name = line.substr(begin, at - begin);
      std::string_view value;
      if (name != "h") {
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

GuiCommandLine ReadOptions(const RawParameterList& options) {
  GuiCommandLine result;
  bool configSeen = false;
  for (const RawParameterUnit& unit : options) {
    const RawString& key = unit.key;
    if (key == "a" || key == "l" || key == "r" || key == "d") {
      result.runKind = key;
      result.runName = unit.value;
    } else if (key.StartsWith("NoTag")) {
      result.arguments.Add(unit.value);
      if (key == "NoTag_1") result.firstArgument = unit.value;
    } else if (key == "c" && !configSeen) {
      configSeen = true;
      result.configOption = unit.value;
    }
  }
  if (const RawParameterUnit* restart = options.Find("@")) {
    result.restartProcessId = ParseProcessId(restart->value);
  }
  return result;
}

RawString ChooseConfigFile(const RawString& fromProfile, const GuiCommandLine& commandLine,
                           const RawString& programFolder) {
  if (!commandLine.configOption.IsEmpty()) {
    return RawLayer::ResolvePath(commandLine.configOption, programFolder);
  }
  if (!commandLine.HasRun() && commandLine.firstArgument.EndsWith(".ini")) {
    return commandLine.firstArgument;
  }
  return fromProfile;
}

RawString BuildRestartArguments(const RawParameterList& options, uint32_t processId) {
  RawString text("-@ ");
  text.AppendNumber(processId, 10);
  for (const RawParameterUnit& unit : options) {
    if (unit.key == "@") continue;
    text.Append(" -");
    text.Append(unit.key);
    if (!unit.value.IsEmpty()) {
      text.Append(" ");
      text.Append(unit.value);
    }
  }
  return text;
}

}  // namespace AppLayer
