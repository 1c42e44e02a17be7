// The custom columns: the field list, the event code at once, the texts only when asked again
// without CONTENT_DELAYIFSLOW, as the host does from its background thread.
#include <cstring>
#include <thread>

#include "plugin_test_checks.h"
#include "wine_test_support.h"

namespace qb::winetest {
namespace {

constexpr int kAccount = 0;
constexpr int kCategory = 1;
constexpr int kCode = 2;
constexpr int kDescription = 3;
constexpr int kTextBytes = 2048;

struct Value {
  int type = 0;
  std::wstring text;
  std::int32_t number = 0;
};

Value Get(const LoadedPlugin& plugin, const TestRecord& record, int field, int flags) {
  std::wstring name = RecordPath(record);
  alignas(8) wchar_t buffer[kTextBytes / sizeof(wchar_t)] = {};
  Value value;
  value.type = plugin.fs.FsContentGetValueW(Host(name), field, 0, buffer, kTextBytes, flags);
  if (value.type == kFieldStringW) value.text = buffer;
  if (value.type == kFieldNumeric32) std::memcpy(&value.number, buffer, sizeof(value.number));
  return value;
}

// The description as one line: line breaks and tabs become single spaces.
std::wstring Flattened(const std::wstring& text) {
  std::wstring flat;
  for (std::size_t i = 0; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') {
      c = L' ';
      ++i;
    }
    if (c == L'\t') c = L' ';
    if (c == L' ' && !flat.empty() && flat.back() == L' ') continue;
    flat += c;
  }
  return flat;
}

void CheckSupportedFields(const LoadedPlugin& plugin) {
  const struct {
    const char* name;
    int type;
  } expected[] = {{"Account", kFieldStringW},
                  {"Category", kFieldStringW},
                  {"Code", kFieldNumeric32},
                  {"Description", kFieldStringW}};
  for (int i = 0; i < 4; ++i) {
    char name[64] = {};
    char units[64] = "x";
    const int type = plugin.fs.FsContentGetSupportedField(i, name, units, 64);
    Check(type == expected[i].type && std::strcmp(name, expected[i].name) == 0 && units[0] == 0,
          "FsContentGetSupportedField(" + std::to_string(i) + ") is \"" + expected[i].name +
              "\" of type " + std::to_string(expected[i].type) + " (got \"" + name + "\", " +
              std::to_string(type) + ")");
  }
  char name[64] = {};
  char units[64] = {};
  Check(plugin.fs.FsContentGetSupportedField(4, name, units, 64) == kFieldNoMore,
        "FsContentGetSupportedField(4) gives ft_nomorefields");
}

void CheckTexts(const LoadedPlugin& plugin, const TestRecord& record) {
  const std::string what = "column of " + Narrow(ListedName(record)) + " ";
  const int fields[] = {kAccount, kCategory, kDescription};
  for (int field : fields) {
    const Value quick = Get(plugin, record, field, kContentDelayIfSlow);
    Check(quick.type == kFieldDelayed, what + std::to_string(field) +
                                           " with CONTENT_DELAYIFSLOW is ft_delayed (got " +
                                           std::to_string(quick.type) + ")");
  }
  const Value code = Get(plugin, record, kCode, kContentDelayIfSlow);
  Check(code.type == kFieldNumeric32 && code.number == static_cast<std::int32_t>(EventCode(record)),
        what + "2 (Code) is the event code at once (got type " + std::to_string(code.type) + ", " +
            std::to_string(code.number) + ")");

  // The host asks for the slow fields again from a thread of its own.
  Value account, category, description;
  std::thread([&] {
    account = Get(plugin, record, kAccount, 0);
    category = Get(plugin, record, kCategory, 0);
    description = Get(plugin, record, kDescription, 0);
  }).join();
  const auto checkText = [&](const Value& value, int field, const std::wstring& expected) {
    Check(value.type == kFieldStringW && value.text == expected,
          what + std::to_string(field) + " from another thread is ft_stringw \"" +
              Narrow(expected) + "\" (got " + std::to_string(value.type) + ", \"" +
              Narrow(value.text) + "\")");
  };
  checkText(account, kAccount, record.user);
  checkText(category, kCategory, record.category);
  checkText(description, kDescription, Flattened(ExpectedDescription(record)));
}

}  // namespace

void CheckColumns(const LoadedPlugin& plugin, const std::vector<TestRecord>& records) {
  CheckSupportedFields(plugin);
  CheckTexts(plugin, records[kOwnRecord]);
  CheckTexts(plugin, records[kFormattedRecord]);
  CheckTexts(plugin, records[kTooFewInsertsRecord]);
}

}  // namespace qb::winetest
