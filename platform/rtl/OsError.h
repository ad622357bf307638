// The one place where operating-system error numbers (errno) become our
// exceptions.
#pragma once

#include <cerrno>
#include <string_view>

#include "platform/rtl/Exception.h"

namespace qm::platform {

// A failed system call; ErrorCode() is the errno value.
class EOSError : public Exception {
public:
  EOSError(std::u16string message, int errorCode)
      : Exception(std::move(message)), errorCode_(errorCode) {}
  int ErrorCode() const noexcept { return errorCode_; }

private:
  int errorCode_;
};

// Raises EOSError "<what>: <system text>" for the error number.
[[noreturn]] void RaiseOSError(std::string_view what, int errorCode = errno);

}  // namespace qm::platform
