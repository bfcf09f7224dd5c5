// The launcher profile: buttons, selectors, named actions and the initialisation script, read by
// the profile's own line reader into one process-wide model, and the buttons' or selectors'
// sections written back into the file by JobDataSaver.
//
// Format, as the reader takes it:
//   - Every line is trimmed of blanks and tabs for the tests; empty lines and lines beginning
//     with "/" (comments) are dropped anywhere, also inside scripts.
//   - A line beginning with "[" starts a new block; lines before the first one form a block too.
//   - A block's first line is its header when it begins with "[" and ends with "]". The header
//     text is matched case-sensitively as a prefix: "Selector:", "Button:", "Action:" (the rest
//     is the name) and "Initialize" (the action "#Initialize"). Anything else, and a block
//     without a header, is ignored without a message.
//   - The rest of the block is the unit's script. Unbalanced braces are reported
//     ("UnbalancedSectionBlocks") and the unit keeps what was parsed; reading goes on.
//   - A button or selector named "*" is the list's default unit (the last one wins); one named
//     "-" is a separator.
#pragma once

#include <cstdint>
#include <memory>

#include "job/param.h"
#include "job/trace.h"
#include "raw/line_file.h"
#include "raw/list.h"
#include "raw/string.h"

namespace JobLayer {

using RawLayer::RawLineFile;
using RawLayer::RawListAllocator;
using RawLayer::RawListR;
using RawLayer::RawListSortR;

// Splits a profile into its blocks, as the model's reader takes them: trimmed lines, comment and
// empty lines dropped, a new block at every line beginning with "[". Each block goes to Block
// with its first line (the header when it is one) and the lines after it.
class JobProfileBlocks {
 public:
  virtual ~JobProfileBlocks() = default;
  // Reads the open file to its end or its first error (see the file's state afterwards).
  void Read(RawLineFile& file);

 protected:
  virtual void Block(const RawLayer::RawRangedTextUnit& first, const RawLayer::RawRangedTextList& rest) = 0;

 private:
  void Finish();
  RawLayer::RawRangedTextList block_;
};

// The text between the brackets of a header line; false when the line is no header.
bool ProfileHeaderText(const RawLayer::RawRangedTextUnit& line, RawString& inner);

// Writes the sections of one kind back into the profile, keeping every other line of the file.
class JobDataSaver {
 public:
  class Caller {
   public:
    virtual ~Caller() = default;
    // Writes all sections of the caller's kind to the open file; false when a write failed.
    virtual bool WriteSections(RawLineFile& file) = 0;
  };

  JobDataSaver(Caller& caller, const RawString& prefix) : caller_(caller), prefix_(prefix) {}
  // Rewrites the profile at path through a ".tmp" file swapped into place. Refuses (false, the
  // file untouched) when the profile could not be read to its end, when a text cannot be written
  // in the file's code, or when the temporary file cannot be made or swapped in.
  [[nodiscard]] bool Save(const RawString& path);

 private:
  Caller& caller_;
  RawString prefix_;
};

struct JobButtonUnit {
  static constexpr uint16_t kSeparator = 0x0001;
  static constexpr uint16_t kHidden = 0x0002;
  static constexpr uint16_t kHasIcon = 0x0004;
  static constexpr uint16_t kShowCaption = 0x0008;
  static constexpr uint16_t kDropRun = 0x0010;

  uint16_t flags = 0;
  RawString name;
  RawString caption;
  JobParamList params;
  int32_t iconEntry = -1;
  RawString tipText;
  int32_t placement[6] = {};
};

struct JobSelectorUnit {
  static constexpr uint16_t kSeparator = 0x0001;

  uint16_t flags = 0;
  RawString name;
  RawString caption;
  int32_t values[2] = {};
  JobParamList params;
};

struct JobActionUnit {
  RawString name;
  JobParamList params;
};

class JobButtonListAllocator : public RawListAllocator<JobButtonUnit> {};
class JobSelectorListAllocator : public RawListAllocator<JobSelectorUnit> {};
class JobActionListAllocator : public RawListAllocator<JobActionUnit> {};

class JobButtonList : public RawListR<JobButtonListAllocator, JobButtonUnit>, public JobDataSaver::Caller {
 public:
  // Sets up every button (caption, flags, icon, tip) under the log context "SetupButtons".
  void SetupButtons();
  void SetupButton(JobButtonUnit& button, const JobTraceId& context);
  // Makes a button from dropped text, sets it up and inserts it before index (appends when the
  // index is negative or past the end). Returns the new unit.
  JobButtonUnit& CreateFromDrop(int32_t index, const RawString& text, const JobTraceId& context);
  bool WriteSections(RawLineFile& file) override;

  JobButtonUnit* At(int32_t index) const;  // null when out of range
  JobButtonUnit* Find(const RawString& name) const;
  const JobButtonUnit* Default() const { return default_.get(); }
  void SetDefault(std::unique_ptr<JobButtonUnit> unit) { default_ = std::move(unit); }

 private:
  std::unique_ptr<JobButtonUnit> default_;
};

class JobSelectorList : public RawListR<JobSelectorListAllocator, JobSelectorUnit>,
                        public JobDataSaver::Caller {
 public:
  void SetupSelectors();
  void SetupSelector(JobSelectorUnit& selector, const JobTraceId& context);
  JobSelectorUnit& CreateFromDrop(int32_t index, const RawString& text, const JobTraceId& context);
  bool WriteSections(RawLineFile& file) override;

  JobSelectorUnit* At(int32_t index) const;
  JobSelectorUnit* Find(const RawString& name) const;
  const JobSelectorUnit* Default() const { return default_.get(); }
  void SetDefault(std::unique_ptr<JobSelectorUnit> unit) { default_ = std::move(unit); }

  int32_t values[2] = {};  // the selector box's own

 private:
  std::unique_ptr<JobSelectorUnit> default_;
};

class JobActionList : public RawListR<JobActionListAllocator, JobActionUnit> {
 public:
  // The first action whose name equals name exactly, or null.
  const JobActionUnit* Find(const RawString& name) const;
};

// Selectors by name: ASCII letters folded to upper case, other characters by code, a prefix
// before the longer name.
class JobSelectorListSort : public RawListSortR<JobSelectorUnit> {
 public:
  int Compare(const JobSelectorUnit& a, const JobSelectorUnit& b) const override;
};

class JobProfileModel {
 public:
  static JobProfileModel& Instance();

  // Reads the profile into the three lists, then sets "ExitCode" to "0" and "Missing" to the
  // empty text whether or not the file could be opened. False when it could not be opened (the
  // lists then keep what they held).
  bool Load(const RawString& path);
  const RawString& Path() const { return path_; }

  // Writes the buttons' or the selectors' sections back into the profile.
  [[nodiscard]] bool SaveButtons();
  [[nodiscard]] bool SaveSelectors();

  // Empties the lists (tests, and a profile read afresh).
  void Clear();

  JobSelectorList selectors;
  JobButtonList buttons;
  JobActionList actions;

 private:
  JobProfileModel() = default;
  RawString path_;
};

}  // namespace JobLayer
