// The navigation recorder's loader: any byte array loads or stops cleanly,
// and what loaded saves back to a stream that loads to the same steps.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "addon/BHO/NavRecorder.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qm::TNavigationRecorder recorder;
  recorder.LoadFromVariant(
      qm::platform::Variant::FromBytes(std::vector<uint8_t>(data, data + size)));
  for (const qm::TRecordStep& step : recorder.Steps())
    Check(!step.Url.empty());
  const qm::platform::Variant saved = recorder.SaveToVariant();
  Check(saved.IsNull() == recorder.Steps().Empty());
  qm::TNavigationRecorder reloaded;
  reloaded.LoadFromVariant(saved);
  Check(reloaded.Steps() == recorder.Steps());
  recorder.StartPlaying();
  if (!recorder.Steps().Empty()) {
    const std::u16string first = recorder.FirstUrl();
    Check(recorder.PlayStep(first).Tag == recorder.Steps()[0].Tag);
  }
  return 0;
}
