#include "wfxhost/commands.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "wfxhost/columns.h"
#include "wfxhost/formatting.h"
#include "wfxhost/listing.h"
#include "wfxhost/text_codec.h"

namespace qb::wfxhost {
namespace {

// Total Commander numbers its plugins; one is loaded here.
constexpr int kPluginNr = 0;

// Where the callbacks, which carry no context of their own, send their output.
struct ProgressSink {
  std::ostream* out = nullptr;  // null: say nothing
  std::optional<int> abortAt;
};
std::atomic<ProgressSink*> g_progress{nullptr};
std::atomic<std::ostream*> g_log{nullptr};

int QB_STDCALL OnProgress(int, fs::WCHAR*, fs::WCHAR*, int percentDone) {
  const ProgressSink* sink = g_progress.load();
  if (sink == nullptr) return 0;
  if (sink->out) *sink->out << "progress " << percentDone << "%\n";
  return sink->abortAt && percentDone >= *sink->abortAt ? 1 : 0;
}

void QB_STDCALL OnLog(int, int msgType, fs::WCHAR* text) {
  if (std::ostream* log = g_log.load()) {
    *log << "plugin log (" << msgType << "): " << (text ? ToUtf8(FromBuffer(text, 4096)) : "")
         << "\n";
  }
}

fs::BOOL QB_STDCALL OnRequest(int, int requestType, fs::WCHAR* title, fs::WCHAR* text,
                              fs::WCHAR* returned, int) {
  if (std::ostream* log = g_log.load()) {
    *log << "plugin request " << requestType << " ("
         << (title ? ToUtf8(FromBuffer(title, 4096)) : "")
         << "): " << (text ? ToUtf8(FromBuffer(text, 4096)) : "") << " -> cancelled\n";
  }
  if (returned) returned[0] = 0;
  // Nobody is there to answer.
  return fs::kFalse;
}

// Installs a sink for the duration of one transfer.
class ScopedProgress {
 public:
  explicit ScopedProgress(ProgressSink sink) : sink_(sink) { g_progress.store(&sink_); }
  ~ScopedProgress() { g_progress.store(nullptr); }
  ScopedProgress(const ScopedProgress&) = delete;
  ScopedProgress& operator=(const ScopedProgress&) = delete;

 private:
  ProgressSink sink_;
};

// A buffer the plugin may write into, as the host's are: at least MAX_PATH characters.
std::vector<fs::WCHAR> HostBuffer(std::u16string_view text) {
  std::vector<fs::WCHAR> buffer(std::max<std::size_t>(fs::kMaxPath, text.size() + 1), 0);
  std::copy(text.begin(), text.end(), buffer.begin());
  return buffer;
}

// Columns that keep to their width whatever the UTF-8 text holds.
std::size_t DisplayWidth(std::string_view text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

void PrintTable(std::ostream& out, const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::size_t> widths;
  for (const auto& row : rows) {
    widths.resize(std::max(widths.size(), row.size()), 0);
    for (std::size_t i = 0; i < row.size(); ++i) {
      widths[i] = std::max(widths[i], DisplayWidth(row[i]));
    }
  }
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (i > 0) line += " | ";
      line += row[i];
      if (i + 1 < row.size()) line.append(widths[i] - DisplayWidth(row[i]), ' ');
    }
    out << line << "\n";
  }
}

int List(const Plugin& plugin, const Options& options, std::ostream& out, std::ostream& err) {
  const std::u16string path = ToUtf16(options.operands[0]);
  std::string error;
  if (!options.columns) {
    const bool ok = ListFolder(
        plugin, path, options.limit, [&](const Entry& e) { out << EntryLine(e) << "\n"; }, error);
    if (!ok) err << "wfxhost: " << error << "\n";
    return ok ? kExitOk : kExitFailed;
  }

  std::vector<Field> fields = SupportedFields(plugin.api);
  if (const auto view = GetDefaultView(plugin.api)) {
    out << "default view:\n"
        << "  contents: " << EscapeControls(view->contents) << "\n"
        << "  headers:  " << EscapeControls(view->headers) << "\n"
        << "  widths:   " << EscapeControls(view->widths) << "\n"
        << "  options:  " << EscapeControls(view->options) << "\n";
  } else {
    out << "default view: none\n";
  }
  out << "fields:";
  for (const auto& field : fields) {
    out << " " << field.name << (field.units.empty() ? "" : " [" + field.units + "]") << " ("
        << FieldTypeName(field.type) << ")";
  }
  out << "\n";

  std::vector<Entry> entries;
  ColumnFetcher fetcher(plugin.api, fields);
  const bool ok = ListFolder(
      plugin, path, options.limit,
      [&](const Entry& e) {
        entries.push_back(e);
        fetcher.Request(JoinRemote(path, e.name));
      },
      error);
  const auto values = fetcher.Finish();
  if (!ok) {
    err << "wfxhost: " << error << "\n";
    return kExitFailed;
  }
  std::vector<std::vector<std::string>> table;
  std::vector<std::string> header{"entry"};
  for (const auto& field : fields) header.push_back(field.name);
  table.push_back(std::move(header));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::vector<std::string> row{EntryLine(entries[i])};
    for (const auto& value : values[i]) row.push_back(EscapeControls(value));
    table.push_back(std::move(row));
  }
  PrintTable(out, table);
  const auto stats = fetcher.stats();
  out << stats.immediate << " values right away, " << stats.delayed
      << " delayed and fetched on a second thread\n";
  if (!stats.delayedOffThread) {
    err << "wfxhost: a delayed value was fetched on the listing thread\n";
    return kExitFailed;
  }
  return kExitOk;
}

// What one FsExtractCustomIconW call gave, in words; `ok` false for answers a host cannot use.
std::string DescribeIcon(const Plugin& plugin, int result, fs::HICON icon, bool& ok) {
  switch (result) {
    case fs::FS_ICON_USEDEFAULT:
      return "default";
    case fs::FS_ICON_EXTRACTED:
    case fs::FS_ICON_EXTRACTED_DESTROY: {
      std::string text;
      if (icon == nullptr) {
        ok = false;
        text = "<no icon handle>";
      } else if (const auto name = plugin.environment.iconName(icon)) {
        text = *name;
      } else {
        std::ostringstream unknown;
        unknown << "<unknown icon " << icon << ">";
        text = unknown.str();
      }
      if (result == fs::FS_ICON_EXTRACTED_DESTROY) {
        if (icon != nullptr && plugin.environment.destroyIcon) {
          plugin.environment.destroyIcon(icon);
        }
        text += " (destroyed after use)";
      }
      return text;
    }
    default:
      ok = false;
      return "<" + IconResultName(result) + ">";
  }
}

int Icons(const Plugin& plugin, const Options& options, std::ostream& out, std::ostream& err) {
  if (!plugin.api.FsExtractCustomIconW) {
    err << "wfxhost: the plugin does not export FsExtractCustomIconW\n";
    return kExitFailed;
  }
  const std::u16string path = ToUtf16(options.operands[0]);
  std::vector<Entry> entries;
  std::string error;
  if (!ListFolder(
          plugin, path, std::nullopt, [&](const Entry& e) { entries.push_back(e); }, error)) {
    err << "wfxhost: " << error << "\n";
    return kExitFailed;
  }
  const int flags = options.large ? 0 : fs::FS_ICONFLAG_SMALL;
  bool allOk = true;
  std::vector<std::vector<std::string>> table;
  for (const auto& entry : entries) {
    auto name = HostBuffer(JoinRemote(path, entry.name));
    fs::HICON icon = nullptr;
    int result = plugin.api.FsExtractCustomIconW(name.data(), flags, &icon);
    std::string prefix;
    if (result == fs::FS_ICON_DELAYED) {
      // The host asks again from its background thread; one thread is as good here.
      prefix = "delayed, then ";
      icon = nullptr;
      name = HostBuffer(JoinRemote(path, entry.name));
      result =
          plugin.api.FsExtractCustomIconW(name.data(), flags | fs::FS_ICONFLAG_BACKGROUND, &icon);
    }
    bool ok = true;
    const std::string text = prefix + DescribeIcon(plugin, result, icon, ok);
    allOk = allOk && ok;
    table.push_back({ToUtf8(entry.name), text});
  }
  PrintTable(out, table);
  return allOk ? kExitOk : kExitFailed;
}

// RemoteInfo as the host fills it: from the entry in its folder's listing.
fs::RemoteInfoStruct RemoteInfoOf(const Plugin& plugin, std::u16string_view remote,
                                  std::ostream& err) {
  const auto split = SplitRemote(remote);
  const std::u16string& folder = split.first;
  const std::u16string& name = split.second;
  std::optional<Entry> found;
  std::string error;
  const bool listed = ListFolder(
      plugin, folder, std::nullopt,
      [&](const Entry& e) {
        if (!found && e.name == name) found = e;
      },
      error);
  fs::RemoteInfoStruct info{};
  if (!found) {
    err << "wfxhost: note: " << ToUtf8(remote) << " is not in the listing of " << ToUtf8(folder)
        << (listed ? "" : " (" + error + ")") << "; asking the plugin anyway\n";
    return info;
  }
  info.SizeLow = static_cast<fs::DWORD>(found->size);
  info.SizeHigh = static_cast<fs::DWORD>(found->size >> 32);
  info.LastWriteTime = found->lastWrite;
  info.Attr = static_cast<std::int32_t>(found->attributes);
  return info;
}

int GetFile(const Plugin& plugin, std::u16string_view remote, std::u16string_view target,
            int copyFlags, ProgressSink sink, std::ostream& err) {
  if (!plugin.api.FsGetFileW) {
    err << "wfxhost: the plugin does not export FsGetFileW\n";
    return -1;
  }
  fs::RemoteInfoStruct info = RemoteInfoOf(plugin, remote, err);
  auto remoteBuffer = HostBuffer(remote);
  auto localBuffer = HostBuffer(target);
  ScopedProgress progress(sink);
  return plugin.api.FsGetFileW(remoteBuffer.data(), localBuffer.data(), copyFlags, &info);
}

bool WriteHostFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return file.good();
}

int Copy(const Plugin& plugin, const Options& options, std::ostream& out, std::ostream& err) {
  const auto& env = plugin.environment;
  const std::u16string remote = ToUtf16(options.operands[0]);
  const std::filesystem::path local = PathFromUtf8(options.operands[1]);
  const std::u16string target = env.copyTarget(local);
  const int flags = options.overwrite ? fs::FS_COPYFLAGS_OVERWRITE : 0;
  const int result = GetFile(plugin, remote, target, flags, {&out, options.abortAt}, err);
  if (result < 0) return kExitFailed;
  out << "result: " << FileResultName(result) << "\n";
  if (!env.targetsAreHostFiles) {
    const auto bytes = result == fs::FS_FILE_OK ? env.readTarget(target) : std::nullopt;
    env.removeTarget(target);
    if (result == fs::FS_FILE_OK) {
      if (!bytes) {
        err << "wfxhost: the plugin reported success but wrote no file\n";
        return kExitFailed;
      }
      if (!WriteHostFile(local, *bytes)) {
        err << "wfxhost: cannot write " << options.operands[1] << "\n";
        return kExitFailed;
      }
    }
  }
  return result == fs::FS_FILE_OK ? kExitOk : kExitFailed;
}

int Cat(const Plugin& plugin, const Options& options, std::ostream& out, std::ostream& err) {
  const auto& env = plugin.environment;
  const std::u16string remote = ToUtf16(options.operands[0]);
  const std::u16string target = env.scratchTarget();
  const int result = GetFile(plugin, remote, target, 0, {}, err);
  if (result < 0) return kExitFailed;
  const auto bytes = result == fs::FS_FILE_OK ? env.readTarget(target) : std::nullopt;
  env.removeTarget(target);
  if (result != fs::FS_FILE_OK) {
    err << "wfxhost: FsGetFileW: " << FileResultName(result) << "\n";
    return kExitFailed;
  }
  if (!bytes) {
    err << "wfxhost: the plugin reported success but wrote no file\n";
    return kExitFailed;
  }
  out << DecodeTextFile(*bytes);
  return kExitOk;
}

// "open" or "properties" on a remote name, and what the dialog it brings up shows.
int Execute(const Plugin& plugin, const Options& options, const char16_t* verb, std::ostream& out,
            std::ostream& err) {
  const auto& env = plugin.environment;
  if (!plugin.api.FsExecuteFileW) {
    err << "wfxhost: the plugin does not export FsExecuteFileW\n";
    return kExitFailed;
  }
  if (!env.hostWindow || !env.fileList || !env.watchNextDialog || !env.takeDialogs) {
    err << "wfxhost: this build cannot watch the plugin's dialogs; run it with --machine\n";
    return kExitFailed;
  }
  const std::u16string remote = ToUtf16(options.operands[0]);
  if (std::u16string_view(verb) == u"open") {
    // The panel the user opened the file from: its entries, the caret on the file.
    // Named copies: a lambda may not capture structured bindings in every compiler.
    const auto split = SplitRemote(remote);
    const std::u16string& folder = split.first;
    const std::u16string& name = split.second;
    std::vector<std::u16string> entries{u".."};
    std::size_t caret = 0;
    std::string error;
    if (!ListFolder(
            plugin, folder, std::nullopt,
            [&](const Entry& e) {
              if (e.name == name) caret = entries.size();
              entries.push_back(e.name);
            },
            error)) {
      err << "wfxhost: " << error << "\n";
      return kExitFailed;
    }
    if (caret == 0) {
      err << "wfxhost: " << ToUtf8(remote) << " is not in the listing of " << ToUtf8(folder)
          << "\n";
      return kExitFailed;
    }
    env.fileList(entries, caret);
  }
  env.watchNextDialog();
  auto remoteBuffer = HostBuffer(remote);
  auto verbBuffer = HostBuffer(verb);
  const int result =
      plugin.api.FsExecuteFileW(env.hostWindow(), remoteBuffer.data(), verbBuffer.data());
  out << "result: " << ExecResultName(result) << "\n";
  const auto dialogs = env.takeDialogs();
  if (dialogs.empty()) out << "no dialog\n";
  for (const auto& line : dialogs) out << line << "\n";
  return result == fs::FS_EXEC_OK ? kExitOk : kExitFailed;
}

int Root(const Plugin& plugin, std::ostream& out, std::ostream& err) {
  if (!plugin.api.FsGetDefRootName) {
    err << "wfxhost: the plugin does not export FsGetDefRootName\n";
    return kExitFailed;
  }
  std::array<char, fs::kMaxPath> name{};
  plugin.api.FsGetDefRootName(name.data(), static_cast<int>(name.size()));
  out << FromBuffer(name.data(), name.size()) << "\n";
  return kExitOk;
}

int Dispatch(const Plugin& plugin, const Options& options, std::ostream& out, std::ostream& err) {
  switch (options.command) {
    case Command::kRoot:
      return Root(plugin, out, err);
    case Command::kList:
      return List(plugin, options, out, err);
    case Command::kIcons:
      return Icons(plugin, options, out, err);
    case Command::kCopy:
      return Copy(plugin, options, out, err);
    case Command::kCat:
      return Cat(plugin, options, out, err);
    case Command::kOpen:
      return Execute(plugin, options, u"open", out, err);
    case Command::kProperties:
      return Execute(plugin, options, u"properties", out, err);
  }
  return kExitUsage;
}

}  // namespace

int RunCommand(const Plugin& plugin, const Options& options, std::ostream& out, std::ostream& err) {
  if (!plugin.api.FsInitW) {
    err << "wfxhost: the plugin does not export FsInitW\n";
    return kExitSetup;
  }
  g_log.store(&err);
  plugin.api.FsInitW(kPluginNr, &OnProgress, &OnLog, &OnRequest);
  const int status = Dispatch(plugin, options, out, err);
  if (plugin.environment.takeMessageBoxes) {
    for (const auto& text : plugin.environment.takeMessageBoxes()) {
      err << "wfxhost: the plugin showed a message box: " << EscapeControls(text) << "\n";
    }
  }
  g_log.store(nullptr);
  return status;
}

}  // namespace qb::wfxhost
