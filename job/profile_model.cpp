#include "job/profile_model.h"

#include "job/error.h"
#include "job/icon_cache.h"
#include "job/variable.h"
#include "raw/file.h"
#include "raw/path.h"
#include "raw/string_list.h"

namespace JobLayer {

using RawLayer::kBlanks;
using RawLayer::kWhole;
using RawLayer::RawPathKind;
using RawLayer::RawRange;
using RawLayer::RawRangedTextList;
using RawLayer::RawRangedTextUnit;
using RawLayer::RawStringList;
using RawLayer::RawTemporaryFile;

namespace {

bool RangeStartsWith(const RawString& text, RawRange range, const RawString& prefix) {
  int32_t length = prefix.Length();
  return range.end - range.begin >= length && text.Equal({range.begin, range.begin + length}, prefix);
}

bool RangeStartsWithChar(const RawString& text, RawRange range, char c) {
  return range.begin < range.end && text.UnitAt(range.begin) == static_cast<uint32_t>(c);
}

// Expands a parameter's value in the run context and records the state as the last expansion.
RawString ExpandedParameter(const JobParamList& params, const RawString& name, const JobTraceId& context) {
  return ExpandAndRecord(params.GetValue(name), context).text;
}

// The part of a dropped path after its last separator, stepping over double-byte characters.
RawString DropName(const RawString& text) {
  int32_t separator = text.FindLastSeparator();
  return separator >= text.Length() ? text : text.Sub({separator + 1, text.Length()});
}

// Inserts before position index; a negative index or one at or past the end appends.
template <class List, class Unit>
Unit& InsertAt(List& list, int32_t index, std::unique_ptr<Unit> unit) {
  auto position = list.end();
  if (index >= 0 && index < list.Count()) {
    position = list.begin();
    for (int32_t i = 0; i < index; ++i) ++position;
  }
  Unit& inserted = list.Insert(position, std::move(*unit));
  return inserted;
}

template <class List>
auto* UnitAt(const List& list, int32_t index) {
  decltype(&*list.begin()) found = nullptr;
  if (index < 0 || index >= list.Count()) return found;
  auto it = list.begin();
  for (int32_t i = 0; i < index; ++i) ++it;
  return &*it;
}

template <class List>
auto* UnitNamed(const List& list, const RawString& name) {
  decltype(&*list.begin()) found = nullptr;
  for (auto& unit : list) {
    if (unit.name == name) return &unit;
  }
  return found;
}

// One section as it is written back: the header, the script, an empty line.
bool WriteSection(RawLineFile& file, const RawString& prefix, const RawString& name, const JobParamList& params) {
  RawString header("[");
  header.Append(prefix);
  header.Append(name);
  header.Append("]");
  if (!file.WriteLine(header)) return false;
  RawStringList lines;
  params.WriteLines(lines, 0);
  for (const RawString& line : lines) {
    if (!file.WriteLine(line)) return false;
  }
  return file.WriteLine(RawString::Empty());
}

// Hands each block of the profile to the model.
class ProfileReader : public JobProfileBlocks {
 public:
  explicit ProfileReader(JobProfileModel& model) : model_(model) {}

  bool Read(const RawString& path) {
    RawLineFile file(path);
    if (!file.OpenRead()) return false;
    JobProfileBlocks::Read(file);
    return true;
  }

 private:
  void Block(const RawRangedTextUnit& header, const RawRangedTextList& body) override {
    RawString inner;
    if (!ProfileHeaderText(header, inner)) return;
    JobParamList* params = nullptr;
    if (inner.StartsWith("Selector:")) {
      params = &AddSelector(inner.Sub({9, inner.Length()}));
    } else if (inner.StartsWith("Button:")) {
      params = &AddButton(inner.Sub({7, inner.Length()}));
    } else if (inner.StartsWith("Action:")) {
      params = &model_.actions.Add(JobActionUnit{inner.Sub({7, inner.Length()}), JobParamList()}).params;
    } else if (inner.StartsWith("Initialize")) {
      params = &model_.actions.Add(JobActionUnit{"#Initialize", JobParamList()}).params;
    } else {
      return;
    }
    JobParseFault fault;
    if (!params->Parse(body, &fault)) {
      RawString value("Section ");
      value.Append(inner);
      const JobErrorLine line(fault.line);
      ReportCommandError("UnbalancedSectionBlocks", RawString::Empty(), RawString::Empty(), value);
    }
  }

  JobParamList& AddButton(const RawString& name) {
    auto unit = std::make_unique<JobButtonUnit>();
    unit->name = name;
    if (name == "*") {
      JobParamList& params = unit->params;
      model_.buttons.SetDefault(std::move(unit));
      return params;
    }
    if (name == "-") unit->flags |= JobButtonUnit::kSeparator;
    return model_.buttons.Insert(model_.buttons.end(), std::move(*unit)).params;
  }

  JobParamList& AddSelector(const RawString& name) {
    auto unit = std::make_unique<JobSelectorUnit>();
    unit->name = name;
    if (name == "*") {
      JobParamList& params = unit->params;
      model_.selectors.SetDefault(std::move(unit));
      return params;
    }
    if (name == "-") unit->flags |= JobSelectorUnit::kSeparator;
    return model_.selectors.Insert(model_.selectors.end(), std::move(*unit)).params;
  }

  JobProfileModel& model_;
};

}  // namespace

// ---- blocks ----

void JobProfileBlocks::Read(RawLineFile& file) {
  while (file.ReadLine()) {
    RawRangedTextUnit line(file.Line(), file.LineNumber());
    line.TrimRange(kBlanks);
    RawRange range{line.begin, line.end};
    if (range.begin == range.end || RangeStartsWithChar(line.text, range, '/')) continue;
    if (RangeStartsWithChar(line.text, range, '[')) Finish();
    block_.Add(line);
  }
  Finish();
}

void JobProfileBlocks::Finish() {
  if (block_.IsEmpty()) return;
  RawRangedTextUnit first = *block_.First();
  block_.Remove(block_.begin());
  Block(first, block_);
  block_.Clear();
}

bool ProfileHeaderText(const RawRangedTextUnit& line, RawString& inner) {
  const RawString& text = line.text;
  RawRange range{line.begin, line.end};
  if (!RangeStartsWithChar(text, range, '[') || range.end - range.begin < 2 || text.UnitAt(range.end - 1) != ']') {
    return false;
  }
  inner = text.Sub({range.begin + 1, range.end - 1});
  return true;
}

// ---- buttons ----

void JobButtonList::SetupButtons() {
  JobTraceId self{"SetupButtons", 0};
  JobTraceScope scope('U', JobTraceId::System(), self, self.name);
  for (JobButtonUnit& button : *this) SetupButton(button, self);
}

void JobButtonList::SetupButton(JobButtonUnit& button, const JobTraceId& context) {
  const JobParamList& params = button.params;
  bool hasIcon = !params.GetValue("IconFile").IsEmpty();
  uint16_t flags = button.flags & JobButtonUnit::kSeparator;
  if (hasIcon) flags |= JobButtonUnit::kHasIcon;
  RawString title = ExpandedParameter(params, "Title", context);
  if (!title.IsEmpty()) {
    button.caption = title;
    flags |= JobButtonUnit::kShowCaption;
  } else {
    button.caption = button.name;
    if (!hasIcon) flags |= JobButtonUnit::kShowCaption;
  }
  if (hasIcon) {
    RawString file = ExpandedParameter(params, "IconFile", context);
    const int32_t index = ParseIconIndex(ExpandedParameter(params, "IconIndex", context));
    button.iconEntry = JobIconControl::Instance().GetEntry(file, index);
  }
  if (IsTrueText(ExpandedParameter(params, "Hidden", context))) flags |= JobButtonUnit::kHidden;
  if (IsTrueText(ExpandedParameter(params, "DropRun", context))) flags |= JobButtonUnit::kDropRun;
  button.flags = flags;
  RawString tip = ExpandedParameter(params, "TipText", context);
  button.tipText = tip.IsEmpty() ? button.caption : tip;
}

JobButtonUnit& JobButtonList::CreateFromDrop(int32_t index, const RawString& text, const JobTraceId& context) {
  auto unit = std::make_unique<JobButtonUnit>();
  unit->name = DropName(text);
  if (default_) {
    unit->params = default_->params;
    unit->params.ReplaceText("$(APPEND)", text, JobReplace::Every);
  } else {
    unit->params.AddText("IconFile", text);
    JobParamList shell;
    shell.AddText("Command", text);
    unit->params.AddCommand("Shell", shell);
  }
  JobButtonUnit& inserted = InsertAt(*this, index, std::move(unit));
  SetupButton(inserted, context);
  return inserted;
}

bool JobButtonList::WriteSections(RawLineFile& file) {
  if (default_ && !WriteSection(file, "Button:", default_->name, default_->params)) return false;
  for (const JobButtonUnit& button : *this) {
    if (!WriteSection(file, "Button:", button.name, button.params)) return false;
  }
  return true;
}

JobButtonUnit* JobButtonList::At(int32_t index) const { return UnitAt(*this, index); }
JobButtonUnit* JobButtonList::Find(const RawString& name) const { return UnitNamed(*this, name); }

// ---- selectors ----

void JobSelectorList::SetupSelectors() {
  JobTraceId self{"SetupSelectors", 0};
  JobTraceScope scope('U', JobTraceId::System(), self, self.name);
  for (JobSelectorUnit& selector : *this) SetupSelector(selector, self);
}

void JobSelectorList::SetupSelector(JobSelectorUnit& selector, const JobTraceId& context) {
  RawString title = ExpandedParameter(selector.params, "Title", context);
  selector.caption = title.IsEmpty() ? selector.name : title;
}

JobSelectorUnit& JobSelectorList::CreateFromDrop(int32_t index, const RawString& text, const JobTraceId& context) {
  auto unit = std::make_unique<JobSelectorUnit>();
  unit->name = DropName(text);
  if (default_) {
    unit->params = default_->params;
    unit->params.ReplaceText("$(APPEND)", text, JobReplace::Every);
  } else {
    JobParamList define;
    define.AddText("Selector", text);
    unit->params.AddCommand("Define", define);
  }
  JobSelectorUnit& inserted = InsertAt(*this, index, std::move(unit));
  SetupSelector(inserted, context);
  return inserted;
}

bool JobSelectorList::WriteSections(RawLineFile& file) {
  if (default_ && !WriteSection(file, "Selector:", default_->name, default_->params)) return false;
  for (const JobSelectorUnit& selector : *this) {
    if (!WriteSection(file, "Selector:", selector.name, selector.params)) return false;
  }
  return true;
}

JobSelectorUnit* JobSelectorList::At(int32_t index) const { return UnitAt(*this, index); }
JobSelectorUnit* JobSelectorList::Find(const RawString& name) const { return UnitNamed(*this, name); }

int JobSelectorListSort::Compare(const JobSelectorUnit& a, const JobSelectorUnit& b) const {
  auto fold = [](uint32_t c) { return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c; };
  int32_t length = std::min(a.name.Length(), b.name.Length());
  for (int32_t i = 0; i < length; ++i) {
    uint32_t x = fold(a.name.UnitAt(i));
    uint32_t y = fold(b.name.UnitAt(i));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.name.Length() == b.name.Length() ? 0 : (a.name.Length() < b.name.Length() ? -1 : 1);
}

// ---- actions ----

const JobActionUnit* JobActionList::Find(const RawString& name) const { return UnitNamed(*this, name); }

// ---- the model ----

JobProfileModel& JobProfileModel::Instance() {
  static JobProfileModel model;
  return model;
}

bool JobProfileModel::Load(const RawString& path) {
  path_ = path;
  ProfileReader reader(*this);
  bool opened = reader.Read(path);
  JobVariableList& variables = JobVariableList::Instance();
  variables.Set("ExitCode", "0");
  variables.Set("Missing", RawString::Empty());
  return opened;
}

bool JobProfileModel::SaveButtons() { return JobDataSaver(buttons, "Button:").Save(path_); }
bool JobProfileModel::SaveSelectors() { return JobDataSaver(selectors, "Selector:").Save(path_); }

void JobProfileModel::Clear() {
  selectors.Clear();
  selectors.SetDefault(nullptr);
  buttons.Clear();
  buttons.SetDefault(nullptr);
  actions.Clear();
}

// ---- saving ----

// The file is copied line by line; the lines of every section whose header begins with "[" and
// the prefix are left out, and the caller writes all its sections in place of the first one (at
// the end when there is none). The profile is replaced only when it was read to its clean end
// and every line could be written in its code.
bool JobDataSaver::Save(const RawString& path) {
  RawLineFile reader(path);
  bool exists = reader.OpenRead();
  if (!exists && PathKind(path) != RawPathKind::Missing) return false;
  if (RawLayer::IsReadOnlyFile(path)) return false;

  RawTemporaryFile temp(path);
  RawLineFile writer(temp.Path());
  bool keep = exists && reader.FileCodeKnown() && reader.FileCode() != RawLayer::CodeBinary;
  writer.SetTextCode(keep ? reader.FileCode() : RawLayer::CodeUtf8);
  // A file of no known code held only ASCII: new text of another language goes behind a mark
  // when it would read back as another code.
  writer.SetFlags(keep ? (reader.HadMark() ? RawLineFile::FlagWriteMark : 0) : RawLineFile::FlagMarkWhenNeeded);
  if (exists && reader.FileCodeKnown() && reader.FileCode() == RawLayer::CodeBinary) return false;
  if (!writer.OpenWrite()) return false;
  temp.Own();

  bool ok = true;
  bool written = false;
  bool owned = false;
  while (ok && exists && reader.ReadLine()) {
    const RawString& line = reader.Line();
    RawRange range = line.Trim(kWhole, kBlanks);
    if (RangeStartsWithChar(line, range, '[')) {
      owned = RangeStartsWith(line, {range.begin + 1, range.end}, prefix_);
      if (owned && !written) {
        ok = caller_.WriteSections(writer);
        written = true;
      }
    }
    if (ok && !owned) ok = writer.WriteLine(line);
  }
  ok = ok && (!exists || reader.ReachedCleanEnd());
  reader.Close();
  if (ok && !written) ok = caller_.WriteSections(writer);
  if (!writer.Close() || !ok) return false;
  return temp.MoveOnto(path);
}

}  // namespace JobLayer
