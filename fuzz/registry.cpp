// The registry file reader on arbitrary bytes: it either refuses them with
// a message that names a line, or reads a tree that the writer puts back
// into a file reading to the same tree, byte for byte stable.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/registry/RegistryText.h"
#include "platform/rtl/Utf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  qm::platform::TRegistryTree tree;
  try {
    tree = qm::platform::ParseRegistryText(text, u"fuzz");
  } catch (const qm::platform::ERegistryException& e) {
    if (qm::platform::U8(e.Message()).rfind("fuzz, line ", 0) != 0) std::abort();
    return 0;
  }
  const std::string written = qm::platform::FormatRegistryText(tree);
  const auto back = qm::platform::ParseRegistryText(written, u"again");
  if (!(back == tree) || qm::platform::FormatRegistryText(back) != written) std::abort();
  return 0;
}
