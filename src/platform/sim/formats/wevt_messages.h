// The texts EvtFormatMessage gives for an event of a manifest provider, as the event viewer
// shows them: the description (the event definition's message with the event data as
// inserts, then "%%n" parameter references resolved), and the names of the event's task,
// level, opcode and keywords.
//
// Which definition: the one with the event's id AND version. Windows renders an event from
// its EVENT_DESCRIPTOR (EvtRpcMessageRender takes the whole descriptor) and keeps one
// definition per (id, version); an event whose version the installed manifest does not define
// is not rendered with another version's message (its inserts would follow another template):
// the description is not found, and the viewer falls back to "The description for Event ID
// ... cannot be found", listing the event data. Names come from the same definition.
//
// Errors, as GetLastError after EvtFormatMessage:
//   ERROR_EVT_PUBLISHER_METADATA_NOT_FOUND  the manifest has no such provider
//   ERROR_EVT_MESSAGE_ID_NOT_FOUND          no definition for (id, version), or it has no message
//   ERROR_EVT_MESSAGE_NOT_FOUND             the message id is not in the message table
//   ERROR_EVT_UNRESOLVED_VALUE_INSERT       %n names a value the event does not have
//   ERROR_EVT_UNRESOLVED_PARAMETER_INSERT   %%n is not in the parameter messages
//   ERROR_EVT_MAX_INSERTS_REACHED           more than 100 replacements
// The last three still give the text, with what could not be replaced left as written; the
// first of them met is reported.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "platform/sim/formats/wevt_manifest.h"
#include "platform/types.h"

namespace qb::sim {

namespace evt_err {
inline constexpr platform::ErrorCode kPublisherMetadataNotFound = 15002;
inline constexpr platform::ErrorCode kMessageNotFound = 15027;
inline constexpr platform::ErrorCode kMessageIdNotFound = 15028;
inline constexpr platform::ErrorCode kUnresolvedValueInsert = 15029;
inline constexpr platform::ErrorCode kUnresolvedParameterInsert = 15030;
inline constexpr platform::ErrorCode kMaxInsertsReached = 15031;
}  // namespace evt_err

// The replacements one message may take, as the manifest documentation states it.
inline constexpr std::size_t kWevtMaxInserts = 100;

// Message-table entries by id, as ModuleImage::messages holds them.
using MessageTable = std::map<std::uint32_t, std::u16string>;

struct WevtText {
  platform::ErrorCode error = 0;
  std::u16string text;
};

struct WevtEventTexts {
  WevtText description;  // text as FormatMessage gives it, line breaks included
  WevtText task;         // names without their trailing line break
  WevtText level;
  WevtText opcode;
  // One name per keyword bit of the definition that the provider names, lowest bit first;
  // error ERROR_EVT_MESSAGE_ID_NOT_FOUND when the event has keywords but none is named.
  std::vector<std::u16string> keywords;
  platform::ErrorCode keywordsError = 0;
};

struct WevtEventKey {
  WevtGuid provider;
  std::uint16_t id = 0;
  std::uint8_t version = 0;
};

// `values` are the event data in template order (already as text): %1 is values[0].
// `messages` is the message table of the provider's MessageFileName (or its language file),
// `parameters` that of its ParameterFileName.
WevtEventTexts FormatWevtEvent(const WevtManifest& manifest, const WevtEventKey& event,
                               std::span<const std::u16string> values, const MessageTable& messages,
                               const MessageTable& parameters);

// The description step alone: `message` formatted with `values`, then "%%n" replaced.
WevtText FormatWevtDescription(std::u16string_view message, std::span<const std::u16string> values,
                               const MessageTable& parameters);

}  // namespace qb::sim
