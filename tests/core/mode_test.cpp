// Mode word in both forms and its reader; maximum compressed sizes.
#include <kvr/kvr.h>

#include <gtest/gtest.h>

#include <vector>

#include "core/stream_fixture.hpp"

namespace {

using Mode = StreamFixture;

constexpr uint64_t long_form = 4095;

TEST_F(Mode, WriterCodes)
{
  const struct { Limits l; uint64_t word; } cases[] = {
    {{64, 64, 64, -1074}, 63},
    {{1, 1, 64, -1074}, 0},
    {{2048, 2048, 64, -1074}, 2047},
    {{1, 16658, 20, -1074}, 2067},
    {{1, 16658, 1, -1074}, 2048},
    {{0, 16658, 64, -1074}, 2111},
    {{1, 16658, 64, -1075}, 2176},
    {{1, 16658, 64, -5000}, 2176},
    {{1, 16658, 64, -10}, 3241},
    {{1, 16658, 64, -1073}, 2178},
    {{1, 16658, 64, 843}, 4094},
    {{1, 16658, 64, -1074}, 0x787afe0888000fffu},
    {{1, 100, 32, -20}, 0x80b67c0318000fffu},
  };
  for (auto c : cases) {
    set(c.l);
    EXPECT_EQ(kvr_stream_mode(s), c.word) << std::hex << c.word;
  }
  // Fixed rate above 2048 bits and accuracy above 843 take the long form.
  set({2049, 2049, 64, -1074});
  EXPECT_EQ(kvr_stream_mode(s) & 0xfff, long_form);
  set({1, 16658, 64, 844});
  EXPECT_EQ(kvr_stream_mode(s) & 0xfff, long_form);
}

TEST_F(Mode, LongFormClampsEveryField)
{
  set({0, 40000, 0, -20000});
  uint64_t w = kvr_stream_mode(s);
  EXPECT_EQ(w & 0xfff, long_form);
  EXPECT_EQ((w >> 12) & 0x7fff, 0u);       // min_bits 0 sent as 1
  EXPECT_EQ((w >> 27) & 0x7fff, 0x7fffu);  // max_bits to 32768
  EXPECT_EQ((w >> 42) & 0x7f, 0u);         // max_prec 0 sent as 1
  EXPECT_EQ(w >> 49, 0u);                  // min_exp to -16495
  set({1, 2, 64, 30000});
  EXPECT_EQ(kvr_stream_mode(s) >> 49, 0x7fffu);
}

TEST_F(Mode, ReaderRoundTripsEveryWriterCode)
{
  // Every short code the reader accepts, and long forms for the rest.
  for (uint64_t code = 0; code <= 4094; code++) {
    bool rejected = code >= 2112 && code <= 2175;
    kvr_mode m = kvr_stream_set_mode(s, code);
    if (rejected) {
      EXPECT_EQ(m, kvr_mode_null) << code;
      continue;
    }
    ASSERT_NE(m, kvr_mode_null) << code;
    EXPECT_EQ(m, kvr_stream_compression_mode(s));
    if (code != 2111 && code != 2177) {
      EXPECT_EQ(kvr_stream_mode(s), code) << code;
    }
  }
  const Limits longs[] = {{1, 16658, 64, -1074}, {1, 100, 32, -20}, {2049, 2049, 64, -1074},
                          {7, 9000, 12, 3}, {1, 16658, 64, 844}};
  for (auto l : longs) {
    set(l);
    uint64_t w = kvr_stream_mode(s);
    set({3, 3, 64, -1074});
    kvr_stream_set_mode(s, w);
    expect(l);
  }
}

TEST_F(Mode, ReaderResults)
{
  EXPECT_EQ(kvr_stream_set_mode(s, 0x787afe0888000fffu), kvr_mode_custom);
  expect({1, 16658, 64, -1074});
  EXPECT_EQ(kvr_stream_set_mode(s, 63), kvr_mode_fixed_rate);
  expect({64, 64, 64, -1074});
  EXPECT_EQ(kvr_stream_set_mode(s, 2067), kvr_mode_fixed_precision);
  EXPECT_EQ(kvr_stream_set_mode(s, 2176), kvr_mode_reversible);
  expect({1, 16658, 64, -1075});
  EXPECT_EQ(kvr_stream_set_mode(s, 3241), kvr_mode_fixed_accuracy);
  expect({1, 16658, 64, -10});
  // 2111 and 2177 stand for the default limits.
  EXPECT_EQ(kvr_stream_set_mode(s, 2111), kvr_mode_custom);
  expect({1, 16658, 64, -1074});
  set({5, 5, 64, -1074});
  EXPECT_EQ(kvr_stream_set_mode(s, 2177), kvr_mode_custom);
  expect({1, 16658, 64, -1074});
  // Fixed precision with min_bits 0 keeps its mode but not its limits.
  set({0, 16658, 64, -1074});
  EXPECT_EQ(kvr_stream_mode(s), 2111u);
}

TEST_F(Mode, ReaderRejectsWithoutChanging)
{
  set({5, 5, 64, -1074});
  const uint64_t rejected[] = {
    2112, 2175,
    long_form | (uint64_t(9) << 12) | (uint64_t(3) << 27) | (uint64_t(63) << 42),   // min > max
    long_form | (uint64_t(0) << 12) | (uint64_t(3) << 27) | (uint64_t(64) << 42),   // prec 65
  };
  for (uint64_t w : rejected) {
    EXPECT_EQ(kvr_stream_set_mode(s, w), kvr_mode_null) << w;
    expect({5, 5, 64, -1074});
  }
}

TEST_F(Mode, MaximumSize)
{
  const struct { Limits l; kvr_type type; size_t n[4]; size_t bytes; } cases[] = {
    {{64, 64, 64, -1074}, kvr_type_double, {10, 10, 0, 0}, 96},
    {{1, 16658, 64, -1074}, kvr_type_float, {100, 0, 0, 0}, 456},
    {{1, 16658, 64, -1075}, kvr_type_double, {4, 4, 4, 4}, 2104},
    // int32 lossy: 0 + 15 + 32 * 16 = 527 bits per block, 4 blocks.
    {{1, 16658, 64, -1074}, kvr_type_int32, {8, 5, 0, 0}, (4 * 527 + 148 + 63) / 64 * 8},
    // The precision limit shortens every block.
    {{1, 16658, 10, -1074}, kvr_type_int64, {4, 0, 0, 0}, (3 + 40 + 148 + 63) / 64 * 8},
    // min_bits raises short blocks.
    {{1000, 2000, 1, -1074}, kvr_type_float, {4, 0, 0, 0}, (1000 + 148 + 63) / 64 * 8},
    // A reversible block's own precision field decides its planes, so
    // max_prec does not shorten it: 19 + 15 + 64 * 16 bits.
    {{1, 16658, 10, -1075}, kvr_type_double, {4, 4, 0, 0}, (1058 + 148 + 63) / 64 * 8},
    // max_bits caps every block, also below the block's header (such a
    // block is empty), and min_bits raises it again.
    {{1, 5, 64, -1074}, kvr_type_float, {4, 0, 0, 0}, (5 + 148 + 63) / 64 * 8},
    {{1, 9, 64, -1074}, kvr_type_float, {4, 0, 0, 0}, (9 + 148 + 63) / 64 * 8},
    {{1, 4, 64, -1075}, kvr_type_int32, {4, 0, 0, 0}, (4 + 148 + 63) / 64 * 8},
    {{1, 10, 64, -1075}, kvr_type_double, {16, 16, 0, 0}, (16 * 10 + 148 + 63) / 64 * 8},
    {{7, 7, 64, -1074}, kvr_type_double, {5, 5, 5, 0}, (8 * 7 + 148 + 63) / 64 * 8},
    {{0, 0, 64, -1074}, kvr_type_float, {4, 4, 0, 0}, (148 + 63) / 64 * 8},
  };
  for (auto c : cases) {
    set(c.l);
    kvr_field* f = kvr_field_4d(nullptr, c.type, c.n[0], c.n[1], c.n[2], c.n[3]);
    EXPECT_EQ(kvr_stream_maximum_size(s, f), c.bytes) << c.type;
    kvr_field_free(f);
  }
  // A rate set for int32 blocks and applied to a float field: 4 bits per
  // block, below the float header.
  kvr_stream_set_rate(s, 0.25, kvr_type_int32, 2, 0);
  kvr_field* g = kvr_field_2d(nullptr, kvr_type_float, 4, 4);
  EXPECT_EQ(kvr_stream_maximum_size(s, g), 24u);
  kvr_field_free(g);

  kvr_field* f = kvr_field_alloc();
  EXPECT_EQ(kvr_stream_maximum_size(s, f), 0u);
  f->nx = 4;
  EXPECT_EQ(kvr_stream_maximum_size(s, f), 0u);  // type none
  f->type = 5;
  EXPECT_EQ(kvr_stream_maximum_size(s, f), 0u);
  kvr_field_free(f);
}

// The maximum size bounds the stream of any bytes decoded under any limits
// a header can carry: blocks of all-ones bits, which take the longest codes,
// and of arbitrary bits stay inside a buffer of exactly that size (the
// sanitizer build catches a read past it).  The limits include every type's
// block header with max_bits just below and at it, lossy and reversible.
TEST_F(Mode, MaximumSizeBoundsForeignBlocks)
{
  const struct { Limits l; kvr_type type; } cases[] = {
    {{1, 16658, 10, -1075}, kvr_type_double},
    {{1, 16658, 1, -16495}, kvr_type_float},
    {{1, 30, 64, -1075}, kvr_type_int64},
    {{1, 5, 64, -1074}, kvr_type_float},
    {{1, 11, 40, -1074}, kvr_type_double},
    {{1, 17, 64, -1075}, kvr_type_double},
    {{0, 0, 64, -1074}, kvr_type_float},
    {{0, 0, 64, -1075}, kvr_type_double},
    {{0, 0, 64, -1074}, kvr_type_int32},
    {{1, 8, 64, -1074}, kvr_type_float},
    {{1, 12, 64, -1074}, kvr_type_double},
    {{3, 4, 64, -1075}, kvr_type_int32},
    {{1, 5, 64, -1075}, kvr_type_int64},
    {{1, 6, 64, -1075}, kvr_type_float},
    {{1, 7, 64, -1075}, kvr_type_float},
    {{1, 14, 64, -1075}, kvr_type_float},
    {{1, 15, 64, -1075}, kvr_type_float},
    {{2, 18, 64, -1075}, kvr_type_double},
    {{1, 19, 64, -1075}, kvr_type_double},
    {{4, 4, 64, -1074}, kvr_type_float},
  };
  const bool all_ones[] = {true, false};
  for (auto c : cases)
    for (uint32_t d = 1; d <= 4; d++)
      for (bool ones : all_ones) {
        set(c.l);
        kvr_field* f = kvr_field_4d(nullptr, c.type, 5, d > 1 ? 5 : 0, d > 2 ? 5 : 0, d > 3 ? 5 : 0);
        const size_t bytes = kvr_stream_maximum_size(s, f);
        std::vector<uint64_t> words(bytes / 8);
        uint64_t x = 0x9e3779b97f4a7c15u;
        for (uint64_t& w : words) {
          x ^= x << 13;
          x ^= x >> 7;
          x ^= x << 17;
          w = ones ? ~uint64_t(0) : x;
        }
        std::vector<uint64_t> values(kvr_field_size(f, nullptr));
        kvr_field_set_pointer(f, values.data());
        bit_stream* bs = stream_open(words.data(), bytes);
        kvr_stream_set_bit_stream(s, bs);
        EXPECT_LE(kvr_decompress(s, f), bytes)
            << c.type << " d=" << d << " limits " << c.l.min_bits << " " << c.l.max_bits << " "
            << c.l.max_prec << " " << c.l.min_exp;
        kvr_stream_set_bit_stream(s, nullptr);
        stream_close(bs);
        kvr_field_free(f);
      }
}

} // namespace
