// The launcher profile and its scripts: the input is a profile loaded into the model, its
// buttons and selectors set up, and every unit's script written out and parsed again; a script
// once written must read back to the same tree. The buttons are saved into the profile and read
// again, twice: the second save must change nothing the first one gave.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "job/param.h"
#include "job/profile_model.h"
#include "job/variable.h"
#include "raw/string_list.h"

namespace {

using JobLayer::JobParamCommand;
using JobLayer::JobParamList;
using JobLayer::JobParamText;
using JobLayer::JobParamUnit;
using JobLayer::JobProfileModel;
using RawLayer::RawRangedTextList;
using RawLayer::RawRangedTextUnit;
using RawLayer::RawString;
using RawLayer::RawStringList;

std::string Describe(const JobParamList& list) {
  std::string out;
  for (const JobParamUnit& unit : list) {
    if (unit.Kind() == JobParamUnit::kText) {
      out += "T(" + unit.name.ToUtf8() + "|" + static_cast<const JobParamText&>(unit).value.ToUtf8() + ")";
    } else {
      out += "C(" + unit.name.ToUtf8() + "){" + Describe(static_cast<const JobParamCommand&>(unit).params) + "}";
    }
  }
  return out;
}

// The written lines as the profile reader hands them on: trimmed, empty and comment lines gone.
RawRangedTextList Reread(const RawStringList& written) {
  RawRangedTextList lines;
  int32_t number = 1;
  for (const RawString& text : written) {
    RawRangedTextUnit line(text, number++);
    line.TrimRange(RawLayer::kBlanks);
    if (line.end > line.begin && text.UnitAt(line.begin) != '/') lines.Add(line);
  }
  return lines;
}

// Written once, a script reads back to the same tree however often it is written again.
void CheckRoundTrip(const JobParamList& params) {
  RawStringList first;
  params.WriteLines(first, 0);
  JobParamList once;
  if (!once.Parse(Reread(first))) __builtin_trap();
  RawStringList second;
  once.WriteLines(second, 0);
  JobParamList twice;
  if (!twice.Parse(Reread(second))) __builtin_trap();
  if (Describe(once) != Describe(twice)) __builtin_trap();
}

std::string ButtonNames(const JobProfileModel& model) {
  std::string out;
  for (const JobLayer::JobButtonUnit& button : model.buttons) out += button.name.ToUtf8() + "\n";
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  KestrelFuzz::InstallQuietScreen();
  if (KestrelFuzz::NamesSystemFunction(std::string_view(reinterpret_cast<const char*>(data), size))) return 0;
  static const RawString path = KestrelFuzz::ScratchPath("kestrel.ini");
  if (!KestrelFuzz::WriteScratch(path, data, size)) return 0;

  JobProfileModel& model = JobProfileModel::Instance();
  model.Clear();
  if (!model.Load(path)) __builtin_trap();
  model.buttons.SetupButtons();
  model.selectors.SetupSelectors();
  for (const JobLayer::JobButtonUnit& button : model.buttons) CheckRoundTrip(button.params);
  for (const JobLayer::JobSelectorUnit& selector : model.selectors) CheckRoundTrip(selector.params);
  for (const JobLayer::JobActionUnit& action : model.actions) CheckRoundTrip(action.params);

  // Whatever the bytes, a save the rewrite accepted reads back and saves again unchanged.
  if (model.SaveButtons()) {
    model.Clear();
    if (!model.Load(path)) __builtin_trap();
    model.buttons.SetupButtons();
    const std::string once = ButtonNames(model);
    if (!model.SaveButtons()) __builtin_trap();
    model.Clear();
    if (!model.Load(path)) __builtin_trap();
    model.buttons.SetupButtons();
    if (ButtonNames(model) != once) __builtin_trap();
  }
  model.Clear();
  return 0;
}
