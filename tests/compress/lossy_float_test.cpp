// Lossy coding of floating-point values that are not ordinary: NaN is
// coded as 0, an infinity sets the block's scale to the largest finite
// value's, and blocks of the largest finite value come back infinite when
// only part of their planes is coded.  (Reversible coding keeps every bit
// pattern: codec_float_block, FloatReversible.EveryBitPatternComesBack.)
#include "lossy_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cstdio>
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

// The fill disc: a 64 x 64 field of values from -157.5 to 338.625 with a
// disc of 697 fill values at the type's largest finite value, in 56 of its
// 256 blocks, beside 199 ordinary values.  The fill gives its blocks the
// largest exponent, and those ordinary values are counted in its units of
// 2^98 (float) or 2^962 (double): most settings return them all as 0, even
// where the fill comes back, but some fixed rates return a part of them as
// multiples of that unit, at the lowest rates near the fill's own
// magnitude.  The blocks without a fill keep their values.  The figures of
// each setting and type, as printed:
struct fill_figures {
  size_t infinite, kept;              // of the 697 fill values
  size_t changed, as_zero;            // of the 199 ordinary values beside them, 9 of them 0
  double largest_back;                // their largest magnitude as decoded, in units of the fill's step
  double largest_error, largest_error_clear;  // beside the fill, in the blocks without one
};

struct fill_case {
  setting s;
  fill_figures expected[2];  // float, double
};

template <typename T>
std::vector<T> disc_field(T fill, std::vector<bool>* is_fill, std::vector<bool>* holds)
{
  const size_t m = 64;
  std::vector<T> v(m * m);
  is_fill->assign(m * m, false);
  holds->assign(m * m / 16, false);  // by 4 x 4 block
  for (size_t y = 0; y < m; y++)
    for (size_t x = 0; x < m; x++) {
      const double dx = double(x) - 20, dy = double(y) - 30;
      const bool f = dx * dx + dy * dy < 225;
      v[x + m * y] = f ? fill : T(int64_t(x * y) - int64_t(20 * x)) / 8;
      (*is_fill)[x + m * y] = f;
      if (f)
        (*holds)[lossy::block_of(x + m * y, m)] = true;
    }
  return v;
}

template <typename T>
void fill_values(const fill_case& c)
{
  const fill_figures& expected = c.expected[sizeof(T) == 8];
  const size_t m = 64, n[4] = {m, m, 0, 0};
  const T fill = std::numeric_limits<T>::max();
  const int step = sizeof(T) == 4 ? 98 : 962;  // 2^(e - P) with the fill's e
  std::vector<bool> is_fill, holds;
  const std::vector<T> in = disc_field(fill, &is_fill, &holds);
  ASSERT_EQ(std::count(is_fill.begin(), is_fill.end(), true), 697);
  ASSERT_EQ(std::count(holds.begin(), holds.end(), true), 56);
  const std::vector<T> out = lossy::round_trip(in, 2, n, c.s);
  ASSERT_EQ(out.size(), in.size());
  fill_figures f{};
  size_t beside = 0;
  for (size_t i = 0; i < in.size(); i++) {
    if (is_fill[i]) {
      f.infinite += out[i] == std::numeric_limits<T>::infinity();
      f.kept += out[i] == fill;
      continue;
    }
    const double e = std::fabs(double(out[i]) - double(in[i]));
    if (holds[lossy::block_of(i, m)]) {
      beside++;
      f.changed += out[i] != in[i];
      f.as_zero += out[i] == 0;
      f.largest_back = std::max(f.largest_back, std::fabs(std::ldexp(double(out[i]), -step)));
      f.largest_error = std::max(f.largest_error, e);
    }
    else
      f.largest_error_clear = std::max(f.largest_error_clear, e);
  }
  ASSERT_EQ(beside, 199u);
  const char* type = sizeof(T) == 4 ? "float" : "double";
  std::printf("fill disc, %s, %s: of 697 fill values %zu as +inf, %zu kept; of 199 ordinary values in their "
              "blocks %zu changed, %zu as 0, largest magnitude back %.17g * 2^%d (%.17g), largest error %.17g; "
              "largest error in the 200 blocks without a fill value %.17g\n",
              type, c.s.name, f.infinite, f.kept, f.changed, f.as_zero, f.largest_back, step,
              std::ldexp(f.largest_back, step), f.largest_error, f.largest_error_clear);
  SCOPED_TRACE(std::string(type) + " " + c.s.name);
  EXPECT_EQ(f.infinite, expected.infinite);
  EXPECT_EQ(f.kept, expected.kept);
  EXPECT_EQ(f.changed, expected.changed);
  EXPECT_EQ(f.as_zero, expected.as_zero);
  EXPECT_EQ(f.largest_back, expected.largest_back);
  EXPECT_EQ(f.largest_error, expected.largest_error);
  EXPECT_EQ(f.largest_error_clear, expected.largest_error_clear);
}

// The remedies for the fill disc: reversible coding keeps every value, and
// a fill inside the data's magnitude, the customary -9999, leaves its
// blocks a small exponent, so at accuracy 1e-3 (2^-10 in force) every
// value, fill or not, stays within the tolerance; here exactly, as the
// values are multiples of 1/8.
template <typename T>
void fill_remedies()
{
  const size_t m = 64, n[4] = {m, m, 0, 0};
  std::vector<bool> is_fill, holds;
  const std::vector<T> in = disc_field(std::numeric_limits<T>::max(), &is_fill, &holds);
  const std::vector<T> kept = lossy::round_trip(in, 2, n, lossy::reversible());
  ASSERT_EQ(kept.size(), in.size());
  size_t same = 0;
  for (size_t i = 0; i < in.size(); i++)
    same += bits(kept[i]) == bits(in[i]);

  const std::vector<T> low = disc_field(T(-9999), &is_fill, &holds);
  const std::vector<T> out = lossy::round_trip(low, 2, n, lossy::accuracy(1e-3, ""));
  ASSERT_EQ(out.size(), low.size());
  double beside = 0, clear = 0, at_fill = 0;
  for (size_t i = 0; i < low.size(); i++) {
    const double e = std::fabs(double(out[i]) - double(low[i]));
    double& worst = is_fill[i] ? at_fill : holds[lossy::block_of(i, m)] ? beside : clear;
    worst = std::max(worst, e);
  }
  const char* type = sizeof(T) == 4 ? "float" : "double";
  std::printf("fill disc, %s, reversible: %zu of 4096 values back\n", type, same);
  std::printf("fill disc, %s, fill -9999, accuracy 1e-3 (2^-10 in force): largest error %.17g beside the fill, "
              "%.17g at the fill, %.17g in the blocks without one\n",
              type, beside, at_fill, clear);
  SCOPED_TRACE(type);
  EXPECT_EQ(same, in.size());
  EXPECT_LE(std::max({beside, at_fill, clear}), 0x1p-10);
  EXPECT_EQ(beside, 0.0);
  EXPECT_EQ(at_fill, 0.0);
  EXPECT_EQ(clear, 0.0);
}

TEST(LossyFloat, FillValuesBecomeInfinite)
{
  // float, then double; largest_back in units of 2^98 or 2^962
  const fill_case cases[] = {
    {lossy::rate(4, "rate 4"), {{104, 528, 199, 50, 17 * 0x1p24, 17 * 0x1p122, 0},
                                {633, 0, 199, 51, 9 * 0x1p57, 9 * 0x1p1019, 0.03125}}},
    {lossy::rate(6, "rate 6"), {{128, 528, 198, 102, 15 * 0x1p21, 15 * 0x1p119, 0},
                                {643, 0, 199, 98, 17 * 0x1p53, 17 * 0x1p1015, 0}}},
    {lossy::rate(8, "rate 8"), {{169, 528, 190, 199, 0, 91.125, 0}, {169, 528, 190, 199, 0, 91.125, 0}}},
    {lossy::rate(16, "rate 16"), {{129, 560, 190, 183, 64, 64 * 0x1p98, 0}, {169, 528, 190, 199, 0, 91.125, 0}}},
    {lossy::rate(24, "rate 24"), {{36, 657, 191, 164, 96, 96 * 0x1p98, 0}, {169, 528, 190, 199, 0, 91.125, 0}}},
    {lossy::rate(28, "rate 28"), {{0, 697, 199, 61, 16, 16 * 0x1p98, 0}, {169, 528, 190, 199, 0, 91.125, 0}}},
    {lossy::precision(16, "precision 16"), {{697, 0, 190, 199, 0, 91.125, 0}, {697, 0, 190, 199, 0, 91.125, 0}}},
    {lossy::precision(24, "precision 24"), {{697, 0, 190, 199, 0, 91.125, 0}, {697, 0, 190, 199, 0, 91.125, 0}}},
    {lossy::default_limits(), {{0, 697, 190, 199, 0, 91.125, 0}, {0, 697, 190, 199, 0, 91.125, 0}}},
    {lossy::accuracy(1e-3, "accuracy 1e-3"), {{0, 697, 190, 199, 0, 91.125, 0}, {0, 697, 190, 199, 0, 91.125, 0}}},
  };
  for (const fill_case& c : cases) {
    fill_values<float>(c);
    fill_values<double>(c);
  }
  fill_remedies<float>();
  fill_remedies<double>();
}

} // namespace
