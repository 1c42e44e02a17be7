#include "platform/win32/evt_variant.h"

#include <algorithm>
#include <cstring>

namespace qb::win32 {
namespace {

using platform::ErrorCode;
using platform::EvtValue;
namespace evttype = platform::evttype;

constexpr ErrorCode kInvalidData = platform::err::kInvalidData;
constexpr std::size_t kPointer = sizeof(void*);
constexpr std::size_t kGuidSize = 16;
constexpr std::size_t kSystemTimeSize = 16;
constexpr std::size_t kMaxSubAuthorities = 15;

// How the API stores a value of a type, in the variant itself and as an array's item.
enum class Storage {
  kInline,    // a number in the union; an array holds the numbers one after another
  kPointer,   // the union points to it; an array holds the pointers (strings, SIDs)
  kFixed,     // the union points to 16 bytes; an array holds the structures (GUID, SYSTEMTIME)
  kBinary,    // the union points to `count` bytes; never in an array
  kUndefined  // no such type
};

struct TypeInfo {
  Storage storage;
  std::size_t size;  // an item's bytes in an array
  bool isSigned;
};

TypeInfo Info(std::uint32_t type) {
  switch (type) {
    case evttype::kSByte:
      return {Storage::kInline, 1, true};
    case evttype::kByte:
      return {Storage::kInline, 1, false};
    case evttype::kInt16:
      return {Storage::kInline, 2, true};
    case evttype::kUInt16:
      return {Storage::kInline, 2, false};
    case evttype::kInt32:
      return {Storage::kInline, 4, true};
    case evttype::kUInt32:
    case evttype::kHexInt32:
    case evttype::kBoolean:  // BOOL
    case evttype::kSingle:
      return {Storage::kInline, 4, false};
    case evttype::kInt64:
      return {Storage::kInline, 8, true};
    case evttype::kUInt64:
    case evttype::kHexInt64:
    case evttype::kFileTime:
    case evttype::kDouble:
      return {Storage::kInline, 8, false};
    case evttype::kSizeT:
    case evttype::kEvtHandle:
      return {Storage::kInline, kPointer, false};
    case evttype::kString:
    case evttype::kAnsiString:
    case evttype::kSid:
    case evttype::kEvtXml:
      return {Storage::kPointer, kPointer, false};
    case evttype::kGuid:
    case evttype::kSysTime:
      return {Storage::kFixed, kGuidSize, false};
    case evttype::kBinary:
      return {Storage::kBinary, 0, false};
    default:
      return {Storage::kUndefined, 0, false};
  }
}

std::uint64_t ReadNumber(const std::byte* at, std::size_t size, bool isSigned) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, at, size);  // little-endian: the low bytes
  if (isSigned && size < 8 && (bits >> (size * 8 - 1)) != 0) bits |= ~0ull << (size * 8);
  return bits;
}

const void* ReadPointer(const std::byte* at) {
  const void* pointer = nullptr;
  std::memcpy(&pointer, at, kPointer);
  return pointer;
}

template <class Char>
std::basic_string_view<Char> UpToNul(const void* text) {
  if (text == nullptr) return {};
  return std::basic_string_view<Char>(static_cast<const Char*>(text));
}

platform::Bytes Copy(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const std::byte*>(data);
  return platform::Bytes(bytes, bytes + size);
}

// One value of `type` whose slot (the union, or an array's item) is at `slot`. `indirect`:
// a GUID or SYSTEMTIME is pointed to, as in a single value, not held, as in an array.
ErrorCode ReadItem(std::uint32_t type, const std::byte* slot, bool indirect, std::uint32_t count,
                   AnsiToUtf16 ansi, EvtValue& value) {
  const TypeInfo info = Info(type);
  switch (info.storage) {
    case Storage::kInline:
      if (type == evttype::kSingle) {
        float single = 0;
        std::memcpy(&single, slot, sizeof single);
        value.real = single;
      } else if (type == evttype::kDouble) {
        std::memcpy(&value.real, slot, sizeof value.real);
      } else if (type == evttype::kBoolean) {
        value.number = ReadNumber(slot, info.size, false) != 0 ? 1 : 0;
      } else {
        value.number = ReadNumber(slot, info.size, info.isSigned);
      }
      return platform::err::kSuccess;
    case Storage::kPointer: {
      const void* pointer = ReadPointer(slot);
      if (type == evttype::kSid) {
        const std::size_t length = SidLength(pointer);
        if (length == 0) return kInvalidData;
        value.bytes = Copy(pointer, length);
      } else if (type == evttype::kAnsiString) {
        const std::string_view text = UpToNul<char>(pointer);
        value.text = ansi != nullptr ? ansi(text) : std::u16string(text.begin(), text.end());
      } else {
        value.text = std::u16string(UpToNul<char16_t>(pointer));
      }
      return platform::err::kSuccess;
    }
    case Storage::kFixed: {
      const void* data = indirect ? ReadPointer(slot) : slot;
      if (data == nullptr) return kInvalidData;
      value.bytes = Copy(data, info.size);
      return platform::err::kSuccess;
    }
    case Storage::kBinary: {
      const void* data = ReadPointer(slot);
      if (data == nullptr && count != 0) return kInvalidData;
      value.bytes = Copy(data, data == nullptr ? 0 : count);
      return platform::err::kSuccess;
    }
    case Storage::kUndefined:
      break;
  }
  return kInvalidData;
}

// Lays values out at offsets past the variants; writes only when `base` is given.
class Packer {
 public:
  Packer(std::byte* base, std::size_t variants, Utf16ToAnsi ansi)
      : base_(base), size_(variants * sizeof(EvtVariant)), ansi_(ansi) {}

  std::size_t size() const { return size_; }

  void Variant(std::size_t index, const EvtValue& value) {
    EvtVariant variant{};
    variant.type = value.type;
    const std::uint32_t type = value.type & ~evttype::kArray;
    const TypeInfo info = Info(type);
    if (value.type == evttype::kNull || info.storage == Storage::kUndefined) {
      variant.type = evttype::kNull;
    } else if ((value.type & evttype::kArray) != 0) {
      variant.count = static_cast<std::uint32_t>(value.items.size());
      if (info.storage == Storage::kBinary) {
        variant.type = evttype::kNull;  // no array of binary values exists
      } else {
        const std::size_t first = Reserve(info.size * value.items.size(), 8);
        for (std::size_t i = 0; i < value.items.size(); ++i) {
          Item(type, value.items[i], first + i * info.size, false);
        }
        variant.pointer = At(first);
      }
    } else if (info.storage == Storage::kInline) {
      Item(type, value, 0, false, &variant);
    } else if (info.storage == Storage::kBinary) {
      variant.count = static_cast<std::uint32_t>(value.bytes.size());
      variant.pointer = At(Data(value.bytes.data(), value.bytes.size(), 1));
    } else {
      Item(type, value, 0, true, &variant);
    }
    Write(index * sizeof(EvtVariant), &variant, sizeof variant);
  }

 private:
  std::size_t Reserve(std::size_t bytes, std::size_t alignment) {
    size_ = (size_ + alignment - 1) / alignment * alignment;
    const std::size_t offset = size_;
    size_ += bytes;
    return offset;
  }
  std::size_t Data(const void* data, std::size_t bytes, std::size_t alignment) {
    const std::size_t offset = Reserve(bytes, alignment);
    Write(offset, data, bytes);
    return offset;
  }
  void Write(std::size_t offset, const void* data, std::size_t bytes) {
    if (base_ != nullptr && bytes != 0) std::memcpy(base_ + offset, data, bytes);
  }
  const void* At(std::size_t offset) const { return base_ != nullptr ? base_ + offset : nullptr; }

  // One value into its slot: the variant's union (`variant` given) or an array's item at
  // `slot`. `indirect`: what is not a number goes elsewhere and the slot points to it.
  void Item(std::uint32_t type, const EvtValue& value, std::size_t slot, bool indirect,
            EvtVariant* variant = nullptr) {
    const TypeInfo info = Info(type);
    const auto put = [&](const void* data, std::size_t bytes) {
      if (variant != nullptr) {
        std::memcpy(&variant->bits, data, bytes);
      } else {
        Write(slot, data, bytes);
      }
    };
    switch (info.storage) {
      case Storage::kInline: {
        if (type == evttype::kSingle) {
          const float single = static_cast<float>(value.real);
          put(&single, sizeof single);
        } else if (type == evttype::kDouble) {
          put(&value.real, sizeof value.real);
        } else {
          const std::uint64_t number =
              type == evttype::kBoolean ? (value.number != 0 ? 1 : 0) : value.number;
          put(&number, info.size);  // little-endian: the low bytes
        }
        return;
      }
      case Storage::kPointer: {
        std::size_t offset = 0;
        if (type == evttype::kSid) {
          offset = Data(value.bytes.data(), value.bytes.size(), 4);
        } else if (type == evttype::kAnsiString) {
          std::string text = ansi_ != nullptr ? ansi_(value.text) : std::string();
          offset = Data(text.c_str(), text.size() + 1, 1);
        } else {
          offset = Data(value.text.c_str(), (value.text.size() + 1) * sizeof(char16_t), 2);
        }
        const void* pointer = At(offset);
        put(&pointer, kPointer);
        return;
      }
      case Storage::kFixed: {
        std::byte fixed[kSystemTimeSize] = {};
        std::memcpy(fixed, value.bytes.data(), std::min(value.bytes.size(), sizeof fixed));
        if (!indirect) {
          Write(slot, fixed, sizeof fixed);
          return;
        }
        const void* pointer = At(Data(fixed, sizeof fixed, 4));
        put(&pointer, kPointer);
        return;
      }
      case Storage::kBinary:
      case Storage::kUndefined:
        return;
    }
  }

  std::byte* base_;
  std::size_t size_;
  Utf16ToAnsi ansi_;
};

std::size_t Pack(std::span<const EvtValue> values, Utf16ToAnsi ansi, std::byte* base) {
  Packer packer(base, values.size(), ansi);
  for (std::size_t i = 0; i < values.size(); ++i) packer.Variant(i, values[i]);
  return packer.size();
}

}  // namespace

std::size_t SidLength(const void* sid) {
  if (sid == nullptr) return 0;
  const auto* header = static_cast<const std::uint8_t*>(sid);
  if (header[0] != 1 || header[1] > kMaxSubAuthorities) return 0;  // revision, sub-authorities
  return 8 + 4 * std::size_t{header[1]};
}

ErrorCode FromVariant(const EvtVariant& variant, AnsiToUtf16 ansi, EvtValue& value) {
  value = EvtValue{};
  const std::uint32_t type = variant.type & ~evttype::kArray;
  if (type == evttype::kNull) return platform::err::kSuccess;
  const TypeInfo info = Info(type);
  if (info.storage == Storage::kUndefined) return kInvalidData;
  const auto* slot = reinterpret_cast<const std::byte*>(&variant.bits);
  value.type = variant.type;
  if ((variant.type & evttype::kArray) == 0) {
    const ErrorCode error = ReadItem(type, slot, true, variant.count, ansi, value);
    if (error != platform::err::kSuccess) value = EvtValue{};
    return error;
  }
  if (info.storage == Storage::kBinary || (variant.count != 0 && variant.pointer == nullptr)) {
    value = EvtValue{};
    return kInvalidData;
  }
  const auto* items = static_cast<const std::byte*>(variant.pointer);
  value.items.resize(variant.count);
  for (std::uint32_t i = 0; i < variant.count; ++i) {
    value.items[i].type = type;
    const ErrorCode error = ReadItem(type, items + i * info.size, false, 0, ansi, value.items[i]);
    if (error != platform::err::kSuccess) {
      value = EvtValue{};
      return error;
    }
  }
  return platform::err::kSuccess;
}

std::size_t PackVariants(std::span<const EvtValue> values, Utf16ToAnsi ansi,
                         std::span<std::byte> buffer) {
  const std::size_t needed = Pack(values, ansi, nullptr);
  if (buffer.size() >= needed && !buffer.empty()) Pack(values, ansi, buffer.data());
  return needed;
}

}  // namespace qb::win32
