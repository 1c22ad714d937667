// Stream header: sizes by mask, round trips and every rejection.
#include <kvr/kvr.h>

#include <gtest/gtest.h>

#include <vector>

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

TEST(Version, Constants)
{
  EXPECT_EQ(kvr_codec_version, 5u);
  EXPECT_EQ(kvr_library_version, 0x055u);
  EXPECT_STREQ(kvr_version_string, "kvr version 0.5.5 (May 5, 2019)");
}

} // namespace
