// The JSON form set reader on arbitrary text: it either raises the common
// exception or gives a set that writes to JSON and reads back unchanged.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/Common/TransitJson.h"
#include "platform/rtl/Exception.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qm::TTransitFormSet set;
  try {
    set = qm::TransitSetFromJsonText(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const qm::platform::Exception&) {
    return 0;
  }
  // Parsed JSON holds only well-formed UTF-8, so writing cannot fail.
  if (!(qm::TransitSetFromJsonText(qm::TransitSetToJsonText(set)) == set)) std::abort();
  return 0;
}
