// The restart handshake: a restarted launcher ends the instance that started it,
// before it reads the launcher profile, so the two never work on the same files.
#pragma once

#include <cstdint>

#include "app/startup.h"
#include "raw/string.h"

namespace AppLayer {

enum class GuiEndResult {
  Ended,         // the earlier instance was ended (exit code 0) and has gone
  StillRunning,  // it was told to end but had not gone within the wait
  NotOpened,     // no such process, or no right to end it
  OtherProgram,  // the process runs another program file: left alone
  Self,          // the id is this process's own: left alone
};

// Ends process `processId` with exit code 0 and waits for it at most 3 s, but
// only when it runs the program file `ownImage` (compared without regard to
// case). A process id is reused once its process has ended, and one can be
// given by hand, so an id alone never proves the process is ours.
// Windows only: the headless build is never restarted.
[[nodiscard]] GuiEndResult EndEarlierInstance(uint32_t processId, const RawString& ownImage);

// EndEarlierInstance against this program's own file, as the start-up's service.
class GuiEarlierInstance : public GuiStartup::EarlierInstance {
 public:
  void End(uint32_t processId) override;
};

}  // namespace AppLayer
