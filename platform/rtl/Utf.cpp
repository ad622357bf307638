#include "platform/rtl/Utf.h"

#include <unicode/ustring.h>
#include <unicode/utf8.h>

#include <limits>

#include "platform/rtl/Exception.h"
#include "platform/rtl/IcuError.h"

namespace qm::platform {
namespace {

void CheckLength(size_t size) {
  if (size > static_cast<size_t>(std::numeric_limits<int32_t>::max() / 3)) {
    throw Exception(u"Text too long to convert");
  }
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
  if (text.empty()) return {};
  CheckLength(text.size());
  // UTF-8 never needs more UTF-16 code units than it has bytes.
  std::u16string out(text.size(), u'\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                       static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
  CheckIcu(status, "UTF-8 to UTF-16");
  out.resize(static_cast<size_t>(length));
  return out;
}

std::u16string Utf8ToUtf16Strict(std::string_view text) {
  // Walk once to find the first malformed sequence, so that the message can
  // name its offset; then convert.
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const auto size = static_cast<int64_t>(text.size());
  for (int64_t i = 0; i < size;) {
    const int64_t start = i;
    UChar32 c = 0;
    if (size - i > std::numeric_limits<int32_t>::max()) throw Exception(u"Text too long to convert");
    int32_t offset = 0;
    U8_NEXT(bytes + start, offset, static_cast<int32_t>(size - start), c);
    if (c < 0) throw Exception(u"Invalid UTF-8 at byte " + Utf8ToUtf16(std::to_string(start)));
    i = start + offset;
  }
  return Utf8ToUtf16(text);
}

std::string Utf16ToUtf8(std::u16string_view text) {
  if (text.empty()) return {};
  CheckLength(text.size());
  std::string out(text.size() * 3, '\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                     static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
  CheckIcu(status, "UTF-16 to UTF-8");
  out.resize(static_cast<size_t>(length));
  return out;
}

}  // namespace qm::platform
