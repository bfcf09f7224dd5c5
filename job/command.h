// The command registry: one object per script command, looked up by its exact word, and the
// running of parameter lists command by command with a traced scope per command.
#pragma once

#include <cstdint>
#include <memory>

#include "job/param.h"
#include "job/trace.h"
#include "raw/list.h"
#include "raw/string.h"

namespace JobLayer {

class JobCommandList;

// One script command. Commands keep no state of a run, so one object serves every run.
class JobCommandUnit {
 public:
  explicit JobCommandUnit(const RawString& word) : name(word) {}
  virtual ~JobCommandUnit() = default;
  JobCommandUnit(const JobCommandUnit&) = delete;
  JobCommandUnit& operator=(const JobCommandUnit&) = delete;

  // params: the command's block; caller: this command's own trace identity. True goes on with
  // the next command, false stops the list (after the command has reported why).
  [[nodiscard]] virtual bool Execute(const JobParamList& params, const JobTraceId& caller) = 0;

  RawString name;
};

// The base of every concrete command: it reaches the registry's run flags and its Execute (for
// nested blocks) through owner.
class JobCommandUnitEx : public JobCommandUnit {
 public:
  JobCommandUnitEx(const RawString& word, JobCommandList& list) : JobCommandUnit(word), owner(&list) {}

  JobCommandList* owner;
};

class JobCommandListAllocator : public RawLayer::RawListAllocator<std::unique_ptr<JobCommandUnit>> {};

class JobCommandList : public RawLayer::RawListR<JobCommandListAllocator, std::unique_ptr<JobCommandUnit>>,
                       public JobParamExecutor {
 public:
  // Run flags; they persist from one run to the next.
  static constexpr uint16_t kBreakRequested = 0x0001;  // set by Break, taken by the innermost loop
  static constexpr uint16_t kElsePending = 0x0002;     // the last If found its condition false

  // The process-wide registry, created and filled on first use.
  static JobCommandList& Instance();

  // An empty registry (the process-wide one is filled by Instance; tests fill their own).
  JobCommandList() = default;

  // Runs the command units of params in order (text units are skipped); stops at the first
  // command that returns false. An empty list succeeds.
  [[nodiscard]] bool Execute(const JobParamList& params, const JobTraceId& caller) override;
  // Runs one command by its word inside a traced command scope; an unknown word reports
  // "NoSuchCommand" and fails.
  [[nodiscard]] bool ExecuteCommand(const RawString& name, const JobParamList& params, const JobTraceId& caller);
  // The first command whose word equals name exactly, or null.
  JobCommandUnit* Find(const RawString& name) const;

  // Appends a command; lookup takes the first of equal words, so order matters.
  void Register(std::unique_ptr<JobCommandUnit> command) { Add(std::move(command)); }
  template <class Command>
  void Register() {
    Register(std::make_unique<Command>(*this));
  }

  uint16_t flags = 0;

 private:
  void RegisterScriptCommands();
};

}  // namespace JobLayer
