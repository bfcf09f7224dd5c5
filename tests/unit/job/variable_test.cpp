#include "job/variable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "job/functions.h"
#include "job/log.h"
#include "job/screen.h"
#include "raw/file.h"
#include "tests/unit/job/fake_screen.h"

namespace JobLayer {
namespace {

using RawLayer::RawString;
using testing_support::FakeScreen;

JobVariableList& List() { return JobVariableList::Instance(); }

JobVariableResult Expand(const RawString& text) { return ExpandVariables(text, JobTraceId::User()); }
JobVariableResult Expand(const std::string& text) { return Expand(RawString::FromUtf8(text)); }

std::string Repeat(const std::string& part, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += part;
  return text;
}

// Every case begins with the same variables and leaves the values it found.
class VariableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    List().SaveAll();
    List().Set("vA", "alpha");
    List().Set("vB", "beta");
    List().Set("vN", "vA");
    List().Set("vRef", "<$(vA)>");
    List().Set("vSelf", "$(vSelf)");
    List().Set("vDollar", "$");
    List().Set("vEmpty", "");
  }
  void TearDown() override { List().RestoreAll(); }
  FakeScreen errors;
};

struct ExpansionRow {
  const char* text;
  int32_t state;
  const char* expected;
  const char* error;  // the first line of the one reported error, or "" for none
};

TEST_F(VariableTest, ReferenceSyntaxAndRescanning) {
  const ExpansionRow rows[] = {
      {"no reference here", VariableSuccess, "no reference here", ""},
      {"a $ b $x (c)", VariableSuccess, "a $ b $x (c)", ""},
      {"$$(vA)", VariableSuccess, "$alpha", ""},
      {"[$(vA)][$(vB)]", VariableSuccess, "[alpha][beta]", ""},
      {"$(vA))", VariableSuccess, "alpha)", ""},
      {"x$(NoSuchName)y", VariableSuccess, "xy", ""},
      {"$(vEmpty)", VariableSuccess, "", ""},
      {"$($(vN))", VariableSuccess, "alpha", ""},
      {"$(v$(vEmpty)A)", VariableSuccess, "alpha", ""},
      {"$(vRef)", VariableSuccess, "<alpha>", ""},
      // A lone "(" does not nest: the first ")" ends the reference.
      {"$(StripQuote:(a))", VariableSuccess, "(a)", ""},
      // A "$" left before a value that begins with "(" makes a new reference.
      {"$(vDollar)(vA)", VariableSuccess, "alpha", ""},
      {"$(Code:36)A", VariableSuccess, "$A", ""},
      {"$(Length:)", VariableSuccess, "0", ""},
      {"$(vA", VariableInvalid, "$(vA", "Unbalanced variable block !"},
      {"$(", VariableInvalid, "$(", "Unbalanced variable block !"},
      {"$(vA)$(vB", VariableInvalid, "alpha$(vB", "Unbalanced variable block !"},
      {"$($(vA)", VariableInvalid, "$($(vA)", "Unbalanced variable block !"},
      {"$(Code:36)$(Code:40)", VariableInvalid, "$(", "Unbalanced variable block !"},
      {"$()", VariableInvalid, "$()", "Variable name is missing !"},
      {"$(:a)", VariableInvalid, "$(:a)", "Variable name is missing !"},
      {"$(vA)$($(NoSuch))", VariableInvalid, "alpha$($(NoSuch))", "Variable name is missing !"},
      {"$(vSelf)", VariableOverflow, "", "Too many variable expansions !"},
      {"$(Length)", VariableSuccess, "", "Too few variable arguments !"},
  };
  for (const ExpansionRow& row : rows) {
    SCOPED_TRACE(row.text);
    errors.messages.clear();
    const JobVariableResult result = Expand(std::string(row.text));
    EXPECT_EQ(result.state, row.state);
    EXPECT_EQ(result.text.ToUtf8(), row.expected);
    if (row.error[0] == '\0') {
      EXPECT_TRUE(errors.messages.empty());
    } else {
      EXPECT_EQ(errors.Heads(), std::vector<std::string>{row.error});
    }
  }
}

// A name whose own expansion fails keeps the reference as written; the inner error is the only one.
TEST_F(VariableTest, FailedNameStopsTheExpansion) {
  const JobVariableResult result = Expand(std::string("$(vA)$($(vSelf))"));
  EXPECT_EQ(result.state, VariableInvalid);
  EXPECT_EQ(result.text.ToUtf8(), "alpha$($(vSelf))");
  EXPECT_EQ(errors.Heads(), std::vector<std::string>{"Too many variable expansions !"});
}

TEST_F(VariableTest, NinetyNineSubstitutionsAndNoMore) {
  const JobVariableResult full = Expand(Repeat("$(vA)", 99));
  EXPECT_EQ(full.state, VariableSuccess);
  EXPECT_EQ(full.text.ToUtf8(), Repeat("alpha", 99));
  EXPECT_TRUE(errors.messages.empty());

  const JobVariableResult over = Expand(Repeat("$(vA)", 100));
  EXPECT_EQ(over.state, VariableOverflow);
  EXPECT_TRUE(over.text.IsEmpty());
  EXPECT_EQ(errors.Heads(), std::vector<std::string>{"Too many variable expansions !"});
}

TEST_F(VariableTest, DeepNestingIsBoundedAndLeavesTheTextAsWritten) {
  const int kDeep = 100000;
  const std::string names = Repeat("$(", kDeep) + "vA" + Repeat(")", kDeep);
  const std::string arguments = "x" + Repeat("$(Not:", kDeep) + Repeat(")", kDeep);
  const std::string unbalanced = Repeat("$(", kDeep);
  for (const std::string& text : {names, arguments}) {
    errors.messages.clear();
    const JobVariableResult result = Expand(text);
    EXPECT_EQ(result.state, VariableInvalid);
    EXPECT_TRUE(result.text.ToUtf8() == text);
    EXPECT_EQ(errors.Heads(), std::vector<std::string>{"Too many variable expansions !"});
  }
  errors.messages.clear();
  EXPECT_EQ(Expand(unbalanced).state, VariableInvalid);
  EXPECT_EQ(errors.Heads(), std::vector<std::string>{"Unbalanced variable block !"});

  // Recursion through a function's argument stops the same way.
  List().Set("vLoop", "$(Not:$(vLoop))");
  errors.messages.clear();
  const JobVariableResult loop = Expand(std::string("$(vLoop)"));
  EXPECT_EQ(loop.state, VariableInvalid);
  EXPECT_EQ(loop.text.ToUtf8(), "$(Not:$(vLoop))");
  EXPECT_EQ(errors.Heads(), std::vector<std::string>{"Too many variable expansions !"});

  // Nesting well inside the bound works.
  errors.messages.clear();
  const JobVariableResult shallow = Expand(Repeat("$(Not:", 41) + Repeat(")", 41));
  EXPECT_EQ(shallow.state, VariableSuccess);
  EXPECT_EQ(shallow.text.ToUtf8(), "True");
  EXPECT_TRUE(errors.messages.empty());
}

// Shift_JIS lead bytes take the next byte with them, whatever it is: a trail byte equal to "$",
// "(", ")" or ":" is never syntax.
TEST_F(VariableTest, ShiftJisIsScannedByWholeCharacters) {
  struct Row {
    std::string text;
    std::string expected;
  };
  const Row rows[] = {
      {"\x81$(vA)", "\x81$(vA)"},            // "$" is a trail byte: no reference
      {"\x82\xa0$(vA)", "\x82\xa0" "alpha"},  // a real reference after a whole character
      {"$(Length:\x81))", "2"},              // ")" inside the argument
      {"$(Length:\x81:)", "2"},              // ":" inside the argument
      {"$(vA:\x81\x40)", "alpha"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.expected);
    errors.messages.clear();
    const RawString text = RawString::FromUnits(RawLayer::CodeShiftJis, row.text.data(), static_cast<int32_t>(row.text.size()));
    const JobVariableResult result = Expand(text);
    EXPECT_EQ(result.state, VariableSuccess);
    EXPECT_EQ(result.text.Code(), RawLayer::CodeShiftJis);
    EXPECT_EQ(std::string(result.text.View()), row.expected);
    EXPECT_TRUE(errors.messages.empty());
  }
  // A lead byte takes the ")" that would end the reference.
  const std::string open = "$(vA:\x81)";
  EXPECT_EQ(Expand(RawString::FromUnits(RawLayer::CodeShiftJis, open.data(), static_cast<int32_t>(open.size()))).state,
            VariableInvalid);
  EXPECT_EQ(errors.Heads(), std::vector<std::string>{"Unbalanced variable block !"});
}

TEST_F(VariableTest, SetKeepsThePlaceAndFunctionsCannotBeReplaced) {
  const int32_t count = List().UnitCount();
  List().Set("vA", "changed");
  EXPECT_EQ(List().UnitCount(), count);
  EXPECT_EQ(List().ValueOf("vA").ToUtf8(), "changed");
  JobVariableUnit* unit = List().Find("vA");
  ASSERT_NE(unit, nullptr);
  EXPECT_EQ(List().FlagsOf(*unit), JobVariableUnit::kUserVariable | JobVariableUnit::kAssigned);
  EXPECT_EQ(List().Find("va"), nullptr);  // names compare with case

  List().Set("Not", "stored");
  EXPECT_EQ(List().UnitCount(), count);
  EXPECT_EQ(Expand(std::string("$(Not:)")).text.ToUtf8(), "True");
  JobVariableUnit* function = List().Find("Not");
  ASSERT_NE(function, nullptr);
  EXPECT_EQ(List().FlagsOf(*function) & JobVariableUnit::kUserVariable, 0);

  // A name given in another code finds the same unit.
  EXPECT_EQ(List().Find(RawString(RawLayer::CodeShiftJis, RawString("vA"))), unit);
}

TEST_F(VariableTest, RestoreAllPutsEveryValueBack) {
  List().SaveAll();
  List().Set("vA", "during");
  List().Set("vMadeDuringRun", "new");
  List().RestoreAll();
  EXPECT_EQ(List().ValueOf("vA").ToUtf8(), "alpha");
  JobVariableUnit* made = List().Find("vMadeDuringRun");
  ASSERT_NE(made, nullptr);
  EXPECT_TRUE(List().ValueOf("vMadeDuringRun").IsEmpty());
  EXPECT_NE(List().FlagsOf(*made) & JobVariableUnit::kAssigned, 0);
  EXPECT_NE(List().FlagsOf(*List().Find("Calc")) & JobVariableUnit::kAssigned, 0);
}

TEST_F(VariableTest, LastExpansionState) {
  List().SetLastState(VariableSuccess);
  EXPECT_EQ(ExpandAndRecord("$(vA", JobTraceId::User()).state, VariableInvalid);
  EXPECT_EQ(List().LastState(), VariableInvalid);
  EXPECT_EQ(ExpandAndRecord("$(vA)", JobTraceId::User()).state, VariableSuccess);
  EXPECT_EQ(List().LastState(), VariableSuccess);
  EXPECT_EQ(VariableStateName(VariableOverflow).ToUtf8(), "Overflow");
  EXPECT_EQ(VariableStateName(VariableUnknown).ToUtf8(), "Unknown");
  EXPECT_EQ(VariableStateName(77).ToUtf8(), "Unknown");
}

TEST_F(VariableTest, TenThousandUserVariables) {
  const int kCount = 10000;
  const int32_t before = List().UnitCount();
  for (int i = 0; i < kCount; ++i) List().Set(RawString::FromUtf8("vMany" + std::to_string(i)), RawString::FromUtf8(std::to_string(i)));
  EXPECT_EQ(List().UnitCount(), before + kCount);
  for (int i = 0; i < kCount; i += 997) {
    EXPECT_EQ(List().ValueOf(RawString::FromUtf8("vMany" + std::to_string(i))).ToUtf8(), std::to_string(i));
  }
  EXPECT_EQ(Expand(std::string("$(vMany9999)-$(vMany0)")).text.ToUtf8(), "9999-0");
  // The chain keeps the order of first assignment.
  int seen = 0;
  for (const JobVariableUnit& unit : List()) {
    if (unit.Name().StartsWith("vMany")) {
      EXPECT_EQ(unit.Name().ToUtf8(), "vMany" + std::to_string(seen));
      ++seen;
    }
  }
  EXPECT_EQ(seen, kCount);
}

// Reads a whole file as bytes.
std::string ReadAll(const RawString& path) {
  RawLayer::RawFile file;
  std::string text;
  if (!file.OpenRead(path)) return text;
  char buffer[4096];
  int32_t got = 0;
  while (file.Read(buffer, sizeof buffer, got) && got > 0) text.append(buffer, static_cast<size_t>(got));
  return text;
}

// The text after "|" of the link records of one identity, in order.
std::vector<std::string> LinkTexts(const std::string& log, const std::string& self, std::string* caller) {
  std::vector<std::string> texts;
  size_t start = 0;
  while (start < log.size()) {
    size_t end = log.find("\r\n", start);
    if (end == std::string::npos) end = log.size();
    const std::string line = log.substr(start, end - start);
    start = end + 2;
    if (line.rfind("@" + self + ">", 0) != 0) continue;
    const size_t colon = line.find(':');
    *caller = line.substr(self.size() + 2, colon - self.size() - 2);
    texts.push_back(line.substr(line.find('|') + 1));
  }
  return texts;
}

// Each resolution is a traced "Variable" step: its reference when it opens, the state and the
// value when it closes, and the resolutions a function makes are steps under it.
TEST_F(VariableTest, ResolutionsAreLoggedUnderTheirCaller) {
  JobLogServer& log = JobLogServer::Instance();
  JobLogServer::Options options;
  options.folder = RawString(KESTREL_TEST_TMP_DIR);
  options.folder.Append(RawString(options.folder.Code(), RawString("/variable_log")));
  options.maxFiles = 1;
  log.SetDetail("V");
  ASSERT_TRUE(log.Start(options));
  const RawString path = log.FilePath();
  const JobTraceId first = JobTraceId::NextVariable();
  EXPECT_EQ(ExpandVariables("$(Not:$(vA))$(NoSuchName)", JobTraceId::Executor()).text.ToUtf8(), "False");
  log.Stop();
  log.SetDetail("UCPV");
  const std::string text = ReadAll(path);

  const auto id = [&](uint32_t offset) { return "Variable#" + std::to_string(first.number + offset); };
  std::string caller;
  EXPECT_EQ(LinkTexts(text, id(1), &caller), (std::vector<std::string>{"$(Not:$(vA))", "$ Success (False)"}));
  EXPECT_EQ(caller, "Executor");
  EXPECT_EQ(LinkTexts(text, id(2), &caller), (std::vector<std::string>{"$(vA)", "$ Success (alpha)"}));
  EXPECT_EQ(caller, id(1));
  EXPECT_EQ(LinkTexts(text, id(3), &caller), (std::vector<std::string>{"$(NoSuchName)", "$ Unknown ()"}));
  EXPECT_EQ(caller, "Executor");
}

TEST(VariableNumberTest, Format) {
  struct Row {
    const char* text;
    bool ok;
    int64_t value;
  };
  const Row rows[] = {
      {"", true, 0},
      {"42", true, 42},
      {"-42", true, -42},
      {"+7", true, 7},
      {"0x1F", true, 31},
      {"0b101", true, 5},
      {"-0x10", true, -16},
      {"0X10", false, 0},
      {"0x1g", false, 0},
      {"12a", false, 0},
      {" 1", false, 0},
      {"-", false, 0},
      {"+", false, 0},
      {"18446744073709551617", true, 1},  // wraps in 64 bits
      {"9223372036854775808", true, INT64_MIN},
      {"-9223372036854775808", true, INT64_MIN},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    int64_t value = -1;
    EXPECT_EQ(ParseVariableNumber(RawString::FromUtf8(row.text), value), row.ok);
    if (row.ok) {
      EXPECT_EQ(value, row.value);
    }
  }
}

TEST(VariableTruthTest, TrueAndFalseTexts) {
  EXPECT_FALSE(IsTrueText(""));
  EXPECT_FALSE(IsTrueText("False"));
  EXPECT_FALSE(IsTrueText("fALSE"));
  EXPECT_TRUE(IsTrueText("0"));
  EXPECT_TRUE(IsTrueText("False "));
  EXPECT_TRUE(IsTrueText("no"));
}

}  // namespace
}  // namespace JobLayer
