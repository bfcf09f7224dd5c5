// Scripts in memory: a list of parameter units, each either a text unit ("name=value") or a
// command unit (a name with an optional block of further units in braces).
//
// Text form, as Parse reads it (one line per unit; the profile reader has already trimmed the
// lines and dropped empty and comment lines):
//   - a line beginning with "}" closes the open block; the rest of that line is ignored;
//   - a line holding "=" is a text unit: the name is the text before the first "=" (trimmed of
//     blanks and tabs), the value everything after it, untrimmed;
//   - otherwise a line holding "{" opens a block: the name is the text before the first "{"
//     (trimmed); the rest of that line is ignored;
//   - any other line is a command unit with an empty block.
// Error recovery: a "}" with no open block, a block still open when the lines run out, or
// blocks nested deeper than kMaxBlockDepth make Parse return false. The list keeps every unit
// read up to that point; a command whose block was not closed is not added.
// Every unit remembers the line of the file it was read from (1-based; 0 for a unit made in
// code), and a failed Parse tells which line broke the balance.
#pragma once

#include <cstdint>
#include <memory>

#include "job/trace.h"
#include "raw/list.h"
#include "raw/string.h"
#include "raw/string_list.h"

namespace JobLayer {

using RawLayer::RawRangedTextList;
using RawLayer::RawString;
using RawLayer::RawStringList;

class JobParamList;

// Which occurrences of a pattern ReplaceText replaces in each value.
enum class JobReplace { First, Every };

class JobParamUnit {
 public:
  static constexpr int kBase = 0;
  static constexpr int kText = 1;
  static constexpr int kCommand = 2;

  explicit JobParamUnit(const RawString& unitName) : name(unitName) {}
  virtual ~JobParamUnit() = default;
  JobParamUnit(const JobParamUnit&) = delete;
  JobParamUnit& operator=(const JobParamUnit&) = delete;

  // Consumers tell units apart by this value.
  virtual int Kind() const { return kBase; }
  // A new unit of the same kind, owned by the caller. A command's clone shares its block.
  virtual std::unique_ptr<JobParamUnit> Clone() const = 0;
  // Appends the unit's text form, indented by `indent` blanks.
  virtual void WriteLines(RawStringList& lines, int32_t indent) const = 0;
  // Replaces the first or every occurrence of pattern in each value (names never
  // change). Text that a replacement puts in is not searched again.
  virtual void ReplaceText(const RawString& pattern, const RawString& replacement, JobReplace which) = 0;
  // Appends the one-line form used in the execution log.
  virtual void AppendSummary(RawString& text) const = 0;

  RawString name;
  // The unit's line in its file, counted from 1; 0 when it was not read from a file.
  int32_t line = 0;
};

// Why Parse failed, and at which line (1-based, as the unit lines).
struct JobParseFault {
  enum Kind { None, StrayClose, NeverClosed, TooDeep };
  Kind kind = None;
  int32_t line = 0;
};

// One place of a list. Copying a place clones its unit, so the list family's Detach of a shared
// body is the deep copy of a block (a command's own block is shared again, not copied).
class JobParamSlot {
 public:
  explicit JobParamSlot(std::unique_ptr<JobParamUnit> unit) : unit_(std::move(unit)) {}
  JobParamSlot(const JobParamSlot& other) : unit_(other.unit_->Clone()) {}
  JobParamSlot& operator=(const JobParamSlot&) = delete;
  JobParamUnit& Unit() const { return *unit_; }

 private:
  std::unique_ptr<JobParamUnit> unit_;
};

class JobParamListAllocator : public RawLayer::RawListAllocator<JobParamSlot> {};

// The units of one block. Copies share one body; every change first detaches a shared body
// (the share count is atomic, so two copies may change on two threads).
class JobParamList : private RawLayer::RawListR<JobParamListAllocator, JobParamSlot> {
  using Base = RawLayer::RawListR<JobParamListAllocator, JobParamSlot>;

 public:
  // Nesting deeper than this is refused by Parse: every walk of a tree (running, writing,
  // freeing) recurses once per level.
  static constexpr int32_t kMaxBlockDepth = 100;

  class Iterator {
   public:
    explicit Iterator(Base::Iterator at) : at_(at) {}
    JobParamUnit& operator*() const { return at_->Unit(); }
    JobParamUnit* operator->() const { return &at_->Unit(); }
    Iterator& operator++() {
      ++at_;
      return *this;
    }
    bool operator==(const Iterator& other) const { return at_ == other.at_; }
    bool operator!=(const Iterator& other) const { return at_ != other.at_; }

   private:
    Base::Iterator at_;
  };

  JobParamList() = default;
  JobParamList(const JobParamList&) = default;
  JobParamList& operator=(const JobParamList&) = default;
  ~JobParamList() override = default;

  using Base::Count;
  using Base::IsEmpty;
  bool SharesBodyWith(const JobParamList& other) const { return Base::SharesBodyWith(other); }
  Iterator begin() const { return Iterator(Base::begin()); }
  Iterator end() const { return Iterator(Base::end()); }

  // Clears the list and reads it from the lines; true when every block was balanced. The lines'
  // numbers count from 0, as the line file gives them; `fault`, when given, says what broke.
  [[nodiscard]] bool Parse(const RawRangedTextList& lines, JobParseFault* fault = nullptr);
  void Clear();
  void AddText(const RawString& name, const RawString& value, int32_t line = 0);
  // The new command's block shares block's body.
  void AddCommand(const RawString& name, const JobParamList& block = JobParamList(), int32_t line = 0);
  void WriteLines(RawStringList& lines, int32_t indent) const;
  void ReplaceText(const RawString& pattern, const RawString& replacement, JobReplace which = JobReplace::First);
  // Every unit's summary, in order.
  void AppendSummary(RawString& text) const;

  // The first unit of either kind whose name equals name exactly, or null.
  const JobParamUnit* Find(const RawString& name) const;
  // The parameter's value as written: the first such unit's value when it is a text unit,
  // else the empty text.
  RawString GetValue(const RawString& name) const;

 private:
  void Append(std::unique_ptr<JobParamUnit> unit);
};

class JobParamText : public JobParamUnit {
 public:
  JobParamText(const RawString& unitName, const RawString& unitValue) : JobParamUnit(unitName), value(unitValue) {}

  int Kind() const override { return kText; }
  std::unique_ptr<JobParamUnit> Clone() const override;
  void WriteLines(RawStringList& lines, int32_t indent) const override;
  void ReplaceText(const RawString& pattern, const RawString& replacement, JobReplace which) override;
  void AppendSummary(RawString& text) const override;

  RawString value;
};

class JobParamCommand : public JobParamUnit {
 public:
  JobParamCommand(const RawString& unitName, const JobParamList& block) : JobParamUnit(unitName), params(block) {}

  int Kind() const override { return kCommand; }
  std::unique_ptr<JobParamUnit> Clone() const override;
  void WriteLines(RawStringList& lines, int32_t indent) const override;
  void ReplaceText(const RawString& pattern, const RawString& replacement, JobReplace which) override;
  void AppendSummary(RawString& text) const override;

  JobParamList params;
};

// A parameter's value (the plain lookup) expanded for use, with the expansion's state recorded
// as the variable list's last state. False when the expansion failed: the expander has reported
// it and the command stops.
[[nodiscard]] bool ExpandParameter(const JobParamList& params, const RawString& name, const JobTraceId& caller,
                                   RawString& text);
// A parameter a command cannot do without, expanded. Not written, written empty or naming a
// command unit: "RequiredParameterIsMissing" (the command and the parameter); expanded to
// nothing: "RequiredParameterIsEmpty" (with the value as written). The result is then empty, as
// it is when the expansion failed; a caller given the empty text returns false and says no more.
RawString GetRequiredParameter(const JobParamList& params, const RawString& name, const RawString& command,
                               const JobTraceId& caller);

// Runs a parameter list as commands; the command registry is the implementation.
class JobParamExecutor {
 public:
  virtual ~JobParamExecutor() = default;
  [[nodiscard]] virtual bool Execute(const JobParamList& params, const JobTraceId& caller) = 0;
};

}  // namespace JobLayer
