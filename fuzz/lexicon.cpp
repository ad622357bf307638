// The lexicon loader, both stream formats: the first byte picks the version
// (odd: 10, with goals; even: 9, without), the rest is the stream. Any input
// loads or fails cleanly. A successful load must save back and reload to an
// equal lexicon, go through JSON to an equal lexicon when its texts are
// valid UTF-16, and expand its own keys in bounded work.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <vector>

#include "core/Common/LexiconJson.h"
#include "core/Common/QMLexicon.h"
#include "platform/rtl/Exception.h"

namespace {

using qm::TLexicon;
using qm::TMemoryStream;

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckSaveAndReload(const TLexicon& lexicon) {
  TMemoryStream saved;
  lexicon.SaveToStream(saved);
  saved.SetPosition(0);
  TLexicon reloaded;
  Check(reloaded.LoadFromStream(saved, qm::LexiconStreamVersion));
  Check(saved.Remaining() == 0);
  Check(reloaded == lexicon);
}

void CheckJson(const TLexicon& lexicon) {
  nlohmann::ordered_json json;
  try {
    json = qm::LexiconToJson(lexicon);
  } catch (const qm::platform::Exception&) {
    return;  // an unpaired surrogate, which JSON cannot carry
  }
  TLexicon read;
  qm::LexiconFromJson(json, read);
  Check(read == lexicon);
}

void ExpandOwnKeys(const TLexicon& lexicon) {
  const std::u16string mark(1, qm::PlaceholderMark);
  const auto& items = lexicon.Substitutions();
  for (int i = 0; i < items.Count() && i < 4; ++i) {
    const std::u16string& key = items[i].NormalizedKey();
    if (key.find(qm::PlaceholderMark) != std::u16string::npos) continue;  // not one placeholder
    const auto result = lexicon.ExpandSubstitutions({u"<" + mark + key + mark + u">"});
    // The first substitution with this key answers, with its key first.
    const qm::TSubstitution* first = lexicon.FindSubstitution(key);
    Check(first != nullptr);
    Check(result.size() == std::min(static_cast<size_t>(first->NormalizedWords().Count()) + 1,
                                    TLexicon::MaxExpansions));
    Check(result[0] == u"<" + key + u">");
  }
  if (items.Count() >= 2) {
    // Keys may hold marks themselves, giving many placeholders: the
    // expansion stops at its cap however large the product.
    const auto product = lexicon.ExpandSubstitutions(
        {mark + items[0].NormalizedKey() + mark + u"/" + mark + items[1].NormalizedKey() + mark});
    Check(product.size() <= TLexicon::MaxExpansions);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int32_t version = (data[0] & 1) != 0 ? qm::LexiconStreamVersion : 9;
  TMemoryStream stream(std::vector<uint8_t>(data + 1, data + size));
  TLexicon lexicon;
  bool loaded = false;
  try {
    loaded = lexicon.LoadFromStream(stream, version);
  } catch (const qm::platform::Exception&) {
    return 0;  // a repeated stop word
  }
  if (!loaded) return 0;
  CheckSaveAndReload(lexicon);
  CheckJson(lexicon);
  ExpandOwnKeys(lexicon);
  return 0;
}
