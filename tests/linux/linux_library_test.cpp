// The built Linux library loaded as Double Commander loads it: dlopen, the exports in the
// order it calls them (columns before FsInitW, both FsInit and FsInitW, column values from a
// worker thread, also for folders and the root), real files copied out, messages through the
// request callback, and dlclose.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/plugin_exports.h"
#include "support/machine_folder_maker.h"
#include "util/text.h"

namespace qb {
namespace {

namespace stdfs = std::filesystem;
using support::TempFolder;

// What the host's request callbacks were asked.
struct Request {
  int pluginNr, type;
  std::string title, text;
};
std::vector<Request> g_requests;

fs::BOOL QB_STDCALL RequestW(int nr, int type, fs::WCHAR* title, fs::WCHAR* text, fs::WCHAR*, int) {
  g_requests.push_back(
      {nr, type, util::Utf16ToUtf8(title ? title : u""), util::Utf16ToUtf8(text ? text : u"")});
  return fs::kTrue;
}
fs::BOOL QB_STDCALL RequestA(int nr, int type, char* title, char* text, char*, int) {
  g_requests.push_back({nr, type, title ? title : "", text ? text : ""});
  return fs::kTrue;
}
int QB_STDCALL ProgressW(int, fs::WCHAR*, fs::WCHAR*, int) {
  return 0;
}
int QB_STDCALL Progress(int, char*, char*, int) {
  return 0;
}
void QB_STDCALL LogW(int, int, fs::WCHAR*) {}
void QB_STDCALL Log(int, int, char*) {}

// The library copied into a folder of its own, so that what lies beside it is the test's.
class Library {
 public:
  explicit Library(const stdfs::path& folder) : file_(folder / "Quillerbankton.wfx") {
    stdfs::copy_file(QB_LINUX_WFX, file_);
    handle_ = dlopen(file_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
      ADD_FAILURE() << dlerror();
      return;
    }
#define QB_RESOLVE(name) \
  exports_.name = reinterpret_cast<decltype(exports_.name)>(dlsym(handle_, #name));
    QB_PLUGIN_EXPORTS(QB_RESOLVE)
#undef QB_RESOLVE
  }
  ~Library() {
    if (handle_ != nullptr) dlclose(handle_);
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  bool loaded() const {
    return handle_ != nullptr;
  }
  const host::PluginExports& x() const {
    return exports_;
  }
  // dlclose, and whether the library is gone from the process afterwards.
  bool Close() {
    const bool closed = dlclose(std::exchange(handle_, nullptr)) == 0;
    return closed && dlopen(file_.c_str(), RTLD_NOW | RTLD_NOLOAD) == nullptr;
  }

  // The names a folder lists; nullopt when FsFindFirstW fails.
  std::optional<std::vector<std::u16string>> List(std::u16string path) const {
    fs::WIN32_FIND_DATAW data{};
    const fs::HANDLE find = exports_.FsFindFirstW(path.data(), &data);
    if (find == fs::kInvalidHandleValue) return std::nullopt;
    std::vector<std::u16string> names;
    do {
      names.emplace_back(data.cFileName);
    } while (exports_.FsFindNextW(find, &data));
    exports_.FsFindClose(find);
    return names;
  }

  // Double Commander's start: the columns, FsInit, FsInitW, the default parameters.
  void Start() const {
    char name[64];
    char units[64];
    int fields = 0;
    while (exports_.FsContentGetSupportedField(fields, name, units, sizeof(name)) !=
           fs::ft_nomorefields) {
      ++fields;
    }
    EXPECT_EQ(fields, 4);
    exports_.FsInit(1, &Progress, &Log, &RequestA);
    exports_.FsInitW(1, &ProgressW, &LogW, &RequestW);
    fs::FsDefaultParamStruct params{};
    params.size = sizeof(params);
    params.PluginInterfaceVersionHi = 2;
    params.PluginInterfaceVersionLow = 10;
    std::strcpy(params.DefaultIniName, "/nonexistent/wfx.ini");
    exports_.FsSetDefaultParams(&params);
  }

 private:
  stdfs::path file_;
  void* handle_ = nullptr;
  host::PluginExports exports_;
};

void WriteMachine(const stdfs::path& folder) {
  using support::RecordOf;
  support::WriteHostFile(folder / "registry.reg",
                         support::RegistryWithLogs({"Application", "System"}));
  support::WriteHostFile(folder / "logs" / "Application.evt",
                         support::EvtOf({RecordOf(u"Disk", 11, 1, 1'199'145'600),
                                         RecordOf(u"Dir/Svc", 7036, 4, 1'199'145'700),
                                         RecordOf(u"Disk", 15, 2, 1'199'145'800)}));
  support::WriteHostFile(folder / "logs" / "System.evt",
                         support::EvtOf({RecordOf(u"EventLog", 6005, 4, 1'199'145'600)}));
}

std::string Contents(const stdfs::path& file) {
  return support::ReadHostFile(file);
}

TEST(LinuxLibraryTest, ExportsExactlyThePluginFunctions) {
  TempFolder folder;
  Library library(folder.path());
  ASSERT_TRUE(library.loaded());
  // The dynamic symbol table holds these and nothing else of the library's own.
  std::set<std::string> expected(std::begin(host::kPluginExportNames),
                                 std::end(host::kPluginExportNames));
  std::set<std::string> defined;
  const std::string command = "nm -D --defined-only '" + std::string(QB_LINUX_WFX) + "'";
  FILE* nm = popen(command.c_str(), "r");
  ASSERT_NE(nm, nullptr);
  char line[512];
  while (std::fgets(line, sizeof(line), nm) != nullptr) {
    std::istringstream fields(line);
    std::string address, kind, name;
    if (fields >> address >> kind >> name) defined.insert(name);
  }
  ASSERT_EQ(pclose(nm), 0);
  EXPECT_EQ(defined, expected);
#define QB_CHECK(name) EXPECT_NE(reinterpret_cast<void*>(library.x().name), nullptr) << #name;
  QB_PLUGIN_EXPORTS(QB_CHECK)
#undef QB_CHECK
  EXPECT_EQ(host::kPluginExportCount, 20u);
}

TEST(LinuxLibraryTest, TheDoubleCommanderSequence) {
  TempFolder folder;
  WriteMachine(folder.path() / "machine");
  g_requests.clear();
  Library library(folder.path());
  ASSERT_TRUE(library.loaded());
  const auto& x = library.x();
  library.Start();
  char root[32];
  x.FsGetDefRootName(root, sizeof(root));
  EXPECT_STREQ(root, "Quillerbankton");

  EXPECT_EQ(library.List(u"/"), (std::vector<std::u16string>{u"Application", u"System"}));
  const auto records = library.List(u"/Application/");
  ASSERT_TRUE(records.has_value());
  EXPECT_EQ(*records, (std::vector<std::u16string>{u"[3] Disk.warning", u"[2] Dir_Svc.information",
                                                   u"[1] Disk.error"}));

  // The columns from a worker thread: empty for the root and folders, filled for records.
  std::vector<int> answers;
  std::int32_t code = 0;
  std::thread worker([&] {
    char16_t text[256];
    for (std::u16string name : {u"/", u"/Application", u"/System/"}) {
      for (int field = 0; field < 4; ++field) {
        answers.push_back(x.FsContentGetValueW(name.data(), field, 0, text, sizeof(text), 0));
      }
    }
    std::u16string record = u"/Application/[2] Dir_Svc.information";
    answers.push_back(x.FsContentGetValueW(record.data(), 2, 0, &code, sizeof(code), 0));
    answers.push_back(x.FsContentGetValueW(record.data(), 3, 0, text, sizeof(text), 0));
  });
  worker.join();
  ASSERT_EQ(answers.size(), 14u);
  for (std::size_t i = 0; i < 12; ++i) EXPECT_EQ(answers[i], fs::ft_fieldempty) << i;
  EXPECT_EQ(answers[12], fs::ft_numeric_32);
  EXPECT_EQ(code, 7036);
  EXPECT_EQ(answers[13], fs::ft_stringw);

  // Copies go to real files; a second copy asks first.
  const stdfs::path out = folder.path() / "out" / "[2] Dir_Svc.information";
  stdfs::create_directories(out.parent_path());
  std::u16string remote = u"/Application/[2] Dir_Svc.information";
  std::u16string local = util::Utf8ToUtf16(out.string());
  EXPECT_EQ(x.FsGetFileW(remote.data(), local.data(), 0, nullptr), fs::FS_FILE_OK);
  const std::string bytes = Contents(out);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  const std::u16string text =
      util::FromUtf16LeBytes(std::as_bytes(std::span(bytes.data() + 2, bytes.size() - 2)));
  EXPECT_NE(text.find(u"Dir/Svc\r\n"), std::u16string::npos) << util::Utf16ToUtf8(text);
  EXPECT_EQ(x.FsGetFileW(remote.data(), local.data(), 0, nullptr), fs::FS_FILE_EXISTS);
  EXPECT_EQ(x.FsGetFileW(remote.data(), local.data(), fs::FS_COPYFLAGS_OVERWRITE, nullptr),
            fs::FS_FILE_OK);
  std::u16string nowhere = util::Utf8ToUtf16((folder.path() / "missing" / "x.txt").string());
  EXPECT_EQ(x.FsGetFileW(remote.data(), nowhere.data(), 0, nullptr), fs::FS_FILE_WRITEERROR);

  // No icon of the simulated machine is handed to the host as if it were one of its own.
  fs::HICON icon = nullptr;
  EXPECT_EQ(x.FsExtractCustomIconW(remote.data(), fs::FS_ICONFLAG_SMALL, &icon),
            fs::FS_ICON_USEDEFAULT);
  EXPECT_EQ(icon, nullptr);

  // Nothing was said so far; open is the host's, properties come as text.
  EXPECT_TRUE(g_requests.empty()) << g_requests.front().text;
  std::u16string open = u"open";
  std::u16string properties = u"properties";
  EXPECT_EQ(x.FsExecuteFileW(nullptr, remote.data(), open.data()), fs::FS_EXEC_YOURSELF);
  std::u16string log = u"/Application/";
  EXPECT_EQ(x.FsExecuteFileW(nullptr, log.data(), properties.data()), fs::FS_EXEC_OK);
  ASSERT_EQ(g_requests.size(), 1u);
  EXPECT_EQ(g_requests[0].type, fs::RT_MsgOK);
  EXPECT_EQ(g_requests[0].pluginNr, 1);
  EXPECT_NE(g_requests[0].text.find("Application log properties\n\n"), std::string::npos)
      << g_requests[0].text;
  EXPECT_NE(g_requests[0].text.find("\nRecords: 3\n"), std::string::npos) << g_requests[0].text;
  EXPECT_EQ(g_requests[0].text.find('\r'), std::string::npos);

  // A background thread called in: the library stays mapped until the process ends.
  EXPECT_FALSE(library.Close());
}

// The host quits or unloads while its background thread loops over column values: the process
// ends at once with status 0, whatever the thread is doing (each case in a child process).
TEST(LinuxLibraryTest, ExitAndUnloadWhileColumnsLoad) {
  enum class End { kExitWhileFetching, kListAgainAndExit, kCloseAfterThreadEnded };
  const std::pair<const char*, End> cases[] = {
      {"exit while fetching", End::kExitWhileFetching},
      {"list again, exit while fetching", End::kListAgainAndExit},
      {"dlclose after the thread ended, exit", End::kCloseAfterThreadEnded}};
  TempFolder folder;
  WriteMachine(folder.path() / "machine");
  std::vector<sim::RecordFields> many;
  for (std::uint32_t i = 0; i < 3000; ++i) {
    many.push_back(support::RecordOf(u"Disk", i, 4, 1'199'145'600 + i));
  }
  support::WriteHostFile(folder.path() / "machine" / "logs" / "System.evt", support::EvtOf(many));
  for (const auto& [what, end] : cases) {
    SCOPED_TRACE(what);
    fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // A fresh copy beside the machine for each child; nothing of the test runs on in it.
      stdfs::remove(folder.path() / "Quillerbankton.wfx");
      Library library(folder.path());
      if (!library.loaded()) _exit(3);
      library.Start();
      library.List(u"/System");
      std::atomic<int> fetched{0};
      std::atomic<bool> stop{false};
      std::thread columns([&] {
        char16_t text[256];
        for (std::uint32_t n = 1; !stop; n = n % 3000 + 1) {
          std::u16string name = u"/System/[" + util::ToDecimalUnsigned(n) + u"] Disk.information";
          library.x().FsContentGetValueW(name.data(), 3, 0, text, sizeof(text), 0);
          ++fetched;
        }
      });
      while (fetched < 50) std::this_thread::yield();
      if (end == End::kListAgainAndExit) library.List(u"/System");
      if (end == End::kCloseAfterThreadEnded) {
        stop = true;
        columns.join();
        library.Close();
        std::exit(0);
      }
      columns.detach();
      std::exit(0);
    }
    int status = 0;
    pid_t done = 0;
    for (int waited = 0; waited < 200 && done == 0; ++waited) {
      done = waitpid(child, &status, WNOHANG);
      if (done == 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (done == 0) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      ADD_FAILURE() << "the process did not end within 10 s";
      continue;
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << (WIFSIGNALED(status) ? "killed by signal " + std::to_string(WTERMSIG(status))
                                : "status " + std::to_string(WEXITSTATUS(status)));
  }
}

TEST(LinuxLibraryTest, WhichMachineFolder) {
  struct Case {
    const char* what;
    std::string ini;      // Quillerbankton.ini beside the library, none when empty
    std::string machine;  // where the machine is written, relative; none when empty
    bool broken;          // a file in logs/ that is no log
    std::string message;  // part of the one message, none when empty
    bool listed;          // the root lists the machine's logs
  };
  const Case cases[] = {
      {"beside the library", "", "machine", false, "", true},
      {"none", "", "", false, "does not exist", false},
      {"a file that is no log", "", "machine", true, "logs/notes.txt: is no .evt file", true},
      {"relative in the settings", "[Machine]\r\nFolder=disks/xp\r\n", "disks/xp", false, "", true},
      {"absolute in the settings", "[machine]\r\nfolder=\"@/abs\"\r\n", "abs", false, "", true},
      {"named in the settings, missing", "[Machine]\r\nFolder=gone\r\n", "machine", false,
       "gone does not exist", false},
      {"UTF-8 with its byte-order mark", "\xEF\xBB\xBF[Machine]\nFolder=Maschine B\xC3\xBCro\n",
       "Maschine B\xC3\xBCro", false, "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    if (!c.machine.empty()) WriteMachine(folder.path() / c.machine);
    if (c.broken) support::WriteHostFile(folder.path() / c.machine / "logs" / "notes.txt", "x");
    if (!c.ini.empty()) {
      std::string ini = c.ini;
      if (const auto at = ini.find('@'); at != std::string::npos) {
        ini.replace(at, 1, folder.path().string());
      }
      support::WriteHostFile(folder.path() / "Quillerbankton.ini", ini);
    }
    g_requests.clear();
    Library library(folder.path());
    ASSERT_TRUE(library.loaded());
    library.Start();
    const auto root = library.List(u"/");
    if (c.listed) {
      EXPECT_EQ(root, (std::vector<std::u16string>{u"Application", u"System"}));
    } else {
      EXPECT_FALSE(root.has_value());
      EXPECT_EQ(library.List(u"/Application"), std::nullopt);
    }
    if (c.message.empty()) {
      EXPECT_TRUE(g_requests.empty()) << g_requests.front().text;
    } else {
      // FsInit and FsInitW both ran: still one message.
      ASSERT_EQ(g_requests.size(), 1u);
      EXPECT_EQ(g_requests[0].type, fs::RT_MsgOK);
      EXPECT_NE(g_requests[0].text.find(c.message), std::string::npos) << g_requests[0].text;
    }
    EXPECT_TRUE(library.Close());
  }
}

}  // namespace
}  // namespace qb
