#include "win/tip_window.h"

#include <gtest/gtest.h>

#include <string>

namespace WinLayer {
namespace {

std::wstring TextOf(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

LOGFONTW TipFont() {
  LOGFONTW font{};
  font.lfHeight = 12;
  font.lfCharSet = DEFAULT_CHARSET;
  return font;
}

RECT WindowRect(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

TEST(TipWindowTest, LivesOnItsOwnThreadAndTakesNewTexts) {
  WinTipWindow tip;
  EXPECT_FALSE(tip.IsOpen());
  ASSERT_TRUE(tip.Show(L"First tip", {200, 150}, TipFont()));
  const HWND window = tip.Handle();
  ASSERT_NE(window, nullptr);
  // Show returns once the window is up.
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(TextOf(window), L"First tip");
  const DWORD thread = GetWindowThreadProcessId(window, nullptr);
  EXPECT_NE(thread, GetCurrentThreadId());
  EXPECT_NE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  const RECT first = WindowRect(window);
  EXPECT_EQ(first.left, 200);
  EXPECT_GT(first.top, 150);  // below the cursor

  // A second show moves the same window and gives it the new text; a longer text is wider,
  // a text of two lines taller.
  ASSERT_TRUE(tip.Show(L"A much longer second tip", {300, 160}, TipFont()));
  EXPECT_EQ(tip.Handle(), window);
  EXPECT_EQ(GetWindowThreadProcessId(window, nullptr), thread);
  EXPECT_EQ(TextOf(window), L"A much longer second tip");
  const RECT second = WindowRect(window);
  EXPECT_EQ(second.left, 300);
  EXPECT_GT(second.right - second.left, first.right - first.left);
  ASSERT_TRUE(tip.Show(L"two\nlines", {300, 160}, TipFont()));
  EXPECT_GT(WindowRect(window).bottom - WindowRect(window).top, first.bottom - first.top);

  tip.Close();
  EXPECT_FALSE(tip.IsOpen());
  EXPECT_EQ(tip.Handle(), nullptr);
  EXPECT_FALSE(IsWindow(window));

  // Closed tips open again on a new thread; closing twice is harmless.
  tip.Close();
  ASSERT_TRUE(tip.Show(L"Again", {200, 150}, TipFont()));
  EXPECT_TRUE(IsWindowVisible(tip.Handle()));
  EXPECT_EQ(TextOf(tip.Handle()), L"Again");
}

TEST(TipWindowTest, StaysOnTheWorkAreaAndGoesWithItsOwner) {
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  HWND window = nullptr;
  {
    WinTipWindow tip;
    ASSERT_TRUE(tip.Show(L"At the corner of the screen", {work.right - 2, work.bottom - 2}, TipFont()));
    window = tip.Handle();
    const RECT rect = WindowRect(window);
    EXPECT_LE(rect.right, work.right);
    EXPECT_LE(rect.bottom, work.bottom);
    EXPECT_LE(rect.bottom, work.bottom - 2);  // above the cursor when there is no room below
  }
  EXPECT_FALSE(IsWindow(window));
}

// The owner's thread sending a new text while the tip repaints must not wait on each other.
TEST(TipWindowTest, ManyTextsInARow) {
  WinTipWindow tip;
  for (int i = 0; i < 50; ++i) {
    const std::wstring text = L"Tip " + std::to_wstring(i);
    ASSERT_TRUE(tip.Show(text, {100 + i, 100}, TipFont()));
    ASSERT_EQ(TextOf(tip.Handle()), text);
  }
  const HWND window = tip.Handle();
  tip.Close();
  EXPECT_FALSE(IsWindow(window));
}

}  // namespace
}  // namespace WinLayer
