#include "engines/memdom/ResourceLoader.h"

#include <fstream>
#include <sstream>

#include "engines/memdom/MemNode.h"
#include "platform/net/AddressJoin.h"
#include "platform/rtl/Exception.h"

namespace qm::memdom {

void MapResourceLoader::Add(const std::u16string& url, std::string bytes,
                            std::u16string contentType) {
  resources_[url] = Resource{std::move(bytes), std::move(contentType), {}};
}

std::optional<Resource> MapResourceLoader::Load(const NavigationRequest& request) {
  Requests.push_back(request);
  std::u16string url = request.Url;
  for (int step = 0; step < 3; ++step) {
    const auto it = resources_.find(url);
    if (it != resources_.end()) return it->second;
    const size_t cut = url.find(step == 0 ? u'#' : u'?');
    if (cut != std::u16string::npos) url.resize(cut);
  }
  return std::nullopt;
}

namespace {

std::u16string ContentTypeOfPath(const std::string& path) {
  const size_t dot = path.rfind('.');
  const size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    return u"application/octet-stream";
  }
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  if (ext == "html" || ext == "htm" || ext == "xhtml") return u"text/html";
  if (ext == "txt") return u"text/plain";
  if (ext == "png") return u"image/png";
  if (ext == "gif") return u"image/gif";
  if (ext == "jpg" || ext == "jpeg") return u"image/jpeg";
  if (ext == "css") return u"text/css";
  if (ext == "js") return u"text/javascript";
  return u"application/octet-stream";
}

}  // namespace

std::optional<Resource> FileResourceLoader::Load(const NavigationRequest& request) {
  if (!EqualsIgnoringAsciiCase(std::u16string_view(request.Url).substr(0, 5), u"file:")) {
    return std::nullopt;
  }
  const std::string path = platform::FilePathFromAddress(request.Url);
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream content;
  content << file.rdbuf();
  if (file.bad()) return std::nullopt;
  return Resource{content.str(), ContentTypeOfPath(path), {}};
}

std::u16string MediaTypeOf(std::u16string_view contentType) {
  const size_t semicolon = contentType.find(u';');
  std::u16string_view type = contentType.substr(0, semicolon);
  while (!type.empty() && IsHtmlSpace(type.front()))
    type.remove_prefix(1);
  while (!type.empty() && IsHtmlSpace(type.back()))
    type.remove_suffix(1);
  return AsciiLower(type);
}

std::u16string CharsetOfContentType(std::u16string_view contentType) {
  const std::u16string lower = AsciiLower(contentType);
  const size_t at = lower.find(u"charset=");
  if (at == std::u16string::npos) return {};
  size_t begin = at + 8;
  if (begin < lower.size() && (lower[begin] == u'"' || lower[begin] == u'\'')) ++begin;
  size_t end = begin;
  while (end < lower.size() && lower[end] != u';' && lower[end] != u'"' && lower[end] != u'\'' &&
         !IsHtmlSpace(lower[end])) {
    ++end;
  }
  return lower.substr(begin, end - begin);
}

}  // namespace qm::memdom
