// Every whole-block entry point, for every type and dimensionality, under
// a spread of limits: blocks written back to back decode back to back, each
// call reports exactly the bits it moved the stream by, no block is longer
// than max(min_bits, max_bits) or shorter than min_bits, and reversible
// limits reproduce every block bit for bit.
#include "codec_support.hpp"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct named_limits {
  const char* name;
  ct::limits l;
};

const named_limits limit_table[] = {
  {"default", ct::default_limits},
  {"reversible", ct::reversible_limits},
  {"fixed rate 16", {16, 16, 64, -1074}},
  {"fixed rate 64", {64, 64, 64, -1074}},
  {"fixed rate 300", {300, 300, 64, -1074}},
  {"fixed rate 2000", {2000, 2000, 64, -1074}},
  {"reversible fixed rate 19", {19, 19, 64, -1075}},
  {"reversible fixed rate 1000", {1000, 1000, 64, -1075}},
  {"precision 1", {1, 16658, 1, -1074}},
  {"precision 13", {1, 16658, 13, -1074}},
  {"precision 40", {1, 16658, 40, -1074}},
  {"accuracy 2^-20", {1, 16658, 64, -20}},
  {"accuracy 2^3", {1, 16658, 64, 3}},
  {"custom min_bits 0", {0, 16658, 64, -1074}},
  {"custom min_bits 500", {500, 16658, 20, -1074}},
  {"custom reversible max_prec 9", {0, 16658, 9, -1075}},
  {"custom reversible min_bits 2000", {2000, 16658, 64, -1075}},
  // limits below the block headers
  {"max_bits 0", {0, 0, 64, -1074}},
  {"max_bits 1", {0, 1, 64, -1074}},
  {"max_bits 5", {5, 5, 64, -1074}},
  {"max_bits 11", {0, 11, 64, -1074}},
  {"reversible max_bits 0", {0, 0, 64, -1075}},
  {"reversible max_bits 4", {0, 4, 64, -1075}},
  {"reversible max_bits 7", {7, 7, 64, -1075}},
  {"reversible max_bits 14", {0, 14, 64, -1075}},
  {"reversible max_bits 18", {3, 18, 64, -1075}},
  {"min_bits above max_bits", {40, 20, 64, -1074}},
  {"reversible min_bits above max_bits", {40, 3, 64, -1075}},
  // precision far outside the 32-bit range
  {"min_exp INT32_MAX", {1, 16658, 64, INT32_MAX}},
  {"min_exp INT32_MAX - 100", {0, 16658, 64, INT32_MAX - 100}},
  {"min_exp INT32_MIN", {1, 16658, 64, INT32_MIN}},
};

template <typename T>
std::vector<std::vector<T>> test_blocks(unsigned n, uint64_t seed)
{
  std::mt19937_64 rng(seed);
  std::vector<std::vector<T>> blocks;
  for (unsigned kind = 0; kind < 12; kind++)
    blocks.push_back(ct::random_block<T>(rng, n, kind));
  blocks.push_back(std::vector<T>(n, T(0)));
  if constexpr (std::is_floating_point<T>::value) {
    using L = std::numeric_limits<T>;
    blocks.push_back(std::vector<T>(n, -T(0)));
    std::vector<T> special(n);
    const T values[] = {L::infinity(), -L::infinity(), L::quiet_NaN(), L::denorm_min(), -L::max(),
                        L::min(),      T(1),           -T(0),          T(3.25),         L::lowest()};
    for (unsigned i = 0; i < n; i++)
      special[i] = values[i % 10];
    blocks.push_back(special);
    std::vector<T> tiny(n);
    for (unsigned i = 0; i < n; i++)
      tiny[i] = L::denorm_min() * T(int(i % 7) - 3);
    blocks.push_back(tiny);
  }
  else {
    blocks.push_back(std::vector<T>(n, std::numeric_limits<T>::min()));
    std::vector<T> alternating(n);
    for (unsigned i = 0; i < n; i++)
      alternating[i] = (i % 3) ? std::numeric_limits<T>::max() : std::numeric_limits<T>::min();
    blocks.push_back(alternating);
  }
  return blocks;
}

template <typename T, unsigned D>
void check_roundtrip(const named_limits& nl)
{
  constexpr unsigned n = ct::block_values<D>;
  using C = ct::codec<T, D>;
  const auto blocks = test_blocks<T>(n, 1000 + D);
  const ct::limits l = nl.l;
  const uint64_t room = std::max(l.min_bits, l.max_bits);
  SCOPED_TRACE(std::string(nl.name) + ", d=" + std::to_string(D) + ", " +
               (sizeof(T) == 4 ? "32-bit " : "64-bit ") +
               (std::is_floating_point<T>::value ? "float" : "int"));

  ct::stream s(20000, l);
  const unsigned start = 37;
  s.put(0x123456789abcdefull, start);
  const kvr_stream before = s.ks;
  std::vector<size_t> counts;
  for (const auto& b : blocks) {
    uint64_t pos = s.write_pos();
    size_t bits = C::encode(&s.ks, b.data());
    ASSERT_EQ(s.write_pos() - pos, bits);
    ASSERT_LE(bits, room);
    if (int32_t(l.min_bits) > 0) {
      ASSERT_GE(bits, l.min_bits);
    }
    if (l.min_bits == l.max_bits) {
      ASSERT_EQ(bits, l.min_bits);
    }
    counts.push_back(bits);
  }
  ASSERT_EQ(std::memcmp(&before, &s.ks, sizeof before), 0);
  s.flush();
  ASSERT_EQ(s.field(0, start), 0x123456789abcdefull & ((1ull << start) - 1));

  s.seek_read(start);
  for (size_t i = 0; i < blocks.size(); i++) {
    std::vector<T> out(n, T(7));
    uint64_t pos = s.read_pos();
    size_t bits = C::decode(&s.ks, out.data());
    ASSERT_EQ(bits, counts[i]) << "block " << i;
    ASSERT_EQ(s.read_pos() - pos, bits) << "block " << i;
    if (l.min_exp < -1074 && l.max_bits == 16658 && l.max_prec == 64) {
      for (unsigned j = 0; j < n; j++)
        ASSERT_EQ(ct::bits_of(out[j]), ct::bits_of(blocks[i][j])) << "block " << i << " value " << j;
    }
  }
  ASSERT_EQ(std::memcmp(&before, &s.ks, sizeof before), 0);
}

template <typename T>
void check_all_dims()
{
  for (const auto& nl : limit_table) {
    check_roundtrip<T, 1>(nl);
    check_roundtrip<T, 2>(nl);
    check_roundtrip<T, 3>(nl);
    check_roundtrip<T, 4>(nl);
  }
}

TEST(BlockRoundTrip, Int32) { check_all_dims<int32_t>(); }
TEST(BlockRoundTrip, Int64) { check_all_dims<int64_t>(); }
TEST(BlockRoundTrip, Float) { check_all_dims<float>(); }
TEST(BlockRoundTrip, Double) { check_all_dims<double>(); }

} // namespace
