#include "core/Common/VxSystem.h"

#include <new>

#include "platform/rtl/Utf.h"

namespace qm {
namespace {

std::u16string Annotated(const std::u16string& message, int code) {
  return message + ReportSeparator + platform::Utf8ToUtf16(std::to_string(code));
}

}  // namespace

ERecorderException::ERecorderException(uint8_t modeFlags)
    : Exception(BuildMessage(modeFlags)) {}

std::u16string ERecorderException::BuildMessage(uint8_t modeFlags) {
  std::u16string words;
  auto add = [&](uint8_t flag, const char16_t* word) {
    if ((modeFlags & flag) == 0) return;
    if (!words.empty()) words += u" or ";
    words += word;
  };
  add(Stop, u"\"Stop\"");
  add(Play, u"\"Play\"");
  add(Record, u"\"Record\"");
  return u"Need " + words + u" mode for operation!";
}

void ReportException(const Exception& e, int code) {
  if (dynamic_cast<const EVxException*>(&e) != nullptr) return;
  if (const auto* ole = dynamic_cast<const EOleException*>(&e)) {
    throw EOleException(Annotated(ole->Message(), code), ole->ErrorCode(), ole->Source(),
                        ole->HelpFile(), ole->HelpContext());
  }
  if (const auto* ark = dynamic_cast<const ArkException*>(&e)) {
    throw ArkException(Annotated(ark->Message(), code), ark->Value(), ark->HelpContext());
  }
  throw Exception(Annotated(e.Message(), code), e.HelpContext());
}

Exception FromStdException(const std::exception& e) {
  if (const auto* own = dynamic_cast<const Exception*>(&e)) return *own;
  if (dynamic_cast<const std::bad_alloc*>(&e) != nullptr) return Exception(u"Out of memory");
  return Exception(platform::Utf8ToUtf16(e.what()));
}

HRESULT StatusOfException(const std::exception& e) noexcept {
  if (const auto* ole = dynamic_cast<const EOleSysError*>(&e)) {
    if (platform::Failed(ole->ErrorCode())) return ole->ErrorCode();
  }
  if (dynamic_cast<const std::bad_alloc*>(&e) != nullptr) return platform::E_OUTOFMEMORY;
  return platform::E_UNEXPECTED;
}

}  // namespace qm
