#include "core/Common/TextUtils.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/ustring.h>

#include <limits>
#include <memory>

#include "platform/rtl/Exception.h"
#include "platform/rtl/IcuError.h"
#include "platform/rtl/Utf.h"

namespace qm {
namespace {

bool IsAsciiLower(std::u16string_view text) {
  for (char16_t c : text) {
    if (c >= 0x80 || (c >= u'A' && c <= u'Z')) return false;
  }
  return true;
}

icu::Collator& UserCollator() {
  // Collators are costly to build and not meant to be shared across threads
  // while in use: each thread keeps its own.
  thread_local std::unique_ptr<icu::Collator> collator = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> c(icu::Collator::createInstance(icu::Locale::getDefault(), status));
    platform::CheckIcu(status, "Creating the collator");
    c->setStrength(icu::Collator::TERTIARY);
    return c;
  }();
  return *collator;
}

}  // namespace

std::u16string LowerCase(std::u16string_view text) {
  // ASCII, the common case, needs no tables and no ICU call; ICU's root
  // rules map it the same way.
  std::u16string out(text);
  bool ascii = true;
  for (char16_t& c : out) {
    if (c >= 0x80) {
      ascii = false;
      break;
    }
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  }
  if (ascii) return out;
  if (text.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max() / 2)) {
    throw platform::Exception(u"Text too long to lower-case");
  }
  out.assign(text.size() + 8, u'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = u_strToLower(out.data(), static_cast<int32_t>(out.size()), text.data(),
                                        static_cast<int32_t>(text.size()), "", &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      out.assign(static_cast<size_t>(length), u'\0');
      continue;
    }
    platform::CheckIcu(status, "Lower-casing");
    out.resize(static_cast<size_t>(length));
    return out;
  }
  throw platform::Exception(u"Lower-casing: buffer size mismatch");
}

std::u16string AsciiLowerCase(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  }
  return out;
}

int CompareTextIgnoreCase(std::u16string_view a, std::u16string_view b) {
  if (IsAsciiLower(a) && IsAsciiLower(b)) return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
  const std::u16string la = LowerCase(a);
  const std::u16string lb = LowerCase(b);
  const int r = la.compare(lb);
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

bool SameTextIgnoreCase(std::u16string_view a, std::u16string_view b) {
  return CompareTextIgnoreCase(a, b) == 0;
}

bool LocaleEqual(std::u16string_view a, std::u16string_view b) {
  if (a == b) return true;
  UErrorCode status = U_ZERO_ERROR;
  const UCollationResult r =
      UserCollator().compare(a.data(), static_cast<int32_t>(a.size()), b.data(),
                             static_cast<int32_t>(b.size()), status);
  platform::CheckIcu(status, "Comparing texts");
  return r == UCOL_EQUAL;
}

std::string LocaleEqualKey(std::u16string_view text) {
  if (text.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    throw platform::Exception(u"Text too long to compare");
  }
  const auto length = static_cast<int32_t>(text.size());
  std::string key(64, '\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const int32_t needed = UserCollator().getSortKey(
        text.data(), length, reinterpret_cast<uint8_t*>(key.data()), static_cast<int32_t>(key.size()));
    if (needed == 0) throw platform::Exception(u"Comparing texts: no collation key");
    if (needed <= static_cast<int32_t>(key.size())) {
      key.resize(static_cast<size_t>(needed));
      return key;
    }
    key.assign(static_cast<size_t>(needed), '\0');
  }
  throw platform::Exception(u"Comparing texts: collation key size mismatch");
}

std::u16string TrimLeft(std::u16string_view text) {
  size_t first = 0;
  while (first < text.size() && text[first] <= u' ') ++first;
  return std::u16string(text.substr(first));
}

std::u16string TrimRight(std::u16string_view text) {
  size_t end = text.size();
  while (end > 0 && text[end - 1] <= u' ') --end;
  return std::u16string(text.substr(0, end));
}

std::u16string Trim(std::u16string_view text) {
  size_t first = 0;
  while (first < text.size() && text[first] <= u' ') ++first;
  size_t end = text.size();
  while (end > first && text[end - 1] <= u' ') --end;
  return std::u16string(text.substr(first, end - first));
}

std::u16string IntToText(long long value) { return platform::Utf8ToUtf16(std::to_string(value)); }

bool TryTextToInt(std::u16string_view text, int32_t& value) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
    negative = text[i] == u'-';
    ++i;
  }
  if (i == text.size()) return false;
  long long v = 0;
  for (; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c < u'0' || c > u'9') return false;
    v = v * 10 + (c - u'0');
    if (v > static_cast<long long>(std::numeric_limits<int32_t>::max()) + 1) return false;
  }
  if (negative) v = -v;
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) {
    return false;
  }
  value = static_cast<int32_t>(v);
  return true;
}

int32_t TextToInt(std::u16string_view text) {
  int32_t value = 0;
  if (!TryTextToInt(text, value)) {
    throw platform::Exception(u"'" + std::u16string(text) + u"' is not a valid integer value");
  }
  return value;
}

}  // namespace qm
