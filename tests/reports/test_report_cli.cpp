// The report command end to end: pages, messages, exit status, files.
#include <gtest/gtest.h>

#include <filesystem>

#include "reports/ReportBuilder.h"
#include "support/run_cli.h"

using namespace kelvaro;
using kelvaro::test::readAll;
using kelvaro::test::runCli;

TEST(ReportCli, WritesTheSamePageAsTheBuilder) {
  auto r = runCli({"report", "sunrise", "--lat", "52N", "--lon", "0:00:00W", "--zone", "0", "--date", "2003-02-15",
                   "--today", "2026-12-08"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  reports::ReportInputs in;
  SiteInputs si;
  si.Day = 15, si.Month = 2, si.Year = 2003;
  ReadSiteInputs(si, in.Site);
  in.Date = in.Site.Date;
  in.Today = {8, 12, 2026};
  EXPECT_EQ(r.out, reports::BuildSunriseSunsetReport(in));
  EXPECT_NE(r.out.find("Extract from Sardon Kelvaro, December 08, 2026"), std::string::npos);
}

TEST(ReportCli, MessagesAndExitStatus) {
  // A daily page cannot be built when one day has no sunset.
  auto r = runCli({"report", "risesetaz", "--lat", "70N", "--date", "2024-06-10"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, "Error: The sun never sets\n");
  EXPECT_EQ(r.out, "");
  // An hourly page reports it and goes on.
  r = runCli({"report", "azalt", "--lat", "70N", "--date", "2024-06-21"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "Information: The sun never sets\n");
  EXPECT_NE(r.out.find("<b>Sunrise:</b></font></td><td width=\"125\" valign=\"top\" align=\"left\"><font size=\"2\">00:00:00<"),
            std::string::npos);
  // No shadow profile: its message and no page.
  r = runCli({"report", "vshadow", "--lat", "65N", "--date", "2024-12-21", "--threshold", "45"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, "Information: No shadows are cast for these settings. Try changing Shadow Threshold.\n");
  // Bad arguments name themselves.
  r = runCli({"report", "weekly"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("KIND"), std::string::npos);
  r = runCli({"report", "incidence", "--inclination", "91"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--inclination"), std::string::npos);
}

TEST(ReportCli, OrientationAndUnitsReachThePage) {
  auto r = runCli({"report", "hsavsa", "--orientation", "270", "--date", "2024-03-20"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(">270 degs<"), std::string::npos);
  r = runCli({"report", "incidence", "--orientation", "180", "--inclination", "45", "--date", "2024-03-20"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("<font size=\"2\"> 45 degs</font>"), std::string::npos);
  r = runCli({"report", "hshadow", "--height", "120", "--units", "inches", "--date", "2024-06-21"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(">120 inches<"), std::string::npos);
  EXPECT_NE(r.out.find("<br>(inches)</font></td>"), std::string::npos);
}

#ifdef KELVARO_CLI_HAS_PDF
TEST(ReportCli, PrintsToPdfAndWritesFiles) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("kelvaro-report-cli-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  fs::path pdf = dir / "noon.pdf", html = dir / "noon.html";
  auto r = runCli({"report", "noonalt", "--date", "2024-06-01", "--pdf", pdf.string(), "--output", html.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(readAll(pdf).rfind("%PDF", 0), 0u);
  EXPECT_EQ(readAll(html).rfind("<html><body background=\"stippl1.jpg\">", 0), 0u);
  r = runCli({"report", "noonalt", "--pdf", (dir / "missing" / "x.pdf").string()});
  EXPECT_EQ(r.status, 4);
  fs::remove_all(dir);
}
#endif
