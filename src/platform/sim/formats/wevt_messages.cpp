#include "platform/sim/formats/wevt_messages.h"

#include <new>

#include "platform/sim/formats/message_format.h"

namespace qb::sim {
namespace {

bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

// Length of the insert whose "%" is at `pos` (a digit 1..9 follows), as FormatMessage reads
// it: one or two digits, then "!fmt!" when a closing "!" exists. Sets *number.
std::size_t InsertLength(std::u16string_view text, std::size_t pos, std::size_t* number) {
  std::size_t end = pos + 1;
  *number = static_cast<std::size_t>(text[end++] - u'0');
  if (end < text.size() && IsDigit(text[end])) {
    *number = *number * 10 + static_cast<std::size_t>(text[end++] - u'0');
  }
  if (end < text.size() && text[end] == u'!') {
    std::size_t close = text.find(u'!', end + 1);
    if (close != std::u16string_view::npos) end = close + 1;
  }
  return end - pos;
}

void Note(platform::ErrorCode& error, platform::ErrorCode code) {
  if (error == 0) error = code;
}

// Rewrites the message so that FormatMessage replaces only what it can and should: inserts
// beyond the values or past the limit are escaped to come out as written, and "%%n" in the
// message itself is doubled so that it survives as "%%n" for the parameter step.
std::u16string PrepareMessage(std::u16string_view message, std::size_t valueCount,
                              platform::ErrorCode& error) {
  std::u16string out;
  out.reserve(message.size() + 8);
  std::size_t inserts = 0;
  std::size_t pos = 0;
  while (pos < message.size()) {
    char16_t c = message[pos];
    if (c != u'%' || pos + 1 == message.size()) {
      out.push_back(c);
      ++pos;
      continue;
    }
    char16_t next = message[pos + 1];
    if (next >= u'1' && next <= u'9') {
      std::size_t number = 0;
      std::size_t length = InsertLength(message, pos, &number);
      bool unresolved = number > valueCount;
      bool overLimit = !unresolved && ++inserts > kWevtMaxInserts;
      if (unresolved) Note(error, evt_err::kUnresolvedValueInsert);
      if (overLimit) Note(error, evt_err::kMaxInsertsReached);
      if (unresolved || overLimit) out.push_back(u'%');
      out.append(message.substr(pos, length));
      pos += length;
    } else if (next == u'%' && pos + 2 < message.size() && IsDigit(message[pos + 2])) {
      out.append(u"%%%%");
      pos += 2;
    } else {
      out.append(message.substr(pos, 2));
      pos += 2;
    }
  }
  return out;
}

// A parameter or a name: escapes processed, inserts left alone, the line break the message
// compiler ends every text with taken off.
std::u16string PlainText(std::u16string_view message) {
  FormatResult result = FormatMessageText(message, true, {});
  std::u16string& text = result.text;
  while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n')) text.pop_back();
  return std::move(text);
}

// Replaces "%%n" (n up to a 32-bit message id) by parameter message n. Not recursive: a
// parameter's own "%%n" stays as it is, so no chain of parameters can loop.
std::u16string ReplaceParameters(std::u16string_view text, const MessageTable& parameters,
                                 platform::ErrorCode& error) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t replaced = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] != u'%' || pos + 2 >= text.size() || text[pos + 1] != u'%' ||
        !IsDigit(text[pos + 2])) {
      out.push_back(text[pos]);
      ++pos;
      continue;
    }
    std::size_t end = pos + 2;
    std::uint64_t id = 0;
    while (end < text.size() && IsDigit(text[end]) && id <= 0xFFFFFFFFu) {
      id = id * 10 + static_cast<std::uint64_t>(text[end] - u'0');
      ++end;
    }
    auto it =
        id <= 0xFFFFFFFFu ? parameters.find(static_cast<std::uint32_t>(id)) : parameters.end();
    if (it == parameters.end()) {
      Note(error, evt_err::kUnresolvedParameterInsert);
      out.append(text.substr(pos, end - pos));
    } else if (++replaced > kWevtMaxInserts) {
      Note(error, evt_err::kMaxInsertsReached);
      out.append(text.substr(pos, end - pos));
    } else {
      out.append(PlainText(it->second));
    }
    pos = end;
  }
  return out;
}

WevtText Name(bool defined, std::uint32_t messageId, const MessageTable& messages) {
  if (!defined || messageId == kWevtNoMessage) return {evt_err::kMessageIdNotFound, {}};
  auto it = messages.find(messageId);
  if (it == messages.end()) return {evt_err::kMessageNotFound, {}};
  return {0, PlainText(it->second)};
}

WevtEventTexts Format(const WevtManifest& manifest, const WevtEventKey& key,
                      std::span<const std::u16string> values, const MessageTable& messages,
                      const MessageTable& parameters) {
  WevtEventTexts out;
  const WevtProvider* provider = manifest.FindProvider(key.provider);
  const WevtEvent* event = provider != nullptr ? provider->FindEvent(key.id, key.version) : nullptr;
  if (event == nullptr) {
    platform::ErrorCode error =
        provider == nullptr ? evt_err::kPublisherMetadataNotFound : evt_err::kMessageIdNotFound;
    out.description.error = out.task.error = out.level.error = out.opcode.error = error;
    out.keywordsError = error;
    return out;
  }

  WevtText description = Name(true, event->messageId, messages);
  if (description.error == 0) {
    description = FormatWevtDescription(messages.at(event->messageId), values, parameters);
  }
  out.description = std::move(description);

  const WevtTask* task = provider->FindTask(event->task);
  out.task = Name(task != nullptr, task != nullptr ? task->messageId : 0, messages);
  const WevtLevel* level = provider->FindLevel(event->level);
  out.level = Name(level != nullptr, level != nullptr ? level->messageId : 0, messages);
  const WevtOpcode* opcode = provider->FindOpcode(event->task, event->opcode);
  out.opcode = Name(opcode != nullptr, opcode != nullptr ? opcode->messageId : 0, messages);
  for (unsigned bit = 0; bit < 64; ++bit) {
    if ((event->keywords >> bit & 1) == 0) continue;
    const WevtKeyword* keyword = provider->FindKeyword(bit);
    WevtText name = Name(keyword != nullptr, keyword != nullptr ? keyword->messageId : 0, messages);
    if (name.error == 0) out.keywords.push_back(std::move(name.text));
  }
  if (event->keywords != 0 && out.keywords.empty()) {
    out.keywordsError = evt_err::kMessageIdNotFound;
  }
  return out;
}

}  // namespace

WevtText FormatWevtDescription(std::u16string_view message, std::span<const std::u16string> values,
                               const MessageTable& parameters) {
  try {
    WevtText out;
    std::u16string prepared = PrepareMessage(message, values.size(), out.error);
    FormatResult formatted = FormatMessageText(prepared, false, values);
    if (formatted.error != 0) return {formatted.error, {}};
    out.text = ReplaceParameters(formatted.text, parameters, out.error);
    return out;
  } catch (const std::bad_alloc&) {
    return {platform::err::kNotEnoughMemory, {}};
  }
}

WevtEventTexts FormatWevtEvent(const WevtManifest& manifest, const WevtEventKey& event,
                               std::span<const std::u16string> values, const MessageTable& messages,
                               const MessageTable& parameters) {
  try {
    return Format(manifest, event, values, messages, parameters);
  } catch (const std::bad_alloc&) {
    WevtEventTexts out;
    out.description.error = platform::err::kNotEnoughMemory;
    return out;
  }
}

}  // namespace qb::sim
