// Stopping a running script from outside it. An interrupt of the console (Ctrl+C or SIGINT;
// Ctrl+Break on Windows) sets one process-wide flag instead of ending the program, so that the
// loop or the process wait that is running stops with "UserAborted", the run ends as failed and
// the log is written to its end as usual. A second interrupt that arrives before the first was
// taken ends the program the ordinary way, so a script that never polls cannot hold it hostage.
#pragma once

namespace JobLayer {

// Installs the interrupt handler; later calls do nothing.
void InstallAbortHandler();
// Sets the flag (the handler's work; also for tests).
void RequestAbort();
// True when an abort was requested, and clears the request: the loop or wait that acts on it
// takes it, so the next run starts afresh.
[[nodiscard]] bool TakeAbortRequest();
bool IsAbortRequested();

}  // namespace JobLayer
