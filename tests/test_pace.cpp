// The choice between the bands and one thread, on a clock the test moves.
#include <gtest/gtest.h>

#include <vector>

#include "solvers/pace.h"

namespace {

class FakeClock final : public solvers::Pace::Clock {
 public:
  double now = 0.0;
  double seconds() const override { return now; }
};

// Runs of 10 sweeps at the given time per sweep for each way; the ways taken.
std::vector<bool> ways(solvers::Pace& pace, FakeClock& clock, int runs, double alone, double bands) {
  std::vector<bool> taken;
  for (int r = 0; r < runs; ++r) {
    const bool threads = pace.threads_next();
    taken.push_back(threads);
    pace.start();
    clock.now += 10 * (threads ? bands : alone);
    pace.finish(threads, 10);
  }
  return taken;
}

TEST(Pace, TakesTheFasterWayAndTriesTheOtherEveryFewRuns) {
  struct Row {
    const char* what;
    double alone, bands;
    std::vector<bool> want;
  };
  const Row rows[] = {
      // Both ways measured first, then the faster, with a try of the other after 4 runs.
      {"bands faster", 2.0, 1.0, {true, false, true, true, false, true, true, true, true, false}},
      {"alone faster", 1.0, 2.0, {true, false, false, false, true, false, false, false, false, true}},
  };
  for (const Row& r : rows) {
    FakeClock clock;
    solvers::Pace pace(clock, 4);
    EXPECT_EQ(ways(pace, clock, 10, r.alone, r.bands), r.want) << r.what;
  }
}

TEST(Pace, FollowsALoadThatComesAndGoes) {
  FakeClock clock;
  solvers::Pace pace(clock, 4);
  ways(pace, clock, 6, 2.0, 1.0);
  // Another job takes a processor: the bands slow down four times. One run
  // shows it, one thread takes the runs, and a try of the bands now and then
  // finds them still slow.
  const std::vector<bool> busy = ways(pace, clock, 8, 2.0, 4.0);
  EXPECT_EQ(busy, (std::vector<bool>{true, false, false, true, false, false, false, false}));
  // The other job ends: the next try of the bands wins the runs back.
  const std::vector<bool> free = ways(pace, clock, 6, 2.0, 1.0);
  EXPECT_EQ(free, (std::vector<bool>{true, true, true, true, true, false}));
}

}  // namespace
