#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <utility>

#include "tools/PageToolTesting.h"
#include "tools/ToolTesting.h"

namespace qm::tool {
namespace {

using testing::ParseJson;
using testing::TPageFolder;

// The page's own cards, with the values a user stored for them.
std::string StoredCards(const TPageFolder& folder, const std::string& page) {
  const ToolRun extracted = RunToolCapture({"extract", page, "--parts", "3"});
  EXPECT_EQ(extracted.Status, 0) << extracted.Err;
  TJson set = ParseJson(extracted.Out);
  TJson& shop = set["Cards"][0]["Fields"];
  shop[0]["Value"] = "Jonathan Livingston";
  shop[0]["ProfileField"] = "Full name";
  shop[2]["Value"] = "jo@example.com";
  shop[3]["Value"] = " CHILE ";
  shop[4]["Value"] = "Leave it <at> the door & ring";
  shop[5]["Value"] = "false";
  set["Cards"][0]["SubmitFieldIndex"] = 6;
  set["Cards"][1]["Fields"][0]["Value"] = "jo";
  return folder.Write("cards.json", set.dump());
}

// The printed lines as (form, name) -> value, checking their shape.
std::map<std::pair<int, std::string>, std::string> Values(const std::string& out) {
  std::map<std::pair<int, std::string>, std::string> values;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    const TJson control = ParseJson(line);
    EXPECT_EQ(control.size(), 5u) << line;
    values[{control["Form"].get<int>(), control["Name"].get<std::string>()}] =
        control["Value"].get<std::string>();
  }
  return values;
}

TEST(FillCommand, EveryFormTakesItsBestCardAndEveryFieldIsPrinted) {
  const TPageFolder folder("fill-shop");
  const std::string page = folder.WriteShop();
  const ToolRun r = RunToolCapture({"fill", page, "--card", StoredCards(folder, page)});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Err,
            "form 0: card 0 (score 100), every field filled\n"
            "form 1: card 1 (score 100), every field filled\n");
  const auto values = Values(r.Out);
  ASSERT_EQ(values.size(), 9u);
  EXPECT_EQ(values.at({0, "fullname"}), "Jonathan L") << "cut to the input's maxlength";
  EXPECT_EQ(values.at({0, "token"}), "abc") << "hidden inputs are not filled";
  EXPECT_EQ(values.at({0, "mail"}), "jo@example.com");
  EXPECT_EQ(values.at({0, "country"}), "cl") << "chosen by its text";
  EXPECT_EQ(values.at({0, "news"}), "false");
  EXPECT_EQ(values.at({1, "user"}), "jo") << "the frame's form is filled too";
}

TEST(FillCommand, TheWrittenPageReadsBackWithTheFilledValues) {
  const TPageFolder folder("fill-out");
  const std::string page = folder.WriteShop();
  const std::string filled = (folder.Root() / "filled.html").string();
  const ToolRun r =
      RunToolCapture({"fill", page, "--card", StoredCards(folder, page), "--out", filled});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const ToolRun again = RunToolCapture({"extract", filled});
  ASSERT_EQ(again.Status, 0) << again.Err;
  const TJson card = ParseJson(again.Out)["Cards"][0];
  EXPECT_EQ(card["Charset"], "utf-8") << "the page now says what it is written in";
  const TJson& fields = card["Fields"];
  EXPECT_EQ(fields[0]["Value"], "Jonathan L");
  EXPECT_EQ(fields[0]["ProfileField"], "") << "the binding attribute is the page's own state";
  EXPECT_EQ(fields[3]["Value"], "cl");
  EXPECT_EQ(fields[4]["Value"], "Leave it <at> the door & ring");
  EXPECT_EQ(fields[5]["Value"], "false");
  // Opening the page shows the marks of bound fields.
  std::ifstream file(filled);
  const std::string markup((std::istreambuf_iterator<char>(file)), {});
  EXPECT_NE(markup.find("title=\"bind with <Full name>\""), std::string::npos) << markup;
  EXPECT_EQ(markup.rfind("<!DOCTYPE html>\n<html lang=\"en\">", 0), 0u);
}

TEST(FillCommand, NoMatchingCardExitsOneAndLeavesThePageAlone) {
  const TPageFolder folder("fill-none");
  const std::string page = folder.WriteShop();
  const std::string cards = folder.Write("cards.json", R"({"Cards": [{"Method": "post", "Fields": [
        {"ElementIndex": 0, "Name": "other", "TagName": "input", "InputType": "text"}]}]})");
  const ToolRun r = RunToolCapture({"fill", page, "--card", cards});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err, "form 0: no card matches\nform 1: no card matches\n");
  EXPECT_EQ(Values(r.Out).at({0, "fullname"}), "");
}

TEST(FillCommand, BadArgumentsExitTwoWithAClearMessage) {
  const TPageFolder folder("fill-bad");
  const std::string page = folder.WriteShop();
  ToolRun r = RunToolCapture({"fill", page});
  EXPECT_EQ(r.Status, 2);
  EXPECT_EQ(r.Err, "qmtool fill: needs --card CARD.json, the form set to fill from\n");
  const std::string bad = folder.Write("bad.json", R"({"Cards": [{"Fields": 3}]})");
  r = RunToolCapture({"fill", page, "--card", bad});
  EXPECT_EQ(r.Status, 2);
  EXPECT_EQ(r.Err.rfind("qmtool fill: " + bad + ": Cards[0].Fields: ", 0), 0u) << r.Err;
  const std::string empty = folder.Write("empty.json", "{}");
  r = RunToolCapture({"fill", page, "--card", empty});
  EXPECT_EQ(r.Err, "qmtool fill: " + empty + ": holds no card to fill from\n");
  r = RunToolCapture({"fill", "-", "--card", "-"});
  EXPECT_EQ(r.Err, "qmtool fill: only one of PAGE, CARD and --lexicon can be standard input\n");
  const std::string nowhere = (folder.Root() / "no/such/folder/x.html").string();
  r = RunToolCapture({"fill", page, "--card", StoredCards(folder, page), "--out", nowhere});
  EXPECT_EQ(r.Status, 1) << "the system refused: a failure, with its reason";
  EXPECT_EQ(r.Err.substr(r.Err.find("qmtool fill:")),
            "qmtool fill: cannot write " + nowhere + ": No such file or directory\n");
  r = RunToolCapture({"fill", "--help"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out.rfind("usage: qmtool fill PAGE --card", 0), 0u) << r.Out;
}

TEST(FillCommand, OptionsAreMatchedThroughTheLexiconGiven) {
  const TPageFolder folder("fill-lexicon");
  const std::string page = folder.Write(
      "country.html",
      "<form action=/a><select name=c><option>Kingdom of Spain<option>Republic of Chile"
      "</select></form>");
  const ToolRun extracted = RunToolCapture({"extract", page});
  ASSERT_EQ(extracted.Status, 0) << extracted.Err;
  TJson set = ParseJson(extracted.Out);
  set["Cards"][0]["Fields"][0]["ValueKind"] = 5;
  set["Cards"][0]["Fields"][0]["Value"] = "";
  set["Cards"][0]["Fields"][0]["Values"] = "chile";
  const std::string cards = folder.Write("cards.json", set.dump());
  const ToolRun lexicon =
      RunToolCapture({"lexicon", "encode", "-"},
                     R"({"Separators": " ", "StopWords": ["kingdom", "republic", "of"]})");
  ASSERT_EQ(lexicon.Status, 0) << lexicon.Err;
  const std::string lexiconFile = folder.Write("lexicon.bin", lexicon.Out);

  const ToolRun plain = RunToolCapture({"fill", page, "--card", cards});
  EXPECT_EQ(plain.Err, "form 0: card 0 (score 100), some fields not found\n")
      << "the initial lexicon keeps the country's title";
  const ToolRun r = RunToolCapture({"fill", page, "--card", cards, "--lexicon", lexiconFile});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Err, "form 0: card 0 (score 100), every field filled\n");
  EXPECT_EQ(Values(r.Out).at({0, "c"}), "\"Republic of Chile\"") << "a comma text of the chosen";

  const ToolRun corrupt =
      RunToolCapture({"fill", page, "--card", cards, "--lexicon", folder.Write("bad.bin", "xy")});
  EXPECT_EQ(corrupt.Status, 2);
  EXPECT_NE(corrupt.Err.find("bad.bin: corrupt lexicon stream at byte"), std::string::npos)
      << corrupt.Err;
  EXPECT_EQ(RunToolCapture({"fill", "-", "--card", cards, "--lexicon", "-"}).Status, 2)
      << "one standard input for two files";
}

}  // namespace
}  // namespace qm::tool
