#include "job/error.h"

#include "job/log.h"
#include "job/screen.h"
#include "raw/locale.h"

namespace JobLayer {

namespace {

// The defaults of the script messages, in the message table's section "ToolMessage" (the section
// name that language files use); a language file may replace any.
constexpr RawLayer::RawLocaleRecord kScriptMessages[] = {
    {"RequiredParameterIsMissing", "Required parameter is missing !"},
    {"RequiredParameterIsEmpty", "Required parameter is empty !"},
    {"UnexpectedParameter", "Unexpected parameter !"},
    {"UserAborted", "User aborted !"},
    {"NoSuchDefinedAction", "No such defined action !"},
    {"MissingTargetWindow", "Missing target window !"},
    {"OutOfMenuScope", "Out of menu scope !"},
    {"NoSuchCommand", "No such command !"},
    {"UnbalancedSectionBlocks", "Unbalanced section blocks !"},
    {"NoSuchDefinedName", "No such defined name !"},
    {"UnbalancedVariableBlock", "Unbalanced variable block !"},
    {"TooFewVariableArguments", "Too few variable arguments !"},
    {"IncorrectNumberFormat", "Incorrect number format !"},
    {"OutOfRangeNumber", "Number is out of range !"},
    {"TooManyVariableExpansions", "Too many variable expansions !"},
    {"VariableNameIsMissing", "Variable name is missing !"},
    {"InvalidVariableArgument", "Invalid variable argument !"},
    {"ActionNestingTooDeep", "Too deeply nested action calls !"},
    {"", nullptr},
};

const RawString& ScriptMessageSection() {
  static const RawString section("ToolMessage");
  return section;
}

// Registering again is a no-op for the table, and keeps the defaults present after the table was
// reset (a language reloaded from scratch).
void RegisterScriptMessages() {
  RawLayer::RawLocaleRecordList::Instance().Register(ScriptMessageSection(), kScriptMessages);
}

thread_local int32_t t_errorLine = 0;

void AddLine(JobScriptError& error) {
  if (t_errorLine <= 0) return;
  RawString number;
  number.AppendInteger(t_errorLine);
  error.Add("[line]", number);
}

}  // namespace

JobErrorLine::JobErrorLine(int32_t line) : previous_(t_errorLine) { t_errorLine = line; }

JobErrorLine::~JobErrorLine() { t_errorLine = previous_; }

int32_t JobErrorLine::Current() { return t_errorLine; }

void JobScriptError::Add(const RawString& label, const RawString& value) {
  if (value.IsEmpty() || count >= kMaxPairs) return;
  labels[count] = label;
  values[count] = value;
  ++count;
}

RawString ScriptErrorMessage(const JobScriptError& error) {
  RegisterScriptMessages();
  // The table resolves the escapes \n, \t and \s of a stored text; an identifier it does not
  // know shows as itself.
  RawString message(RawLayer::CodeUtf8, RawLayer::RawLocaleRecordList::Instance().Text(ScriptMessageSection(), error.id, error.id));
  for (int32_t i = 0; i < error.count; ++i) {
    message.AppendAll("\r\n  ", error.labels[i], " ", error.values[i]);
  }
  return message;
}

void ReportScriptError(const JobScriptError& error) {
  RawString pairs;
  for (int32_t i = 0; i < error.count; ++i) pairs.AppendAll(" ", error.labels[i], " ", error.values[i]);
  JobLogServer::Instance().Queue(LogEventRecord("Error", error.id, RawString(), "$ ", pairs));
  Screen().ShowError(ScriptErrorMessage(error));
}

void ReportCommandError(const RawString& id, const RawString& command, const RawString& parameter,
                        const RawString& value) {
  JobScriptError error;
  error.id = id;
  error.Add("[command]", command);
  error.Add("[parameter]", parameter);
  error.Add("[value]", value);
  AddLine(error);
  ReportScriptError(error);
}

void ReportVariableError(const RawString& id, const RawString& variable, const RawString& value,
                         const RawString& script) {
  JobScriptError error;
  error.id = id;
  error.Add("[variable]", variable);
  error.Add("[value]", value);
  error.Add("[script]", script);
  AddLine(error);
  ReportScriptError(error);
}

}  // namespace JobLayer
