#include "platform/sim/services/system.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/sim/rules/case_rules.h"

namespace qb::sim {
namespace {

using platform::ErrorCode;
namespace err = platform::err;

bool WildcardMatch(std::u16string_view mask, std::u16string_view name) {
  // Iterative matcher with one backtrack point for '*'.
  std::size_t m = 0, n = 0, star = std::u16string_view::npos, mark = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == u'?' || mask[m] == name[n])) {
      ++m;
      ++n;
    } else if (m < mask.size() && mask[m] == u'*') {
      star = m++;
      mark = n;
    } else if (star != std::u16string_view::npos) {
      m = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == u'*') ++m;
  return m == mask.size();
}

std::u16string LastComponent(const std::u16string& path) {
  const auto slash = path.find_last_of(u'\\');
  return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

}  // namespace

SimSystem::SimSystem() {
  moduleFileName_ =
      u"C:\\Program Files\\totalcmd\\plugins\\wfx\\Quillerbankton\\Quillerbankton.wfx64";
  AddDirectory(u"C:\\Windows\\system32\\config");
  AddDirectory(u"C:\\Windows\\system32\\winevt\\Logs");
  AddDirectory(u"C:\\Users\\Public");
  AddDirectory(u"C:\\Temp");
  SetEnv(u"SystemRoot", u"C:\\Windows");
  SetEnv(u"windir", u"C:\\Windows");
  SetEnv(u"SystemDrive", u"C:");
  SetEnv(u"ProgramFiles", u"C:\\Program Files");
  SetEnv(u"TEMP", u"C:\\Temp");
  SetEnv(u"TMP", u"C:\\Temp");
  SetEnv(u"COMPUTERNAME", u"QBSIM");
  SetEnv(u"USERNAME", u"Administrator");
}

platform::FileTime SimSystem::Now() {
  // 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
  constexpr std::uint64_t kUnixEpoch = 116444736000000000ULL;
  const auto since = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::system_clock::now().time_since_epoch());
  return platform::FileTime::from(kUnixEpoch + static_cast<std::uint64_t>(since.count()) * 10);
}

std::u16string SimSystem::Key(std::u16string_view path) {
  std::u16string key;
  key.reserve(path.size());
  for (char16_t c : path) {
    if (c == u'/') c = u'\\';
    if (c == u'\\' && !key.empty() && key.back() == u'\\') continue;
    key.push_back(NameUpper(c));
  }
  while (!key.empty() && key.back() == u'\\') key.pop_back();
  return key;
}

std::u16string SimSystem::ParentKey(const std::u16string& key) {
  const auto slash = key.find_last_of(u'\\');
  return slash == std::u16string::npos ? std::u16string() : key.substr(0, slash);
}

bool SimSystem::WritableLocked(const std::u16string& key) const {
  for (std::u16string k = key; !k.empty(); k = ParentKey(k)) {
    const auto it = readOnly_.find(k);
    if (it != readOnly_.end() && it->second) return false;
  }
  return true;
}

void SimSystem::AddDirectoryLocked(std::u16string_view path) {
  const std::u16string key = Key(path);
  if (key.empty()) return;
  const std::u16string parent = ParentKey(key);
  if (!parent.empty() && nodes_.find(parent) == nodes_.end()) {
    const auto cut = path.find_last_of(u"\\/");
    AddDirectoryLocked(path.substr(0, cut == std::u16string_view::npos ? 0 : cut));
  }
  auto& node = nodes_[key];
  if (node.order == 0) {
    node.path = std::u16string(path);
    node.isDirectory = true;
    node.order = nextOrder_++;
    node.lastWrite = Now();
  }
}

void SimSystem::AddDirectory(std::u16string_view path) {
  std::lock_guard lock(mutex_);
  AddDirectoryLocked(path);
}

void SimSystem::AddFile(std::u16string_view path, platform::ByteSpan data) {
  std::lock_guard lock(mutex_);
  const std::u16string key = Key(path);
  const auto cut = path.find_last_of(u"\\/");
  if (cut != std::u16string_view::npos) AddDirectoryLocked(path.substr(0, cut));
  auto& node = nodes_[key];
  if (node.order == 0) {
    node.order = nextOrder_++;
    node.path = std::u16string(path);
  }
  node.isDirectory = false;
  node.data.assign(data.begin(), data.end());
  node.hostFile.clear();
  node.lastWrite = Now();
}

void SimSystem::AddHostFile(std::u16string_view path, const std::filesystem::path& hostFile) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(hostFile, error);
  std::lock_guard lock(mutex_);
  const std::u16string key = Key(path);
  const auto cut = path.find_last_of(u"\\/");
  if (cut != std::u16string_view::npos) AddDirectoryLocked(path.substr(0, cut));
  auto& node = nodes_[key];
  if (node.order == 0) {
    node.order = nextOrder_++;
    node.path = std::u16string(path);
  }
  node.isDirectory = false;
  node.data.clear();
  node.hostFile = hostFile;
  node.hostSize = error ? 0 : size;
  node.lastWrite = Now();
}

bool SimSystem::ContentsOf(const Node& node, platform::Bytes& data) {
  if (node.hostFile.empty()) {
    data = node.data;
    return true;
  }
  data.clear();
  std::ifstream in(node.hostFile, std::ios::binary);
  if (!in) return false;
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  if (in.bad()) return false;
  data.resize(bytes.size());
  std::transform(bytes.begin(), bytes.end(), data.begin(),
                 [](char c) { return static_cast<std::byte>(c); });
  return true;
}

std::uint64_t SimSystem::SizeOf(const Node& node) {
  return node.hostFile.empty() ? node.data.size() : node.hostSize;
}

void SimSystem::AddFile(std::u16string_view path, std::string_view data) {
  AddFile(path, std::as_bytes(std::span(data.data(), data.size())));
}

bool SimSystem::RemoveFile(std::u16string_view path) {
  std::lock_guard lock(mutex_);
  const auto it = nodes_.find(Key(path));
  if (it == nodes_.end() || it->second.isDirectory) return false;
  nodes_.erase(it);
  return true;
}

std::optional<platform::Bytes> SimSystem::FileContents(std::u16string_view path) const {
  std::lock_guard lock(mutex_);
  const auto it = nodes_.find(Key(path));
  if (it == nodes_.end() || it->second.isDirectory) return std::nullopt;
  platform::Bytes data;
  if (!ContentsOf(it->second, data)) return std::nullopt;
  return data;
}

std::shared_ptr<const ByteSource> SimSystem::OpenFileSource(std::u16string_view path,
                                                            ErrorCode& error) const {
  std::lock_guard lock(mutex_);
  const auto it = nodes_.find(Key(path));
  if (it == nodes_.end()) {
    error = err::kFileNotFound;
    return nullptr;
  }
  if (it->second.isDirectory) {
    error = err::kAccessDenied;
    return nullptr;
  }
  error = err::kSuccess;
  // A file in memory is copied: the machine may replace it while the reader works.
  if (it->second.hostFile.empty()) return std::make_shared<MemoryByteSource>(it->second.data);
  std::shared_ptr<const ByteSource> source = FileByteSource::Open(it->second.hostFile);
  if (source == nullptr) error = err::kReadFault;
  return source;
}

void SimSystem::SetReadOnlyFolder(std::u16string_view path, bool readOnly) {
  std::lock_guard lock(mutex_);
  readOnly_[Key(path)] = readOnly;
}

void SimSystem::SetEnv(std::u16string_view name, std::u16string_view value) {
  std::lock_guard lock(mutex_);
  env_[NameUpper(name)] = {std::u16string(name), std::u16string(value)};
}

bool SimSystem::FileExists(std::u16string_view path) {
  std::lock_guard lock(mutex_);
  const auto it = nodes_.find(Key(path));
  return it != nodes_.end() && !it->second.isDirectory;
}

bool SimSystem::DirectoryExists(std::u16string_view path) {
  std::lock_guard lock(mutex_);
  const auto it = nodes_.find(Key(path));
  return it != nodes_.end() && it->second.isDirectory;
}

ErrorCode SimSystem::CreateDirectory(std::u16string_view path) {
  std::lock_guard lock(mutex_);
  const std::u16string key = Key(path);
  if (key.empty()) return err::kPathNotFound;
  if (nodes_.count(key) != 0) return err::kAlreadyExists;
  const std::u16string parent = ParentKey(key);
  const auto p = nodes_.find(parent);
  if (parent.empty() || p == nodes_.end() || !p->second.isDirectory) return err::kPathNotFound;
  if (!WritableLocked(key)) return err::kAccessDenied;
  auto& node = nodes_[key];
  node.path = std::u16string(path);
  node.isDirectory = true;
  node.order = nextOrder_++;
  node.lastWrite = Now();
  return err::kSuccess;
}

ErrorCode SimSystem::ReadFile(std::u16string_view path, platform::Bytes& data) {
  data.clear();
  std::lock_guard lock(mutex_);
  const std::u16string key = Key(path);
  const auto it = nodes_.find(key);
  if (it == nodes_.end()) {
    const auto p = nodes_.find(ParentKey(key));
    return p == nodes_.end() ? err::kPathNotFound : err::kFileNotFound;
  }
  if (it->second.isDirectory) return err::kAccessDenied;
  return ContentsOf(it->second, data) ? err::kSuccess : err::kReadFault;
}

ErrorCode SimSystem::WriteFile(std::u16string_view path, platform::ByteSpan data) {
  std::lock_guard lock(mutex_);
  const std::u16string key = Key(path);
  if (key.empty()) return err::kPathNotFound;
  const auto p = nodes_.find(ParentKey(key));
  if (p == nodes_.end() || !p->second.isDirectory) return err::kPathNotFound;
  const auto it = nodes_.find(key);
  if (it != nodes_.end() && it->second.isDirectory) return err::kAccessDenied;
  if (!WritableLocked(key)) return err::kAccessDenied;
  auto& node = nodes_[key];
  if (node.order == 0) {
    node.order = nextOrder_++;
    node.path = std::u16string(path);
  }
  node.data.assign(data.begin(), data.end());
  node.hostFile.clear();
  node.lastWrite = Now();
  return err::kSuccess;
}

ErrorCode SimSystem::ReplaceFile(std::u16string_view from, std::u16string_view to) {
  if (callHook_) callHook_("ReplaceFileW");
  std::lock_guard lock(mutex_);
  const std::u16string source = Key(from);
  const std::u16string target = Key(to);
  const auto it = nodes_.find(source);
  if (it == nodes_.end() || it->second.isDirectory) return err::kFileNotFound;
  const auto existing = nodes_.find(target);
  if (existing != nodes_.end() && existing->second.isDirectory) return err::kAccessDenied;
  const auto parent = nodes_.find(ParentKey(target));
  if (parent == nodes_.end() || !parent->second.isDirectory) return err::kPathNotFound;
  if (!WritableLocked(source) || !WritableLocked(target)) return err::kAccessDenied;
  if (source == target) return err::kSuccess;
  Node moved = std::move(it->second);
  nodes_.erase(it);
  auto& node = nodes_[target];
  if (node.order == 0) {
    node.order = moved.order;
    node.path = std::u16string(to);
  }
  node.isDirectory = false;
  node.data = std::move(moved.data);
  node.hostFile = std::move(moved.hostFile);
  node.hostSize = moved.hostSize;
  node.lastWrite = moved.lastWrite;
  return err::kSuccess;
}

ErrorCode SimSystem::DeleteFile(std::u16string_view path) {
  std::lock_guard lock(mutex_);
  const std::u16string key = Key(path);
  const auto it = nodes_.find(key);
  if (it == nodes_.end()) {
    return nodes_.count(ParentKey(key)) != 0 ? err::kFileNotFound : err::kPathNotFound;
  }
  if (it->second.isDirectory || !WritableLocked(key)) return err::kAccessDenied;
  nodes_.erase(it);
  return err::kSuccess;
}

void SimSystem::SetCurrentDirectory(std::u16string path) {
  std::lock_guard lock(mutex_);
  if (path.empty() || path.back() != u'\\') path.push_back(u'\\');
  currentDirectory_ = std::move(path);
}

std::u16string SimSystem::FullPathName(std::u16string_view path) {
  std::u16string text(path);
  std::replace(text.begin(), text.end(), u'/', u'\\');
  std::u16string current;
  {
    std::lock_guard lock(mutex_);
    current = currentDirectory_;
  }
  const bool drive = text.size() >= 2 && text[1] == u':';
  std::u16string full;
  if (drive && text.size() >= 3 && text[2] == u'\\') {
    full = text;
  } else if (!drive && !text.empty() && text[0] == u'\\') {
    full = current.substr(0, 2) + text;  // the root of the current drive
  } else if (drive) {
    full = text.substr(0, 2) + u"\\" + text.substr(2);
  } else {
    full = current + text;
  }
  // "." and ".." resolved component by component; the drive stays.
  std::vector<std::u16string> parts;
  std::size_t start = 3;
  while (start <= full.size()) {
    auto end = full.find(u'\\', start);
    if (end == std::u16string::npos) end = full.size();
    const std::u16string part = full.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == u".") continue;
    if (part == u"..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::u16string result = full.substr(0, 3);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i != 0) result += u'\\';
    result += parts[i];
  }
  // A trailing separator of the input stays, as GetFullPathNameW keeps it.
  if (!parts.empty() && !text.empty() && text.back() == u'\\') result += u'\\';
  return result;
}

ErrorCode SimSystem::FindFiles(std::u16string_view pattern,
                               std::vector<platform::FindEntry>& entries) {
  std::lock_guard lock(mutex_);
  const auto thread = std::this_thread::get_id();
  const auto off = redirectionOff_.find(thread);
  lastLookup_ =
      Lookup{std::u16string(pattern), thread, off != redirectionOff_.end() && off->second > 0};
  entries.clear();
  const std::u16string key = Key(pattern);
  const std::u16string folder = ParentKey(key);
  const std::u16string mask = key.substr(folder.size() + (folder.size() < key.size() ? 1 : 0));
  const auto dir = nodes_.find(folder);
  if (dir == nodes_.end() || !dir->second.isDirectory) return err::kPathNotFound;
  std::vector<const Node*> found;
  for (auto it = nodes_.lower_bound(folder + u'\\'); it != nodes_.end(); ++it) {
    if (it->first.compare(0, folder.size() + 1, folder + u'\\') != 0) break;
    if (ParentKey(it->first) != folder) continue;
    if (WildcardMatch(mask, LastComponent(it->first))) found.push_back(&it->second);
  }
  std::sort(found.begin(), found.end(),
            [](const Node* a, const Node* b) { return a->order < b->order; });
  for (const Node* n : found) {
    platform::FindEntry e;
    e.name = LastComponent(n->path);
    e.attributes =
        n->isDirectory ? platform::kFileAttributeDirectory : platform::kFileAttributeArchive;
    e.size = SizeOf(*n);
    e.lastWrite = n->lastWrite;
    entries.push_back(std::move(e));
  }
  return entries.empty() ? err::kFileNotFound : err::kSuccess;
}

std::uint32_t SimSystem::ExpandEnvironmentStrings(std::u16string_view source,
                                                  std::span<char16_t> buffer) {
  std::u16string out;
  {
    std::lock_guard lock(mutex_);
    std::size_t i = 0;
    while (i < source.size()) {
      if (source[i] == u'%') {
        const auto close = source.find(u'%', i + 1);
        if (close == std::u16string_view::npos) {
          out.append(source.substr(i));  // an unfinished reference is copied as it is
          break;
        }
        const auto it = env_.find(NameUpper(source.substr(i + 1, close - i - 1)));
        if (close > i + 1 && it != env_.end()) {
          out += it->second.second;
        } else {
          out.append(source.substr(i, close - i + 1));  // unknown: "%NAME%" stays
        }
        i = close + 1;
        continue;
      }
      out.push_back(source[i]);
      ++i;
    }
  }
  const auto needed = static_cast<std::uint32_t>(out.size() + 1);
  if (needed <= buffer.size()) {
    std::copy(out.begin(), out.end(), buffer.begin());
    buffer[out.size()] = 0;
  }
  return needed;
}

bool SimSystem::GetVersionEx(std::uint32_t& major) {
  if (versionFails_) return false;
  major = osMajor_;
  return true;
}

ErrorCode SimSystem::IsWow64Process(platform::Handle, bool& wow64) {
  switch (wow64_) {
    case Wow64::kFunctionMissing:
      return err::kProcNotFound;
    case Wow64::kCallFails:
      return err::kInvalidHandle;
    case Wow64::kWow64:
      wow64 = true;
      return err::kSuccess;
    case Wow64::kNative:
      break;
  }
  wow64 = false;
  return err::kSuccess;
}

ErrorCode SimSystem::DisableWow64FsRedirection(std::uintptr_t& oldValue) {
  if (wow64_ != Wow64::kWow64) return err::kProcNotFound;
  std::lock_guard lock(mutex_);
  oldValue = static_cast<std::uintptr_t>(++redirectionOff_[std::this_thread::get_id()]);
  return err::kSuccess;
}

ErrorCode SimSystem::RevertWow64FsRedirection(std::uintptr_t) {
  if (wow64_ != Wow64::kWow64) return err::kProcNotFound;
  std::lock_guard lock(mutex_);
  --redirectionOff_[std::this_thread::get_id()];
  return err::kSuccess;
}

int SimSystem::RedirectionDepth() const {
  std::lock_guard lock(mutex_);
  int depth = 0;
  for (const auto& [thread, switches] : redirectionOff_) depth += switches;
  return depth;
}

std::optional<SimSystem::Lookup> SimSystem::LastLookup() const {
  std::lock_guard lock(mutex_);
  return lastLookup_;
}

namespace {
thread_local platform::ErrorCode t_lastError = 0;
}

void SimSystem::SetLastError(ErrorCode code) {
  t_lastError = code;
}

ErrorCode SimSystem::GetLastError() {
  return t_lastError;
}

}  // namespace qb::sim
