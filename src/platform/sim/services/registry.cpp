#include "platform/sim/services/registry.h"

#include <algorithm>

#include "platform/sim/formats/reg_file.h"
#include "platform/sim/rules/case_rules.h"
#include "platform/sim/rules/text.h"

namespace qb::sim {

using platform::ErrorCode;
using platform::Handle;
namespace err = platform::err;
namespace access = platform::access;

namespace {

bool LessNoCase(std::u16string_view a, std::u16string_view b) {
  // Windows keeps subkeys ordered by their upper-case names.
  return CompareNames(a, b) < 0;
}

platform::Bytes StringBytes(std::u16string_view value) {
  platform::Bytes data = LittleEndianBytes(value);
  data.resize(data.size() + 2);  // the terminator is part of a string value
  return data;
}

}  // namespace

SimRegistry::SimRegistry() : hklm_(std::make_shared<Node>()), hkcu_(std::make_shared<Node>()) {}

std::vector<std::u16string> SimRegistry::Split(std::u16string_view path) {
  std::vector<std::u16string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    auto end = path.find(u'\\', start);
    if (end == std::u16string_view::npos) end = path.size();
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

SimRegistry::Node* SimRegistry::FindChild(const Node& parent, std::u16string_view name) {
  for (const auto& child : parent.children) {
    if (NamesEqual(child->name, name)) return child.get();
  }
  return nullptr;
}

SimRegistry::Value* SimRegistry::FindValue(Node& node, std::u16string_view name) {
  for (auto& [n, v] : node.values) {
    if (NamesEqual(n, name)) return &v;
  }
  return nullptr;
}

std::shared_ptr<SimRegistry::Node> SimRegistry::Find(Root root, std::u16string_view path) const {
  std::shared_ptr<Node> node = root == Root::kLocalMachine ? hklm_ : hkcu_;
  for (const auto& part : Split(path)) {
    std::shared_ptr<Node> next;
    for (const auto& child : node->children) {
      if (NamesEqual(child->name, part)) next = child;
    }
    if (!next) return nullptr;
    node = next;
  }
  return node;
}

std::shared_ptr<SimRegistry::Node> SimRegistry::Make(Root root, std::u16string_view path) {
  std::shared_ptr<Node> node = root == Root::kLocalMachine ? hklm_ : hkcu_;
  for (const auto& part : Split(path)) {
    std::shared_ptr<Node> next;
    for (const auto& child : node->children) {
      if (NamesEqual(child->name, part)) next = child;
    }
    if (!next) {
      next = std::make_shared<Node>();
      next->name = part;
      auto pos = std::lower_bound(node->children.begin(), node->children.end(), part,
                                  [](const std::shared_ptr<Node>& n, const std::u16string& p) {
                                    return LessNoCase(n->name, p);
                                  });
      node->children.insert(pos, next);
    }
    node = next;
  }
  return node;
}

void SimRegistry::MarkDeleted(Node& node) {
  node.deleted = true;
  for (auto& child : node.children) MarkDeleted(*child);
}

void SimRegistry::CreateKey(std::u16string_view path, Root root) {
  std::lock_guard lock(mutex_);
  Make(root, path);
}

void SimRegistry::SetValue(std::u16string_view path, std::u16string_view name, std::uint32_t type,
                           platform::ByteSpan data, Root root) {
  std::lock_guard lock(mutex_);
  auto node = Make(root, path);
  if (Value* v = FindValue(*node, name)) {
    v->type = type;
    v->data.assign(data.begin(), data.end());
  } else {
    node->values.emplace_back(std::u16string(name), Value{type, {data.begin(), data.end()}});
  }
}

void SimRegistry::SetString(std::u16string_view path, std::u16string_view name,
                            std::u16string_view value, std::uint32_t type, Root root) {
  SetValue(path, name, type, StringBytes(value), root);
}

void SimRegistry::SetDword(std::u16string_view path, std::u16string_view name, std::uint32_t value,
                           Root root) {
  const std::byte data[4] = {static_cast<std::byte>(value), static_cast<std::byte>(value >> 8),
                             static_cast<std::byte>(value >> 16),
                             static_cast<std::byte>(value >> 24)};
  SetValue(path, name, platform::regtype::kDword, data, root);
}

void SimRegistry::SetAllowedAccess(std::u16string_view path, std::uint32_t mask, Root root) {
  std::lock_guard lock(mutex_);
  Make(root, path)->allowed = mask;
}

bool SimRegistry::KeyExists(std::u16string_view path, Root root) const {
  std::lock_guard lock(mutex_);
  return Find(root, path) != nullptr;
}

std::optional<SimRegistry::Value> SimRegistry::GetValue(std::u16string_view path,
                                                        std::u16string_view name, Root root) const {
  std::lock_guard lock(mutex_);
  auto node = Find(root, path);
  if (!node) return std::nullopt;
  if (Value* v = FindValue(*node, name)) return *v;
  return std::nullopt;
}

std::optional<std::u16string> SimRegistry::GetString(std::u16string_view path,
                                                     std::u16string_view name, Root root) const {
  auto v = GetValue(path, name, root);
  if (!v || (v->type != platform::regtype::kSz && v->type != platform::regtype::kExpandSz)) {
    return std::nullopt;
  }
  std::u16string text = FromLittleEndianBytes(v->data);
  text.resize(std::min(text.find(u'\0'), text.size()));
  return text;
}

std::optional<std::uint32_t> SimRegistry::GetDword(std::u16string_view path,
                                                   std::u16string_view name, Root root) const {
  auto v = GetValue(path, name, root);
  if (!v || v->type != platform::regtype::kDword || v->data.size() != 4) return std::nullopt;
  std::uint32_t x = 0;
  for (int i = 3; i >= 0; --i) x = (x << 8) | std::to_integer<std::uint32_t>(v->data[i]);
  return x;
}

std::vector<std::u16string> SimRegistry::ValueNames(std::u16string_view path, Root root) const {
  std::lock_guard lock(mutex_);
  std::vector<std::u16string> names;
  if (auto node = Find(root, path)) {
    for (const auto& [n, v] : node->values) names.push_back(n);
  }
  return names;
}

std::vector<std::u16string> SimRegistry::SubKeyNames(std::u16string_view path) {
  std::vector<std::u16string> names;
  platform::Handle key = 0;
  if (OpenKey(kHklm, path, platform::access::kKeyRead, key) != platform::err::kSuccess)
    return names;
  std::u16string name;
  for (std::uint32_t i = 0; EnumSubKey(key, i, name) == platform::err::kSuccess; ++i) {
    names.push_back(name);
  }
  CloseKey(key);
  return names;
}

std::size_t SimRegistry::OpenHandleCount() const {
  std::lock_guard lock(mutex_);
  return handles_.size();
}

std::vector<SimRegistry::OpenCall> SimRegistry::OpenCalls() const {
  std::lock_guard lock(mutex_);
  return openCalls_;
}

void SimRegistry::ClearOpenCalls() {
  std::lock_guard lock(mutex_);
  openCalls_.clear();
}

ErrorCode SimRegistry::OpenKey(Root root, std::u16string_view subkey, std::uint32_t wanted,
                               Handle& key) {
  std::lock_guard lock(mutex_);
  key = 0;
  openCalls_.push_back({std::u16string(subkey), wanted});
  auto node = Find(root, subkey);
  if (!node) return err::kFileNotFound;
  if ((wanted & ~node->allowed) != 0) return err::kAccessDenied;
  key = nextHandle_++;
  handles_[key] = {node, wanted};
  return err::kSuccess;
}

ErrorCode SimRegistry::CreateKey(Root root, std::u16string_view subkey, std::uint32_t wanted,
                                 Handle& key) {
  std::lock_guard lock(mutex_);
  key = 0;
  openCalls_.push_back({std::u16string(subkey), wanted});
  auto node = Find(root, subkey);
  if (!node) {
    // The nearest existing ancestor must let subkeys be created.
    std::shared_ptr<Node> ancestor = root == Root::kLocalMachine ? hklm_ : hkcu_;
    for (const auto& part : Split(subkey)) {
      std::shared_ptr<Node> next;
      for (const auto& child : ancestor->children) {
        if (NamesEqual(child->name, part)) next = child;
      }
      if (!next) break;
      ancestor = next;
    }
    if ((ancestor->allowed & access::kKeyCreateSubKey) == 0) return err::kAccessDenied;
    node = Make(root, subkey);
  }
  if ((wanted & ~node->allowed) != 0) return err::kAccessDenied;
  key = nextHandle_++;
  handles_[key] = {node, wanted};
  return err::kSuccess;
}

void SimRegistry::CloseKey(Handle key) {
  std::lock_guard lock(mutex_);
  handles_.erase(key);
}

ErrorCode SimRegistry::EnumSubKey(Handle key, std::uint32_t index, std::u16string& name) {
  name.clear();
  std::lock_guard lock(mutex_);
  const auto it = handles_.find(key);
  if (it == handles_.end()) return err::kInvalidHandle;
  if (it->second.node->deleted) return err::kKeyDeleted;
  if ((it->second.access & access::kKeyEnumerateSubKeys) == 0) return err::kAccessDenied;
  const auto& children = it->second.node->children;
  if (index >= children.size()) return err::kNoMoreItems;
  name = children[index]->name;
  return err::kSuccess;
}

ErrorCode SimRegistry::QueryValue(Handle key, std::u16string_view name, std::uint32_t& type,
                                  platform::Bytes& data) {
  data.clear();
  std::lock_guard lock(mutex_);
  const auto it = handles_.find(key);
  if (it == handles_.end()) return err::kInvalidHandle;
  if (it->second.node->deleted) return err::kKeyDeleted;
  if ((it->second.access & access::kKeyQueryValue) == 0) return err::kAccessDenied;
  const Value* v = FindValue(*it->second.node, name);
  if (v == nullptr) return err::kFileNotFound;
  type = v->type;
  data = v->data;
  return err::kSuccess;
}

ErrorCode SimRegistry::SetValue(Handle key, std::u16string_view name, std::uint32_t type,
                                platform::ByteSpan data) {
  std::lock_guard lock(mutex_);
  const auto it = handles_.find(key);
  if (it == handles_.end()) return err::kInvalidHandle;
  Node& node = *it->second.node;
  if (node.deleted) return err::kKeyDeleted;
  if ((it->second.access & access::kKeySetValue) == 0) return err::kAccessDenied;
  if (Value* v = FindValue(node, name)) {
    v->type = type;
    v->data.assign(data.begin(), data.end());
  } else {
    node.values.emplace_back(std::u16string(name), Value{type, {data.begin(), data.end()}});
  }
  return err::kSuccess;
}

ErrorCode SimRegistry::DeleteTree(Root root, std::u16string_view subkey) {
  std::lock_guard lock(mutex_);
  const auto parts = Split(subkey);
  // RegDeleteTreeW would empty the root key itself; that is never asked for.
  if (parts.empty()) return err::kInvalidParameter;
  std::shared_ptr<Node> parent = root == Root::kLocalMachine ? hklm_ : hkcu_;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    std::shared_ptr<Node> next;
    for (const auto& child : parent->children) {
      if (NamesEqual(child->name, parts[i])) next = child;
    }
    if (!next) return err::kFileNotFound;
    parent = next;
  }
  auto& kids = parent->children;
  const auto it = std::find_if(kids.begin(), kids.end(), [&](const std::shared_ptr<Node>& n) {
    return NamesEqual(n->name, parts.back());
  });
  if (it == kids.end()) return err::kFileNotFound;
  if (((*it)->allowed & access::kDelete) == 0) return err::kAccessDenied;
  MarkDeleted(**it);
  kids.erase(it);
  return err::kSuccess;
}

std::string SimRegistry::LoadRegFile(platform::ByteSpan file) {
  const RegFile export_ = ReadRegFile(file);
  for (const RegFileEntry& entry : export_.entries) {
    switch (entry.kind) {
      case RegFileEntry::Kind::kKey:
        CreateKey(entry.path, entry.root);
        break;
      case RegFileEntry::Kind::kDeleteKey:
        DeleteTree(entry.root, entry.path);
        break;
      case RegFileEntry::Kind::kValue:
        SetValue(entry.path, entry.name, entry.type, entry.data, entry.root);
        break;
      case RegFileEntry::Kind::kDeleteValue: {
        std::lock_guard lock(mutex_);
        if (auto node = Find(entry.root, entry.path)) {
          std::erase_if(node->values,
                        [&](const auto& v) { return NamesEqual(v.first, entry.name); });
        }
        break;
      }
    }
  }
  return export_.error;
}

}  // namespace qb::sim
