#include "job/functions.h"

namespace JobLayer {

JobVariableUnit** VariableFunctionTable(int32_t& count) {
  static JobVariableNot fNot;
  static JobVariableIsEqual fIsEqual;
  static JobVariableIsEqualNoCase fIsEqualNoCase;
  static JobVariableIsSmall fIsSmall;
  static JobVariableIsLarge fIsLarge;
  static JobVariableIsSmallEqual fIsSmallEqual;
  static JobVariableIsLargeEqual fIsLargeEqual;
  static JobVariableIsNumberEqual fIsNumberEqual;
  static JobVariableIsNumberNotEqual fIsNumberNotEqual;
  static JobVariableLogicAnd fLogicAnd;
  static JobVariableLogicOr fLogicOr;
  static JobVariableCalc fCalc;
  static JobVariableLength fLength;
  static JobVariableBody fBody;
  static JobVariableBodyEx fBodyEx;
  static JobVariableBaseFolder fBaseFolder;
  static JobVariableExtension fExtension;
  static JobVariableBefore fBefore;
  static JobVariableAfter fAfter;
  static JobVariableCode fCode;
  static JobVariableIsMissing fIsMissing;
  static JobVariablePath fPath;
  static JobVariableIsFile fIsFile;
  static JobVariableIsFolder fIsFolder;
  static JobVariableIsProcess fIsProcess;
  static JobVariableIsWindow fIsWindow;
  static JobVariableFile fFile;
  static JobVariableFileCount fFileCount;
  static JobVariableFolder fFolder;
  static JobVariableFolderCount fFolderCount;
  static JobVariableProcess fProcess;
  static JobVariableWindow fWindow;
  static JobVariableIsDefined fIsDefined;
  static JobVariableCond fCond;
  static JobVariableCondDef fCondDef;
  static JobVariableIsKey fIsKey;
  static JobVariableStripQuote fStripQuote;
  static JobVariableReplace fReplace;
  static JobVariableClipboard fClipboard;
  static JobVariableUnit* table[] = {
      &fNot,
      &fIsEqual,
      &fIsEqualNoCase,
      &fIsSmall,
      &fIsLarge,
      &fIsSmallEqual,
      &fIsLargeEqual,
      &fIsNumberEqual,
      &fIsNumberNotEqual,
      &fLogicAnd,
      &fLogicOr,
      &fCalc,
      &fLength,
      &fBody,
      &fBodyEx,
      &fBaseFolder,
      &fExtension,
      &fBefore,
      &fAfter,
      &fCode,
      &fIsMissing,
      &fPath,
      &fIsFile,
      &fIsFolder,
      &fIsProcess,
      &fIsWindow,
      &fFile,
      &fFileCount,
      &fFolder,
      &fFolderCount,
      &fProcess,
      &fWindow,
      &fIsDefined,
      &fCond,
      &fCondDef,
      &fIsKey,
      &fStripQuote,
      &fReplace,
      &fClipboard,
  };
  count = static_cast<int32_t>(sizeof table / sizeof table[0]);
  return table;
}

void SetTextResult(JobVariableResult& result, const RawString& text) {
  result.state = VariableSuccess;
  result.text = text;
}

void SetBoolResult(JobVariableResult& result, bool value) { SetTextResult(result, BoolText(value)); }

void SetNumberResult(JobVariableResult& result, int64_t value) {
  result.state = VariableSuccess;
  result.text.Clear();
  result.text.AppendInteger(value);
}

void SetMissingResult(JobVariableResult& result, JobVariableArgument& argument) {
  // Resolved like any reference, so the log shows where the text came from.
  JobVariableResult missing;
  argument.GetExpander().Expand(missing, "$(Missing)");
  SetTextResult(result, missing.text);
}

bool ArgumentFailed(JobVariableResult& result, const JobVariableArgument& argument) {
  if (!argument.Failed()) return false;
  result.state = argument.ErrorState();
  result.text.Clear();
  return true;
}

}  // namespace JobLayer
