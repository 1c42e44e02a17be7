// The description of a sample machine's event logs: which logs, which sources write to them,
// which events with which inserts, and how often. A line format meant to be read and edited by
// hand; samples/description.txt explains it by example.
//
//   seed <number>                      the generator's seed
//   computer <name>                    the computer name in every record
//   start <YYYY-MM-DD> <HH:MM:SS>      time of each log's first record (UTC)
//   zone <minutes>                     local time offset for the {date} and {time} inserts
//   machine <folder>                   files copied into the output folder (relative to the
//                                      description): the registry export, machine.ini
//   list <name> = <item> | <item> ...  values for the {name} insert, one picked at random
//   account <group> <SID> <DOMAIN\name>
//   log <name> records=<n> gap=<a>..<b> [maxsize=<n>] [retention=<n>] [first=<n>]
//                                      [offset=<n>] [dirty]
//   source <name> [messages=<library>] [unregistered]
//   event <id> <type> [weight=<n>] [category=<n>|<a>..<b>] [user=<groups>] [other=<groups>]
//         [sid=none|user|other|<groups>] [data=<size>,<size>...] [: <insert> | <insert> ...]
//
// A machine of Windows Vista and later (os 6 or more) keeps its logs as .evtx files and
// describes its providers:
//
//   os <major version>
//   provider <name> guid=<{GUID}> [library=<path>] [messages=<path>] [mui]
//   task <value> <name> [: <text>]     of the provider above
//   keyword <mask> <name> [: <text>]   of the provider above
//   log <name> ... [channel] [type=Admin|Operational|Analytic|Debug] [disabled]
//              [owner=<provider>]
//   event ... [level=<n>] [version=<n>] [task=<n>] [opcode=<n>] [keywords=<mask>]
//             [fields=<name>,<name>...] [undefined]
//   text <message>                     the message of the event above
//
// Lines starting with '#' are comments; indentation does not matter. Numbers are decimal or
// 0x hexadecimal. Types: success, error, warning, information, audit_success, audit_failure.
// Inserts are text with generated parts in braces ({list}, {ip}, {number:1..9}, ...);
// "{{" and "}}" stand for literal braces.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qb::samplegen {

struct Range {
  std::uint64_t low = 0, high = 0;  // inclusive
};

// One piece of an insert: literal text or a generated value.
struct Piece {
  enum class Kind {
    kText,
    kList,      // text: the list's name
    kIp,        // a private IPv4 address
    kMac,       // a hardware address, 00-0C-29-xx-xx-xx
    kNumber,    // range
    kHex,       // range.low digits, upper case
    kGuid,      // {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}
    kCrLf,      // a line break
    kTab,       // a tab
    kBar,       // "|", which otherwise separates inserts and list items
    kComputer,  // the description's computer name
    kDate,      // the record's local date, M/D/YYYY
    kTime,      // the record's local time, h:mm:ss AM
    kUserName,  // of the account picked by user=
    kUserDomain,
    kUserSid,
    kOtherName,  // of the account picked by other=
    kOtherDomain,
    kOtherSid,
  };
  Kind kind = Kind::kText;
  std::string text;
  Range range;
};
using Template = std::vector<Piece>;

struct Account {
  std::string group;
  std::string sid;  // text form, S-1-...
  std::string domain, name;
};

struct EventDescription {
  std::uint32_t eventId = 0;
  std::uint16_t eventType = 0;
  std::uint32_t weight = 1;
  Range category;
  std::vector<std::string> userGroups;   // the account of {user.*}
  std::vector<std::string> otherGroups;  // the account of {other.*}
  // The record's user SID: none, the {user.*} or {other.*} account's, or one picked from
  // sidGroups.
  enum class Sid { kNone, kUser, kOther, kGroups };
  Sid sid = Sid::kNone;
  std::vector<std::string> sidGroups;
  std::vector<std::uint32_t> dataSizes{0};  // one picked at random
  std::vector<Template> inserts;
  int line = 0;
  // What .evtx events carry besides. The level follows the type unless given.
  std::optional<std::uint8_t> level;
  std::uint8_t version = 0;
  std::uint16_t task = 0;
  std::uint8_t opcode = 0;
  std::uint64_t keywords = 0;
  std::vector<std::string> fields;  // the names of a provider event's data, one per insert
  std::optional<std::string> text;  // the message, %1... for the inserts
  bool undefined = false;           // a provider's event its manifest does not define
};

struct SourceDescription {
  std::string name;
  std::string messageFile;  // EventMessageFile of a classic source; none: no library
  bool registered = true;   // has a key below its log's
  std::vector<EventDescription> events;
};

// A task or keyword of a provider's manifest.
struct ProviderItem {
  std::uint64_t value = 0;
  std::string name;
  std::optional<std::string> text;
};

// A manifest-based provider (Vista and later).
struct ProviderDescription {
  std::string name;
  std::string guid;      // {xxxxxxxx-...}
  std::string library;   // ResourceFileName, which holds the manifest; none: no metadata
  std::string messages;  // MessageFileName; the library when not given
  bool mui = false;      // its messages in the en-US language file of MessageFileName
  std::vector<ProviderItem> tasks, keywords;
};

struct LogDescription {
  std::string name;  // the registry name, and the .evt file's name
  std::uint32_t records = 0;
  Range gap;  // seconds between consecutive records
  std::uint32_t maxSize = 0x80000;
  std::uint32_t retention = 0;
  std::uint32_t firstNumber = 1;  // the oldest record's number
  std::uint32_t startOffset = 0;  // where the oldest record starts in the file; 0: at the start
  bool dirty = false;             // written as a live log's file: dirty, header one record behind
  bool channel = false;           // a channel of its own rather than a classic log
  std::string channelType = "Admin";
  bool enabled = true;
  std::string owner;  // the channel's owning provider
  int line = 0;
  std::vector<SourceDescription> sources;
};

struct Description {
  std::uint64_t seed = 1;
  int osMajor = 5;  // 6 and later: .evtx logs, providers and channels
  std::string computer = "QBSIM";
  std::uint32_t start = 0;  // seconds since 1970, UTC
  int zoneMinutes = 0;
  std::string machineFolder;
  std::map<std::string, std::vector<Template>> lists;
  std::vector<Account> accounts;
  std::vector<ProviderDescription> providers;
  std::vector<LogDescription> logs;

  const ProviderDescription* FindProvider(std::string_view name) const;
};

// Parses a description. On a fault, nullopt and "line <n>: <what>" in *error.
std::optional<Description> ParseDescription(std::string_view text, std::string* error = nullptr);

// Event type names as the description writes them; nullopt for anything else.
std::optional<std::uint16_t> EventTypeByName(std::string_view name);

}  // namespace qb::samplegen
