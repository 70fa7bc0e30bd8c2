#include "driver/clock.h"

#include <chrono>
#include <ctime>

#include "io/format.h"

namespace korva {

clock_reading system_clock_reading() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t t = system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
          tm.tm_min,         tm.tm_sec,     static_cast<int32>(ms)};
}

namespace {

void print_date_time(intensity_data& d, const clock_reading& r) {
  io::write(*d.out, R"(31X,"Date: ",I2," . ",I2," . ",I2)", {r.day, r.month, r.year % 100});
  io::write(*d.out, R"(31X,"Time: ",I2," . ",I2," . ",I2)", {r.hour, r.minute, r.second});
}

// Seconds since local midnight with millisecond resolution.
float time_of_day(const clock_reading& r) {
  const int32 ms = ((r.hour * 60 + r.minute) * 60 + r.second) * 1000 + r.millisecond;
  return static_cast<float>(ms) / 1000.0f;
}

}  // namespace

void zeit(intensity_data& d) {
  const clock_reading r = d.clock();
  if (d.clock_on == 0) {
    print_date_time(d, r);
    d.clock_start_day = r.day;
    d.clock_start_seconds = r.hour * 3600 + r.minute * 60 + r.second;
    d.clock_start = time_of_day(r);
    d.clock_on = 1;
    return;
  }
  // A new month since the start: the day difference is unknown, so the
  // date and time are printed again instead of a run time.
  if (r.day < d.clock_start_day) {
    print_date_time(d, r);
    return;
  }
  const int32 dd = r.day - d.clock_start_day;
  const int32 e = dd * 86400 + r.hour * 3600 + r.minute * 60 + r.second - d.clock_start_seconds;
  const int32 h = e / 3600;
  const int32 m = (e - h * 3600) / 60;
  float s = (time_of_day(r) - d.clock_start) + static_cast<float>(dd * 86400);
  s -= static_cast<float>(h * 3600);
  s -= static_cast<float>(m * 60);
  io::write(*d.out, R"(/," CPU-time since program start:",I3,2X,"hours",I5,2X,"minutes",F7.2,2X,"seconds")",
            {h, m, s});
}

}  // namespace korva
