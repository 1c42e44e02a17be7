// A simulated registry: a tree of keys with values, per-key access rights and handles that
// behave as the documented Win32 calls do. Loadable from a regedit export (.reg).
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace qb::sim {

class SimRegistry final : public platform::IRegistry {
 public:
  SimRegistry();

  // --- the machine as a test describes it; paths are relative to the root ---
  using Root = platform::RegRoot;
  static constexpr Root kHklm = Root::kLocalMachine;

  void CreateKey(std::u16string_view path, Root root = kHklm);
  void SetValue(std::u16string_view path, std::u16string_view name, std::uint32_t type,
                platform::ByteSpan data, Root root = kHklm);
  void SetString(std::u16string_view path, std::u16string_view name, std::u16string_view value,
                 std::uint32_t type = platform::regtype::kSz, Root root = kHklm);
  void SetDword(std::u16string_view path, std::u16string_view name, std::uint32_t value,
                Root root = kHklm);
  // The rights a handle to this key may be opened with (default: all).
  void SetAllowedAccess(std::u16string_view path, std::uint32_t mask, Root root = kHklm);
  bool KeyExists(std::u16string_view path, Root root = kHklm) const;
  struct Value {
    std::uint32_t type = 0;
    platform::Bytes data;
  };
  std::optional<Value> GetValue(std::u16string_view path, std::u16string_view name,
                                Root root = kHklm) const;
  std::optional<std::u16string> GetString(std::u16string_view path, std::u16string_view name,
                                          Root root = kHklm) const;
  std::optional<std::uint32_t> GetDword(std::u16string_view path, std::u16string_view name,
                                        Root root = kHklm) const;
  // Value names of a key in the order they were written.
  std::vector<std::u16string> ValueNames(std::u16string_view path, Root root = kHklm) const;
  // Subkey names of a key below HKEY_LOCAL_MACHINE as RegEnumKeyEx gives them to a reader: in
  // the registry's order, none when the key is not there or may not be read.
  std::vector<std::u16string> SubKeyNames(std::u16string_view path);
  // Handles currently open, to check that the core closes what it opens.
  std::size_t OpenHandleCount() const;
  // Every OpenKey/CreateKey call so far: the path asked for and the access.
  struct OpenCall {
    std::u16string path;
    std::uint32_t access = 0;
  };
  std::vector<OpenCall> OpenCalls() const;
  void ClearOpenCalls();

  // Reads a regedit export ("Windows Registry Editor Version 5.00" or "REGEDIT4"), UTF-16 LE
  // with byte-order mark or 8-bit. Returns an empty string on success, else what is wrong
  // (with its line number); keys and values before the fault stay applied.
  std::string LoadRegFile(platform::ByteSpan file);

  // --- IRegistry ---
  platform::ErrorCode OpenKey(Root root, std::u16string_view subkey, std::uint32_t access,
                              platform::Handle& key) override;
  platform::ErrorCode CreateKey(Root root, std::u16string_view subkey, std::uint32_t access,
                                platform::Handle& key) override;
  void CloseKey(platform::Handle key) override;
  platform::ErrorCode EnumSubKey(platform::Handle key, std::uint32_t index,
                                 std::u16string& name) override;
  platform::ErrorCode QueryValue(platform::Handle key, std::u16string_view name,
                                 std::uint32_t& type, platform::Bytes& data) override;
  platform::ErrorCode SetValue(platform::Handle key, std::u16string_view name, std::uint32_t type,
                               platform::ByteSpan data) override;
  platform::ErrorCode DeleteTree(Root root, std::u16string_view subkey) override;

 private:
  struct Node {
    std::u16string name;
    std::uint32_t allowed = platform::access::kKeyAllAccess;
    bool deleted = false;
    std::vector<std::shared_ptr<Node>> children;  // sorted case-insensitively, as Windows
    std::vector<std::pair<std::u16string, Value>> values;
  };
  struct OpenHandle {
    std::shared_ptr<Node> node;
    std::uint32_t access = 0;
  };
  static std::vector<std::u16string> Split(std::u16string_view path);
  std::shared_ptr<Node> Find(Root root, std::u16string_view path) const;
  std::shared_ptr<Node> Make(Root root, std::u16string_view path);
  static Node* FindChild(const Node& parent, std::u16string_view name);
  static Value* FindValue(Node& node, std::u16string_view name);
  static void MarkDeleted(Node& node);

  mutable std::mutex mutex_;
  std::shared_ptr<Node> hklm_;
  std::shared_ptr<Node> hkcu_;
  std::map<platform::Handle, OpenHandle> handles_;
  platform::Handle nextHandle_ = 0x1000;
  std::vector<OpenCall> openCalls_;
};

}  // namespace qb::sim
