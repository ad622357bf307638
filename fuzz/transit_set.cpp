// The transit form set reader on arbitrary bytes: it must end cleanly with
// a failure offset inside the data, and a set it reads whole must write
// back to the bytes it consumed and survive a JSON round trip unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/Common/QMTransitUtils.h"
#include "core/Common/TransitJson.h"
#include "platform/rtl/Exception.h"

namespace {

using qm::TMemoryStream;
using qm::TTransitFormSet;

// The writer gives back what the reader took, except that a negative
// count (read as no items) comes back as 0: the differing bytes must all
// sit in 4-byte windows that hold a negative int32 on input and 0 on
// output.
bool SameUpToNegativeCounts(const uint8_t* in, const std::vector<uint8_t>& out) {
  size_t i = 0;
  while (i < out.size()) {
    if (in[i] == out[i]) {
      ++i;
      continue;
    }
    bool explained = false;
    for (size_t s = i >= 3 ? i - 3 : 0; s <= i && s + 4 <= out.size(); ++s) {
      if (out[s] == 0 && out[s + 1] == 0 && out[s + 2] == 0 && out[s + 3] == 0 &&
          (in[s + 3] & 0x80) != 0) {
        explained = true;
        i = s + 4;
        break;
      }
    }
    if (!explained) return false;
  }
  return true;
}

std::vector<uint8_t> Write(const TTransitFormSet& set) {
  TMemoryStream stream;
  set.WriteToStream(stream);
  return stream.Bytes();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream stream(std::vector<uint8_t>(data, data + size));
  TTransitFormSet set;
  const qm::TTransitReadResult result = set.ReadFromStream(stream);
  if (!result.Ok()) {
    if (result.FailOffset > static_cast<int64_t>(size) || result.Message().empty()) std::abort();
    return 0;
  }
  const auto consumed = static_cast<size_t>(stream.Position());
  const std::vector<uint8_t> written = Write(set);
  if (written.size() != consumed || !SameUpToNegativeCounts(data, written)) std::abort();

  std::string json;
  try {
    json = qm::TransitSetToJsonText(set, -1);
  } catch (const qm::platform::Exception& e) {
    // The one thing JSON cannot carry.
    if (std::string(e.what()).find("unpaired surrogate") == std::string::npos) std::abort();
    return 0;
  }
  const TTransitFormSet back = qm::TransitSetFromJsonText(json);
  if (!(back == set) || Write(back) != written) std::abort();
  return 0;
}
