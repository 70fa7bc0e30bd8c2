// Run clock: first call, elapsed times, midnight and month ends.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "driver/clock.h"

using namespace korva;

namespace {
std::vector<clock_reading> readings;
std::size_t next_reading = 0;
clock_reading scripted() { return readings.at(next_reading++); }

std::string run(std::vector<clock_reading> script) {
  readings = std::move(script);
  next_reading = 0;
  intensity_data d;
  std::ostringstream os;
  d.out = &os;
  d.clock = scripted;
  for (std::size_t i = 0; i < readings.size(); ++i) zeit(d);
  EXPECT_EQ(d.clock_on, 1);
  return os.str();
}

const std::string date_2001 =
    "                               Date:  4 .  4 .  1\n"
    "                               Time: 10 .  0 .  0\n";
}  // namespace

TEST(Clock, FirstCallPrintsBlankPaddedDateAndTime) {
  EXPECT_EQ(run({{2001, 4, 4, 10, 0, 0, 0}}), date_2001);
  EXPECT_EQ(run({{2010, 12, 31, 23, 59, 7, 999}}),
            "                               Date: 31 . 12 . 10\n"
            "                               Time: 23 . 59 .  7\n");
}

TEST(Clock, ElapsedTimeOfARun) {
  EXPECT_EQ(run({{2001, 4, 4, 10, 0, 0, 0}, {2001, 4, 4, 10, 1, 15, 500}}),
            date_2001 + "\n CPU-time since program start:  0  hours    1  minutes  15.50  seconds\n");
}

TEST(Clock, RunPastMidnightCountsHoursOnward) {
  // 23:30 to 00:30.25 the next day, then a run of 25 hours.
  EXPECT_EQ(run({{2001, 4, 4, 23, 30, 0, 0}, {2001, 4, 5, 0, 30, 0, 250}, {2001, 4, 6, 0, 30, 0, 0}}),
            "                               Date:  4 .  4 .  1\n"
            "                               Time: 23 . 30 .  0\n"
            "\n CPU-time since program start:  1  hours    0  minutes   0.25  seconds\n"
            "\n CPU-time since program start: 25  hours    0  minutes   0.00  seconds\n");
}

TEST(Clock, RunPastTheEndOfAMonthPrintsTheDateAgain) {
  EXPECT_EQ(run({{2001, 4, 30, 23, 59, 0, 0}, {2001, 5, 1, 0, 1, 2, 0}}),
            "                               Date: 30 .  4 .  1\n"
            "                               Time: 23 . 59 .  0\n"
            "                               Date:  1 .  5 .  1\n"
            "                               Time:  0 .  1 .  2\n");
}
