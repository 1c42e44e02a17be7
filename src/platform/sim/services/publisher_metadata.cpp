#include "platform/sim/services/publisher_metadata.h"

#include "platform/sim/formats/module_image.h"
#include "platform/sim/rules/case_rules.h"
#include "platform/sim/services/channel_config.h"
#include "platform/sim/services/modules.h"
#include "platform/sim/services/registry.h"
#include "platform/sim/services/system.h"

namespace qb::sim {
namespace {

using platform::ErrorCode;
namespace err = platform::err;
namespace evtflags = platform::evtflags;

// The names the system's own metadata gives the standard levels and keywords, which events of
// any publisher may carry.
std::optional<std::u16string_view> StandardLevel(std::uint8_t level) {
  switch (level) {
    case 1:
      return u"Critical";
    case 2:
      return u"Error";
    case 3:
      return u"Warning";
    case 4:
      return u"Information";
    case 5:
      return u"Verbose";
    default:
      return std::nullopt;
  }
}

struct StandardKeyword {
  unsigned bit;
  std::u16string_view name;
};
constexpr StandardKeyword kStandardKeywords[] = {{48, u"Response Time"},
                                                 {52, u"Audit Failure"},
                                                 {53, u"Audit Success"},
                                                 {54, u"Correlation Hint"},
                                                 {55, u"Classic"}};

std::vector<std::u16string> SplitList(std::u16string_view list) {
  std::vector<std::u16string> parts;
  std::size_t start = 0;
  while (start <= list.size()) {
    const auto end = std::min(list.find(u';', start), list.size());
    std::u16string part(list.substr(start, end - start));
    while (!part.empty() && part.back() == u' ') part.pop_back();
    while (!part.empty() && part.front() == u' ') part.erase(part.begin());
    if (!part.empty()) parts.push_back(std::move(part));
    start = end + 1;
  }
  return parts;
}

std::u16string FileName(std::u16string_view path) {
  const auto slash = path.find_last_of(u"\\/");
  return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

std::u16string Folder(std::u16string_view path) {
  const auto slash = path.find_last_of(u"\\/");
  return std::u16string(slash == std::u16string_view::npos ? std::u16string_view()
                                                           : path.substr(0, slash));
}

// Names end with the line break the message compiler gives every message.
std::u16string WithoutLineBreak(std::u16string text) {
  while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r')) text.pop_back();
  return text;
}

std::vector<std::u16string> DataTexts(const std::vector<EvtxDataItem>& data) {
  std::vector<std::u16string> values;
  values.reserve(data.size());
  for (const auto& item : data) values.push_back(item.value.text());
  return values;
}

// The keyword names, each ended by a NUL as EvtFormatMessage's list is, the list by one more.
ErrorCode KeywordList(std::vector<std::u16string> names, std::uint64_t keywords,
                      ErrorCode noneError, std::u16string& text) {
  for (const auto& standard : kStandardKeywords) {
    if ((keywords >> standard.bit & 1) == 0) continue;
    if (std::find(names.begin(), names.end(), standard.name) == names.end()) {
      names.emplace_back(standard.name);
    }
  }
  if (names.empty()) return noneError != err::kSuccess ? noneError : err::kEvtMessageIdNotFound;
  for (const auto& name : names) {
    text += name;
    text += u'\0';
  }
  return err::kSuccess;
}

const MessageTable& NoMessages() {
  static const MessageTable kNone;
  return kNone;
}

}  // namespace

struct PublisherMetadata::Loaded {
  ErrorCode error = err::kSuccess;
  std::shared_ptr<const ModuleImage> resources;  // keeps the manifest's bytes
  std::optional<WevtManifest> manifest;
  std::shared_ptr<const ModuleImage> messages;
  std::shared_ptr<const ModuleImage> parameters;
};

PublisherMetadata::PublisherMetadata(Key) {}
PublisherMetadata::~PublisherMetadata() = default;

std::unique_ptr<PublisherMetadata> PublisherMetadata::Open(SimRegistry& registry, SimSystem& system,
                                                           std::u16string_view publisher) {
  if (publisher.empty()) return nullptr;
  auto metadata = std::make_unique<PublisherMetadata>(Key{});
  metadata->system_ = &system;
  const auto expand = [&](const std::optional<std::u16string>& text) {
    return text ? ExpandPath(system, *text) : std::u16string();
  };
  for (const auto& guidName : registry.SubKeyNames(kWinevtPublishersKey)) {
    const std::u16string key = std::u16string(kWinevtPublishersKey) + u"\\" + guidName;
    const auto name = registry.GetString(key, u"");
    const auto guid = WevtGuid::Parse(guidName);
    if (!name || !guid || !NamesEqual(*name, publisher)) continue;
    metadata->manifest_ = true;
    metadata->guid_ = *guid;
    metadata->resourceFile_ = expand(registry.GetString(key, u"ResourceFileName"));
    metadata->messageFile_ = expand(registry.GetString(key, u"MessageFileName"));
    metadata->parameterFile_ = expand(registry.GetString(key, u"ParameterFileName"));
    return metadata;
  }
  for (const auto& log : registry.SubKeyNames(kClassicLogsKey)) {
    const std::u16string logKey = std::u16string(kClassicLogsKey) + u"\\" + log;
    for (const auto& source : registry.SubKeyNames(logKey)) {
      if (!NamesEqual(source, publisher)) continue;
      const std::u16string key = logKey + u"\\" + source;
      const auto files = [&](std::u16string_view value) {
        std::vector<std::u16string> paths;
        for (const auto& part : SplitList(registry.GetString(key, value).value_or(u""))) {
          paths.push_back(ExpandPath(system, part));
        }
        return paths;
      };
      metadata->eventFiles_ = files(u"EventMessageFile");
      metadata->categoryFiles_ = files(u"CategoryMessageFile");
      metadata->parameterFiles_ = files(u"ParameterMessageFile");
      return metadata;
    }
  }
  return nullptr;
}

ErrorCode PublisherMetadata::LoadManifest(SimModules& modules) {
  if (loaded_) return loaded_->error;
  loaded_ = std::make_unique<Loaded>();
  Loaded& l = *loaded_;
  ErrorCode error = err::kSuccess;
  // Since Windows 10 a system module's resources other than texts are in a .mun file of
  // SystemResources, its texts in a language file beside it.
  const std::u16string resourceName = FileName(resourceFile_);
  if (!resourceName.empty()) {
    l.resources = modules.ImageAt(
        ExpandPath(*system_, u"%SystemRoot%\\SystemResources\\" + resourceName + u".mun"), error);
    if (!l.resources || l.resources->eventManifest.empty()) {
      l.resources = modules.ImageAt(resourceFile_, error);
    }
  }
  if (!l.resources) return l.error = err::kMuiFileNotFound;
  l.manifest = ParseWevtManifest(l.resources->eventManifest);
  if (!l.manifest || !l.manifest->FindProvider(guid_)) {
    return l.error = err::kEvtPublisherMetadataNotFound;
  }
  const std::u16string messageFile = messageFile_.empty() ? resourceFile_ : messageFile_;
  l.messages =
      modules.ImageAt(Folder(messageFile) + u"\\en-US\\" + FileName(messageFile) + u".mui", error);
  if (!l.messages || l.messages->messages.empty()) l.messages = modules.ImageAt(messageFile, error);
  if (!l.messages || l.messages->messages.empty()) return l.error = err::kMuiFileNotFound;
  if (!parameterFile_.empty()) l.parameters = modules.ImageAt(parameterFile_, error);
  return err::kSuccess;
}

ErrorCode PublisherMetadata::Format(SimModules& modules, const EvtxSystem& system,
                                    const std::vector<EvtxDataItem>& data, std::uint32_t flags,
                                    std::u16string& text) {
  text.clear();
  return manifest_ ? FormatManifest(modules, system, data, flags, text)
                   : FormatClassic(modules, system, data, flags, text);
}

ErrorCode PublisherMetadata::FormatManifest(SimModules& modules, const EvtxSystem& system,
                                            const std::vector<EvtxDataItem>& data,
                                            std::uint32_t flags, std::u16string& text) {
  const bool standardLevel = flags == evtflags::kFormatLevel && StandardLevel(system.level);
  if (const ErrorCode error = LoadManifest(modules); error != err::kSuccess) {
    if (standardLevel) {
      text = *StandardLevel(system.level);
      return err::kSuccess;
    }
    return error;
  }
  const Loaded& l = *loaded_;
  const std::vector<std::u16string> values = DataTexts(data);
  const WevtEventTexts texts =
      FormatWevtEvent(*l.manifest, WevtEventKey{guid_, system.eventId, system.version}, values,
                      l.messages->messages, l.parameters ? l.parameters->messages : NoMessages());
  const auto give = [&](const WevtText& t) {
    text = t.text;
    return t.error;
  };
  switch (flags) {
    case evtflags::kFormatEvent:
      return give(texts.description);
    case evtflags::kFormatTask:
      return give(texts.task);
    case evtflags::kFormatOpcode:
      return give(texts.opcode);
    case evtflags::kFormatLevel:
      if (texts.level.error != err::kSuccess && standardLevel) {
        text = *StandardLevel(system.level);
        return err::kSuccess;
      }
      return give(texts.level);
    case evtflags::kFormatKeyword:
      return KeywordList(texts.keywords, system.keywords, texts.keywordsError, text);
    default:
      return err::kInvalidParameter;
  }
}

ErrorCode PublisherMetadata::FormatClassic(SimModules& modules, const EvtxSystem& system,
                                           const std::vector<EvtxDataItem>& data,
                                           std::uint32_t flags, std::u16string& text) {
  // The first of the files whose message table holds the id; none loaded: no language file.
  const auto find = [&](const std::vector<std::u16string>& files, std::uint32_t id,
                        std::u16string& message) {
    bool anyLoaded = false;
    for (const auto& file : files) {
      ErrorCode error = err::kSuccess;
      const auto image = modules.ImageAt(file, error);
      if (!image) continue;
      anyLoaded = true;
      if (const auto it = image->messages.find(id); it != image->messages.end()) {
        message = it->second;
        return err::kSuccess;
      }
    }
    return anyLoaded || files.empty() ? err::kEvtMessageNotFound : err::kMuiFileNotFound;
  };
  switch (flags) {
    case evtflags::kFormatEvent: {
      const std::uint32_t id = (std::uint32_t{system.qualifiers} << 16) | system.eventId;
      std::u16string message;
      if (const ErrorCode error = find(eventFiles_, id, message); error != err::kSuccess) {
        return error;
      }
      MessageTable parameters;
      for (const auto& file : parameterFiles_) {
        ErrorCode error = err::kSuccess;
        if (const auto image = modules.ImageAt(file, error)) {
          parameters.insert(image->messages.begin(), image->messages.end());
        }
      }
      const WevtText result = FormatWevtDescription(message, DataTexts(data), parameters);
      text = result.text;
      return result.error;
    }
    case evtflags::kFormatTask: {
      std::u16string message;
      if (const ErrorCode error = find(categoryFiles_, system.task, message);
          error != err::kSuccess) {
        return error;
      }
      text = WithoutLineBreak(message);
      return err::kSuccess;
    }
    case evtflags::kFormatLevel:
      if (const auto name = StandardLevel(system.level)) {
        text = *name;
        return err::kSuccess;
      }
      return err::kEvtMessageIdNotFound;
    case evtflags::kFormatKeyword:
      return KeywordList({}, system.keywords, err::kSuccess, text);
    default:
      return err::kInvalidParameter;
  }
}

}  // namespace qb::sim
