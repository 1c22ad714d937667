// Lossy coding of floating-point values that are not ordinary: NaN is
// coded as 0, an infinity sets the block's scale to the largest finite
// value's, and blocks of the largest finite value come back infinite when
// only part of their planes is coded.  (Reversible coding keeps every bit
// pattern: codec_float_block, FloatReversible.EveryBitPatternComesBack.)
#include "lossy_support.hpp"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

namespace {

using lossy::setting;

template <typename T>
uint64_t bits(T v)
{
  typename std::conditional<sizeof(T) == 4, uint32_t, uint64_t>::type u;
  std::memcpy(&u, &v, sizeof u);
  return u;
}

template <typename T>
void nan_is_zero()
{
  const T nan = std::numeric_limits<T>::quiet_NaN();
  const setting settings[] = {lossy::default_limits(), lossy::accuracy(1e-3, "accuracy 1e-3"),
                              lossy::precision(16, "precision 16"), lossy::rate(8, "rate 8")};
  for (const setting& s : settings) {
    for (uint32_t d = 1; d <= 4; d++)
      for (T v : lossy::round_trip_block(std::vector<T>(size_t(1) << (2 * d), nan), d, s))
        EXPECT_EQ(bits(v), 0u) << s.name << " d=" << d;
    EXPECT_EQ(lossy::round_trip_block<T>({nan, 1, 2, 3}, 1, s), (std::vector<T>{0, 1, 2, 3})) << s.name;
  }
}

TEST(LossyFloat, NanIsCodedAsZero)
{
  nan_is_zero<float>();
  nan_is_zero<double>();
}

// {inf, 1, 2, 3}: the finite values are coded in units of 2^98 (float) or
// 2^962 (double), the largest finite exponent less the integer bits.
TEST(LossyFloat, InfinitySetsTheScale)
{
  const setting settings[] = {lossy::default_limits(), lossy::accuracy(1e-3, "accuracy 1e-3"),
                              lossy::precision(64, "precision 64")};
  for (const setting& s : settings) {
    EXPECT_EQ(lossy::round_trip_block<float>({INFINITY, 1, 2, 3}, 1, s),
              (std::vector<float>{INFINITY, 0, 0, -0x1p99f}))
      << s.name;
    EXPECT_EQ(lossy::round_trip_block<double>({INFINITY, 1, 2, 3}, 1, s),
              (std::vector<double>{INFINITY, 0, 0, -0x1p963}))
      << s.name;
  }
}

// With every plane coded an infinity is the integer 2^P - 1 (P = 30 for
// float, 62 for double) and comes back with the integer error of its
// position: the extreme blocks, moved below 2^P and reduced modulo
// 2^(4d - 2) (which keeps every error), put the lowest error on +inf and
// the highest on -inf.  Only float blocks of 3 or 4 dimensions have errors
// large enough to lose it.
template <typename T, typename I>
void infinity_with_every_plane(const T expected_plus[5])
{
  const int p_bits = sizeof(T) == 4 ? 30 : 62;
  const int64_t top = (int64_t(1) << p_bits) - 1;
  for (const lossy::extreme_block& b : lossy::extreme_blocks()) {
    SCOPED_TRACE("d=" + std::to_string(b.d) + " error " + std::to_string(b.error));
    const bool plus = b.error < 0;
    const int64_t at = plus ? top : -top, period = int64_t(1) << (4 * b.d - 2);
    std::vector<I> q;
    std::vector<T> in;
    for (size_t i = 0; i < b.values.size(); i++) {
      int64_t r = ((at + b.values[i]) % period + period) % period;
      r = i == b.position ? at : r >= period / 2 ? r - period : r;
      q.push_back(I(r));
      in.push_back(i == b.position ? (plus ? T(INFINITY) : T(-INFINITY)) : std::ldexp(T(r), sizeof(T) == 4 ? 98 : 962));
    }
    const std::vector<I> qout = lossy::round_trip_block(q, b.d, lossy::default_limits());
    ASSERT_EQ(int64_t(qout[b.position]) - int64_t(q[b.position]), b.error);
    const std::vector<T> out = lossy::round_trip_block(in, b.d, lossy::default_limits());
    EXPECT_EQ(out[b.position], plus ? expected_plus[b.d] : -expected_plus[b.d]);
  }
}

TEST(LossyFloat, InfinityWithEveryPlane)
{
  const float below_max = std::nextafter(FLT_MAX, 0.0f);
  const float f[5] = {0, INFINITY, INFINITY, FLT_MAX, below_max};
  infinity_with_every_plane<float, int32_t>(f);
  const double g[5] = {0, INFINITY, INFINITY, INFINITY, INFINITY};
  infinity_with_every_plane<double, int64_t>(g);
}

// A block of the largest finite magnitude: the planes, tolerances and
// block sizes that turn it infinite, and the ones on either side.
struct near_max_case {
  int sign;
  uint32_t first_precision, last_precision;  // infinite from .. to
  int first_exponent, last_exponent;         // tolerances 2^(e + 2d), infinite from .. to
  uint32_t first_bits, last_bits;            // bits per block, infinite from .. to
  bool unit_below;                           // beyond them: one unit short of the value
};

template <typename T>
void near_max(const near_max_case& c)
{
  const T big = T(c.sign) * std::numeric_limits<T>::max();
  const T inf = T(c.sign) * std::numeric_limits<T>::infinity();
  const T beyond = c.unit_below ? std::nextafter(big, T(0)) : big;
  for (uint32_t d = 1; d <= 4; d++) {
    const std::vector<T> in(size_t(1) << (2 * d), big);
    const double n = double(in.size());
    auto all = [&](const setting& s) {
      const std::vector<T> out = lossy::round_trip_block(in, d, s);
      for (T v : out)
        if (v != out[0])
          return T(NAN);
      return out.empty() ? T(NAN) : out[0];
    };
    SCOPED_TRACE("sign " + std::to_string(c.sign) + " d=" + std::to_string(d));
    // one plane: +max has none of its own bits there, -max rounds away
    EXPECT_EQ(all(lossy::precision(1, "")), c.first_precision == 1 ? inf : T(0));
    EXPECT_EQ(all(lossy::precision(c.first_precision, "")), inf);
    EXPECT_EQ(all(lossy::precision(c.last_precision, "")), inf);
    EXPECT_EQ(all(lossy::precision(c.last_precision + 1, "")), beyond);
    const int k0 = c.first_exponent + 2 * int(d), k1 = c.last_exponent + 2 * int(d);
    EXPECT_EQ(all(lossy::accuracy(std::ldexp(1.0, k0 - 1), "")), beyond);
    EXPECT_EQ(all(lossy::accuracy(std::ldexp(1.0, k0), "")), inf);
    EXPECT_EQ(all(lossy::accuracy(std::ldexp(1.0, std::min(k1, 1023)), "")), inf);
    if (k1 < 1023) {
      EXPECT_EQ(all(lossy::accuracy(std::ldexp(1.0, k1 + 1), "")), T(0));
    }
    EXPECT_EQ(all(lossy::rate((c.first_bits - 1) / n, "")), T(0));
    EXPECT_EQ(all(lossy::rate(c.first_bits / n, "")), inf);
    EXPECT_EQ(all(lossy::rate(c.last_bits / n, "")), inf);
    EXPECT_EQ(all(lossy::rate((c.last_bits + 1) / n, "")), beyond);
    EXPECT_EQ(all(lossy::default_limits()), big);
  }
}

TEST(LossyFloat, LargestFiniteValueBecomesInfinite)
{
  near_max<float>({+1, 2, 24, 106, 128, 11, 57, true});
  near_max<float>({-1, 1, 25, 105, 129, 10, 60, false});
  near_max<double>({+1, 2, 54, 972, 1024, 14, 120, false});
  near_max<double>({-1, 1, 53, 973, 1025, 13, 119, true});
}

// The README's figure: a 64 x 64 field with a disc of 697 fill values at
// the largest finite value.
template <typename T>
void fill_values()
{
  const size_t m = 64, n[4] = {m, m, 0, 0};
  const T fill = std::numeric_limits<T>::max();
  std::vector<T> in(m * m);
  size_t placed = 0;
  for (size_t y = 0; y < m; y++)
    for (size_t x = 0; x < m; x++) {
      const double dx = double(x) - 20, dy = double(y) - 30;
      const bool f = dx * dx + dy * dy < 225;
      in[x + m * y] = f ? fill : T(int64_t(x * y) - int64_t(20 * x)) / 8;
      placed += f;
    }
  ASSERT_EQ(placed, 697u);
  struct expect {
    setting s;
    size_t infinite, kept;
  };
  const expect cases[] = {{lossy::rate(8, "rate 8"), 169, 528},
                          {lossy::precision(16, "precision 16"), 697, 0},
                          {lossy::precision(24, "precision 24"), 697, 0},
                          {lossy::default_limits(), 0, 697},
                          {lossy::accuracy(1e-3, "accuracy 1e-3"), 0, 697}};
  for (const expect& e : cases) {
    const std::vector<T> out = lossy::round_trip(in, 2, n, e.s);
    ASSERT_EQ(out.size(), in.size());
    size_t infinite = 0, kept = 0;
    for (size_t i = 0; i < in.size(); i++)
      if (in[i] == fill) {
        infinite += out[i] == std::numeric_limits<T>::infinity();
        kept += out[i] == fill;
      }
    EXPECT_EQ(infinite, e.infinite) << e.s.name;
    EXPECT_EQ(kept, e.kept) << e.s.name;
  }
}

TEST(LossyFloat, FillValuesBecomeInfinite)
{
  fill_values<float>();
  fill_values<double>();
}

} // namespace
