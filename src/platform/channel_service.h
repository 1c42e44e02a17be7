// The channels of the Windows Event Log (wevtapi.dll, Windows Vista and later): every log of a
// modern Windows, the classic ones among them, read by queries that yield events, whose values
// are rendered through render contexts and whose texts come from their publishers' metadata.
// The calls follow the API one to one; sizes of buffers are the backend's business.
#pragma once

#include <span>
#include <vector>

#include "platform/types.h"

namespace qb::platform {

namespace err {
inline constexpr ErrorCode kEvtInvalidChannelPath = 15000;
inline constexpr ErrorCode kEvtInvalidQuery = 15001;
inline constexpr ErrorCode kEvtPublisherMetadataNotFound = 15002;
inline constexpr ErrorCode kEvtEventTemplateNotFound = 15003;
inline constexpr ErrorCode kEvtInvalidPublisherName = 15004;
inline constexpr ErrorCode kEvtChannelNotFound = 15007;
inline constexpr ErrorCode kEvtQueryResultStale = 15011;
inline constexpr ErrorCode kEvtInvalidChannelPropertyValue = 15023;
inline constexpr ErrorCode kEvtMessageNotFound = 15027;
inline constexpr ErrorCode kEvtMessageIdNotFound = 15028;
inline constexpr ErrorCode kEvtUnresolvedValueInsert = 15029;
inline constexpr ErrorCode kEvtUnresolvedParameterInsert = 15030;
inline constexpr ErrorCode kEvtMaxInsertsReached = 15031;
inline constexpr ErrorCode kEvtEventDefinitionNotFound = 15032;
inline constexpr ErrorCode kEvtMessageLocaleNotFound = 15033;
inline constexpr ErrorCode kMuiFileNotFound = 15100;
}  // namespace err

// EVT_VARIANT_TYPE; an array carries kEvtArray besides its items' type.
namespace evttype {
inline constexpr std::uint32_t kNull = 0;
inline constexpr std::uint32_t kString = 1;
inline constexpr std::uint32_t kAnsiString = 2;
inline constexpr std::uint32_t kSByte = 3;
inline constexpr std::uint32_t kByte = 4;
inline constexpr std::uint32_t kInt16 = 5;
inline constexpr std::uint32_t kUInt16 = 6;
inline constexpr std::uint32_t kInt32 = 7;
inline constexpr std::uint32_t kUInt32 = 8;
inline constexpr std::uint32_t kInt64 = 9;
inline constexpr std::uint32_t kUInt64 = 10;
inline constexpr std::uint32_t kSingle = 11;
inline constexpr std::uint32_t kDouble = 12;
inline constexpr std::uint32_t kBoolean = 13;
inline constexpr std::uint32_t kBinary = 14;
inline constexpr std::uint32_t kGuid = 15;
inline constexpr std::uint32_t kSizeT = 16;
inline constexpr std::uint32_t kFileTime = 17;
inline constexpr std::uint32_t kSysTime = 18;
inline constexpr std::uint32_t kSid = 19;
inline constexpr std::uint32_t kHexInt32 = 20;
inline constexpr std::uint32_t kHexInt64 = 21;
inline constexpr std::uint32_t kEvtHandle = 32;
inline constexpr std::uint32_t kEvtXml = 35;
inline constexpr std::uint32_t kArray = 0x80;
}  // namespace evttype

// An EVT_VARIANT, held by value.
struct EvtValue {
  std::uint32_t type = evttype::kNull;
  // SByte to UInt64, Boolean (0 or 1), SizeT, FileTime (100 ns since 1601), HexInt32/64,
  // EvtHandle; signed types sign-extended.
  std::uint64_t number = 0;
  double real = 0;      // Single, Double
  std::u16string text;  // String, AnsiString (in UTF-16), EvtXml
  // Binary; Guid (16 bytes as stored); Sid; SysTime (the 16 bytes of a SYSTEMTIME).
  Bytes bytes;
  std::vector<EvtValue> items;  // an array's items, each of type (type & ~kArray)

  bool IsNull() const { return type == evttype::kNull; }
};

// EVT_SYSTEM_PROPERTY_ID: the values EvtRender gives with the system render context, in order.
enum class EvtSystem : std::uint32_t {
  kProviderName = 0,
  kProviderGuid,
  kEventId,
  kQualifiers,
  kLevel,
  kTask,
  kOpcode,
  kKeywords,
  kTimeCreated,
  kEventRecordId,
  kActivityId,
  kRelatedActivityId,
  kProcessId,
  kThreadId,
  kChannel,
  kComputer,
  kUserId,
  kVersion,
  kCount
};

// EVT_CHANNEL_CONFIG_PROPERTY_ID (those the plugin uses).
enum class EvtChannelConfig : std::uint32_t {
  kEnabled = 0,          // Boolean
  kIsolation = 1,        // UInt32
  kType = 2,             // UInt32: EvtChannelType
  kOwningPublisher = 3,  // String
  kClassicEventlog = 4,  // Boolean
  kAccess = 5,           // String (SDDL)
  kRetention = 6,        // Boolean: true keeps events (never overwrites)
  kAutoBackup = 7,       // Boolean
  kMaxSize = 8,          // UInt64, bytes
  kLogFilePath = 9,      // String, environment variables unexpanded
};

// EVT_CHANNEL_TYPE.
namespace evtchannel {
inline constexpr std::uint32_t kAdmin = 0;
inline constexpr std::uint32_t kOperational = 1;
inline constexpr std::uint32_t kAnalytic = 2;
inline constexpr std::uint32_t kDebug = 3;
}  // namespace evtchannel

// EVT_LOG_PROPERTY_ID.
enum class EvtLogProperty : std::uint32_t {
  kCreationTime = 0,    // FileTime
  kLastAccessTime,      // FileTime
  kLastWriteTime,       // FileTime
  kFileSize,            // UInt64
  kAttributes,          // UInt32
  kNumberOfLogRecords,  // UInt64
  kOldestRecordNumber,  // UInt64
  kFull,                // Boolean
};

// Flags of EvtQuery, EvtOpenLog and EvtExportLog, EvtCreateRenderContext, EvtFormatMessage.
namespace evtflags {
inline constexpr std::uint32_t kChannelPath = 0x1;
inline constexpr std::uint32_t kFilePath = 0x2;
inline constexpr std::uint32_t kForwardDirection = 0x100;
inline constexpr std::uint32_t kReverseDirection = 0x200;
inline constexpr std::uint32_t kTolerateQueryErrors = 0x1000;

inline constexpr std::uint32_t kRenderContextValues = 0;
inline constexpr std::uint32_t kRenderContextSystem = 1;
inline constexpr std::uint32_t kRenderContextUser = 2;

inline constexpr std::uint32_t kFormatEvent = 1;
inline constexpr std::uint32_t kFormatLevel = 2;
inline constexpr std::uint32_t kFormatTask = 3;
inline constexpr std::uint32_t kFormatOpcode = 4;
inline constexpr std::uint32_t kFormatKeyword = 5;
inline constexpr std::uint32_t kFormatChannel = 6;
inline constexpr std::uint32_t kFormatProvider = 7;
inline constexpr std::uint32_t kFormatId = 8;
inline constexpr std::uint32_t kFormatXml = 9;
}  // namespace evtflags

class IChannelService {
 public:
  virtual ~IChannelService() = default;

  // EvtOpenChannelEnum / EvtNextChannelPath: every channel of the computer, the classic logs
  // among them; ERROR_NO_MORE_ITEMS after the last. Where the system has no Windows Event Log
  // (Windows XP and 2003) every call fails with ERROR_MOD_NOT_FOUND or ERROR_PROC_NOT_FOUND.
  virtual ErrorCode OpenChannelEnum(Handle& channels) = 0;
  virtual ErrorCode NextChannelPath(Handle channels, std::u16string& path) = 0;

  // EvtOpenChannelConfig / EvtGetChannelConfigProperty / EvtSetChannelConfigProperty /
  // EvtSaveChannelConfig. ERROR_EVT_CHANNEL_NOT_FOUND for an unknown channel; a property the
  // channel does not have is a value of type kNull. Saving needs an administrator
  // (ERROR_ACCESS_DENIED).
  virtual ErrorCode OpenChannelConfig(std::u16string_view channel, Handle& config) = 0;
  virtual ErrorCode GetChannelConfigProperty(Handle config, EvtChannelConfig id,
                                             EvtValue& value) = 0;
  virtual ErrorCode SetChannelConfigProperty(Handle config, EvtChannelConfig id,
                                             const EvtValue& value) = 0;
  virtual ErrorCode SaveChannelConfig(Handle config) = 0;

  // EvtQuery of a channel (kChannelPath) or of an .evtx file (kFilePath), in one direction.
  // `query` is "*" for every event, or an XPath filter on the system values as Windows takes
  // it ("*[System[(EventRecordID>=10 and EventRecordID<=20)]]"). ERROR_EVT_CHANNEL_NOT_FOUND,
  // ERROR_FILE_NOT_FOUND, ERROR_EVT_INVALID_QUERY, ERROR_ACCESS_DENIED.
  virtual ErrorCode Query(std::u16string_view path, std::u16string_view query, std::uint32_t flags,
                          Handle& results) = 0;
  // EvtNext: up to events.size() event handles in `events`, their number in `returned`;
  // ERROR_NO_MORE_ITEMS when the results hold no more. The handles are the caller's to close.
  virtual ErrorCode Next(Handle results, std::span<Handle> events, std::uint32_t& returned) = 0;

  // EvtCreateRenderContext with no paths and kRenderContextSystem or kRenderContextUser.
  virtual ErrorCode CreateRenderContext(std::uint32_t flags, Handle& context) = 0;
  // EvtRender(context, event, EvtRenderEventValues): the system values (in EvtSystem order;
  // absent ones kNull) or the event's data, in order (EventData's Data, or UserData's leaves).
  virtual ErrorCode RenderValues(Handle context, Handle event, std::vector<EvtValue>& values) = 0;
  // EvtRender(NULL, event, EvtRenderEventXml): the event as XML, without white space between
  // its elements.
  virtual ErrorCode RenderXml(Handle event, std::u16string& xml) = 0;

  // EvtOpenPublisherMetadata(NULL, publisher, NULL, locale 0): a publisher registered with a
  // manifest, or an event source of a classic log (its message files). ERROR_FILE_NOT_FOUND
  // (or ERROR_EVT_PUBLISHER_METADATA_NOT_FOUND) when nothing describes it.
  virtual ErrorCode OpenPublisherMetadata(std::u16string_view publisher, Handle& metadata) = 0;
  // EvtFormatMessage(metadata, event, 0, no values, flags): the event's description, its
  // level's, task's, opcode's or keywords' names... A partial text comes with
  // ERROR_EVT_UNRESOLVED_VALUE_INSERT, ..._PARAMETER_INSERT or ERROR_EVT_MAX_INSERTS_REACHED;
  // ERROR_EVT_MESSAGE_NOT_FOUND, ..._ID_NOT_FOUND, ERROR_EVT_MESSAGE_LOCALE_NOT_FOUND or
  // ERROR_MUI_FILE_NOT_FOUND give no text.
  virtual ErrorCode FormatMessage(Handle metadata, Handle event, std::uint32_t flags,
                                  std::u16string& text) = 0;

  // EvtOpenLog (kChannelPath or kFilePath) / EvtGetLogInfo.
  virtual ErrorCode OpenLog(std::u16string_view path, std::uint32_t flags, Handle& log) = 0;
  virtual ErrorCode GetLogInfo(Handle log, EvtLogProperty id, EvtValue& value) = 0;

  // EvtClearLog: an empty `backupPath` clears without saving; otherwise the channel's events
  // are exported there first (ERROR_ALREADY_EXISTS when the file exists), and cleared only when
  // that worked. ERROR_ACCESS_DENIED for a standard user.
  virtual ErrorCode ClearLog(std::u16string_view channel, std::u16string_view backupPath) = 0;
  // EvtExportLog of a channel (kChannelPath) or file (kFilePath), the events `query` selects,
  // into a new .evtx file (ERROR_ALREADY_EXISTS when `targetPath` exists).
  virtual ErrorCode ExportLog(std::u16string_view path, std::u16string_view query,
                              std::u16string_view targetPath, std::uint32_t flags) = 0;

  // EvtClose of any handle above.
  virtual ErrorCode Close(Handle handle) = 0;
};

}  // namespace qb::platform
