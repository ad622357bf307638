#include "core/Common/OwnedCollection.h"

#include "core/Common/TextUtils.h"
#include "platform/rtl/Exception.h"

namespace qm {

void RaiseListIndexError(int index) {
  throw platform::Exception(u"List index out of bounds (" + IntToText(index) + u")");
}

}  // namespace qm
