// The helper object's page processing, as a page load meets it: ProcessPage
// (the rescan, the transit set with address and method, its stream,
// MatchPageForms against a manager holding 10,000 stored form sets, the
// load of the page's stored set and the fill of every form from it) on the
// 2,000-control page and on the 5 MB page of bench/BenchPages.h, each beside
// the bare Gumbo parse of the same bytes in the same run. The manager runs
// in process; the same processing against it over a private D-Bus bus is
// measured beside it. Each run processes a freshly loaded page (the load,
// with the helper object following it but filling nothing, is not timed).
//
// Then 1,000 page loads in one helper object (a login page filled from its
// stored card, a page of frames, a page of links, in turn), with what the
// helper object holds and the heap in use before and after.
//
// At the end it prints, per page, "page processing / parse: R" and the bus
// figure as a ratio to in-process.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sdbus-c++/IConnection.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "bench/BenchPages.h"
#include "bench/BenchReport.h"
#include "bench/BenchStore.h"
#include "core/Common/QoraServerBusAdaptor.h"
#include "core/Common/QoraServerBusProxy.h"
#include "manager/recognition/DefaultContent.h"
#include "manager/service/QoraManager.h"
#include "platform/com/RunningObjects.h"
#include "platform/com/SessionBus.h"
#include "testsupport/BhoWindow.h"
#include "testsupport/PrivateBus.h"

namespace qm {
namespace {

using platform::ComPtr;
using testing::TBhoWindow;

constexpr char16_t FormsUrl[] = u"https://shop.example/checkout";
constexpr char16_t BigUrl[] = u"https://portal.example/";

// What a user would have stored for each form of the page: every field
// with another value than the page's (boxes flipped, the first radio of a
// group, another option, typed text), saved under the page's key.
void StoreUserCard(TBhoWindow& window, IQoraServer& server) {
  TVxBrowserHelperObject& helper = window.Helper();
  helper.RescanForms();
  TTransitFormSet forms;
  helper.PageForms().BuildTransitSet(forms, CardPartsAll);
  for (TTransitFormCard& card : forms) {
    bool firstRadio = true;
    for (TTransitField& field : card.Fields) {
      if (field.InputType == u"checkbox") {
        field.Value = field.Value == u"true" ? u"false" : u"true";
      } else if (field.InputType == u"radio") {
        field.Value = firstRadio ? u"true" : u"false";
        firstRadio = false;
      } else if (field.TagName == u"select") {
        field.Value = field.Value == u"Two" ? u"Three" : u"2";
      } else if (field.InputType == u"text" || field.TagName == u"textarea") {
        field.Value = u"Stored " + field.Name;
      }
    }
  }
  TMemoryStream stream;
  forms.WriteToStream(stream);
  bool saved = false;
  bool passwordNeeded = false;
  platform::OleCheck(server.SaveFormSet(helper.Agent().PageKey(), u"Mine", u"",
                                        StreamToVariant(stream), saved, passwordNeeded));
}

// The manager holding the stored world and each benchmark page's card,
// registered in this process; one window that follows the pages.
struct TWorld {
  platform::ui::TScriptedBackend Backend;
  platform::ui::TBackendScope Scope{Backend};
  testing::TTestManager Manager{false};
  std::unique_ptr<TBhoWindow> Window;

  TWorld() {
    manager::bench::SeedFormSets(Manager.Store());
    Manager.Start();
    Window = std::make_unique<TBhoWindow>();
    Window->AddPage(FormsUrl, bench::Forms());
    Window->AddPage(BigUrl, bench::Big());
    for (const char16_t* url : {FormsUrl, BigUrl}) {
      Window->Agent().SetActive(false);
      Window->Load(url);
      StoreUserCard(*Window, Manager.Server());
    }
    Window->Agent().SetActive(true);
  }
};

TWorld& World() {
  static TWorld world;
  return world;
}

// The same manager served on a private bus, where a second window's agent
// finds it: the in-process registration is withdrawn while that agent
// connects, and the agent keeps its bus connection afterwards.
struct TBusWorld {
  qm::testing::PrivateBus Bus;
  std::unique_ptr<sdbus::IConnection> Connection;
  std::unique_ptr<TQoraServerBusAdaptor> Adaptor;
  std::unique_ptr<platform::BusEventLoop> Loop;
  std::unique_ptr<TBhoWindow> Window;

  TBusWorld() {
    TWorld& world = World();
    Connection = platform::OpenSessionBus();
    Adaptor = std::make_unique<TQoraServerBusAdaptor>(
        *Connection, ComPtr<IQoraServer>(&world.Manager.Manager()));
    Loop = std::make_unique<platform::BusEventLoop>(*Connection);
    Loop->Start();
    InstallManagerBusLookup();
    Window = std::make_unique<TBhoWindow>();
    Window->AddPage(FormsUrl, bench::Forms());
    Window->AddPage(BigUrl, bench::Big());
    world.Manager.Unregister();
    const bool connected = Window->Agent().IsConnected();
    world.Manager.Register();
    if (!connected) throw std::runtime_error("no manager on the private bus");
  }
  ~TBusWorld() {
    Window.reset();
    Loop.reset();
    Adaptor.reset();
    platform::RegisterActiveObjectProvider(CLASS_QoraServer, {});
  }
};

TBusWorld& BusWorld() {
  static TBusWorld bus;
  return bus;
}

// The allocator sorts the small blocks that the last page's teardown freed
// at the next large request; that belongs to the load, so it is made to
// happen before the clock runs.
void SettleAllocator() {
  void* block = std::malloc(4096);
  benchmark::DoNotOptimize(block);
  std::free(block);
}

// Processes the page at url in window, loaded afresh for every run.
void ProcessPage(benchmark::State& state, TBhoWindow& window, const std::u16string& url) {
  TVxBrowserHelperObject& helper = window.Helper();
  int filled = 0;
  for (auto _ : state) {
    state.PauseTiming();
    helper.Agent().SetActive(false);
    window.Load(url);
    helper.Agent().SetActive(true);
    SettleAllocator();
    state.ResumeTiming();
    helper.ProcessPage(window.Browser(), true, false, false, false);
    state.PauseTiming();
    filled = 0;
    for (const auto& item : helper.PageForms().Snapshot())
      filled += item->MatchScore == 100;
    state.ResumeTiming();
  }
  if (filled == 0 || filled != helper.PageForms().Count()) {
    state.SkipWithError("a form was not filled from its card");
  }
  state.counters["forms"] = filled;
}

void BM_Forms_GumboParse(benchmark::State& state) {
  bench::GumboParse(state, bench::Forms());
}
void BM_Forms_ProcessPage(benchmark::State& state) {
  ProcessPage(state, *World().Window, FormsUrl);
}
void BM_Forms_ProcessPageOverBus(benchmark::State& state) {
  ProcessPage(state, *BusWorld().Window, FormsUrl);
}
void BM_Big5MB_GumboParse(benchmark::State& state) {
  bench::GumboParse(state, bench::Big());
}
void BM_Big5MB_ProcessPage(benchmark::State& state) {
  ProcessPage(state, *World().Window, BigUrl);
}
void BM_Big5MB_ProcessPageOverBus(benchmark::State& state) {
  ProcessPage(state, *BusWorld().Window, BigUrl);
}

BENCHMARK(BM_Forms_GumboParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Forms_ProcessPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Forms_ProcessPageOverBus)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Big5MB_GumboParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Big5MB_ProcessPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Big5MB_ProcessPageOverBus)->Unit(benchmark::kMillisecond);

// --- 1,000 page loads in one helper object ---

#ifdef __SANITIZE_ADDRESS__
// The sanitizer runtime's own count; GCC ships no header for it.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

// Under AddressSanitizer the heap is the sanitizer's, which the C
// library's figures don't see.
size_t HeapInUse() {
#ifdef __SANITIZE_ADDRESS__
  return __sanitizer_get_current_allocated_bytes();
#else
  return mallinfo2().uordblks;
#endif
}

void BM_ThousandPageLoads(benchmark::State& state) {
  platform::ui::TScriptedBackend backend;
  platform::ui::TBackendScope scope(backend);
  testing::TTestManager manager;
  TBhoWindow window;
  window.AddPage(u"https://a.example/login",
                 "<form action=check method=post><input name=user><input type=password "
                 "name=pass><select name=lang><option>en<option>de</select><input type=submit "
                 "name=go value=Go></form>");
  window.AddPage(u"https://a.example/frames",
                 "<frameset><frame src=login><frame src=links></frameset>");
  window.AddPage(u"https://a.example/links",
                 "<a href=login>login</a><form action=/search><input name=q></form>");
  const std::u16string pages[] = {u"https://a.example/login", u"https://a.example/frames",
                                  u"https://a.example/links"};
  window.Load(pages[0]);
  StoreUserCard(window, manager.Server());
  TVxBrowserHelperObject& helper = window.Helper();
  size_t heapAfterWarmUp = 0;
  int32_t objectsAfterWarmUp = 0;
  int maxItems = 0;
  int maxSinks = 0;
  for (auto _ : state) {
    for (int load = 0; load < 1000; ++load) {
      window.Load(pages[load % 3]);
      window.Pages().Requests.clear();  // the test loader's own record
      backend.ClearJournal();
      maxItems = std::max(maxItems, helper.PageForms().Count());
      maxSinks = std::max(maxSinks, helper.DocListener().SinkCount());
      if (load == 99) {
        heapAfterWarmUp = HeapInUse();
        objectsAfterWarmUp = platform::LiveComObjectCount();
      }
    }
  }
  const size_t heapAfter = HeapInUse();
  state.counters["max_form_items"] = maxItems;
  state.counters["max_doc_sinks"] = maxSinks;
  state.counters["tracer_items"] = helper.Tracer().Count();
  state.counters["heap_in_use_bytes"] = static_cast<double>(heapAfter);
  state.counters["heap_growth_100_to_1000_bytes"] =
      static_cast<double>(heapAfter) - static_cast<double>(heapAfterWarmUp);
  state.counters["com_object_growth_100_to_1000"] =
      platform::LiveComObjectCount() - objectsAfterWarmUp;
}
BENCHMARK(BM_ThousandPageLoads)->Iterations(1)->Unit(benchmark::kMillisecond);

// The console output, then per page the processing over its Gumbo parse
// and the bus figure over in-process.
class RatioReporter final : public bench::TTimesReporter {
public:
  void Finalize() override {
    TTimesReporter::Finalize();
    for (const char* page : {"Forms", "Big5MB"}) {
      const std::string name = std::string("BM_") + page;
      const double parse = RealTime(name + "_GumboParse");
      const double process = RealTime(name + "_ProcessPage");
      const double bus = RealTime(name + "_ProcessPageOverBus");
      if (parse > 0 && process > 0) {
        std::printf("%s: page processing / parse: %.3f\n", page, process / parse);
        // On a busy machine the time the thread actually ran says more.
        std::printf("%s: page processing / parse (CPU time): %.3f\n", page,
                    CpuTime(name + "_ProcessPage") / CpuTime(name + "_GumboParse"));
      }
      if (process > 0 && bus > 0) {
        std::printf("%s: page processing over D-Bus / in process: %.3f\n", page, bus / process);
      }
    }
  }
};

}  // namespace
}  // namespace qm

int main(int argc, char** argv) {
  qm::RatioReporter reporter;
  return qm::bench::RunBenchmarks(argc, argv, reporter);
}
