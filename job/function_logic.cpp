// Comparisons, logic, conditions and the functions that ask about names.
#include "job/functions.h"

namespace JobLayer {

namespace {

// The two numbers of a numeric comparison; false (with the result set) when either failed.
bool FetchNumbers(JobVariableResult& result, JobVariableArgument& argument, int64_t& a, int64_t& b) {
  a = argument.GetNumber(1);
  b = argument.GetNumber(2);
  return !ArgumentFailed(result, argument);
}

// True when `needle` occurs in `text`, ASCII letters compared without regard to case; the
// text is stepped by whole characters.
bool ContainsNoCase(const RawString& text, const RawString& needle) {
  const int32_t length = text.Length();
  const int32_t count = needle.Length();
  for (int32_t p = 0; p + count <= length; p += 1 + text.CharExtra(p)) {
    if (text.EqualNoCase({p, p + count}, needle)) return true;
  }
  return false;
}

// Fetches the chosen branch of Cond and CondDef: the second argument or the third.
void Choose(JobVariableResult& result, JobVariableArgument& argument, bool first) {
  const RawString chosen = argument.GetText(first ? 2 : 3);
  if (ArgumentFailed(result, argument)) return;
  SetTextResult(result, chosen);
}

}  // namespace

void JobVariableNot::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  const RawString value = argument.GetText(1);
  if (ArgumentFailed(result, argument)) return;
  SetBoolResult(result, !IsTrueText(value));
}

void JobVariableIsEqual::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  const RawString a = argument.GetText(1);
  const RawString b = argument.GetText(2);
  if (ArgumentFailed(result, argument)) return;
  SetBoolResult(result, a == b);
}

void JobVariableIsEqualNoCase::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  const RawString a = argument.GetText(1);
  const RawString b = argument.GetText(2);
  if (ArgumentFailed(result, argument)) return;
  SetBoolResult(result, a.EqualNoCase(RawLayer::kWhole, b));
}

void JobVariableIsSmall::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  int64_t a = 0, b = 0;
  if (FetchNumbers(result, argument, a, b)) SetBoolResult(result, a < b);
}

void JobVariableIsLarge::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  int64_t a = 0, b = 0;
  if (FetchNumbers(result, argument, a, b)) SetBoolResult(result, a > b);
}

void JobVariableIsSmallEqual::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  int64_t a = 0, b = 0;
  if (FetchNumbers(result, argument, a, b)) SetBoolResult(result, a <= b);
}

void JobVariableIsLargeEqual::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  int64_t a = 0, b = 0;
  if (FetchNumbers(result, argument, a, b)) SetBoolResult(result, a >= b);
}

void JobVariableIsNumberEqual::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  int64_t a = 0, b = 0;
  if (FetchNumbers(result, argument, a, b)) SetBoolResult(result, a == b);
}

void JobVariableIsNumberNotEqual::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  int64_t a = 0, b = 0;
  if (FetchNumbers(result, argument, a, b)) SetBoolResult(result, a != b);
}

// Arguments are fetched one at a time, and those after the deciding one are never expanded.
void JobVariableLogicAnd::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  for (int32_t i = 1; i <= argument.ArgumentCount(); ++i) {
    const RawString value = argument.GetText(i);
    if (ArgumentFailed(result, argument)) return;
    if (!IsTrueText(value)) {
      SetBoolResult(result, false);
      return;
    }
  }
  SetBoolResult(result, true);
}

void JobVariableLogicOr::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  for (int32_t i = 1; i <= argument.ArgumentCount(); ++i) {
    const RawString value = argument.GetText(i);
    if (ArgumentFailed(result, argument)) return;
    if (IsTrueText(value)) {
      SetBoolResult(result, true);
      return;
    }
  }
  SetBoolResult(result, false);
}

void JobVariableIsMissing::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  const RawString value = argument.GetText(1);
  if (ArgumentFailed(result, argument)) return;
  JobVariableResult missing;
  SetMissingResult(missing, argument);
  SetBoolResult(result, value == missing.text);
}

void JobVariableIsDefined::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  const RawString name = argument.GetText(1);
  if (ArgumentFailed(result, argument)) return;
  SetBoolResult(result, argument.GetExpander().IsDefined(name));
}

// Only the chosen branch is expanded.
void JobVariableCond::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  const RawString condition = argument.GetText(1);
  if (ArgumentFailed(result, argument)) return;
  Choose(result, argument, IsTrueText(condition));
}

void JobVariableCondDef::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  const RawString name = argument.GetText(1);
  if (ArgumentFailed(result, argument)) return;
  Choose(result, argument, argument.GetExpander().IsDefined(name));
}

void JobVariableIsKey::Evaluate(JobVariableResult& result, JobVariableArgument& argument) {
  JobVariableResult keyState;
  argument.GetExpander().Expand(keyState, "$(KeyState)");
  for (int32_t i = 1; i <= argument.ArgumentCount(); ++i) {
    const RawString key = argument.GetText(i);
    if (ArgumentFailed(result, argument)) return;
    if (ContainsNoCase(keyState.text, key)) {
      SetBoolResult(result, true);
      return;
    }
  }
  SetBoolResult(result, false);
}

}  // namespace JobLayer
