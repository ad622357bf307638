// The Chromium engine's figures, each beside its baseline from the same run
// and the same browser binary:
//   - filling a form of 200 text inputs from a stored card (FillFormFromCard,
//     its writes sent to the page), beside Playwright's per-field
//     locator.fill() loop and one page.evaluate that sets every value and
//     raises input and change (the floor of any fill through the protocol);
//   - extracting every form of the 2,000-control page of bench/BenchPages.h,
//     first read after the load and again, beside the built-in engine;
//   - the engine's start (browser up and a tab ready) and its memory.
// Run bench/chromium/setup first for the Playwright baselines; without them
// the benchmark prints its own figures only.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <string>
#include <vector>

#include "addon/BHO/ElementTracker.h"
#include "addon/BHO/FillFormUtils.h"
#include "bench/BenchPages.h"
#include "engines/chromium/ChromiumDocument.h"
#include "engines/chromium/ChromiumEngine.h"
#include "engines/chromium/PageServer.h"
#include "engines/memdom/MemDocument.h"

namespace qm {
namespace {

using Clock = std::chrono::steady_clock;
using platform::ComPtr;
using platform::PageElement;

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

std::string TextInputsPage(int count) {
  std::string page = "<!DOCTYPE html><title>Fill</title><form id=f method=post action=/done>";
  for (int i = 0; i < count; ++i) {
    page += "<label>Field " + std::to_string(i) + " <input type=text name=field" +
            std::to_string(i) + "></label><br>";
  }
  return page + "<button>Send</button></form>";
}

TTransitFormCard CardFor(int count, int run) {
  TTransitFormCard card;
  for (int i = 0; i < count; ++i) {
    TTransitField& field = card.Fields.Add();
    field.ElementIndex = i;
    field.Name = u"field" + platform::W(std::to_string(i));
    field.TagName = u"input";
    field.InputType = u"text";
    field.Value = u"value " + platform::W(std::to_string(run) + " " + std::to_string(i));
  }
  return card;
}

std::vector<ComPtr<PageElement>> FormsOf(const ComPtr<platform::PageDocument>& document) {
  std::vector<ComPtr<PageElement>> forms;
  const auto all = document->forms();
  for (int32_t i = 0; i < all->length(); ++i)
    forms.push_back(all->item(i));
  return forms;
}

size_t ExtractAll(const ComPtr<platform::PageDocument>& document) {
  size_t fields = 0;
  for (const ComPtr<PageElement>& form : FormsOf(document)) {
    TTransitFormCard card;
    ReadFormFields(form, nullptr, card);
    fields += static_cast<size_t>(card.Fields.Count());
  }
  return fields;
}

// Resident memory of a process, in MB.
double ResidentMb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  }
  return 0;
}

// The browser's processes (its process group), summed. Shared pages count
// once per process, so this is an upper bound.
double GroupResidentMb(pid_t group) {
  double total = 0;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return 0;
  while (dirent* entry = readdir(proc)) {
    const pid_t pid = static_cast<pid_t>(atoi(entry->d_name));
    if (pid > 0 && getpgid(pid) == group) total += ResidentMb(pid);
  }
  closedir(proc);
  return total;
}

// The Playwright baselines (bench/chromium/baselines.mjs), or none.
bool RunBaselines(const std::u16string& url, double& playwright, double& evaluate) {
  const std::string folder = std::string(QM_BENCH_CHROMIUM_DIR);
  if (access((folder + "/node_modules/playwright-core").c_str(), R_OK) != 0) return false;
  const std::string command =
      "node " + folder + "/baselines.mjs '" + platform::U8(url) + "' 5 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  char line[256];
  int found = 0;
  while (fgets(line, sizeof line, pipe) != nullptr) {
    double ms = 0;
    if (sscanf(line, "playwright-fill %lf", &ms) == 1) playwright = ms, ++found;
    if (sscanf(line, "one-evaluate %lf", &ms) == 1) evaluate = ms, ++found;
  }
  pclose(pipe);
  return found == 2;
}

int Run() {
  using namespace std::chrono_literals;
  chromium::testing::PageServer server;
  server.Add("/fill.html", TextInputsPage(200));
  server.Add("/forms.html", bench::Forms());

  // --- start ---
  const auto startBegin = Clock::now();
  auto engine = chromium::ChromiumEngine::Start();
  ComPtr<chromium::ChromiumBrowser> tab = engine->OpenBrowser();
  const double startMs = Ms(Clock::now() - startBegin);

  // --- fill ---
  TLexicon lexicon;
  std::vector<double> fills;
  for (int run = 0; run < 7; ++run) {
    if (!tab->Load(server.Url("/fill.html"))) {
      fprintf(stderr, "bench_chromium: the page did not load\n");
      return 1;
    }
    const auto document = tab->Document().As<platform::PageDocument>();
    const ComPtr<PageElement> form = FormsOf(document).at(0);
    form->sourceIndex();  // the mirror is taken before the clock starts
    const TTransitFormCard card = CardFor(200, run);
    TElementChangingTracker tracker;
    const auto begin = Clock::now();
    const TCardFillResult result = FillFormFromCard(form, card, tracker, lexicon);
    tab->FlushWrites();  // the values are in the page, events raised
    fills.push_back(Ms(Clock::now() - begin));
    if (!result.Complete) {
      fprintf(stderr, "bench_chromium: the fill was incomplete\n");
      return 1;
    }
  }
  const double fillMs = Median(fills);

  // --- extraction ---
  std::vector<double> cold, settled, warm;
  size_t fields = 0;
  for (int run = 0; run < 5; ++run) {
    tab->Load(server.Url("/forms.html"));
    const auto document = tab->Document().As<platform::PageDocument>();
    auto begin = Clock::now();
    fields = ExtractAll(document);
    cold.push_back(Ms(Clock::now() - begin));
    begin = Clock::now();
    ExtractAll(document);
    warm.push_back(Ms(Clock::now() - begin));
    // Once the browser has drawn the page, a changed page costs this much.
    tab->WaitUntil([] { return false; }, 300ms);
    static_cast<chromium::ChromiumDocument*>(document.Get())->MarkChanged();
    begin = Clock::now();
    ExtractAll(document);
    settled.push_back(Ms(Clock::now() - begin));
  }
  std::vector<double> builtIn;
  for (int run = 0; run < 5; ++run) {
    memdom::DocumentOptions options;
    options.Url = u"http://example.com/forms.html";
    const auto begin = Clock::now();
    const auto document = memdom::MemDocument::Load(bench::Forms(), options);
    ExtractAll(ComPtr<platform::PageDocument>(document.Get()));
    builtIn.push_back(Ms(Clock::now() - begin));
  }

  const double browserMb = GroupResidentMb(engine->ProcessGroup());
  const double ownMb = ResidentMb(getpid());

  printf("engine start (browser up, tab ready): %.0f ms\n", startMs);
  printf("chromium fill of 200 text inputs from a card: %.2f ms (median of %zu)\n", fillMs,
         fills.size());
  double playwright = 0, evaluate = 0;
  if (RunBaselines(server.Url("/fill.html"), playwright, evaluate)) {
    printf("playwright locator.fill() x 200: %.2f ms\n", playwright);
    printf("one page.evaluate setting 200 values: %.2f ms\n", evaluate);
    printf("chromium fill / playwright fill: %.4f\n", fillMs / playwright);
    printf("chromium fill / one evaluate: %.2f\n", fillMs / evaluate);
  } else {
    printf("(no Playwright baselines: run bench/chromium/setup)\n");
  }
  printf(
      "extraction of the 2,000-control page (%zu fields): first read after the load %.2f ms, "
      "again unchanged %.2f ms, after a change once the page is drawn %.2f ms\n",
      fields, Median(cold), Median(warm), Median(settled));
  printf("built-in engine, load and extraction of the same page: %.2f ms\n", Median(builtIn));
  printf("memory: browser processes %.0f MB resident (summed), this process %.0f MB\n", browserMb,
         ownMb);
  return 0;
}

}  // namespace
}  // namespace qm

int main() {
  try {
    return qm::Run();
  } catch (const std::exception& e) {
    fprintf(stderr, "bench_chromium: %s\n", e.what());
    return 1;
  }
}
