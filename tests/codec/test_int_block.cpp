// Integer blocks: the complete worked blocks, padding, the precision
// field, and the limits that leave no room for it.
#include "codec_support.hpp"

#include <gtest/gtest.h>

namespace {

template <typename T, unsigned D>
std::string encode_bits(ct::limits l, const std::vector<T>& block, size_t* count = nullptr,
                        unsigned offset = 0)
{
  ct::stream s(600, l);
  s.put(0, offset);
  size_t bits = ct::codec<T, D>::encode(&s.ks, block.data());
  if (count)
    *count = bits;
  EXPECT_EQ(s.write_pos(), offset + bits);
  s.flush();
  return s.bits(offset, bits);
}

template <typename T, unsigned D>
std::vector<T> decode_bits(ct::limits l, const std::string& bits, size_t* count = nullptr)
{
  ct::stream s(600, l);
  s.put(bits);
  s.flush();
  s.rewind();
  std::vector<T> out(ct::block_values<D>, T(99));
  size_t n = ct::codec<T, D>::decode(&s.ks, out.data());
  if (count)
    *count = n;
  EXPECT_EQ(s.read_pos(), n);
  return out;
}

const ct::limits rev0{0, 16658, 64, -1075};
const ct::limits lossy0{0, 16658, 64, -1074};

TEST(IntBlock, CompleteWorkedBlocks)
{
  // (2^30, 0, 0, 0): differences (2^30, -2^30, 2^30, -2^30), p = 2
  EXPECT_EQ((encode_bits<int32_t, 1>(rev0, {1 << 30, 0, 0, 0})), "10000101101111");
  EXPECT_EQ((decode_bits<int32_t, 1>(rev0, "10000101101111")), (std::vector<int32_t>{1 << 30, 0, 0, 0}));

  // all-zero blocks: p = 1, field 0 and one plane
  EXPECT_EQ((encode_bits<int32_t, 1>(rev0, {0, 0, 0, 0})), "000000");
  EXPECT_EQ((encode_bits<int64_t, 1>(rev0, {0, 0, 0, 0})), "0000000");

  // (0, 1, 2, 3) lossy: 30 empty planes, then the planes of (1, -1, 0, 0)
  const std::string lossy = std::string(30, '0') + "1010110";
  EXPECT_EQ((encode_bits<int32_t, 1>(lossy0, {0, 1, 2, 3})), lossy);
  EXPECT_EQ((decode_bits<int32_t, 1>(lossy0, lossy)), (std::vector<int32_t>{-1, 1, 1, 3}));

  // reversibly it takes 40 bits, starting with the field 31 and exact
  size_t count = 0;
  std::string rev = encode_bits<int32_t, 1>(rev0, {0, 1, 2, 3}, &count);
  EXPECT_EQ(count, 40u);
  EXPECT_EQ(rev.substr(0, 5), "11111");
  EXPECT_EQ((decode_bits<int32_t, 1>(rev0, rev)), (std::vector<int32_t>{0, 1, 2, 3}));
}

template <typename T, unsigned D>
void check_zero_block_sizes()
{
  const std::vector<T> zero(ct::block_values<D>, T(0));
  size_t count;
  encode_bits<T, D>(ct::reversible_limits, zero, &count);
  EXPECT_EQ(count, sizeof(T) == 4 ? 6u : 7u) << "d=" << D;
  encode_bits<T, D>(lossy0, zero, &count);
  EXPECT_EQ(count, sizeof(T) * 8) << "d=" << D;
}

TEST(IntBlock, ZeroBlockSizesForEveryDimensionality)
{
  check_zero_block_sizes<int32_t, 1>();
  check_zero_block_sizes<int32_t, 2>();
  check_zero_block_sizes<int32_t, 3>();
  check_zero_block_sizes<int32_t, 4>();
  check_zero_block_sizes<int64_t, 1>();
  check_zero_block_sizes<int64_t, 2>();
  check_zero_block_sizes<int64_t, 3>();
  check_zero_block_sizes<int64_t, 4>();
}

TEST(IntBlock, ShortCodesArePaddedToMinBits)
{
  // lossy: the 32-bit code of a zero block padded to 100; the decoder skips
  // to the same place
  const ct::limits l{100, 16658, 64, -1074};
  size_t count;
  std::string bits = encode_bits<int32_t, 2>(l, std::vector<int32_t>(16, 0), &count);
  EXPECT_EQ(count, 100u);
  EXPECT_EQ(bits, std::string(100, '0'));
  std::string junk = std::string(32, '0') + std::string(68, '1');
  auto out = decode_bits<int32_t, 2>(l, junk, &count);
  EXPECT_EQ(count, 100u);
  EXPECT_EQ(out, std::vector<int32_t>(16, 0));

  // reversible: 5 + code, or min_bits when larger
  encode_bits<int32_t, 1>({20, 16658, 64, -1075}, {0, 0, 0, 0}, &count);
  EXPECT_EQ(count, 20u);
  encode_bits<int64_t, 1>({20, 16658, 64, -1075}, {0, 0, 0, 0}, &count);
  EXPECT_EQ(count, 20u);
}

TEST(IntBlock, PrecisionField)
{
  // a coded word with bit 0 set needs all 32 planes
  std::string bits = encode_bits<int32_t, 1>(rev0, {1, 0, 0, 0});
  EXPECT_EQ(bits.substr(0, 5), "11111");
  // int64: six bits, up to p = 64
  bits = encode_bits<int64_t, 1>(rev0, {1, 0, 0, 0});
  EXPECT_EQ(bits.substr(0, 6), "111111");
  EXPECT_EQ((decode_bits<int64_t, 1>(rev0, bits)), (std::vector<int64_t>{1, 0, 0, 0}));

  // max_prec below p: the field holds max_prec - 1 and only those planes
  // are coded, so the block is not exact
  const ct::limits few{0, 16658, 3, -1075};
  const std::vector<int32_t> v{12345, -77, 5, 1 << 20};
  bits = encode_bits<int32_t, 1>(few, v);
  EXPECT_EQ(bits.substr(0, 5), "01000"); // 2, least significant bit first
  EXPECT_NE((decode_bits<int32_t, 1>(few, bits)), v);

  // the field may straddle a word boundary
  for (unsigned offset : {59u, 62u, 63u, 64u}) {
    ct::stream s(16, rev0);
    s.put(0, offset);
    size_t n = kvr_encode_block_int32_1(&s.ks, std::vector<int32_t>{1 << 30, 0, 0, 0}.data());
    s.flush();
    EXPECT_EQ(s.bits(offset, n), "10000101101111") << offset;
    s.seek_read(offset);
    int32_t out[4];
    EXPECT_EQ(kvr_decode_block_int32_1(&s.ks, out), n);
    EXPECT_EQ(out[0], 1 << 30);
  }
}

// Reversible limits reproduce blocks whose transforms wrap around.
template <typename T, unsigned D>
void check_extremes()
{
  constexpr unsigned n = ct::block_values<D>;
  using L = std::numeric_limits<T>;
  std::vector<std::vector<T>> blocks = {std::vector<T>(n, L::min()), std::vector<T>(n, L::max())};
  std::vector<T> b(n);
  for (unsigned i = 0; i < n; i++)
    b[i] = ((i ^ (i >> 2) ^ (i >> 4) ^ (i >> 6)) & 1) ? L::min() : L::max();
  blocks.push_back(b);
  std::mt19937_64 rng(D);
  for (int t = 0; t < 20; t++) {
    for (auto& x : b)
      x = T(rng());
    blocks.push_back(b);
  }
  for (const auto& blk : blocks) {
    ct::stream s(600, ct::reversible_limits);
    size_t bits = ct::codec<T, D>::encode(&s.ks, blk.data());
    s.flush();
    s.rewind();
    std::vector<T> out(n);
    EXPECT_EQ((ct::codec<T, D>::decode(&s.ks, out.data())), bits);
    EXPECT_EQ(out, blk) << "d=" << D;
  }
}

TEST(IntBlock, ReversibleExtremesAreExact)
{
  check_extremes<int32_t, 1>();
  check_extremes<int32_t, 2>();
  check_extremes<int32_t, 3>();
  check_extremes<int32_t, 4>();
  check_extremes<int64_t, 1>();
  check_extremes<int64_t, 2>();
  check_extremes<int64_t, 3>();
  check_extremes<int64_t, 4>();
}

TEST(IntBlock, LossyFullPrecisionIsClose)
{
  // The lifting transform drops low bits only: with every plane coded, a
  // block of values near 10^6 comes back within a few dozen units (each of
  // the six lifting passes rounds).
  std::mt19937_64 rng(9);
  std::vector<int32_t> v(64), out(64);
  for (unsigned i = 0; i < 64; i++)
    v[i] = int32_t(1000000 + 3000 * (i % 4) - 7000 * ((i / 4) % 4) + 500 * (i / 16) + int(rng() % 50));
  ct::stream s(600, ct::default_limits);
  size_t bits = kvr_encode_block_int32_3(&s.ks, v.data());
  s.flush();
  s.rewind();
  EXPECT_EQ(kvr_decode_block_int32_3(&s.ks, out.data()), bits);
  for (unsigned i = 0; i < 64; i++)
    EXPECT_NEAR(out[i], v[i], 64) << i;
}

TEST(IntBlock, MaxBitsBelowThePrecisionField)
{
  // A reversible block with max_bits below the field codes nothing but its
  // padding and decodes as zeros; the lossy path codes within max_bits.
  for (uint32_t maxbits : {0u, 1u, 4u}) {
    for (uint32_t minbits : {0u, 3u}) {
      const ct::limits l{minbits, maxbits, 64, -1075};
      size_t count;
      std::string bits = encode_bits<int32_t, 2>(l, std::vector<int32_t>(16, -5), &count);
      EXPECT_EQ(count, minbits);
      EXPECT_EQ(bits, std::string(minbits, '0'));
      auto out = decode_bits<int32_t, 2>(l, std::string(minbits, '1') + "1111111", &count);
      EXPECT_EQ(count, minbits);
      EXPECT_EQ(out, std::vector<int32_t>(16, 0));
    }
  }
  // int64 fields are 6 bits: max_bits 5 still codes nothing, 6 codes p
  size_t count;
  encode_bits<int64_t, 1>({0, 5, 64, -1075}, {1, 2, 3, 4}, &count);
  EXPECT_EQ(count, 0u);
  encode_bits<int64_t, 1>({0, 6, 64, -1075}, {1, 2, 3, 4}, &count);
  EXPECT_EQ(count, 6u);
}

} // namespace
