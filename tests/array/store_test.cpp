#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "array/codec_counter.hpp"
#include "kvr/array.hpp"

namespace {

using Store2 = kvr::BlockStore2<double>;

std::string what_of(void (*f)())
{
  try {
    f();
  }
  catch (const kvr::exception& e) {
    return e.what();
  }
  return "";
}

uint32_t max_bits(const kvr_stream* s)
{
  uint32_t b = 0;
  kvr_stream_params(s, nullptr, &b, nullptr, nullptr);
  return b;
}

TEST(BlockStore, TenByTenDoubleAtRate8)
{
  Store2 s(10, 10, kvr_config_rate(8, 1));
  EXPECT_EQ(s.bx, 3u);
  EXPECT_EQ(s.by, 3u);
  EXPECT_EQ(s.block_count(), 9u);
  EXPECT_EQ(s.index.blocks, 9u);
  EXPECT_EQ(s.index.bits_per_block, 128u);
  EXPECT_EQ(s.bytes, 144u);
  EXPECT_EQ(kvr_stream_rate(s.codec.stream, 2), 8.0);
  EXPECT_EQ(s.values_per_block(), 16u);
  EXPECT_EQ(s.size_bytes(0), 0u);
  EXPECT_EQ(s.size_bytes(0x10), 144u);
  EXPECT_EQ(s.size_bytes(4), 144u);
  EXPECT_EQ(s.size_bytes(0x14), 288u);
  kvr::BlockStore1<double> s1(5, kvr_config_rate(8, 1));
  kvr::BlockStore3<double> s3(5, 5, 5, kvr_config_rate(8, 1));
  kvr::BlockStore4<double> s4(5, 5, 5, 5, kvr_config_rate(8, 1));
  EXPECT_EQ(s1.size_bytes(4), 128u);
  EXPECT_EQ(s3.size_bytes(4), 160u);
  EXPECT_EQ(s4.size_bytes(4), 176u);
}

struct SizeCase {
  unsigned dims;
  bool dbl;
  size_t n;      // every extent
  double rate;
  uint32_t bits; // per block
  size_t bytes;
  double in_force;
};

template <class Store>
void check_size(const SizeCase& c, Store& s)
{
  EXPECT_EQ(s.index.bits_per_block, c.bits) << c.dims << "D rate " << c.rate;
  EXPECT_EQ(s.bytes, c.bytes) << c.dims << "D rate " << c.rate;
  EXPECT_EQ(kvr_stream_rate(s.codec.stream, c.dims), c.in_force) << c.dims << "D rate " << c.rate;
}

TEST(BlockStore, BitsPerBlockAndBufferSize)
{
  const SizeCase cases[] = {
    {2, true, 10, 0, 64, 72, 4.0},
    {2, true, 10, 1, 64, 72, 4.0},
    {2, true, 10, 7, 128, 144, 8.0},
    {3, true, 4, 2.3, 192, 24, 3.0},
    {1, false, 4, 1, 64, 8, 16.0},
    {2, true, 4, 1040.03125, 16704, 2112, 0.0},
    {2, true, 4, 1040, 16640, 2080, 1040.0},
  };
  for (const SizeCase& c : cases) {
    kvr_config cfg = kvr_config_rate(c.rate, 1);
    if (c.dims == 1) {
      kvr::BlockStore1<float> s(c.n, cfg);
      check_size(c, s);
    }
    else if (c.dims == 2) {
      Store2 s(c.n, c.n, cfg);
      check_size(c, s);
    }
    else {
      kvr::BlockStore3<double> s(c.n, c.n, c.n, cfg);
      check_size(c, s);
    }
  }
}

// The codec binding sizes a buffer for any field under its own limits: an
// extent of 0 counts as one block, no extent at all as no buffer, and
// outside fixed-rate mode the core's bound holds.
TEST(BlockStore, BindingRequiredBytes)
{
  kvr::codec::kvr2<double> binding;
  kvr_stream_set_rate(binding.stream, 16, kvr_type_double, 2, 1); // 256 bits a block
  kvr_field* f = kvr_field_2d(nullptr, kvr_type_double, 5, 5);
  EXPECT_EQ(binding.required_bytes(f), 4u * 256 / 8);
  f->ny = 0;
  EXPECT_EQ(binding.required_bytes(f), 2u * 256 / 8);
  f->nx = 0;
  EXPECT_EQ(binding.required_bytes(f), 0u);
  f->nx = f->ny = 9;
  kvr_stream_set_accuracy(binding.stream, 1e-3);
  EXPECT_EQ(binding.required_bytes(f), kvr_stream_maximum_size(binding.stream, f));
  kvr_field_free(f);
}

TEST(BlockStore, ZeroExtentEmptiesEveryExtent)
{
  Store2 s(5, 0, kvr_config_rate(8, 1));
  EXPECT_EQ(s.nx, 0u);
  EXPECT_EQ(s.ny, 0u);
  EXPECT_EQ(s.bx, 0u);
  EXPECT_EQ(s.block_count(), 0u);
  EXPECT_EQ(s.required_bytes(), 0u);
  EXPECT_NE(kvr_stream_bit_stream(s.codec.stream), nullptr);
  s.resize(5, 0, true);
  EXPECT_EQ(s.data, nullptr);
  EXPECT_EQ(kvr_stream_bit_stream(s.codec.stream), nullptr);

  const size_t n1[] = {0, 1, 4, 5};
  const size_t b1[] = {0, 1, 1, 2};
  for (int i = 0; i < 4; i++) {
    kvr::BlockStore1<double> t(n1[i], kvr_config_rate(8, 1));
    EXPECT_EQ(t.block_count(), b1[i]);
  }
}

TEST(BlockStore, ConfigurationsThatAreRefused)
{
  EXPECT_EQ(what_of([] { Store2 s(8, 8, kvr_config_precision(20)); }), "kvr index does not support variable rate");
  EXPECT_EQ(what_of([] { Store2 s(8, 8, kvr_config_accuracy(0.5)); }), "kvr index does not support variable rate");
  EXPECT_EQ(what_of([] { Store2 s(8, 8, kvr_config_reversible()); }), "kvr index does not support variable rate");
  EXPECT_EQ(what_of([] { Store2 s(8, 8, kvr_config_custom(64, 128, 64, -1074)); }),
            "kvr index does not support variable rate");
  EXPECT_EQ(what_of([] { Store2 s(8, 8, kvr_config_none()); }), "kvr compression mode not supported by array");
  EXPECT_EQ(what_of([] {
              kvr_config c = kvr_config_none();
              c.mode = 6;
              Store2 s(8, 8, c);
            }),
            "kvr compression mode not supported by array");
  // Limits the stream would reject would leave default limits in force,
  // with slots beyond the buffer.
  EXPECT_EQ(what_of([] { Store2 s(8, 8, kvr_config_custom(64, 64, 0, -1074)); }),
            "kvr compression mode not supported by array");
  EXPECT_EQ(what_of([] { Store2 s(8, 8, kvr_config_custom(64, 64, 65, -1074)); }),
            "kvr compression mode not supported by array");
  EXPECT_EQ(what_of([] { Store2 s(8, 8, kvr_config_custom(0xffffffffu, 0xffffffffu, 64, -1074)); }),
            "kvr compression mode not supported by array");

  // configure on a built store refuses before changing anything.
  Store2 s(8, 8, kvr_config_rate(8, 1));
  void* data = s.data;
  EXPECT_THROW(s.configure(kvr_config_precision(3)), kvr::exception);
  EXPECT_EQ(s.data, data);
  EXPECT_EQ(s.index.bits_per_block, 128u);
  EXPECT_EQ(max_bits(s.codec.stream), 128u);
}

TEST(BlockStore, CustomEqualLimitsGetWordAlignedSlots)
{
  struct {
    uint32_t bits, slot;
  } cases[] = {{64, 64}, {100, 128}, {0, 64}, {1, 64}, {128, 128}};
  for (auto c : cases) {
    Store2 s(10, 10, kvr_config_custom(c.bits, c.bits, 64, -1074));
    EXPECT_EQ(s.index.bits_per_block, c.slot) << c.bits;
    EXPECT_EQ(max_bits(s.codec.stream), c.slot) << c.bits;
    EXPECT_GE(s.bytes, 9 * c.slot / 8) << c.bits;
  }
  // Custom mode (max_prec below 64): the buffer still holds every slot.
  Store2 s(10, 10, kvr_config_custom(192, 192, 20, -1074));
  EXPECT_EQ(s.index.bits_per_block, 192u);
  EXPECT_GE(s.bytes, 9 * 192 / 8u);
}

// A rate whose sign bit is clear (what an array constructor makes of a
// negative rate) still gives word-aligned slots.
TEST(BlockStore, UnalignedRateRequestsAreAligned)
{
  const double rates[] = {1, 8.5, 0, std::numeric_limits<double>::quiet_NaN()};
  for (double r : rates) {
    Store2 s(10, 10, kvr_config_rate(r, 0));
    EXPECT_EQ(s.index.bits_per_block % 64, 0u) << r;
    EXPECT_NE(s.index.bits_per_block, 0u) << r;
    EXPECT_EQ(s.bytes, 9 * s.index.bits_per_block / 8) << r;
  }
  Store2 neg(10, 10, kvr_config_rate(-1, 1));
  EXPECT_EQ(neg.index.bits_per_block, 64u);
  Store2 nan(10, 10, kvr_config_rate(-std::numeric_limits<double>::quiet_NaN(), 1));
  EXPECT_EQ(nan.index.bits_per_block, 64u);
}

TEST(BlockStore, EncodeKeepsNeighbouringBlocksBitForBit)
{
  Store2 s(12, 4, kvr_config_rate(1, 0)); // would be 16 bits per block unaligned
  std::vector<double> p(48);
  for (size_t i = 0; i < p.size(); i++)
    p[i] = std::sin(0.3 * double(i)) + 2;
  for (size_t b = 0; b < 3; b++)
    s.encode(b, p.data() + 4 * b, 1, 12);
  std::vector<unsigned char> before(static_cast<unsigned char*>(s.data),
                                    static_cast<unsigned char*>(s.data) + s.bytes);
  double block[16];
  for (double& v : block)
    v = -5;
  s.encode(1, block);
  size_t slot = s.index.bits_per_block / 8;
  const unsigned char* after = static_cast<unsigned char*>(s.data);
  EXPECT_EQ(std::memcmp(before.data(), after, slot), 0);
  EXPECT_EQ(std::memcmp(before.data() + 2 * slot, after + 2 * slot, slot), 0);
  EXPECT_NE(std::memcmp(before.data() + slot, after + slot, slot), 0);
}

TEST(BlockStore, EdgeBlocksDecodeOnlyTheirValidValues)
{
  Store2 s(10, 10, kvr_config_rate(32, 1));
  std::vector<double> p(100);
  for (size_t i = 0; i < 100; i++)
    p[i] = double(i % 10) + 0.5 * double(i / 10);
  for (size_t b = 0; b < 9; b++)
    s.encode(b, p.data() + 4 * (b % 3) + 40 * (b / 3), 1, 10);
  double line[16];
  for (double& v : line)
    v = 1e9;
  s.decode(8, line); // block (2, 2): 2 x 2 valid values
  for (int y = 0; y < 4; y++)
    for (int x = 0; x < 4; x++) {
      if (x < 2 && y < 2)
        EXPECT_NEAR(line[x + 4 * y], p[8 + x + 10 * (8 + y)], 1e-6);
      else
        EXPECT_EQ(line[x + 4 * y], 1e9);
    }
  s.decode(5, line); // block (2, 1): 2 x 4
  EXPECT_NEAR(line[1 + 4 * 3], p[9 + 10 * 7], 1e-6);
  EXPECT_EQ(line[2], 1e9);
}

TEST(BlockStore, DeepCopySharesNothing)
{
  Store2 s(10, 10, kvr_config_rate(8, 1));
  double block[16];
  for (int i = 0; i < 16; i++)
    block[i] = i;
  s.encode(4, block);
  Store2 c;
  c.deep_copy(s);
  EXPECT_NE(c.data, s.data);
  EXPECT_EQ(c.bytes, s.bytes);
  EXPECT_EQ(std::memcmp(c.data, s.data, s.bytes), 0);
  EXPECT_EQ(max_bits(c.codec.stream), 128u);
  EXPECT_EQ(c.bx, 3u);
  EXPECT_EQ(c.index.blocks, 9u);
  std::vector<unsigned char> orig(static_cast<unsigned char*>(s.data),
                                  static_cast<unsigned char*>(s.data) + s.bytes);
  for (int i = 0; i < 16; i++)
    block[i] = -i;
  c.encode(4, block);
  EXPECT_EQ(std::memcmp(orig.data(), s.data, s.bytes), 0);
  EXPECT_NE(std::memcmp(c.data, s.data, s.bytes), 0);

  Store2 empty, copy;
  copy.deep_copy(empty);
  EXPECT_EQ(copy.data, nullptr);
  EXPECT_EQ(copy.index.bits_per_block, 0u);
  EXPECT_NE(kvr_stream_bit_stream(copy.codec.stream), nullptr);
}

TEST(BlockStore, ResizeKeepsTheRateAndClears)
{
  Store2 s(10, 10, kvr_config_rate(8, 1));
  double block[16];
  for (double& v : block)
    v = 3;
  s.encode(0, block);
  s.resize(20, 8, true);
  EXPECT_EQ(s.block_count(), 10u);
  EXPECT_EQ(s.bytes, 10 * 128 / 8u);
  s.decode(0, block);
  EXPECT_EQ(block[0], 0.0);
}

// 2^31 blocks or more would alias cache tags; they are refused before
// anything is allocated or changed.
TEST(BlockStore, TooManyBlocksAreRefused)
{
  EXPECT_EQ(what_of([] { kvr::BlockStore1<double> s(size_t(1) << 33, kvr_config_rate(1, 1)); }),
            "kvr array too large for cache");
  EXPECT_EQ(what_of([] { Store2 s(size_t(1) << 40, size_t(1) << 40, kvr_config_rate(1, 1)); }),
            "kvr array too large for cache");
  EXPECT_EQ(what_of([] { kvr::BlockStore4<double> s(1u << 20, 1u << 20, 1u << 20, 1u << 20, kvr_config_rate(1, 1)); }),
            "kvr array too large for cache");
  Store2 s(10, 10, kvr_config_rate(8, 1));
  void* data = s.data;
  EXPECT_THROW(s.resize(size_t(1) << 18, size_t(1) << 17, true), kvr::exception);
  EXPECT_EQ(s.data, data);
  EXPECT_EQ(s.nx, 10u);
  EXPECT_EQ(s.block_count(), 9u);
}

// A store whose rate was never set has no slots: reads give zeros and
// writes reach no buffer, whatever its extents.
TEST(BlockStore, NoRateMeansNoSlot)
{
  Store2 s;
  s.resize(10, 10, true);
  EXPECT_EQ(s.index.bits_per_block, 0u);
  counter::reset();
  double line[16];
  for (double& v : line)
    v = 7;
  EXPECT_EQ(s.encode(3, line), 0u);
  EXPECT_EQ(s.decode(3, line), 0u);
  for (double v : line)
    EXPECT_EQ(v, 0.0);
  EXPECT_EQ(counter::get().encodes + counter::get().decodes, 0);
  // A block number beyond the store is no slot either.
  Store2 t(4, 4, kvr_config_rate(8, 1));
  line[0] = 1;
  EXPECT_EQ(t.decode(1, line), 0u);
  EXPECT_EQ(line[0], 0.0);
  EXPECT_EQ(t.encode(5, line), 0u);
}

TEST(BlockStore, BuiltCopiedDestroyedManyTimes)
{
  for (int i = 0; i < 200; i++) {
    kvr::BlockStore3<float> s(9, 5, 3, kvr_config_rate(4, 1));
    kvr::BlockStore3<float> c;
    c.deep_copy(s);
    c.resize(4, 4, 4, false);
  }
  SUCCEED(); // leaks are reported by the sanitizer and valgrind runs
}

} // namespace
