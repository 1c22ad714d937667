// What the benchmark programs share: timing and their command line.
#ifndef KVR_BENCH_UTIL_HPP
#define KVR_BENCH_UTIL_HPP

#include <algorithm>
#include <chrono>
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
