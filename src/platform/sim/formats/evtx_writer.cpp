#include "platform/sim/formats/evtx_writer.h"

#include <algorithm>
#include <cstring>

#include "platform/sim/formats/binxml.h"
#include "platform/sim/formats/crc32.h"
#include "platform/sim/formats/evtx_event.h"
#include "platform/sim/formats/evtx_file.h"
#include "platform/sim/formats/le_bytes.h"

namespace qb::sim {
namespace {

using platform::Bytes;
using platform::ByteSpan;
using Guid = std::array<std::byte, 16>;
using Kind = EvtxNode::Kind;

constexpr std::uint16_t kNoDependency = 0xFFFF;
constexpr std::uint32_t kMaxTextChunk = 0xFFFF;  // characters one value token holds

}  // namespace

// Outside the unnamed namespace: a member of the writer's chunk is keyed with it.
struct EvtxGuidHash {
  std::size_t operator()(const std::array<std::byte, 16>& g) const {
    std::uint64_t h = 14695981039346656037ull;
    for (std::byte b : g) h = (h ^ std::to_integer<std::uint64_t>(b)) * 1099511628211ull;
    return static_cast<std::size_t>(h);
  }
};

namespace {

// Two FNV-1a hashes over a canonical form of the tree: a GUID for a template that has none.
class TreeHash {
 public:
  void Node(const EvtxNode& n) {
    Byte(static_cast<std::uint8_t>(n.kind));
    Text(n.name);
    Text(n.text);
    Number(n.index);
    Byte(n.type);
    Byte(n.optional ? 1 : 0);
    Number(n.attributes.size());
    for (const auto& a : n.attributes) Node(a);
    Number(n.children.size());
    for (const auto& c : n.children) Node(c);
    Byte(n.open ? 1 : 0);
  }
  void Template(const EvtxTemplate& t) {
    Node(t.root);
    Number(t.more.size());
    for (const auto& n : t.more) Node(n);
  }
  Guid Result() const {
    Guid g;
    for (std::size_t i = 0; i < 8; ++i) {
      g[i] = static_cast<std::byte>(a_ >> (8 * i));
      g[8 + i] = static_cast<std::byte>(b_ >> (8 * i));
    }
    return g;
  }

 private:
  void Byte(std::uint8_t v) {
    a_ = (a_ ^ v) * 1099511628211ull;
    b_ = (b_ ^ v) * 0x100000001b3ull ^ (b_ >> 29);
  }
  void Number(std::uint64_t v) {
    for (int i = 0; i < 8; ++i) Byte(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void Text(const std::u16string& t) {
    Number(t.size());
    for (char16_t c : t) Number(c);
  }
  std::uint64_t a_ = 14695981039346656037ull;
  std::uint64_t b_ = 0x9E3779B97F4A7C15ull;
};

bool Contains32(const std::vector<std::uint32_t>& v, std::uint32_t x) {
  return std::find(v.begin(), v.end(), x) != v.end();
}

}  // namespace

std::uint16_t EvtxNameHash(std::u16string_view name) {
  std::uint32_t h = 0;
  for (char16_t c : name) h = h * 65599 + c;
  return static_cast<std::uint16_t>(h);
}

// One chunk being filled. A record is encoded straight into the chunk; when it does not fit,
// what it added (names, templates) is taken back and the chunk is as before.
class EvtxWriter::Chunk {
 public:
  enum class Result { kOk, kFull, kBad };

  explicit Chunk(EvtxWriter& writer) : writer_(writer), bytes_(kEvtxChunkSize) { Reset(); }

  void Reset() {
    std::fill(bytes_.begin(), bytes_.end(), std::byte{0});
    pos_ = kEvtxChunkHeaderSize;
    used_ = pos_;
    records_ = 0;
    firstId_ = lastId_ = 0;
    lastRecordOffset_ = 0;
    stringHeads_.fill(0);
    templateHeads_.fill(0);
    names_.clear();
    templates_.clear();
  }

  bool empty() const { return records_ == 0; }
  std::uint64_t lastId() const { return lastId_; }

  // `roomForCopy`: the record must leave room for a copy of itself in the free space.
  Result Add(const EvtxEvent& event, std::uint64_t id, bool badTrailingSize, bool roomForCopy) {
    const std::uint32_t start = pos_;
    const auto heads = stringHeads_;
    const auto templateHeads = templateHeads_;
    addedNames_.clear();
    addedTemplates_.clear();
    overflow_ = bad_ = false;

    U32(kEvtxRecordSignature);
    const std::uint32_t sizeAt = Reserve(4);
    U64(id);
    U64(event.written);
    U8(bxtoken::kFragmentHeader);
    U8(1);
    U8(1);
    U8(0);
    Fragment(event.body, 0);
    U8(bxtoken::kEof);
    while (!overflow_ && (pos_ - start + 4) % 8 != 0) U8(0);
    const std::uint32_t size = pos_ - start + 4;
    U32(badTrailingSize ? size + 8 : size);
    if (roomForCopy && kEvtxChunkSize - pos_ < size) overflow_ = true;
    if (!overflow_ && !bad_) {
      Patch32(sizeAt, size);
      if (records_ == 0) firstId_ = id;
      lastId_ = id;
      lastRecordOffset_ = start;
      ++records_;
      return Result::kOk;
    }
    // Take the record back.
    std::fill(bytes_.begin() + start, bytes_.begin() + std::max(used_, start), std::byte{0});
    pos_ = used_ = start;
    stringHeads_ = heads;
    templateHeads_ = templateHeads;
    for (const auto& name : addedNames_) names_.erase(name);
    for (const auto& guid : addedTemplates_) templates_.erase(guid);
    return bad_ ? Result::kBad : Result::kFull;
  }

  // The chunk's header and checksums (with the damage asked for), and the stale copy.
  ByteSpan Seal(const EvtxWriterOptions& options, std::uint32_t number) {
    std::byte* h = bytes_.data();
    std::memcpy(h, "ElfChnk", 8);
    if (Contains32(options.badSignatureChunks, number)) h[7] = std::byte{'!'};
    le::Put64(h + chunkfield::kFirstRecordNumber, firstId_);
    le::Put64(h + chunkfield::kLastRecordNumber, lastId_);
    le::Put64(h + chunkfield::kFirstRecordId, firstId_);
    le::Put64(h + chunkfield::kLastRecordId, lastId_);
    le::Put32(h + chunkfield::kHeaderSize, 128);
    le::Put32(h + chunkfield::kLastRecordOffset, lastRecordOffset_);
    le::Put32(h + chunkfield::kFreeSpaceOffset, pos_);
    for (std::size_t i = 0; i < stringHeads_.size(); ++i) {
      le::Put32(h + chunkfield::kStringTable + 4 * i, stringHeads_[i]);
    }
    for (std::size_t i = 0; i < templateHeads_.size(); ++i) {
      le::Put32(h + chunkfield::kTemplateTable + 4 * i, templateHeads_[i]);
    }
    std::uint32_t dataCrc =
        Crc32(ByteSpan(bytes_).subspan(kEvtxChunkHeaderSize, pos_ - kEvtxChunkHeaderSize));
    if (Contains32(options.badDataCrcChunks, number)) dataCrc ^= 1;
    le::Put32(h + chunkfield::kDataCrc, dataCrc);
    le::Put32(h + chunkfield::kFlags, 1);
    std::uint32_t headerCrc = EvtxChunkHeaderCrc(bytes_);
    if (Contains32(options.badHeaderCrcChunks, number)) headerCrc ^= 1;
    le::Put32(h + chunkfield::kHeaderCrc, headerCrc);
    if (options.staleCopies && records_ != 0) {
      const std::uint32_t size = le::U32(h + lastRecordOffset_ + 4);
      if (pos_ + size <= kEvtxChunkSize) {
        std::memmove(h + pos_, h + lastRecordOffset_, size);
        le::Put64(h + pos_ + 8, lastId_ + 1);
      }
    }
    return bytes_;
  }

 private:
  void Put(const void* data, std::uint32_t n) {
    if (n == 0) return;
    if (kEvtxChunkSize - pos_ < n) {
      overflow_ = true;
      return;
    }
    std::memcpy(bytes_.data() + pos_, data, n);
    pos_ += n;
    used_ = std::max(used_, pos_);
  }
  void U8(std::uint8_t v) { Put(&v, 1); }
  void U16(std::uint16_t v) {
    std::byte b[2];
    le::Put16(b, v);
    Put(b, 2);
  }
  void U32(std::uint32_t v) {
    std::byte b[4];
    le::Put32(b, v);
    Put(b, 4);
  }
  void U64(std::uint64_t v) {
    std::byte b[8];
    le::Put64(b, v);
    Put(b, 8);
  }
  void Chars(std::u16string_view text) {
    for (char16_t c : text) U16(c);
  }
  std::uint32_t Reserve(std::uint32_t n) {
    const std::uint32_t at = pos_;
    for (std::uint32_t i = 0; i < n; ++i) U8(0);
    return at;
  }
  void Patch16(std::uint32_t at, std::uint16_t v) {
    if (!overflow_) le::Put16(bytes_.data() + at, v);
  }
  void Patch32(std::uint32_t at, std::uint32_t v) {
    if (!overflow_) le::Put32(bytes_.data() + at, v);
  }

  // A name: its offset, and the name itself the first time the chunk sees it.
  void Name(const std::u16string& name) {
    if (name.size() > 0xFFFF) {
      bad_ = true;
      return;
    }
    if (const auto found = names_.find(name); found != names_.end()) {
      U32(found->second);
      return;
    }
    const std::uint32_t at = pos_ + 4;
    U32(at);
    const std::uint16_t hash = EvtxNameHash(name);
    const std::size_t bucket = hash % chunkfield::kStringBuckets;
    U32(stringHeads_[bucket]);
    U16(hash);
    U16(static_cast<std::uint16_t>(name.size()));
    Chars(name);
    U16(0);
    if (overflow_) return;
    stringHeads_[bucket] = at;
    names_.emplace(name, at);
    addedNames_.push_back(name);
  }

  // `more`: more of the value or content follows, which the token's 0x40 bit says (readers
  // such as libevtx's stop at a token without it).
  void TextTokens(std::uint8_t token, const std::u16string& text, bool more = false) {
    std::u16string_view rest = text;
    do {
      const std::u16string_view piece = rest.substr(0, kMaxTextChunk);
      rest.remove_prefix(piece.size());
      const bool flag = (more || !rest.empty()) && token != bxtoken::kPiData;
      U8(flag ? token | bxtoken::kMore : token);
      if (token == bxtoken::kValue) U8(evtxtype::kString);
      U16(static_cast<std::uint16_t>(piece.size()));
      Chars(piece);
    } while (!rest.empty());
  }

  // Attribute values and content share these.
  void ValueItem(const EvtxNode& n, bool inTemplate, bool more) {
    const std::uint8_t flag = more ? bxtoken::kMore : 0;
    switch (n.kind) {
      case Kind::kText:
        return TextTokens(bxtoken::kValue, n.text, more);
      case Kind::kSubstitution:
        if (!inTemplate) {
          bad_ = true;
          return;
        }
        U8(n.optional ? bxtoken::kOptionalSubstitution : bxtoken::kNormalSubstitution);
        U16(n.index);
        U8(n.type);
        return;
      case Kind::kCharRef:
        U8(bxtoken::kCharRef | flag);
        U16(n.index);
        return;
      case Kind::kEntityRef:
        U8(bxtoken::kEntityRef | flag);
        return Name(n.name);
      default:
        bad_ = true;
    }
  }

  void Element(const EvtxNode& e, bool inTemplate, int depth) {
    if (e.kind != Kind::kElement || depth >= kBxMaxElementDepth) {
      bad_ = true;
      return;
    }
    U8(e.attributes.empty() ? bxtoken::kOpenStart : bxtoken::kOpenStart | bxtoken::kMore);
    if (inTemplate) {
      // The element depends on the optional substitution in its content: Windows notes it.
      std::uint16_t dependency = kNoDependency;
      for (const auto& c : e.children) {
        if (c.kind == Kind::kSubstitution && c.optional) {
          dependency = c.index;
          break;
        }
      }
      U16(dependency);
    }
    const std::uint32_t sizeAt = Reserve(4);
    const std::uint32_t start = pos_;
    Name(e.name);
    if (!e.attributes.empty()) {
      const std::uint32_t listAt = Reserve(4);
      const std::uint32_t listStart = pos_;
      for (std::size_t i = 0; i < e.attributes.size(); ++i) {
        const EvtxNode& a = e.attributes[i];
        if (a.kind != Kind::kAttribute) {
          bad_ = true;
          return;
        }
        U8(i + 1 < e.attributes.size() ? bxtoken::kAttribute | bxtoken::kMore
                                       : bxtoken::kAttribute);
        Name(a.name);
        for (std::size_t k = 0; k < a.children.size(); ++k) {
          ValueItem(a.children[k], inTemplate, k + 1 < a.children.size());
        }
      }
      Patch32(listAt, pos_ - listStart);
    }
    if (e.children.empty() && !e.open) {
      U8(bxtoken::kCloseEmpty);
    } else {
      U8(bxtoken::kCloseStart);
      for (std::size_t k = 0; k < e.children.size(); ++k) {
        Content(e.children[k], inTemplate, depth, k + 1 < e.children.size());
        if (bad_ || overflow_) return;
      }
      U8(bxtoken::kEndElement);
    }
    Patch32(sizeAt, pos_ - start);
  }

  void Content(const EvtxNode& c, bool inTemplate, int depth, bool more) {
    switch (c.kind) {
      case Kind::kElement:
        return Element(c, inTemplate, depth + 1);
      case Kind::kCData:
        return TextTokens(bxtoken::kCData, c.text, more);
      case Kind::kPi:
        U8(bxtoken::kPiTarget);
        Name(c.name);
        return TextTokens(bxtoken::kPiData, c.text);
      default:
        return ValueItem(c, inTemplate, more);
    }
  }

  // The root and the elements and PIs after it.
  void Tree(const EvtxTemplate& t, bool inTemplate) {
    Element(t.root, inTemplate, 0);
    for (const auto& n : t.more) {
      if (n.kind != Kind::kElement && n.kind != Kind::kPi) bad_ = true;
      Content(n, inTemplate, -1, false);
    }
  }

  // A template instance (the definition inline the first time in the chunk) and its values,
  // or a plain tree.
  void Fragment(const EvtxFragment& f, int depth) {
    if (depth > kBxMaxValueDepth || (f.templ == nullptr) == (f.tree == nullptr)) {
      bad_ = true;
      return;
    }
    if (f.tree != nullptr) {
      Tree(*f.tree, false);
    } else {
      Instance(f, depth);
    }
    for (const auto& part : f.more) {
      if (!part.more.empty()) bad_ = true;  // the parts are a flat list
      Fragment(part, depth);
    }
  }

  void Instance(const EvtxFragment& f, int depth) {
    const Guid guid = writer_.GuidOf(*f.templ, f.templ);
    U8(bxtoken::kTemplateInstance);
    U8(1);
    Put(guid.data(), 4);
    if (const auto found = templates_.find(guid); found != templates_.end()) {
      U32(found->second);
    } else {
      const std::uint32_t at = pos_ + 4;
      U32(at);
      const std::size_t bucket = TemplateBucket(guid);
      U32(templateHeads_[bucket]);
      Put(guid.data(), 16);
      const std::uint32_t sizeAt = Reserve(4);
      const std::uint32_t start = pos_;
      U8(bxtoken::kFragmentHeader);
      U8(1);
      U8(1);
      U8(0);
      Tree(*f.templ, true);
      U8(bxtoken::kEof);
      Patch32(sizeAt, pos_ - start);
      if (overflow_ || bad_) return;
      templateHeads_[bucket] = at;
      templates_.emplace(guid, at);
      addedTemplates_.push_back(guid);
    }
    Values(f.values, depth);
  }

  void Values(const std::vector<EvtxValue>& values, int depth) {
    U32(static_cast<std::uint32_t>(values.size()));
    const std::uint32_t descriptors = Reserve(static_cast<std::uint32_t>(4 * values.size()));
    for (std::size_t i = 0; i < values.size() && !overflow_ && !bad_; ++i) {
      const EvtxValue& v = values[i];
      const std::uint32_t start = pos_;
      if (v.type == evtxtype::kBinXml && v.fragment != nullptr && !v.array) {
        Fragment(*v.fragment, depth + 1);
        U8(bxtoken::kEof);
      } else {
        Put(v.data.data(),
            static_cast<std::uint32_t>(std::min<std::size_t>(v.data.size(), kEvtxChunkSize)));
      }
      if (pos_ - start > 0xFFFF || v.data.size() > 0xFFFF) bad_ = true;
      const std::uint32_t at = descriptors + 4 * static_cast<std::uint32_t>(i);
      Patch16(at, static_cast<std::uint16_t>(pos_ - start));
      if (!overflow_) bytes_[at + 2] = static_cast<std::byte>(v.wireType());
    }
  }

  // Windows files a template under the x65599 hash of its GUID's eight 16-bit words.
  static std::size_t TemplateBucket(const Guid& guid) {
    std::uint32_t h = 0;
    for (std::size_t i = 0; i < 16; i += 2) h = h * 65599 + le::U16(guid.data() + i);
    return h % chunkfield::kTemplateBuckets;
  }

  EvtxWriter& writer_;
  Bytes bytes_;
  std::uint32_t pos_ = 0;
  std::uint32_t used_ = 0;  // the furthest byte written, so a record taken back leaves zeros
  std::uint32_t records_ = 0;
  std::uint64_t firstId_ = 0, lastId_ = 0;
  std::uint32_t lastRecordOffset_ = 0;
  std::array<std::uint32_t, chunkfield::kStringBuckets> stringHeads_{};
  std::array<std::uint32_t, chunkfield::kTemplateBuckets> templateHeads_{};
  std::unordered_map<std::u16string, std::uint32_t> names_;
  std::unordered_map<Guid, std::uint32_t, EvtxGuidHash> templates_;
  std::vector<std::u16string> addedNames_;
  std::vector<Guid> addedTemplates_;
  bool overflow_ = false;
  bool bad_ = false;
};

EvtxWriter::EvtxWriter(ByteSink& sink, EvtxWriterOptions options)
    : sink_(sink),
      options_(std::move(options)),
      chunk_(std::make_unique<Chunk>(*this)),
      nextId_(options_.firstRecordId) {}

EvtxWriter::~EvtxWriter() = default;

std::array<std::byte, 16> EvtxWriter::GuidOf(const EvtxTemplate& templ,
                                             const std::shared_ptr<const EvtxTemplate>& owner) {
  Guid guid{};
  if (templ.guid.size() == 16) {
    std::copy(templ.guid.begin(), templ.guid.end(), guid.begin());
    return guid;
  }
  if (const auto found = guids_.find(&templ); found != guids_.end()) return found->second.second;
  TreeHash hash;
  hash.Template(templ);
  guid = hash.Result();
  // A cache of templates given again and again; one template object per event is unusual.
  if (guids_.size() >= 65536) guids_.clear();
  guids_.emplace(&templ, std::make_pair(owner, guid));
  return guid;
}

bool EvtxWriter::Write(const EvtxEvent& event) {
  if (failed_ || finished_) return false;
  const std::uint64_t id = event.recordId != 0 ? event.recordId : nextId_;
  const bool badTrailing =
      std::find(options_.badTrailingSizeRecords.begin(), options_.badTrailingSizeRecords.end(),
                id) != options_.badTrailingSizeRecords.end();
  auto result = chunk_->Add(event, id, badTrailing, options_.staleCopies);
  if (result == Chunk::Result::kFull && !chunk_->empty()) {
    if (!FlushChunk()) return false;
    result = chunk_->Add(event, id, badTrailing, options_.staleCopies);
  }
  if (result != Chunk::Result::kOk) return false;
  nextId_ = id + 1;
  ++records_;
  return true;
}

bool EvtxWriter::FlushChunk() {
  const std::uint32_t number = chunks_;
  const ByteSpan bytes = chunk_->Seal(options_, number);
  std::uint64_t slot = options_.firstSlot + std::uint64_t{number};
  if (options_.slots != 0) slot %= options_.slots;
  if (!sink_.WriteAt(kEvtxHeaderBlockSize + slot * kEvtxChunkSize, bytes)) failed_ = true;
  if (writtenSlots_.size() <= slot) writtenSlots_.resize(static_cast<std::size_t>(slot) + 1, false);
  writtenSlots_[static_cast<std::size_t>(slot)] = true;
  lastIds_.push_back(chunk_->lastId());
  ++chunks_;
  chunk_->Reset();
  return !failed_;
}

bool EvtxWriter::Finish() {
  if (finished_) return !failed_;
  finished_ = true;
  if (!failed_ && !chunk_->empty()) FlushChunk();
  if (failed_) return false;

  const std::uint64_t slots =
      options_.slots != 0 ? options_.slots : options_.firstSlot + std::uint64_t{chunks_};
  const std::uint64_t kept = std::min<std::uint64_t>(chunks_, slots);
  std::uint64_t counted = kept;
  if (options_.headerChunkCount)
    counted = std::min<std::uint64_t>(counted, *options_.headerChunkCount);
  const std::uint64_t oldest = chunks_ - kept;  // chunk number of the oldest one kept
  const auto slotOf = [&](std::uint64_t number) {
    const std::uint64_t slot = options_.firstSlot + number;
    return options_.slots != 0 ? slot % options_.slots : slot;
  };

  std::array<std::byte, kEvtxFileHeaderSize> h{};
  std::memcpy(h.data(), "ElfFile", 8);
  std::uint64_t next = nextId_;
  if (counted != 0) {
    le::Put64(&h[8], slotOf(oldest));
    le::Put64(&h[16], slotOf(oldest + counted - 1));
    next = lastIds_[oldest + counted - 1] + 1;
  } else if (options_.headerChunkCount) {
    next = options_.firstRecordId;
  }
  le::Put64(&h[24], next);
  le::Put32(&h[32], kEvtxFileHeaderSize);
  le::Put16(&h[36], options_.minorVersion);
  le::Put16(&h[38], 3);
  le::Put16(&h[40], static_cast<std::uint16_t>(kEvtxHeaderBlockSize));
  le::Put16(&h[42], static_cast<std::uint16_t>(counted));
  std::uint32_t flags = 0;
  if (options_.dirty) flags |= evtxflag::kDirty;
  if (options_.full) flags |= evtxflag::kFull;
  le::Put32(&h[120], flags);
  le::Put32(&h[124], Crc32(std::span(h).first(120)));

  Bytes block(kEvtxHeaderBlockSize);
  std::copy(h.begin(), h.end(), block.begin());
  if (!sink_.WriteAt(0, block)) return false;
  // Slots no chunk reached are zeros up to the end of the file.
  writtenSlots_.resize(static_cast<std::size_t>(slots), false);
  for (std::uint64_t slot = 0; slot < slots; ++slot) {
    if (writtenSlots_[static_cast<std::size_t>(slot)]) continue;
    if (!sink_.WriteAt(kEvtxHeaderBlockSize + slot * kEvtxChunkSize, Bytes(kEvtxChunkSize))) {
      return false;
    }
  }
  return true;
}

Bytes WriteEvtxFile(std::span<const EvtxEvent> events, const EvtxWriterOptions& options) {
  MemoryByteSink sink;
  EvtxWriter writer(sink, options);
  for (const auto& event : events) writer.Write(event);
  writer.Finish();
  return std::move(sink.bytes());
}

std::uint64_t CopyEvtxEvents(EvtxEventReader& reader, EvtxWriter& writer) {
  std::uint64_t written = 0;
  EvtxEvent event;
  reader.ForEachRecord(false, [&](EvtxEventReader& r, const EvtxRecordRef& record) {
    if (!r.ReadFragment(record, event.body)) return true;
    event.written = record.written;
    if (writer.Write(event)) ++written;
    return true;
  });
  return written;
}

}  // namespace qb::sim
