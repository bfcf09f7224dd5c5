// What every fuzz target shares: a screen that keeps the engine's error reports quiet, a scratch
// file per process for the readers that take a path, and the splitting of an input into parts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "raw/string.h"

namespace KestrelFuzz {

using RawLayer::RawString;

// Installs, once per process, a screen that drops error messages and reports no key held down.
void InstallQuietScreen();

// A path in this process's scratch folder (made on first use, under the system's temporary
// folder, so that parallel fuzzers never share a file).
RawString ScratchPath(const char* name);
std::string ScratchFolder();

// Replaces the file's content with the bytes; false when the file could not be written.
[[nodiscard]] bool WriteScratch(const RawString& path, const uint8_t* data, size_t size);

// The input cut at NUL bytes into at most `most` parts (the last part keeps any further NULs).
std::vector<std::string_view> SplitAtNul(const uint8_t* data, size_t size, size_t most);

// True when the bytes are well-formed UTF-8 (ASCII included).
bool IsWellFormedUtf8(std::string_view bytes);

// True when the text names a variable function that reaches outside the process (files,
// folders, processes, windows, the clipboard, the keyboard): such inputs are skipped so that a
// run neither scans the disk nor depends on the machine.
bool NamesSystemFunction(std::string_view text);

}  // namespace KestrelFuzz
