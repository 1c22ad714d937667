// Element access of a compressed 2-D double array through the C interface
// (kvr_array_api.array2d): get and set on cache hits, in ns per access, and
// whole sweeps in raster order with a cache that holds a row of blocks and
// with a cache of one block (a miss, and for set a write-back, every 4
// accesses).
//
//   kvr_bench_access [--runs N]
#include "bench_util.hpp"
#include <kvr/array_api.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

namespace {


volatile double sink;

} // namespace

int main(int argc, char** argv)
{
  int runs = 5;
  if (!bench_options(argc, argv, "kvr_bench_access", &runs, nullptr))
    return 1;
  const kvr_array2d_api* api = &kvr_array_api.array2d;
  const size_t nx = 1024, ny = 1024;
  std::vector<double> data(nx * ny);
  for (size_t j = 0; j < ny; j++)
    for (size_t i = 0; i < nx; i++)
      data[i + nx * j] = std::sin(0.01 * double(i)) * std::cos(0.013 * double(j));
  const double rate = 16;
  const size_t row_cache = nx / 4 * 16 * sizeof(double) * 2; // two rows of blocks
  kvr_array2d a = api->ctor(nx, ny, rate, data.data(), row_cache);

  std::printf("kvr_array_api.array2d, %zux%zu doubles, rate %.0f, median of %d runs\n\n", nx, ny, rate, runs);
  // hits: the 16 values of one block, over and over
  const size_t reps = 1u << 22;
  double t = median_seconds([&] {
    double s = 0;
    for (size_t k = 0; k < reps; k++)
      s += api->get(a, k & 3, (k >> 2) & 3);
    sink = s;
  }, runs);
  std::printf("%-34s %8.2f ns/access\n", "get, hit", 1e9 * t / double(reps));
  t = median_seconds([&] {
    for (size_t k = 0; k < reps; k++)
      api->set(a, k & 3, (k >> 2) & 3, double(k));
  }, runs);
  std::printf("%-34s %8.2f ns/access\n", "set, hit", 1e9 * t / double(reps));

  for (int one_block = 0; one_block < 2; one_block++) {
    api->set_cache_size(a, one_block ? 16 * sizeof(double) : row_cache);
    const char* what = one_block ? "one-block cache" : "row-of-blocks cache";
    t = median_seconds([&] {
      double s = 0;
      for (size_t j = 0; j < ny; j++)
        for (size_t i = 0; i < nx; i++)
          s += api->get(a, i, j);
      sink = s;
    }, runs);
    std::printf("get sweep, %-23s %8.2f ns/access\n", what, 1e9 * t / double(nx * ny));
    t = median_seconds([&] {
      for (size_t j = 0; j < ny; j++)
        for (size_t i = 0; i < nx; i++)
          api->set(a, i, j, data[i + nx * j]);
      api->flush_cache(a);
    }, runs);
    std::printf("set sweep, %-23s %8.2f ns/access\n", what, 1e9 * t / double(nx * ny));
  }
  api->dtor(a);
  return 0;
}
