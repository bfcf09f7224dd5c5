// What the script engine needs of a screen, reached through one interface so that the engine
// never includes the widget toolkit: the launcher installs an implementation made of real
// widgets on Windows; without one (the headless build, tests) the console screen is used, which
// writes messages to standard error and reports no key held down.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "raw/rect.h"
#include "raw/string.h"

namespace JobLayer {

using RawLayer::RawString;

using RawLayer::RawRect;

// One field of an input form, in the order shown.
struct JobInputField {
  RawString label;
  RawString initial;
  std::vector<RawString> hints;  // suggestions offered for the field, best first
  bool readOnly = false;
  bool secret = false;  // a password: masked, or read without echo
};

class JobScreen {
 public:
  virtual ~JobScreen() = default;
  // The information dialog of a script error: the warning icon, the title "Kestrel", the
  // message; placed over the main window when it exists, else within the work area. Returns
  // when the user has closed it.
  virtual void ShowError(const RawString& message) = 0;
  // True when the high bit of the platform's key state of the virtual key is set.
  virtual bool IsKeyDown(int virtualKey) = 0;

  // What a script may ask of the main window: to close (the launcher ends) or to restart the
  // launcher. Posted, so the running script goes on to its end first.
  enum class MainWindowRequest { Close, Restart };
  // Posts the request to JobDialogContext's main window. The console screen has no main window:
  // there it does nothing.
  virtual void PostToMainWindow(MainWindowRequest request) { (void)request; }

  // The question dialog: the question icon, the text and one button per caption (in order),
  // placed by JobDialogContext. The position (from 0) of the pressed caption, or kClosed when
  // the dialog was closed without a button or cannot be shown.
  static constexpr int32_t kClosed = -1;
  virtual int32_t Ask(const RawString& question, const std::vector<RawString>& captions) {
    (void)question;
    (void)captions;
    return kClosed;
  }
  // The input form: the text and one field each, with "Finish" and "Cancel". True when it was
  // finished, with one text per field in `texts`; false when it was cancelled or cannot be
  // shown (`texts` is then left alone).
  [[nodiscard]] virtual bool Input(const RawString& text, const std::vector<JobInputField>& fields,
                                   std::vector<RawString>& texts) {
    (void)text;
    (void)fields;
    (void)texts;
    return false;
  }
};

// Where the console screen asks: a line-based terminal. The standard one is the process's
// console when both its input and its output are a terminal.
class JobTerminal {
 public:
  virtual ~JobTerminal() = default;
  // True when a person can answer: input and output are a terminal.
  virtual bool IsAttached() = 0;
  // One line without its line end; false at the end of the input.
  [[nodiscard]] virtual bool ReadLine(std::string& line) = 0;
  // The same without echoing what is typed (a password).
  [[nodiscard]] virtual bool ReadSecretLine(std::string& line) { return ReadLine(line); }
  virtual void Write(const std::string& text) = 0;
};

// A terminal over two C streams. Whether a person answers is the platform's check of both
// streams, unless the caller vouches for them (a test's pipe).
class JobStreamTerminal : public JobTerminal {
 public:
  enum class Attach { Check, Assume };
  JobStreamTerminal(std::FILE* input, std::FILE* output, Attach attach = Attach::Check)
      : input_(input), output_(output), attach_(attach) {}
  bool IsAttached() override;
  [[nodiscard]] bool ReadLine(std::string& line) override;
  // Echo is off while the line is read when the input is a terminal.
  [[nodiscard]] bool ReadSecretLine(std::string& line) override;
  void Write(const std::string& text) override;

 private:
  std::FILE* input_;
  std::FILE* output_;
  Attach attach_;
};
// Standard input and standard error: prompts stay off standard output.
JobTerminal& StandardTerminal();

// The screen of the headless build: errors go to standard error; questions and forms are
// answered on the terminal when one is attached, otherwise they count as closed. Made over a
// given terminal so that tests can answer.
class JobConsoleScreen : public JobScreen {
 public:
  explicit JobConsoleScreen(JobTerminal& terminal) : terminal_(terminal) {}
  void ShowError(const RawString& message) override;
  bool IsKeyDown(int virtualKey) override;
  int32_t Ask(const RawString& question, const std::vector<RawString>& captions) override;
  [[nodiscard]] bool Input(const RawString& text, const std::vector<JobInputField>& fields,
                           std::vector<RawString>& texts) override;

 private:
  JobTerminal& terminal_;
};

// The screen in use: the one installed last, else the console screen.
JobScreen& Screen();
// Installs a screen for the rest of the process (not owned; nullptr goes back to the console).
void SetScreen(JobScreen* screen);

// Shared by a run, its dialogs and the main window: the main window (null until it exists) and
// the screen rectangle of the button or selector line that started the current run.
struct JobDialogContext {
  void* mainWindow = nullptr;
  RawRect anchor;

  static JobDialogContext& Instance();
};

}  // namespace JobLayer
