// The profile checker: the input is a launcher profile checked as "kestrel -k" checks one. Whatever
// the bytes, the check ends, every diagnostic points at a line of the file (from 1), and the
// report holds one line per diagnostic and the summary that counts them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "job/profile_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  KestrelFuzz::InstallQuietScreen();
  static const RawLayer::RawString path = KestrelFuzz::ScratchPath("checked.ini");
  if (!KestrelFuzz::WriteScratch(path, data, size)) return 0;

  JobLayer::JobDiagnostics out;
  JobLayer::JobProfileChecker checker(out);
  checker.CheckLauncherProfile(path);

  size_t lines = 0;
  for (const JobLayer::JobDiagnostic& item : out.Sorted()) {
    // A line past the file's end would send the user nowhere: a file has at most one line per
    // byte, and one more after a last line end.
    if (item.line < 1 || static_cast<size_t>(item.line) > size + 2) __builtin_trap();
    ++lines;
  }
  if (lines != static_cast<size_t>(out.Errors() + out.Warnings())) __builtin_trap();
  const std::string report = out.Report().ToUtf8();
  const std::string summary = out.Summary().ToUtf8() + "\n";
  if (report.size() < summary.size() || report.compare(report.size() - summary.size(), summary.size(), summary) != 0) {
    __builtin_trap();
  }
  return 0;
}
