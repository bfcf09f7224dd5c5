#include "job/param.h"

#include <vector>

#include "job/error.h"
#include "job/variable.h"

namespace JobLayer {

using RawLayer::kBlanks;
using RawLayer::RawRange;
using RawLayer::RawRangedTextUnit;

namespace {

RawString Indented(int32_t indent) {
  RawString line;
  for (int32_t i = 0; i < indent; ++i) line.AppendChar(' ');
  return line;
}

RawString TrimmedPart(const RawString& text, RawRange range) { return text.Sub(text.Trim(range, kBlanks)); }

}  // namespace

// ---- units ----

std::unique_ptr<JobParamUnit> JobParamText::Clone() const {
  auto copy = std::make_unique<JobParamText>(name, value);
  copy->line = line;
  return copy;
}

void JobParamText::WriteLines(RawStringList& lines, int32_t indent) const {
  RawString line = Indented(indent);
  line.AppendAll(name, "=", value);
  lines.Add(line);
}

void JobParamText::ReplaceText(const RawString& pattern, const RawString& replacement, JobReplace which) {
  if (pattern.IsEmpty()) return;
  for (int32_t from = 0;;) {
    const int32_t at = value.FindText(pattern, {from, value.Length()});
    if (at >= value.Length()) return;
    const int32_t before = value.Length();
    value.Replace({at, at + pattern.Length()}, replacement);
    if (which == JobReplace::First) return;
    // On after the inserted text, measured in the value's own code units.
    from = at + pattern.Length() + (value.Length() - before);
  }
}

void JobParamText::AppendSummary(RawString& text) const { text.AppendAll("[", name, "=", value, "]"); }

std::unique_ptr<JobParamUnit> JobParamCommand::Clone() const {
  auto copy = std::make_unique<JobParamCommand>(name, params);
  copy->line = line;
  return copy;
}

void JobParamCommand::WriteLines(RawStringList& lines, int32_t indent) const {
  RawString line = Indented(indent);
  line.Append(name);
  // Without a name or a block the line would be empty, and the reader drops empty lines; such a
  // unit is written as an empty block, which reads back to the same unit.
  if (params.IsEmpty() && !name.IsEmpty()) {
    lines.Add(line);
    return;
  }
  line.Append(" {");
  lines.Add(line);
  params.WriteLines(lines, indent + 2);
  RawString close = Indented(indent);
  close.Append("}");
  lines.Add(close);
}

void JobParamCommand::ReplaceText(const RawString& pattern, const RawString& replacement, JobReplace which) {
  params.ReplaceText(pattern, replacement, which);
}

void JobParamCommand::AppendSummary(RawString& text) const { text.AppendAll("[", name, "]"); }

// ---- list ----

void JobParamList::Append(std::unique_ptr<JobParamUnit> unit) {
  Detach();
  Base::Add(std::move(unit));
}

void JobParamList::Clear() {
  // A shared body stays with its other holders; this one takes a fresh body.
  if (Base::begin() == Base::end()) return;
  Base::operator=(Base());
}

void JobParamList::AddText(const RawString& name, const RawString& value, int32_t line) {
  auto unit = std::make_unique<JobParamText>(name, value);
  unit->line = line;
  Append(std::move(unit));
}

void JobParamList::AddCommand(const RawString& name, const JobParamList& block, int32_t line) {
  auto unit = std::make_unique<JobParamCommand>(name, block);
  unit->line = line;
  Append(std::move(unit));
}

void JobParamList::WriteLines(RawStringList& lines, int32_t indent) const {
  for (const JobParamUnit& unit : *this) unit.WriteLines(lines, indent);
}

void JobParamList::ReplaceText(const RawString& pattern, const RawString& replacement, JobReplace which) {
  if (IsEmpty()) return;
  Detach();
  for (JobParamUnit& unit : *this) unit.ReplaceText(pattern, replacement, which);
}

void JobParamList::AppendSummary(RawString& text) const {
  for (const JobParamUnit& unit : *this) unit.AppendSummary(text);
}

const JobParamUnit* JobParamList::Find(const RawString& name) const {
  for (const JobParamUnit& unit : *this) {
    if (unit.name == name) return &unit;
  }
  return nullptr;
}

RawString JobParamList::GetValue(const RawString& name) const {
  const JobParamUnit* unit = Find(name);
  if (unit == nullptr || unit->Kind() != JobParamUnit::kText) return RawString();
  return static_cast<const JobParamText*>(unit)->value;
}

bool ExpandParameter(const JobParamList& params, const RawString& name, const JobTraceId& caller, RawString& text) {
  JobVariableResult result = ExpandAndRecord(params.GetValue(name), caller);
  if (result.state != VariableSuccess) {
    text.Clear();
    return false;
  }
  text = result.text;
  return true;
}

RawString GetRequiredParameter(const JobParamList& params, const RawString& name, const RawString& command,
                               const JobTraceId& caller) {
  const RawString written = params.GetValue(name);
  if (written.IsEmpty()) {
    ReportCommandError("RequiredParameterIsMissing", command, name, RawString());
    return RawString();
  }
  JobVariableResult result = ExpandAndRecord(written, caller);
  if (result.state != VariableSuccess) return RawString();
  if (result.text.IsEmpty()) {
    ReportCommandError("RequiredParameterIsEmpty", command, name, written);
    return RawString();
  }
  return result.text;
}

// One loop with a stack of the open blocks rather than a call per block, so that no body,
// however deeply nested, can exhaust the stack while it is read.
bool JobParamList::Parse(const RawRangedTextList& lines, JobParseFault* fault) {
  Clear();
  struct OpenBlock {
    RawString name;
    JobParamList block;
    int32_t line;
  };
  std::vector<OpenBlock> open;
  auto current = [&]() -> JobParamList& { return open.empty() ? *this : open.back().block; };
  auto fail = [&](JobParseFault::Kind kind, int32_t line) {
    if (fault != nullptr) *fault = {kind, line};
    return false;
  };

  for (const RawRangedTextUnit& line : lines) {
    const RawString& text = line.text;
    const RawRange range{line.begin, line.end};
    const int32_t number = line.line + 1;
    if (range.begin < range.end && text.UnitAt(range.begin) == '}') {
      if (open.empty()) return fail(JobParseFault::StrayClose, number);  // the rest is not read
      OpenBlock closed = std::move(open.back());
      open.pop_back();
      current().AddCommand(closed.name, closed.block, closed.line);
      continue;
    }
    const int32_t equal = text.Find('=', range);
    if (equal < range.end) {
      current().AddText(TrimmedPart(text, {range.begin, equal}), text.Sub({equal + 1, range.end}), number);
      continue;
    }
    const int32_t brace = text.Find('{', range);
    if (brace < range.end) {
      if (static_cast<int32_t>(open.size()) >= kMaxBlockDepth) return fail(JobParseFault::TooDeep, number);
      open.push_back({TrimmedPart(text, {range.begin, brace}), JobParamList(), number});
      continue;
    }
    current().AddCommand(TrimmedPart(text, range), JobParamList(), number);
  }
  // Blocks still open were never closed and are dropped with their units; the outermost one is
  // the "{" that a missing "}" leaves open.
  if (!open.empty()) return fail(JobParseFault::NeverClosed, open.front().line);
  return true;
}

}  // namespace JobLayer
