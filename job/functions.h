// The variable functions: units of the variable list that compute their result from the
// reference's arguments instead of giving a stored value. One static object of each is registered
// when the list is made, in the order of VariableFunctionTable.
//
// Families: comparisons, logic, conditions and names (function_logic.cpp); text and arithmetic
// (function_text.cpp, with the expression language in calc.h); path parts, system folders, files
// and folders (function_path.cpp); processes, windows and the clipboard (function_system.cpp).
#pragma once

#include <cstdint>

#include "job/variable.h"

namespace JobLayer {

// The function objects in registration order; `count` receives their number.
JobVariableUnit** VariableFunctionTable(int32_t& count);

// The profile that the launcher runs, which "$(Path:ConfigFile)" gives. The launcher sets it when
// it has chosen its configuration file; until then it is empty.
void SetConfigFilePath(const RawString& path);
RawString ConfigFilePath();

// Functions that give the value of the variable "Missing" when nothing is found, and the
// result texts they share.
void SetMissingResult(JobVariableResult& result, JobVariableArgument& argument);
void SetTextResult(JobVariableResult& result, const RawString& text);
void SetBoolResult(JobVariableResult& result, bool value);
void SetNumberResult(JobVariableResult& result, int64_t value);
// Gives the argument's error state and the empty text; true when an argument failed.
[[nodiscard]] bool ArgumentFailed(JobVariableResult& result, const JobVariableArgument& argument);

class JobVariableNot final : public JobVariableUnit {
 public:
  JobVariableNot() : JobVariableUnit("Not", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableIsEqual final : public JobVariableUnit {
 public:
  JobVariableIsEqual() : JobVariableUnit("Equal", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableIsEqualNoCase final : public JobVariableUnit {
 public:
  JobVariableIsEqualNoCase() : JobVariableUnit("EqualNoCase", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableIsSmall final : public JobVariableUnit {
 public:
  JobVariableIsSmall() : JobVariableUnit("<", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableIsLarge final : public JobVariableUnit {
 public:
  JobVariableIsLarge() : JobVariableUnit(">", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableIsSmallEqual final : public JobVariableUnit {
 public:
  JobVariableIsSmallEqual() : JobVariableUnit("<=", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableIsLargeEqual final : public JobVariableUnit {
 public:
  JobVariableIsLargeEqual() : JobVariableUnit(">=", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableIsNumberEqual final : public JobVariableUnit {
 public:
  JobVariableIsNumberEqual() : JobVariableUnit("==", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableIsNumberNotEqual final : public JobVariableUnit {
 public:
  JobVariableIsNumberNotEqual() : JobVariableUnit("!=", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableLogicAnd final : public JobVariableUnit {
 public:
  JobVariableLogicAnd() : JobVariableUnit("&&", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableLogicOr final : public JobVariableUnit {
 public:
  JobVariableLogicOr() : JobVariableUnit("||", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableCalc final : public JobVariableUnit {
 public:
  JobVariableCalc() : JobVariableUnit("Calc", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableLength final : public JobVariableUnit {
 public:
  JobVariableLength() : JobVariableUnit("Length", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableBody final : public JobVariableUnit {
 public:
  JobVariableBody() : JobVariableUnit("Body", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableBodyEx final : public JobVariableUnit {
 public:
  JobVariableBodyEx() : JobVariableUnit("BodyEx", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableBaseFolder final : public JobVariableUnit {
 public:
  JobVariableBaseFolder() : JobVariableUnit("Base", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableExtension final : public JobVariableUnit {
 public:
  JobVariableExtension() : JobVariableUnit("Extension", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableBefore final : public JobVariableUnit {
 public:
  JobVariableBefore() : JobVariableUnit("Before", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableAfter final : public JobVariableUnit {
 public:
  JobVariableAfter() : JobVariableUnit("After", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableCode final : public JobVariableUnit {
 public:
  JobVariableCode() : JobVariableUnit("Code", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableIsMissing final : public JobVariableUnit {
 public:
  JobVariableIsMissing() : JobVariableUnit("IsMissing", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariablePath final : public JobVariableUnit {
 public:
  JobVariablePath() : JobVariableUnit("Path", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableIsFile final : public JobVariableUnit {
 public:
  JobVariableIsFile() : JobVariableUnit("IsFile", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableIsFolder final : public JobVariableUnit {
 public:
  JobVariableIsFolder() : JobVariableUnit("IsFolder", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableIsProcess final : public JobVariableUnit {
 public:
  JobVariableIsProcess() : JobVariableUnit("IsProcess", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableIsWindow final : public JobVariableUnit {
 public:
  JobVariableIsWindow() : JobVariableUnit("IsWindow", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableFile final : public JobVariableUnit {
 public:
  JobVariableFile() : JobVariableUnit("File", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableFileCount final : public JobVariableUnit {
 public:
  JobVariableFileCount() : JobVariableUnit("FileCount", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableFolder final : public JobVariableUnit {
 public:
  JobVariableFolder() : JobVariableUnit("Folder", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableFolderCount final : public JobVariableUnit {
 public:
  JobVariableFolderCount() : JobVariableUnit("FolderCount", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableProcess final : public JobVariableUnit {
 public:
  JobVariableProcess() : JobVariableUnit("Process", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableWindow final : public JobVariableUnit {
 public:
  JobVariableWindow() : JobVariableUnit("Window", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableIsDefined final : public JobVariableUnit {
 public:
  JobVariableIsDefined() : JobVariableUnit("IsDefined", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableCond final : public JobVariableUnit {
 public:
  JobVariableCond() : JobVariableUnit("Cond", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableCondDef final : public JobVariableUnit {
 public:
  JobVariableCondDef() : JobVariableUnit("CondDef", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableIsKey final : public JobVariableUnit {
 public:
  JobVariableIsKey() : JobVariableUnit("IsKey", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableStripQuote final : public JobVariableUnit {
 public:
  JobVariableStripQuote() : JobVariableUnit("StripQuote", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableReplace final : public JobVariableUnit {
 public:
  JobVariableReplace() : JobVariableUnit("Replace", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

class JobVariableClipboard final : public JobVariableUnit {
 public:
  JobVariableClipboard() : JobVariableUnit("Clipboard", 0) {}
  void Evaluate(JobVariableResult& result, JobVariableArgument& argument) override;
};

}  // namespace JobLayer
