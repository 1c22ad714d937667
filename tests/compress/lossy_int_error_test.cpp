// Lossy integer coding with every bit plane coded: the lifting transform's
// rounding is the only error, from -2..+1 (1-D) to -128..+125 (4-D), the
// same for int32 and int64, and the tolerance of fixed accuracy changes
// nothing.
#include "lossy_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>

namespace {

using lossy::setting;

// Every setting that codes every plane of an integer block.
template <typename T>
std::vector<setting> every_plane()
{
  const double w = double(sizeof(T) * 8);
  return {lossy::default_limits(),
          lossy::accuracy(1e-3, "accuracy 1e-3"),
          lossy::accuracy(0.5, "accuracy 0.5"),
          lossy::accuracy(100, "accuracy 100"),
          lossy::precision(uint32_t(w), "precision of the width"),
          lossy::rate(w + 1, "rate of the width + 1")};
}

template <typename T>
void errors(const std::vector<T>& in, const std::vector<T>& out, int64_t* lo, int64_t* hi)
{
  ASSERT_EQ(in.size(), out.size());
  for (size_t i = 0; i < in.size(); i++) {
    const int64_t e = int64_t(out[i]) - int64_t(in[i]);
    *lo = std::min(*lo, e);
    *hi = std::max(*hi, e);
  }
}

template <typename T>
void extremes_are_reached()
{
  for (const lossy::extreme_block& b : lossy::extreme_blocks()) {
    // shifted away from 0, so that both signs are covered
    for (int64_t shift : {int64_t(0), int64_t(123456789)}) {
      std::vector<T> in;
      for (int64_t v : b.values)
        in.push_back(T(v + shift));
      for (const setting& s : every_plane<T>()) {
        SCOPED_TRACE(std::string(s.name) + " d=" + std::to_string(b.d) + " error " + std::to_string(b.error));
        const std::vector<T> out = lossy::round_trip_block(in, b.d, s);
        ASSERT_EQ(out.size(), in.size());
        EXPECT_EQ(int64_t(out[b.position]) - int64_t(in[b.position]), b.error);
        int64_t lo = 0, hi = 0;
        errors(in, out, &lo, &hi);
        EXPECT_GE(lo, lossy::lowest_error[b.d]);
        EXPECT_LE(hi, lossy::highest_error[b.d]);
      }
    }
  }
}

TEST(LossyIntError, EachBoundIsReached)
{
  const auto blocks = lossy::extreme_blocks();
  ASSERT_EQ(blocks.size(), 8u);
  for (uint32_t d = 1; d <= 4; d++) {
    EXPECT_EQ(blocks[2 * (d - 1)].error, lossy::lowest_error[d]);
    EXPECT_EQ(blocks[2 * (d - 1) + 1].error, lossy::highest_error[d]);
  }
  extremes_are_reached<int32_t>();
  extremes_are_reached<int64_t>();
}

// Random blocks, small and large, smooth and not, stay inside the bounds.
template <typename T>
void random_blocks_stay_within()
{
  std::mt19937_64 rng(7);
  for (uint32_t d = 1; d <= 4; d++) {
    const unsigned n = 1u << (2 * d);
    int64_t lo = 0, hi = 0;
    for (int trial = 0; trial < 300; trial++) {
      const int64_t span = int64_t(1) << (trial % 3 == 0 ? 8 : trial % 3 == 1 ? 20 : 29);
      std::vector<T> in(n);
      for (unsigned i = 0; i < n; i++)
        in[i] = T(int64_t(rng() % uint64_t(2 * span)) - span + (trial % 2 ? int64_t(i) * (span >> 10) : 0));
      const std::vector<T> out = lossy::round_trip_block(in, d, lossy::default_limits());
      errors(in, out, &lo, &hi);
    }
    EXPECT_GE(lo, lossy::lowest_error[d]) << "d=" << d;
    EXPECT_LE(hi, lossy::highest_error[d]) << "d=" << d;
  }
}

TEST(LossyIntError, RandomBlocksStayWithinTheBounds)
{
  random_blocks_stay_within<int32_t>();
  random_blocks_stay_within<int64_t>();
}

// The tolerance leaves the stream as the default limits write it.
template <typename T>
void tolerance_changes_nothing()
{
  std::mt19937_64 rng(11);
  for (uint32_t d = 1; d <= 4; d++) {
    const size_t n[4] = {7, 6, 5, 3};
    size_t count = 1;
    for (uint32_t k = 0; k < d; k++)
      count *= n[k];
    std::vector<T> in(count);
    for (size_t i = 0; i < count; i++)
      in[i] = T(int64_t(i * i) - int64_t(rng() % 1000));
    std::vector<unsigned char> plain, bytes;
    const std::vector<T> expected = lossy::round_trip(in, d, n, lossy::default_limits(), &plain);
    for (double tolerance : {1e-3, 0.5, 100.0, 1e300}) {
      const std::vector<T> out = lossy::round_trip(in, d, n, lossy::accuracy(tolerance, ""), &bytes);
      EXPECT_EQ(bytes, plain) << "d=" << d << " tolerance " << tolerance;
      EXPECT_EQ(out, expected) << "d=" << d << " tolerance " << tolerance;
    }
  }
}

TEST(LossyIntError, ToleranceChangesNothing)
{
  tolerance_changes_nothing<int32_t>();
  tolerance_changes_nothing<int64_t>();
}

// The field of smooth values with noise: a 64 x 64 int32 (and int64)
// field takes the same bytes at the default limits and at tolerances
// 1e-3, 0.5 and 100 (6536, int64 7560), and its errors are -3 .. +2 at
// each of them.
template <typename T>
void field_figure(size_t expected_bytes, int64_t expected_lo, int64_t expected_hi)
{
  const size_t m = 64, n[4] = {m, m, 0, 0};
  std::vector<T> in(m * m);
  for (size_t y = 0; y < m; y++)
    for (size_t x = 0; x < m; x++) {
      const uint32_t h = uint32_t(x + m * y) * 2654435761u;
      in[x + m * y] = T(int32_t(1000 * x * y) - int32_t(300 * x * x) + int32_t(h >> 22));
    }
  const setting settings[] = {lossy::default_limits(), lossy::accuracy(1e-3, "accuracy 1e-3"),
                              lossy::accuracy(0.5, "accuracy 0.5"), lossy::accuracy(100, "accuracy 100")};
  std::vector<unsigned char> plain;
  for (const setting& s : settings) {
    std::vector<unsigned char> bytes;
    const std::vector<T> out = lossy::round_trip(in, 2, n, s, &bytes);
    int64_t lo = 0, hi = 0;
    errors(in, out, &lo, &hi);
    std::printf("field of smooth values with noise, %s, %s: %zu bytes, largest error %lld (%lld .. %+lld)\n",
                sizeof(T) == 4 ? "int32" : "int64", s.name, bytes.size(), (long long)std::max(-lo, hi),
                (long long)lo, (long long)hi);
    EXPECT_EQ(bytes.size(), expected_bytes) << s.name;
    EXPECT_EQ(lo, expected_lo) << s.name;
    EXPECT_EQ(hi, expected_hi) << s.name;
    if (plain.empty())
      plain = bytes;  // the default limits'
    EXPECT_EQ(bytes, plain) << s.name;
  }
}

TEST(LossyIntError, FieldFigure)
{
  field_figure<int32_t>(6536, -3, 2);
  field_figure<int64_t>(7560, -3, 2);
}

} // namespace
