// Headroom of lossy integer coding.  The transform's sums wrap in two's
// complement, so the error bounds hold for 1-D values from MIN + 2 to
// MAX - 1 and for 2-D to 4-D values from -2^(W-2) to 2^(W-2) - 1, short of
// a block holding both of those; a value beyond them can wrap.
// Reversible coding keeps every value.
#include "lossy_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <random>

namespace {

using lossy::setting;

template <typename T>
std::vector<setting> every_plane()
{
  const double w = double(sizeof(T) * 8);
  return {lossy::default_limits(), lossy::precision(64, "precision 64"), lossy::rate(w + 1, "rate of the width + 1")};
}

// |a - b| exactly, whatever the values.
template <typename T>
uint64_t distance(T a, T b)
{
  using U = typename std::make_unsigned<T>::type;
  return a >= b ? uint64_t(U(U(a) - U(b))) : uint64_t(U(U(b) - U(a)));
}

// Whether every error lies within the bounds of dimensionality d; the
// difference is taken exactly, so a value that wrapped never passes.
template <typename T>
bool within(const std::vector<T>& in, const std::vector<T>& out, uint32_t d)
{
  if (in.size() != out.size())
    return false;
  for (size_t i = 0; i < in.size(); i++) {
    const int bound = out[i] >= in[i] ? lossy::highest_error[d] : -lossy::lowest_error[d];
    if (distance(out[i], in[i]) > uint64_t(bound))
      return false;
  }
  return true;
}

// Whether a value of magnitude 2^(W-3) or more came back with the other sign.
template <typename T>
bool wrapped(const std::vector<T>& in, const std::vector<T>& out)
{
  const T big = T(T(1) << (sizeof(T) * 8 - 3));
  for (size_t i = 0; i < in.size() && i < out.size(); i++)
    if ((in[i] < 0) != (out[i] < 0) && (in[i] >= big || in[i] <= -big))
      return true;
  return false;
}

template <typename T>
void one_dimension()
{
  const T lo = std::numeric_limits<T>::min(), hi = std::numeric_limits<T>::max();
  for (const setting& s : every_plane<T>()) {
    SCOPED_TRACE(s.name);
    // the lowest error, -2, on the smallest value and the highest, +1, on
    // the largest: kept at the range's ends, wrapped one step beyond
    EXPECT_EQ(lossy::round_trip_block<T>({T(lo + 2), T(lo + 2), T(lo + 2), T(lo + 5)}, 1, s)[0], lo);
    EXPECT_EQ(lossy::round_trip_block<T>({T(lo + 1), T(lo + 1), T(lo + 1), T(lo + 4)}, 1, s)[0], hi);
    EXPECT_EQ(lossy::round_trip_block<T>({T(hi - 1), T(hi - 4), T(hi - 1), T(hi - 1)}, 1, s)[0], hi);
    EXPECT_EQ(lossy::round_trip_block<T>({hi, T(hi - 3), hi, hi}, 1, s)[0], lo);
    // the README's block: the smallest value comes back as the largest
    EXPECT_EQ(lossy::round_trip_block<T>({lo, T(lo + 1), lo, T(lo + 1)}, 1, s),
              (std::vector<T>{hi, T(lo + 1), hi, T(lo + 1)}));

    std::mt19937_64 rng(3);
    for (int trial = 0; trial < 500; trial++) {
      std::vector<T> in(4);
      for (T& v : in) {
        const T off = T(rng() % 8);
        v = rng() % 3 == 0 ? T(lo + 2 + off) : rng() % 2 ? T(hi - 1 - off) : T(rng());
        if (v == lo || v == T(lo + 1) || v == hi)
          v = 0;
      }
      ASSERT_TRUE(within(in, lossy::round_trip_block(in, 1, s), 1)) << "trial " << trial;
    }
  }
}

TEST(LossyIntRange, OneDimension)
{
  one_dimension<int32_t>();
  one_dimension<int64_t>();
}

// Blocks of 4^d values: `base` everywhere, `entries` at their indices.
template <typename T>
std::vector<T> block(uint32_t d, T base, std::initializer_list<std::pair<unsigned, T>> entries)
{
  std::vector<T> v(size_t(1) << (2 * d), base);
  for (const auto& e : entries)
    v[e.first] = e.second;
  return v;
}

// A row (lo, hi, lo, hi) and two more values hi, all else 0: with both
// ends of the range present a sum in the first pass reaches 2^(W-1).
template <typename T>
std::vector<T> both_ends(uint32_t d, T lo, T hi)
{
  if (d == 2)
    return block<T>(2, 0, {{6, hi}, {12, lo}, {13, hi}, {14, lo}, {15, hi}});
  if (d == 3)
    return block<T>(3, 0, {{22, hi}, {26, hi}, {40, lo}, {41, hi}, {42, lo}, {43, hi}});
  return block<T>(4, 0, {{86, hi}, {90, hi}, {104, lo}, {105, hi}, {106, lo}, {107, hi}});
}

template <typename T>
void more_dimensions()
{
  const T h = T(T(1) << (sizeof(T) * 8 - 2));
  const auto extremes = lossy::extreme_blocks();
  for (const setting& s : every_plane<T>())
    for (uint32_t d = 2; d <= 4; d++) {
      SCOPED_TRACE(std::string(s.name) + " d=" + std::to_string(d));
      // inside: the blocks of the extreme errors against either end
      for (const lossy::extreme_block& b : extremes) {
        if (b.d != d)
          continue;
        int64_t least = 0, most = 0;
        for (int64_t v : b.values) {
          least = std::min(least, v);
          most = std::max(most, v);
        }
        for (int64_t shift : {int64_t(-h) - least, int64_t(h - 1) - most}) {
          std::vector<T> in;
          for (int64_t v : b.values)
            in.push_back(T(v + shift));
          const std::vector<T> out = lossy::round_trip_block(in, d, s);
          EXPECT_TRUE(within(in, out, d));
          EXPECT_EQ(int64_t(out[b.position]) - int64_t(in[b.position]), b.error);
        }
      }
      // inside: values at and near the ends, one range or the other
      std::mt19937_64 rng(d);
      for (int trial = 0; trial < 300; trial++) {
        const T lo = trial % 2 ? T(-h) : T(-h + 1), hi = trial % 2 ? T(h - 2) : T(h - 1);
        std::vector<T> in(size_t(1) << (2 * d));
        for (T& v : in) {
          const T off = T(rng() % 4);
          v = rng() % 3 == 0 ? T(lo + off) : rng() % 2 ? T(hi - off) : T(T(rng()) / 4);
        }
        ASSERT_TRUE(within(in, lossy::round_trip_block(in, d, s), d)) << "trial " << trial;
      }
      const std::vector<T> inside[] = {block<T>(d, T(-h), {{0, T(-h + 2)}}), block<T>(d, T(h - 1), {{1, T(h - 3)}}),
                                       both_ends<T>(d, T(-h + 1), T(h - 1)), both_ends<T>(d, T(-h), T(h - 2))};
      for (const std::vector<T>& in : inside)
        EXPECT_TRUE(within(in, lossy::round_trip_block(in, d, s), d));
      // outside: one step below, one step above, both ends
      const std::vector<T> outside[] = {block<T>(d, T(-h - 1), {{0, T(-h + 1)}}), block<T>(d, h, {{1, T(h - 2)}}),
                                        both_ends<T>(d, T(-h), T(h - 1))};
      for (const std::vector<T>& in : outside) {
        const std::vector<T> out = lossy::round_trip_block(in, d, s);
        EXPECT_FALSE(within(in, out, d));
        EXPECT_TRUE(wrapped(in, out));
      }
    }
}

TEST(LossyIntRange, TwoToFourDimensions)
{
  more_dimensions<int32_t>();
  more_dimensions<int64_t>();
}

// The sentinel field: a 64 x 64 field of smooth values (-1290700 ..
// 2653241 where no sentinel is) in which every tenth value, 412 of them,
// is the type's smallest, a "no data" sentinel; 154 of its 256 blocks hold
// one.  With every plane coded the sentinels' blocks wrap: some sentinels
// come back, some as the type's largest value, the rest as other values,
// and the other values keep errors of a few units.  A fixed rate too small
// for the sentinels' blocks (int64 at 16, 32 and 33 bits per value) spends
// it on their top planes: the sentinels come back and every other value of
// those blocks as 0, while the blocks without one keep errors of 1 at most.
// Precision 32 codes only the top 32 of an int64 block's 64 planes: every
// ordinary value comes back as 0.
struct sentinel_figures {
  size_t back, as_largest, otherwise;  // of the 412 sentinels
  size_t as_zero, other_sign;          // of the 3684 ordinary values
  uint64_t largest_error, largest_error_clear;  // ordinary values: all, blocks without a sentinel
};

struct sentinel_case {
  setting s;
  sentinel_figures int32, int64;
};

template <typename T>
std::vector<T> sentinel_field(std::vector<bool>* holds)
{
  const size_t m = 64;
  std::vector<T> v(m * m);
  holds->assign(m * m / 16, false);  // by 4 x 4 block
  for (size_t y = 0; y < m; y++)
    for (size_t x = 0; x < m; x++) {
      const bool sentinel = (7 * x + 13 * y) % 10 == 0;
      v[x + m * y] = sentinel ? std::numeric_limits<T>::min()
                              : T(int64_t(1000 * x * y) - int64_t(300 * x * x) + int64_t(7 * y) - 100000);
      if (sentinel)
        (*holds)[lossy::block_of(x + m * y, m)] = true;
    }
  return v;
}

template <typename T>
void sentinels(const sentinel_case& c, const sentinel_figures& expected)
{
  const size_t m = 64, n[4] = {m, m, 0, 0};
  const T none = std::numeric_limits<T>::min();
  std::vector<bool> holds;
  const std::vector<T> in = sentinel_field<T>(&holds);
  const size_t placed = size_t(std::count(in.begin(), in.end(), none));
  ASSERT_EQ(placed, 412u);
  ASSERT_EQ(std::count(holds.begin(), holds.end(), true), 154);
  ASSERT_EQ(std::count(in.begin(), in.end(), T(0)), 0);
  const std::vector<T> out = lossy::round_trip(in, 2, n, c.s);
  ASSERT_EQ(out.size(), in.size());
  sentinel_figures f{};
  for (size_t i = 0; i < in.size(); i++) {
    if (in[i] == none) {
      f.back += out[i] == none;
      f.as_largest += out[i] == std::numeric_limits<T>::max();
      continue;
    }
    f.as_zero += out[i] == 0;
    f.other_sign += (in[i] < 0 && out[i] > 0) || (in[i] > 0 && out[i] < 0);
    f.largest_error = std::max(f.largest_error, distance(in[i], out[i]));
    if (!holds[lossy::block_of(i, m)])
      f.largest_error_clear = std::max(f.largest_error_clear, distance(in[i], out[i]));
  }
  f.otherwise = placed - f.back - f.as_largest;
  const bool narrow = sizeof(T) == 4;
  std::printf("sentinel field, %s, %s: %zu of 412 sentinels back, %zu as %s, %zu as other values; "
              "of 3684 ordinary values %zu as 0, %zu with the other sign, largest error %llu "
              "(%llu in the 102 blocks without a sentinel)\n",
              narrow ? "int32" : "int64", c.s.name, f.back, f.as_largest, narrow ? "INT32_MAX" : "INT64_MAX",
              f.otherwise, f.as_zero, f.other_sign, (unsigned long long)f.largest_error,
              (unsigned long long)f.largest_error_clear);
  SCOPED_TRACE(std::string(narrow ? "int32 " : "int64 ") + c.s.name);
  EXPECT_EQ(f.back, expected.back);
  EXPECT_EQ(f.as_largest, expected.as_largest);
  EXPECT_EQ(f.otherwise, expected.otherwise);
  EXPECT_EQ(f.as_zero, expected.as_zero);
  EXPECT_EQ(f.other_sign, expected.other_sign);
  EXPECT_EQ(f.largest_error, expected.largest_error);
  EXPECT_EQ(f.largest_error_clear, expected.largest_error_clear);
}

template <typename T>
void sentinels_kept_by_reversible()
{
  const size_t n[4] = {64, 64, 0, 0};
  std::vector<bool> holds;
  const std::vector<T> in = sentinel_field<T>(&holds);
  EXPECT_EQ(lossy::round_trip(in, 2, n, lossy::reversible()), in);
}

TEST(LossyIntRange, SentinelsAreLost)
{
  // every plane coded: the sentinels' blocks wrap
  const sentinel_figures wrapped = {117, 90, 205, 0, 0, 6, 1};
  // too few bits for the sentinels' blocks: the low planes, where the
  // ordinary values are, go and so does the rounding that wraps
  const sentinel_figures cut = {412, 0, 0, 2052, 0, 2653241, 1};
  // more of those planes coded, not all
  const sentinel_figures part = {13, 0, 399, 5, 22, 113773, 1};
  const sentinel_case cases[] = {
    {lossy::default_limits(), wrapped, wrapped},
    {lossy::accuracy(1e-3, "accuracy 1e-3"), wrapped, wrapped},
    {lossy::precision(32, "precision 32"), wrapped, {412, 0, 0, 3684, 0, 2653241, 2573141}},
    {lossy::precision(64, "precision 64"), wrapped, wrapped},
    {lossy::rate(16, "rate 16"), part, cut},
    {lossy::rate(32, "rate 32"), wrapped, cut},
    {lossy::rate(33, "rate 33"), wrapped, cut},
    {lossy::rate(48, "rate 48"), wrapped, part},
    {lossy::rate(64, "rate 64"), wrapped, wrapped},
    {lossy::rate(65, "rate 65"), wrapped, wrapped},
  };
  for (const sentinel_case& c : cases) {
    sentinels<int32_t>(c, c.int32);
    sentinels<int64_t>(c, c.int64);
  }
  sentinels_kept_by_reversible<int32_t>();
  sentinels_kept_by_reversible<int64_t>();
}

} // namespace
