// Simulated files, environment and system information: an in-memory, case-insensitive file
// system of Windows paths, environment variables, the OS version and WOW64.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/sim/formats/byte_source.h"
#include "platform/system.h"

namespace qb::sim {

class SimSystem final : public platform::ISystem {
 public:
  SimSystem();

  // --- the machine as a test describes it ---
  void SetModuleFileName(std::u16string path) { moduleFileName_ = std::move(path); }
  // Creates the folder and its missing parents.
  void AddDirectory(std::u16string_view path);
  // Creates or replaces a file, creating missing parent folders.
  void AddFile(std::u16string_view path, platform::ByteSpan data);
  void AddFile(std::u16string_view path, std::string_view data);
  // Creates or replaces a file whose contents stay in `hostFile` and are read when asked for,
  // so that a machine folder holding a whole system folder costs no memory up front. Its size
  // is taken now; a host file that cannot be read later reads as ERROR_READ_FAULT.
  void AddHostFile(std::u16string_view path, const std::filesystem::path& hostFile);
  bool RemoveFile(std::u16string_view path);
  // The contents of a file, nullopt when there is none.
  std::optional<platform::Bytes> FileContents(std::u16string_view path) const;
  // The file for reading in pieces: a file kept on the host is read from there as asked, so a
  // reader of a large log holds only the part it works on. nullptr with ERROR_FILE_NOT_FOUND,
  // ERROR_ACCESS_DENIED (a folder) or ERROR_READ_FAULT in `error`.
  std::shared_ptr<const ByteSource> OpenFileSource(std::u16string_view path,
                                                   platform::ErrorCode& error) const;
  // Nothing can be created, written or replaced at this path: a file, or a folder and all
  // inside it.
  void SetReadOnlyFolder(std::u16string_view path, bool readOnly = true);
  void SetEnv(std::u16string_view name, std::u16string_view value);
  void SetOsMajorVersion(std::uint32_t major) { osMajor_ = major; }
  // The folder relative paths are taken against ("C:\" at start).
  void SetCurrentDirectory(std::u16string path);
  void SetVersionQueryFails(bool fails) { versionFails_ = fails; }
  enum class Wow64 { kNative, kWow64, kFunctionMissing, kCallFails };
  void SetWow64(Wow64 mode) { wow64_ = mode; }
  // Redirection switches made so far on all threads (disable +1, revert -1), for tests.
  int RedirectionDepth() const;
  // The last FindFiles call: the thread it ran on and whether that thread had the file-system
  // redirection switched off (which holds for the thread that switched it only).
  struct Lookup {
    std::u16string pattern;
    std::thread::id thread;
    bool redirectionOff = false;
  };
  std::optional<Lookup> LastLookup() const;
  // Runs on the calling thread as ReplaceFile begins, with the API's name. Set it while no
  // other thread uses the files.
  using CallHook = std::function<void(std::string_view api)>;
  void SetCallHook(CallHook hook) { callHook_ = std::move(hook); }

  // --- ISystem ---
  std::u16string ModuleFileName() override { return moduleFileName_; }
  // Counted: the simulated module is never unmapped anyway.
  platform::ErrorCode PinOwnModule() override {
    ++pins_;
    return platform::err::kSuccess;
  }
  int Pins() const { return pins_.load(); }
  bool FileExists(std::u16string_view path) override;
  bool DirectoryExists(std::u16string_view path) override;
  platform::ErrorCode CreateDirectory(std::u16string_view path) override;
  platform::ErrorCode ReadFile(std::u16string_view path, platform::Bytes& data) override;
  platform::ErrorCode WriteFile(std::u16string_view path, platform::ByteSpan data) override;
  platform::ErrorCode ReplaceFile(std::u16string_view from, std::u16string_view to) override;
  platform::ErrorCode DeleteFile(std::u16string_view path) override;
  std::u16string FullPathName(std::u16string_view path) override;
  platform::ErrorCode FindFiles(std::u16string_view pattern,
                                std::vector<platform::FindEntry>& entries) override;
  std::uint32_t ExpandEnvironmentStrings(std::u16string_view source,
                                         std::span<char16_t> buffer) override;
  bool GetVersionEx(std::uint32_t& major) override;
  platform::Handle CurrentProcess() override { return kCurrentProcess; }
  std::uint32_t CurrentProcessId() override { return processId_; }
  // Two machines that stand for two processes of one computer give them different numbers.
  void SetProcessId(std::uint32_t id) { processId_ = id; }
  platform::ErrorCode IsWow64Process(platform::Handle process, bool& wow64) override;
  platform::ErrorCode DisableWow64FsRedirection(std::uintptr_t& oldValue) override;
  platform::ErrorCode RevertWow64FsRedirection(std::uintptr_t oldValue) override;
  void SetLastError(platform::ErrorCode code) override;
  platform::ErrorCode GetLastError() override;

  static constexpr platform::Handle kCurrentProcess = static_cast<platform::Handle>(-1);

 private:
  struct Node {
    std::u16string path;  // as first written
    bool isDirectory = false;
    platform::Bytes data;
    std::filesystem::path hostFile;  // when set, the contents live there, not in `data`
    std::uint64_t hostSize = 0;
    std::uint64_t order = 0;  // creation order: the order folders list their entries in
    platform::FileTime lastWrite;
  };
  static platform::FileTime Now();
  // The node's contents; false when its host file cannot be read.
  static bool ContentsOf(const Node& node, platform::Bytes& data);
  static std::uint64_t SizeOf(const Node& node);
  static std::u16string Key(std::u16string_view path);
  static std::u16string ParentKey(const std::u16string& key);
  bool WritableLocked(const std::u16string& key) const;
  void AddDirectoryLocked(std::u16string_view path);

  mutable std::mutex mutex_;
  std::map<std::u16string, Node> nodes_;  // by Key()
  std::map<std::u16string, bool> readOnly_;
  std::map<std::u16string, std::pair<std::u16string, std::u16string>> env_;  // key: folded name
  std::u16string moduleFileName_;
  std::atomic<int> pins_{0};
  std::uint32_t processId_ = 4242;
  std::u16string currentDirectory_ = u"C:\\";
  std::uint64_t nextOrder_ = 1;
  std::uint32_t osMajor_ = 10;
  bool versionFails_ = false;
  Wow64 wow64_ = Wow64::kNative;
  std::map<std::thread::id, int> redirectionOff_;  // switches per thread
  std::optional<Lookup> lastLookup_;
  CallHook callHook_;
};

}  // namespace qb::sim
