#include "job/menu_host.h"

#include <atomic>
#include <cstdio>
#include <iostream>
#include <vector>

#include "raw/system.h"

namespace JobLayer {

namespace {

class ConsoleMenu : public JobHostMenu {
 public:
  struct Entry {
    int32_t id = 0;  // an item's identifier; 0 for a separator or a sub-menu
    std::string caption;
    ConsoleMenu* sub = nullptr;
  };
  std::vector<Entry> entries;
};

// How a level of the console menu ended.
struct Outcome {
  enum Kind { Chosen, Back, InputEnded } kind;
  int32_t id;
};

bool ParseChoice(const std::string& line, int32_t& number) {
  size_t at = 0;
  while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
  size_t end = line.size();
  while (end > at && (line[end - 1] == ' ' || line[end - 1] == '\t' || line[end - 1] == '\r')) --end;
  if (at == end) {
    number = 0;
    return true;
  }
  int64_t value = 0;
  for (size_t i = at; i < end; ++i) {
    if (line[i] < '0' || line[i] > '9') return false;
    value = value * 10 + (line[i] - '0');
    if (value > INT32_MAX) return false;
  }
  number = static_cast<int32_t>(value);
  return true;
}

Outcome ChooseAtLevel(JobMenuConsole& console, const ConsoleMenu& menu) {
  for (;;) {
    // The numbers count only the entries that can be chosen.
    std::vector<const ConsoleMenu::Entry*> numbered;
    std::string text = "\n";
    for (const ConsoleMenu::Entry& entry : menu.entries) {
      if (entry.id == 0 && entry.sub == nullptr) {
        text += "    ----------\n";
        continue;
      }
      numbered.push_back(&entry);
      text += "  " + std::to_string(numbered.size()) + ". " + entry.caption + (entry.sub != nullptr ? " >" : "") + "\n";
    }
    text += "Choose a number (0 to close): ";
    console.Write(text);
    std::string line;
    if (!console.ReadLine(line)) return {Outcome::InputEnded, JobMenuHost::kNoChoice};
    int32_t number = 0;
    if (!ParseChoice(line, number) || number > static_cast<int32_t>(numbered.size())) {
      console.Write("No such entry.\n");
      continue;
    }
    if (number == 0) return {Outcome::Back, JobMenuHost::kNoChoice};
    const ConsoleMenu::Entry& entry = *numbered[static_cast<size_t>(number - 1)];
    if (entry.sub == nullptr) return {Outcome::Chosen, entry.id};
    const Outcome inner = ChooseAtLevel(console, *entry.sub);
    if (inner.kind != Outcome::Back) return inner;
  }
}

std::atomic<JobMenuHost*> g_installed{nullptr};

// The process's terminal: questions go to standard error, so that a script's own output on
// standard output stays clean. A program of the windows subsystem usually has no console at
// all; then every menu counts as closed.
class TerminalConsole : public JobMenuConsole {
 public:
  bool Interactive() override { return RawLayer::IsTerminal(stdin) && RawLayer::IsTerminal(stderr); }
  bool ReadLine(std::string& line) override { return static_cast<bool>(std::getline(std::cin, line)); }
  void Write(const std::string& text) override {
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
  }
};

}  // namespace

JobMenuConsole& SystemMenuConsole() {
  static TerminalConsole console;
  return console;
}

std::unique_ptr<JobHostMenu> JobConsoleMenuHost::CreatePopup() { return std::make_unique<ConsoleMenu>(); }

bool JobConsoleMenuHost::AppendItem(JobHostMenu& menu, int32_t id, const RawString& caption, int32_t iconEntry) {
  (void)iconEntry;
  static_cast<ConsoleMenu&>(menu).entries.push_back({id, caption.ToUtf8(), nullptr});
  return true;
}

bool JobConsoleMenuHost::AppendSubMenu(JobHostMenu& menu, JobHostMenu& sub, const RawString& caption,
                                       int32_t iconEntry) {
  (void)iconEntry;
  static_cast<ConsoleMenu&>(menu).entries.push_back({0, caption.ToUtf8(), &static_cast<ConsoleMenu&>(sub)});
  return true;
}

bool JobConsoleMenuHost::AppendSeparator(JobHostMenu& menu) {
  static_cast<ConsoleMenu&>(menu).entries.push_back({});
  return true;
}

int32_t JobConsoleMenuHost::Track(JobHostMenu& menu) {
  if (!console_.Interactive()) return kNoChoice;
  const Outcome outcome = ChooseAtLevel(console_, static_cast<ConsoleMenu&>(menu));
  return outcome.kind == Outcome::Chosen ? outcome.id : kNoChoice;
}

JobMenuHost& MenuHost() {
  static JobConsoleMenuHost console(SystemMenuConsole());
  JobMenuHost* installed = g_installed.load(std::memory_order_acquire);
  return installed != nullptr ? *installed : console;
}

void SetMenuHost(JobMenuHost* host) { g_installed.store(host, std::memory_order_release); }

}  // namespace JobLayer
