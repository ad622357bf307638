// Exceptions of failed COM and automation calls.
//
// EOleSysError carries the failure status of a call; EOleException adds the
// source and help file that the callee's error information gave. Both derive
// from the common base, so the program's handlers treat them like any other
// failure; annotation keeps an EOleException's fields (see VxSystem).
#pragma once

#include <string>

#include "platform/com/HResult.h"
#include "platform/rtl/Exception.h"

namespace qm::platform {

class EOleSysError : public Exception {
public:
  EOleSysError(std::u16string message, HRESULT errorCode, int helpContext = 0)
      : Exception(std::move(message), helpContext), errorCode_(errorCode) {}
  HRESULT ErrorCode() const noexcept { return errorCode_; }

private:
  HRESULT errorCode_;
};

class EOleException : public EOleSysError {
public:
  EOleException(std::u16string message, HRESULT errorCode, std::u16string source,
                std::u16string helpFile, int helpContext)
      : EOleSysError(std::move(message), errorCode, helpContext),
        source_(std::move(source)),
        helpFile_(std::move(helpFile)) {}
  const std::u16string& Source() const noexcept { return source_; }
  const std::u16string& HelpFile() const noexcept { return helpFile_; }

private:
  std::u16string source_;
  std::u16string helpFile_;
};

// The text the platform gives for a status ("Unspecified error", ...), or
// "OLE error XXXXXXXX" for statuses it has no text for.
std::u16string StatusText(HRESULT hr);

// Raises for a failure status: an EOleException with the callee's error
// information when it left some, else an EOleSysError with StatusText.
// Success statuses pass.
void OleCheck(HRESULT hr);

}  // namespace qm::platform
