#include "platform/sim/formats/message_format.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <optional>
#include <utility>

namespace qb::sim {
namespace {

// FormatMessageW's output is capped at 64K; larger widths would only exhaust memory.
constexpr std::size_t kMaxField = 0xFFFF;

bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

struct Insert {
  std::size_t number = 0;
  std::u16string_view conversion;  // between the "!"s, empty when there is none
  std::size_t end = 0;             // index just past the sequence
};

// Parses the insert whose first digit (1..9) is at `pos`. Shared by the formatter and
// HighestInsert so that both always agree on which inserts a text names.
Insert ParseInsert(std::u16string_view text, std::size_t pos) {
  Insert insert;
  insert.number = static_cast<std::size_t>(text[pos] - u'0');
  ++pos;
  if (pos < text.size() && IsDigit(text[pos])) {
    insert.number = insert.number * 10 + static_cast<std::size_t>(text[pos] - u'0');
    ++pos;
  }
  if (pos < text.size() && text[pos] == u'!') {
    std::size_t close = text.find(u'!', pos + 1);
    if (close != std::u16string_view::npos) {
      insert.conversion = text.substr(pos + 1, close - pos - 1);
      pos = close + 1;
    }
  }
  insert.end = pos;
  return insert;
}

std::size_t ReadNumber(std::u16string_view conversion, std::size_t& pos) {
  std::size_t value = 0;
  while (pos < conversion.size() && IsDigit(conversion[pos])) {
    value = std::min(kMaxField, value * 10 + static_cast<std::size_t>(conversion[pos] - u'0'));
    ++pos;
  }
  return value;
}

// Applies a printf conversion to a string argument; see the header for what is honoured.
void AppendConverted(std::u16string& out, std::u16string_view value,
                     std::u16string_view conversion) {
  std::size_t pos = 0;
  bool leftAlign = false;
  while (pos < conversion.size() &&
         std::u16string_view(u"-+ #0").find(conversion[pos]) != conversion.npos) {
    leftAlign = leftAlign || conversion[pos] == u'-';
    ++pos;
  }
  std::size_t width = ReadNumber(conversion, pos);
  if (pos < conversion.size() && conversion[pos] == u'.') {
    ++pos;
    value = value.substr(0, ReadNumber(conversion, pos));
  }
  std::size_t padding = width > value.size() ? width - value.size() : 0;
  if (!leftAlign) out.append(padding, u' ');
  out.append(value);
  if (leftAlign) out.append(padding, u' ');
}

void DefaultViolationHandler(std::u16string_view message, std::size_t highest,
                             std::size_t supplied) {
  std::fprintf(stderr,
               "Quillerbankton sim: FormatMessageW would read past its argument array: the "
               "message names insert %zu but only %zu inserts were passed. Message: \"",
               highest, supplied);
  for (char16_t c : message.substr(0, 300)) {
    if (c >= 0x20 && c < 0x7F) {
      std::fputc(static_cast<int>(c), stderr);
    } else {
      std::fprintf(stderr, "\\u%04x", static_cast<unsigned>(c));
    }
  }
  std::fputs("\"\n", stderr);
  std::fflush(stderr);
  std::abort();
}

std::atomic<InsertViolationHandler> g_violationHandler{&DefaultViolationHandler};

std::optional<std::u16string> Format(std::u16string_view message, bool ignoreInserts,
                                     std::span<const std::u16string> inserts) {
  std::u16string out;
  out.reserve(message.size());
  std::size_t pos = 0;
  while (pos < message.size()) {
    char16_t c = message[pos];
    if (c != u'%') {
      out.push_back(c);
      ++pos;
      continue;
    }
    if (pos + 1 == message.size()) break;  // a lone "%" at the end outputs nothing
    char16_t escape = message[pos + 1];
    if (escape >= u'1' && escape <= u'9') {
      Insert insert = ParseInsert(message, pos + 1);
      if (ignoreInserts) {
        out.append(message.substr(pos, insert.end - pos));
      } else if (insert.number > inserts.size()) {
        g_violationHandler.load()(message, HighestInsert(message), inserts.size());
        return std::nullopt;
      } else {
        AppendConverted(out, inserts[insert.number - 1], insert.conversion);
      }
      pos = insert.end;
      continue;
    }
    switch (escape) {
      case u'0':
        return out;
      case u'n':
        out.append(u"\r\n");
        break;
      case u'r':
        out.push_back(u'\r');
        break;
      case u't':
        out.push_back(u'\t');
        break;
      default:
        out.push_back(escape);
        break;
    }
    pos += 2;
  }
  return out;
}

}  // namespace

FormatResult FormatMessageText(std::u16string_view message, bool ignoreInserts,
                               std::span<const std::u16string> inserts) {
  try {
    std::optional<std::u16string> text = Format(message, ignoreInserts, inserts);
    if (!text) return FormatResult{platform::err::kInvalidParameter, {}};
    return FormatResult{platform::err::kSuccess, std::move(*text)};
  } catch (const std::bad_alloc&) {
    return FormatResult{platform::err::kNotEnoughMemory, {}};
  }
}

std::size_t HighestInsert(std::u16string_view message) {
  std::size_t highest = 0;
  std::size_t pos = 0;
  while (pos + 1 < message.size()) {
    if (message[pos] != u'%') {
      ++pos;
    } else if (message[pos + 1] >= u'1' && message[pos + 1] <= u'9') {
      Insert insert = ParseInsert(message, pos + 1);
      highest = std::max(highest, insert.number);
      pos = insert.end;
    } else {
      pos += 2;  // an escape, so "%%1" names no insert
    }
  }
  return highest;
}

InsertViolationHandler SetInsertViolationHandler(InsertViolationHandler handler) {
  return g_violationHandler.exchange(handler != nullptr ? handler : &DefaultViolationHandler);
}

}  // namespace qb::sim
