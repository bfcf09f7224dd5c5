#include "raw/shell.h"

namespace RawLayer {

namespace {

struct ShowStateRow {
  const char* name;
  int32_t showCommand;
};

// Looked up from the first row on; the empty name ends the table and gives the default.
constexpr ShowStateRow kShowStates[] = {
    {"Normal", 1}, {"Maximize", 3}, {"Minimize", 6}, {"Hide", 0}, {"", 1},
};

}  // namespace

int32_t ShowStateOf(const RawString& name) {
  const ShowStateRow* row = kShowStates;
  for (; row->name[0] != '\0'; ++row) {
    if (name.Equal(kWhole, RawString::FromUtf8(row->name))) break;
  }
  return row->showCommand;
}

RawShell::RawShell(const RawString& file) : file_(file) {}

RawShell::~RawShell() { CloseProcess(); }

}  // namespace RawLayer
