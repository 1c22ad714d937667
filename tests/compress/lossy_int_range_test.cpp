// Headroom of lossy integer coding.  The transform's sums wrap in two's
// complement, so the error bounds hold for 1-D values from MIN + 2 to
// MAX - 1 and for 2-D to 4-D values from -2^(W-2) to 2^(W-2) - 1, short of
// a block holding both of those; a value beyond them can wrap.
// Reversible coding keeps every value.
#include "lossy_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
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

// Whether every error lies within the bounds of dimensionality d; the
// difference is taken exactly, so a value that wrapped never passes.
template <typename T>
bool within(const std::vector<T>& in, const std::vector<T>& out, uint32_t d)
{
  using U = typename std::make_unsigned<T>::type;
  if (in.size() != out.size())
    return false;
  for (size_t i = 0; i < in.size(); i++) {
    if (out[i] >= in[i] ? U(U(out[i]) - U(in[i])) > U(lossy::highest_error[d])
                        : U(U(in[i]) - U(out[i])) > U(-lossy::lowest_error[d]))
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

// The README's figure: a 64 x 64 field of smooth values in which every
// tenth value is the type's smallest, a "no data" sentinel.
template <typename T>
void sentinels()
{
  const size_t m = 64, n[4] = {m, m, 0, 0};
  const T none = std::numeric_limits<T>::min();
  std::vector<T> in(m * m);
  size_t placed = 0;
  for (size_t y = 0; y < m; y++)
    for (size_t x = 0; x < m; x++) {
      const bool sentinel = (7 * x + 13 * y) % 10 == 0;
      in[x + m * y] = sentinel ? none : T(int64_t(1000 * x * y) - int64_t(300 * x * x) + int64_t(7 * y) - 100000);
      placed += sentinel;
    }
  ASSERT_EQ(placed, 412u);
  const setting lossy_settings[] = {lossy::default_limits(), lossy::precision(64, "precision 64"),
                                    lossy::rate(double(sizeof(T) * 8), "rate of the width")};
  for (const setting& s : lossy_settings) {
    const std::vector<T> out = lossy::round_trip(in, 2, n, s);
    ASSERT_EQ(out.size(), in.size());
    size_t back = 0, as_largest = 0;
    for (size_t i = 0; i < in.size(); i++)
      if (in[i] == none) {
        back += out[i] == none;
        as_largest += out[i] == std::numeric_limits<T>::max();
      }
    EXPECT_EQ(back, 117u) << s.name;
    EXPECT_EQ(as_largest, 90u) << s.name;
  }
  EXPECT_EQ(lossy::round_trip(in, 2, n, lossy::reversible()), in);
}

TEST(LossyIntRange, SentinelsAreLost)
{
  sentinels<int32_t>();
  sentinels<int64_t>();
}

} // namespace
