#include "platform/rtl/CodePage.h"

#include <unicode/ucnv.h>

#include <limits>
#include <memory>

#include "platform/rtl/Exception.h"
#include "platform/rtl/IcuError.h"

namespace qm::platform {
namespace {

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};

UConverter* Converter() {
  thread_local std::unique_ptr<UConverter, ConverterCloser> converter = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UConverter, ConverterCloser> c(ucnv_open("windows-1252", &status));
    CheckIcu(status, "Opening the windows-1252 converter");
    status = U_ZERO_ERROR;
    ucnv_setSubstChars(c.get(), "?", 1, &status);
    CheckIcu(status, "Setting the windows-1252 substitution character");
    return c;
  }();
  return converter.get();
}

void CheckSize(size_t size) {
  if (size > static_cast<size_t>(std::numeric_limits<int32_t>::max() / 4)) {
    throw Exception(u"Text too long to convert");
  }
}

}  // namespace

std::u16string AnsiToWide(std::string_view bytes) {
  if (bytes.empty()) return {};
  CheckSize(bytes.size());
  UConverter* conv = Converter();
  ucnv_reset(conv);
  // A single-byte code page gives at most one UTF-16 unit per byte.
  std::u16string out(bytes.size(), u'\0');
  UErrorCode status = U_ZERO_ERROR;
  const int32_t length = ucnv_toUChars(conv, out.data(), static_cast<int32_t>(out.size()),
                                       bytes.data(), static_cast<int32_t>(bytes.size()), &status);
  CheckIcu(status, "windows-1252 to UTF-16");
  out.resize(static_cast<size_t>(length));
  return out;
}

std::string WideToAnsi(std::u16string_view text) {
  if (text.empty()) return {};
  CheckSize(text.size());
  UConverter* conv = Converter();
  ucnv_reset(conv);
  std::string out(text.size() * 2, '\0');
  UErrorCode status = U_ZERO_ERROR;
  const int32_t length = ucnv_fromUChars(conv, out.data(), static_cast<int32_t>(out.size()),
                                         text.data(), static_cast<int32_t>(text.size()), &status);
  CheckIcu(status, "UTF-16 to windows-1252");
  out.resize(static_cast<size_t>(length));
  return out;
}

}  // namespace qm::platform
