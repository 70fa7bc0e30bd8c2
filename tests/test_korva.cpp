// The run sequence: banner, early stops with their messages, exit status,
// and the name of the profile file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "job_runner.h"

using namespace korva;
using namespace korva::testing;

namespace {
const std::string banner =
    "                       KORVA-99, Version 01.2 (4. 4. 2001)          \n"
    "                       KORVA psi-scan calculator, by the KORVA developers\n"
    "\n"
    "                               Date:  4 .  4 .  1\n"
    "                               Time: 10 .  0 .  0\n";
}

TEST(Korva, EmptyJobFileStopsOnTheFirstLineWithStatusOne) {
  const auto r = run_job("", scratch_dir("empty"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.listing, banner + "\n\nread-error in the first line of the input-file\n");
}

TEST(Korva, ProgramReadsStandardInputAndReportsFailureToTheShell) {
  const std::string cmd = std::string(KORVA_BINARY) + " < /dev/null > korva_null.lis";
  const int rc = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(rc));
  EXPECT_EQ(WEXITSTATUS(rc), 1);
  const std::string lis = read_file("korva_null.lis");
  EXPECT_NE(lis.find("KORVA-99, Version 01.2 (4. 4. 2001)"), std::string::npos);
  EXPECT_NE(lis.find("Date: "), std::string::npos);
  EXPECT_NE(lis.find("Time: "), std::string::npos);
  EXPECT_TRUE(lis.ends_with("\n\n\nread-error in the first line of the input-file\n")) << lis;
}

TEST(Korva, PlotFileThatCannotBeCreatedStopsTheJob) {
  const auto r = run_job("title\n/no/such/folder/x.ps\n", scratch_dir("noplot"));
  EXPECT_EQ(r.status, 1);
  const std::string tail = "\n\n     /no/such/folder/x.ps" + std::string(72 - 20, ' ') +
                           "\n there is no such file or directory, or the file is empty,\n check your input!\n";
  EXPECT_TRUE(r.listing.ends_with(tail)) << r.listing;
  // The title is echoed before the plot file is named.
  EXPECT_NE(r.listing.find("\n\n\n title"), std::string::npos);
}

TEST(Korva, ProfileFileNameReplacesTheExtension) {
  struct row {
    const char* scan;
    const char* plot;
    const char* cal;
  };
  const row rows[] = {
      {"", "x.ps", "x.cal"},
      {"", "  job.ps", "job.cal"},
      {"scan.dat", "x.ps", "scan.cal"},
      {"  m1", "x.ps", "m1.cal"},
      {"", "ab", "a.cal"},
  };
  for (const row& r : rows) {
    std::string scan = pad(r.scan, 72), plot = pad(r.plot, 72);
    EXPECT_EQ(trim_right(make_calfile(scan, plot)), r.cal) << r.scan << "|" << r.plot;
  }
}

TEST(Korva, CellTooLargeForTheSearchStopsInOrder) {
  const std::string job =
      "big cell\nbig.ps\n1000000 5 5 90 90 90\nCu\n0.05 0.05 100 5 0.005\n-180 180 1 0 1 0\n1 1 1\n"
      "C         0.0000    0.00000\n1 1 0 0 0 0.01 0.01 0.01 0 0 0\n1 0 0 0 0 0 0\n";
  const auto r = run_job(job, scratch_dir("bigcell"));
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.listing.ends_with("\n\n The cell is too large for this wavelength: more than 100000 indices per axis\n"))
      << r.listing.substr(r.listing.size() - 300);
}

namespace {
// Silicon 2 2 2 with the Cu tube, a UB matrix and the given scan-file line.
std::string si_job_with_scan(const std::string& radiation, const std::string& scan_line) {
  return "silicon with a scan file\nsi.ps\n5.43102 5.43102 5.43102 90 90 90\n" + radiation +
         "\n0.05 0.05 150. 10. 0.005\n0. 180. 10. 0 1. 0.\n227 1 1\n"
         "Siv     0.2000    0.30001\n"
         "1 0.0416667 0.125 0.125 0.125 0.00587 0.00587 0.00587 0. 0. 0.\n"
         "2 2 2 0. 0. -5. 5.\n"
         "0.1 0.0 0.0\n0.0 0.1 0.0\n0.0 0.0 0.1\n" +
         scan_line + "\n";
}
}  // namespace

TEST(Korva, MissingScanFileStopsAfterTheSetupReport) {
  const auto r = run_job(si_job_with_scan("Cu", "no_such_scan.dat"), scratch_dir("noscan"));
  EXPECT_EQ(r.status, 1);
  const std::string tail = "\n\n     no_such_scan.dat" + std::string(72 - 16, ' ') +
                           "\n there is no such file or directory, or the file is empty,\n check your input!\n";
  EXPECT_TRUE(r.listing.ends_with(tail)) << r.listing.substr(r.listing.size() - 400);
  EXPECT_NE(r.listing.find("Linear absorption coefficient"), std::string::npos);
  EXPECT_EQ(r.listing.find("Multiple diffraction events"), std::string::npos);
}

TEST(Korva, NamedScanFileWithoutReaderIsOpenedAndTheJobGoesOn) {
  // A file without reference reflections: the scale comes from I0, and the
  // profile file takes the scan file's name.
  for (const char* radiation : {"Cu", "2  1.0 5.43102 1 1 1 59.72"}) {
    const auto dir = scratch_dir(std::string("scan") + radiation[0]);
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "m1") << "anything\n";
    const auto r = run_job(si_job_with_scan(radiation, "m1"), dir);
    EXPECT_EQ(r.status, 0) << r.listing.substr(r.listing.size() - 400);
    EXPECT_NE(r.listing.find(" Calculation of the scale factor using the reference reflections of the file:\n   m1"),
              std::string::npos);
    EXPECT_NE(r.listing.find("\n There are no reference reflections in the file\n\n"
                             " Scale factor estimated from the incident intensity I0:\n"),
              std::string::npos);
    EXPECT_EQ(r.calfile, "m1.cal");
    EXPECT_TRUE(std::filesystem::exists(dir / "m1.cal"));
  }
}
