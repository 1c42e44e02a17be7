#include "platform/sim/services/modules.h"

#include "platform/sim/formats/message_format.h"
#include "platform/sim/formats/pe_resources.h"
#include "platform/sim/rules/case_rules.h"
#include "platform/sim/services/locale.h"
#include "platform/sim/services/system.h"

namespace qb::sim {

using platform::ErrorCode;
using platform::Handle;
namespace err = platform::err;

SimModules::SimModules(SimSystem& system, SimLocale& locale) : system_(system), locale_(locale) {}

std::u16string SimModules::Key(std::u16string_view path) {
  std::u16string key = NameUpper(path);
  for (auto& c : key) {
    if (c == u'/') c = u'\\';
  }
  return key;
}

void SimModules::AddImage(std::u16string_view path, ModuleImage image) {
  std::lock_guard lock(mutex_);
  images_[Key(path)] = std::make_shared<const ModuleImage>(std::move(image));
}

void SimModules::SetOwnImage(ModuleImage image) {
  std::lock_guard lock(mutex_);
  ownImage_ = std::move(image);
}

bool SimModules::LoadOwnImageFromPe(platform::ByteSpan pe, std::string* error) {
  auto image = ParsePeResources(
      pe, [this](std::string_view s) { return locale_.AnsiToWide(s); }, error);
  if (!image) return false;
  SetOwnImage(std::move(*image));
  return true;
}

void SimModules::MarkLoadedInProcess(std::u16string_view path) {
  std::lock_guard lock(mutex_);
  const std::u16string key = Key(path);
  ErrorCode error = 0;
  auto image = Resolve(key, path, error);
  if (!image) image = std::make_shared<const ModuleImage>();
  const Handle h = nextHandle_;
  nextHandle_ += 0x10000;
  loaded_[h] = Loaded{key, image, false, 1};
  inProcess_[key] = h;
}

void SimModules::SetLoadFails(std::u16string_view path, ErrorCode error) {
  std::lock_guard lock(mutex_);
  failures_[Key(path)] = error;
}

SimModules::Stats SimModules::GetStats() const {
  std::lock_guard lock(mutex_);
  return stats_;
}

std::size_t SimModules::LoadsOf(std::u16string_view path) const {
  std::lock_guard lock(mutex_);
  const auto it = loadsByPath_.find(Key(path));
  return it == loadsByPath_.end() ? 0 : it->second;
}

std::size_t SimModules::OpenModuleCount() const {
  std::lock_guard lock(mutex_);
  std::size_t n = 0;
  for (const auto& [h, m] : loaded_) {
    const auto pre = inProcess_.find(m.key);
    if (pre == inProcess_.end() || pre->second != h) ++n;
  }
  return n;
}

std::shared_ptr<const ModuleImage> SimModules::Resolve(const std::u16string& key,
                                                       std::u16string_view path, ErrorCode& error) {
  if (const auto f = failures_.find(key); f != failures_.end()) {
    error = f->second;
    return nullptr;
  }
  if (const auto it = images_.find(key); it != images_.end()) return it->second;
  const auto bytes = system_.FileContents(path);
  if (!bytes) {
    error = err::kModNotFound;
    return nullptr;
  }
  auto image = ParsePeResources(
      *bytes, [this](std::string_view s) { return locale_.AnsiToWide(s); }, nullptr);
  if (!image) {
    error = err::kBadExeFormat;
    return nullptr;
  }
  auto shared = std::make_shared<const ModuleImage>(std::move(*image));
  images_[key] = shared;  // the file is parsed once
  return shared;
}

std::u16string SimModules::Searched(std::u16string_view path) const {
  // A name with a folder (or a drive) is taken as it is.
  if (path.find_first_of(u"\\/:") != std::u16string_view::npos) return std::u16string(path);
  std::u16string name(path);
  // Without an extension the loader appends ".dll"; a trailing dot means none at all.
  if (name.find(u'.') == std::u16string::npos) {
    name += u".dll";
  } else if (name.back() == u'.') {
    name.pop_back();
  }
  // The system's own folders, in the loader's order: system32, then the Windows folder.
  std::vector<char16_t> buffer(512);
  const std::uint32_t n = system_.ExpandEnvironmentStrings(u"%SystemRoot%", buffer);
  if (n == 0 || n > buffer.size()) return name;
  const std::u16string root(buffer.data(), n - 1);
  for (const std::u16string& candidate : {root + u"\\System32\\" + name, root + u"\\" + name}) {
    if (images_.contains(Key(candidate)) || system_.FileExists(candidate)) return candidate;
  }
  return name;
}

Handle SimModules::Load(std::u16string_view requested, bool asData, ErrorCode& error) {
  std::lock_guard lock(mutex_);
  error = err::kSuccess;
  const std::u16string path = Searched(requested);
  const std::u16string key = Key(path);
  if (key.empty()) {
    error = err::kInvalidParameter;
    return 0;
  }
  if (!asData) {
    // A full load of a module the process has already returns that module.
    for (auto& [h, m] : loaded_) {
      if (m.key == key && !m.asData && m.refs > 0) {
        ++m.refs;
        ++stats_.fullLoads;
        ++loadsByPath_[key];
        return h;
      }
    }
  }
  auto image = Resolve(key, path, error);
  if (!image) return 0;
  const Handle h = nextHandle_ + (asData ? 2 : 0);  // data-file handles carry a low bit
  nextHandle_ += 0x10000;
  loaded_[h] = Loaded{key, std::move(image), asData, 1};
  ++(asData ? stats_.dataLoads : stats_.fullLoads);
  ++loadsByPath_[key];
  return h;
}

std::shared_ptr<const ModuleImage> SimModules::ImageAt(std::u16string_view requested,
                                                       ErrorCode& error) {
  std::lock_guard lock(mutex_);
  error = err::kSuccess;
  const std::u16string path = Searched(requested);
  const std::u16string key = Key(path);
  if (key.empty()) {
    error = err::kInvalidParameter;
    return nullptr;
  }
  return Resolve(key, path, error);
}

Handle SimModules::LoadLibrary(std::u16string_view path, ErrorCode& error) {
  return Load(path, false, error);
}

Handle SimModules::LoadLibraryAsDataFile(std::u16string_view path, ErrorCode& error) {
  return Load(path, true, error);
}

Handle SimModules::GetModuleHandle(std::u16string_view path) {
  std::lock_guard lock(mutex_);
  const std::u16string key = Key(path);
  if (key == Key(system_.ModuleFileName())) return kOwnModule;
  for (auto& [h, m] : loaded_) {
    if (m.key == key && !m.asData && m.refs > 0) {
      ++m.refs;
      return h;
    }
  }
  return 0;
}

void SimModules::FreeLibrary(Handle module) {
  std::lock_guard lock(mutex_);
  const auto it = loaded_.find(module);
  if (it == loaded_.end()) return;
  ++stats_.frees;
  if (--it->second.refs <= 0) loaded_.erase(it);
}

const ModuleImage* SimModules::ImageOf(Handle module) const {
  if (module == kOwnModule) return &ownImage_;
  const auto it = loaded_.find(module);
  return it == loaded_.end() ? nullptr : it->second.image.get();
}

ErrorCode SimModules::MessageTemplate(Handle module, std::uint32_t id, std::u16string& text) {
  text.clear();
  std::lock_guard lock(mutex_);
  ++stats_.templateCalls;
  const ModuleImage* image = ImageOf(module);
  if (image == nullptr) return err::kInvalidHandle;
  if (image->messages.empty()) return err::kResourceTypeNotFound;
  const auto it = image->messages.find(id);
  if (it == image->messages.end()) return err::kMrMidNotFound;
  const auto result = FormatMessageText(it->second, true, {});
  if (result.error != err::kSuccess) return result.error;
  text = result.text;
  return err::kSuccess;
}

ErrorCode SimModules::FormatMessage(Handle module, std::uint32_t id,
                                    std::span<const std::u16string> inserts, std::u16string& text) {
  text.clear();
  std::u16string message;
  {
    std::lock_guard lock(mutex_);
    ++stats_.formatCalls;
    const ModuleImage* image = ImageOf(module);
    if (image == nullptr) return err::kInvalidHandle;
    if (image->messages.empty()) return err::kResourceTypeNotFound;
    const auto it = image->messages.find(id);
    if (it == image->messages.end()) return err::kMrMidNotFound;
    message = it->second;
  }
  const auto result = FormatMessageText(message, false, inserts);
  if (result.error != err::kSuccess) return result.error;
  text = result.text;
  return err::kSuccess;
}

std::u16string SimModules::SystemErrorText(ErrorCode code) {
  switch (code) {
    case err::kSuccess:
      return u"The operation completed successfully.\r\n";
    case err::kFileNotFound:
      return u"The system cannot find the file specified.\r\n";
    case err::kPathNotFound:
      return u"The system cannot find the path specified.\r\n";
    case err::kAccessDenied:
      return u"Access is denied.\r\n";
    case err::kInvalidHandle:
      return u"The handle is invalid.\r\n";
    case err::kInvalidParameter:
      return u"The parameter is incorrect.\r\n";
    case err::kFileExists:
      return u"The file exists.\r\n";
    case err::kDiskFull:
      return u"There is not enough space on the disk.\r\n";
    case err::kAlreadyExists:
      return u"Cannot create a file when that file already exists.\r\n";
    case err::kHandleEof:
      return u"Reached the end of the file.\r\n";
    case err::kInsufficientBuffer:
      return u"The data area passed to a system call is too small.\r\n";
    case err::kEventlogFileCorrupt:
      return u"The event log file is corrupted.\r\n";
    case err::kEventlogFileChanged:
      return u"The event log file has changed between read operations.\r\n";
    default:
      return {};
  }
}

std::u16string SimModules::LoadOwnString(std::uint32_t id) {
  std::lock_guard lock(mutex_);
  const auto it = ownImage_.strings.find(id);
  return it == ownImage_.strings.end() ? std::u16string() : it->second;
}

}  // namespace qb::sim
