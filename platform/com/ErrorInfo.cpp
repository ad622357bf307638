#include "platform/com/ErrorInfo.h"

namespace qm::platform {
namespace {
thread_local std::optional<ErrorInfo> current;
}

void SetErrorInfo(ErrorInfo info) { current = std::move(info); }
void ClearErrorInfo() { current.reset(); }

std::optional<ErrorInfo> TakeErrorInfo() {
  std::optional<ErrorInfo> taken = std::move(current);
  current.reset();
  return taken;
}

}  // namespace qm::platform
