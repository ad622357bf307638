#include "platform/net/AddressJoin.h"

#include <uriparser/Uri.h>

#include <vector>

#include "platform/rtl/Exception.h"
#include "platform/rtl/Utf.h"

namespace qm::platform {
namespace {

// A parsed address that frees itself.
struct ParsedUri {
  UriUriA Uri{};
  bool Owned = false;
  ParsedUri() = default;
  ParsedUri(const ParsedUri&) = delete;
  ParsedUri& operator=(const ParsedUri&) = delete;
  ~ParsedUri() {
    if (Owned) uriFreeUriMembersA(&Uri);
  }
};

void Parse(ParsedUri& out, const std::string& text, std::u16string_view what) {
  const char* errorPos = nullptr;
  const int status =
      uriParseSingleUriExA(&out.Uri, text.data(), text.data() + text.size(), &errorPos);
  out.Owned = status == URI_SUCCESS;
  CheckUriStatus(status, what);
}

bool IsHex(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsAlpha(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Characters an address holds as they are ("%" is judged on its own).
bool IsAddressChar(unsigned char c) {
  if (IsAlpha(c) || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '-':
    case '.':
    case '_':
    case '~':
    case ':':
    case '/':
    case '?':
    case '#':
    case '@':
    case '!':
    case '$':
    case '&':
    case '\'':
    case '(':
    case ')':
    case '*':
    case '+':
    case ',':
    case ';':
    case '=':
      return true;
    default:
      return false;
  }
}

// Where the authority of an address ends ("scheme://host" or "//host"
// at the start), or 0 when it has none.
size_t AuthorityEnd(const std::string& s) {
  size_t start = std::string::npos;
  if (s.compare(0, 2, "//") == 0) {
    start = 2;
  } else if (!s.empty() && IsAlpha(static_cast<unsigned char>(s[0]))) {
    size_t i = 1;
    while (i < s.size() &&
           (IsAlpha(static_cast<unsigned char>(s[i])) || (s[i] >= '0' && s[i] <= '9') ||
            s[i] == '+' || s[i] == '-' || s[i] == '.')) {
      ++i;
    }
    if (s.compare(i, 3, "://") == 0) start = i + 3;
  }
  if (start == std::string::npos) return 0;
  const size_t end = s.find_first_of("/?#", start);
  return end == std::string::npos ? s.size() : end;
}

std::string EncodeUtf8Address(std::u16string_view address) {
  size_t first = 0;
  size_t last = address.size();
  while (first < last && address[first] <= u' ')
    ++first;
  while (last > first && address[last - 1] <= u' ')
    --last;
  std::u16string kept;
  kept.reserve(last - first);
  for (size_t i = first; i < last; ++i) {
    const char16_t c = address[i];
    if (c != u'\t' && c != u'\n' && c != u'\r') kept.push_back(c);
  }
  const std::string bytes = Utf16ToUtf8(kept);
  const size_t authorityEnd = AuthorityEnd(bytes);
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 4);
  bool inFragment = false;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    bool keep = IsAddressChar(c);
    if (c == '%') {
      keep = i + 2 < bytes.size() && IsHex(static_cast<unsigned char>(bytes[i + 1])) &&
             IsHex(static_cast<unsigned char>(bytes[i + 2]));
    } else if (c == '[' || c == ']') {
      keep = i < authorityEnd;
    } else if (c == '#') {
      keep = !inFragment;
      inFragment = true;
    }
    if (keep) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(hex[c >> 4]);
      out.push_back(hex[c & 15]);
    }
  }
  return out;
}

std::string ToText(const UriUriA& uri, std::u16string_view what) {
  int chars = 0;
  CheckUriStatus(uriToStringCharsRequiredA(&uri, &chars), what);
  std::vector<char> buffer(static_cast<size_t>(chars) + 1, '\0');
  int written = 0;
  CheckUriStatus(uriToStringA(buffer.data(), &uri, chars + 1, &written), what);
  return std::string(buffer.data());
}

// "http://a" and "http://a?q" get the root path a browser gives them.
void AddRootPath(std::string& s, const UriUriA& uri) {
  if (uri.hostText.first == nullptr || uri.pathHead != nullptr) return;
  const size_t scheme = s.find("://");
  if (scheme == std::string::npos) return;
  const size_t end = s.find_first_of("/?#", scheme + 3);
  if (end == std::string::npos) {
    s.push_back('/');
  } else if (s[end] != '/') {
    s.insert(end, 1, '/');
  }
}

}  // namespace

void CheckUriStatus(int status, std::u16string_view what) {
  if (status == URI_SUCCESS) return;
  std::u16string reason;
  switch (status) {
    case URI_ERROR_SYNTAX:
      reason = u"not a well-formed address";
      break;
    case URI_ERROR_ADDBASE_REL_BASE:
      reason = u"the base address is not absolute";
      break;
    case URI_ERROR_MALLOC:
      reason = u"out of memory";
      break;
    case URI_ERROR_OUTPUT_TOO_LARGE:
      reason = u"the address is too long";
      break;
    default:
      reason = W("address error " + std::to_string(status));
      break;
  }
  throw Exception(std::u16string(what) + u": " + reason);
}

std::u16string EncodeAddressText(std::u16string_view address) {
  return Utf8ToUtf16(EncodeUtf8Address(address));
}

std::u16string CombineAddress(std::u16string_view base, std::u16string_view relative) {
  const std::u16string what =
      u"Joining '" + std::u16string(relative) + u"' to '" + std::u16string(base) + u"'";
  const std::string baseText = EncodeUtf8Address(base);
  const std::string relativeText = EncodeUtf8Address(relative);
  ParsedUri baseUri;
  ParsedUri relativeUri;
  Parse(baseUri, baseText, what);
  Parse(relativeUri, relativeText, what);
  ParsedUri joined;
  const int status =
      uriAddBaseUriExA(&joined.Uri, &relativeUri.Uri, &baseUri.Uri, URI_RESOLVE_STRICTLY);
  joined.Owned = status == URI_SUCCESS;
  CheckUriStatus(status, what);
  CheckUriStatus(uriNormalizeSyntaxExA(&joined.Uri, URI_NORMALIZE_SCHEME | URI_NORMALIZE_HOST),
                 what);
  std::string text = ToText(joined.Uri, what);
  AddRootPath(text, joined.Uri);
  return Utf8ToUtf16(text);
}

std::string FilePathFromAddress(std::u16string_view address) {
  const std::u16string what = u"Reading the file address '" + std::u16string(address) + u"'";
  std::string text = EncodeUtf8Address(address);
  const size_t cut = text.find_first_of("?#");
  if (cut != std::string::npos) text.resize(cut);
  if (text.compare(0, 7, "file://") != 0) CheckUriStatus(URI_ERROR_SYNTAX, what);
  std::vector<char> path(text.size() + 1, '\0');
  CheckUriStatus(uriUriStringToUnixFilenameA(text.c_str(), path.data()), what);
  return std::string(path.data());
}

std::u16string AddressFromFilePath(std::string_view path) {
  const std::u16string what = u"Making an address of the file '" + W(path) + u"'";
  if (path.empty() || path[0] != '/') CheckUriStatus(URI_ERROR_SYNTAX, what);
  const std::string text(path);
  std::vector<char> address(text.size() * 3 + 8, '\0');
  CheckUriStatus(uriUnixFilenameToUriStringA(text.c_str(), address.data()), what);
  return Utf8ToUtf16(address.data());
}

}  // namespace qm::platform
