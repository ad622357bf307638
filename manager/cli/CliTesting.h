// Runs quillora-manager's commands in process against a test's own store.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "manager/cli/ManagerCli.h"
#include "manager/recognition/DefaultContent.h"
#include "manager/store/StoreTesting.h"

namespace qm::manager::cli::testing {

struct TRun {
  int Status = 0;
  std::string Out;
  std::string Err;
};

class ManagerCliTest : public ::testing::Test {
protected:
  ManagerCliTest() { TManagerStore(path_, &DefaultContent()); }

  // Runs the command against db (this test's store without it); terminal
  // pretends that standard input and error are a terminal.
  TRun Run(std::vector<std::string> args, const std::string& input = {},
           const std::string& db = {}, bool terminal = false) {
    // The store first, as a global option: the command's own arguments
    // may end with "--".
    args.insert(args.begin(), {"--db", db.empty() ? path_ : db});
    std::istringstream in(input);
    std::ostringstream out, err;
    ToolContext io{in, out, err, terminal, terminal};
    TRun run;
    run.Status = RunManager(args, io);
    run.Out = out.str();
    run.Err = err.str();
    return run;
  }
  TRun Ok(std::vector<std::string> args, const std::string& input = {}) {
    TRun run = Run(std::move(args), input);
    EXPECT_EQ(run.Status, 0) << run.Err;
    return run;
  }
  static std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
  }

  manager::testing::TTempDir dir_;
  std::string path_ = dir_.File("store/manager.db");
};

}  // namespace qm::manager::cli::testing
