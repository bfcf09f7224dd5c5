#include "app/reload_hook.h"

#include <chrono>
#include <memory>
#include <string>

#include "app/settings.h"
#include "app/window_commands.h"
#include "job/log.h"

namespace AppLayer {

namespace {

constexpr DWORD kChangeFilter =
    FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_CREATION;
constexpr DWORD kBufferBytes = 32 * 1024;
// A window busy with a run's dialog is asked again after this long.
constexpr UINT kBusyRetryMs = 500;
constexpr UINT_PTR kBusyTimer = 0x4B52;  // "KR"

std::wstring Wide(const RawString& text) {
  const std::u16string units = text.ToWide();
  return std::wstring(units.begin(), units.end());
}

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool SameName(const wchar_t* a, size_t aLength, const std::wstring& b) {
  return CompareStringOrdinal(a, static_cast<int>(aLength), b.data(), static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// One watched folder: its handle, the pending read and the names of the files watched in it.
struct Folder {
  std::wstring path;
  std::vector<std::wstring> names;
  RawLayer::RawUniqueFile handle;
  RawLayer::RawUniqueKernelHandle event;
  OVERLAPPED overlapped{};
  std::unique_ptr<DWORD[]> buffer = std::make_unique<DWORD[]>(kBufferBytes / sizeof(DWORD));

  Folder() = default;
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  ~Folder() {
    if (handle) {
      CancelIo(handle.get());
      DWORD ignored = 0;
      // The read must be over before its buffer goes.
      (void)GetOverlappedResult(handle.get(), &overlapped, &ignored, TRUE);
    }
  }

  bool Open() {
    handle.reset(CreateFileW(path.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
    if (!handle) return false;
    event.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    return event && Read();
  }

  bool Read() {
    ResetEvent(event.get());
    overlapped = OVERLAPPED{};
    overlapped.hEvent = event.get();
    return ReadDirectoryChangesW(handle.get(), buffer.get(), kBufferBytes, FALSE, kChangeFilter, nullptr, &overlapped,
                                 nullptr) != 0;
  }

  // The read that ended: true when it names a watched file (or lost names: too many changes).
  bool TakeChanges() {
    DWORD bytes = 0;
    if (!GetOverlappedResult(handle.get(), &overlapped, &bytes, FALSE)) return true;
    if (bytes == 0) return true;
    bool relevant = false;
    const auto* base = reinterpret_cast<const BYTE*>(buffer.get());
    for (DWORD offset = 0;;) {
      const auto* info = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(base + offset);
      const size_t length = info->FileNameLength / sizeof(wchar_t);
      for (const std::wstring& name : names) relevant = relevant || SameName(info->FileName, length, name);
      if (info->NextEntryOffset == 0) break;
      offset += info->NextEntryOffset;
      if (offset >= bytes) break;
    }
    return relevant;
  }
};

}  // namespace

GuiFileStamp FileStampOf(const RawString& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return {};
  if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return {};
  GuiFileStamp stamp;
  stamp.exists = true;
  stamp.size = (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  stamp.writeTime = (static_cast<int64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
  return stamp;
}

GuiReloadWatch::GuiReloadWatch(const std::vector<RawString>& files, const RawString& launcherProfile)
    : files_(ProfilesAsRead()), judge_(files_, launcherProfile) {
  for (const RawString& file : files) files_.Add(file);
  stop_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

GuiReloadWatch::~GuiReloadWatch() {
  StopWatching();
}

void GuiReloadWatch::StartWatching(HWND window) {
  window_ = window;
  if (watching_ || !stop_) return;
  ResetEvent(stop_.get());
  RawLayer::SetRewriteObserver(&files_);
  watching_ = Start();
}

void GuiReloadWatch::StopWatching() {
  RawLayer::SetRewriteObserver(nullptr);
  if (!watching_) return;
  SetEvent(stop_.get());
  Wait();
  watching_ = false;
}

// The watcher thread: every folder's read and the stop event; a relevant change starts (or
// restarts) the settle time, and the end of it is posted to the window.
void GuiReloadWatch::Run() {
  std::vector<std::unique_ptr<Folder>> folders;
  for (const RawString& path : files_.Paths()) {
    const std::wstring full = Wide(path);
    const size_t cut = full.find_last_of(L"\\/");
    if (cut == std::wstring::npos) continue;
    const std::wstring folder = full.substr(0, cut == 0 ? 1 : cut);
    const std::wstring name = full.substr(cut + 1);
    Folder* home = nullptr;
    for (const auto& known : folders) {
      if (SameName(known->path.data(), known->path.size(), folder)) home = known.get();
    }
    if (home == nullptr) {
      folders.push_back(std::make_unique<Folder>());
      home = folders.back().get();
      home->path = folder;
    }
    home->names.push_back(name);
  }
  std::vector<HANDLE> waits{stop_.get()};
  std::vector<Folder*> open;
  for (const auto& folder : folders) {
    if (folder->Open()) {
      waits.push_back(folder->event.get());
      open.push_back(folder.get());
    }
  }
  // A save between the known stamps (taken when the window was made) and the reads above would
  // have no notification: one look now catches it.
  GuiSettle settle(kReloadSettleMs);
  settle.Note(NowMs() - kReloadSettleMs);
  while (true) {
    const int64_t wait = settle.WaitMs(NowMs());
    const DWORD result = WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(), FALSE,
                                                wait < 0 ? INFINITE : static_cast<DWORD>(wait));
    if (result == WAIT_OBJECT_0) break;
    if (result == WAIT_TIMEOUT) {
      if (settle.Due(NowMs())) {
        settle.Clear();
        PostMessageW(window_, kReloadSettledMessage, 0, 0);
      }
      continue;
    }
    if (result < WAIT_OBJECT_0 + 1 || result >= WAIT_OBJECT_0 + waits.size()) break;
    Folder* folder = open[result - WAIT_OBJECT_0 - 1];
    if (folder->TakeChanges()) settle.Note(NowMs());
    if (!folder->Read()) {
      // The folder itself went: its event is left set no more, and the other folders go on.
      ResetEvent(folder->event.get());
    }
  }
}

void GuiReloadWatch::Settled(HWND window) {
  if (restarting_) return;
  // A run's dialog or menu is open (the window is disabled while it waits): not now.
  if (!IsWindowEnabled(window)) {
    SetTimer(window, kBusyTimer, kBusyRetryMs, nullptr);
    return;
  }
  if (warning_) {
    again_ = true;
    return;
  }
  const GuiReloadDecision decision = judge_.Judge();
  switch (decision.verdict) {
    case GuiReloadVerdict::Nothing:
    case GuiReloadVerdict::Wait:
      return;
    case GuiReloadVerdict::Reload:
      restarting_ = true;
      PostMessageW(window, WM_COMMAND, MAKEWPARAM(0, kCommandRestart), 0);
      return;
    case GuiReloadVerdict::Refuse: {
      RawString value(" [value] ");
      value.Append(decision.fault);
      JobLayer::JobLogServer::Instance().Queue(
          JobLayer::LogEventRecord("Error", "ProfileNotReloaded", RawString(), "$ ", value));
      warning_ = true;
      const std::u16string text = decision.message.ToWide();
      MessageBoxW(window, reinterpret_cast<const wchar_t*>(text.c_str()), L"Kestrel", MB_ICONWARNING | MB_OK);
      warning_ = false;
      if (again_) {
        again_ = false;
        PostMessageW(window, kReloadSettledMessage, 0, 0);
      }
      return;
    }
  }
}

bool GuiReloadWatch::HookMessage(WinLayer::WinView& view, UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
  switch (message) {
    case WM_CREATE:
      if (GuiSettings::Instance().autoReload) StartWatching(view.Handle());
      return false;
    case kReloadSettledMessage:
      Settled(view.Handle());
      result = 0;
      return true;
    case WM_TIMER:
      if (wParam != kBusyTimer) return false;
      KillTimer(view.Handle(), kBusyTimer);
      Settled(view.Handle());
      result = 0;
      return true;
    case WM_COMMAND:
      // A restart for any reason: this instance reloads nothing more.
      if (HIWORD(wParam) == kCommandRestart) restarting_ = true;
      return false;
    case WM_DESTROY:
      StopWatching();
      return false;
    default:
      return false;
  }
}

}  // namespace AppLayer
