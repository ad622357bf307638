// The cost of reaching the manager over the session bus: a ResolveField
// (the call made for every field of every page) and a MatchPageForms with
// a page-sized forms stream, each called directly on an in-process
// IQoraServer (the baseline) and through the bus proxy and adaptor to the
// same object on a private bus, in the same run.
#include <benchmark/benchmark.h>
#include <sdbus-c++/sdbus-c++.h>

#include <iostream>

#include "core/Common/QoraServerBusAdaptor.h"
#include "core/Common/QoraServerBusProxy.h"
#include "platform/com/SessionBus.h"
#include "testsupport/PrivateBus.h"
#include "testsupport/QoraServerDouble.h"

namespace qm {
namespace {

using platform::ComPtr;

// One private bus with the double served on it, for the whole run.
struct Setup {
  Setup() : server(platform::MakeCom<testing::TQoraServerDouble>()) {
    server->SetReply(
        u"ResolveField",
        {Variant::FromString(u"First name"), Variant::FromInt32(1), Variant::FromString(u"Jane"),
         Variant::FromString(u"Jane,J."), Variant::FromBool(true), Variant::FromBool(false)});
    server->SetReply(
        u"MatchPageForms",
        {Variant::FromStrings({u"example.com/checkout=Billing", u"example.com/checkout=Shipping"}),
         Variant::FromString(u"example.com/checkout=Billing"), Variant::FromBool(true)});
    serving = platform::OpenSessionBus();
    adaptor = std::make_unique<TQoraServerBusAdaptor>(*serving, server);
    loop = std::make_unique<platform::BusEventLoop>(*serving);
    loop->Start();
    proxy = TQoraServerBusProxy::Connect(platform::OpenSessionBus());
    if (!proxy) throw std::runtime_error("the proxy found no manager");
  }
  ~Setup() {
    proxy = nullptr;
    loop.reset();
    adaptor.reset();
  }

  testing::PrivateBus bus;
  ComPtr<testing::TQoraServerDouble> server;
  std::unique_ptr<sdbus::IConnection> serving;
  std::unique_ptr<TQoraServerBusAdaptor> adaptor;
  std::unique_ptr<platform::BusEventLoop> loop;
  ComPtr<TQoraServerBusProxy> proxy;
};

Setup& TheSetup() {
  static Setup setup;
  return setup;
}

void ResolveField(benchmark::State& state, IQoraServer& server) {
  for (auto _ : state) {
    String field, value, values;
    int32_t kind = 0;
    bool found = false, password = false;
    const HRESULT status = server.ResolveField(u"", u"input", u"text", u"billing_first_name", field,
                                               kind, value, values, found, password);
    if (platform::Failed(status) || !found) state.SkipWithError("ResolveField failed");
    benchmark::DoNotOptimize(value);
  }
}

void MatchPageForms(benchmark::State& state, IQoraServer& server) {
  const Variant forms = Variant::FromBytes(std::vector<uint8_t>(4096, 0x41));
  for (auto _ : state) {
    Variant matches;
    String line;
    bool hasMatch = false;
    const HRESULT status =
        server.MatchPageForms(u"example.com/checkout", forms, matches, line, hasMatch);
    if (platform::Failed(status) || !hasMatch) state.SkipWithError("MatchPageForms failed");
    benchmark::DoNotOptimize(matches);
  }
  state.SetBytesProcessed(state.iterations() * 4096);
}

void BM_ResolveField_Direct(benchmark::State& state) {
  ResolveField(state, *TheSetup().server);
}
void BM_ResolveField_OverBus(benchmark::State& state) {
  ResolveField(state, *TheSetup().proxy);
}
void BM_MatchPageForms4K_Direct(benchmark::State& state) {
  MatchPageForms(state, *TheSetup().server);
}
void BM_MatchPageForms4K_OverBus(benchmark::State& state) {
  MatchPageForms(state, *TheSetup().proxy);
}

BENCHMARK(BM_ResolveField_Direct);
BENCHMARK(BM_ResolveField_OverBus);
BENCHMARK(BM_MatchPageForms4K_Direct);
BENCHMARK(BM_MatchPageForms4K_OverBus);

}  // namespace
}  // namespace qm

BENCHMARK_MAIN();
