// The example jobs of examples/ against their reviewed listings and profile
// files in tests/golden/.  Each job runs in-process with the fixed clock in
// its own scratch folder, where its plot and profile files land.
//
// After a deliberate change of the results, rewrite the golden files with
//   KORVA_REGENERATE_GOLDEN=1 ./test_examples
// and review the differences before keeping them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "job_runner.h"

using namespace korva::testing;

namespace {

const std::filesystem::path source_dir = KORVA_SOURCE_DIR;
const std::filesystem::path golden_dir = source_dir / "tests" / "golden";

bool regenerate() {
  const char* v = std::getenv("KORVA_REGENERATE_GOLDEN");
  return v != nullptr && std::string(v) == "1";
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// The first line where the two texts part, with the line before it, in the
// manner of a unified diff.  Empty when the texts are equal.
std::string first_difference(const std::string& file, const std::string& want, const std::string& got) {
  if (want == got) return "";
  const auto a = lines_of(want), b = lines_of(got);
  std::size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  std::ostringstream s;
  s << "--- " << file << " (golden, " << a.size() << " lines)\n"
    << "+++ actual (" << b.size() << " lines)\n"
    << "@@ line " << i + 1 << " @@\n";
  if (i > 0) s << " " << a[i - 1] << "\n";
  s << (i < a.size() ? "-" + a[i] : std::string("-<end of file>")) << "\n"
    << (i < b.size() ? "+" + b[i] : std::string("+<end of file>")) << "\n";
  if (i == a.size() && i == b.size()) s << "(the texts differ only in the last line end)\n";
  return s.str();
}

void expect_same(const std::string& file, const std::string& want, const std::string& got) {
  const std::string d = first_difference(file, want, got);
  if (!d.empty()) ADD_FAILURE() << "\n" << d;
}

struct example_run {
  job_result r;
  std::string cal;
  std::string plot;
};

example_run run_once(const std::string& name) {
  const std::string job = read_file(source_dir / "examples" / (name + ".job"));
  const auto dir = scratch_dir("example_" + name);
  std::filesystem::remove_all(dir);  // no stale profile file from an earlier run
  example_run e;
  e.r = run_job(job, dir);
  if (!e.r.calfile.empty()) e.cal = read_file(dir / e.r.calfile);
  e.plot = read_file(dir / (name + ".ps"));
  return e;
}

// Each example runs once per test program; the tests share the results.
const example_run& run_example(const std::string& name) {
  static std::map<std::string, example_run> runs;
  auto it = runs.find(name);
  if (it == runs.end()) it = runs.emplace(name, run_once(name)).first;
  return it->second;
}

// Numeric fields too narrow for their value are filled with asterisks; apart
// from them only the framed warning block and the heading of the event
// sections hold a run of them.
std::string overflowing_line(const std::string& listing) {
  for (const auto& line : lines_of(listing)) {
    if (line.starts_with("**") || line == "                    *** Multiple diffraction events ***") continue;
    if (line.find("**") != std::string::npos) return line;
  }
  return "";
}

class Example : public ::testing::TestWithParam<const char*> {};

}  // namespace

TEST_P(Example, ListingAndProfileFileMatchTheGoldenFiles) {
  const std::string name = GetParam();
  const auto& e = run_example(name);
  ASSERT_FALSE(e.r.listing.empty()) << name;
  EXPECT_EQ(e.r.status, 0) << e.r.listing;
  EXPECT_EQ(e.r.calfile, name + ".cal");
  EXPECT_EQ(overflowing_line(e.r.listing), "") << name;
  // The diagram is drawn, and none of its numbers overflowed either.
  EXPECT_TRUE(e.plot.starts_with("%!")) << name;
  EXPECT_EQ(e.plot.find("**"), std::string::npos) << name;

  const auto lis_path = golden_dir / (name + ".lis");
  const auto cal_path = golden_dir / (name + ".cal");
  if (regenerate()) {
    std::filesystem::create_directories(golden_dir);
    std::ofstream(lis_path, std::ios::binary) << e.r.listing;
    std::ofstream(cal_path, std::ios::binary) << e.cal;
    std::cout << "wrote " << lis_path.string() << " and " << cal_path.string() << "\n";
    return;
  }
  const std::string want_lis = read_file(lis_path), want_cal = read_file(cal_path);
  ASSERT_FALSE(want_lis.empty()) << "missing golden file " << lis_path;
  ASSERT_FALSE(want_cal.empty()) << "missing golden file " << cal_path;
  expect_same(name + ".lis", want_lis, e.r.listing);
  expect_same(name + ".cal", want_cal, e.cal);
}

INSTANTIATE_TEST_SUITE_P(Examples, Example,
                         ::testing::Values("si222_cu", "si222_cu_sym", "si222_sync", "gaas200_mo", "al2o3_ag",
                                           "nacl_neutron"),
                         [](const auto& info) { return std::string(info.param); });

// Fd-3m from the table and the same operators written in the job file, with
// the F-centred copies of the atom listed by hand, must describe the same
// crystal: from the lattice constants on, the listings are the same, and so
// are the profile files.
TEST(Examples, ExplicitSymmetryLinesGiveTheSameScanAsTheTable) {
  const auto& table = run_example("si222_cu");
  const auto& lines = run_example("si222_cu_sym");
  ASSERT_EQ(table.r.status, 0);
  ASSERT_EQ(lines.r.status, 0);
  const std::string from = "\n Lattice constants input by the user:";
  const auto a = table.r.listing.find(from), b = lines.r.listing.find(from);
  ASSERT_NE(a, std::string::npos);
  ASSERT_NE(b, std::string::npos);
  expect_same("si222_cu.lis", table.r.listing.substr(a), lines.r.listing.substr(b));
  EXPECT_NE(lines.r.listing.find("  24 symmetry lines:"), std::string::npos);
  EXPECT_FALSE(table.cal.empty());
  expect_same("si222_cu.cal", table.cal, lines.cal);
}
