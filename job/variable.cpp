#include "job/variable.h"

#include "job/error.h"
#include "job/functions.h"
#include "job/secret.h"

namespace JobLayer {

using RawLayer::CodeUtf8;
using RawLayer::TextCode;

namespace {

const RawString kEmpty;

// Errors quote texts; a text nested thousands of levels deep is cut so the message stays
// readable.
RawString Shortened(const RawString& text) {
  constexpr int32_t kLimit = 256;
  if (text.Length() <= kLimit) return text;
  int32_t end = 0;
  while (end < kLimit) end += 1 + text.CharExtra(end);
  RawString cut = text.Sub({0, end});
  cut.Append(RawString(cut.Code(), RawString("...")));
  return cut;
}

// The width of the character at `p`: the characters that matter here are ASCII, which are one
// unit wherever they stand as characters of their own; a lead byte takes its trail with it.
inline int32_t Step(TextCode code, const char* data, int32_t length, int32_t p) {
  return static_cast<unsigned char>(data[p]) < 0x80 ? 1 : 1 + RawLayer::CharExtraOf(code, data, length, p);
}

// Codes whose units are not single bytes are expanded as UTF-8.
bool NeedsWorkingCode(TextCode code) {
  return RawLayer::UnitSize(code) != 1 || code == RawLayer::CodeUtf16Big || code == RawLayer::CodeUtf16Little ||
         code == RawLayer::CodeUtf7;
}

}  // namespace

int32_t FindVariableReference(const RawString& text, int32_t from, int32_t& before) {
  const char* data = text.Data();
  const int32_t length = text.Length();
  const TextCode code = text.Code();
  int32_t previous = from;
  for (int32_t p = from; p < length;) {
    const int32_t width = Step(code, data, length, p);
    if (width == 1 && data[p] == '$' && p + 1 < length && data[p + 1] == '(') {
      before = previous;
      return p;
    }
    previous = p;
    p += width;
  }
  return length;
}

int32_t SplitVariableReference(const RawString& text, int32_t start, RawStringList& segments, int32_t& nameEnd) {
  const char* data = text.Data();
  const int32_t length = text.Length();
  const TextCode code = text.Code();
  int32_t depth = 0;
  int32_t segmentStart = start + 2;
  nameEnd = -1;
  for (int32_t p = segmentStart; p < length;) {
    const int32_t width = Step(code, data, length, p);
    if (width == 1) {
      const char c = data[p];
      if (c == '$' && p + 1 < length && data[p + 1] == '(') {
        ++depth;
        p += 2;
        continue;
      }
      if (c == ')') {
        if (depth == 0) {
          if (nameEnd < 0) nameEnd = p;
          segments.Add(text.Sub({segmentStart, p}));
          return p + 1;
        }
        --depth;
      } else if (c == ':' && depth == 0) {
        if (nameEnd < 0) nameEnd = p;
        segments.Add(text.Sub({segmentStart, p}));
        segmentStart = p + 1;
      }
    }
    p += width;
  }
  if (nameEnd < 0) nameEnd = length;
  return -1;
}

namespace {

// A truth value or a number made from a secret (a comparison, a length) tells little of it, and
// concealing it would hide every such value in the log.
bool TellsOfSecret(const RawString& text) {
  int64_t number = 0;
  return text != BoolText(true) && text != BoolText(false) && !ParseVariableNumber(text, number);
}

}  // namespace

RawString VariableStateName(int32_t state) {
  switch (state) {
    case VariableSuccess: return "Success";
    case VariableOverflow: return "Overflow";
    case VariableInvalid: return "Invalid";
    case VariableExpanded: return "Expanded";
    default: return "Unknown";
  }
}

bool ParseVariableNumber(const RawString& text, int64_t& value) {
  value = 0;
  if (text.IsEmpty()) return true;
  return text.ParseInteger(RawLayer::kWhole, value);
}

bool IsTrueText(const RawString& text) { return !text.IsEmpty() && !text.EqualNoCase(RawLayer::kWhole, "False"); }

const RawString& BoolText(bool value) {
  static const RawString kTrue("True");
  static const RawString kFalse("False");
  return value ? kTrue : kFalse;
}

// --- arguments -----------------------------------------------------------------------------

JobVariableArgument::JobVariableArgument(Expander& expander, const RawStringList& segments, const RawString& name,
                                         const RawString& text, int32_t start, int32_t end)
    : expander_(&expander), segments_(segments), name_(name), text_(text), start_(start), end_(end) {
  segmentAt_.reserve(static_cast<size_t>(segments_.Count()));
  for (const RawString& segment : segments_) segmentAt_.push_back(&segment);
}

const RawString* JobVariableArgument::Segment(int32_t index) const {
  if (index < 0 || index >= static_cast<int32_t>(segmentAt_.size())) return nullptr;
  return segmentAt_[static_cast<size_t>(index)];
}

RawString JobVariableArgument::GetText(int32_t index, uint32_t flags) {
  const RawString* segment = Segment(index);
  if (segment == nullptr) {
    if ((flags & kOptional) == 0) {
      ReportVariableError("TooFewVariableArguments", name_, Shortened(Reference()), kEmpty);
      errorState_ = VariableInvalid;
    }
    return kEmpty;
  }
  if ((flags & kRaw) != 0) return *segment;
  JobVariableResult result;
  expander_->Expand(result, *segment);
  if (expander_->Stopped()) {
    // The error has been reported; the function must not act on a half-expanded text.
    errorState_ = VariableInvalid;
    return kEmpty;
  }
  return result.text;
}

int64_t JobVariableArgument::GetNumber(int32_t index, uint32_t flags) {
  const int32_t stateBefore = errorState_;
  errorState_ = VariableSuccess;
  const RawString text = GetText(index, flags & (kRaw | kOptional));
  if (errorState_ != VariableSuccess) return 0;
  errorState_ = stateBefore;
  int64_t value = 0;
  if (!ParseVariableNumber(text, value)) {
    ReportVariableError("IncorrectNumberFormat", name_, Shortened(text), Shortened(Reference()));
    errorState_ = VariableInvalid;
    return 0;
  }
  if ((flags & kNotNegative) != 0 && value < 0) {
    ReportVariableError("OutOfRangeNumber", name_, text, Shortened(Reference()));
    errorState_ = VariableInvalid;
    return 0;
  }
  return value;
}

void JobVariableArgument::RejectValue(const RawString& value) {
  ReportVariableError("InvalidVariableArgument", name_, Shortened(value), Shortened(Reference()));
  errorState_ = VariableInvalid;
}

// --- units and the list --------------------------------------------------------------------

JobVariableUnit::JobVariableUnit(const RawString& name, uint16_t flags)
    : flags_(flags), name_(name.Code() == CodeUtf8 ? name : name.Convert(CodeUtf8)) {}

void JobVariableUnit::Evaluate(JobVariableResult& result, JobVariableArgument&) {
  result.state = VariableSuccess;
  result.text = JobVariableList::Instance().Value(*this);
}

JobVariableList& JobVariableList::Instance() {
  // Never destroyed: function objects and callers may use it until the process ends.
  static JobVariableList* const list = new JobVariableList;
  return *list;
}

JobVariableList::JobVariableList() {
  functions_ = VariableFunctionTable(functionCount_);
  for (int32_t i = 0; i < functionCount_; ++i) index_.emplace(functions_[i]->name_.View(), functions_[i]);
}

JobVariableUnit* JobVariableList::FindLocked(const RawString& name) const {
  if (name.Code() == CodeUtf8) {
    const auto found = index_.find(name.View());
    return found == index_.end() ? nullptr : found->second;
  }
  const RawString utf8 = name.Convert(CodeUtf8);
  const auto found = index_.find(utf8.View());
  return found == index_.end() ? nullptr : found->second;
}

void JobVariableList::Set(const RawString& name, const RawString& value) {
  // A copy of a secret (a Define of a text that Expand put in) is a secret too.
  const bool secret = JobSecrets::Instance().Occurs(value);
  std::lock_guard<std::mutex> hold(lock_);
  JobVariableUnit* unit = FindLocked(name);
  if (unit == nullptr) {
    unit = &Add(name, JobVariableUnit::kUserVariable);
    index_.emplace(unit->name_.View(), unit);
  }
  unit->value_ = value;
  unit->flags_ |= JobVariableUnit::kAssigned;
  if (secret) unit->flags_ |= JobVariableUnit::kSecret;
}

void JobVariableList::SetSecret(const RawString& name, const RawString& value) {
  JobSecrets::Instance().Add(value);
  Set(name, value);
  std::lock_guard<std::mutex> hold(lock_);
  if (JobVariableUnit* unit = FindLocked(name)) unit->flags_ |= JobVariableUnit::kSecret;
}

JobVariableUnit* JobVariableList::Find(const RawString& name) const {
  std::lock_guard<std::mutex> hold(lock_);
  return FindLocked(name);
}

RawString JobVariableList::Value(const JobVariableUnit& unit) const {
  std::lock_guard<std::mutex> hold(lock_);
  return unit.value_;
}

RawString JobVariableList::ValueOf(const RawString& name) const {
  std::lock_guard<std::mutex> hold(lock_);
  const JobVariableUnit* unit = FindLocked(name);
  return unit == nullptr ? kEmpty : unit->value_;
}

uint16_t JobVariableList::FlagsOf(const JobVariableUnit& unit) const {
  std::lock_guard<std::mutex> hold(lock_);
  return unit.flags_;
}

void JobVariableList::SaveAll() {
  std::lock_guard<std::mutex> hold(lock_);
  for (int32_t i = 0; i < functionCount_; ++i) functions_[i]->saved_ = functions_[i]->value_;
  for (JobVariableUnit& unit : *this) unit.saved_ = unit.value_;
}

void JobVariableList::RestoreAll() {
  std::lock_guard<std::mutex> hold(lock_);
  for (int32_t i = 0; i < functionCount_; ++i) {
    functions_[i]->value_ = functions_[i]->saved_;
    functions_[i]->flags_ |= JobVariableUnit::kAssigned;
  }
  for (JobVariableUnit& unit : *this) {
    unit.value_ = unit.saved_;
    unit.flags_ |= JobVariableUnit::kAssigned;
  }
}

void JobVariableList::SetLastState(int32_t state) {
  std::lock_guard<std::mutex> hold(lock_);
  lastState_ = state;
}

int32_t JobVariableList::LastState() const {
  std::lock_guard<std::mutex> hold(lock_);
  return lastState_;
}

int32_t JobVariableList::UnitCount() const {
  std::lock_guard<std::mutex> hold(lock_);
  return functionCount_ + Count();
}

// --- the expander --------------------------------------------------------------------------

// Shared by an outermost expansion and every expansion nested in it.
struct JobVariableExpander::Nesting {
  int32_t depth = 0;     // Expand calls on the stack
  bool stopped = false;  // nesting went too deep: every level gives back its text as written
  int32_t secrets = 0;   // secret variables resolved so far
};

JobVariableExpander::JobVariableExpander(JobVariableList& list, const JobTraceId& context)
    : list_(list), context_(context), own_(new Nesting), nesting_(own_.get()) {}

JobVariableExpander::JobVariableExpander(JobVariableList& list, const JobTraceId& context, Nesting& nesting)
    : list_(list), context_(context), nesting_(&nesting) {}

JobVariableExpander::~JobVariableExpander() = default;

bool JobVariableExpander::Stopped() const { return nesting_->stopped; }

bool JobVariableExpander::SecretSeen() const { return nesting_->secrets > 0; }

void JobVariableExpander::Expand(JobVariableResult& result, const RawString& text) {
  Nesting& nesting = *nesting_;
  if (nesting.stopped) {
    result = {VariableInvalid, text};
    return;
  }
  if (nesting.depth >= kMaxVariableNesting) {
    nesting.stopped = true;
    ReportVariableError("TooManyVariableExpansions", kEmpty, kEmpty, Shortened(text));
    result = {VariableInvalid, text};
    return;
  }
  struct DepthHold {
    explicit DepthHold(int32_t& depth) : depth_(depth) { ++depth_; }
    ~DepthHold() { --depth_; }
    int32_t& depth_;
  } hold(nesting.depth);

  RawString current = NeedsWorkingCode(text.Code()) ? text.Convert(CodeUtf8) : text;
  int32_t scanFrom = 0;
  for (int32_t count = 0;;) {
    int32_t before = 0;
    const int32_t start = FindVariableReference(current, scanFrom, before);
    if (start >= current.Length()) {
      result = {VariableSuccess, current};
      return;
    }
    RawStringList segments;
    int32_t nameEnd = 0;
    const int32_t end = SplitVariableReference(current, start, segments, nameEnd);
    if (end < 0) {
      ReportVariableError("UnbalancedVariableBlock", Shortened(current.Sub({start + 2, nameEnd})), kEmpty,
                          Shortened(current));
      result = {VariableInvalid, current};
      return;
    }
    JobVariableResult name;
    Expand(name, *segments.First());
    if (name.state != VariableSuccess) {
      // The name's own expansion has reported its error; the reference stays as written.
      result = {VariableInvalid, current};
      return;
    }
    if (name.text.IsEmpty()) {
      ReportVariableError("VariableNameIsMissing", kEmpty, Shortened(current.Sub({start, end})), Shortened(current));
      result = {VariableInvalid, current};
      return;
    }
    JobVariableArgument argument(*this, segments, name.text, current, start, end);
    JobVariableResult resolved;
    Resolve(resolved, name.text, argument);
    if (nesting.stopped) {
      result = {VariableInvalid, current};
      return;
    }
    current.Replace({start, end}, resolved.text);
    if (++count >= kMaxVariableSubstitutions) {
      ReportVariableError("TooManyVariableExpansions", kEmpty, kEmpty, Shortened(text));
      result = {VariableOverflow, RawString()};
      return;
    }
    scanFrom = before;
  }
}

void JobVariableExpander::Resolve(JobVariableResult& result, const RawString& name, JobVariableArgument& argument) {
  JobTraceScope scope('V', context_, JobTraceId::NextVariable(), argument.Reference());
  JobVariableUnit* unit = list_.Find(name);
  const int32_t secretsBefore = nesting_->secrets;
  if (unit == nullptr) {
    result = {VariableUnknown, RawString()};
  } else {
    JobVariableExpander nested(list_, scope.Self(), *nesting_);
    JobVariableArgument bound(argument);
    bound.SetExpander(nested);
    unit->Evaluate(result, bound);
    // Only a registered secret needs hiding (an empty password has nothing to hide), so the
    // flag is read only while there is one.
    if (!JobSecrets::Instance().IsEmpty() && (list_.FlagsOf(*unit) & JobVariableUnit::kSecret) != 0) {
      ++nesting_->secrets;
    }
  }
  // A secret, or what a function made of one (a piece of it), shows as "***", and such a piece is
  // concealed wherever else the log would quote it.
  const bool secret = nesting_->secrets != secretsBefore;
  if (secret && unit != nullptr && (list_.FlagsOf(*unit) & JobVariableUnit::kSecret) == 0 &&
      TellsOfSecret(result.text)) {
    JobSecrets::Instance().Add(result.text);
  }
  if (scope.IsActive()) {
    RawString line = VariableStateName(result.state);
    line.AppendAll(" (", secret ? JobSecrets::Shown() : result.text, ")");
    scope.SetResultText(line);
  }
}

bool JobVariableExpander::IsDefined(const RawString& name) { return list_.Find(name) != nullptr; }

JobVariableResult ExpandVariables(const RawString& text, const JobTraceId& caller) {
  JobVariableExpander expander(JobVariableList::Instance(), caller);
  JobVariableResult result;
  expander.Expand(result, text);
  result.secret = expander.SecretSeen();
  // A text expanded from a secret is concealed wherever the log would quote it (an error's
  // value, a command that Expand filled in).
  if (result.secret && TellsOfSecret(result.text)) JobSecrets::Instance().AddUnlessHeld(result.text);
  return result;
}

JobVariableResult ExpandAndRecord(const RawString& text, const JobTraceId& caller) {
  JobVariableResult result = ExpandVariables(text, caller);
  JobVariableList::Instance().SetLastState(result.state);
  return result;
}

}  // namespace JobLayer
