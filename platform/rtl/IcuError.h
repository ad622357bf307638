// The one place where ICU status codes become our exceptions.
#pragma once

#include <unicode/utypes.h>

namespace qm::platform {

// Raises Exception "<what>: <ICU error name>" when status is a failure;
// warnings pass.
void CheckIcu(UErrorCode status, const char* what);

}  // namespace qm::platform
