// The floor of the headless start: a program of the same build that reads one small file and
// exits, which is what a command-line run costs before it does anything of its own.
#include <cstdio>

#include "raw/file.h"
#include "raw/string.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  RawLayer::RawFile file;
  if (!file.OpenRead(RawLayer::RawString::FromUtf8(argv[1]))) return 1;
  char buffer[4096];
  int32_t got = 0;
  int64_t total = 0;
  while (file.Read(buffer, sizeof buffer, got) && got > 0) total += got;
  return total > 0 ? 0 : 1;
}
