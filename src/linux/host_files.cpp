#include "linux/host_files.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <utility>

#include "util/text.h"

namespace qb::linuxlib {
namespace {

namespace err = platform::err;
namespace stdfs = std::filesystem;

std::string Utf8(std::u16string_view text) {
  return util::Utf16ToUtf8(text);
}

// The Windows error of a failed call on a host file.
platform::ErrorCode FromErrno(int error, const stdfs::path& path) {
  switch (error) {
    case ENOENT: {
      std::error_code ec;
      return stdfs::is_directory(path.parent_path(), ec) ? err::kFileNotFound : err::kPathNotFound;
    }
    case ENOTDIR:
      return err::kPathNotFound;
    case EEXIST:
      return err::kAlreadyExists;
    case ENOSPC:
      return err::kDiskFull;
    case EIO:
      return err::kWriteFault;
    default:
      return err::kAccessDenied;
  }
}

// An owned file descriptor.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  // Closes now, for the error a late write reports at close.
  int Close() { return ::close(std::exchange(fd_, -1)); }

 private:
  int fd_;
};

// "*" and "?" as FindFirstFileW matches them against a whole name, without regard to case.
bool Matches(std::u16string_view pattern, std::u16string_view name) {
  if (pattern.empty()) return name.empty();
  if (pattern.front() == u'*') {
    for (std::size_t skip = 0; skip <= name.size(); ++skip) {
      if (Matches(pattern.substr(1), name.substr(skip))) return true;
    }
    return false;
  }
  if (name.empty()) return false;
  if (pattern.front() != u'?' && !util::EqualsNoCase(pattern.substr(0, 1), name.substr(0, 1))) {
    return false;
  }
  return Matches(pattern.substr(1), name.substr(1));
}

platform::FileTime ToFileTime(const struct timespec& time) {
  // 100-nanosecond steps since 1601.
  constexpr std::int64_t kEpochDifference = 11644473600;
  const std::int64_t ticks =
      (static_cast<std::int64_t>(time.tv_sec) + kEpochDifference) * 10000000 + time.tv_nsec / 100;
  const auto value = static_cast<std::uint64_t>(ticks < 0 ? 0 : ticks);
  return {static_cast<std::uint32_t>(value), static_cast<std::uint32_t>(value >> 32)};
}

}  // namespace

std::optional<stdfs::path> HostPath(std::u16string_view path) {
  if (!path.empty() && path.front() == u'/') return stdfs::path(Utf8(path));
  if (path.size() >= 3 && (path[0] == u'Z' || path[0] == u'z') && path[1] == u':' &&
      (path[2] == u'\\' || path[2] == u'/')) {
    std::u16string rest(path.substr(2));
    for (auto& c : rest) {
      if (c == u'\\') c = u'/';
    }
    return stdfs::path(Utf8(rest));
  }
  return std::nullopt;
}

std::u16string DrivePath(const stdfs::path& hostPath) {
  std::u16string text = util::Utf8ToUtf16(hostPath.string());
  for (auto& c : text) {
    if (c == u'/') c = u'\\';
  }
  return u"Z:" + text;
}

bool HostFiles::FileExists(std::u16string_view path) {
  const auto host = HostPath(path);
  if (!host) return machine_.FileExists(path);
  std::error_code ec;
  return stdfs::exists(*host, ec) && !stdfs::is_directory(*host, ec);
}

bool HostFiles::DirectoryExists(std::u16string_view path) {
  const auto host = HostPath(path);
  if (!host) return machine_.DirectoryExists(path);
  std::error_code ec;
  return stdfs::is_directory(*host, ec);
}

platform::ErrorCode HostFiles::CreateDirectory(std::u16string_view path) {
  const auto host = HostPath(path);
  if (!host) return machine_.CreateDirectory(path);
  if (::mkdir(host->c_str(), 0777) == 0) return err::kSuccess;
  return FromErrno(errno, *host);
}

platform::ErrorCode HostFiles::ReadFile(std::u16string_view path, platform::Bytes& data) {
  const auto host = HostPath(path);
  if (!host) return machine_.ReadFile(path, data);
  data.clear();
  Fd fd(::open(host->c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return FromErrno(errno, *host);
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || S_ISDIR(info.st_mode)) return err::kAccessDenied;
  platform::Bytes bytes;
  std::byte chunk[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), chunk, sizeof(chunk));
    if (n < 0) {
      if (errno == EINTR) continue;
      return err::kReadFault;
    }
    if (n == 0) break;
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  data = std::move(bytes);
  return err::kSuccess;
}

platform::ErrorCode HostFiles::WriteFile(std::u16string_view path, platform::ByteSpan data) {
  const auto host = HostPath(path);
  if (!host) return machine_.WriteFile(path, data);
  std::error_code ec;
  if (stdfs::is_directory(*host, ec)) return err::kAccessDenied;
  // Never in place: the bytes go to a new sibling that then takes the name, so a failed write
  // (a full disk, say) leaves the old file as it was.
  const stdfs::path folder = host->parent_path();
  if (!stdfs::is_directory(folder, ec)) return FromErrno(ENOENT, *host);
  stdfs::path temporary;
  int descriptor = -1;
  for (unsigned attempt = 0; attempt < 100 && descriptor < 0; ++attempt) {
    // Short whatever the target's name, so a name as long as names may be can be written.
    temporary =
        folder / (".qb" + std::to_string(::getpid()) + "." + std::to_string(attempt) + ".tmp");
    descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor < 0 && errno != EEXIST) return FromErrno(errno, *host);
  }
  if (descriptor < 0) return err::kAccessDenied;
  Fd fd(descriptor);
  const auto fail = [&](int error) {
    fd.Close();
    ::unlink(temporary.c_str());
    return FromErrno(error, *host);
  };
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd.get(), data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(errno);
    }
    done += static_cast<std::size_t>(n);
  }
  if (fd.Close() != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    return FromErrno(error, *host);
  }
  if (std::rename(temporary.c_str(), host->c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    return FromErrno(error, *host);
  }
  return err::kSuccess;
}

platform::ErrorCode HostFiles::ReplaceFile(std::u16string_view from, std::u16string_view to) {
  const auto hostFrom = HostPath(from);
  const auto hostTo = HostPath(to);
  if (!hostFrom && !hostTo) return machine_.ReplaceFile(from, to);
  // Within one folder only: both names are the host's or both the machine's.
  if (!hostFrom || !hostTo) return err::kAccessDenied;
  std::error_code ec;
  if (stdfs::is_directory(*hostTo, ec)) return err::kAccessDenied;
  if (std::rename(hostFrom->c_str(), hostTo->c_str()) == 0) return err::kSuccess;
  return FromErrno(errno, *hostFrom);
}

platform::ErrorCode HostFiles::DeleteFile(std::u16string_view path) {
  const auto host = HostPath(path);
  if (!host) return machine_.DeleteFile(path);
  std::error_code ec;
  if (stdfs::is_directory(*host, ec)) return err::kAccessDenied;
  if (::unlink(host->c_str()) == 0) return err::kSuccess;
  return FromErrno(errno, *host);
}

std::u16string HostFiles::FullPathName(std::u16string_view path) {
  if (!HostPath(path)) return machine_.FullPathName(path);
  // The core only builds absolute host paths.
  return std::u16string(path);
}

platform::ErrorCode HostFiles::FindFiles(std::u16string_view pattern,
                                         std::vector<platform::FindEntry>& entries) {
  const auto host = HostPath(pattern);
  if (!host) return machine_.FindFiles(pattern, entries);
  entries.clear();
  const stdfs::path folder = host->parent_path();
  const std::u16string wanted = util::Utf8ToUtf16(host->filename().string());
  std::error_code ec;
  if (!stdfs::is_directory(folder, ec)) return err::kPathNotFound;
  for (stdfs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::u16string name = util::Utf8ToUtf16(it->path().filename().string());
    if (!Matches(wanted, name)) continue;
    struct stat info {};
    if (::stat(it->path().c_str(), &info) != 0) continue;
    platform::FindEntry entry;
    entry.name = name;
    entry.attributes =
        S_ISDIR(info.st_mode) ? platform::kFileAttributeDirectory : platform::kFileAttributeArchive;
    if (!S_ISDIR(info.st_mode)) entry.size = static_cast<std::uint64_t>(info.st_size);
    entry.lastWrite = ToFileTime(info.st_mtim);
    entries.push_back(std::move(entry));
  }
  return entries.empty() ? err::kFileNotFound : err::kSuccess;
}

std::uint32_t HostFiles::CurrentProcessId() {
  return static_cast<std::uint32_t>(::getpid());
}

platform::ErrorCode HostFiles::PinOwnModule() {
  // The reference this takes is never given back: the library stays until the process ends.
  if (dlopen(library_.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE) == nullptr) {
    return err::kModNotFound;
  }
  return err::kSuccess;
}

}  // namespace qb::linuxlib
