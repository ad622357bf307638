#include <gtest/gtest.h>

#include "tools/ToolTesting.h"

namespace qm::tool {
namespace {

ToolRun Tool(const std::vector<std::string>& args) { return RunToolCapture(args); }

TEST(CommaTextCommand, EncodeJoinsItemsAndKeepsEmptyOnes) {
  const ToolRun r = Tool({"commatext", "encode", "a", "", "b"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out, "a,,b\n");
  EXPECT_EQ(Tool({"commatext", "encode", "New York", "\xC3\xA9"}).Out, "\"New York\",\xC3\xA9\n");
}

TEST(CommaTextCommand, DecodePrintsOneItemPerLine) {
  const ToolRun r = Tool({"commatext", "decode", "\"New York\",,x"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out, "New York\n\nx\n");
}

TEST(CommaTextCommand, BadInputExitsTwoWithOneLine) {
  ToolRun r = Tool({"commatext", "decode"});
  EXPECT_EQ(r.Status, 2);
  EXPECT_EQ(r.Err, "qmtool commatext decode: expects exactly one TEXT\n");
  r = Tool({"commatext", "encode", "\xFF"});
  EXPECT_EQ(r.Status, 2);
  EXPECT_EQ(r.Err, "qmtool commatext encode: Invalid UTF-8 at byte 0\n");
  EXPECT_EQ(Tool({"commatext", "encode", "-x"}).Status, 2);
  EXPECT_EQ(Tool({"nothing"}).Status, 2);
}

TEST(CommaTextCommand, HelpAndDoubleDash) {
  ToolRun r = Tool({"commatext", "encode", "--help"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_NE(r.Out.find("usage: qmtool commatext encode"), std::string::npos);
  r = Tool({"commatext", "encode", "--", "--help", "-x"});
  EXPECT_EQ(r.Out, "--help,-x\n");
  EXPECT_EQ(Tool({"--help"}).Status, 0);
}

}  // namespace
}  // namespace qm::tool
