// The machine folder of a description for Windows Vista and later: the logs and channels as
// .evtx files where Windows keeps them (files/C/Windows/System32/winevt/Logs), the providers'
// libraries (manifest, message table, language files) and a registry export with the EventLog
// keys and the WINEVT channels and publishers.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "description.h"
#include "platform/types.h"

namespace qb::samplegen {

// The log's events as Windows writes them into its .evtx file.
platform::Bytes GenerateEvtxFile(const Description& description, const LogDescription& log);

// The file name Windows gives the log's .evtx ("/" in a channel's name becomes "%4").
std::string EvtxFileName(const LogDescription& log);

// Whether the log has a file at all: a disabled channel that never logged has none.
bool HasEvtxFile(const LogDescription& log);

// The libraries the providers and sources name, by their path on the machine
// ("%SystemRoot%\System32\x.dll", "...\en-US\x.dll.mui"), each with its bytes.
std::map<std::string, platform::Bytes> GenerateLibraries(const Description& description);

// The registry export: EventLog keys of the classic logs and their sources, WINEVT channels and
// publishers.
std::string GenerateRegistryExport(const Description& description);

// Where a path of the machine lies in its machine folder (files/C/...); nullopt for one the
// folder cannot hold (another drive, an unknown variable, "..").
std::optional<std::filesystem::path> MachineFolderPath(std::string_view windowsPath);

// Writes all of the above into `out`. Returns what went wrong, empty on success.
std::string WriteModernMachine(const Description& description, const std::filesystem::path& out);

}  // namespace qb::samplegen
