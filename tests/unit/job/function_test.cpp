#include "job/functions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "job/screen.h"
#include "raw/clipboard.h"
#include "raw/file.h"
#include "raw/path.h"
#include "raw/process.h"
#include "tests/unit/job/fake_screen.h"

namespace JobLayer {
namespace {

using RawLayer::RawString;
using testing_support::FakeScreen;

JobVariableList& List() { return JobVariableList::Instance(); }

struct Row {
  std::string text;
  std::string expected;
  const char* error = "";  // the first line of the one reported error, or "" for none
};

class FunctionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    List().SaveAll();
    List().Set("Missing", "");
    List().Set("KeyState", "LButton,LShift");
    List().Set("fP", "C:\\a\\b.tar.gz");
  }
  void TearDown() override { List().RestoreAll(); }

  // A failing function expands to the empty text and the expansion goes on: the state of the
  // whole expansion stays "Success".
  void Check(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
      SCOPED_TRACE(row.text);
      errors.messages.clear();
      const JobVariableResult result = ExpandVariables(RawString::FromUtf8(row.text), JobTraceId::User());
      EXPECT_EQ(result.state, VariableSuccess);
      EXPECT_EQ(result.text.ToUtf8(), row.expected);
      if (row.error[0] == '\0') {
        EXPECT_TRUE(errors.messages.empty()) << (errors.messages.empty() ? "" : errors.messages[0]);
      } else {
        EXPECT_EQ(errors.Heads(), std::vector<std::string>{row.error});
      }
    }
  }

  // Evaluates one function directly, for the state that an expansion does not pass on.
  int32_t StateOf(const char* name, const std::vector<const char*>& arguments) {
    RawLayer::RawStringList segments;
    segments.Add(RawString::FromUtf8(name));
    for (const char* argument : arguments) segments.Add(RawString::FromUtf8(argument));
    JobVariableExpander expander(List(), JobTraceId::User());
    const RawString text("$(reference)");
    JobVariableArgument argument(expander, segments, RawString::FromUtf8(name), text, 0, text.Length());
    JobVariableResult result;
    List().Find(RawString::FromUtf8(name))->Evaluate(result, argument);
    EXPECT_TRUE(result.text.IsEmpty());
    return result.state;
  }

  FakeScreen errors;
};

constexpr const char* kTooFew = "Too few variable arguments !";
constexpr const char* kFormat = "Incorrect number format !";
constexpr const char* kRange = "Number is out of range !";
constexpr const char* kInvalidArgument = "Invalid variable argument !";

TEST(FunctionTableTest, ThirtyNineFunctionsInRegistrationOrder) {
  const char* const names[] = {
      "Not",     "Equal",    "EqualNoCase", "<",         ">",         "<=",        ">=",        "==",
      "!=",      "&&",       "||",          "Calc",      "Length",    "Body",      "BodyEx",    "Base",
      "Extension", "Before", "After",       "Code",      "IsMissing", "Path",      "IsFile",    "IsFolder",
      "IsProcess", "IsWindow", "File",      "FileCount", "Folder",    "FolderCount", "Process", "Window",
      "IsDefined", "Cond",   "CondDef",     "IsKey",     "StripQuote", "Replace",  "Clipboard",
  };
  int32_t count = 0;
  JobVariableUnit** table = VariableFunctionTable(count);
  ASSERT_EQ(count, 39);
  for (int32_t i = 0; i < count; ++i) {
    EXPECT_EQ(table[i]->Name().ToUtf8(), names[i]);
    EXPECT_EQ(JobVariableList::Instance().Find(RawString::FromUtf8(names[i])), table[i]);
    EXPECT_EQ(table[i]->Flags() & JobVariableUnit::kUserVariable, 0);
  }
}

TEST_F(FunctionTest, Comparisons) {
  Check({
      {"$(Not:)", "True"},
      {"$(Not:false)", "True"},
      {"$(Not:0)", "False"},
      {"$(Not:x)", "False"},
      {"$(Not)", "", kTooFew},
      {"$(Equal:a:a)", "True"},
      {"$(Equal:a:A)", "False"},
      {"$(Equal::)", "True"},
      {"$(Equal:a)", "", kTooFew},
      {"$(EqualNoCase:aBc:AbC)", "True"},
      {"$(EqualNoCase:ab:abc)", "False"},
      {"$(==:10:0x0A)", "True"},
      {"$(<:-1:0)", "True"},
      {"$(<:1:x)", "", kFormat},
      {"$(<:1:)", "False"},  // the empty text is 0
      {"$(>:+2:0b1)", "True"},
      {"$(<=:5:5)", "True"},
      {"$(>=:4:5)", "False"},
      {"$(!=:1:1)", "False"},
      {"$(<:-9223372036854775808:9223372036854775807)", "True"},
      {"$(==:18446744073709551616:0)", "True"},  // wraps in 64 bits
      {"$(==:-:0)", "", kFormat},
      {"$(==:1)", "", kTooFew},
  });
}

TEST_F(FunctionTest, LogicAndConditionsExpandOnlyWhatTheyUse) {
  // "$(Code:0)" reports an error whenever it is expanded.
  Check({
      {"$(&&)", "True"},
      {"$(||)", "False"},
      {"$(&&:True:0:x)", "True"},
      {"$(&&:a:FALSE:b)", "False"},
      {"$(&&:False:$(Code:0))", "False"},
      {"$(&&:True:$(Code:0))", "False", kInvalidArgument},
      {"$(||:false::x)", "True"},
      {"$(||:False:)", "False"},
      {"$(||:x:$(Code:0))", "True"},
      {"$(Cond:True:yes:$(Code:0))", "yes"},
      {"$(Cond::$(Code:0):no)", "no"},
      {"$(Cond:x:yes)", "yes"},
      {"$(Cond:False:yes)", "", kTooFew},
      {"$(CondDef:Calc:yes:$(Code:0))", "yes"},
      {"$(CondDef:NoSuchName:$(Code:0):no)", "no"},
      {"$(CondDef:fP:yes:no)", "yes"},
      {"$(IsDefined:Replace)", "True"},
      {"$(IsDefined:fP)", "True"},
      {"$(IsDefined:NoSuchName)", "False"},
      {"$(IsDefined:)", "False"},
      {"$(IsMissing:)", "True"},
      {"$(IsMissing:x)", "False"},
      {"$(IsKey:lshift)", "True"},
      {"$(IsKey:RShift:LControl)", "False"},
      {"$(IsKey:RShift:lbutton)", "True"},
      {"$(IsKey:LShift:$(Code:0))", "True"},
      {"$(IsKey)", "False"},
  });
  List().Set("Missing", "none");
  Check({{"$(IsMissing:none)", "True"}, {"$(IsMissing:)", "False"}});

  // Every argument is reached directly, so a hundred thousand of them take linear time.
  std::string many;
  for (int i = 0; i < 100000; ++i) many += ":x";
  Check({{"$(&&" + many + ")", "True"}, {"$(||" + many + ":)", "True"}, {"$(IsKey" + many + ":LButton)", "True"}});
}

TEST_F(FunctionTest, TextFunctions) {
  Check({
      {"$(Length:abc)", "3"},
      {"$(Length:)", "0"},
      {"$(Length:\xc3\xa9)", "2"},  // code units
      {"$(Before:abc:2)", "ab"},
      {"$(Before:abc:0)", ""},
      {"$(Before:abc:5)", "abc"},
      {"$(Before:abc:9223372036854775807)", "abc"},
      {"$(Before:abc:-1)", "", kRange},
      {"$(Before:abc:18446744073709551615)", "", kRange},  // wraps to -1
      {"$(Before:abc:x)", "", kFormat},
      {"$(Before:abc)", "", kTooFew},
      {"$(After:abc:1)", "bc"},
      {"$(After:abc:3)", ""},
      {"$(After:abc:5)", ""},
      {"$(After:abc:0x7FFFFFFFFFFFFFFF)", ""},
      {"$(After:abc:4294967297)", ""},  // beyond 32 bits, not cut to 1
      {"$(After:abc:-0)", "abc"},
      {"$(Code:36)A", "$A"},
      {"$(Code:0x41)", "A"},
      {"$(Code:233)", "\xc3\xa9"},
      {"$(Code:0x20AC)", "\xe2\x82\xac"},
      {"$(Code:0x1F600)", "\xf0\x9f\x98\x80"},
      {"$(Code:0)", "", kInvalidArgument},
      {"$(Code:0xD800)", "", kInvalidArgument},
      {"$(Code:0x110000)", "", kInvalidArgument},
      {"$(Code:4294967332)", "", kInvalidArgument},
      {"$(Code:-36)", "", kRange},
      {"$(StripQuote:\"\"a\"b\"\")", "a\"b"},
      {"$(StripQuote:\"\"\"\")", ""},
      {"$(StripQuote:a b)", "a b"},
      {"$(Calc:1+2*3)", "7"},
      {"$(Calc:0x10)", "0x10"},
      {"$(Calc:7/0)", ""},  // no message: the log shows the state
      {"$(Calc:3*-2)", ""},
      {"$(Calc)", "", kTooFew},
  });
  List().Set("fE", "(1+2)*(3+4)");
  Check({{"$(Calc:$(fE))", "21"}});
}

// The leftmost occurrence is replaced until none remains; a replacement that holds the search
// text, which would never end that way, is done in one pass from left to right instead.
TEST_F(FunctionTest, Replace) {
  Check({
      {"$(Replace:aaa:aa:b)", "ba"},
      {"$(Replace:x::y)", "x"},
      {"$(Replace:abc:z:y)", "abc"},
      {"$(Replace:a-b-c:-:+)", "a+b+c"},
      {"$(Replace:aabb:ab:)", ""},     // each removal makes a new occurrence
      {"$(Replace:aaabb:ab:b)", "bb"},  // a new occurrence before the replaced one
      {"$(Replace:xab:ab:a)", "xa"},
      {"$(Replace:abc:b:bb)", "abbc"},
      {"$(Replace:aXa:a:aa)", "aaXaa"},
      {"$(Replace:aaa:a:aa)", "aaaaaa"},
      {"$(Replace:ab:ab:xaby)", "xaby"},
      {"$(Replace:abc:b)", "", kTooFew},
  });
  // A long text of occurrences stays quick: each character is read a bounded number of times.
  List().Set("fLong", RawString::FromUtf8(std::string(200000, 'a') + "b"));
  Check({{"$(Length:$(Replace:$(fLong):ab:b))", "1"}});
  // Nested replacements that double a text are stopped before they exhaust the memory.
  std::string doubling = "$(Length:";
  for (int i = 0; i < 30; ++i) doubling += "$(Replace:";
  doubling += "a";
  for (int i = 0; i < 30; ++i) doubling += ":a:aa)";
  doubling += ")";
  errors.messages.clear();
  const JobVariableResult result = ExpandVariables(RawString::FromUtf8(doubling), JobTraceId::User());
  EXPECT_EQ(result.state, VariableSuccess);
  EXPECT_EQ(result.text.ToUtf8(), "0");
  ASSERT_FALSE(errors.messages.empty());
  EXPECT_EQ(errors.Heads()[0], kInvalidArgument);
}

TEST_F(FunctionTest, PathParts) {
  Check({
      {"$(Body:$(fP))", "b.tar"},
      {"$(Extension:$(fP))", "gz"},
      {"$(Base:$(fP))", "C:\\a"},
      {"$(BodyEx:$(fP))", "b.tar.gz"},
      {"$(Extension:a.b\\c)", ""},
      {"$(Body:a.b\\c)", "c"},
      {"$(Base:file)", ""},
      {"$(BodyEx:file)", "file"},
      {"$(Body:/x/.profile)", ""},
      {"$(Extension:/x/.profile)", "profile"},
      {"$(Body:a/b/)", ""},
      {"$(Base:a/b/)", "a/b"},
      {"$(Base:/top)", ""},
      {"$(Body:)", ""},
      {"$(Body)", "", kTooFew},
  });
}

TEST_F(FunctionTest, PathKeywords) {
  SetConfigFilePath("/profiles/kestrel.ini");
  Check({
      {"$(Path:ConfigFile)", "/profiles/kestrel.ini"},
      {"$(Path:temp)", "", kInvalidArgument},
      {"$(Path:)", "", kInvalidArgument},
      {"$(Path)", "", kTooFew},
  });
  EXPECT_EQ(StateOf("Path", {"temp"}), VariableUnknown);
  errors.messages.clear();
  const auto expand = [](const char* text) {
    return ExpandVariables(RawString::FromUtf8(text), JobTraceId::User()).text;
  };
  const RawString temp = expand("$(Path:Temp)");
  ASSERT_FALSE(temp.IsEmpty());
  EXPECT_NE(temp.UnitAt(temp.Length() - 1), '/');
  EXPECT_NE(temp.UnitAt(temp.Length() - 1), '\\');
  EXPECT_EQ(expand("$(Path:Launcher)"), RawLayer::ModulePath());
  EXPECT_EQ(expand("$(Path:User)"), RawLayer::ApplicationDataFolder());
  EXPECT_FALSE(expand("$(Path:HostName)").IsEmpty());
  EXPECT_FALSE(expand("$(Path:UserName)").IsEmpty());
  EXPECT_TRUE(errors.messages.empty());
}

TEST_F(FunctionTest, FilesAndFoldersWithWildcards) {
  RawString dir(KESTREL_TEST_TMP_DIR);
  dir.Append(RawString(dir.Code(), RawString("/function_files")));
  const auto path = [&](const char* name) {
    RawString full = dir;
    full.Append(RawString("/"));
    full.Append(RawString::FromUtf8(name));
    return full;
  };
  ASSERT_TRUE(RawLayer::EnsureFolder(path("sub")));
  for (const char* name : {"one.txt", "two.txt", "three.log", "sub/inner.txt"}) {
    RawLayer::RawFile file;
    ASSERT_TRUE(file.OpenWrite(path(name)));
  }
  List().Set("fDir", dir);
  List().Set("Missing", "(none)");
  const std::string d = dir.ToUtf8();
  Check({
      {"$(IsFile:$(fDir)/one.txt)", "True"},
      {"$(IsFile:$(fDir)/sub)", "False"},
      {"$(IsFolder:$(fDir)/sub)", "True"},
      {"$(IsFolder:$(fDir)/one.txt)", "False"},
      {"$(IsFile:$(fDir)/nothing.txt)", "False"},
      {"$(IsFile:$(fDir)/*.log)", "True"},
      {"$(IsFile:$(fDir)/S?B/*.TXT)", "True"},
      {"$(IsFolder:$(fDir)/s*)", "True"},
      {"$(File:$(fDir)/t*.LOG)", d + "/three.log"},
      {"$(File:$(fDir)/@th.*)", d + "/three.log"},
      {"$(Folder:$(fDir)/?ub)", d + "/sub"},
      {"$(File:$(fDir)/sub)", "(none)"},
      {"$(File:$(fDir)/*.none)", "(none)"},
      {"$(Folder:$(fDir)/nomatch*/inner.txt)", "(none)"},
      {"$(FileCount:$(fDir)/*.txt)", "2"},
      {"$(FileCount:$(fDir)/*)", "3"},
      {"$(FileCount:$(fDir)/s*/*.TXT)", "1"},
      {"$(FileCount:$(fDir)/x*/*.txt)", "0"},
      {"$(FolderCount:$(fDir)/*)", "1"},
      {"$(FolderCount:$(fDir)/*.txt)", "0"},
      {"$(FileCount)", "", kTooFew},
  });
}

TEST_F(FunctionTest, ProcessesWindowsAndTheClipboard) {
  List().Set("Missing", "(none)");
  // This program's file name, as a pattern in upper case.
  const RawString module = RawLayer::ModulePath();
  const RawString name = module.Sub({module.FindLastSeparator() + 1, module.Length()});
  std::string upper = name.ToUtf8();
  for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  List().Set("fSelf", RawString::FromUtf8(upper));
  const RawString own = RawLayer::FindProcess(name);
  ASSERT_FALSE(own.IsEmpty());
  Check({
      {"$(IsProcess:$(fSelf))", "True"},
      {"$(Process:$(fSelf))", own.ToUtf8()},
      {"$(IsProcess:no_such_program_*.none)", "False"},
      {"$(Process:no_such_program_*.none)", "(none)"},
      {"$(IsWindow:NoSuchWindowClass_x1)", "False"},
      {"$(IsWindow:NoSuchWindowClass_x1:Title)", "False"},
      {"$(Window:NoSuchWindowClass_x1)", "(none)"},
      {"$(IsProcess)", "", kTooFew},
      {"$(Window)", "", kTooFew},
  });
  ASSERT_TRUE(RawLayer::SetClipboardText(RawString::FromUtf8("clip \xc3\xa9 $(text)")));
  // The clipboard's references are expanded by the rescan like any value's.
  List().Set("text", "board");
  Check({{"$(Clipboard)", "clip \xc3\xa9 board"}, {"$(Clipboard:ignored)", "clip \xc3\xa9 board"}});
}

}  // namespace
}  // namespace JobLayer
