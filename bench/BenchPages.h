// The pages the benchmarks load, and the floor they are measured against.
//
// Forms(): a page of 2,000 controls in 20 forms (text inputs, checkboxes,
// selects, textareas and radio groups, each in a table row with a label).
// Big(): a 5 MB page made like a real one (navigation, articles with inline
// markup, tables of links, inline scripts and styles, comments, and a small
// comment form in every fourth block). Both are made once per process, the
// same bytes every run. GumboParse is the bare Gumbo parse of a page
// (Gumbo's default options, output destroyed), the floor of any load.
#pragma once

#include <benchmark/benchmark.h>
#include <gumbo.h>

#include <random>
#include <string>

namespace qm::bench {

inline std::string FormsPage() {
  std::string page = "<!DOCTYPE html><html><head><title>Checkout</title></head><body>";
  for (int f = 0; f < 20; ++f) {
    page += "<form action='/submit" + std::to_string(f) + "' method=post><table>";
    for (int c = 0; c < 100; ++c) {
      const std::string name = "f" + std::to_string(f) + "_c" + std::to_string(c);
      page += "<tr><td><label for=" + name + ">Field " + std::to_string(c) + "</label></td><td>";
      switch (c % 5) {
        case 0:
          page += "<input type=text id=" + name + " name=" + name + " value='v'>";
          break;
        case 1:
          page += "<input type=checkbox name=" + name + " checked>";
          break;
        case 2:
          page += "<select name=" + name + "><option>One<option selected>Two<option>Three</select>";
          break;
        case 3:
          page += "<textarea name=" + name + ">text</textarea>";
          break;
        default:
          page += "<input type=radio name=r" + std::to_string(f) + " value=" + name + ">";
      }
      page += "</td></tr>";
    }
    page += "</table><input type=submit value=Send></form>";
  }
  return page + "</body></html>";
}

inline std::string RealWorldPage(size_t size) {
  std::mt19937 random(42);
  static const char* const words[] = {"the",  "quick", "brown",  "fox",    "jumps", "over",
                                      "lazy", "dog",   "price",  "order",  "news",  "world",
                                      "café", "data",  "search", "result", "page",  "&amp;"};
  auto text = [&](int count) {
    std::string out;
    for (int i = 0; i < count; ++i) {
      out += words[random() % 18];
      out += i % 9 == 8 ? ". " : " ";
    }
    return out;
  };
  std::string page =
      "<!DOCTYPE html><html><head><meta charset=utf-8><title>Portal</title>"
      "<style>body{font:12px sans-serif} .nav a{color:#333}</style>"
      "<script>var config = {a: 1, b: '<div>'}; function go(x) { return x < 3; }</script>"
      "</head><body><div class=nav><ul>";
  for (int i = 0; i < 30; ++i) {
    page += "<li><a href='/section/" + std::to_string(i) + "'>" + text(2) + "</a></li>";
  }
  page += "</ul></div><form action=/search><input name=q><input type=submit value=Go></form>";
  int block = 0;
  while (page.size() < size) {
    switch (block++ % 4) {
      case 0:
        page += "<div class=article><h2>" + text(6) + "</h2><p>" + text(40) + "<b>" + text(3) +
                "</b> " + text(20) + "<a href='/a/" + std::to_string(block) + "'>" + text(2) +
                "</a>. <i>" + text(5) + "</i></p><p>" + text(60) + "</p></div>\n";
        break;
      case 1:
        page += "<table class=list>";
        for (int r = 0; r < 10; ++r) {
          page += "<tr><td><a href='/item?id=" + std::to_string(block * 10 + r) + "'>" + text(3) +
                  "</a></td><td>" + text(4) + "</td><td>$" + std::to_string(r * 7) + "</td></tr>";
        }
        page += "</table>\n";
        break;
      case 2:
        page += "<!-- block " + std::to_string(block) + " --><script>track(" +
                std::to_string(block) + ", 'x<y');</script><span class=ad>" + text(8) + "</span>\n";
        break;
      default:
        page += "<form action=/comment method=post><input type=hidden name=id value=" +
                std::to_string(block) +
                "><textarea name=body></textarea><select name=rate><option>1<option>2"
                "<option>3</select><input type=submit></form>\n";
    }
  }
  return page + "</body></html>";
}

inline const std::string& Forms() {
  static const std::string page = FormsPage();
  return page;
}

inline const std::string& Big() {
  static const std::string page = RealWorldPage(5 * 1024 * 1024);
  return page;
}

inline void GumboParse(benchmark::State& state, const std::string& page) {
  for (auto _ : state) {
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, page.data(), page.size());
    benchmark::DoNotOptimize(output);
    gumbo_destroy_output(&kGumboDefaultOptions, output);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}

}  // namespace qm::bench
