// The library's own module: the named resources compiled into it (the
// toolbar's button icons, "Z100" to "Z125"), found with
// platform::LoadIconA(LibraryModule(), name).
#pragma once

#include "platform/winsys/Resources.h"

namespace qm {

const platform::TModule& LibraryModule();

}  // namespace qm
