// Transit model costs: the best-card walk over many stored cards, the
// unindexed-field count of one very large card (pairwise against
// bucketed, same answers), and the stream writer and reader in MB/s.
#include <benchmark/benchmark.h>

#include <string>

#include "core/Common/QMTransitUtils.h"
#include "core/Common/TextUtils.h"

namespace {

using namespace qm;

TTransitField MakeField(int32_t index, std::u16string type, std::u16string name,
                        std::u16string value) {
  TTransitField f;
  f.ElementIndex = index;
  f.TagName = u"input";
  f.InputType = std::move(type);
  f.Name = std::move(name);
  f.Value = std::move(value);
  return f;
}

// 25 indexed text inputs and 25 hidden inputs whose values name the card.
TTransitFormCard ShopCard(int card) {
  TTransitFormCard c;
  c.Url = u"http://shop.test/checkout";
  c.Method = u"post";
  for (int i = 0; i < 25; ++i) c.Fields.Add(MakeField(i, u"text", u"f" + IntToText(i), u""));
  for (int i = 0; i < 25; ++i) {
    c.Fields.Add(MakeField(-1, u"hidden", u"h" + IntToText(i),
                           u"c" + IntToText(card) + u"-" + IntToText(i)));
  }
  return c;
}

// 1,000 stored cards; the probe fits only the last one fully, so the walk
// scores every card.
void BM_FindBestCard_1000CardsOf50Fields(benchmark::State& state) {
  TTransitFormSet set;
  for (int i = 0; i < 1000; ++i) set.Add(ShopCard(i));
  const TTransitFormCard probe = ShopCard(999);
  for (auto _ : state) {
    TTransitFormCard p = probe;
    benchmark::DoNotOptimize(set.FindBestCard(p));
  }
  state.SetItemsProcessed(state.iterations() * 1000);  // cards scored
}
BENCHMARK(BM_FindBestCard_1000CardsOf50Fields)->Unit(benchmark::kMillisecond);

// n unindexed fields per side. Shape 0: hidden inputs with distinct names
// (most of a page's hidden state). Shape 1: hidden inputs all of one name
// with distinct values (a repeated "item[]"), where every pair that meets
// compares values under the locale. Every tenth probe value differs.
std::vector<TTransitField> Unindexed(int n, int shape, bool probe) {
  std::vector<TTransitField> fields;
  for (int i = 0; i < n; ++i) {
    const std::u16string name = shape == 0 ? u"h" + IntToText(i) : u"item[]";
    const std::u16string value = (probe && i % 10 == 0 ? u"x" : u"v") + IntToText(i);
    fields.push_back(MakeField(-1, u"hidden", name, value));
  }
  return fields;
}

template <int (*Count)(const transit_detail::FieldRefs&, const transit_detail::FieldRefs&)>
void BM_CountUnindexed(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const auto stored = Unindexed(n, static_cast<int>(state.range(1)), false);
  const auto probe = Unindexed(n, static_cast<int>(state.range(1)), true);
  transit_detail::FieldRefs s, p;
  for (const auto& f : stored) s.push_back(&f);
  for (const auto& f : probe) p.push_back(&f);
  for (auto _ : state) benchmark::DoNotOptimize(Count(s, p));
  state.counters["matched"] = Count(s, p);
}
BENCHMARK(BM_CountUnindexed<transit_detail::CountPairwise>)
    ->Name("BM_CountUnindexed/pairwise")
    ->ArgsProduct({{25, 60, 2000}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CountUnindexed<transit_detail::CountBucketed>)
    ->Name("BM_CountUnindexed/bucketed")
    ->ArgsProduct({{25, 60, 2000}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

// The whole CompareFields of one card with 2,000 unindexed fields, as the
// library runs it (bucketed above the threshold).
void BM_CompareFields_2000Unindexed(benchmark::State& state) {
  TTransitFormCard stored, probe;
  stored.Method = probe.Method = u"post";
  for (auto& f : Unindexed(2000, static_cast<int>(state.range(0)), false)) stored.Fields.Add(f);
  for (auto& f : Unindexed(2000, static_cast<int>(state.range(0)), true)) probe.Fields.Add(f);
  for (auto _ : state) benchmark::DoNotOptimize(stored.CompareFields(probe));
}
BENCHMARK(BM_CompareFields_2000Unindexed)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// About 10 MB of stream: cards of 50 fields with texts of typical length.
TTransitFormSet TenMegabyteSet() {
  TTransitFormSet set;
  TMemoryStream probe;
  const std::u16string html(400, u'h');
  while (true) {
    TTransitFormCard& card = set.Add(ShopCard(set.Count()));
    card.FormHtml = html;
    for (TTransitField& f : card.Fields) {
      f.ProfileField = u"Profile field " + f.Name;
      f.Values = u"first,second,\"third one\"";
    }
    if (set.Count() % 100 == 0) {
      probe.Clear();
      set.WriteToStream(probe);
      if (probe.Size() >= 10 * 1024 * 1024) return set;
    }
  }
}

void BM_StreamWrite10MB(benchmark::State& state) {
  const TTransitFormSet set = TenMegabyteSet();
  int64_t bytes = 0;
  for (auto _ : state) {
    TMemoryStream stream;
    set.WriteToStream(stream);
    bytes = stream.Size();
    benchmark::DoNotOptimize(stream.Bytes().data());
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_StreamWrite10MB)->Unit(benchmark::kMillisecond);

void BM_StreamRead10MB(benchmark::State& state) {
  TMemoryStream stream;
  TenMegabyteSet().WriteToStream(stream);
  for (auto _ : state) {
    stream.SetPosition(0);
    TTransitFormSet set;
    if (!set.ReadFromStream(stream).Ok()) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(set.Count());
  }
  state.SetBytesProcessed(state.iterations() * stream.Size());
}
BENCHMARK(BM_StreamRead10MB)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
