#include "platform/rtl/OsError.h"

#include <cstring>
#include <string>

#include "platform/rtl/Utf.h"

namespace qm::platform {

void RaiseOSError(std::string_view what, int errorCode) {
  // strerror_r comes in two flavours; the GNU one may return a static text
  // instead of filling the buffer, so take whatever pointer it answers.
  char buffer[256] = {};
  const char* text = strerror_r(errorCode, buffer, sizeof buffer);
  throw EOSError(Utf8ToUtf16(std::string(what) + ": " + text), errorCode);
}

}  // namespace qm::platform
