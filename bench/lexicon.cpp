// Lexicon throughput: Normalize on typical field labels (it runs on every
// label, option text and field name of a page), template expansion, and
// loading the manager's stream. Each Normalize figure has its baseline from
// the same run: the same rules composed from the general routines (trim,
// lower-case, word list, sorted-list lookup), checked to give the same
// results.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <iostream>

#include "core/Common/QMCommonUtils.h"
#include "core/Common/QMLexicon.h"
#include "core/Common/TextUtils.h"
#include "platform/rtl/Utf.h"

namespace qm {
namespace {

const std::vector<std::u16string>& Labels() {
  static const std::vector<std::u16string> labels = {
      u"First-Name:",
      u"E-mail address",
      u"Street or P.O. Box",
      u"Zip/Postal code",
      u"  Last Name *  ",
      u"Phone (daytime)",
      u"Credit card number",
      u"Country/Region",
      u"Date of birth (mm/dd/yyyy)",
      u"Company",
      u"Address line 2 (optional)",
      u"State/Province",
      u"Stra\u00DFe und Hausnummer",
      u"T\u00E9l\u00E9phone portable",
  };
  return labels;
}

// 5,000 substitutions with three synonyms each, and 300 stop words.
const TLexicon& LargeLexicon() {
  static TLexicon* lexicon = [] {
    auto* l = new TLexicon;
    l->BeginUpdate();
    std::vector<std::u16string> stopWords = {u"or",     u"and",   u"the",      u"of",       u"your",
                                             u"please", u"enter", u"optional", u"required", u"a"};
    for (int i = 0; i < 290; ++i)
      stopWords.push_back(u"stop" + IntToText(i));
    l->SetStopWords(stopWords);
    for (int i = 0; i < 5000; ++i) {
      const std::u16string n = IntToText(i);
      l->AddSubstitution(u"key" + n, {u"Synonym-" + n, u"other word " + n, u"Third_" + n});
    }
    l->EndUpdate();
    return l;
  }();
  return *lexicon;
}

// The rules of Normalize, composed from the general routines.
std::u16string ComposedNormalize(const TLexicon& lexicon, std::u16string_view text) {
  TWideWords pieces(lexicon.Separators());
  pieces.Split(LowerCase(Trim(text)));
  std::u16string result;
  for (int i = 0; i < pieces.Count(); ++i) {
    const std::u16string& piece = pieces[i];
    if (piece.empty() || lexicon.StopWords().Contains(piece)) continue;
    if (!result.empty()) result += u' ';
    result += piece;
  }
  return result;
}

void CheckSameResults(const TLexicon& lexicon) {
  for (const auto& label : Labels()) {
    if (lexicon.Normalize(label) != ComposedNormalize(lexicon, label)) {
      std::cerr << "Normalize differs from the composed rules on '" << platform::U8(label) << "'\n";
      std::abort();
    }
  }
}

const TLexicon& Pick(int which) {
  static const TLexicon initial;
  return which == 0 ? initial : LargeLexicon();
}

void BM_Normalize(benchmark::State& state) {
  const TLexicon& lexicon = Pick(static_cast<int>(state.range(0)));
  CheckSameResults(lexicon);
  for (auto _ : state) {
    for (const auto& label : Labels())
      benchmark::DoNotOptimize(lexicon.Normalize(label));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(Labels().size()));
  state.SetLabel(state.range(0) == 0 ? "initial lexicon" : "5000 substitutions");
}
BENCHMARK(BM_Normalize)->Arg(0)->Arg(1);

void BM_NormalizeComposedBaseline(benchmark::State& state) {
  const TLexicon& lexicon = Pick(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    for (const auto& label : Labels()) {
      benchmark::DoNotOptimize(ComposedNormalize(lexicon, label));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(Labels().size()));
  state.SetLabel(state.range(0) == 0 ? "initial lexicon" : "5000 substitutions");
}
BENCHMARK(BM_NormalizeComposedBaseline)->Arg(0)->Arg(1);

void BM_ExpandTwoPlaceholders(benchmark::State& state) {
  const TLexicon& lexicon = Pick(static_cast<int>(state.range(0)));
  const std::u16string mark(1, PlaceholderMark);
  // With the large lexicon the second key is the last substitution: the
  // lookup walks all of them.
  const std::u16string second = state.range(0) == 0 ? u"addons" : u"key4999";
  const std::vector<std::u16string> templates = {u"my " + mark + u"plugins" + mark + u" and " +
                                                 mark + second + mark + u" list"};
  size_t count = 0;
  for (auto _ : state) {
    auto result = lexicon.ExpandSubstitutions(templates);
    count = result.size();
    benchmark::DoNotOptimize(result);
  }
  state.counters["expansions"] = static_cast<double>(count);
  state.SetLabel(state.range(0) == 0 ? "initial lexicon" : "5000 substitutions");
}
BENCHMARK(BM_ExpandTwoPlaceholders)->Arg(0)->Arg(1);

void BM_LoadFromStream(benchmark::State& state) {
  TMemoryStream stream;
  LargeLexicon().SaveToStream(stream);
  TLexicon lexicon;
  for (auto _ : state) {
    stream.SetPosition(0);
    if (!lexicon.LoadFromStream(stream, LexiconStreamVersion)) std::abort();
  }
  state.SetBytesProcessed(state.iterations() * stream.Size());
  state.SetLabel("5000 substitutions");
}
BENCHMARK(BM_LoadFromStream)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qm

BENCHMARK_MAIN();
