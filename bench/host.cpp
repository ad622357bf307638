// The browser host's figures, on the built-in engine:
//   FirstPage   the time from `quillbrowse run` to the first page processed:
//               the whole program, started for a script that opens one page
//               with a form (start, registry, dlopen of the add-on, the
//               manager's connection, the page loaded, matched and filled,
//               the end);
//   Session100  a session of 100 page loads (ten pages with a form, each
//               opened ten times), reported per page.
// Both run with the real add-on and the real manager as its own process on
// a private bus. The baseline, from the same run, is the same program over
// the same pages with no add-on registered: the host alone.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "testsupport/PrivateBus.h"
#include "testsupport/TestManager.h"

namespace {

namespace fs = std::filesystem;

struct TWorld {
  qm::testing::PrivateBus Bus;
  qm::testing::TTempFolder Folder;
  qm::testing::TTestManager Seed;
  std::unique_ptr<qm::testing::TManagerProcess> Manager;
  std::string WithAddon;  // registry files
  std::string Alone;

  TWorld() {
    Seed.SetFieldValue(u"First name", u"Ada");
    Seed.SetFieldValue(u"E-mail", u"ada@example.org");
    Seed.Stop();  // the store stays; the real program serves it
    Manager = std::make_unique<qm::testing::TManagerProcess>(Seed.StorePath());
    fs::create_directories(Folder.File("site"));
    for (int i = 0; i < 10; ++i) {
      std::ofstream(Folder.File("site/page" + std::to_string(i) + ".html"))
          << "<!DOCTYPE html><html><head><title>Page " << i << "</title></head><body>"
          << "<form action=\"/echo\" method=\"post\"><label>First name <input name=\"first_name\"></label>"
          << "<label>E-mail <input type=\"email\" name=\"email\"></label><label>Comment <textarea "
             "name=\"comment\"></textarea></label><input type=\"submit\"></form></body></html>\n";
    }
    std::ofstream one(Folder.File("one.qb"));
    one << "open {serve}/page0.html\n";
    std::ofstream hundred(Folder.File("hundred.qb"));
    for (int i = 0; i < 100; ++i) hundred << "open {serve}/page" << i % 10 << ".html\n";
    WithAddon = Folder.File("registry-addon");
    Alone = Folder.File("registry-alone");
    Quiet(std::string(QM_QUILLBROWSE) + " addon register --registry " + WithAddon + " " + QM_QUILLMATE_LIBRARY);
  }

  static int Quiet(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

  int Run(bool addon, const std::string& script) {
    return Quiet(std::string(QM_QUILLBROWSE) + " run --registry " + (addon ? WithAddon : Alone) + " --serve " +
                 Folder.File("site") + " " + Folder.File(script));
  }
};

// Made by the first benchmark that needs it, taken down by main before the
// program's statics go: the manager and the bus are stopped and the folders
// removed by their owners, not left to the end of the process.
std::unique_ptr<TWorld> world;

TWorld& World() {
  if (!world) world = std::make_unique<TWorld>();
  return *world;
}

void FirstPage(benchmark::State& state) {
  const bool addon = state.range(0) != 0;
  for (auto _ : state) {
    if (World().Run(addon, "one.qb") != 0) state.SkipWithError("quillbrowse failed");
  }
  state.SetLabel(addon ? "add-on and manager" : "baseline: the host alone");
}

void Session100(benchmark::State& state) {
  const bool addon = state.range(0) != 0;
  for (auto _ : state) {
    if (World().Run(addon, "hundred.qb") != 0) state.SkipWithError("quillbrowse failed");
  }
  state.counters["per_page"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * 100, benchmark::Counter::kIsRate |
                                                                            benchmark::Counter::kInvert);
  state.SetLabel(addon ? "add-on and manager" : "baseline: the host alone");
}

BENCHMARK(FirstPage)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(Session100)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  world.reset();
  return 0;
}
