#include "platform/rtl/Exception.h"

#include "platform/rtl/Utf.h"

namespace qm::platform {

Exception::Exception(std::u16string message, int helpContext)
    : message_(std::move(message)), helpContext_(helpContext) {
  try {
    utf8_ = Utf16ToUtf8(message_);
  } catch (...) {
    // Only an absurdly long message can fail here; what() then says so
    // rather than losing the exception being built.
    utf8_ = "(message not convertible)";
  }
}

Exception::~Exception() = default;

}  // namespace qm::platform
