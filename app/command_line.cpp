#include "app/command_line.h"

#include <cstdint>
#include <string_view>

#include "raw/path.h"

namespace AppLayer {

using RawLayer::RawParameterUnit;

namespace {

// Every option but -h takes the argument after it as its value.
bool TakesValue(std::string_view name) { return name != "h"; }

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
  RawLayer::ReadOptionWords(commandLine, true, TakesValue, options);
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
    } else if (key == "k" && !result.check) {
      result.check = true;
      result.checkFile = unit.value;
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
  if (commandLine.check && !commandLine.checkFile.IsEmpty()) {
    return RawLayer::ResolvePath(commandLine.checkFile, programFolder);
  }
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
    if (unit.value.IsEmpty()) continue;
    // What the command line reader hands out never holds a double quote together with a blank,
    // so quotes around such a value always read back as the value itself.
    const RawString utf8 = unit.value.Convert(RawLayer::CodeUtf8);
    const std::string_view value = utf8.View();
    const bool quoted = value.front() == '-' || value.find_first_of(" \t") != std::string_view::npos;
    if (quoted) {
      text.AppendAll(" \"", unit.value, "\"");
    } else {
      text.AppendAll(" ", unit.value);
    }
  }
  return text;
}

}  // namespace AppLayer
