#include "platform/rtl/IcuError.h"

#include <string>

#include "platform/rtl/Exception.h"
#include "platform/rtl/Utf.h"

namespace qm::platform {

void CheckIcu(UErrorCode status, const char* what) {
  if (U_SUCCESS(status)) return;
  throw Exception(Utf8ToUtf16(std::string(what) + ": " + u_errorName(status)));
}

}  // namespace qm::platform
