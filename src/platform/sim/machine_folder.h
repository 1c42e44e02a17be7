// A simulated machine described by a folder of ordinary files, so that tools and hand-made
// samples need no code:
//
//   registry.reg                optional regedit export
//   logs/<RegistryName>.evt     the live log of that name, one file per log
//                               (else the .evtx file among files/ that the log's key
//                               names, or winevt\Logs\<name>.evtx on version 6 and later)
//   files/<Drive>/<path>        files of the simulated drives (files/C/x/y.dll is C:\x\y.dll),
//                               read when asked for; links to folders are followed;
//                               message DLLs among them serve their message tables
//   machine.ini                 optional: [Machine] OsMajorVersion, UtcOffsetMinutes,
//                               AnsiCodePage (1252 or 65001), ComputerName, ModulePath;
//                               [Accounts] S-1-5-21-...=DOMAIN\name
//
// machine.ini may be UTF-8 (with or without byte-order mark) or UTF-16 LE with one.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/sim/machine.h"

namespace qb::sim {

// Loads the folder into `machine`. What cannot be read (a damaged log, a file in logs/ that is
// no log, a bad line of machine.ini, an entry of files/ that is neither file nor folder) is
// skipped, and the rest loads: each skipped part is named with its reason in *skipped, as
// "file: reason". False, with the reason in *error, only when the folder itself is no folder.
bool LoadMachineFolder(Machine& machine, const std::filesystem::path& folder, std::string* error,
                       std::vector<std::string>* skipped = nullptr);

}  // namespace qb::sim
