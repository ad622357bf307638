// The page document layer on loaded pages, each beside the bare Gumbo parse
// of the same bytes in the same run: reading every form into a card (what
// each page load and each save costs), and a full fill of every form from a
// stored card (what an automatic fill costs), on the page of 2,000 controls
// in 20 forms and on the 5 MB real-world-like page of bench/BenchPages.h.
// At the end each figure is printed as a multiple of its page's Gumbo parse.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "addon/BHO/ElementTracker.h"
#include "addon/BHO/FillFormUtils.h"
#include "bench/BenchPages.h"
#include "bench/BenchReport.h"
#include "core/Common/QMLexicon.h"
#include "engines/memdom/MemDocument.h"

namespace qm {
namespace {

using platform::ComPtr;
using platform::PageElement;

ComPtr<memdom::MemDocument> LoadDocument(const std::string& page) {
  memdom::DocumentOptions options;
  options.Url = u"http://example.com/page.html";
  return memdom::MemDocument::Load(page, options);
}

std::vector<ComPtr<PageElement>> FormsOf(const ComPtr<memdom::MemDocument>& document) {
  std::vector<ComPtr<PageElement>> forms;
  const auto all = document->forms();
  for (int32_t i = 0; i < all->length(); ++i)
    forms.push_back(all->item(i));
  return forms;
}

// What a user would have stored for each form of the page: every field
// with another value than the page's (boxes flipped, another option, the
// first radio of each group), text fields bound to a profile field.
std::vector<TTransitFormCard> StoredCards(const std::string& page) {
  const ComPtr<memdom::MemDocument> document = LoadDocument(page);
  std::vector<TTransitFormCard> cards;
  for (const ComPtr<PageElement>& form : FormsOf(document)) {
    TTransitFormCard& card = cards.emplace_back();
    ReadFormFields(form, nullptr, card);
    // Each select's last option, by the select's name.
    std::map<std::u16string, std::u16string> lastOptions;
    const auto selects = form.As<platform::PageFormElement>()->tags(u"select");
    for (int32_t i = 0; i < selects->length(); ++i) {
      const auto select = selects->item(i).As<platform::PageSelectElement>();
      const auto option = select->item(select->length() - 1).As<platform::PageOptionElement>();
      if (option) lastOptions[select->name()] = option->text();
    }
    bool firstRadio = true;
    for (TTransitField& field : card.Fields) {
      if (field.InputType == u"checkbox") {
        field.Value = field.Value == u"true" ? u"false" : u"true";
      } else if (field.InputType == u"radio") {
        field.Value = firstRadio ? u"true" : u"false";
        firstRadio = false;
      } else if (field.TagName == u"select") {
        field.Value = lastOptions[field.Name];
      } else if (field.InputType == u"text" || field.TagName == u"textarea") {
        field.Value = u"Stored " + field.Name;
        field.ProfileField = u"Field " + field.Name;
      }
    }
  }
  return cards;
}

void ExtractEveryForm(benchmark::State& state, const std::string& page) {
  const ComPtr<memdom::MemDocument> document = LoadDocument(page);
  const std::vector<ComPtr<PageElement>> forms = FormsOf(document);
  for (auto _ : state) {
    size_t fields = 0;
    for (const ComPtr<PageElement>& form : forms) {
      TTransitFormCard card;
      ReadFormFields(form, nullptr, card);
      fields += static_cast<size_t>(card.Fields.Count());
    }
    benchmark::DoNotOptimize(fields);
  }
  state.counters["forms"] = static_cast<double>(forms.size());
}

// Each run fills a freshly loaded page (loading is not timed), as an
// automatic fill meets it; one tracker per form, as the form items keep.
void FillFromCards(benchmark::State& state, const std::string& page) {
  const std::vector<TTransitFormCard> cards = StoredCards(page);
  const TLexicon lexicon;
  bool complete = true;
  for (auto _ : state) {
    state.PauseTiming();
    ComPtr<memdom::MemDocument> document = LoadDocument(page);
    const std::vector<ComPtr<PageElement>> forms = FormsOf(document);
    std::vector<std::unique_ptr<TElementChangingTracker>> trackers;
    state.ResumeTiming();
    for (size_t f = 0; f < forms.size(); ++f) {
      trackers.push_back(std::make_unique<TElementChangingTracker>());
      complete =
          FillFormFromCard(forms[f], cards[f], *trackers.back(), lexicon).Complete && complete;
    }
    state.PauseTiming();
    trackers.clear();
    document = nullptr;
    state.ResumeTiming();
  }
  if (!complete) state.SkipWithError("a card did not fit its form");
}

void BM_Forms_GumboParse(benchmark::State& state) {
  bench::GumboParse(state, bench::Forms());
}
void BM_Forms_ExtractEveryForm(benchmark::State& state) {
  ExtractEveryForm(state, bench::Forms());
}
void BM_Forms_FillFromCards(benchmark::State& state) {
  FillFromCards(state, bench::Forms());
}
void BM_Big5MB_GumboParse(benchmark::State& state) {
  bench::GumboParse(state, bench::Big());
}
void BM_Big5MB_ExtractEveryForm(benchmark::State& state) {
  ExtractEveryForm(state, bench::Big());
}
void BM_Big5MB_FillFromCards(benchmark::State& state) {
  FillFromCards(state, bench::Big());
}

BENCHMARK(BM_Forms_GumboParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Forms_ExtractEveryForm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Forms_FillFromCards)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Big5MB_GumboParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Big5MB_ExtractEveryForm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Big5MB_FillFromCards)->Unit(benchmark::kMillisecond);

// The console output, then every figure over its page's Gumbo parse
// ("BM_<page>_<what>" over "BM_<page>_GumboParse").
class RatioReporter final : public bench::TTimesReporter {
public:
  void Finalize() override {
    TTimesReporter::Finalize();
    std::printf("\nAs multiples of the Gumbo parse of the same page:\n");
    for (const auto& [name, time] : RealTimes()) {
      const size_t cut = name.rfind('_');
      const double floor = RealTime(name.substr(0, cut) + "_GumboParse");
      if (floor <= 0 || name.ends_with("_GumboParse")) continue;
      std::printf("  %-28s %6.3f\n", name.c_str(), time / floor);
    }
  }
};

}  // namespace
}  // namespace qm

int main(int argc, char** argv) {
  qm::RatioReporter reporter;
  return qm::bench::RunBenchmarks(argc, argv, reporter);
}
