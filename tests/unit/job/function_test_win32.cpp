// The window functions against a real top-level window of this program.
#include <windows.h>

#include <gtest/gtest.h>

#include "job/functions.h"

namespace JobLayer {
namespace {

using RawLayer::RawString;

class TestWindow {
 public:
  TestWindow(const wchar_t* className, const wchar_t* title) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassW(&windowClass);
    handle_ = CreateWindowExW(0, className, title, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                              windowClass.hInstance, nullptr);
  }
  ~TestWindow() {
    if (handle_ != nullptr) DestroyWindow(handle_);
  }
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;
  HWND Handle() const { return handle_; }

 private:
  HWND handle_ = nullptr;
};

std::string Expand(const char* text) {
  return ExpandVariables(RawString::FromUtf8(text), JobTraceId::User()).text.ToUtf8();
}

TEST(FunctionWindowTest, FindsTheWindowByClassAndTitleWithCase) {
  TestWindow window(L"KestrelVariableTestClass", L"Variable Test Title");
  ASSERT_NE(window.Handle(), nullptr);
  JobVariableList::Instance().Set("Missing", "(none)");
  RawString handle;
  handle.AppendNumber(reinterpret_cast<uintptr_t>(window.Handle()), 16);

  EXPECT_EQ(Expand("$(IsWindow:KestrelVariableTestClass)"), "True");
  EXPECT_EQ(Expand("$(IsWindow:KestrelVariable*:Variable Test Title)"), "True");
  EXPECT_EQ(Expand("$(IsWindow::Variable Test T?tle)"), "True");
  EXPECT_EQ(Expand("$(IsWindow:kestrelvariabletestclass)"), "False");  // class names keep their case
  EXPECT_EQ(Expand("$(IsWindow:KestrelVariableTestClass:Other Title)"), "False");
  EXPECT_EQ(Expand("$(Window:KestrelVariableTestClass:Variable Test Title)"), handle.ToUtf8());
  EXPECT_EQ(Expand("$(Window:KestrelVariableTestClass:variable test title)"), "(none)");
}

}  // namespace
}  // namespace JobLayer
