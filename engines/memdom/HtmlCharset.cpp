#include "engines/memdom/HtmlCharset.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <limits>
#include <memory>

#include "platform/rtl/Exception.h"
#include "platform/rtl/IcuError.h"
#include "platform/rtl/Utf.h"

namespace qm::memdom {
namespace {

using platform::CheckIcu;
using platform::Exception;

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

std::string Trimmed(std::string_view text) {
  size_t first = 0;
  size_t last = text.size();
  auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; };
  while (first < last && space(text[first]))
    ++first;
  while (last > first && space(text[last - 1]))
    --last;
  return std::string(text.substr(first, last - first));
}

Converter Open(std::u16string_view charset) {
  UErrorCode status = U_ZERO_ERROR;
  Converter c(ucnv_open(platform::U8(charset).c_str(), &status));
  CheckIcu(status, "Opening a character set converter");
  return c;
}

void CheckLength(size_t size) {
  if (size > static_cast<size_t>(std::numeric_limits<int32_t>::max() / 4)) {
    throw Exception(u"Page too large to convert");
  }
}

// The value of the first charset=... inside the meta tags of the first
// 1024 bytes (meta charset="x" and content="text/html; charset=x" alike).
std::string MetaCharset(std::string_view bytes) {
  const std::string head = Lower(bytes.substr(0, 1024));
  size_t pos = 0;
  while (true) {
    const size_t comment = head.find("<!--", pos);
    const size_t meta = head.find("<meta", pos);
    if (meta == std::string::npos) return {};
    if (comment != std::string::npos && comment < meta) {
      const size_t end = head.find("-->", comment + 4);
      if (end == std::string::npos) return {};
      pos = end + 3;
      continue;
    }
    const size_t close = head.find('>', meta);
    const std::string tag =
        head.substr(meta, close == std::string::npos ? std::string::npos : close - meta);
    pos = meta + 5;
    size_t at = tag.find("charset");
    while (at != std::string::npos) {
      size_t i = at + 7;
      while (i < tag.size() && (tag[i] == ' ' || tag[i] == '\t' || tag[i] == '\n'))
        ++i;
      if (i < tag.size() && tag[i] == '=') {
        ++i;
        while (i < tag.size() && (tag[i] == ' ' || tag[i] == '\t' || tag[i] == '\n'))
          ++i;
        if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) ++i;
        size_t end = i;
        while (end < tag.size() && tag[end] != '"' && tag[end] != '\'' && tag[end] != ';' &&
               tag[end] != ' ' && tag[end] != '/' && tag[end] != '>') {
          ++end;
        }
        if (end > i) return tag.substr(i, end - i);
      }
      at = tag.find("charset", at + 7);
    }
  }
}

}  // namespace

std::u16string CanonicalCharset(std::u16string_view label) {
  const std::string name = Lower(Trimmed(platform::U8(label)));
  if (name.empty()) return {};
  if (name == "utf-8" || name == "utf8" || name == "unicode-1-1-utf-8") return u"utf-8";
  if (name == "windows-1252" || name == "cp1252" || name == "x-cp1252" || name == "iso-8859-1" ||
      name == "iso8859-1" || name == "iso_8859-1" || name == "latin1" || name == "l1" ||
      name == "us-ascii" || name == "ascii" || name == "ansi_x3.4-1968" || name == "cp819") {
    return u"windows-1252";
  }
  if (name == "utf-16le" || name == "utf-16") return u"utf-16le";
  if (name == "utf-16be") return u"utf-16be";
  UErrorCode status = U_ZERO_ERROR;
  Converter c(ucnv_open(name.c_str(), &status));
  if (U_FAILURE(status)) return {};
  return platform::W(name);
}

std::u16string DetermineCharset(std::string_view bytes, std::u16string_view hostCharset) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return u"utf-8";
  if (bytes.substr(0, 2) == "\xFF\xFE") return u"utf-16le";
  if (bytes.substr(0, 2) == "\xFE\xFF") return u"utf-16be";
  std::u16string charset = CanonicalCharset(hostCharset);
  if (!charset.empty()) return charset;
  charset = CanonicalCharset(platform::W(MetaCharset(bytes)));
  // A page can't announce UTF-16 in its own ASCII bytes.
  if (charset.empty() || charset.starts_with(u"utf-16")) return u"utf-8";
  return charset;
}

std::string DecodeToUtf8(std::string_view bytes, std::u16string_view charset) {
  if (charset == u"utf-8" || charset.empty()) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    return std::string(bytes);
  }
  if (charset.starts_with(u"utf-16") &&
      (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF")) {
    bytes.remove_prefix(2);
  }
  if (bytes.empty()) return {};
  CheckLength(bytes.size());
  Converter c = Open(charset);
  // Any byte gives at most two UTF-16 units.
  std::u16string wide(bytes.size() * 2 + 2, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  const int32_t length = ucnv_toUChars(c.get(), wide.data(), static_cast<int32_t>(wide.size()),
                                       bytes.data(), static_cast<int32_t>(bytes.size()), &status);
  CheckIcu(status, "Decoding a page");
  wide.resize(static_cast<size_t>(length));
  return platform::U8(wide);
}

std::string EncodeInCharset(std::u16string_view text, std::u16string_view charset) {
  if (charset == u"utf-8" || charset.empty() || charset.starts_with(u"utf-16")) {
    // Browsers send UTF-8 for pages in UTF-16.
    return platform::U8(text);
  }
  if (text.empty()) return {};
  CheckLength(text.size() * 3);
  Converter c = Open(charset);
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setFromUCallBack(c.get(), UCNV_FROM_U_CALLBACK_ESCAPE, UCNV_ESCAPE_XML_DEC, nullptr, nullptr,
                        &status);
  CheckIcu(status, "Preparing the form encoder");
  // "&#1114111;" is the longest a character can become.
  std::string out(text.size() * 10 + 16, '\0');
  status = U_ZERO_ERROR;
  const int32_t length = ucnv_fromUChars(c.get(), out.data(), static_cast<int32_t>(out.size()),
                                         text.data(), static_cast<int32_t>(text.size()), &status);
  CheckIcu(status, "Encoding form data");
  out.resize(static_cast<size_t>(length));
  return out;
}

}  // namespace qm::memdom
