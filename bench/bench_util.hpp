// What the benchmark programs share: timing and their command line.
#ifndef KVR_BENCH_UTIL_HPP
#define KVR_BENCH_UTIL_HPP

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

// The median wall time of `runs` runs of work, in seconds.
inline double median_seconds(const std::function<void()>& work, int runs)
{
  std::vector<double> t;
  for (int r = 0; r < runs; r++) {
    auto start = std::chrono::steady_clock::now();
    work();
    t.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

// The median over `runs` runs of the wall time of one call of work, each run
// repeating the call enough times to last at least min_seconds: a field of
// a few hundred kilobytes is done in tens of microseconds, where a single
// call's time is mostly clock and scheduler noise.  A call that lasts
// min_seconds alone is timed once per run, as median_seconds does.
inline double median_seconds_per_call(const std::function<void()>& work, int runs,
                                      double min_seconds = 0.03)
{
  auto time = [&](long calls) {
    auto start = std::chrono::steady_clock::now();
    for (long c = 0; c < calls; c++)
      work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  long calls = 1;
  for (double t = time(calls); t < min_seconds;) {
    // grow towards the estimate, by at most 100x in case the first call was
    // too short for the clock
    double grow = std::min(100.0, 1.2 * min_seconds / std::max(t, 1e-7));
    calls = std::max(calls + 1, long(std::ceil(double(calls) * grow)));
    t = time(calls);
  }
  std::vector<double> t;
  for (int r = 0; r < runs; r++)
    t.push_back(time(calls) / double(calls));
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

// Parses [--runs N] and, when small is not NULL, [--small]; false (after a
// usage line) for anything else.
inline bool bench_options(int argc, char** argv, const char* name, int* runs, bool* small)
{
  for (int i = 1; i < argc; i++) {
    if (!std::strcmp(argv[i], "--runs") && i + 1 < argc)
      *runs = std::max(1, std::atoi(argv[++i]));
    else if (small && !std::strcmp(argv[i], "--small"))
      *small = true;
    else {
      std::fprintf(stderr, "usage: %s [--runs N]%s\n", name, small ? " [--small]" : "");
      return false;
    }
  }
  return true;
}

#endif
