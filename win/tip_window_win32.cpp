#include "win/tip_window.h"

#include "raw/handle_win32.h"
#include "win/view.h"

namespace WinLayer {

using RawLayer::RawPaintDc;
using RawLayer::RawSelection;
using RawLayer::RawUniqueFont;
using RawLayer::RawWindowDc;

namespace {

constexpr int kPadding = 3;         // between the border and the text
constexpr int kBelowCursor = 20;    // the cursor's own height, roughly
constexpr UINT kTextFormat = DT_NOPREFIX | DT_LEFT | DT_TOP | DT_EXPANDTABS;

struct TipRequest {
  const std::wstring* text;
  POINT cursor;
};

// The tip itself: paints its window text in the tip colours and places itself beside a point.
class TipView : public WinView {
 public:
  explicit TipView(HFONT font) : font_(font) {}

  void Place(POINT cursor) {
    const std::wstring text = Text();
    RECT textRect{0, 0, 0, 0};
    {
      RawWindowDc screen(nullptr);
      RawSelection select(screen.get(), font_);
      DrawTextW(screen.get(), text.c_str(), static_cast<int>(text.size()), &textRect, kTextFormat | DT_CALCRECT);
    }
    RECT frame{0, 0, textRect.right + 2 * kPadding, textRect.bottom + 2 * kPadding};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(Handle(), GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(Handle(), GWL_EXSTYLE)));
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    int x = cursor.x;
    int y = cursor.y + kBelowCursor;
    if (x + width > work.right) x = work.right - width;
    if (x < work.left) x = work.left;
    // No room below: above the cursor instead.
    if (y + height > work.bottom) y = cursor.y - height;
    if (y < work.top) y = work.top;
    SetWindowPos(Handle(), HWND_TOPMOST, x, y, width, height, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    InvalidateRect(Handle(), nullptr, TRUE);
  }

 protected:
  bool HandleMessage(UINT message, WPARAM, LPARAM lParam, LRESULT& result) override {
    switch (message) {
      case kTipNewText: {
        const auto& request = *reinterpret_cast<const TipRequest*>(lParam);
        SetWindowTextW(Handle(), request.text->c_str());
        Place(request.cursor);
        result = 1;
        return true;
      }
      case WM_PAINT:
        Paint();
        result = 0;
        return true;
      case WM_ERASEBKGND:
        result = 1;
        return true;
      case WM_MOUSEACTIVATE:
        result = MA_NOACTIVATE;
        return true;
      case WM_DESTROY:
        PostQuitMessage(0);
        return false;
      default:
        return false;
    }
  }

 private:
  std::wstring Text() const {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(Handle())) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(Handle(), text.data(), static_cast<int>(text.size()))));
    return text;
  }

  void Paint() {
    RawPaintDc paint(Handle());
    RECT client;
    GetClientRect(Handle(), &client);
    FillRect(paint.get(), &client, GetSysColorBrush(COLOR_INFOBK));
    RawSelection select(paint.get(), font_);
    SetBkMode(paint.get(), TRANSPARENT);
    SetTextColor(paint.get(), GetSysColor(COLOR_INFOTEXT));
    InflateRect(&client, -kPadding, -kPadding);
    const std::wstring text = Text();
    DrawTextW(paint.get(), text.c_str(), static_cast<int>(text.size()), &client, kTextFormat);
  }

  HFONT font_;
};

}  // namespace

WinTipWindow::WinTipWindow() : worker_(*this) {}

WinTipWindow::~WinTipWindow() { Close(); }

bool WinTipWindow::Show(const std::wstring& text, POINT cursor, const LOGFONTW& font) {
  if (HWND window = Handle(); window != nullptr) {
    TipRequest request{&text, cursor};
    // Sent, not posted: the text lives on this thread's stack until the tip has taken it.
    SendMessageW(window, kTipNewText, 0, reinterpret_cast<LPARAM>(&request));
    return true;
  }
  // A thread whose window went by other means has ended or is ending.
  Close();
  {
    std::lock_guard<std::mutex> hold(lock_);
    ready_ = false;
    firstText_ = text;
    firstCursor_ = cursor;
    font_ = font;
  }
  if (!worker_.Start()) return false;
  std::unique_lock<std::mutex> hold(lock_);
  readyChanged_.wait(hold, [this] { return ready_; });
  return window_ != nullptr;
}

void WinTipWindow::Close() {
  if (HWND window = Handle(); window != nullptr) PostMessageW(window, WM_CLOSE, 0, 0);
  worker_.Wait();
  std::lock_guard<std::mutex> hold(lock_);
  window_ = nullptr;
}

bool WinTipWindow::IsOpen() const { return Handle() != nullptr; }

HWND WinTipWindow::Handle() const {
  std::lock_guard<std::mutex> hold(lock_);
  return window_;
}

void WinTipWindow::Worker::Run() { owner_.RunWindow(); }

void WinTipWindow::RunWindow() {
  std::wstring text;
  POINT cursor;
  LOGFONTW logFont;
  {
    std::lock_guard<std::mutex> hold(lock_);
    text = firstText_;
    cursor = firstCursor_;
    logFont = font_;
  }
  // The font outlives the window that draws with it.
  RawUniqueFont font(CreateFontIndirectW(&logFont));
  TipView view(font ? font.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
  WinViewCreate create;
  create.title = text.c_str();
  create.style = WS_POPUP | WS_BORDER;
  create.exStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
  const bool made = view.Create(create);
  if (made) view.Place(cursor);
  {
    std::lock_guard<std::mutex> hold(lock_);
    window_ = made ? view.Handle() : nullptr;
    ready_ = true;
  }
  readyChanged_.notify_all();
  if (!made) return;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  std::lock_guard<std::mutex> hold(lock_);
  window_ = nullptr;
}

}  // namespace WinLayer
