// Field recognition over any name: the reader (paths, indexes, letter
// case, accents, glued words) and the choice never crash, and the
// explanation always agrees with the answer. The first byte picks the tag
// and input type; the rest is the name in UTF-16.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "core/Common/QMLexicon.h"
#include "manager/recognition/DefaultContent.h"
#include "manager/recognition/FieldRecognizer.h"
#include "manager/recognition/LexiconBuilder.h"

namespace {

using namespace qm::manager;

void Check(bool ok) {
  if (!ok) std::abort();
}

const TFieldRecognizer& Recognizer() {
  static const TFieldRecognizer* recognizer = [] {
    qm::TLexicon lexicon;  // the recogniser keeps what it needs of it
    BuildLexicon(SeedLexicon(DefaultContent()), lexicon);
    return new TFieldRecognizer(lexicon, SeedFields(DefaultContent()));
  }();
  return *recognizer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const char16_t* const types[][2] = {{u"input", u"text"},  {u"input", u"password"},
                                             {u"input", u"email"}, {u"input", u"tel"},
                                             {u"select", u""},     {u"textarea", u""}};
  const auto& [tag, type] = types[data[0] % 6];
  String name;
  for (size_t i = 1; i + 1 < size; i += 2)
    name.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  const TFieldRecognizer& recognizer = Recognizer();
  const std::optional<TRecognition> found = recognizer.Recognize(tag, type, name);
  const TRecognitionReport report = recognizer.Explain(tag, type, name);
  Check(found.has_value() == report.Found.has_value());
  Check(!found || found->Field.FieldName == report.Found->Field.FieldName);
  Check(!report.Why.empty());
  return 0;
}
