#include "platform/sim/machine_folder.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include "platform/sim/formats/codepage.h"
#include "platform/sim/rules/case_rules.h"
#include "platform/sim/rules/text.h"

namespace qb::sim {
namespace {

namespace fs = std::filesystem;

// Thrown inside the loader only: the part it names is skipped, or the load fails when the
// folder itself is at fault.
struct LoadError {
  std::string text;
};

// Paths in messages as UTF-8 on every host (path::string() may not hold them on Windows).
std::string Show(const fs::path& path) {
  const std::u8string text = path.generic_u8string();
  return std::string(text.begin(), text.end());
}

// What was skipped, as "file: reason" lines.
using Skipped = std::vector<std::string>;

// Runs `load` for one part of the folder; a fault in it skips that part only.
template <class F>
void Tolerate(Skipped& skipped, const fs::path& where, F&& load) {
  try {
    load();
  } catch (const LoadError& e) {
    skipped.push_back(e.text);
  } catch (const std::exception& e) {
    // File-system errors name their paths themselves.
    skipped.push_back(Show(where) + ": " + e.what());
  }
}

[[noreturn]] void Fail(const fs::path& file, std::string_view reason) {
  throw LoadError{Show(file) + ": " + std::string(reason)};
}

platform::Bytes ReadHostFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) Fail(file, "cannot be opened");
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  if (in.bad()) Fail(file, "cannot be read");
  platform::Bytes data(bytes.size());
  std::transform(bytes.begin(), bytes.end(), data.begin(),
                 [](char c) { return static_cast<std::byte>(c); });
  return data;
}

std::string Narrow(std::u16string_view text) {
  return ToUtf8(text);
}

// machine.ini: "[Section]" lines, "key=value" lines below them, ";" comment lines and blank
// lines; names without regard to case, blanks around names and values dropped.
struct IniEntry {
  std::u16string section;
  std::u16string key;
  std::u16string value;
};

std::vector<IniEntry> ReadIni(const fs::path& file, std::u16string_view text, Skipped& skipped) {
  std::vector<IniEntry> entries;
  std::u16string section;
  bool inSection = false;
  std::size_t lineNumber = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(u'\n', start);
    if (end == std::u16string_view::npos) end = text.size();
    const std::u16string_view line = Trimmed(text.substr(start, end - start));
    start = end + 1;
    ++lineNumber;
    if (line.empty() || line.front() == u';') continue;
    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    const auto skip = [&](const std::string& reason) {
      skipped.push_back(Show(file) + ": " + where + reason);
    };
    if (line.front() == u'[') {
      if (line.back() != u']') {
        skip("a section name lacks its \"]\"");
        // The keys below belong to no section anyone can name.
        inSection = false;
        continue;
      }
      section = std::u16string(Trimmed(line.substr(1, line.size() - 2)));
      inSection = true;
      continue;
    }
    const auto equals = line.find(u'=');
    if (equals == std::u16string_view::npos) {
      skip("is neither [section] nor key=value");
      continue;
    }
    if (!inSection) {
      skip("a key stands outside any [section]");
      continue;
    }
    entries.push_back({section, std::u16string(Trimmed(line.substr(0, equals))),
                       std::u16string(Trimmed(line.substr(equals + 1)))});
  }
  return entries;
}

std::int32_t IntegerValue(const fs::path& file, std::u16string_view key, std::u16string_view text,
                          std::int32_t low, std::int32_t high) {
  const auto value = ParseDecimal(text);
  if (!value || *value < low || *value > high) {
    Fail(file, "[Machine] " + Narrow(key) + "=" + Narrow(text) + " is no number from " +
                   std::to_string(low) + " to " + std::to_string(high));
  }
  return *value;
}

void ApplyMachineKey(Machine& machine, const fs::path& file, std::u16string_view key,
                     const std::u16string& value) {
  if (NamesEqual(key, u"OsMajorVersion")) {
    machine.system().SetOsMajorVersion(
        static_cast<std::uint32_t>(IntegerValue(file, key, value, 1, 100)));
  } else if (NamesEqual(key, u"UtcOffsetMinutes")) {
    machine.locale().SetUtcOffsetMinutes(IntegerValue(file, key, value, -24 * 60, 24 * 60));
  } else if (NamesEqual(key, u"AnsiCodePage")) {
    const auto page = ParseDecimal(value);
    if (!page || (*page != static_cast<std::int32_t>(kCp1252) &&
                  *page != static_cast<std::int32_t>(kCpUtf8))) {
      Fail(file, "[Machine] AnsiCodePage=" + Narrow(value) + " is neither 1252 nor 65001");
    }
    machine.locale().SetAnsiCodePage(static_cast<unsigned>(*page));
  } else if (NamesEqual(key, u"ComputerName")) {
    if (value.empty()) Fail(file, "[Machine] ComputerName is empty");
    machine.eventlog().SetComputerName(value);
    // Programs that ask the environment must see the same machine.
    machine.system().SetEnv(u"COMPUTERNAME", value);
  } else if (NamesEqual(key, u"ModulePath")) {
    if (value.empty()) Fail(file, "[Machine] ModulePath is empty");
    machine.system().SetModuleFileName(value);
  } else {
    Fail(file, "[Machine] has no key " + Narrow(key));
  }
}

void AddAccountLine(Machine& machine, const fs::path& file, const std::u16string& sidText,
                    const std::u16string& account) {
  const platform::Bytes sid = SimAccounts::SidFromString(sidText);
  if (sid.empty()) Fail(file, "[Accounts] " + Narrow(sidText) + " is no SID");
  // "DOMAIN\name"; well-known accounts such as Everyone have no domain.
  const auto slash = account.find(u'\\');
  std::u16string domain = slash == std::u16string::npos ? u"" : account.substr(0, slash);
  std::u16string name = slash == std::u16string::npos ? account : account.substr(slash + 1);
  if (name.empty()) Fail(file, "[Accounts] " + Narrow(sidText) + " names no account");
  machine.accounts().AddAccount(sid, std::move(name), std::move(domain));
}

void LoadMachineIni(Machine& machine, const fs::path& file, Skipped& skipped) {
  const platform::Bytes bytes = ReadHostFile(file);
  std::u16string text;
  if (bytes.size() >= 2 && bytes[0] == std::byte{0xFF} && bytes[1] == std::byte{0xFE}) {
    text = FromLittleEndianBytes(platform::ByteSpan(bytes).subspan(2));
  } else {
    std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (raw.starts_with("\xEF\xBB\xBF")) raw.remove_prefix(3);
    text = FromUtf8(raw);
  }
  const std::vector<IniEntry> entries = ReadIni(file, text, skipped);
  std::vector<std::u16string> unknown;
  for (const IniEntry& entry : entries) {
    if (!NamesEqual(entry.section, u"Machine") && !NamesEqual(entry.section, u"Accounts") &&
        std::find(unknown.begin(), unknown.end(), entry.section) == unknown.end()) {
      unknown.push_back(entry.section);
      skipped.push_back(Show(file) + ": unknown section [" + Narrow(entry.section) + "]");
    }
  }
  // A bad key is skipped alone: the machine's other settings still apply.
  for (const IniEntry& entry : entries) {
    if (NamesEqual(entry.section, u"Machine")) {
      Tolerate(skipped, file, [&] { ApplyMachineKey(machine, file, entry.key, entry.value); });
    }
  }
  for (const IniEntry& entry : entries) {
    if (NamesEqual(entry.section, u"Accounts")) {
      Tolerate(skipped, file, [&] { AddAccountLine(machine, file, entry.key, entry.value); });
    }
  }
}

void LoadRegistry(Machine& machine, const fs::path& file) {
  const std::string problem = machine.registry().LoadRegFile(ReadHostFile(file));
  if (!problem.empty()) Fail(file, problem);
}

// Sorted, so that a folder loads the same way on every host.
std::vector<fs::path> SortedEntries(const fs::path& folder) {
  std::vector<fs::path> entries;
  for (const auto& entry : fs::directory_iterator(folder)) entries.push_back(entry.path());
  std::sort(entries.begin(), entries.end());
  return entries;
}

// On Windows a live log is also a file, where its key's "File" value says: the log properties
// show its size from there. Unless files/ holds one already, the .evt file stands in for it.
void ShowLogFile(Machine& machine, const fs::path& evt) {
  const auto path = machine.registry().GetString(
      u"SYSTEM\\CurrentControlSet\\Services\\EventLog\\" + evt.stem().u16string(), u"File");
  if (!path || path->empty()) return;
  std::vector<char16_t> buffer(1024);
  const std::uint32_t length = machine.system().ExpandEnvironmentStrings(*path, buffer);
  if (length == 0 || length > buffer.size()) return;
  const std::u16string expanded(buffer.data(), length - 1);
  // Only a full path names a place on a drive.
  if (expanded.size() < 3 || expanded[1] != u':' || expanded[2] != u'\\') return;
  auto& files = machine.system();
  if (files.FileExists(expanded) || files.DirectoryExists(expanded)) return;
  files.AddHostFile(expanded, evt);
}

void LoadLog(Machine& machine, const fs::path& file) {
  if (!fs::is_regular_file(file)) Fail(file, "is no file (logs/ holds only .evt files)");
  if (!NamesEqual(file.extension().u16string(), u".evt")) {
    Fail(file, "is no .evt file (logs/ holds only .evt files)");
  }
  std::string problem;
  if (!machine.eventlog().LoadEvt(file.stem().u16string(), ReadHostFile(file), &problem)) {
    Fail(file, problem);
  }
  ShowLogFile(machine, file);
}

void LoadLogs(Machine& machine, const fs::path& folder, Skipped& skipped) {
  for (const auto& file : SortedEntries(folder)) {
    Tolerate(skipped, file, [&] { LoadLog(machine, file); });
  }
}

constexpr char16_t kEventLogKey[] = u"SYSTEM\\CurrentControlSet\\Services\\EventLog";

// Since Vista every classic log is an .evtx file where its key's "File" value says (by default
// winevt\Logs\<name>.evtx in the system folder): each such file among the machine's files
// fills its log, unless logs/ gave the log already. The file stays where it is and is read as
// the log is.
void LoadEvtxLogs(Machine& machine, const fs::path& folder, Skipped& skipped) {
  std::uint32_t major = 0;
  machine.system().GetVersionEx(major);
  for (const std::u16string& name : machine.registry().SubKeyNames(kEventLogKey)) {
    if (machine.eventlog().FindLog(name) != nullptr) continue;
    auto file = machine.registry().GetString(std::u16string(kEventLogKey) + u"\\" + name, u"File");
    if (!file && major >= 6) file = u"%SystemRoot%\\System32\\winevt\\Logs\\" + name + u".evtx";
    if (!file) continue;
    std::vector<char16_t> buffer(1024);
    const std::uint32_t length = machine.system().ExpandEnvironmentStrings(*file, buffer);
    if (length == 0 || length > buffer.size()) continue;
    const std::u16string path(buffer.data(), length - 1);
    if (path.size() < 5 ||
        !NamesEqual(std::u16string_view(path).substr(path.size() - 5), u".evtx") ||
        !machine.system().FileExists(path)) {
      continue;
    }
    std::string problem;
    if (!machine.eventlog().LoadEvtx(name, path, &problem)) {
      skipped.push_back(Show(folder / "files") + ": " + Narrow(path) + " (the " + Narrow(name) +
                        " log): " + problem);
    }
  }
}

// The Windows path of `relative` (below files/): its first part names the drive.
std::u16string WindowsPath(const fs::path& where, const fs::path& relative) {
  auto part = relative.begin();
  const std::u16string drive = part->u16string();
  if (drive.size() != 1 ||
      !((drive[0] >= u'A' && drive[0] <= u'Z') || (drive[0] >= u'a' && drive[0] <= u'z'))) {
    Fail(where, "is not inside a drive folder (files/<letter>/...)");
  }
  std::u16string windowsPath(1, static_cast<char16_t>(drive[0] & ~0x20));
  windowsPath += u':';
  for (++part; part != relative.end(); ++part) windowsPath += u'\\' + part->u16string();
  return windowsPath;
}

// Walks `folder` (host path) as `relative` below files/. Links to folders are followed, so a
// mounted image's system folder can be linked in; `visited` (canonical folders on the current
// path) stops a link that leads back into a folder being walked. File contents stay on disk
// until read.
void LoadFilesBelow(Machine& machine, const fs::path& folder, const fs::path& relative,
                    std::vector<fs::path>& visited, Skipped& skipped);

void LoadFileEntry(Machine& machine, const fs::path& entry, const fs::path& relative,
                   std::vector<fs::path>& visited, Skipped& skipped) {
  const fs::path name = relative / entry.filename();
  const fs::file_status status = fs::status(entry);  // follows links
  if (fs::is_directory(status)) {
    const std::u16string windowsPath = WindowsPath(entry, name);
    // Empty folders count too: the plugin may enumerate or write into them.
    machine.system().AddDirectory(windowsPath.size() == 2 ? windowsPath + u'\\' : windowsPath);
    const fs::path canonical = fs::canonical(entry);
    if (std::find(visited.begin(), visited.end(), canonical) != visited.end()) return;
    visited.push_back(canonical);
    LoadFilesBelow(machine, entry, name, visited, skipped);
    visited.pop_back();
  } else if (fs::is_regular_file(status)) {
    machine.system().AddHostFile(WindowsPath(entry, name), entry);
  } else if (fs::is_symlink(fs::symlink_status(entry)) && !fs::exists(status)) {
    // A link that leads nowhere (common in a mounted image) is no file of the machine.
  } else {
    Fail(entry, "is neither a file nor a folder");
  }
}

// A folder that cannot be read, or an entry of it that is no file or folder, is skipped with
// what lies below it; the rest of the walk goes on.
void LoadFilesBelow(Machine& machine, const fs::path& folder, const fs::path& relative,
                    std::vector<fs::path>& visited, Skipped& skipped) {
  std::vector<fs::path> entries;
  Tolerate(skipped, folder, [&] {
    for (const auto& entry : fs::directory_iterator(folder)) entries.push_back(entry.path());
  });
  std::sort(entries.begin(), entries.end());
  for (const fs::path& entry : entries) {
    Tolerate(skipped, entry, [&] { LoadFileEntry(machine, entry, relative, visited, skipped); });
  }
}

void LoadFiles(Machine& machine, const fs::path& root, Skipped& skipped) {
  std::vector<fs::path> visited{fs::canonical(root)};
  LoadFilesBelow(machine, root, fs::path(), visited, skipped);
}

}  // namespace

bool LoadMachineFolder(Machine& machine, const fs::path& folder, std::string* error,
                       std::vector<std::string>* skippedParts) {
  Skipped skipped;
  try {
    if (!fs::is_directory(folder)) Fail(folder, "is no folder");
    const auto part = [&](const char* name, auto load) {
      const fs::path path = folder / name;
      Tolerate(skipped, path, [&] {
        if (fs::exists(path)) load(path);
      });
    };
    // The settings first: the code page decides how 8-bit texts loaded later are read.
    part("machine.ini", [&](const fs::path& p) { LoadMachineIni(machine, p, skipped); });
    part("registry.reg", [&](const fs::path& p) { LoadRegistry(machine, p); });
    part("files", [&](const fs::path& p) {
      if (fs::is_directory(p)) LoadFiles(machine, p, skipped);
    });
    part("logs", [&](const fs::path& p) {
      if (fs::is_directory(p)) LoadLogs(machine, p, skipped);
    });
    // After logs/, whose .evt files come first.
    Tolerate(skipped, folder, [&] { LoadEvtxLogs(machine, folder, skipped); });
    if (skippedParts) *skippedParts = std::move(skipped);
    return true;
  } catch (const LoadError& e) {
    if (error) *error = e.text;
  } catch (const std::exception& e) {
    // File-system errors name their paths themselves.
    if (error) *error = Show(folder) + ": " + e.what();
  }
  return false;
}

}  // namespace qb::sim
