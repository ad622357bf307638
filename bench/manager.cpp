// The manager's hot operations. MatchPageForms runs on every page load
// against a store of 10,000 form sets saved over 1,000 page keys; its
// baseline, from the same run, is the same answer found the obvious way:
// reading and comparing every stored form set. ResolveField runs once per
// page control: called in process, and through the session bus (a private
// dbus-daemon, the adaptor and the proxy the add-on uses), side by side;
// Recognize is the recogniser alone.
#include <benchmark/benchmark.h>
#include <sdbus-c++/IConnection.h>
#include <stdlib.h>

#include <filesystem>
#include <iostream>

#include "core/Common/QMLexicon.h"
#include "bench/BenchStore.h"
#include "core/Common/QMTransitUtils.h"
#include "core/Common/QoraServerBusAdaptor.h"
#include "core/Common/QoraServerBusProxy.h"
#include "manager/recognition/DefaultContent.h"
#include "manager/recognition/FieldRecognizer.h"
#include "manager/recognition/LexiconBuilder.h"
#include "manager/service/QoraManager.h"
#include "manager/store/FormSignature.h"
#include "platform/com/SessionBus.h"
#include "platform/rtl/Utf.h"
#include "testsupport/PrivateBus.h"

namespace qm::manager {
namespace {

using platform::ComPtr;

using namespace bench;

struct TWorld {
  std::string Folder;
  ComPtr<TQoraManager> Manager;
  TManagerStore* Store = nullptr;  // the manager's, for the baseline

  TWorld() {
    Folder = (std::filesystem::temp_directory_path() / "qm-bench-XXXXXX").string();
    if (mkdtemp(Folder.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    auto store = std::make_unique<TManagerStore>(Folder + "/manager.db", &DefaultContent());
    SeedFormSets(*store);
    store->SetFieldValue(store->ActiveProfile().Id, store->FieldCaptioned(u"First name").Id,
                         u"Ada");
    Store = store.get();
    Manager = platform::MakeCom<TQoraManager>(std::move(store));
  }
  ~TWorld() {
    Manager = nullptr;
    std::error_code ignored;
    std::filesystem::remove_all(Folder, ignored);
  }
};

TWorld& World() {
  static TWorld world;
  return world;
}

void BM_MatchPageForms_Indexed(benchmark::State& state) {
  TQoraManager& manager = *World().Manager;
  int key = 0;
  size_t entries = 0;
  for (auto _ : state) {
    const Variant forms = Variant::FromBytes(StreamOf(PageForms(key, 0)));
    Variant matches;
    String line;
    bool hasMatch = false;
    if (manager.MatchPageForms(KeyOf(key), forms, matches, line, hasMatch) != 0) {
      state.SkipWithError("MatchPageForms failed");
      return;
    }
    entries += static_cast<size_t>(matches.ArrayCount());
    key = (key + 37) % PageKeys;
  }
  state.counters["entries"] =
      benchmark::Counter(static_cast<double>(entries), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_MatchPageForms_Indexed)->Unit(benchmark::kMicrosecond);

// The same answer without the signature index: every stored set is read
// and each of its forms compared with the page's.
void BM_MatchPageForms_FullScanBaseline(benchmark::State& state) {
  TManagerStore& store = *World().Store;
  int key = 0;
  size_t entries = 0;
  for (auto _ : state) {
    const TTransitFormSet page = PageForms(key, 0);
    const String url = KeyOf(key);
    std::vector<String> found;
    for (const TCardRecord& card : store.AllCards(StoredFormSet)) {
      if (card.OwnerKey == url) {
        found.push_back(url + u"=" + card.Name);
        continue;
      }
      TMemoryStream stream(card.Data);
      TTransitFormSet stored;
      if (!stored.ReadFromStream(stream)) continue;
      bool match = false;
      for (const TTransitFormCard& form : page) {
        for (const TTransitFormCard& s : stored) {
          match = match || (s.Url == form.Url && s.Method == form.Method && s.Compare(form) == 100);
        }
      }
      if (match) found.push_back(card.OwnerKey + u"=" + card.Name);
    }
    entries += found.size();
    benchmark::DoNotOptimize(found);
    key = (key + 37) % PageKeys;
  }
  state.counters["entries"] =
      benchmark::Counter(static_cast<double>(entries), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_MatchPageForms_FullScanBaseline)->Unit(benchmark::kMicrosecond);

void Resolve(benchmark::State& state, IQoraServer& server) {
  static const char16_t* names[] = {u"billing_first_name", u"email", u"zip", u"cc-exp-month",
                                    u"unknown_thing"};
  int i = 0;
  for (auto _ : state) {
    String field, value, values;
    int32_t kind = 0;
    bool found = false, passwordNeeded = false;
    if (server.ResolveField(u"", u"input", u"text", names[i % 5], field, kind, value, values, found,
                            passwordNeeded) != 0) {
      state.SkipWithError("ResolveField failed");
      return;
    }
    benchmark::DoNotOptimize(found);
    ++i;
  }
}

void BM_ResolveField_InProcess(benchmark::State& state) {
  Resolve(state, *World().Manager);
}
BENCHMARK(BM_ResolveField_InProcess)->Unit(benchmark::kMicrosecond);

// The recogniser alone, on names in the styles sites use (one per
// iteration, round robin), built on the default content.
void BM_Recognize(benchmark::State& state) {
  static const char16_t* names[] = {
      u"billing_first_name", u"email", u"zip", u"cc-exp-month", u"unknown_thing",
      u"ctl00$ContentPlaceHolder1$txtSurname", u"checkout[shipping_address][address2]",
      u"profile.contact.zipOrPostal", u"ShipAddr1", u"txtEmailConfirm", u"ddlRegion",
      u"user[address][street2]", u"customer.billingAddress.postalCode", u"newsletter",
      u"j_idt23:lastName", u"wpforms[fields][0][first]", u"codigo_postal", u"Nachname",
      u"gift_card_number", u"BillingAddress.CountryId"};
  TLexicon lexicon;
  BuildLexicon(SeedLexicon(DefaultContent()), lexicon);
  const std::vector<TFieldDef> fields = SeedFields(DefaultContent());
  const TFieldRecognizer recognizer(lexicon, fields);
  constexpr size_t count = std::size(names);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(recognizer.Recognize(u"input", u"text", names[i % count]));
    ++i;
  }
}
BENCHMARK(BM_Recognize)->Unit(benchmark::kMicrosecond);

// Building the recogniser, which the manager does after every change of the
// lexicon (a synonym added, an import).
void BM_RecognizerBuild(benchmark::State& state) {
  TLexicon lexicon;
  BuildLexicon(SeedLexicon(DefaultContent()), lexicon);
  const std::vector<TFieldDef> fields = SeedFields(DefaultContent());
  for (auto _ : state)
    benchmark::DoNotOptimize(TFieldRecognizer(lexicon, fields).Fields().size());
}
BENCHMARK(BM_RecognizerBuild)->Unit(benchmark::kMillisecond);

// The manager served on a private bus, reached through the add-on's proxy.
struct TBusWorld {
  qm::testing::PrivateBus Bus;
  std::unique_ptr<sdbus::IConnection> Connection;
  std::unique_ptr<TQoraServerBusAdaptor> Adaptor;
  std::unique_ptr<platform::BusEventLoop> Loop;
  ComPtr<IQoraServer> Proxy;

  TBusWorld() {
    Connection = platform::OpenSessionBus();
    Adaptor = std::make_unique<TQoraServerBusAdaptor>(*Connection,
                                                      ComPtr<IQoraServer>(World().Manager.Get()));
    Loop = std::make_unique<platform::BusEventLoop>(*Connection);
    Loop->Start();
    Proxy = ComPtr<IQoraServer>(TQoraServerBusProxy::Connect(platform::OpenSessionBus()).Get());
  }
  ~TBusWorld() {
    Proxy = nullptr;
    Loop.reset();
    Adaptor.reset();
  }
};

void BM_ResolveField_DBus(benchmark::State& state) {
  static TBusWorld bus;
  if (!bus.Proxy) {
    state.SkipWithError("no manager on the private bus");
    return;
  }
  Resolve(state, *bus.Proxy);
}
BENCHMARK(BM_ResolveField_DBus)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace qm::manager

BENCHMARK_MAIN();
