// Fixed accuracy keeps every value of a finite float or double block within
// accuracy_bound (accuracy_bound.hpp), and that bound is reached: adversarial
// blocks over type x dimensionality x tolerance, the blocks whose errors
// reach each term of the bound, and the range past which a value may decode
// as an infinity; and the values of the other sign that large tolerances
// return inside the bound.
#include "compress/accuracy_bound.hpp"
#include <kvr/kvr.h>

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <algorithm>
#include <initializer_list>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

template <typename T> using codec = kvr_test::block_codec<T>;

template <typename T>
T max_magnitude(const std::vector<T>& v)
{
  T m = 0;
  for (T x : v)
    m = std::fmax(m, std::fabs(x));
  return m;
}

// One block coded and decoded under fixed accuracy at min_exp.
struct Outcome {
  double tolerance, bound, resolution;
  bool in_range;
  long double error;  // the largest |v - v'| of the finite decoded values
  unsigned worst;     // its index
  bool infinite;      // some value decoded as an infinity
};

// A stream over a buffer that holds any one block.
struct BlockStream {
  std::vector<uint64_t> buffer = std::vector<uint64_t>(512);
  bit_stream* bs = stream_open(buffer.data(), buffer.size() * sizeof buffer[0]);
  kvr_stream* s = kvr_stream_open(bs);

  BlockStream() = default;
  BlockStream(const BlockStream&) = delete;
  BlockStream& operator=(const BlockStream&) = delete;
  ~BlockStream()
  {
    kvr_stream_close(s);
    stream_close(bs);
  }

  // Codes the d-dimensional block v at min_exp into w; returns the
  // tolerance in force.
  template <typename T>
  double code(unsigned d, int min_exp, const std::vector<T>& v, std::vector<T>& w)
  {
    const double tolerance = kvr_stream_set_accuracy(s, std::ldexp(1.0, min_exp));
    stream_rewind(bs);
    codec<T>::enc[d - 1](s, v.data());
    stream_flush(bs);
    stream_rewind(bs);
    codec<T>::dec[d - 1](s, w.data());
    return tolerance;
  }
};

template <typename T>
Outcome round_trip(unsigned d, int min_exp, const std::vector<T>& v)
{
  Outcome r{};
  std::vector<T> w(v.size());
  r.tolerance = BlockStream().code(d, min_exp, v, w);

  const T m = max_magnitude(v);
  r.bound = kvr_test::accuracy_bound(codec<T>::type, d, r.tolerance, double(m));
  r.resolution = kvr_test::accuracy_resolution(codec<T>::type, d, double(m));
  r.in_range = kvr_test::accuracy_bound_in_range(codec<T>::type, d, r.tolerance, double(m));
  for (size_t i = 0; i < v.size(); i++) {
    if (!std::isfinite(w[i])) {
      r.infinite = true;
      continue;
    }
    // exact in long double for every error that matters here
    const long double e = std::fabs((long double)v[i] - (long double)w[i]);
    if (e > r.error) {
      r.error = e;
      r.worst = unsigned(i);
    }
  }
  return r;
}

template <typename T>
int block_exponent(const std::vector<T>& v)
{
  return kvr_test::accuracy_exponent(codec<T>::type, double(max_magnitude(v)));
}

// ---------------------------------------------------------------------------
// Adversarial blocks: the bound holds at every tolerance.

enum class Pattern { top_alternating, spike, odd_subnormals, below_powers, top_and_steps, ramp };

const Pattern patterns[] = {Pattern::top_alternating, Pattern::spike, Pattern::odd_subnormals,
                            Pattern::below_powers, Pattern::top_and_steps, Pattern::ramp};

// Block of pattern at exponent e (largest magnitude just below 2^e).
template <typename T>
std::vector<T> make(Pattern pat, unsigned d, int e)
{
  const unsigned n = 1u << (2 * d);
  const T top = std::nextafter(T(std::ldexp(T(1), e)), T(0));
  const T tiny = std::numeric_limits<T>::denorm_min();
  std::vector<T> v(n);
  for (unsigned i = 0; i < n; i++) {
    unsigned parity = 0;
    for (unsigned a = 0; a < d; a++)
      parity += (i >> (2 * a)) & 3;
    const T sign = (parity & 1) ? T(-1) : T(1);
    switch (pat) {
      case Pattern::top_alternating: v[i] = sign * top; break;
      case Pattern::spike: v[i] = i == n / 3 ? top : T(0); break;
      case Pattern::odd_subnormals: v[i] = sign * T(2 * (i % 7) + 1) * tiny; break;
      case Pattern::below_powers:
        v[i] = sign * std::nextafter(T(std::ldexp(T(1), e - int(i % 40))), T(0));
        break;
      case Pattern::top_and_steps:
        v[i] = i % 4 == 0 ? sign * top : T(std::ldexp(T(2 * i + 1), e - codec<T>::P));
        break;
      case Pattern::ramp:
        v[i] = T(std::ldexp(T(int(parity) - int(d)) / T(2 * d) + T(i % 3) * T(0.001), e));
        break;
    }
  }
  return v;
}

template <typename T>
void adversarial(unsigned d)
{
  const int exponents[] = {codec<T>::lowest - 20, codec<T>::lowest, codec<T>::lowest + 1, 0, 61,
                           codec<T>::emax - 1};
  for (Pattern pat : patterns)
    for (int e0 : exponents) {
      const std::vector<T> v = make<T>(pat, d, e0);
      const int e = block_exponent(v);
      const int P = codec<T>::P, k = 2 * int(d);
      // far below the resolution, around 4^d u where planes start to drop,
      // and up to above the largest magnitude
      const int offsets[] = {-8, 0, k - 1, k, k + 1, k + 3, 20, P, P + k - 1, P + k + 1, P + k + 3};
      std::vector<int> exps = {-1074};
      for (int t : offsets)
        exps.push_back(e - P + t < -1074 ? -1074 : e - P + t);
      for (int min_exp : exps) {
        const Outcome r = round_trip(d, min_exp, v);
        SCOPED_TRACE("pattern " + std::to_string(int(pat)) + " e " + std::to_string(e0) + " min_exp " +
                     std::to_string(min_exp));
        if (!r.in_range) // near the largest finite value: RangeNearTheLargestFiniteValue
          continue;
        EXPECT_FALSE(r.infinite);
        EXPECT_LE(r.error, (long double)r.bound) << "value " << r.worst;
      }
    }
}

TEST(AccuracyBound, AdversarialBlocks)
{
  for (unsigned d = 1; d <= 4; d++) {
    SCOPED_TRACE("d " + std::to_string(d));
    adversarial<float>(d);
    adversarial<double>(d);
  }
}

// ---------------------------------------------------------------------------
// The blocks that reach the bound.  Each is a block of integers in steps of u
// (found by searching the integer round trip) given by its residues: without
// dropped planes the error depends on the integers mod 16^d only, and these
// keep it mod 2^(4d + 4) with planes dropped.  The value `at` is moved to
// the middle of the binade whose spacing is `grid` steps, so that the
// reconstruction rounds its error up to the grid.

struct Worst {
  const char* name;
  unsigned d;
  unsigned kmin;        // planes dropped: the tolerance is 4^d u 2^kmin (0: every plane coded)
  unsigned at;          // the value that reaches the error
  unsigned grid_float;  // its spacing in steps of u
  unsigned grid_double;
  long double error_float;  // its error in steps of u
  long double error_double;
  std::vector<uint32_t> residues;
};

const std::vector<uint32_t> residues_d4 = {
  6055, 38066, 49645, 19933, 435, 65417, 14993, 16636, 59632, 2967, 10981, 43549, 63744, 23917, 40989,
  3478, 28407, 27448, 59940, 6579, 7078, 26916, 50884, 36833, 64898, 32018, 15978, 55208, 58590, 31447,
  52729, 47506, 1662, 39581, 56982, 31609, 50816, 1330, 1708, 45816, 5141, 40309, 8258, 52516, 8328,
  26157, 3392, 32974, 50399, 55437, 3244, 36588, 53544, 40920, 25977, 46498, 44693, 64403, 40353,
  64807, 15931, 50417, 55577, 13893, 24664, 1605, 37995, 8226, 15960, 47295, 57760, 23240, 282, 20000,
  43608, 56736, 22714, 58548, 61236, 50338, 36437, 62871, 20847, 27337, 34315, 28098, 56607, 36786,
  41940, 44866, 45751, 7698, 21861, 46449, 9997, 20149, 34213, 15377, 43975, 15925, 41998, 3613, 4432,
  29273, 14138, 6, 54427, 48532, 38579, 4877, 59202, 32937, 39434, 59396, 62682, 2735, 14876, 33097,
  29611, 38908, 52358, 50356, 32922, 47495, 54626, 19721, 32921, 26238, 12577, 40731, 40206, 37761,
  32298, 13309, 53821, 47633, 11165, 20927, 32632, 64108, 64180, 24218, 15949, 63301, 44820, 37367,
  18555, 3728, 14356, 53700, 59873, 57834, 24804, 13976, 19071, 56774, 29831, 53573, 13266, 59269,
  22755, 24298, 62280, 59752, 23671, 40448, 61074, 23620, 22299, 32060, 44417, 39803, 61777, 60988,
  46884, 20855, 37991, 54014, 53468, 25294, 62305, 26445, 8637, 58215, 43422, 14741, 18754, 34605,
  2721, 51560, 43260, 61421, 10363, 15591, 29598, 55163, 16094, 51886, 24447, 44707, 32877, 39327,
  42471, 46354, 57282, 24759, 21728, 57072, 3171, 7620, 37355, 50871, 30070, 38601, 34975, 2925, 45709,
  40979, 47352, 65213, 3083, 19718, 29338, 16638, 11069, 3151, 62939, 47023, 16073, 21502, 50518, 7086,
  8462, 19352, 29047, 59078, 43544, 60376, 51377, 21540, 45619, 7136, 2499, 14776, 26391, 21566, 55265,
  36052, 57645, 48506, 31239, 58070, 28462, 59814, 65413, 23740};

// A block whose value 1 has the error -128 with its integer an odd multiple
// of 256: in the double binade of spacing 256 u the reconstruction is a tie,
// and round-to-even doubles the error to 256 u = 4^4 u.  Float, whose
// spacing is at most 64 u below 2^e, keeps 128 u, its largest in 4-D.
const std::vector<uint32_t> residues_d4_tie = {
  226, 256, 238, 250, 162, 49409, 245, 49515, 194, 49411, 166, 49441, 226, 49446, 212, 256, 132,
  49433, 179, 162, 65522, 128, 210, 49585, 135, 254, 49436, 49582, 231, 49459, 255, 49496, 202, 163,
  49444, 140, 154, 235, 49437, 49496, 178, 202, 243, 49653, 49546, 255, 224, 49504, 198, 147, 171,
  49413, 220, 49442, 49458, 49496, 161, 161, 49411, 49624, 49539, 49454, 95, 229, 49434, 212, 254,
  233, 192, 255, 237, 49498, 240, 182, 135, 49476, 49442, 49474, 151, 49463, 115, 49476, 231, 163,
  10, 168, 212, 49513, 204, 176, 203, 49661, 49441, 255, 202, 49432, 206, 49477, 49552, 155, 112,
  170, 49468, 49411, 134, 162, 214, 49629, 49426, 234, 224, 49552, 166, 176, 120, 140, 216, 212,
  49460, 49446, 177, 163, 219, 49576, 49481, 49410, 101, 119, 49441, 98, 228, 234, 196, 228, 252,
  49524, 166, 202, 192, 49495, 49518, 49498, 137, 49464, 146, 231, 168, 147, 65499, 66, 189, 49639,
  186, 49430, 205, 49664, 222, 49424, 49423, 49433, 148, 49417, 49496, 138, 104, 194, 49435, 49426,
  176, 221, 241, 49666, 49454, 49441, 159, 49514, 245, 202, 142, 157, 215, 162, 49455, 49435, 204,
  100, 222, 49621, 49440, 49427, 131, 104, 236, 134, 230, 225, 188, 49432, 242, 49515, 49427, 218,
  165, 238, 49454, 49444, 187, 195, 129, 49441, 157, 185, 38, 75, 164, 49509, 232, 49435, 49454,
  49651, 49495, 49476, 49425, 49517, 253, 49423, 49467, 174, 100, 49415, 49454, 49477, 100, 161,
  49437, 49675, 49507, 178, 142, 49536, 142, 214, 49415, 185, 221, 49431, 49429, 49478, 183, 153,
  231, 49580, 49493, 230, 97, 153,
};

const Worst worst_cases[] = {
  // every plane coded: the resolution term itself
  {"d1 tie", 1, 0, 0, 4, 4, 4, 4, {4, 6, 5, 9}},
  {"d2", 2, 0, 0, 16, 16, 16, 16,
   {80, 202, 252, 121, 176, 81, 135, 47, 16, 167, 22, 209, 152, 214, 55, 221}},
  {"d3", 3, 0, 1, 64, 64, 64, 64,
   {1098, 1856, 43, 1819, 2480, 3637, 4089, 944, 1383, 1403, 3113, 1859, 2189, 2881, 1634, 3035, 583,
    1067, 754, 2643, 2119, 3347, 1742, 1298, 1866, 391, 1291, 1229, 3503, 2666, 1365, 2058, 1988, 3567,
    2193, 2119, 3398, 2586, 1661, 3073, 3701, 397, 2829, 3293, 2276, 3201, 2797, 497, 1834, 1933, 3431,
    2370, 3308, 219, 1331, 3196, 2027, 1339, 2120, 2594, 1184, 2163, 1311, 1165}},
  {"d4 half", 4, 0, 12, 64, 128, 128, 128, residues_d4},
  {"d4 tie", 4, 0, 1, 64, 256, 128, 256, residues_d4_tie},
  // planes dropped: the tolerance itself, rounded up by the same effect
  {"d1 one plane dropped", 1, 1, 0, 8, 8, 8, 8, {136, 180, 10, 25}},
  {"d2 one plane dropped", 2, 1, 0, 32, 32, 32, 32,
   {2784, 2512, 604, 1363, 1892, 1174, 472, 3157, 2450, 1705, 1956, 1453, 2561, 2915, 1015, 1631}},
};

template <typename T>
std::vector<T> embed(const Worst& c, unsigned grid, int e)
{
  constexpr int P = codec<T>::P, p = codec<T>::p;
  const int64_t period = int64_t(1) << (4 * c.d + (c.kmin ? 4 : 0));
  const int64_t base = 3 * (int64_t(grid) << (p - 2));  // the middle of that binade
  std::vector<T> v(c.residues.size());
  for (size_t i = 0; i < v.size(); i++) {
    int64_t q = int64_t(c.residues[i]) % period;
    if (i == c.at)
      q = base + ((q - base) % period + period) % period;
    v[i] = T(std::ldexp(T(q), e - P));
  }
  return v;
}

// Returns whether, with every plane coded, the error is the resolution
// term itself.
template <typename T>
bool reach(const Worst& c, unsigned grid)
{
  bool reached = false;
  constexpr int P = codec<T>::P, p = codec<T>::p;
  // A value in the top binade sets the block exponent by itself, so such
  // a block also runs at normal exponents; the others are tiny blocks,
  // whose exponent is the raised one.
  std::vector<int> exponents = {codec<T>::lowest};
  if (grid == 1u << (P - p))
    exponents.insert(exponents.end(), {1, codec<T>::emax - 1});
  for (int e : exponents) {
    const std::vector<T> v = embed<T>(c, grid, e);
    EXPECT_EQ(block_exponent(v), e);
    const int k = 2 * int(c.d) + int(c.kmin);  // min_exp = e - P + k: tolerance 4^d u 2^kmin
    std::vector<int> exps = {e - P + k};
    if (!c.kmin)
      exps.insert(exps.end(), {-1074, e - P + k - 1});
    for (int min_exp : exps) {
      SCOPED_TRACE(std::string(c.name) + " e " + std::to_string(e) + " min_exp " + std::to_string(min_exp));
      const Outcome r = round_trip(c.d, min_exp, v);
      const long double u = std::ldexp(1.0L, e - P);
      EXPECT_TRUE(r.in_range);
      EXPECT_LE(r.error, (long double)r.bound);
      EXPECT_EQ(r.worst, c.at);
      EXPECT_EQ(r.error, (sizeof(T) == 4 ? c.error_float : c.error_double) * u);
      if (min_exp == e - P + k) {
        EXPECT_EQ(r.bound, r.tolerance);  // the tolerance in force is the bound
      }
      if (min_exp == -1074) {
        EXPECT_GT(r.error, (long double)r.tolerance);  // the resolution term is needed
        reached = reached || r.error == (long double)r.resolution;
      }
    }
  }
  return reached;
}

// Each type and dimensionality has a block whose error is the resolution
// term: the bound is no looser than the codec.
TEST(AccuracyBound, WorstCasesReachTheBound)
{
  bool reached[2][5] = {};
  for (const Worst& c : worst_cases) {
    reached[0][c.d] |= reach<float>(c, c.grid_float);
    reached[1][c.d] |= reach<double>(c, c.grid_double);
  }
  for (unsigned d = 1; d <= 4; d++) {
    EXPECT_TRUE(reached[0][d]) << "float, d " << d;
    EXPECT_TRUE(reached[1][d]) << "double, d " << d;
  }
}

// Odd subnormals lose their last step to the transform's rounding whenever
// the tolerance is below the subnormal spacing: 7 steps decode as 6, and a
// zero beside them as -2.
TEST(AccuracyBound, OddSubnormalsBelowTheirSpacing)
{
  const float tiny = std::numeric_limits<float>::denorm_min();
  const Outcome r = round_trip<float>(1, -157, {7 * tiny, 0, 0, 0});
  EXPECT_EQ(r.tolerance, std::ldexp(1.0, -157));
  EXPECT_EQ(r.error, 2 * (long double)tiny);
  EXPECT_EQ(r.worst, 3u);
  EXPECT_GT(r.error, (long double)r.tolerance);
  EXPECT_EQ(r.bound, 4.0 * tiny);
}

// One dimension at a tolerance of 2^(e + 1) keeps three planes, and the
// reconstruction wraps around its word: a value just below 2^e (here at
// index 3) comes back as -2^(e + 1).
TEST(AccuracyBound, ThreePlanesOfOneDimensionWrap)
{
  const double q[4] = {-1040933996, -885033364, 174632083, 1072020589};
  for (int e : {0, 1, -119}) {
    SCOPED_TRACE(e);
    std::vector<float> f(4);
    for (int i = 0; i < 4; i++)
      f[i] = float(std::ldexp(q[i], e - 30));
    const Outcome r = round_trip<float>(1, e + 1, f);
    EXPECT_EQ(r.worst, 3u);
    EXPECT_GT(r.error, 1.49L * r.tolerance);
    EXPECT_LE(r.error, (long double)r.bound);
    EXPECT_EQ(r.bound, 1.5 * r.tolerance);
  }
  for (int e : {0, 1000, -1012}) {
    SCOPED_TRACE(e);
    std::vector<double> v(4);
    for (int i = 0; i < 4; i++)
      v[i] = std::ldexp(q[i], e - 30);
    const Outcome r = round_trip<double>(1, e + 1, v);
    EXPECT_EQ(r.worst, 3u);
    EXPECT_GT(r.error, 1.49L * r.tolerance);
    EXPECT_LE(r.error, (long double)r.bound);
  }
}

// Near the largest finite value the reconstruction can round past it: the
// bound is out of range there, and a value decodes as an infinity.
TEST(AccuracyBound, RangeNearTheLargestFiniteValue)
{
  const Outcome f = round_trip<float>(1, 106, {FLT_MAX, 0, 0, 0});
  EXPECT_FALSE(f.in_range);
  EXPECT_TRUE(f.infinite);
  std::vector<double> top(16, 0.0);
  top[0] = DBL_MAX;
  const Outcome d = round_trip<double>(2, 974, top);
  EXPECT_FALSE(d.in_range);
  EXPECT_TRUE(d.infinite);
  // just inside the range the bound holds
  for (int t = 60; t <= 103; t++) {
    const Outcome r = round_trip<float>(1, t, {FLT_MAX / 2, -FLT_MAX / 3, 0, FLT_MAX / 4});
    SCOPED_TRACE(t);
    ASSERT_TRUE(r.in_range);
    EXPECT_FALSE(r.infinite);
    EXPECT_LE(r.error, (long double)r.bound);
  }
}

// ---------------------------------------------------------------------------
// Values of the other sign at large tolerances.  At T = 2^(e + k) a block
// keeps 2(d + 1) - k planes of its transformed integers (none from
// k = 2d + 2), and a few planes can rebuild a value with the other sign
// and a magnitude of m/2 or more, m the block's largest: still within the
// bound, as T is at least 2m from k = 1 on, but worse than zeros.  Random
// float blocks of values in [-1, 1) in steps of 2^-23, the same blocks at
// every k, made from the raw output of one seeded mt19937_64, which is the
// same on every platform; every eighth block is also coded as double,
// which decodes the same values.

struct OtherSign {
  long blocks;   // blocks with a value of the other sign and magnitude >= m/2
  long values;   // such values
  double error;  // the largest |v - v'| / m of any value
  long outside;  // values outside accuracy_bound
  long double_differs;  // values of the double blocks unlike the float ones
};

std::vector<OtherSign> other_sign(unsigned d, long blocks, int kmin, int kmax)
{
  const unsigned n = 1u << (2 * d);
  std::mt19937_64 g(31);
  std::vector<float> v(n), w(n);
  std::vector<double> vd(n), wd(n);
  BlockStream z;
  std::vector<OtherSign> out(size_t(kmax - kmin + 1), OtherSign{});
  for (long b = 0; b < blocks; b++) {
    for (float& x : v)
      x = std::ldexp(float(int32_t(g() >> 40) - (int32_t(1) << 23)), -23);
    vd.assign(v.begin(), v.end());
    const float m = max_magnitude(v);
    const int e = block_exponent(v);
    for (int k = kmin; k <= kmax; k++) {
      const double tolerance = z.code(d, e + k, v, w);
      const double bound = kvr_test::accuracy_bound(kvr_type_float, d, tolerance, double(m));
      OtherSign& c = out[size_t(k - kmin)];
      long here = 0;
      for (unsigned i = 0; i < n; i++) {
        here += (v[i] < 0) != (w[i] < 0) && w[i] != 0 && std::fabs(w[i]) >= m / 2;
        const double error = std::fabs(double(v[i]) - double(w[i]));  // exact
        c.error = std::max(c.error, error / double(m));
        c.outside += error > bound;
      }
      c.values += here;
      c.blocks += here > 0;
      if (b % 8 == 0) {
        z.code(d, e + k, vd, wd);
        for (unsigned i = 0; i < n; i++)
          c.double_differs += wd[i] != double(w[i]);
      }
    }
  }
  return out;
}

// Every k of each dimensionality from -1 to 2d + 2; the cells not listed
// have no such value.
TEST(AccuracyBound, OtherSignAtLargeTolerances)
{
  const long blocks[5] = {0, 30000, 30000, 10000, 3000};
  struct Cell {
    unsigned d;
    int k;
    long blocks, values;
    double error;
  };
  const Cell cells[] = {
    {1, 0, 75, 75, 1.0041400702995122},
    {1, 1, 2759, 2922, 2.964550842737784},
    {1, 2, 6806, 7806, 3.8794563892490235},
    {1, 3, 689, 1519, 3.7606168397947286},
    {2, 1, 135, 135, 1.1026928115944818},
    {2, 2, 6182, 6800, 3.3046327451510122},
    {2, 3, 22704, 46088, 3.8927176872231763},
    {2, 4, 4311, 10393, 3.1532865658056282},
    {3, 2, 500, 502, 1.2001335903716939},
    {3, 3, 6403, 9466, 3.150735340058143},
    {3, 4, 9960, 49545, 3.1148883429638183},
    {3, 5, 5826, 44636, 3.0342091488449223},
    {3, 6, 9, 18, 2.5929557040303366},
    {4, 2, 47, 47, 0.72960460578339303},
    {4, 3, 952, 995, 3.0134817275212025},
    {4, 4, 2981, 10771, 3.0070939466372},
    {4, 5, 3000, 53182, 3.0203494468849779},
    {4, 6, 2745, 47542, 2.9839861958525487},
    {4, 7, 27, 357, 2.3908927105549349},
  };
  for (unsigned d = 1; d <= 4; d++) {
    const int kmin = -1, kmax = 2 * int(d) + 2;
    const std::vector<OtherSign> f = other_sign(d, blocks[d], kmin, kmax);
    for (int k = kmin; k <= kmax; k++) {
      const OtherSign& r = f[size_t(k - kmin)];
      std::printf("%u-D, T = 2^(e + %d), %ld blocks: %ld blocks with %ld values of the other sign and magnitude "
                  ">= m/2; largest error %.17g m; %ld values outside the bound, %ld unlike in double\n",
                  d, k, blocks[d], r.blocks, r.values, r.error, r.outside, r.double_differs);
      SCOPED_TRACE("d " + std::to_string(d) + " k " + std::to_string(k));
      Cell expected{d, k, 0, 0, 0};
      for (const Cell& c : cells)
        if (c.d == d && c.k == k)
          expected = c;
      EXPECT_EQ(r.blocks, expected.blocks);
      EXPECT_EQ(r.values, expected.values);
      if (expected.blocks) {
        EXPECT_EQ(r.error, expected.error);
      }
      EXPECT_EQ(r.outside, 0);
      EXPECT_EQ(r.double_differs, 0);
    }
  }
}

// Two 1-D float blocks whole (m below 1, so e = 0): at T = 4 = 2^(e + 2)
// -0.879935 comes back as 0.5; at T = 8 = 2^(e + 3) every value comes back
// as -2, 0.783385 off by 3.3 m.
TEST(AccuracyBound, OtherSignExamples)
{
  struct Example {
    std::vector<float> in;
    int min_exp;  // T = 2^min_exp
    std::vector<float> out;
  };
  const Example examples[] = {
    {{0.87144f, -0.879935f, -0.543206f, -0.689338f}, 2, {1.5f, 0.5f, -0.5f, -1.5f}},
    {{0.58862f, -0.657186f, -0.832578f, 0.783385f}, 3, {-2, -2, -2, -2}},
  };
  for (const Example& x : examples) {
    std::vector<float> w(4);
    EXPECT_EQ(BlockStream().code(1, x.min_exp, x.in, w), std::ldexp(1.0, x.min_exp));
    EXPECT_EQ(w, x.out);
  }
}

} // namespace
