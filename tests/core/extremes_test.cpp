// The core at the ends of its ranges: field sizes that do not fit 64 bits,
// dimensionalities a block cannot have, and the largest block a rate can
// ask for.  Each case has a defined outcome; the sanitize build checks that
// none of them reaches undefined behaviour.
#include <kvr/kvr.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

struct Extents {
  size_t nx, ny, nz, nw;
  ptrdiff_t sx, sy, sz, sw;
};

kvr_field field_of(kvr_type type, const Extents& e, void* data)
{
  kvr_field f = {type, e.nx, e.ny, e.nz, e.nw, e.sx, e.sy, e.sz, e.sw, data};
  return f;
}

// Fields whose element count, span of memory or compressed size passes 64
// bits: each size comes back as its function's failure value, never
// wrapped, and the drivers refuse them before forming an offset.
TEST(Extremes, FieldsThatDoNotFitReportTheirFailureValue)
{
  const size_t big = size_t(1) << 32, mega = size_t(1) << 20;
  const ptrdiff_t half = PTRDIFF_MAX / 2;
  const struct {
    Extents e;
    bool count_fits, begins_at_data, stream_fits;
  } cases[] = {
    {{big, big, 0, 0, 0, 0, 0, 0}, false, false, false},
    {{mega, mega, mega, mega, 0, 0, 0, 0}, false, false, false},
    {{SIZE_MAX, 0, 0, 0, 0, 0, 0, 0}, true, false, false},
    {{SIZE_MAX, 0, 0, 0, -1, 0, 0, 0}, true, false, false},
    {{size_t(1) << 62, 0, 0, 0, 0, 0, 0, 0}, true, true, false},  // span fits, bytes do not
    {{3, 3, 0, 0, half, half, 0, 0}, true, false, true},
    {{3, 3, 0, 0, -half, -half, 0, 0}, true, false, true},
    {{3, 3, 0, 0, half, -half, 0, 0}, true, false, true},
    {{3, 0, 0, 0, PTRDIFF_MIN / 2, 0, 0, 0}, true, false, true},  // lowest offset PTRDIFF_MIN
  };
  double anchor;
  for (const auto& c : cases) {
    const Extents& e = c.e;
    SCOPED_TRACE(testing::Message() << e.nx << " " << e.ny << " " << e.nz << " " << e.nw << ", strides "
                                    << e.sx << " " << e.sy);
    kvr_field f = field_of(kvr_type_double, e, &anchor);
    EXPECT_EQ(kvr_field_size(&f, nullptr) != 0, c.count_fits);
    EXPECT_EQ(kvr_field_size_bytes(&f), 0u);
    // Only the 2^62 doubles lie next to each other, in more bytes than fit.
    EXPECT_EQ(kvr_field_is_contiguous(&f), c.begins_at_data);
    EXPECT_EQ(kvr_field_begin(&f), c.begins_at_data ? static_cast<void*>(&anchor) : nullptr);

    kvr_stream* s = kvr_stream_open(nullptr);
    EXPECT_EQ(kvr_stream_maximum_size(s, &f) != 0, c.stream_fits);
    // A word of buffer, which the refused calls must leave alone.
    uint64_t word = 0x5555;
    bit_stream* bs = stream_open(&word, sizeof word);
    kvr_stream_set_bit_stream(s, bs);
    EXPECT_EQ(kvr_compress(s, &f), 0u);
    EXPECT_EQ(stream_write_offset(bs), 0u);
    EXPECT_EQ(kvr_decompress(s, &f), 0u);
    EXPECT_EQ(stream_read_offset(bs), 0u);
    EXPECT_EQ(word, 0x5555u);
    stream_close(bs);
    kvr_stream_close(s);
  }
}

// The largest sizes that still fit are reported exactly.
TEST(Extremes, SizesJustInsideTheRange)
{
  char anchor[8];
  kvr_field f = field_of(kvr_type_int32, {size_t(1) << 61, 0, 0, 0, 0, 0, 0, 0}, anchor);
  EXPECT_EQ(kvr_field_size(&f, nullptr), size_t(1) << 61);
  EXPECT_EQ(kvr_field_size_bytes(&f), size_t(1) << 63);
  EXPECT_EQ(kvr_field_begin(&f), static_cast<void*>(anchor));
  EXPECT_EQ(kvr_field_is_contiguous(&f), 1);

  // Negative strides reach below data by exactly their span.
  double values[20];
  f = field_of(kvr_type_double, {5, 4, 0, 0, -1, -5, 0, 0}, values + 19);
  EXPECT_EQ(kvr_field_begin(&f), static_cast<void*>(values));
  EXPECT_EQ(kvr_field_size_bytes(&f), sizeof values);

  // A 2^20 x 2^20 x 2^18 field of int32 at 8 bits per value: 2^61 bits of
  // blocks and the header fit; at 2^20 x 2^20 x 2^22, 2^65 bits, they do not.
  kvr_stream* s = kvr_stream_open(nullptr);
  kvr_stream_set_rate(s, 8, kvr_type_int32, 3, 0);
  f = field_of(kvr_type_int32, {size_t(1) << 20, size_t(1) << 20, size_t(1) << 18, 0, 0, 0, 0, 0}, anchor);
  EXPECT_EQ(kvr_stream_maximum_size(s, &f), (size_t(1) << 58) + 24);
  f.nz = size_t(1) << 22;
  EXPECT_EQ(kvr_stream_maximum_size(s, &f), 0u);
  kvr_stream_close(s);
}

// Blocks have 4^dims values: dims 0 counts one, dims above 4 is refused
// (0.0, the stream unchanged), where 4^dims would not fit 32 bits.
TEST(Extremes, RateSettersOutsideOneToFourDimensions)
{
  kvr_stream* s = kvr_stream_open(nullptr);
  for (uint32_t dims : {5u, 15u, 16u, 31u, 32u, 1000u, UINT32_MAX}) {
    kvr_stream_set_rate(s, 2, kvr_type_double, 2, 0);
    EXPECT_EQ(kvr_stream_set_rate(s, 8, kvr_type_double, dims, 0), 0.0) << dims;
    EXPECT_EQ(s->min_bits, 32u);
    EXPECT_EQ(s->max_bits, 32u);
    EXPECT_EQ(kvr_stream_rate(s, dims), 0.0) << dims;
  }
  EXPECT_EQ(kvr_stream_set_rate(s, 100, kvr_type_float, 0, 1), 128.0);
  EXPECT_EQ(kvr_stream_rate(s, 0), 128.0);
  kvr_stream_close(s);
}

// Codes the 1-D block {1, -2, 3, 4} and reads it back: both take `bits`.
template <typename T, size_t (*encode)(const kvr_stream*, const T*), size_t (*decode)(const kvr_stream*, T*)>
void one_block(kvr_stream* s, uint32_t bits)
{
  bit_stream* bs = kvr_stream_bit_stream(s);
  T v[4] = {T(1), T(-2), T(3), T(4)};
  EXPECT_EQ(encode(s, v), bits);
  EXPECT_EQ(stream_write_offset(bs), bits);
  stream_flush(bs);
  stream_rewind(bs);
  EXPECT_EQ(decode(s, v), bits);
  EXPECT_EQ(stream_read_offset(bs), bits);
}

// The codec completes a block to min_bits by a signed 32-bit comparison of
// min_bits less the block header, so the rate setter stops at the largest
// block it pads: 2^31 - 1 bits plus the header of float (9) or double (12)
// blocks, and that block takes exactly those bits both ways.
TEST(Extremes, HugeRatesGiveTheLargestBlockTheCodecPads)
{
  const struct {
    kvr_type type;
    uint32_t largest, aligned;
    void (*code)(kvr_stream*, uint32_t);
  } cases[] = {
    {kvr_type_int32, 0x7fffffffu, 0x7fffffc0u, one_block<int32_t, kvr_encode_block_int32_1, kvr_decode_block_int32_1>},
    {kvr_type_int64, 0x7fffffffu, 0x7fffffc0u, one_block<int64_t, kvr_encode_block_int64_1, kvr_decode_block_int64_1>},
    {kvr_type_float, 0x80000008u, 0x80000000u, one_block<float, kvr_encode_block_float_1, kvr_decode_block_float_1>},
    {kvr_type_double, 0x8000000bu, 0x80000000u, one_block<double, kvr_encode_block_double_1, kvr_decode_block_double_1>},
  };
  const size_t words = (size_t(0x8000000bu) + 63) / 64;
  uint64_t* buf = static_cast<uint64_t*>(std::calloc(words, 8));
  ASSERT_NE(buf, nullptr);
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type);
    kvr_stream* s = kvr_stream_open(nullptr);
    EXPECT_EQ(kvr_stream_set_rate(s, 1e300, c.type, 1, 1), c.aligned / 4.0);
    EXPECT_EQ(s->min_bits, c.aligned);
    EXPECT_EQ(kvr_stream_set_rate(s, 1e12, c.type, 1, 0), c.largest / 4.0);
    EXPECT_EQ(s->min_bits, c.largest);
    EXPECT_EQ(s->max_bits, c.largest);
    bit_stream* bs = stream_open(buf, words * 8);
    kvr_stream_set_bit_stream(s, bs);
    c.code(s, c.largest);
    stream_close(bs);
    kvr_stream_close(s);
  }
  std::free(buf);
}

} // namespace
