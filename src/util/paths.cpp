#include "util/paths.h"

namespace qb::util {
namespace {

std::size_t NameStart(std::u16string_view path) {
  const auto sep = path.find_last_of(u"\\:");
  return sep == std::u16string_view::npos ? 0 : sep + 1;
}

}  // namespace

std::u16string ExtractFilePath(std::u16string_view path) {
  return std::u16string(path.substr(0, NameStart(path)));
}

std::u16string ExtractFileName(std::u16string_view path) {
  return std::u16string(path.substr(NameStart(path)));
}

std::u16string ChangeFileExt(std::u16string_view path, std::u16string_view ext) {
  const std::size_t start = NameStart(path);
  const auto dot = path.find_last_of(u'.');
  const std::size_t end = dot != std::u16string_view::npos && dot >= start ? dot : path.size();
  return std::u16string(path.substr(0, end)) + std::u16string(ext);
}

}  // namespace qb::util
