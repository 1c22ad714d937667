// Floating-point blocks: lossy and reversible encodings of the worked
// blocks, decoding of hand-built blocks, and the cases the plain format
// has no faithful form for (tiny and infinite magnitudes, limits below the
// header, precision beyond 32 bits).
#include "codec/float_block.hpp"
#include "codec_support.hpp"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>

namespace {

using kvr_codec::bit_writer;

const ct::limits lossy{1, 16658, 64, -1074};
const ct::limits rev{1, 16658, 64, -1075};

// Bits of a block as the codec writes it.
template <typename T, unsigned D>
std::string encoded(ct::limits l, const std::vector<T>& v, size_t* count = nullptr)
{
  ct::stream s(600, l);
  size_t n = ct::codec<T, D>::encode(&s.ks, v.data());
  EXPECT_EQ(s.write_pos(), n);
  if (count)
    *count = n;
  s.flush();
  return s.bits(0, n);
}

// Expected bits: a header, then the embedded code of the given words.
template <typename U, unsigned N>
std::string header_and_code(uint64_t header, unsigned hbits, uint32_t budget, uint32_t prec,
                            std::vector<U> words)
{
  ct::stream s(600);
  s.put(header, hbits);
  bit_writer w(&s.bs);
  kvr_codec::encode_ints<U, N>(w, budget, prec, words.data());
  w.store(&s.bs);
  uint64_t n = s.write_pos();
  s.flush();
  return s.bits(0, n);
}

template <typename T, unsigned D>
std::vector<T> decoded(ct::limits l, ct::stream& s, size_t* count = nullptr)
{
  s.set(l);
  uint64_t end = s.write_pos();
  s.flush();
  s.rewind();
  std::vector<T> out(ct::block_values<D>, T(42));
  size_t n = ct::codec<T, D>::decode(&s.ks, out.data());
  EXPECT_EQ(s.read_pos(), n);
  EXPECT_LE(n, std::max<uint64_t>(end, l.min_bits));
  if (count)
    *count = n;
  return out;
}

TEST(FloatLossy, WorkedBlockOneTwoThreeFour)
{
  EXPECT_EQ((encoded<float, 1>(lossy, {1, 2, 3, 4})),
            (header_and_code<uint32_t, 4>(261, 9, 16658 - 9, 64, {0x14000000, 0x08000000, 0, 0})));
  EXPECT_EQ((encoded<double, 1>(lossy, {1, 2, 3, 4})),
            (header_and_code<uint64_t, 4>(2053, 12, 16658 - 12, 64,
                                          {0x1400000000000000, 0x0800000000000000, 0, 0})));
  for (ct::limits l : {lossy, ct::limits{1, 100, 64, -1074}}) {
    ct::stream s(600, l);
    const float v[4] = {1, 2, 3, 4};
    size_t n = kvr_encode_block_float_1(&s.ks, v);
    float out[4];
    s.flush();
    s.rewind();
    EXPECT_EQ(kvr_decode_block_float_1(&s.ks, out), n);
    EXPECT_EQ(std::vector<float>(out, out + 4), (std::vector<float>{1, 2, 3, 4}));
  }
}

TEST(FloatLossy, HeaderAndPaddingRules)
{
  // largest finite magnitude: exponent 128 / 1024, fields 255 / 2047
  EXPECT_EQ((encoded<float, 1>(lossy, {FLT_MAX, 0, 0, 0})).substr(0, 9), "111111111");
  EXPECT_EQ((encoded<double, 1>(lossy, {0, -DBL_MAX, 0, 0})).substr(0, 12), "111111111111");

  // blocks without magnitude are empty: one 0 bit, or min_bits
  const float nan = std::numeric_limits<float>::quiet_NaN();
  size_t n;
  for (const auto& v : {std::vector<float>(4, 0.0f), std::vector<float>(4, -0.0f),
                        std::vector<float>(4, nan)}) {
    EXPECT_EQ((encoded<float, 1>(lossy, v, &n)), "0");
    EXPECT_EQ((encoded<float, 1>({100, 16658, 64, -1074}, v, &n)), std::string(100, '0'));
  }
  // a tolerance above every magnitude, and max_prec 0, empty any block
  EXPECT_EQ((encoded<float, 2>({1, 16658, 64, 10}, std::vector<float>(16, 3.0f))), "0");
  EXPECT_EQ((encoded<double, 3>({1, 16658, 0, -1074}, std::vector<double>(64, 3.0))), "0");

  // min_bits between 2 and H pads only empty blocks
  encoded<float, 1>({5, 16658, 64, -1074}, {1, 2, 3, 4}, &n);
  EXPECT_GT(n, 9u);
  encoded<float, 1>({5, 16658, 64, -1074}, {0, 0, 0, 0}, &n);
  EXPECT_EQ(n, 5u);
  // max_bits equal to H: the header, then padding to min_bits
  EXPECT_EQ((encoded<float, 1>({9, 9, 64, -1074}, {1, 2, 3, 4})), "101000001");
  EXPECT_EQ((encoded<double, 2>({20, 12, 64, -1074}, std::vector<double>(16, 1.0))),
            "1" "00000000001" + std::string(8, '0'));

  // a NaN among other values is coded as 0
  ct::stream s(600, lossy);
  const float v[4] = {8, nan, 8, 8};
  kvr_encode_block_float_1(&s.ks, v);
  auto out = decoded<float, 1>(lossy, s);
  EXPECT_EQ(out[0], 8.0f);
  EXPECT_NEAR(out[1], 0.0f, 1e-6);
}

TEST(FloatReversible, WorkedBlocks)
{
  // exact: form 1,0, field 130, integers (2^27, 2^28, 3 2^27, 2^29) whose
  // differences code as 0x18000000, 0x18000000, 0, 0 with p = 5
  const std::string exact = "10" + ct::stream(1).bits(0, 0);
  std::string want = header_and_code<uint32_t, 4>(1 + (130u << 2) + (4u << 10), 15, 16643, 5,
                                                  {0x18000000, 0x18000000, 0, 0});
  EXPECT_EQ((encoded<float, 1>(rev, {1, 2, 3, 4})), want);

  // raw: -0.0 fails the exact test; raw integers have bit 0 set, p = 32
  const std::vector<float> v{1, -2, 0.5f, -0.0f};
  size_t n;
  std::string bits = encoded<float, 1>(rev, v, &n);
  EXPECT_EQ(bits.substr(0, 7), "1111111");
  ct::stream s(600);
  s.put(3, 2);
  uint32_t raw[4] = {0x3f800000, 0xbfffffff, 0x3f000000, 0xffffffff};
  bit_writer w(&s.bs);
  kvr_codec::rev_encode_ints<uint32_t, 1>(w, 1 - 2, 16658 - 2, 64, raw);
  w.store(&s.bs);
  EXPECT_EQ(s.write_pos(), n);
  auto out = decoded<float, 1>(rev, s);
  for (int i = 0; i < 4; i++)
    EXPECT_EQ(ct::bits_of(out[i]), ct::bits_of(v[i]));
}

TEST(FloatReversible, FormSelection)
{
  size_t n;
  EXPECT_EQ((encoded<float, 2>(rev, std::vector<float>(16, 0.0f), &n)), "0");
  EXPECT_EQ((encoded<float, 2>({100, 16658, 64, -1075}, std::vector<float>(16, 0.0f), &n)),
            std::string(100, '0'));
  // integers below 2^30 are exact; one low bit more makes the block raw
  std::vector<float> ints{1000, -3, 77, 1 << 20};
  EXPECT_EQ((encoded<float, 1>(rev, ints)).substr(0, 2), "10");
  ints[1] = -3.0000002f;
  EXPECT_EQ((encoded<float, 1>(rev, ints)).substr(0, 2), "11");
  std::vector<double> dints{1e15, -3, 77, 5e17};
  EXPECT_EQ((encoded<double, 1>(rev, dints)).substr(0, 2), "10");
  // magnitudes below 2^-98 / 2^-962 (the scale is not finite) are raw
  EXPECT_EQ((encoded<float, 1>(rev, {0x1p-99f, 0, 0x1p-100f, 0})).substr(0, 2), "11");
  EXPECT_EQ((encoded<float, 1>(rev, {0x1p-97f, 0, 0x1p-100f, 0})).substr(0, 2), "10");
  EXPECT_EQ((encoded<double, 1>(rev, {0x1p-963, 0, 0, 0})).substr(0, 2), "11");
  // -0.0, NaN and infinity are raw
  for (float x : {-0.0f, std::numeric_limits<float>::quiet_NaN(), INFINITY})
    EXPECT_EQ((encoded<float, 1>(rev, {1, x, 2, 3})).substr(0, 2), "11") << x;
  // the exact block's field is never 0: the clamp keeps e at -126 or more
  std::string b = encoded<float, 1>(rev, {0x1p-97f, 0x1p-97f, 0, 0});
  EXPECT_EQ(b.substr(0, 2), "10");
  EXPECT_NE(b.substr(2, 8), "00000000");
}

// Every bit pattern class survives the reversible setting, whole blocks of
// random patterns included.
template <typename T, unsigned D>
void check_patterns()
{
  using U = typename ct::bits_type<T>::type;
  constexpr unsigned n = ct::block_values<D>;
  constexpr U top = U(U(1) << (sizeof(U) * 8 - 1));
  const U exp_mask = sizeof(T) == 4 ? U(0x7f800000) : U(0x7ff0000000000000ull);
  const U special[] = {0,        top,        1,          top | 1,      exp_mask,
                       top | exp_mask, exp_mask | 1, exp_mask | (exp_mask >> 1) | 5,
                       top | exp_mask | 123, U(exp_mask - 1), U(exp_mask >> 2), U(~U(0))};
  std::mt19937_64 rng(D);
  for (int trial = 0; trial < 40; trial++) {
    std::vector<T> v(n);
    for (unsigned i = 0; i < n; i++) {
      U u = trial % 3 == 0 ? U(rng()) : special[(i + trial) % 12];
      if (trial % 3 == 1)
        u = U(rng() % 2 ? u : U(rng()) >> (rng() % (sizeof(U) * 8))); // subnormals and small
      v[i] = ct::from_bits<T>(u);
    }
    ct::stream s(600, rev);
    size_t bits = ct::codec<T, D>::encode(&s.ks, v.data());
    s.flush();
    s.rewind();
    std::vector<T> out(n);
    ASSERT_EQ((ct::codec<T, D>::decode(&s.ks, out.data())), bits);
    for (unsigned i = 0; i < n; i++)
      ASSERT_EQ(ct::bits_of(out[i]), ct::bits_of(v[i])) << "d=" << D << " trial " << trial;
  }
}

TEST(FloatReversible, EveryBitPatternComesBack)
{
  check_patterns<float, 1>();
  check_patterns<float, 2>();
  check_patterns<float, 3>();
  check_patterns<float, 4>();
  check_patterns<double, 1>();
  check_patterns<double, 2>();
  check_patterns<double, 3>();
  check_patterns<double, 4>();
}

// Hand-built blocks: a reversible integer block after a header.
ct::stream& with_rev_ints(ct::stream& s, uint64_t header, unsigned hbits, std::vector<uint32_t> q)
{
  s.put(header, hbits);
  bit_writer w(&s.bs);
  kvr_codec::rev_encode_ints<uint32_t, 1>(w, int32_t(1 - hbits), 16658 - hbits, 64, q.data());
  w.store(&s.bs);
  return s;
}

TEST(FloatDecode, ExactAndRawBlocks)
{
  const std::vector<uint32_t> q{1u << 29, uint32_t(-(1 << 29)), 3u << 28, 0};
  {
    ct::stream s(600);
    auto out = decoded<float, 1>(rev, with_rev_ints(s, 1 + (128u << 2), 10, q));
    EXPECT_EQ(out, (std::vector<float>{1.0f, -1.0f, 1.5f, 0.0f}));
  }
  {
    ct::stream s(600);
    auto out = decoded<float, 1>(rev, with_rev_ints(s, 1, 10, q)); // field 0
    for (float x : out)
      EXPECT_EQ(ct::bits_of(x), 0u);
  }
  for (uint32_t field = 1; field <= 7; field++) {
    ct::stream s(600);
    auto out = decoded<float, 1>(rev, with_rev_ints(s, 1 + (field << 2), 10, q));
    const uint32_t want[4] = {0, 0x80000000u, 0, 0};
    for (int i = 0; i < 4; i++)
      EXPECT_EQ(ct::bits_of(out[i]), want[i]) << field;
  }
  {
    ct::stream s(600);
    auto out = decoded<float, 1>(rev, with_rev_ints(s, 3, 2, {0, uint32_t(-1), 0x7f800000u, 0x80000000u}));
    const uint32_t want[4] = {0, 0x80000000u, 0x7f800000u, 0xffffffffu};
    for (int i = 0; i < 4; i++)
      EXPECT_EQ(ct::bits_of(out[i]), want[i]);
  }
}

// A lossy block of a constant integer c, which the transform keeps exact.
template <typename U, unsigned N>
ct::stream& with_constant(ct::stream& s, uint64_t field, unsigned ebits, U c)
{
  s.put(1 + 2 * field, 1 + ebits);
  std::vector<U> words(N, 0);
  words[0] = kvr_codec::to_negabinary<U>(c);
  bit_writer w(&s.bs);
  kvr_codec::encode_ints<U, N>(w, 16658 - 1 - ebits, 64, words.data());
  w.store(&s.bs);
  return s;
}

TEST(FloatDecode, ScalingAndRounding)
{
  {
    ct::stream s(600); // field 255: 2^30 * 2^98 overflows
    for (float x : decoded<float, 2>(lossy, with_constant<uint32_t, 16>(s, 255, 8, 1u << 30)))
      EXPECT_EQ(x, INFINITY);
  }
  {
    ct::stream s(600); // field 1024: 2^62 * 2^-61
    for (double x : decoded<double, 1>(lossy, with_constant<uint64_t, 4>(s, 1024, 11, 1ull << 62)))
      EXPECT_EQ(x, 2.0);
  }
  {
    ct::stream s(600); // field 157: scale 1; 2^24 + 1 rounds to 2^24
    for (float x : decoded<float, 1>(lossy, with_constant<uint32_t, 4>(s, 157, 8, (1u << 24) + 1)))
      EXPECT_EQ(x, 16777216.0f);
  }
}

TEST(FloatDecode, EmptyAndShortBlocks)
{
  size_t n;
  for (ct::limits l : {lossy, rev}) {
    ct::stream s(16);
    s.put(0, 1);
    s.put(~0ull, 63); // skipped bits are never looked at
    l.min_bits = 64;
    for (float x : decoded<float, 2>(l, s, &n))
      EXPECT_EQ(ct::bits_of(x), 0u);
    EXPECT_EQ(n, 64u);
    ct::stream t(16);
    t.put(0, 1);
    l.min_bits = 0;
    decoded<double, 3>(l, t, &n);
    EXPECT_EQ(n, 1u);
  }
  {
    // prec 0 (field 127, min_exp 10): no code read
    ct::stream s(16);
    s.put(1 + 2 * 127, 9);
    s.put(~0ull, 20);
    for (float x : decoded<float, 2>({1, 16658, 64, 10}, s, &n))
      EXPECT_EQ(ct::bits_of(x), 0u);
    EXPECT_EQ(n, 9u);
  }
  {
    // max_bits equal to the header: budget 0
    ct::stream s(16);
    s.put(1 + 2 * 1030, 12);
    s.put(~0ull, 20);
    for (double x : decoded<double, 1>({1, 12, 64, -1074}, s, &n))
      EXPECT_EQ(ct::bits_of(x), 0u);
    EXPECT_EQ(n, 12u);
  }
}

// Fixed accuracy: every value within the tolerance 2^min_exp, for blocks
// whose magnitude leaves the W-bit integers room below the tolerance (the
// lifting rounds by a few units of 2^(e - 30) or 2^(e - 62)).
template <typename T, unsigned D>
void check_accuracy(int32_t minexp)
{
  constexpr unsigned n = ct::block_values<D>;
  constexpr int reach = sizeof(T) == 4 ? 22 : 52;
  std::mt19937_64 rng(uint64_t(minexp + 5000) * 7 + D);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  const double tol = std::ldexp(1.0, minexp);
  for (int trial = 0; trial < 40; trial++) {
    const int k = int(rng() % (reach + 8)) - 8; // some blocks below the tolerance
    std::vector<T> v(n);
    for (unsigned i = 0; i < n; i++)
      v[i] = T(std::ldexp(trial % 2 ? u(rng) : u(rng) * 0.1 + 0.5 + 0.01 * i, minexp + k));
    ct::stream s(600, {1, 16658, 64, minexp});
    size_t bits = ct::codec<T, D>::encode(&s.ks, v.data());
    s.flush();
    s.rewind();
    std::vector<T> out(n);
    ASSERT_EQ((ct::codec<T, D>::decode(&s.ks, out.data())), bits);
    for (unsigned i = 0; i < n; i++)
      ASSERT_LE(std::fabs(double(out[i]) - double(v[i])), tol)
          << "d=" << D << " min_exp " << minexp << " value " << v[i];
  }
}

TEST(FloatLossy, FixedAccuracyStaysWithinTolerance)
{
  // Tolerances a few units above the smallest subnormal cannot be kept by
  // 3-D and 4-D blocks, whose lifting rounds by more than that on the
  // finest grid the decoder's scale factor reaches; the smallest ones
  // tested here are 2^8 units above it.
  for (int32_t minexp : {-141, -60, -12, 0, 20}) {
    check_accuracy<float, 1>(minexp);
    check_accuracy<float, 2>(minexp);
    check_accuracy<float, 3>(minexp);
    check_accuracy<float, 4>(minexp);
  }
  for (int32_t minexp : {-1066, -1000, -60, 0, 500}) {
    check_accuracy<double, 1>(minexp);
    check_accuracy<double, 2>(minexp);
    check_accuracy<double, 3>(minexp);
    check_accuracy<double, 4>(minexp);
  }
}

// Magnitudes below 2^-98 (float) or 2^-962 (double): coded with exact
// scaling and an exponent of at least -119 / -1012, so the error is that of
// any lossy block, a few units of the integers' step, here at most a few
// multiples of the smallest subnormal.
TEST(FloatLossy, TinyBlocksKeepTheirPrecision)
{
  const float fcases[][4] = {
    {0x1p-149f, 3 * 0x1p-149f, -0x1p-149f, 0},          // subnormals
    {0x1p-126f, -0x1.8p-127f, 0x1p-140f, 5 * 0x1p-149f}, // around the smallest normal
    {0x1.234p-105f, -0x1.111p-106f, 0x1.8p-110f, 0x1p-104f},
  };
  for (const auto& c : fcases) {
    ct::stream s(600, lossy);
    kvr_encode_block_float_1(&s.ks, c);
    auto out = decoded<float, 1>(lossy, s);
    for (int i = 0; i < 4; i++)
      EXPECT_NEAR(out[i], c[i], 4 * 0x1p-149f + std::fabs(c[i]) * 0x1p-20f) << i;
  }
  const double dcases[][4] = {
    {0x1p-1074, 7 * 0x1p-1074, -0x1p-1074, 0},
    {0x1p-1022, -0x1.8p-1023, 0x1p-1040, 0x1p-1070},
    {0x1.234p-970, -0x1.111p-971, 0x1.8p-980, 0x1p-969},
  };
  for (const auto& c : dcases) {
    ct::stream s(600, lossy);
    kvr_encode_block_double_1(&s.ks, c);
    auto out = decoded<double, 1>(lossy, s);
    for (int i = 0; i < 4; i++)
      EXPECT_NEAR(out[i], c[i], 4 * 0x1p-1074 + std::fabs(c[i]) * 0x1p-50) << i;
  }
  // the exponent field: raised to -119 + 127 = 8 for subnormal blocks
  EXPECT_EQ((encoded<float, 1>(lossy, {0x1p-149f, 0, 0, 0})).substr(1, 8), "00010000");
  // above -119 the block's own exponent: 2^-105 has e = -104, field 23
  EXPECT_EQ((encoded<float, 1>(lossy, {0x1p-105f, 0, 0, 0})).substr(1, 8), "11101000");
}

TEST(FloatLossy, InfinitiesSaturate)
{
  const float inf = INFINITY;
  {
    ct::stream s(600, lossy);
    const float v[16] = {inf, inf, inf, inf, inf, inf, inf, inf,
                         inf, inf, inf, inf, inf, inf, inf, inf};
    kvr_encode_block_float_2(&s.ks, v);
    for (float x : decoded<float, 2>(lossy, s))
      EXPECT_EQ(x, inf);
  }
  {
    ct::stream s(600, lossy);
    const double v[4] = {-INFINITY, -INFINITY, -INFINITY, -INFINITY};
    kvr_encode_block_double_1(&s.ks, v);
    for (double x : decoded<double, 1>(lossy, s))
      EXPECT_EQ(x, -INFINITY);
  }
  {
    // one infinity sets the exponent of the largest finite value; the
    // rest of the block is coded at that scale
    ct::stream s(600, lossy);
    const float v[4] = {inf, 1, -2, 3};
    EXPECT_EQ((encoded<float, 1>(lossy, {inf, 1, -2, 3})).substr(0, 9), "111111111");
    kvr_encode_block_float_1(&s.ks, v);
    auto out = decoded<float, 1>(lossy, s);
    EXPECT_GE(out[0], FLT_MAX / 2);
    for (int i = 1; i < 4; i++)
      EXPECT_LE(std::fabs(out[i]), 0x1p104f);
  }
}

TEST(FloatLimits, MaxBitsBelowTheHeader)
{
  size_t n;
  // lossy: an empty block, no bit at all when min_bits and max_bits are 0
  EXPECT_EQ((encoded<float, 1>({0, 0, 64, -1074}, {1, 2, 3, 4}, &n)), "");
  EXPECT_EQ((encoded<float, 1>({0, 8, 64, -1074}, {1, 2, 3, 4}, &n)), "0");
  EXPECT_EQ((encoded<double, 2>({3, 11, 64, -1074}, std::vector<double>(16, 1.0), &n)), "000");
  // reversible: an exact float block needs 15 bits, a raw one 7
  EXPECT_EQ((encoded<float, 1>({0, 14, 64, -1075}, {1, 2, 3, 4}, &n)), "0");
  EXPECT_EQ((encoded<float, 1>({0, 6, 64, -1075}, {1, -0.0f, 3, 4}, &n)), "0");
  encoded<float, 1>({0, 7, 64, -1075}, {1, -0.0f, 3, 4}, &n);
  EXPECT_EQ(n, 7u);
  EXPECT_EQ((encoded<double, 1>({0, 0, 64, -1075}, {1, 2, 3, 4}, &n)), "");
  // decoders of such limits read no more than the block has
  for (ct::limits l : {ct::limits{0, 0, 64, -1074}, ct::limits{0, 0, 64, -1075}}) {
    ct::stream s(16);
    s.put(~0ull, 64);
    for (float x : decoded<float, 3>(l, s, &n))
      EXPECT_EQ(ct::bits_of(x), 0u);
    EXPECT_EQ(n, 0u);
  }
  {
    // an exact-form header under limits too small for it decodes as zeros
    ct::stream s(16);
    s.put(1, 2);
    s.put(~0ull, 20);
    for (float x : decoded<float, 1>({0, 14, 64, -1075}, s, &n))
      EXPECT_EQ(ct::bits_of(x), 0u);
    EXPECT_EQ(n, 2u);
  }
}

TEST(FloatLimits, PrecisionBeyondThirtyTwoBits)
{
  // e - min_exp would leave the 32-bit range: precision 0, empty blocks
  size_t n;
  EXPECT_EQ((encoded<float, 2>({1, 16658, 64, INT32_MAX}, std::vector<float>(16, 1e30f), &n)), "0");
  EXPECT_EQ((encoded<float, 1>({1, 16658, 64, INT32_MAX - 100}, {1e-38f, 0, 0, 0}, &n)), "0");
  EXPECT_EQ((encoded<double, 1>({1, 16658, 64, INT32_MAX - 100}, {1e-300, 0, 0, 0}, &n)), "0");
  // the decoder computes the same precision from any exponent field
  ct::stream s(16);
  s.put(1, 1);
  s.put(0, 8); // field 0, e = -127
  s.put(~0ull, 30);
  for (float x : decoded<float, 1>({1, 16658, 64, INT32_MAX - 100}, s, &n))
    EXPECT_EQ(ct::bits_of(x), 0u);
  EXPECT_EQ(n, 9u);
}

} // namespace

namespace {

// The lossy block as coded with the saturating conversion for every value,
// the form the in-range shortcut must agree with.
template <typename T, unsigned D>
std::string saturating_reference(ct::limits l, const std::vector<T>& v)
{
  namespace kc = kvr_codec;
  using tr = kc::float_traits<T>;
  using U = typename tr::U;
  constexpr unsigned N = ct::block_values<D>;
  constexpr uint32_t H = 1 + tr::exp_bits;
  ct::stream s(600, l);
  bit_writer out(&s.bs);
  T m = kc::max_magnitude<T, N>(v.data());
  int e = m > 0 ? std::max(kc::block_exponent(m), tr::lossy_emin) : 0;
  uint32_t prec = m > 0 ? kc::lossy_precision<D>(e, l.min_exp, l.max_prec) : 0;
  uint32_t bits;
  if (l.max_bits < H || !prec) {
    bits = kc::empty_bits(l.min_bits, l.max_bits);
    out.pad(bits);
  }
  else {
    out.put_bits(1 + 2 * uint64_t(e + tr::bias), H);
    U block[N], coded[N];
    const int k = tr::int_bits - e;
    for (unsigned i = 0; i < N; i++)
      block[i] = k <= tr::max_pow
                   ? kc::to_int<T>(v[i] * kc::power_of_two<T>(k))
                   : kc::to_int<T>(v[i] * tr::split_factor * kc::power_of_two<T>(k - tr::split));
    kc::forward_lifting_block<U, D>(block);
    kc::reorder<U, D>(block, coded);
    bits = H + kc::encode_ints<U, N>(out, l.max_bits - H, prec, coded);
    if (bits < l.min_bits) {
      out.pad(l.min_bits - bits);
      bits = l.min_bits;
    }
  }
  out.store(&s.bs);
  s.flush();
  return s.bits(0, bits);
}

// Blocks whose largest magnitude sits on either side of a power of two
// (scaled values right below 2^P), tiny and subnormal blocks, and the
// assorted random blocks, under free and fixed-rate limits.
template <typename T, unsigned D>
void check_against_saturating(std::mt19937_64& rng)
{
  constexpr unsigned N = ct::block_values<D>;
  using tr = kvr_codec::float_traits<T>;
  for (int trial = 0; trial < 400; trial++) {
    std::vector<T> v = ct::random_block<T>(rng, N, unsigned(rng() % 4));
    const unsigned i = unsigned(rng() % N);
    switch (trial % 4) {
    case 0: v[i] = std::nextafter(T(std::ldexp(1.0, int(rng() % 200) - 100)), T(0)); break;
    case 1: v[i] = -T(std::ldexp(1.0, int(rng() % 200) - 100)); break;
    case 2:
      for (T& x : v)
        x = T(x * std::ldexp(T(1), tr::emin - int(rng() % 40)));
      break;
    default: break;
    }
    const uint32_t rate = 16 + uint32_t(rng() % (64 * N));
    const ct::limits fixed{rate, rate, uint32_t(1 + rng() % 64), -1074};
    for (const ct::limits& l : {lossy, fixed})
      ASSERT_EQ((encoded<T, D>(l, v)), (saturating_reference<T, D>(l, v)))
        << "trial " << trial << " D " << D << " bytes " << sizeof(T);
  }
}

} // namespace

TEST(FloatLossy, InRangeConversionMatchesTheSaturatingOne)
{
  std::mt19937_64 rng(11);
  check_against_saturating<float, 1>(rng);
  check_against_saturating<float, 2>(rng);
  check_against_saturating<float, 3>(rng);
  check_against_saturating<float, 4>(rng);
  check_against_saturating<double, 1>(rng);
  check_against_saturating<double, 2>(rng);
  check_against_saturating<double, 3>(rng);
  check_against_saturating<double, 4>(rng);
}
