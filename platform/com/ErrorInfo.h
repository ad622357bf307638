// Error information that a COM method leaves for its caller beside a failure
// status: a description (and the source that set it).
//
// It is kept per thread, as the platform does: a method sets it just before
// returning a failure, and the caller takes it right after the call.
#pragma once

#include <optional>
#include <string>

namespace qm::platform {

struct ErrorInfo {
  std::u16string Description;
  std::u16string Source;
};

void SetErrorInfo(ErrorInfo info);
void ClearErrorInfo();
// Takes the calling thread's error information (and clears it).
std::optional<ErrorInfo> TakeErrorInfo();

}  // namespace qm::platform
