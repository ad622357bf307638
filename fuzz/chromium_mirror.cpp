// The Chromium engine's reader of the page script's mirror: any text gives
// a mirror or EChromiumError, never a crash or another failure.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engines/chromium/ChromiumDocument.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    const qm::chromium::MirrorData mirror =
        qm::chromium::ParseMirror(std::string(reinterpret_cast<const char*>(data), size));
    (void)mirror;
  } catch (const qm::chromium::EChromiumError&) {
  }
  return 0;
}
