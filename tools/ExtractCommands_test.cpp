#include <gtest/gtest.h>

#include "platform/net/AddressJoin.h"
#include "platform/rtl/Utf.h"
#include "tools/PageToolTesting.h"
#include "tools/ToolTesting.h"

namespace qm::tool {
namespace {

using testing::ParseJson;
using testing::TPageFolder;

std::string FileAddress(const std::filesystem::path& path) {
  return platform::U8(platform::AddressFromFilePath(path.string()));
}

TEST(ExtractCommand, OneCardPerFormThePagesOwnThenThoseOfItsLocalFrames) {
  const TPageFolder folder("extract-frames");
  const ToolRun r = RunToolCapture({"extract", folder.WriteShop()});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const TJson set = ParseJson(r.Out);
  ASSERT_EQ(set["Cards"].size(), 2u);
  const TJson& shop = set["Cards"][0];
  EXPECT_EQ(shop["Url"], "file:///cart/submit.php")
      << "resolved against the page and cut before the query";
  EXPECT_EQ(shop["Method"], "post");
  EXPECT_EQ(shop["Charset"], "windows-1252");
  EXPECT_NE(shop["FormHtml"].get<std::string>().find("<textarea name=\"note\">"),
            std::string::npos);
  EXPECT_FALSE(shop["CurrentForm"]);
  const TJson& fields = shop["Fields"];
  ASSERT_EQ(fields.size(), 7u);
  EXPECT_EQ(fields[1]["ElementIndex"], -1);
  EXPECT_EQ(fields[1]["Value"], "abc");
  EXPECT_EQ(fields[2]["InputType"], "email");
  EXPECT_EQ(fields[3]["Value"], "Choose") << "an option without value reads as its text";
  EXPECT_EQ(fields[4]["Value"], "caf\xC3\xA9") << "read in the page's own character set";
  EXPECT_EQ(fields[5]["Value"], "true");
  EXPECT_EQ(fields[6]["ElementIndex"], 5);

  const TJson& login = set["Cards"][1];
  EXPECT_EQ(login["Url"], FileAddress(folder.Root() / "login.cgi"));
  EXPECT_EQ(login["Method"], "get");
  ASSERT_EQ(login["Fields"].size(), 2u) << "the button is no field";
  EXPECT_EQ(login["Fields"][1]["InputType"], "password");
}

TEST(ExtractCommand, UrlGivesTheAddressesAndServesFramesFromThePagesFolder) {
  const TPageFolder folder("extract-url");
  const ToolRun r = RunToolCapture(
      {"extract", folder.WriteShop(), "--url", "http://www.shop.example/checkout/", "--parts=3"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const TJson set = ParseJson(r.Out);
  ASSERT_EQ(set["Cards"].size(), 2u);
  EXPECT_EQ(set["Cards"][0]["Url"], "http://www.shop.example/cart/submit.php");
  EXPECT_EQ(set["Cards"][0]["Charset"], "") << "not asked for";
  EXPECT_EQ(set["Cards"][0]["FormHtml"], "");
  EXPECT_EQ(set["Cards"][1]["Url"], "http://www.shop.example/checkout/login.cgi");
}

TEST(ExtractCommand, FramesFromElsewhereStayEmptyAndOneCardIsTheCurrentForm) {
  const TPageFolder folder("extract-remote");
  folder.Write("secret.html", "<form><input name=secret></form>");
  const std::string page = folder.Write(
      "site/page.html",
      "<form><input name=q></form><iframe src='http://elsewhere.example/f.html'></iframe>"
      "<iframe src='%2e%2e/secret.html'></iframe><iframe src='missing.html'></iframe>");
  const ToolRun r = RunToolCapture({"extract", page, "--url", "http://h.example/site/page.html"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const TJson set = ParseJson(r.Out);
  ASSERT_EQ(set["Cards"].size(), 1u) << "nothing outside the page's folder is read";
  EXPECT_TRUE(set["Cards"][0]["CurrentForm"]);
}

TEST(ExtractCommand, PartsChooseTheHeader) {
  const TPageFolder folder("extract-parts");
  const std::string page = folder.WriteShop();
  ToolRun r = RunToolCapture({"extract", page, "--parts", "12"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  TJson card = ParseJson(r.Out)["Cards"][0];
  EXPECT_EQ(card["Url"], "");
  EXPECT_EQ(card["Method"], "");
  EXPECT_EQ(card["Charset"], "windows-1252");
  EXPECT_NE(card["FormHtml"], "");
  for (const char* bad : {"16", "-1", "x", ""}) {
    r = RunToolCapture({"extract", page, "--parts", bad});
    EXPECT_EQ(r.Status, 2) << bad;
    EXPECT_EQ(r.Err, std::string("qmtool extract: --parts expects a number from 0 to 15, not '") +
                         bad + "'\n");
  }
}

TEST(ExtractCommand, BadArgumentsExitTwoWithAClearMessage) {
  const TPageFolder folder("extract-bad");
  const std::string missing = (folder.Root() / "missing.html").string();
  // A file that cannot be opened is a failure (1) with the system's reason.
  ToolRun r = RunToolCapture({"extract", missing});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err, "qmtool extract: cannot open " + missing + ": No such file or directory\n");
  EXPECT_EQ(r.Out, "");
  r = RunToolCapture({"extract"});
  EXPECT_EQ(r.Err, "qmtool extract: expects exactly one PAGE file (see --help)\n");
  r = RunToolCapture({"extract", folder.WriteShop(), "--url", "shop.html"});
  EXPECT_EQ(r.Err, "qmtool extract: --url: 'shop.html' is not an absolute address\n");
  r = RunToolCapture({"extract", "--frames", "x.html"});
  EXPECT_EQ(r.Err, "qmtool extract: unknown option --frames\n");
  r = RunToolCapture({"extract", "--url"});
  EXPECT_EQ(r.Err, "qmtool extract: --url needs a value\n");
}

TEST(ExtractCommand, ReadsStandardInputAndAnswersHelp) {
  ToolRun r = RunToolCapture({"extract", "-", "--url", "http://h.example/a/"},
                             "<form action=go method=post><input name=q value=x></form>");
  ASSERT_EQ(r.Status, 0) << r.Err;
  const TJson card = ParseJson(r.Out)["Cards"][0];
  EXPECT_EQ(card["Url"], "http://h.example/a/go");
  EXPECT_EQ(card["Fields"][0]["Value"], "x");
  r = RunToolCapture({"extract", "--help"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out.rfind("usage: qmtool extract PAGE", 0), 0u) << r.Out;
}

}  // namespace
}  // namespace qm::tool
