#include "app/reload_watch.h"

#include "job/profile_check.h"

namespace AppLayer {

bool SameFilePath(const RawString& a, const RawString& b) {
  const std::string x = a.Convert(RawLayer::CodeUtf8).ToUtf8();
  const std::string y = b.Convert(RawLayer::CodeUtf8).ToUtf8();
  if (x.size() != y.size()) return false;
  for (size_t i = 0; i < x.size(); ++i) {
    char p = x[i] == '/' ? '\\' : x[i];
    char q = y[i] == '/' ? '\\' : y[i];
    if (p >= 'A' && p <= 'Z') p = static_cast<char>(p - 'A' + 'a');
    if (q >= 'A' && q <= 'Z') q = static_cast<char>(q - 'A' + 'a');
    if (p != q) return false;
  }
  return true;
}

void GuiWatchedFiles::Add(const RawString& path) {
  if (path.IsEmpty() || Watches(path)) return;
  const GuiFileStamp stamp = FileStampOf(path);
  const std::lock_guard<std::mutex> hold(lock_);
  files_.emplace_back(path, stamp);
}

std::vector<RawString> GuiWatchedFiles::Paths() const {
  const std::lock_guard<std::mutex> hold(lock_);
  std::vector<RawString> paths;
  for (const auto& file : files_) paths.push_back(file.first);
  return paths;
}

bool GuiWatchedFiles::Watches(const RawString& path) const {
  const std::lock_guard<std::mutex> hold(lock_);
  for (const auto& file : files_) {
    if (SameFilePath(file.first, path)) return true;
  }
  return false;
}

void GuiWatchedFiles::Rewritten(const RawString& path) {
  const std::lock_guard<std::mutex> hold(lock_);
  for (auto& file : files_) {
    if (SameFilePath(file.first, path)) file.second = FileStampOf(file.first);
  }
}

std::vector<RawString> GuiWatchedFiles::Changed() const {
  const std::lock_guard<std::mutex> hold(lock_);
  std::vector<RawString> changed;
  for (const auto& file : files_) {
    if (!(FileStampOf(file.first) == file.second)) changed.push_back(file.first);
  }
  return changed;
}

void GuiWatchedFiles::Accept() {
  const std::lock_guard<std::mutex> hold(lock_);
  for (auto& file : files_) file.second = FileStampOf(file.first);
}

GuiWatchedFiles& ProfilesAsRead() {
  static GuiWatchedFiles* const files = new GuiWatchedFiles;  // outlives every writer
  return *files;
}

GuiReloadDecision GuiReloadJudge::Judge() {
  GuiReloadDecision decision;
  if (files_.Changed().empty()) return decision;
  const GuiFileStamp now = FileStampOf(launcherProfile_);
  if (!now.exists) {
    decision.verdict = GuiReloadVerdict::Wait;
    return decision;
  }
  JobLayer::JobDiagnostics report;
  JobLayer::JobProfileChecker(report).CheckLauncherProfile(launcherProfile_);
  if (const JobLayer::JobDiagnostic* fault = report.FirstReadError()) {
    if (now == refused_) return decision;
    refused_ = now;
    decision.verdict = GuiReloadVerdict::Refuse;
    decision.fault = JobLayer::JobDiagnostics::Line(*fault);
    decision.line = fault->line;
    decision.message = "The profile was not reloaded: it does not read.\r\n";
    decision.message.Append(decision.fault);
    decision.message.Append("\r\nThe launcher runs on with the profile it has; save the file again once it is mended.");
    return decision;
  }
  refused_ = GuiFileStamp{};
  files_.Accept();
  decision.verdict = GuiReloadVerdict::Reload;
  return decision;
}

}  // namespace AppLayer
