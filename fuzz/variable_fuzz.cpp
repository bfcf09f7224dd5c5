// The variable expander: the input expanded as a text, and its NUL-separated parts handed to
// Calc and to every function that takes text, as arguments and as the values of variables that
// the references name.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "job/trace.h"
#include "job/variable.h"

namespace {

using JobLayer::ExpandVariables;
using JobLayer::JobTraceId;
using JobLayer::JobVariableList;
using RawLayer::RawString;

// The functions that work on their arguments alone.
const char* const kFunctions[] = {
    "Not",  "Equal",  "EqualNoCase", "<",      ">",         "<=",        ">=",         "==",
    "!=",   "&&",     "||",          "Calc",   "Length",    "Body",      "BodyEx",     "Base",
    "Extension", "Before", "After",  "Code",   "IsMissing", "Path",      "IsDefined",  "Cond",
    "CondDef", "StripQuote", "Replace",
};
constexpr size_t kFunctionCount = sizeof(kFunctions) / sizeof(kFunctions[0]);

void Expand(const std::string& text) {
  const JobLayer::JobVariableResult result = ExpandVariables(RawString::FromUtf8(text), JobTraceId::User());
  if (result.state < JobLayer::VariableSuccess || result.state > JobLayer::VariableUnknown) __builtin_trap();
  (void)result.text.ToUtf8();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  KestrelFuzz::InstallQuietScreen();
  if (size == 0) return 0;
  const std::string_view whole(reinterpret_cast<const char*>(data + 1), size - 1);
  if (KestrelFuzz::NamesSystemFunction(whole)) return 0;
  const auto parts = KestrelFuzz::SplitAtNul(data + 1, size - 1, 4);
  auto part = [&](size_t i) { return std::string(i < parts.size() ? parts[i] : std::string_view()); };

  JobVariableList& list = JobVariableList::Instance();
  list.SaveAll();
  list.Set("vA", RawString::FromUtf8(part(1)));
  list.Set("vB", RawString::FromUtf8(part(2)));

  Expand(part(0));
  Expand("$(Calc:" + part(0) + ")");
  const std::string function = kFunctions[data[0] % kFunctionCount];
  std::string reference = "$(" + function;
  for (size_t i = 0; i < parts.size(); ++i) reference += ":" + part(i);
  Expand(reference + ")");
  Expand("$(" + function + ":$(vA):$(vB))");
  Expand("$(Replace:" + part(0) + ":" + part(1) + ":" + part(2) + ")");
  list.RestoreAll();
  return 0;
}
