// Variables and their expansion. A text may hold references: "$(" + a name, optionally arguments
// each introduced by ":", and ")". Expanding a text replaces every reference by the value of the
// variable, or the result of the variable function, that it names. Variables and functions live
// in one process-wide list; the functions come first, in their registration order, so a user
// variable can never hide one.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "job/trace.h"
#include "raw/list.h"
#include "raw/string.h"
#include "raw/string_list.h"

namespace JobLayer {

using RawLayer::RawString;
using RawLayer::RawStringList;

// Result states of an expansion (32-bit; the log shows their names).
enum JobVariableState : int32_t {
  VariableSuccess = 0,   // expanded (also when a reference resolved to nothing)
  VariableOverflow = 1,  // too many substitutions; the text is empty
  VariableInvalid = 2,   // a syntax or argument error; the text is what had been expanded so far
  VariableUnknown = 3,   // (one reference) no variable or function has that name
  VariableExpanded = 4,  // internal: one substitution was made, scan again
};
// "Success", "Overflow", "Invalid", "Unknown", "Expanded"; "Unknown" for any other value.
RawString VariableStateName(int32_t state);

// The reference syntax, shared by the expander and the profile checker. FindVariableReference
// gives the leftmost "$(" at or after `from` (the length when there is none); `before` receives
// the start of the character before it (a later scan resumes there, since a substitution can only
// make a new "$(" with the character just before it). SplitVariableReference splits the reference
// at `start` into its segments (the name, then the arguments, split at every ":" outside a nested
// reference) and gives the position after its ")", or -1 when the text ends first; `nameEnd` is
// where the name segment ends in either case.
int32_t FindVariableReference(const RawString& text, int32_t from, int32_t& before);
int32_t SplitVariableReference(const RawString& text, int32_t start, RawStringList& segments, int32_t& nameEnd);

struct JobVariableResult {
  int32_t state = VariableSuccess;
  RawString text;
  // A secret variable was resolved on the way, so the text may hold or reveal a secret.
  bool secret = false;
};

// The most substitutions one expansion makes: the 100th is an error.
inline constexpr int32_t kMaxVariableSubstitutions = 100;
// The deepest nesting of expansions inside expansions (a name or an argument built of
// references). Deeper nesting is reported as too many expansions and leaves the text as written,
// so that no text can exhaust the stack.
inline constexpr int32_t kMaxVariableNesting = 100;

// What a function receives: the reference split into segments and the way to expand them.
class JobVariableArgument {
 public:
  class Expander {
   public:
    virtual ~Expander() = default;
    virtual void Expand(JobVariableResult& result, const RawString& text) = 0;
    // True once the expansion as a whole has been stopped (nesting too deep): an argument
    // fetched after that counts as failed.
    virtual bool Stopped() const { return false; }
    // True when a variable or function of that name exists.
    virtual bool IsDefined(const RawString& name) = 0;
  };

  // Flags of GetText and GetNumber.
  static constexpr uint32_t kRaw = 0x1;          // take the segment as written
  static constexpr uint32_t kOptional = 0x2;     // a missing segment is empty without an error
  static constexpr uint32_t kNotNegative = 0x4;  // GetNumber: a negative number is an error

  // `segments`: segment 0 the name as written, then the arguments as written. `name` is the
  // name after expansion (what errors show). `text` is the whole text being expanded, and
  // [start, end) the reference in it, from its "$" to after its ")".
  JobVariableArgument(Expander& expander, const RawStringList& segments, const RawString& name,
                      const RawString& text, int32_t start, int32_t end);

  // Segment `index` (1 = the first argument), expanded unless kRaw; the nested expansion's own
  // state is not passed on. A missing required segment reports TooFewVariableArguments, sets the
  // error state and gives the empty text.
  RawString GetText(int32_t index, uint32_t flags = 0);
  // GetText parsed as a number (ParseVariableNumber). Not a number: IncorrectNumberFormat; with
  // kNotNegative a negative number: OutOfRangeNumber. Either sets the error state and gives 0.
  int64_t GetNumber(int32_t index, uint32_t flags = 0);
  // Reports InvalidVariableArgument for an argument's value and sets the error state.
  void RejectValue(const RawString& value);

  // The number of arguments (segments after the name).
  int32_t ArgumentCount() const { return static_cast<int32_t>(segmentAt_.size()) - 1; }
  int32_t ErrorState() const { return errorState_; }
  bool Failed() const { return errorState_ != VariableSuccess; }
  const RawString& Name() const { return name_; }
  // The reference as written, from its "$" to its ")".
  RawString Reference() const { return text_.Sub({start_, end_}); }
  Expander& GetExpander() const { return *expander_; }
  void SetExpander(Expander& expander) { expander_ = &expander; }

 private:
  const RawString* Segment(int32_t index) const;

  Expander* expander_;
  int32_t errorState_ = VariableSuccess;
  RawStringList segments_;
  // The segments by index, so that a function that walks thousands of arguments takes each in
  // constant time; they point into the list's body, which every copy of the list shares.
  std::vector<const RawString*> segmentAt_;
  RawString name_;
  RawString text_;
  int32_t start_;
  int32_t end_;
};

// Argument numbers: optional "+" or "-", then "0x" (hexadecimal) or "0b" (binary), else decimal;
// letters count 10 to 35 and must be below the base; nothing else is allowed. The empty text is
// 0. Accumulated in 64 bits with wrap-around.
[[nodiscard]] bool ParseVariableNumber(const RawString& text, int64_t& value);
// A text value is true when it is not empty and is not "False" in any letter case.
bool IsTrueText(const RawString& text);
// "True" or "False".
const RawString& BoolText(bool value);

class JobVariableList;

// One variable, and the base of every variable function.
class JobVariableUnit {
 public:
  static constexpr uint16_t kUserVariable = 0x0001;  // made by an assignment
  static constexpr uint16_t kAssigned = 0x0002;      // a value has been assigned
  static constexpr uint16_t kSecret = 0x0004;        // holds a secret: the log shows "***"

  JobVariableUnit(const RawString& name, uint16_t flags);
  virtual ~JobVariableUnit() = default;
  JobVariableUnit(const JobVariableUnit&) = delete;
  JobVariableUnit& operator=(const JobVariableUnit&) = delete;

  // A plain variable gives "Success" and its value; every function overrides this.
  virtual void Evaluate(JobVariableResult& result, JobVariableArgument& argument);

  const RawString& Name() const { return name_; }
  // Without the list's lock: for a unit that no other thread assigns (JobVariableList::FlagsOf
  // reads under the lock).
  uint16_t Flags() const { return flags_; }

 private:
  friend class JobVariableList;
  uint16_t flags_;
  const RawString name_;  // UTF-8; never changes, so the list's index can point into it
  RawString value_;
  RawString saved_;  // the value kept while an isolated run may change it
};

class JobVariableListAllocator : public RawLayer::RawListAllocator<JobVariableUnit> {};

// The process-wide list. Its chain holds the user variables (and any unit made by Set); the
// function objects are static, are not owned by the allocator, and stand before every chain
// unit in lookup order. An index from name to unit keeps lookups independent of the number of
// variables while giving the same unit as a walk from the head.
class JobVariableList : public RawLayer::RawListR<JobVariableListAllocator, JobVariableUnit> {
 public:
  // The one list, created on first use with the functions registered.
  static JobVariableList& Instance();

  // Assigns: finds the unit with that exact name or appends a user variable, stores the value
  // and marks it assigned. A function's name only stores a value that the function never reads.
  // A value that holds a registered secret (JobSecrets) makes the variable secret; once secret,
  // a variable stays so.
  void Set(const RawString& name, const RawString& value);
  // Assigns a secret: registers the value with JobSecrets and marks the variable secret.
  void SetSecret(const RawString& name, const RawString& value);
  // The first unit whose name equals `name` exactly, or null.
  JobVariableUnit* Find(const RawString& name) const;
  // A unit's value (a copy of its shared text), read under the lock.
  RawString Value(const JobVariableUnit& unit) const;
  // The value of the variable of that name; empty when there is none.
  RawString ValueOf(const RawString& name) const;
  // The unit's flags, read under the lock.
  uint16_t FlagsOf(const JobVariableUnit& unit) const;

  // Isolation of a run: SaveAll copies every unit's value aside; RestoreAll puts the copies
  // back and marks every unit assigned. Units made in between keep their place and get the
  // empty text they had when the values were saved.
  void SaveAll();
  void RestoreAll();

  // The state of the last expansion that a caller recorded (0 at start).
  void SetLastState(int32_t state);
  int32_t LastState() const;

  // The number of functions and chain units (for tests and diagnostics).
  int32_t UnitCount() const;

  JobVariableList(const JobVariableList&) = delete;
  JobVariableList& operator=(const JobVariableList&) = delete;

 private:
  JobVariableList();
  JobVariableUnit* FindLocked(const RawString& name) const;

  mutable std::mutex lock_;
  int32_t lastState_ = VariableSuccess;
  JobVariableUnit** functions_ = nullptr;  // the registered function objects, in order
  int32_t functionCount_ = 0;
  std::unordered_map<std::string_view, JobVariableUnit*> index_;
};

// Expands texts against a list within a log context: each resolution is a traced "Variable"
// step under that context.
class JobVariableExpander : public JobVariableArgument::Expander {
 public:
  JobVariableExpander(JobVariableList& list, const JobTraceId& context);
  ~JobVariableExpander() override;

  void Expand(JobVariableResult& result, const RawString& text) override;
  bool Stopped() const override;
  // True once this expansion, or one nested in it, resolved a secret variable.
  bool SecretSeen() const;
  // Resolves one reference: traces it, finds the name and evaluates the unit with an expander
  // bound to the new step. An unknown name gives "Unknown" and the empty text.
  virtual void Resolve(JobVariableResult& result, const RawString& name, JobVariableArgument& argument);
  bool IsDefined(const RawString& name) override;

  JobVariableList& List() const { return list_; }

 private:
  struct Nesting;
  JobVariableExpander(JobVariableList& list, const JobTraceId& context, Nesting& nesting);

  JobVariableList& list_;
  JobTraceId context_;
  std::unique_ptr<Nesting> own_;  // set on the outermost expander only
  Nesting* nesting_;              // shared by the outermost expander and every nested one
};

// Expands `text` with the process-wide list under the caller's log context.
JobVariableResult ExpandVariables(const RawString& text, const JobTraceId& caller);
// The same, and records the state as the list's last expansion state.
JobVariableResult ExpandAndRecord(const RawString& text, const JobTraceId& caller);

}  // namespace JobLayer
