#include <gtest/gtest.h>

#include "support/run_cli.h"

using kelvaro::test::runCli;

TEST(CliEndToEnd, UnknownCommandAndArgumentsExitTwo) {
  auto r = runCli({"no-such-command"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("no-such-command"), std::string::npos);
  r = runCli({"version", "--frobnicate"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--frobnicate"), std::string::npos);
}

TEST(CliEndToEnd, VersionAndHelp) {
  auto r = runCli({"version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Sardon Kelvaro Version 1.08b\n");
  r = runCli({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("version"), std::string::npos);
}
