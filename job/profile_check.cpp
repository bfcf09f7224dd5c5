#include "job/profile_check.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_set>

#include "job/command.h"
#include "job/hotkey.h"
#include "job/param.h"
#include "job/profile_model.h"
#include "job/variable.h"
#include "raw/line_file.h"
#include "raw/path.h"

namespace JobLayer {

using RawLayer::JoinedUtf8;
using RawLayer::RawLineFile;
using RawLayer::RawRangedTextUnit;
using RawLayer::RawStringList;

namespace {

// What a command's block holds besides its parameters.
enum class Body {
  None,    // parameters only: a command line in it is never run
  Script,  // commands run in place (If, loops, ...): inside a menu they add to the menu
  Chosen,  // commands run once the menu is closed and this entry was chosen (MenuItem)
  Menu,    // commands run while a menu is built (MenuItem and Separator belong here)
  Free,    // parameters of any name (Define, Pickup, ...): nothing to say about names
};

struct CommandRule {
  const char* word;
  Body body;
  // Parameters the command cannot do without; when `eitherOf` is given, it may stand in for
  // the first of them.
  std::initializer_list<const char*> required;
  const char* eitherOf;
  // Every parameter it reads (null: any name may be a parameter).
  std::initializer_list<const char*> known;
  bool anyName = false;
};

const CommandRule kCommandRules[] = {
    {"Define", Body::Free, {}, nullptr, {}, true},
    {"Expand", Body::Script, {}, nullptr, {}, true},
    {"Action", Body::Free, {"Name"}, nullptr, {}, true},
    {"Menu", Body::Menu, {}, nullptr, {"Title", "IconFile", "IconIndex"}},
    {"MenuItem", Body::Chosen, {}, nullptr, {"Title", "IconFile", "IconIndex"}},
    {"Separator", Body::None, {}, nullptr, {}},
    {"PickupMenu", Body::Free, {}, nullptr, {}, true},
    {"Shell", Body::None, {"Command"}, "Parameter",
     {"Command", "Parameter", "Directory", "ShowStatus", "Verb", "Wait", "Timeout"}},
    {"OpenFolder", Body::None, {"Parameter"}, nullptr, {"Parameter"}},
    {"OpenFile", Body::None, {"Parameter"}, nullptr, {"Parameter"}},
    {"Pickup", Body::Free, {"Parameter"}, nullptr, {}, true},
    {"AskMessage", Body::None, {"Parameter"}, nullptr, {"Parameter", "Button", "AbortBy"}},
    {"PutMessage", Body::None, {"Parameter"}, nullptr, {"Parameter"}},
    {"InputText", Body::None, {"0:Variable"}, nullptr, {"Parameter", "NotAbort"}},
    {"If", Body::Script, {"Condition"}, nullptr, {"Condition"}},
    {"Else", Body::Script, {}, nullptr, {}},
    {"While", Body::Script, {"Condition"}, nullptr, {"Condition"}},
    {"For", Body::Script, {"Begin", "End", "Add"}, nullptr, {"Begin", "End", "Add"}},
    {"Foreach", Body::Script, {"Parameter"}, nullptr, {"Parameter"}},
    {"Break", Body::None, {}, nullptr, {}},
    {"ToClipboard", Body::None, {"Parameter"}, nullptr, {"Parameter"}},
    {"PopupWindow", Body::None, {"Parameter"}, nullptr, {"Parameter"}},
    {"QuitLauncher", Body::None, {}, nullptr, {}},
    {"AbortExecution", Body::None, {}, nullptr, {}},
    {"RebootLauncher", Body::None, {}, nullptr, {}},
};

// The field keys of InputText after "N:".
constexpr std::string_view kFieldKeys[] = {"Variable", "Label", "Initial", "Hints", "NoHint", "ReadOnly", "Password"};

// Parameters of a button or selector section itself, outside any command.
const std::unordered_set<std::string> kButtonKeys = {"Title",  "IconFile", "IconIndex", "TipText",
                                                     "Hidden", "DropRun",  "HotKey"};
const std::unordered_set<std::string> kSelectorKeys = {"Title"};

// Variables the launcher sets itself ("APPEND" is the dropped path in a "*" section).
const std::unordered_set<std::string> kLauncherVariables = {"ExitCode", "Missing", "KeyState", "Drop",   "DropList",
                                                            "Counter",  "Each",    "Result",   "Pickup", "APPEND"};

const JobFunctionArity kFunctions[] = {
    {"Not", 1, 1},         {"Equal", 2, 2},     {"EqualNoCase", 2, 2}, {"<", 2, 2},          {">", 2, 2},
    {"<=", 2, 2},          {">=", 2, 2},        {"==", 2, 2},          {"!=", 2, 2},         {"&&", 1, -1},
    {"||", 1, -1},         {"Calc", 1, 1},      {"Length", 1, 1},      {"Body", 1, 1},       {"BodyEx", 1, 1},
    {"Base", 1, 1},        {"Extension", 1, 1}, {"Before", 2, 2},      {"After", 2, 2},      {"Code", 1, 1},
    {"IsMissing", 1, 1},   {"Path", 1, 1},      {"IsFile", 1, 1},      {"IsFolder", 1, 1},   {"IsProcess", 1, 1},
    {"IsWindow", 1, 2},    {"File", 1, 1},      {"FileCount", 1, 1},   {"Folder", 1, 1},     {"FolderCount", 1, 1},
    {"Process", 1, 1},     {"Window", 1, 2},    {"IsDefined", 1, 1},   {"Cond", 3, 3},       {"CondDef", 3, 3},
    {"IsKey", 1, -1},      {"StripQuote", 1, 1}, {"Replace", 3, 3},    {"Clipboard", 0, 0},
};

std::string Utf8(const RawString& text) { return text.Convert(RawLayer::CodeUtf8).ToUtf8(); }

RawString Quoted(const RawString& text) { return JoinedUtf8({"\"", text, "\""}); }

RawString Number(int64_t value) {
  RawString text;
  text.AppendInteger(value);
  return text;
}

const CommandRule* RuleOf(const RawString& word) {
  const std::string name = Utf8(word);
  for (const CommandRule& rule : kCommandRules) {
    if (name == rule.word) return &rule;
  }
  return nullptr;
}

bool Contains(std::initializer_list<const char*> names, const std::string& name) {
  return std::any_of(names.begin(), names.end(), [&](const char* known) { return name == known; });
}

// "N:Key" with a decimal N; the number in `field` and the key in `key`.
bool SplitFieldKey(const std::string& name, int64_t& field, std::string_view& key) {
  const size_t colon = name.find(':');
  if (colon == 0 || colon == std::string::npos || colon > 9) return false;
  field = 0;
  for (size_t i = 0; i < colon; ++i) {
    if (name[i] < '0' || name[i] > '9') return false;
    field = field * 10 + (name[i] - '0');
  }
  key = std::string_view(name).substr(colon + 1);
  return true;
}

// Edit distance with transpositions, on texts short enough to be command words.
int32_t EditDistance(std::string_view a, std::string_view b) {
  const size_t n = a.size();
  const size_t m = b.size();
  std::vector<std::vector<int32_t>> d(n + 1, std::vector<int32_t>(m + 1));
  for (size_t i = 0; i <= n; ++i) d[i][0] = static_cast<int32_t>(i);
  for (size_t j = 0; j <= m; ++j) d[0][j] = static_cast<int32_t>(j);
  for (size_t i = 1; i <= n; ++i) {
    for (size_t j = 1; j <= m; ++j) {
      const int32_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[n][m];
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

// Walks the scripts of one launcher profile after they were read.
class ScriptWalk {
 public:
  ScriptWalk(const RawString& path, JobDiagnostics& out) : path_(path), out_(out) {}

  // Names every script of the profile may use: the actions and the variables it assigns.
  void Learn(const JobParamList& script) {
    for (const JobParamUnit& unit : script) {
      if (unit.Kind() != JobParamUnit::kCommand) continue;
      const auto& command = static_cast<const JobParamCommand&>(unit);
      const std::string word = Utf8(command.name);
      for (const JobParamUnit& param : command.params) {
        if (param.Kind() != JobParamUnit::kText) continue;
        const std::string name = Utf8(param.name);
        if (word == "Define" || word == "Expand" || (word == "Action" && name != "Name")) assigned_.insert(name);
        int64_t field = 0;
        std::string_view key;
        if (word == "InputText" && SplitFieldKey(name, field, key) && key == "Variable") {
          assigned_.insert(Utf8(static_cast<const JobParamText&>(param).value));
        }
      }
      Learn(command.params);
    }
  }
  void LearnAction(const RawString& name) { actions_.insert(Utf8(name)); }

  // One section's script. `keys` are the parameters the section itself takes.
  void Check(const JobParamList& script, const std::unordered_set<std::string>* keys) {
    seenIf_ = false;
    for (const JobParamUnit& unit : script) {
      if (unit.Kind() == JobParamUnit::kText) {
        const auto& text = static_cast<const JobParamText&>(unit);
        if (keys != nullptr && keys->count(Utf8(text.name)) == 0) {
          Warning(unit.line, JoinedUtf8({"parameter ", Quoted(text.name), " is not one this section reads"}));
        }
        CheckValue(text);
      }
    }
    CheckScript(script, false);
  }

 private:
  void Error(int32_t line, const RawString& text) { out_.Error(path_, line, text); }
  void Warning(int32_t line, const RawString& text) { out_.Warning(path_, line, text); }

  // The command lines of a script; text lines in it are the enclosing command's parameters.
  void CheckScript(const JobParamList& script, bool inMenu) {
    for (const JobParamUnit& unit : script) {
      if (unit.Kind() == JobParamUnit::kCommand) CheckCommand(static_cast<const JobParamCommand&>(unit), inMenu);
    }
  }

  void CheckCommand(const JobParamCommand& command, bool inMenu) {
    const int32_t line = command.line;
    if (command.name.IsEmpty()) {
      Error(line, RawString("a block without a command word"));
      return;
    }
    const CommandRule* rule = RuleOf(command.name);
    if (rule == nullptr) {
      RawString text = JoinedUtf8({"unknown command ", Quoted(command.name)});
      const RawString hint = NearestCommandWord(command.name);
      if (!hint.IsEmpty()) text = JoinedUtf8({text, " (did you mean ", Quoted(hint), "?)"});
      Error(line, text);
      return;
    }
    const std::string word = rule->word;
    CheckRequired(command, *rule);
    CheckParameters(command, *rule);
    if (word == "Action") CheckActionName(command);
    if ((word == "MenuItem" || word == "Separator") && !inMenu) {
      Error(line, JoinedUtf8({Quoted(command.name), " outside any \"Menu\" block"}));
    }
    if (word == "Else" && !seenIf_) {
      Warning(line, RawString("\"Else\" with no \"If\" before it in this script (an \"If\" of a calling script decides it)"));
    }
    if (word == "If") seenIf_ = true;
    switch (rule->body) {
      case Body::Script: CheckScript(command.params, inMenu); break;
      case Body::Chosen: CheckScript(command.params, false); break;
      case Body::Menu: CheckScript(command.params, true); break;
      case Body::None:
      case Body::Free:
        for (const JobParamUnit& unit : command.params) {
          if (unit.Kind() != JobParamUnit::kCommand) continue;
          if (word == "PickupMenu" && unit.name == RawString("Separator")) continue;
          Warning(unit.line, JoinedUtf8({Quoted(unit.name), " inside ", Quoted(command.name),
                                         " is no parameter (no \"=\") and is ignored"}));
        }
        break;
    }
  }

  void CheckRequired(const JobParamCommand& command, const CommandRule& rule) {
    bool first = true;
    for (const char* name : rule.required) {
      const bool standIn = first && rule.eitherOf != nullptr;
      first = false;
      const RawString required = RawString::FromUtf8(name);
      if (!command.params.GetValue(required).IsEmpty()) continue;
      const RawString other = standIn ? RawString::FromUtf8(rule.eitherOf) : RawString();
      if (standIn && !command.params.GetValue(other).IsEmpty()) continue;
      RawString text = JoinedUtf8({Quoted(command.name), " needs ", Quoted(required)});
      if (standIn) text = JoinedUtf8({text, " or ", Quoted(other)});
      Error(command.line, text);
    }
  }

  void CheckParameters(const JobParamCommand& command, const CommandRule& rule) {
    const std::string word = rule.word;
    int64_t lastField = -1;
    std::unordered_set<int64_t> fieldsWithVariable;
    for (const JobParamUnit& unit : command.params) {
      if (unit.Kind() != JobParamUnit::kText) continue;
      const auto& text = static_cast<const JobParamText&>(unit);
      CheckValue(text);
      if (rule.anyName) continue;
      const std::string name = Utf8(text.name);
      int64_t field = 0;
      std::string_view key;
      if (word == "InputText" && SplitFieldKey(name, field, key) &&
          std::find(std::begin(kFieldKeys), std::end(kFieldKeys), key) != std::end(kFieldKeys)) {
        if (key == "Variable") fieldsWithVariable.insert(field);
        lastField = std::max(lastField, field);
        continue;
      }
      if (!Contains(rule.known, name)) {
        Warning(unit.line, JoinedUtf8({Quoted(command.name), " reads no parameter ", Quoted(text.name), " (ignored)"}));
      }
    }
    for (int64_t field = 1; field <= lastField && word == "InputText"; ++field) {
      if (fieldsWithVariable.count(field) == 0 && fieldsWithVariable.count(0) != 0) {
        Warning(command.line,
                JoinedUtf8({"\"InputText\" has no \"", Number(field), ":Variable\": the form ends before that field"}));
        break;
      }
    }
  }

  void CheckActionName(const JobParamCommand& command) {
    const JobParamUnit* unit = command.params.Find("Name");
    if (unit == nullptr || unit->Kind() != JobParamUnit::kText) return;
    const RawString& name = static_cast<const JobParamText*>(unit)->value;
    if (name.IsEmpty() || name.Find('$') < name.Length()) return;  // decided when it runs
    if (actions_.count(Utf8(name)) != 0) return;
    Error(unit->line, JoinedUtf8({"no [Action:", name, "] section for \"Action\""}));
  }

  // Every reference of a value, nested ones included.
  void CheckValue(const JobParamText& unit) { CheckText(unit.value, unit); }

  void CheckText(const RawString& text, const JobParamText& unit) {
    for (int32_t from = 0;;) {
      int32_t before = 0;
      const int32_t start = FindVariableReference(text, from, before);
      if (start >= text.Length()) return;
      RawStringList segments;
      int32_t nameEnd = 0;
      const int32_t end = SplitVariableReference(text, start, segments, nameEnd);
      if (end < 0) {
        Error(unit.line, JoinedUtf8({"\"$(\" without its \")\" in ", Quoted(unit.name), ": ",
                                     Quoted(text.Sub({start, text.Length()}))}));
        return;
      }
      CheckReference(segments, text.Sub({start, end}), unit);
      for (const RawString& segment : segments) CheckText(segment, unit);
      from = end;
    }
  }

  void CheckReference(const RawStringList& segments, const RawString& reference, const JobParamText& unit) {
    const RawString& nameText = *segments.First();
    if (nameText.Find('$') < nameText.Length()) return;  // a name built when it runs
    const std::string name = Utf8(nameText);
    const int32_t given = segments.Count() - 1;
    if (const JobFunctionArity* arity = FunctionArity(nameText)) {
      if (given < arity->least) {
        Error(unit.line, JoinedUtf8({Quoted(nameText), " needs ", Number(arity->least),
                               RawString::FromUtf8(arity->least == 1 ? " argument, " : " arguments, "), Quoted(reference), " gives ",
                               Number(given)}));
      } else if (arity->most >= 0 && given > arity->most) {
        Warning(unit.line, JoinedUtf8({Quoted(nameText), " takes ", Number(arity->most),
                                 RawString::FromUtf8(arity->most == 1 ? " argument, " : " arguments, "), Quoted(reference), " gives ",
                                 Number(given),
                                 ": every \":\" outside a nested reference splits arguments; pass such a text "
                                 "through a variable"}));
      }
      if (name == "Calc" && given >= 1) CheckBrackets(*++segments.begin(), reference, unit);
      return;
    }
    if (name.empty()) {
      Error(unit.line, JoinedUtf8({"a reference without a name: ", Quoted(reference)}));
      return;
    }
    if (kLauncherVariables.count(name) != 0 || assigned_.count(name) != 0) return;
    Warning(unit.line, JoinedUtf8({Quoted(reference), " names no function, no variable of the launcher and no variable "
                                                "this profile assigns"}));
  }

  // An expression whose "(" outnumber its ")" lost its end: the reference closed at a bracket.
  void CheckBrackets(const RawString& expression, const RawString& reference, const JobParamText& unit) {
    int32_t depth = 0;
    const std::string text = Utf8(expression);
    for (size_t i = 0; i < text.size(); ++i) {
      if (text.compare(i, 2, "$(") == 0) {
        // A nested reference balances itself.
        int32_t nested = 0;
        for (; i < text.size(); ++i) {
          if (text.compare(i, 2, "$(") == 0) {
            ++nested;
            ++i;
          } else if (text[i] == ')' && --nested == 0) {
            break;
          }
        }
        continue;
      }
      if (text[i] == '(') ++depth;
      if (text[i] == ')') --depth;
    }
    if (depth > 0) {
      Warning(unit.line, JoinedUtf8({Quoted(reference),
                                     " ends at the first \")\" of its expression: pass an expression "
                                     "with brackets through a variable"}));
    }
  }

  RawString path_;
  JobDiagnostics& out_;
  std::unordered_set<std::string> assigned_;
  std::unordered_set<std::string> actions_;
  bool seenIf_ = false;
};

// One script section as read.
struct ScriptSection {
  enum Kind { Button, Selector, Action, Initialize };
  Kind kind;
  JobParamList script;
  RawString header;  // the text between the brackets
};

// The header kinds, for a header that misses one only by letter case or a letter.
constexpr std::string_view kScriptPrefixes[] = {"Button:", "Selector:", "Action:"};

class FileReader : public JobProfileBlocks {
 public:
  FileReader(const RawString& path, bool scripts, JobProfileChecker::SectionCheck* sectionCheck, JobDiagnostics& out)
      : path_(path), scripts_(scripts), sectionCheck_(sectionCheck), out_(out), walk_(path, out) {}

  void Check() {
    RawLineFile file(path_);
    if (!file.OpenRead()) {
      const bool missing = RawLayer::PathKind(path_) == RawLayer::RawPathKind::Missing;
      out_.ReadError(path_, 1, missing ? RawString("the file does not exist") : RawString("the file cannot be opened"));
      return;
    }
    Read(file);
    const int32_t next = file.LineNumber() + 2;
    switch (file.GetState()) {
      case RawLineFile::StateLineTooLong: {
        out_.ReadError(path_, next,
                       JoinedUtf8({"a line longer than ", Number(RawLineFile::kDefaultBufferSize),
                                   " bytes: the rest of the file is not read"}));
        break;
      }
      case RawLineFile::StateConvertFailed:
        out_.ReadError(path_, next, RawString("text that is not valid in the file's code: the rest of the file is not read"));
        break;
      case RawLineFile::StateOddWideLine:
        out_.ReadError(path_, next, RawString("the file ends in half a UTF-16 character"));
        break;
      case RawLineFile::StateReadFailed:
        out_.ReadError(path_, next, RawString("the file could not be read to its end"));
        break;
      default: break;
    }
    if (file.FileCodeKnown() && file.FileCode() == RawLayer::CodeBinary) {
      out_.ReadError(path_, 1, RawString("the file is not text"));
      return;
    }
    if (controlLine_ > 0) {
      out_.ReadError(path_, controlLine_, RawString("a control character: the file does not look like text"));
      return;
    }
    if (blocks_ == 0 && scripts_) {
      out_.ReadError(path_, 1, RawString("the profile holds no section"));
      return;
    }
    if (!scripts_) return;
    for (const ScriptSection& section : sections_) walk_.Learn(section.script);
    for (const ScriptSection& section : sections_) {
      const std::unordered_set<std::string>* keys = nullptr;
      if (section.kind == ScriptSection::Button) keys = &kButtonKeys;
      if (section.kind == ScriptSection::Selector) keys = &kSelectorKeys;
      walk_.Check(section.script, keys);
    }
    CheckHotKeys();
  }

 private:
  void Block(const RawRangedTextUnit& first, const RawRangedTextList& body) override {
    ++blocks_;
    NoteControlCharacters(first);
    for (const RawRangedTextUnit& line : body) NoteControlCharacters(line);
    const int32_t line = first.line + 1;
    RawString inner;
    if (!ProfileHeaderText(first, inner)) {
      if (scripts_) out_.Warning(path_, line, RawString("lines before the first section are ignored"));
      return;
    }
    if (sectionCheck_ != nullptr && sectionCheck_->Knows(inner)) {
      sectionCheck_->Check(path_, inner, line, body, out_);
      return;
    }
    if (!scripts_) return;
    ScriptSection::Kind kind;
    if (inner.StartsWith("Selector:")) {
      kind = ScriptSection::Selector;
    } else if (inner.StartsWith("Button:")) {
      kind = ScriptSection::Button;
    } else if (inner.StartsWith("Action:")) {
      kind = ScriptSection::Action;
      const RawString name = inner.Sub({7, inner.Length()});
      if (!actionNames_.insert(Utf8(name)).second) {
        out_.Warning(path_, line, JoinedUtf8({"a second [Action:", name, "]: the first one runs"}));
      }
      walk_.LearnAction(name);
    } else if (inner.StartsWith("Initialize")) {
      kind = ScriptSection::Initialize;
    } else {
      WarnNearHeader(inner, line);
      return;
    }
    ScriptSection& section = sections_.emplace_back(ScriptSection{kind, JobParamList(), inner});
    JobParseFault fault;
    if (!section.script.Parse(body, &fault)) {
      switch (fault.kind) {
        case JobParseFault::StrayClose: out_.ReadError(path_, fault.line, RawString("\"}\" closes no block")); break;
        case JobParseFault::NeverClosed:
          out_.ReadError(path_, fault.line, JoinedUtf8({"this \"{\" is never closed in [", inner, "]"}));
          break;
        case JobParseFault::TooDeep: {
          out_.ReadError(path_, fault.line,
                         JoinedUtf8({"blocks nested deeper than ", Number(JobParamList::kMaxBlockDepth),
                                     ": the rest of the section is not read"}));
          break;
        }
        case JobParseFault::None: break;
      }
    }
  }

  // "HotKey" of the buttons and actions: a text that names a key, and no key taken twice (the
  // second registration of a key fails).
  void CheckHotKeys() {
    std::vector<std::pair<JobHotKey, const ScriptSection*>> taken;
    for (const ScriptSection& section : sections_) {
      if (section.kind != ScriptSection::Button && section.kind != ScriptSection::Action) continue;
      const JobParamUnit* unit = section.script.Find("HotKey");
      if (unit == nullptr || unit->Kind() != JobParamUnit::kText) continue;
      const RawString& text = static_cast<const JobParamText*>(unit)->value;
      JobHotKey key;
      RawString why;
      if (!ParseHotKey(text, key, why)) {
        out_.Error(path_, unit->line, JoinedUtf8({"[", section.header, "] HotKey=", HotKeyQuote(text), ": ", why}));
        continue;
      }
      for (const auto& [other, owner] : taken) {
        if (other == key) {
          out_.Error(path_, unit->line,
                     JoinedUtf8({"[", section.header, "] HotKey=", HotKeyQuote(text), ": [", owner->header,
                                 "] has taken this key already"}));
          break;
        }
      }
      taken.emplace_back(key, &section);
    }
  }

  void NoteControlCharacters(const RawRangedTextUnit& line) {
    if (controlLine_ > 0) return;
    const char* data = line.text.Data();
    for (int32_t i = line.begin; i < line.end; ++i) {
      const auto c = static_cast<unsigned char>(data[i]);
      if (c < 0x20 && c != '\t') {
        controlLine_ = line.line + 1;
        return;
      }
    }
  }

  void WarnNearHeader(const RawString& inner, int32_t line) {
    const std::string text = Utf8(inner);
    const size_t colon = text.find(':');
    if (colon == std::string::npos) return;
    const std::string kind = Lower(std::string_view(text).substr(0, colon + 1));
    for (std::string_view prefix : kScriptPrefixes) {
      if (EditDistance(kind, Lower(prefix)) <= 1) {
        out_.Warning(path_, line, JoinedUtf8({"[", inner, "] is ignored: did you mean [", RawString::FromUtf8(prefix),
                                        RawString::FromUtf8(std::string_view(text).substr(colon + 1)),
                                        "]? (headers are case-sensitive)"}));
        return;
      }
    }
  }

  RawString path_;
  bool scripts_;
  JobProfileChecker::SectionCheck* sectionCheck_;
  JobDiagnostics& out_;
  ScriptWalk walk_;
  std::vector<ScriptSection> sections_;
  std::unordered_set<std::string> actionNames_;
  int32_t blocks_ = 0;
  int32_t controlLine_ = 0;
};

}  // namespace

// ---- diagnostics ----

void JobDiagnostics::Add(const RawString& path, int32_t line, bool error, const RawString& text) {
  items_.push_back({path, line, error, text});
  (error ? errors_ : warnings_) += 1;
}

void JobDiagnostics::Error(const RawString& path, int32_t line, const RawString& text) { Add(path, line, true, text); }

void JobDiagnostics::ReadError(const RawString& path, int32_t line, const RawString& text) {
  Add(path, line, true, text);
  items_.back().breaksReading = true;
}

const JobDiagnostic* JobDiagnostics::FirstReadError() const {
  const JobDiagnostic* first = nullptr;
  for (const JobDiagnostic& item : items_) {
    if (item.breaksReading && (first == nullptr || (item.path == first->path && item.line < first->line))) first = &item;
  }
  return first;
}

void JobDiagnostics::Warning(const RawString& path, int32_t line, const RawString& text) {
  Add(path, line, false, text);
}

std::vector<JobDiagnostic> JobDiagnostics::Sorted() const {
  std::vector<RawString> files;
  auto fileIndex = [&files](const RawString& path) {
    for (size_t i = 0; i < files.size(); ++i) {
      if (files[i] == path) return i;
    }
    files.push_back(path);
    return files.size() - 1;
  };
  std::vector<std::pair<size_t, const JobDiagnostic*>> order;
  order.reserve(items_.size());
  for (const JobDiagnostic& item : items_) order.emplace_back(fileIndex(item.path), &item);
  std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : a.second->line < b.second->line;
  });
  std::vector<JobDiagnostic> sorted;
  sorted.reserve(order.size());
  for (const auto& entry : order) sorted.push_back(*entry.second);
  return sorted;
}

RawString JobDiagnostics::Line(const JobDiagnostic& diagnostic) {
  return JoinedUtf8({diagnostic.path, "(", Number(diagnostic.line),
                     RawString::FromUtf8(diagnostic.error ? "): error: " : "): warning: "), diagnostic.text});
}

RawString JobDiagnostics::Summary() const {
  return JoinedUtf8({Number(errors_), " errors, ", Number(warnings_), " warnings"});
}

RawString JobDiagnostics::Report() const {
  // Built as bytes and made a text once: a report may hold many thousand lines.
  std::string report;
  for (const JobDiagnostic& diagnostic : Sorted()) {
    report += Line(diagnostic).ToUtf8();
    report += '\n';
  }
  report += Summary().ToUtf8();
  report += '\n';
  return RawString::FromUtf8(report);
}

// ---- the checker ----

void JobProfileChecker::CheckLauncherProfile(const RawString& path) { CheckFile(path, true); }

void JobProfileChecker::CheckSettingsFile(const RawString& path) { CheckFile(path, false); }

void JobProfileChecker::CheckFile(const RawString& path, bool scripts) {
  FileReader reader(path, scripts, sectionCheck_, out_);
  reader.Check();
}

RawString NearestCommandWord(const RawString& word) {
  const std::string wanted = Lower(Utf8(word));
  if (wanted.empty() || wanted.size() > 40) return RawString();
  RawString best;
  int32_t bestDistance = 3;
  for (const CommandRule& rule : kCommandRules) {
    const int32_t distance = EditDistance(wanted, Lower(rule.word));
    if (distance < bestDistance) {
      bestDistance = distance;
      best = RawString::FromUtf8(rule.word);
    }
  }
  // Two edits only for a word long enough that two edits leave most of it.
  if (bestDistance == 2 && wanted.size() < 5) return RawString();
  return best;
}

const JobFunctionArity* FunctionArity(const RawString& name) {
  const std::string text = Utf8(name);
  for (const JobFunctionArity& function : kFunctions) {
    if (text == function.name) return &function;
  }
  return nullptr;
}

}  // namespace JobLayer
