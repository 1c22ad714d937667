// Stream header: sizes by mask, round trips and every rejection.
#include <kvr/kvr.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "core/stream_fixture.hpp"

namespace {

class Header : public ::testing::Test {
protected:
  std::vector<uint64_t> words = std::vector<uint64_t>(8, 0);
  bit_stream* bs = stream_open(words.data(), words.size() * 8);
  kvr_stream* s = kvr_stream_open(bs);
  kvr_field* f = kvr_field_2d(nullptr, kvr_type_double, 10, 10);
  ~Header() override
  {
    kvr_field_free(f);
    kvr_stream_close(s);
    stream_close(bs);
  }
};

TEST_F(Header, RoundTripsEveryMask)
{
  for (bool long_mode : {false, true})
    for (uint32_t mask = 0; mask <= 7; mask++) {
      if (long_mode)
        kvr_stream_set_params(s, 1, 100, 32, -20);
      else
        kvr_stream_set_rate(s, 4, kvr_type_double, 2, 0);
      const uint32_t mode_bits = long_mode ? 64 : 12;
      const size_t expect = (mask & 1 ? 32 : 0) + (mask & 2 ? 52 : 0) + (mask & 4 ? mode_bits : 0);
      stream_rewind(bs);
      ASSERT_EQ(kvr_write_header(s, f, mask), expect) << mask;
      EXPECT_EQ(stream_write_offset(bs), expect);
      stream_flush(bs);

      kvr_stream_set_params(s, 3, 3, 1, 0);
      kvr_field* g = kvr_field_alloc();
      stream_rewind(bs);
      ASSERT_EQ(kvr_read_header(s, g, mask), expect) << mask;
      EXPECT_EQ(stream_read_offset(bs), expect);
      if (mask & 2) {
        EXPECT_EQ(g->type, kvr_type_double);
        EXPECT_EQ(g->nx, 10u);
        EXPECT_EQ(g->ny, 10u);
        EXPECT_EQ(g->nz, 0u);
      }
      else {
        EXPECT_EQ(g->type, kvr_type_none);
      }
      if (mask & 4) {
        EXPECT_EQ(s->min_bits, long_mode ? 1u : 64u);
        EXPECT_EQ(s->max_bits, long_mode ? 100u : 64u);
        EXPECT_EQ(s->max_prec, long_mode ? 32u : 64u);
        EXPECT_EQ(s->min_exp, long_mode ? -20 : -1074);
      }
      else {
        EXPECT_EQ(s->min_bits, 3u);
      }
      kvr_field_free(g);
    }
}

TEST_F(Header, DefaultLimitsNeedTheLongModeWord)
{
  EXPECT_EQ(kvr_write_header(s, f, 7), 148u);
  stream_rewind(bs);
  EXPECT_EQ(kvr_write_header(s, f, 4), 64u);
}

TEST_F(Header, FieldThatDoesNotFitWritesNothing)
{
  kvr_field* big = kvr_field_4d(nullptr, kvr_type_double, 5000, 1, 1, 1);
  EXPECT_EQ(kvr_write_header(s, big, 3), 0u);
  EXPECT_EQ(stream_write_offset(bs), 0u);
  EXPECT_EQ(kvr_write_header(s, big, 1), 32u);
  kvr_field_free(big);
}

TEST_F(Header, LargeOneDimensionalExtentSurvives)
{
  kvr_field* big = kvr_field_1d(nullptr, kvr_type_int32, size_t(1) << 40);
  ASSERT_EQ(kvr_write_header(s, big, 3), 84u);
  stream_flush(bs);
  stream_rewind(bs);
  kvr_field* g = kvr_field_alloc();
  EXPECT_EQ(kvr_read_header(s, g, 3), 84u);
  EXPECT_EQ(g->nx, size_t(1) << 40);
  EXPECT_EQ(g->type, kvr_type_int32);
  kvr_field_free(g);
  kvr_field_free(big);
}

TEST_F(Header, RejectsWrongMagicAndVersion)
{
  kvr_stream_set_rate(s, 4, kvr_type_double, 2, 0);
  ASSERT_EQ(kvr_write_header(s, f, 7), 96u);
  stream_flush(bs);
  const struct { unsigned byte; uint64_t consumed; } cases[] = {{0, 8}, {1, 16}, {2, 24}, {3, 32}};
  for (auto c : cases) {
    std::vector<uint64_t> copy = words;
    copy[0] ^= uint64_t(0x40) << (8 * c.byte);
    bit_stream* r = stream_open(copy.data(), copy.size() * 8);
    kvr_stream* t = kvr_stream_open(r);
    kvr_field* g = kvr_field_alloc();
    EXPECT_EQ(kvr_read_header(t, g, 7), 0u);
    EXPECT_EQ(stream_read_offset(r), c.consumed);
    EXPECT_EQ(g->type, kvr_type_none);
    EXPECT_EQ(t->max_bits, 16658u);
    kvr_field_free(g);
    kvr_stream_close(t);
    stream_close(r);
  }
}

TEST_F(Header, RejectedModeWordLeavesLimitsButSetsField)
{
  for (char c : {'k', 'v', 'r', char(5)})
    stream_write_bits(bs, uint8_t(c), 8);
  stream_write_bits(bs, kvr_field_metadata(f), 52);
  stream_write_bits(bs, 2112, 12);
  stream_flush(bs);
  stream_rewind(bs);
  kvr_field* g = kvr_field_alloc();
  EXPECT_EQ(kvr_read_header(s, g, 7), 0u);
  EXPECT_EQ(g->nx, 10u);
  EXPECT_EQ(g->type, kvr_type_double);
  EXPECT_EQ(stream_read_offset(bs), 96u);
  EXPECT_EQ(s->min_bits, 1u);
  EXPECT_EQ(s->max_bits, 16658u);
  kvr_field_free(g);
}

// v as a value of `type` at p (integers scaled up to use their bits).
void store(unsigned char* p, kvr_type type, double v)
{
  const int32_t i32 = int32_t(v * 1e6);
  const int64_t i64 = int64_t(v * 1e15);
  const float f32 = float(v);
  const void* src = type == kvr_type_int32 ? static_cast<const void*>(&i32)
                  : type == kvr_type_int64 ? static_cast<const void*>(&i64)
                  : type == kvr_type_float ? static_cast<const void*>(&f32)
                                           : static_cast<const void*>(&v);
  std::memcpy(p, src, kvr_type_size(type));
}

// Limits whose mode word would read back as limits that code some block
// otherwise: the header refuses them whole, whatever else the mask asks.
TEST_F(Header, RefusesLimitsTheModeWordCannotCarry)
{
  const Limits refused[] = {
    {33280, 33280, 64, -1074},  // kvr_stream_set_rate(s, 130, double, 4, 0): read as 32768
    {32769, 32769, 64, -1074},
    {32769, 40000, 64, -1000},
    {0, 0, 64, -1074},          // blocks of no bit, read as blocks of 1
    {0, 0, 20, -1075},
    {0, 5, 64, -1075},          // int64 blocks without room for their precision field: all padding
    {10, 5, 64, -1074},         // null limits, which a reader rejects
    {1, 16658, 0, -1074},
    {1, 16658, 65, -1074},
  };
  kvr_stream_set_rate(s, 130, kvr_type_double, 4, 0);
  EXPECT_EQ(s->min_bits, 33280u);
  for (const Limits& l : refused) {
    SCOPED_TRACE(testing::Message() << l.min_bits << " " << l.max_bits << " " << l.max_prec << " " << l.min_exp);
    s->min_bits = l.min_bits;
    s->max_bits = l.max_bits;
    s->max_prec = l.max_prec;
    s->min_exp = l.min_exp;
    std::fill(words.begin(), words.end(), ~uint64_t(0));
    for (uint32_t mask : {4u, 5u, 6u, 7u}) {
      stream_rewind(bs);
      EXPECT_EQ(kvr_write_header(s, f, mask), 0u) << mask;
      EXPECT_EQ(stream_write_offset(bs), 0u);
    }
    stream_flush(bs);
    EXPECT_EQ(words[0], ~uint64_t(0));
    // Without the mode word there is nothing to misdescribe.
    stream_rewind(bs);
    EXPECT_EQ(kvr_write_header(s, f, 3), 84u);
  }
}

// Every set of limits the header does write reads back as limits that code
// every block alike, the largest block it carries (32768 bits) included:
// a stream decoded from its header alone gives the writer's values.
TEST(HeaderRoundTrip, LimitsItWritesCodeEveryBlockAlike)
{
  const Limits written[] = {
    {32768, 32768, 64, -1074},  // kvr_stream_set_rate(s, 128, double, 4, 0)
    {2048, 2048, 64, -1074},
    {2049, 2049, 64, -1074},
    {0, 16658, 20, -1074},      // short fixed precision: read with min_bits 1
    {1, 40000, 20, -1074},      // ... and with max_bits 16658
    {0, 30000, 64, -1080},      // reversible: read as 2176
    {2, 40000, 64, -1074},      // long form: max_bits read as 32768
    {0, 6, 64, -1075},
    {0, 1, 64, -1074},
    {1, 16658, 64, 20000},      // min_exp read as 16272: no plane either way
    {1, 16658, 64, -20000},     // read as -16495
    {1, 16658, 64, -1074},
    {7, 300, 17, -30},
  };
  std::mt19937_64 rng(24);
  for (const Limits& l : written)
    for (kvr_type type = kvr_type_int32; type <= kvr_type_double; type++)
      for (uint32_t d = 1; d <= 4; d++) {
        SCOPED_TRACE(testing::Message() << l.min_bits << " " << l.max_bits << " " << l.max_prec << " "
                                        << l.min_exp << ", type " << type << ", " << d << "-D");
        const size_t n[4] = {d == 1 ? 37u : 5u, d >= 2 ? 6u : 0u, d >= 3 ? 5u : 0u, d >= 4 ? 3u : 0u};
        const size_t count = n[0] * (n[1] ? n[1] : 1) * (n[2] ? n[2] : 1) * (n[3] ? n[3] : 1);
        const size_t bytes = kvr_type_size(type);
        std::vector<unsigned char> values(count * bytes);
        for (size_t i = 0; i < count; i++) {
          // Smooth values with noise, within the integers' headroom.
          const double v = std::sin(0.3 * double(i)) * 1000 + double(rng() % 1000) / 7;
          store(&values[i * bytes], type, v);
        }
        kvr_field* in = kvr_field_4d(values.data(), type, n[0], n[1], n[2], n[3]);
        kvr_stream* w = kvr_stream_open(nullptr);
        ASSERT_TRUE(kvr_stream_set_params(w, l.min_bits, l.max_bits, l.max_prec, l.min_exp));
        std::vector<uint64_t> buf(kvr_stream_maximum_size(w, in) / 8);
        bit_stream* bw = stream_open(buf.data(), buf.size() * 8);
        kvr_stream_set_bit_stream(w, bw);
        ASSERT_NE(kvr_write_header(w, in, KVR_HEADER_FULL), 0u);
        const size_t written_bytes = kvr_compress(w, in);
        ASSERT_NE(written_bytes, 0u);

        // The writer's own limits, past the header.
        std::vector<unsigned char> mine(values.size()), theirs(values.size());
        kvr_field* out = kvr_field_4d(mine.data(), type, n[0], n[1], n[2], n[3]);
        stream_rewind(bw);
        kvr_stream* check = kvr_stream_open(bw);
        kvr_field* skipped = kvr_field_alloc();
        ASSERT_NE(kvr_read_header(check, skipped, KVR_HEADER_FULL), 0u);
        ASSERT_TRUE(kvr_stream_set_params(check, l.min_bits, l.max_bits, l.max_prec, l.min_exp));
        EXPECT_EQ(kvr_decompress(check, out), written_bytes);

        // A fresh reader that knows nothing but the bytes.
        bit_stream* br = stream_open(buf.data(), written_bytes);
        kvr_stream* r = kvr_stream_open(br);
        kvr_field* g = kvr_field_alloc();
        ASSERT_NE(kvr_read_header(r, g, KVR_HEADER_FULL), 0u);
        EXPECT_EQ(g->type, type);
        EXPECT_EQ(kvr_field_dimensionality(g), d);
        kvr_field_set_pointer(g, theirs.data());
        EXPECT_EQ(kvr_decompress(r, g), written_bytes);
        EXPECT_EQ(mine, theirs);

        for (kvr_field* x : {in, out, skipped, g})
          kvr_field_free(x);
        kvr_stream_close(r);
        kvr_stream_close(check);
        kvr_stream_close(w);
        stream_close(br);
        stream_close(bw);
      }
}

TEST(Version, Constants)
{
  EXPECT_EQ(kvr_codec_version, 5u);
  EXPECT_EQ(kvr_library_version, 0x055u);
  EXPECT_STREQ(kvr_version_string, "kvr version 0.5.5 (May 5, 2019)");
}

} // namespace
