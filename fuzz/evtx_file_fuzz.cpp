// Arbitrary bytes as an .evtx file: the reader must neither crash, nor loop, nor read outside
// what it was given, whatever the header, chunks, records and Binary XML say. Every record is
// read both ways (the fast system values and event data, and the XML), oldest first and
// newest first, and the events are written again into a new file that is read back.
//
// tools/test-all.sh fuzz seeds it with the header and first chunk of each real file in
// ../shared/evtx/. By hand, in the asan tree:
//   build/asan/fuzz/evtx_file_fuzz -max_total_time=60 -max_len=200000 /tmp/evtx-corpus \
//       ../shared/evtx/omerbenamram-evtx ../shared/evtx/python-evtx
#include <cstddef>
#include <cstdint>

#include "platform/sim/formats/evtx_event.h"
#include "platform/sim/formats/evtx_writer.h"

namespace {

using namespace qb::sim;

std::size_t ReadEverything(std::shared_ptr<const ByteSource> source, bool newestFirst) {
  auto file = EvtxFile::Open(std::move(source));
  if (!file) return 0;
  EvtxEventReader reader(*file);
  EvtxSystem system;
  std::vector<EvtxDataItem> data;
  std::u16string xml;
  std::size_t records = 0;
  reader.ForEachRecord(newestFirst, [&](EvtxEventReader& r, const EvtxRecordRef& record) {
    xml.clear();
    r.ReadSystem(record, system);
    r.ReadEventData(record, data);
    r.RenderXml(record, xml);
    for (const auto& item : data) (void)item.value.text();
    ++records;
    return true;
  });
  file->CheckAllChunks();
  // Every slot is counted once at most.
  if (file->chunksPassedOver() > file->slotCount()) __builtin_trap();
  return records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto bytes = std::as_bytes(std::span(data, size));
  auto source = std::make_shared<MemoryByteSource>(bytes);
  const std::size_t forwards = ReadEverything(source, false);
  if (ReadEverything(source, true) != forwards) __builtin_trap();

  auto file = EvtxFile::Open(source);
  if (!file) return 0;
  EvtxEventReader reader(*file);
  MemoryByteSink sink;
  EvtxWriter writer(sink);
  const std::uint64_t copied = CopyEvtxEvents(reader, writer);
  if (!writer.Finish()) __builtin_trap();
  // What was written is a sound file with every event copied.
  if (ReadEverything(std::make_shared<MemoryByteSource>(std::move(sink.bytes())), false) !=
      copied) {
    __builtin_trap();
  }
  return 0;
}
