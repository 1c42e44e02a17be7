// Loading and unloading of the library's process-wide objects.
#pragma once

namespace qb::plugin {

// DLL_PROCESS_ATTACH, with the platform already installed. Does nothing heavy: loading other
// libraries or showing message boxes under the loader lock can deadlock, so the load steps
// run at the first FsInit/FsInitW instead (every host calls one of them first).
void OnProcessAttach() noexcept;

// DLL_PROCESS_DETACH. `processTerminating` is true when the whole process is ending
// (lpReserved non-zero): other threads are gone and may have died holding locks, so only
// what is safe without locks and windows is done then. True when the library's objects were
// freed; false when they stay (the process ends, or a thread is still inside an export), and
// with them everything they use, the platform included.
bool OnProcessDetach(bool processTerminating) noexcept;

// Runs the load steps once; later calls do nothing. Never throws.
void EnsureLoaded() noexcept;

}  // namespace qb::plugin
