// The icon cache's probe for end-to-end scenarios: extracts icons with the
// launcher's own store and runs the icon cache through one start of the program,
// writing what it saw to a report file. Exit code 0 means all went as asked.
//
//   icon_probe extract <report> <file> <index> <shell|indexed>
//       extract one icon into a 32x32 pool; writes "slot N" and "partial K" (pixels
//       whose alpha is neither 0 nor 255); 1 when the icon has no partial alpha,
//       2 when there was no icon
//   icon_probe start <cache folder> <unused count> <report> <file>[*<index>]...
//       one start: load the cache, ask for every icon (drawing it), let the worker
//       extract in the background, drop the unused icons and save the cache. Writes
//       "loaded yes|no entries N", per icon "loading E" while it waits or "cached E"
//       when the cache showed it at once, then "ready E image I partial K"; 3 when
//       the worker did not finish within 30 s
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/icon_store_win32.h"
#include "raw/path.h"

namespace {

using AppLayer::GuiIconStore;
using JobLayer::JobIconControl;
using JobLayer::JobIconStore;
using RawLayer::RawString;

constexpr int32_t kSize = 32;

RawString Text(const std::wstring& text) {
  return RawString::FromWide(reinterpret_cast<const char16_t*>(text.data()), static_cast<int32_t>(text.size()));
}

int32_t PartialAlpha(const GuiIconStore& store, int32_t image) {
  const uint32_t* pixels = store.Pool().SlotPixels(image);
  if (pixels == nullptr) return 0;
  int32_t partial = 0;
  for (int32_t i = 0; i < kSize * kSize; ++i) {
    const uint32_t alpha = pixels[i] >> 24;
    if (alpha != 0 && alpha != 255) ++partial;
  }
  return partial;
}

int Extract(const wchar_t* report, const wchar_t* file, int index, const std::wstring& source) {
  std::ofstream out{std::filesystem::path(report), std::ios::binary};
  GuiIconStore store;
  if (!store.Prepare(kSize, kSize)) return 4;
  auto picture =
      store.Extract(Text(file), index, source == L"shell" ? JobIconStore::SourceShell : JobIconStore::SourceIndexed);
  if (!picture) {
    out << "no icon\n";
    return 2;
  }
  const int32_t slot = store.Add(*picture);
  const int32_t partial = PartialAlpha(store, slot);
  out << "slot " << slot << "\npartial " << partial << "\n";
  return slot >= 0 && partial > 0 ? 0 : 1;
}

int Start(const wchar_t* folder, int unusedCount, const wchar_t* report, int count, wchar_t** icons) {
  std::ofstream out{std::filesystem::path(report), std::ios::binary};
  JobLayer::JobIconSettings settings;
  settings.cacheFolder = Text(folder);
  settings.unusedCount = unusedCount;
  settings.iconWidth = settings.iconHeight = kSize;
  if (!RawLayer::EnsureFolder(settings.cacheFolder)) return 4;
  GuiIconStore store;
  JobIconControl control;
  if (!control.Open(settings, store)) return 4;
  const bool loaded = control.LoadCache();
  out << "loaded " << (loaded ? "yes" : "no") << " entries " << control.EntryCount() << "\n";

  std::vector<int32_t> entries;
  for (int i = 0; i < count; ++i) {
    std::wstring icon = icons[i];
    int index = 0;
    const size_t star = icon.rfind(L'*');
    if (star != std::wstring::npos) {
      index = std::stoi(icon.substr(star + 1));
      icon.resize(star);
    }
    const int32_t entry = control.GetEntry(Text(icon), index);
    entries.push_back(entry);
    out << (control.GetImage(entry) == control.LoadingId() ? "loading " : "cached ") << entry << "\n";
  }

  if (!control.StartWorker(THREAD_PRIORITY_IDLE)) return 4;
  control.RequestLoad();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (;;) {
    bool done = true;
    for (int32_t entry : entries) {
      JobLayer::JobIconInfoUnit unit(0, -1, RawString(), 0, 0);
      done = done && control.EntryAt(entry, unit) && unit.state == JobLayer::IconReady;
    }
    if (done) break;
    if (std::chrono::steady_clock::now() > deadline) return 3;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  control.StopWorker();
  for (int32_t entry : entries) {
    const int32_t image = control.GetImage(entry);
    std::lock_guard<std::mutex> pool(control.PoolLock());
    out << "ready " << entry << " image " << image << " partial " << PartialAlpha(store, image) << "\n";
  }
  control.DropUnused();
  if (!control.SaveCache()) return 5;
  out << "saved\n";
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"extract" && argc == 6) return Extract(argv[2], argv[3], std::stoi(argv[4]), argv[5]);
  if (command == L"start" && argc >= 5) return Start(argv[2], std::stoi(argv[3]), argv[4], argc - 5, argv + 5);
  return 9;
}
