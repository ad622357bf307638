// Loading pages into the built-in engine, each beside the bare Gumbo parse
// of the same bytes in the same run (Gumbo's default options, output
// destroyed): a page of 2,000 controls in 20 forms, and a 5 MB page made
// like a real one (navigation, articles with inline markup, tables of
// links, inline scripts and styles, comments, forms). Also the add-on's
// usual walk over a loaded page: every form, every control, its value.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/BenchPages.h"
#include "engines/memdom/MemDocument.h"
#include "engines/memdom/MemElements.h"

namespace qm::memdom {
namespace {

using bench::Big;
using bench::Forms;
using bench::GumboParse;

using platform::PageFormElement;
using platform::PageInputElement;

void MemdomLoad(benchmark::State& state, const std::string& page) {
  for (auto _ : state) {
    DocumentOptions options;
    options.Url = u"http://example.com/page.html";
    ComPtr<MemDocument> document = MemDocument::Load(page, options);
    benchmark::DoNotOptimize(document->Order().size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}

void BM_Forms_GumboParse(benchmark::State& state) { GumboParse(state, Forms()); }
void BM_Forms_MemdomLoad(benchmark::State& state) { MemdomLoad(state, Forms()); }
void BM_Big5MB_GumboParse(benchmark::State& state) { GumboParse(state, Big()); }
void BM_Big5MB_MemdomLoad(benchmark::State& state) { MemdomLoad(state, Big()); }

// What a rescan of the page costs once it is loaded.
void BM_Forms_ReadEveryControl(benchmark::State& state) {
  DocumentOptions options;
  options.Url = u"http://example.com/page.html";
  ComPtr<MemDocument> document = MemDocument::Load(Forms(), options);
  for (auto _ : state) {
    size_t total = 0;
    auto forms = document->forms();
    for (int32_t f = 0; f < forms->length(); ++f) {
      auto form = forms->item(f).As<PageFormElement>();
      for (int32_t i = 0; i < form->length(); ++i) {
        auto control = form->item(i);
        total += control->tagName().size() + static_cast<size_t>(control->sourceIndex());
        if (auto input = control.As<PageInputElement>()) total += input->value().size();
      }
    }
    benchmark::DoNotOptimize(total);
  }
}

BENCHMARK(BM_Forms_GumboParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Forms_MemdomLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Big5MB_GumboParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Big5MB_MemdomLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Forms_ReadEveryControl)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qm::memdom

BENCHMARK_MAIN();
