// Secrets: a password typed into a form stays out of the log, whichever record would have shown
// it, and out of the hints of later forms.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "job/command_dialog.h"
#include "job/command_process.h"
#include "job/log.h"
#include "job/secret.h"
#include "tests/unit/job/command_test_support.h"
#include "tests/unit/test_files.h"

namespace JobLayer {
namespace {

namespace fs = std::filesystem;
using testing_support::ParseScript;
using TestFiles::Bytes;
using TestFiles::PathOf;
using TestFiles::PathText;

// A password with a letter outside ASCII, so that its UTF-8 and ANSI forms differ.
const std::string kPassword = "Kennwort-Gr\xC3\xBCn-77";

// Finishes every form with the given texts and keeps the fields it was shown.
class FormScreen : public testing_support::RecordingScreen {
 public:
  bool Input(const RawString&, const std::vector<JobInputField>& fields, std::vector<RawString>& texts) override {
    shown.push_back(fields);
    texts.clear();
    for (size_t i = 0; i < fields.size(); ++i) texts.push_back(RawString::FromUtf8(i == 0 ? first : "other"));
    return true;
  }
  std::string first = kPassword;
  std::vector<std::vector<JobInputField>> shown;
};

class SecretTest : public testing_support::ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    JobSecrets::Instance().Clear();
    SetScreen(&forms_);
    registry_ = std::make_unique<JobCommandList>();
    registry_->Register<JobCommandDefine>();
    registry_->Register<JobCommandExpand>();
    registry_->Register<JobCommandInputText>();
    registry_->Register<JobCommandShell>();
    registry_->Register<JobCommandOpenFolder>();
    registry_->Register<JobCommandToClipboard>();
  }
  void TearDown() override {
    JobLogServer::Instance().Stop();
    JobSecrets::Instance().Clear();
    ScriptTest::TearDown();
  }
  bool RunScript(const std::string& text) { return registry_->Execute(ParseScript(text), JobTraceId::Executor()); }
  bool IsSecret(const char* name) {
    const JobVariableUnit* unit = Variables().Find(RawString::FromUtf8(name));
    return unit != nullptr && (Variables().FlagsOf(*unit) & JobVariableUnit::kSecret) != 0;
  }

  FormScreen forms_;
  std::unique_ptr<JobCommandList> registry_;
};

const char kPasswordForm[] =
    "InputText {\nParameter=Sign in\n0:Variable=Pass\n0:Label=Password\n0:Hints=alpha,beta\n0:Password=True\n"
    "1:Variable=User\n}\n";

TEST(SecretMaskTest, EveryOccurrenceInEitherCodeBecomesStars) {
  struct Row {
    std::vector<std::string> secrets;
    RawString text;
    std::string masked;
  } rows[] = {
      {{"hunter2"}, "a hunter2 b hunter2", "a *** b ***"},
      {{"hunter2"}, "nothing here", "nothing here"},
      {{}, "hunter2", "hunter2"},
      // A secret holding a shorter one is masked whole.
      {{"pass", "password1"}, "password1 pass", "*** ***"},
      // Wide text is masked in its UTF-8 form.
      {{"hunter2"}, RawString("x hunter2").Convert(RawLayer::CodeWide), "x ***"},
      // An ANSI line holds the secret in the ANSI page.
      {{kPassword}, RawString::FromUtf8("[" + kPassword + "]").Convert(RawLayer::CodeAnsi), "[***]"},
  };
  for (const Row& row : rows) {
    JobSecrets& secrets = JobSecrets::Instance();
    secrets.Clear();
    for (const std::string& secret : row.secrets) secrets.Add(RawString::FromUtf8(secret));
    EXPECT_EQ(secrets.Masked(row.text).ToUtf8(), row.masked) << row.masked;
  }
  JobSecrets::Instance().Clear();
}

TEST_F(SecretTest, APasswordFieldIsMaskedOffersNoHintsAndIsNotRemembered) {
  ASSERT_TRUE(RunScript(kPasswordForm));
  ASSERT_TRUE(RunScript(kPasswordForm));
  ASSERT_EQ(forms_.shown.size(), 2u);
  for (const std::vector<JobInputField>& fields : forms_.shown) {
    ASSERT_EQ(fields.size(), 2u);
    EXPECT_TRUE(fields[0].secret);
    EXPECT_TRUE(fields[0].hints.empty());
    EXPECT_FALSE(fields[1].secret);
  }
  // The plain field at the same position of the next form is not offered the password.
  forms_.first = "someone";
  ASSERT_TRUE(RunScript("InputText {\n0:Variable=User\n}\n"));
  EXPECT_TRUE(forms_.shown.back()[0].hints.empty());
  EXPECT_EQ(Value("Pass"), kPassword);
  EXPECT_TRUE(IsSecret("Pass"));
  EXPECT_FALSE(IsSecret("User"));
}

// A run with every record letter: the password goes through a Define, an Expand, a function, an
// error's value, the clipboard and a program's parameter, and the log holds it in no code.
TEST_F(SecretTest, ThePasswordReachesTheLogInNoCode) {
  const fs::path dir = fs::path(KESTREL_TEST_TMP_DIR) / "secret" / "log";
  fs::remove_all(dir);
  JobLogServer& log = JobLogServer::Instance();
  log.SetDetail("UCPV");
  JobLogOptions options;
  options.folder = PathText(dir);
  ASSERT_TRUE(log.Start(options));
  const fs::path path = PathOf(log.FilePath());

  ASSERT_TRUE(RunScript(std::string(kPasswordForm) +
                        "Define {\nCopy=$(Pass)\n}\n"
                        "Expand {\nTyped=$(Pass)\nDefine {\nLiteral=$(Typed)\n}\n}\n"
                        "Define {\nPiece=$(After:$(Pass):9)\n}\n"));
  EXPECT_EQ(Value("Literal"), kPassword);
  EXPECT_TRUE(IsSecret("Literal"));  // a copy of a secret is a secret
  // An error that quotes the expanded value, the clipboard, and a program's parameter; each may
  // fail here (no such folder, no clipboard, no such program), which is not what is tested.
  (void)RunScript("OpenFolder {\nParameter=$(Copy)\n}\n");
  (void)RunScript("ToClipboard {\nParameter=$(Literal)\n}\n");
  (void)RunScript("Shell {\nCommand=no-such-program-here\nParameter=--key=$(Copy) $(After:$(Pass):9)\n}\n");
  log.Stop();

  const std::string bytes = Bytes(path);
  ASSERT_FALSE(bytes.empty());
  const RawString password = RawString::FromUtf8(kPassword);
  const RawString piece = RawString::FromUtf8("Gr\xC3\xBCn-77");
  for (const RawString& secret : {password, piece}) {
    for (const RawLayer::TextCode code :
         {RawLayer::CodeUtf8, RawLayer::CodeAnsi, RawLayer::CodeUtf16Little, RawLayer::CodeUtf16Big}) {
      const RawString form = secret.Convert(code);
      const std::string formBytes(form.Data(), static_cast<size_t>(form.Length()) * RawLayer::UnitSize(code));
      EXPECT_EQ(bytes.find(formBytes), std::string::npos) << "code " << code << " in\n" << bytes;
    }
  }
  // The records are there, with stars in the secret's place.
  EXPECT_NE(bytes.find("|$ Success (***)"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("#Error:UnexpectedParameter"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("[Literal=***]"), std::string::npos) << bytes;  // the command Expand filled in
}

// The console screen reads a password without echo, and shows neither its initial text nor hints.
class ScriptedTerminal : public JobTerminal {
 public:
  bool IsAttached() override { return true; }
  bool ReadLine(std::string& line) override { return Next(line, "plain"); }
  bool ReadSecretLine(std::string& line) override { return Next(line, "secret"); }
  void Write(const std::string& text) override { written += text; }

  std::vector<std::string> lines;
  std::vector<std::string> reads;
  std::string written;

 private:
  bool Next(std::string& line, const char* how) {
    if (lines.empty()) return false;
    line = lines.front();
    lines.erase(lines.begin());
    reads.push_back(how);
    return true;
  }
};

TEST(SecretConsoleTest, APasswordIsReadWithoutEchoAndItsInitialTextIsNotShown) {
  ScriptedTerminal terminal;
  terminal.lines = {"typed secret", "", "name", ""};
  JobConsoleScreen screen(terminal);
  std::vector<JobInputField> fields(3);
  fields[0].label = "Password";
  fields[0].secret = true;
  fields[1].label = "Old password";
  fields[1].secret = true;
  fields[1].initial = "previous-one";
  fields[2].label = "Name";
  std::vector<RawString> texts;
  ASSERT_TRUE(screen.Input("Sign in", fields, texts));
  EXPECT_EQ(terminal.reads, (std::vector<std::string>{"secret", "secret", "plain", "plain"}));
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0].ToUtf8(), "typed secret");
  EXPECT_EQ(texts[1].ToUtf8(), "previous-one");  // an empty line keeps the initial text
  EXPECT_EQ(texts[2].ToUtf8(), "name");
  EXPECT_EQ(terminal.written.find("previous-one"), std::string::npos) << terminal.written;
}

}  // namespace
}  // namespace JobLayer
