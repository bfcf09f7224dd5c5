#include "job/screen.h"

#include "raw/system.h"

#include <atomic>
#include <cstdio>

namespace JobLayer {

namespace {

std::atomic<JobScreen*> g_installed{nullptr};

// A decimal number from 1 to count, or 0.
int32_t ChoiceNumber(const std::string& line, size_t count) {
  if (line.empty() || line.size() > 9) return 0;
  int32_t number = 0;
  for (char c : line) {
    if (c < '0' || c > '9') return 0;
    number = number * 10 + (c - '0');
  }
  return number >= 1 && static_cast<size_t>(number) <= count ? number : 0;
}

// The line as typed, without the blanks and tabs around it.
std::string Trimmed(const std::string& line) {
  const size_t first = line.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return line.substr(first, line.find_last_not_of(" \t") - first + 1);
}

}  // namespace

void JobConsoleScreen::ShowError(const RawString& message) {
  const std::string text = message.ToUtf8();
  std::fprintf(stderr, "Kestrel: %s\n", text.c_str());
  std::fflush(stderr);
}

bool JobConsoleScreen::IsKeyDown(int virtualKey) {
  (void)virtualKey;
  return false;
}

// A numbered list of the captions; the answer is a number or a caption as written. An empty
// line or the end of the input closes the question.
int32_t JobConsoleScreen::Ask(const RawString& question, const std::vector<RawString>& captions) {
  if (captions.empty() || !terminal_.IsAttached()) return kClosed;
  std::string prompt = "Kestrel: " + question.ToUtf8() + "\n";
  for (size_t i = 0; i < captions.size(); ++i) {
    prompt += "  " + std::to_string(i + 1) + ") " + captions[i].ToUtf8() + "\n";
  }
  terminal_.Write(prompt);
  for (;;) {
    terminal_.Write("Answer (a number; an empty line closes): ");
    std::string line;
    if (!terminal_.ReadLine(line)) return kClosed;
    line = Trimmed(line);
    if (line.empty()) return kClosed;
    if (const int32_t number = ChoiceNumber(line, captions.size())) return number - 1;
    for (size_t i = 0; i < captions.size(); ++i) {
      if (captions[i].ToUtf8() == line) return static_cast<int32_t>(i);
    }
    terminal_.Write("No such answer.\n");
  }
}

// One prompt per field; an empty line keeps the initial text; read-only fields are only shown.
// The end of the input, or "c" at the closing question, cancels.
bool JobConsoleScreen::Input(const RawString& text, const std::vector<JobInputField>& fields,
                             std::vector<RawString>& texts) {
  if (!terminal_.IsAttached()) return false;
  std::string intro = "Kestrel: Input text ?\n";
  if (!text.IsEmpty()) intro += text.ToUtf8() + "\n";
  terminal_.Write(intro);
  std::vector<RawString> answers;
  for (size_t i = 0; i < fields.size(); ++i) {
    const JobInputField& field = fields[i];
    std::string label = field.label.ToUtf8();
    if (label.empty()) label = "Field " + std::to_string(i + 1);
    const std::string initial = field.initial.ToUtf8();
    if (field.readOnly) {
      terminal_.Write(label + ": " + initial + " (read only)\n");
      answers.push_back(field.initial);
      continue;
    }
    if (!field.hints.empty()) {
      std::string offered = "  hints:";
      for (const RawString& hint : field.hints) offered += " " + hint.ToUtf8() + ";";
      offered.back() = '\n';
      terminal_.Write(offered);
    }
    std::string line;
    if (field.secret) {
      // Neither the initial text nor what is typed shows.
      terminal_.Write(initial.empty() ? label + ": " : label + " [keep]: ");
      if (!terminal_.ReadSecretLine(line)) return false;
      answers.push_back(line.empty() ? field.initial : RawString::FromUtf8(line));
      continue;
    }
    terminal_.Write(initial.empty() ? label + ": " : label + " [" + initial + "]: ");
    if (!terminal_.ReadLine(line)) return false;
    answers.push_back(line.empty() ? field.initial : RawString::FromUtf8(line));
  }
  for (;;) {
    terminal_.Write("Finish or cancel? [F/c]: ");
    std::string line;
    if (!terminal_.ReadLine(line)) return false;
    line = Trimmed(line);
    if (line.empty() || line == "f" || line == "F") break;
    if (line == "c" || line == "C") return false;
  }
  texts = std::move(answers);
  return true;
}

bool JobStreamTerminal::IsAttached() {
  if (input_ == nullptr || output_ == nullptr) return false;
  return attach_ == Attach::Assume || (RawLayer::IsTerminal(input_) && RawLayer::IsTerminal(output_));
}

bool JobStreamTerminal::ReadLine(std::string& line) {
  line.clear();
  if (input_ == nullptr) return false;
  for (int c = std::fgetc(input_); c != EOF; c = std::fgetc(input_)) {
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return true;
    }
    line.push_back(static_cast<char>(c));
  }
  // A last line without its line end still counts; the end of the input alone does not.
  return !line.empty();
}

bool JobStreamTerminal::ReadSecretLine(std::string& line) {
  const bool quiet = input_ != nullptr && RawLayer::IsTerminal(input_) && RawLayer::SetTerminalEcho(input_, false);
  const bool read = ReadLine(line);
  if (quiet) {
    (void)RawLayer::SetTerminalEcho(input_, true);
    // The line end typed was not echoed either.
    Write("\n");
  }
  return read;
}

void JobStreamTerminal::Write(const std::string& text) {
  if (output_ == nullptr) return;
  std::fputs(text.c_str(), output_);
  std::fflush(output_);
}

JobTerminal& StandardTerminal() {
  static JobStreamTerminal terminal(stdin, stderr);
  return terminal;
}

JobScreen& Screen() {
  static JobConsoleScreen console(StandardTerminal());
  JobScreen* installed = g_installed.load(std::memory_order_acquire);
  return installed != nullptr ? *installed : console;
}

void SetScreen(JobScreen* screen) { g_installed.store(screen, std::memory_order_release); }

JobDialogContext& JobDialogContext::Instance() {
  static JobDialogContext context;
  return context;
}

}  // namespace JobLayer
