// Files and paths for the unit tests: the running test's scratch folder, a test's
// std::filesystem path as the program's text and back, and whole files read and written as raw
// bytes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "raw/string.h"

namespace TestFiles {

// A fresh folder for the running test, <the build's test scratch folder>/<area>/<test name>:
// whatever an earlier run left there is removed first.
inline std::filesystem::path ScratchFolder(const std::string& area) {
  std::filesystem::path folder = std::filesystem::path(KESTREL_TEST_TMP_DIR) / area;
  if (const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info()) {
    folder /= test->name();
  }
  std::error_code error;
  std::filesystem::remove_all(folder, error);
  std::filesystem::create_directories(folder, error);
  return folder;
}

// The path as UTF-8 text, separators as the platform writes them.
inline RawLayer::RawString PathText(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return RawLayer::RawString::FromUtf8({reinterpret_cast<const char*>(text.data()), text.size()});
}

// The path exactly as the text spells it.
inline std::filesystem::path FsPath(const RawLayer::RawString& text) {
  const std::string utf8 = text.ToUtf8();
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// A path the program produced, with backslashes made slashes so that it also names the file on
// POSIX (FsPath keeps them).
inline std::filesystem::path PathOf(const RawLayer::RawString& text) {
  std::string utf8 = text.ToUtf8();
  for (char& c : utf8) {
    if (c == '\\') c = '/';
  }
  return std::filesystem::path(reinterpret_cast<const char8_t*>(utf8.c_str()));
}

// The whole file, or nothing when it cannot be opened.
inline std::optional<std::string> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The whole file; a file that cannot be opened reads as empty.
inline std::string Bytes(const std::filesystem::path& path) { return ReadBytes(path).value_or(std::string()); }

// Replaces the file's content with the bytes, exactly.
inline void Put(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace TestFiles
