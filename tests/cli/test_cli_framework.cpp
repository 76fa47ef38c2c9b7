#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>

#include "app/cli/command.h"
#include "app/cli/json.h"

using namespace kelvaro::cli;

TEST(CliArgs, ValuesFlagsAndPositionals) {
  Args a = parseArgs({"in.dxf", "--lat", "52:00N", "--json", "--zone=-5:30", "out.dwg"},
                     {{"--lat"}, {"--zone"}, {"--json", false}});
  EXPECT_EQ(a.positional, (std::vector<std::string>{"in.dxf", "out.dwg"}));
  EXPECT_EQ(a.require("--lat"), "52:00N");
  // A negative zone must not be mistaken for an option when given with '='.
  EXPECT_EQ(a.require("--zone"), "-5:30");
  EXPECT_TRUE(a.flag("--json"));
}

TEST(CliArgs, ErrorsNameTheArgument) {
  auto message = [](auto&& fn) {
    try {
      fn();
    } catch (const UsageError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(message([] { parseArgs({"--bogus"}, {{"--lat"}}); }), "unknown argument --bogus");
  EXPECT_EQ(message([] { parseArgs({"--lat"}, {{"--lat"}}); }), "missing value for argument --lat");
  EXPECT_EQ(message([] { parseArgs({"--json=1"}, {{"--json", false}}); }), "argument --json takes no value");
  Args a = parseArgs({"--height", "12x"}, {{"--height"}});
  EXPECT_EQ(message([&] { a.number("--height"); }), "invalid value for --height: '12x'");
  EXPECT_EQ(message([&] { a.require("--lat"); }), "missing argument --lat");
}

TEST(CliJson, NestingEscapingAndNumbers) {
  JsonWriter w(false);
  w.beginObject()
      .field("a\"b", std::string("x\ny\x01"))
      .field("pi", 3.141592653589793)
      .field("tiny", 1e-300)
      .field("nan", std::numeric_limits<double>::quiet_NaN())
      .key("list")
      .beginArray()
      .value(1)
      .value(true)
      .beginObject()
      .endObject()
      .endArray()
      .endObject();
  EXPECT_EQ(w.str(), "{\"a\\\"b\":\"x\\ny\\u0001\",\"pi\":3.141592653589793,\"tiny\":1e-300,"
                     "\"nan\":null,\"list\":[1,true,{}]}\n");
}

TEST(CliJson, DoublesRoundTripExactly) {
  for (double v : {0.1, 1.0 / 3.0, 123456.789e-7, -273.15, 5e-324}) {
    JsonWriter w(false);
    w.beginArray().value(v).endArray();
    std::string s = w.str();
    double back = std::strtod(s.substr(1, s.size() - 3).c_str(), nullptr);
    EXPECT_EQ(back, v) << s;
  }
}

TEST(CliOutput, AtomicWriteKeepsOldFileOnFailureAndReplacesOnSuccess) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / "kelvaro-atomic-test";
  fs::remove_all(dir);
  fs::create_directories(dir);
  fs::path target = dir / "report.html";
  writeFileAtomically(target.string(), "first");
  writeFileAtomically(target.string(), "second");
  std::ifstream f(target);
  std::string s((std::istreambuf_iterator<char>(f)), {});
  EXPECT_EQ(s, "second");
  // A folder that does not exist cannot take the temporary file: FileError, nothing left behind.
  EXPECT_THROW(writeFileAtomically((dir / "missing" / "x.html").string(), "x"), FileError);
  int files = 0;
  for ([[maybe_unused]] auto& e : fs::directory_iterator(dir)) ++files;
  EXPECT_EQ(files, 1);
  fs::remove_all(dir);
}
