// Runs the examples of the user manual with the headless kestrel, so that the manual cannot teach
// a script that does something else than it says.
//
//   manual_examples <kestrel> <manual> <scratch folder>
//
// What the manual counts as an example (it states the convention near its start):
//   - A "gives" line: after the indentation or after a gap of two or more blanks, a text that
//     begins with "$", the word "gives" and the result ("" for an empty one; a result in double
//     quotes is taken without them). Run as PutMessage of "[text]" in a dropped-on button; the
//     message must be "[result]" and nothing may be reported.
//   - A reference in the example column of the function table (the section "Variable
//     functions", column 62): it must be one whole reference, and expanding it must report
//     nothing.
//   - A script block: indented lines beginning with "Name {" or with a script section header
//     ([Button:...], [Action:...]), running to the first empty or less indented line. Braces
//     must balance. A command block runs as a button with a file dropped on it, a section block
//     by its first section; the run must succeed and the log must hold no error. A block that
//     begins with "/ Needs the Windows desktop." is only counted.
//   - Within a section, every block made of one Define holds for the examples after it.
//   - Every script block, also one only shown, passes the profile checker ("kestrel -k") without
//     an error, in the profile it runs in.
// Anything that looks like an example but does not fit fails the run: a single command word
// standing indented outside a block, unbalanced braces, a section that cannot be run, and a
// drive letter's colon at depth 0 of a reference in a script or the function table (in a
// "gives" line the stated result decides).
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

const char* const kDesktopMark = "/ Needs the Windows desktop.";
const char* const kDroppedPath = "C:\\Data\\notes.txt";
constexpr size_t kExampleColumn = 61;

struct RunOutcome {
  int exitCode = -1;
  std::string output;
  std::string errors;
  std::string log;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

size_t Indentation(const std::string& line) {
  const size_t first = line.find_first_not_of(' ');
  return first == std::string::npos ? line.size() : first;
}

// The log files of one run, read and removed, so that a later run in the folder starts clean.
std::string TakeLogs(const std::string& folder) {
  std::string logs;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* entry = readdir(dir)) {
      if (entry->d_name[0] == '.') continue;
      const std::string path = folder + "/" + entry->d_name;
      logs += ReadFile(path);
      unlink(path.c_str());
    }
    closedir(dir);
  }
  return logs;
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The end (after its ")") of the reference that starts at the text's beginning, by the
// expander's rule: "$(" nests, a ")" at depth 0 ends it, a lone "(" does not count.
size_t ReferenceEnd(const std::string& text) {
  int depth = 0;
  for (size_t i = 2; i < text.size(); ++i) {
    if (text.compare(i, 2, "$(") == 0) {
      ++depth;
      ++i;
    } else if (text[i] == ')') {
      if (depth == 0) return i + 1;
      --depth;
    }
  }
  return std::string::npos;
}

// True when some reference in the text has a one-letter argument followed by an argument that
// begins with "\\": a path with a drive letter, which the colon splits in two.
bool SplitsDrivePath(const std::string& text) {
  for (size_t start = text.find("$("); start != std::string::npos; start = text.find("$(", start + 2)) {
    int depth = 0;
    for (size_t i = start + 2; i < text.size(); ++i) {
      if (text.compare(i, 2, "$(") == 0) {
        ++depth;
        ++i;
      } else if (text[i] == ')') {
        if (depth-- == 0) break;
      } else if (depth == 0 && text[i] == ':' && i >= 2 && text[i - 2] == ':' && i + 1 < text.size() &&
                 text[i + 1] == '\\') {
        return true;
      }
    }
  }
  return false;
}

class ManualRunner {
 public:
  ManualRunner(std::string kestrel, std::string work) : kestrel_(std::move(kestrel)), work_(std::move(work)) {}

  int Run(const std::vector<std::string>& lines);

 private:
  void Fail(size_t line, const std::string& what) {
    std::cerr << "manual line " << line + 1 << ": " << what << "\n";
    ++failures_;
  }
  std::string Describe(const RunOutcome& outcome) const {
    return "\n  exit code " + std::to_string(outcome.exitCode) + "\n  stdout [" + outcome.output + "]\n  stderr [" +
           outcome.errors + "]";
  }
  RunOutcome RunProfile(const std::string& sections, const std::vector<std::string>& arguments);
  RunOutcome RunInButton(const std::string& script);
  void CheckExpansion(size_t line, const std::string& text, const std::string* expected);
  void CheckBlock(size_t line, const std::vector<std::string>& block);
  // The profile checker finds no error in the sections.
  void CheckStatically(size_t line, const std::string& sections);

  std::string kestrel_;
  std::string work_;
  std::string definitions_;  // the Define blocks of the current section
  int runs_ = 0;
  int failures_ = 0;
  int gives_ = 0;
  int references_ = 0;
  int scripts_ = 0;
  int shown_ = 0;
  int checked_ = 0;
};

RunOutcome ManualRunner::RunProfile(const std::string& sections, const std::vector<std::string>& arguments) {
  const std::string folder = work_ + "/" + std::to_string(++runs_);
  mkdir(folder.c_str(), 0755);
  TakeLogs(folder + "/log");
  const std::string profile = folder + "/kestrel.ini";
  WriteFile(profile, "[Common]\nProgram=Kestrel\n[Option]\nLogFolder=" + folder + "/log\n" + sections);
  const std::string outPath = folder + "/out.txt";
  const std::string errPath = folder + "/err.txt";

  std::vector<std::string> words{kestrel_, "-p", profile};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // No terminal: a question counts as closed instead of waiting for an answer.
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  RunOutcome outcome;
  pid_t child = 0;
  const int spawned = posix_spawn(&child, kestrel_.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return outcome;
  int status = 0;
  if (waitpid(child, &status, 0) == child && WIFEXITED(status)) outcome.exitCode = WEXITSTATUS(status);
  outcome.output = ReadFile(outPath);
  outcome.errors = ReadFile(errPath);
  outcome.log = TakeLogs(folder + "/log");
  return outcome;
}

RunOutcome ManualRunner::RunInButton(const std::string& script) {
  return RunProfile("[Button:Example]\nDropRun=True\n" + definitions_ + script, {"-d", "Example", kDroppedPath});
}

// A "gives" line (expected set) or a reference of the function table (expected null).
void ManualRunner::CheckExpansion(size_t line, const std::string& text, const std::string* expected) {
  const RunOutcome outcome = RunInButton("PutMessage {\nParameter=[" + text + "]\n}\n");
  const bool reported = outcome.log.find("#Error") != std::string::npos;
  if (expected != nullptr) {
    if (outcome.exitCode != 0 || reported || outcome.errors != "Kestrel: [" + *expected + "]\n") {
      Fail(line, text + " should give [" + *expected + "]" + Describe(outcome));
    }
    return;
  }
  const bool oneMessage = outcome.errors.rfind("Kestrel: [", 0) == 0 && outcome.errors.find('\n') + 1 == outcome.errors.size();
  if (outcome.exitCode != 0 || reported || !oneMessage) Fail(line, text + " reports an error" + Describe(outcome));
}

void ManualRunner::CheckStatically(size_t line, const std::string& sections) {
  ++checked_;
  const RunOutcome outcome = RunProfile(sections, {"-k"});
  if (outcome.exitCode != 0) Fail(line, "the profile checker reports an error" + Describe(outcome));
}

void ManualRunner::CheckBlock(size_t line, const std::vector<std::string>& block) {
  int depth = 0;
  for (const std::string& text : block) {
    const std::string trimmed = Trimmed(text);
    if (trimmed[0] == '}') {
      --depth;
    } else if (trimmed.find('=') == std::string::npos && trimmed.find('{') != std::string::npos) {
      ++depth;
    }
    if (depth < 0) break;
  }
  if (depth != 0) return Fail(line, "the braces of the script example do not balance");
  for (size_t i = 0; i < block.size(); ++i) {
    if (SplitsDrivePath(block[i])) Fail(line + i, "a path with a drive letter is split at its colon: " + block[i]);
  }
  std::string script;
  for (const std::string& text : block) script += text + "\n";
  if (block.front() == kDesktopMark) {
    ++shown_;
    const bool section = block.size() > 1 && block[1][0] == '[';
    CheckStatically(line, section ? script : "[Button:Example]\n" + definitions_ + script);
    return;
  }

  static const std::regex header(R"(\[(Button|Action):([^\]]*)\])");
  std::smatch section;
  RunOutcome outcome;
  if (std::regex_match(block.front(), section, header)) {
    const std::string sections = definitions_.empty() ? script : "[Initialize]\n" + definitions_ + script;
    CheckStatically(line, sections);
    outcome = RunProfile(sections, {section[1] == "Button" ? "-l" : "-a", section[2]});
  } else if (block.front()[0] == '[') {
    return Fail(line, "a script example must begin with a command or with [Button:...] or [Action:...]");
  } else {
    CheckStatically(line, "[Button:Example]\nDropRun=True\n" + definitions_ + script);
    outcome = RunInButton(script);
    if (block.front() == "Define {" && Trimmed(block.back()) == "}" && Indentation(block.back()) == 0) {
      bool single = true;
      for (size_t i = 1; i + 1 < block.size(); ++i) single = single && Indentation(block[i]) > 0;
      if (single) definitions_ += script;
    }
  }
  ++scripts_;
  if (outcome.exitCode != 0 || outcome.log.find("#Error") != std::string::npos) {
    Fail(line, "the script example fails" + Describe(outcome) + "\n  log:\n" + outcome.log);
  }
}

int ManualRunner::Run(const std::vector<std::string>& lines) {
  static const std::regex commandStart(R"([A-Za-z]+ \{)");
  static const std::regex scriptHeader(R"(\[(Button|Selector|Action):[^\]]*\]|\[Initialize\])");
  static const std::regex lonelyWord(R"([A-Z][A-Za-z]+)");
  static const std::regex gives(R"((.*?) gives (.*))");
  bool functionTable = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& text = lines[i];
    const size_t indent = Indentation(text);
    const std::string body = text.substr(indent);
    if (i + 1 < lines.size() && std::regex_match(text, std::regex(R"(\d+\. .*)")) &&
        lines[i + 1].find_first_not_of('-') == std::string::npos && !lines[i + 1].empty()) {
      definitions_.clear();
      functionTable = text.find("Variable functions") != std::string::npos;
      continue;
    }
    if (indent > 0 && (body == kDesktopMark || std::regex_match(body, commandStart) ||
                       std::regex_match(body, scriptHeader))) {
      std::vector<std::string> block;
      size_t j = i;
      for (; j < lines.size() && !lines[j].empty() && Indentation(lines[j]) >= indent; ++j) {
        block.push_back(lines[j].substr(indent));
      }
      CheckBlock(i, block);
      i = j - 1;
      continue;
    }
    if (indent >= 4 && std::regex_match(body, lonelyWord)) {
      Fail(i, "a command standing alone: write it inside a block so that it is run");
      continue;
    }
    // The text after the indentation or the last gap of two blanks.
    std::smatch parts;
    if (std::regex_match(text, parts, gives)) {
      const std::string before = parts[1];
      const size_t gap = before.rfind("  ");
      const std::string expression = gap == std::string::npos ? before.substr(Indentation(before)) : Trimmed(before.substr(gap));
      if (!expression.empty() && expression[0] == '$') {
        std::string result = Trimmed(parts[2]);
        if (result.size() >= 2 && result.front() == '"' && result.back() == '"') result = result.substr(1, result.size() - 2);
        ++gives_;
        CheckExpansion(i, expression, &result);
        continue;
      }
    }
    if (functionTable && text.size() > kExampleColumn && text.compare(kExampleColumn, 2, "$(") == 0 &&
        text[kExampleColumn - 1] == ' ') {
      const std::string reference = Trimmed(text.substr(kExampleColumn));
      ++references_;
      if (SplitsDrivePath(reference)) {
        Fail(i, reference + " splits a path with a drive letter at its colon: pass it through a variable");
        continue;
      }
      if (ReferenceEnd(reference) != reference.size()) {
        Fail(i, reference + " ends before the example does: a \":\" or \")\" belongs in a variable");
        continue;
      }
      CheckExpansion(i, reference, nullptr);
    }
  }
  std::cout << "manual examples: " << gives_ << " \"gives\" lines, " << references_ << " references, " << scripts_
            << " scripts run; " << shown_ << " scripts shown, not run (they need the Windows desktop); " << checked_
            << " scripts checked by kestrel -k\n";
  if (gives_ == 0 || references_ == 0 || scripts_ == 0) {
    std::cerr << "no examples of some kind were found: the manual's convention is not being read\n";
    return 1;
  }
  if (failures_ > 0) std::cerr << failures_ << " of the manual's examples fail\n";
  return failures_ == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: manual_examples <kestrel> <manual> <scratch folder>\n";
    return 2;
  }
  std::string manual = ReadFile(argv[2]);
  if (manual.empty()) {
    std::cerr << "cannot read " << argv[2] << "\n";
    return 2;
  }
  if (manual.rfind("\xEF\xBB\xBF", 0) == 0) manual.erase(0, 3);
  std::vector<std::string> lines;
  std::istringstream in(manual);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  const std::string work = argv[3];
  mkdir(work.c_str(), 0755);
  ManualRunner runner(argv[1], work);
  return runner.Run(lines);
}
