// Lifting and difference transforms, coefficient orders and negabinary.
#include "codec/transform.hpp"
#include "codec_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

using namespace kvr_codec;

namespace {

template <typename U>
using line = std::array<typename std::make_signed<U>::type, 4>;

template <typename U, void (*Op)(U*, ptrdiff_t)>
line<U> apply(line<U> in)
{
  U p[4];
  for (int i = 0; i < 4; i++)
    p[i] = U(in[i]);
  Op(p, 1);
  line<U> out;
  for (int i = 0; i < 4; i++)
    out[i] = typename std::make_signed<U>::type(p[i]);
  return out;
}

TEST(Lifting, WorkedLines)
{
  using L = line<uint32_t>;
  constexpr auto fwd = apply<uint32_t, forward_lifting<uint32_t>>;
  constexpr auto inv = apply<uint32_t, inverse_lifting<uint32_t>>;
  EXPECT_EQ(fwd(L{-7, -7, -7, -7}), (L{-7, 0, 0, 0}));
  EXPECT_EQ(inv(L{-7, 0, 0, 0}), (L{-7, -7, -7, -7}));
  EXPECT_EQ(fwd(L{0, 1, 2, 3}), (L{1, -1, 0, 0}));
  EXPECT_EQ(inv(L{1, -1, 0, 0}), (L{-1, 1, 1, 3}));
  EXPECT_EQ(fwd(L{0, 0, 0, 1}), (L{0, 0, 0, 0}));
  // the first sum wraps in 32 bits
  EXPECT_EQ(fwd(L{2147483647, 0, 0, 2147483647}), (L{-1, 5 * (1 << 28), 1, -(1 << 29)}));
  // the same line in 64 bits has headroom
  using L64 = line<uint64_t>;
  EXPECT_EQ((apply<uint64_t, forward_lifting<uint64_t>>(L64{-5, -5, -5, -5})), (L64{-5, 0, 0, 0}));
}

TEST(Differences, WorkedLinesAndWrapping)
{
  using L = line<uint32_t>;
  constexpr auto fwd = apply<uint32_t, forward_differences<uint32_t>>;
  constexpr auto inv = apply<uint32_t, inverse_differences<uint32_t>>;
  EXPECT_EQ(fwd(L{1, 2, 4, 8}), (L{1, 1, 1, 1}));
  EXPECT_EQ(fwd(L{0, 1, 4, 9}), (L{0, 1, 2, 0}));
  EXPECT_EQ(inv(L{1, 1, 1, 1}), (L{1, 2, 4, 8}));
  EXPECT_EQ(inv(L{0, 1, 2, 0}), (L{0, 1, 4, 9}));
  EXPECT_EQ(inv(L{2147483647, -2147483647, 2147483647, 0}), (L{2147483647, 0, 0, 2147483647}));
}

template <typename U, unsigned D>
void check_differences_invert(std::mt19937_64& rng)
{
  constexpr unsigned n = 1u << (2 * D);
  for (int trial = 0; trial < 50; trial++) {
    U b[n], orig[n];
    for (unsigned i = 0; i < n; i++)
      orig[i] = b[i] = trial % 2 ? U(rng()) : U(word_traits<U>::top + U(rng() % 3));
    forward_differences_block<U, D>(b);
    inverse_differences_block<U, D>(b);
    ASSERT_TRUE(std::equal(b, b + n, orig)) << "D=" << D;
  }
}

TEST(Differences, BlockTransformIsExactEvenWhenItWraps)
{
  std::mt19937_64 rng(1);
  check_differences_invert<uint32_t, 1>(rng);
  check_differences_invert<uint32_t, 2>(rng);
  check_differences_invert<uint32_t, 3>(rng);
  check_differences_invert<uint32_t, 4>(rng);
  check_differences_invert<uint64_t, 1>(rng);
  check_differences_invert<uint64_t, 2>(rng);
  check_differences_invert<uint64_t, 3>(rng);
  check_differences_invert<uint64_t, 4>(rng);
}

TEST(BlockTransform, TwoDimensionalExample)
{
  uint32_t b[16], c[16];
  for (unsigned i = 0; i < 16; i++)
    b[i] = i; // x + 4y
  forward_lifting_block<uint32_t, 2>(b);
  for (unsigned i = 0; i < 16; i++)
    EXPECT_EQ(int32_t(b[i]), i == 0 ? 7 : i == 1 ? -1 : i == 4 ? -4 : 0) << i;
  reorder<uint32_t, 2>(b, c);
  EXPECT_EQ(c[0], 0x1bu);
  EXPECT_EQ(c[1], 0x3u);
  EXPECT_EQ(c[2], 0xcu);
  for (unsigned i = 3; i < 16; i++)
    EXPECT_EQ(c[i], 0u);

  for (unsigned i = 0; i < 16; i++)
    b[i] = i;
  forward_differences_block<uint32_t, 2>(b);
  for (unsigned i = 0; i < 16; i++)
    EXPECT_EQ(int32_t(b[i]), i == 1 ? 1 : i == 4 ? 4 : 0) << i;

  // a constant block keeps its value at index 0 only
  for (unsigned i = 0; i < 16; i++)
    b[i] = uint32_t(-3);
  forward_lifting_block<uint32_t, 2>(b);
  for (unsigned i = 0; i < 16; i++)
    EXPECT_EQ(int32_t(b[i]), i == 0 ? -3 : 0);
}

TEST(BlockTransform, LiftingPassesRunXFirst)
{
  // A block that is not separable: passes along different axes do not
  // commute, so running y before x gives a different result.
  uint32_t a[16], b[16];
  for (unsigned i = 0; i < 16; i++)
    a[i] = b[i] = uint32_t((i * i * 37) % 23);
  forward_lifting_block<uint32_t, 2>(a);
  for (unsigned x = 0; x < 4; x++)
    forward_lifting<uint32_t>(b + x, 4);
  for (unsigned y = 0; y < 4; y++)
    forward_lifting<uint32_t>(b + 4 * y, 1);
  EXPECT_FALSE(std::equal(a, a + 16, b));
  for (unsigned i = 0; i < 16; i++)
    b[i] = uint32_t((i * i * 37) % 23);
  for (unsigned y = 0; y < 4; y++)
    forward_lifting<uint32_t>(b + 4 * y, 1);
  for (unsigned x = 0; x < 4; x++)
    forward_lifting<uint32_t>(b + x, 4);
  EXPECT_TRUE(std::equal(a, a + 16, b));
}

TEST(Negabinary, KnownWords)
{
  const std::pair<int32_t, uint32_t> cases[] = {
    {0, 0},  {1, 1},   {-1, 3},   {2, 6},           {-2, 2},
    {3, 7},  {-3, 0xd}, {INT32_MIN, 0x80000000u}, {INT32_MAX, 0x80000003u}};
  for (auto [v, u] : cases) {
    EXPECT_EQ(to_negabinary<uint32_t>(uint32_t(v)), u) << v;
    EXPECT_EQ(int32_t(from_negabinary<uint32_t>(u)), v) << v;
  }
  EXPECT_EQ(to_negabinary<uint64_t>(uint64_t(-1)), 3u);
  EXPECT_EQ(int64_t(from_negabinary<uint64_t>(3)), -1);
  std::mt19937_64 rng(2);
  for (int i = 0; i < 1000; i++) {
    uint64_t v = rng();
    EXPECT_EQ(from_negabinary<uint64_t>(to_negabinary<uint64_t>(v)), v);
    EXPECT_EQ(from_negabinary<uint32_t>(to_negabinary<uint32_t>(uint32_t(v))), uint32_t(v));
  }
}

template <unsigned D>
void check_order()
{
  constexpr unsigned n = 1u << (2 * D);
  std::vector<unsigned> seen(n, 0);
  unsigned prev_sum = 0, prev_sq = 0;
  for (unsigned k = 0; k < n; k++) {
    unsigned i = order<D>::index(k);
    ASSERT_LT(i, n);
    seen[i]++;
    unsigned sum = 0, sq = 0;
    for (unsigned a = 0; a < D; a++) {
      unsigned c = (i >> (2 * a)) & 3;
      sum += c;
      sq += c * c;
    }
    if (k) {
      EXPECT_TRUE(sum > prev_sum || (sum == prev_sum && sq >= prev_sq)) << "D=" << D << " k=" << k;
    }
    prev_sum = sum;
    prev_sq = sq;
  }
  for (unsigned i = 0; i < n; i++)
    EXPECT_EQ(seen[i], 1u) << "D=" << D << " index " << i;
  EXPECT_EQ(order<D>::index(0), 0u);
  EXPECT_EQ(order<D>::index(n - 1), n - 1);
  if (D >= 2) {
    EXPECT_EQ(order<D>::index(1), 1u);
    EXPECT_EQ(order<D>::index(2), 4u);
  }
}

TEST(CoefficientOrder, TablesArePermutationsByFrequency)
{
  check_order<1>();
  check_order<2>();
  check_order<3>();
  check_order<4>();
  // perm_2 puts the larger x first among equal sums
  EXPECT_EQ(order<2>::index(4), 2u);
  EXPECT_EQ(order<2>::index(5), 8u);
}

TEST(CoefficientOrder, InverseOrderUndoesReorder)
{
  std::mt19937_64 rng(3);
  uint64_t v[256], u[256], w[256];
  for (auto& x : v)
    x = rng();
  reorder<uint64_t, 4>(v, u);
  inv_order<uint64_t, 4>(u, w);
  EXPECT_TRUE(std::equal(v, v + 256, w));
  reorder<uint64_t, 3>(v, u);
  inv_order<uint64_t, 3>(u, w);
  EXPECT_TRUE(std::equal(v, v + 64, w));
}

} // namespace
