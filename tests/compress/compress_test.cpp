// Whole-array compression: dispatch, refusals, byte counts and round trips
// over type x dimensionality x mode x layout.
#include <kvr/kvr.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "compress/variants.hpp"

namespace {

using kvr_test::Mode;
using kvr_test::Shape;
using kvr_test::set_mode;
using kvr_test::type_of;

// A smooth value with some noise, the same on every platform.
template <typename T>
T sample(size_t i, size_t x, size_t y, size_t z, size_t w, uint64_t noise)
{
  double v = 0.5 * double(x) - 0.25 * double(y) + 0.125 * double(x * y) + double(z) - 0.75 * double(w) +
             double(noise % 1000) / 1000.0;
  if (std::is_integral<T>::value)
    return T(v * 65536.0) + T(i % 3);
  return T(v);
}

// A field laid out in a larger buffer of sentinels: each layout gives the
// strides (in elements) and the offset of element 0 inside the buffer.
struct Layout {
  const char* name;
  int order;      // 0: contiguous (strides 0), 1: explicit strides, -1: all strides negated
  size_t spread;  // gap factor along x, making the field non-contiguous
};

const Layout layouts[] = {{"default", 0, 1}, {"strided", 1, 1}, {"negative", -1, 1}, {"gapped", 1, 3}};

const Shape shapes[] = {{1, {4, 0, 0, 0}}, {1, {10, 0, 0, 0}}, {1, {3, 0, 0, 0}},
                        {2, {8, 8, 0, 0}}, {2, {5, 3, 0, 0}}, {2, {9, 6, 0, 0}},
                        {3, {4, 4, 4, 0}}, {3, {6, 5, 7, 0}}, {4, {5, 4, 3, 6}}};

template <typename T>
struct Case {
  Shape shape;
  Layout layout;
  std::vector<T> buffer;  // sentinels around the field's elements
  T* origin;
  kvr_field* field;
  std::vector<size_t> index;  // buffer index of every element, x fastest
  T sentinel;

  Case(Shape s, Layout l) : shape(s), layout(l)
  {
    size_t n[4] = {1, 1, 1, 1};
    for (uint32_t k = 0; k < s.d; k++)
      n[k] = s.n[k];
    ptrdiff_t st[4];
    st[0] = ptrdiff_t(l.spread);
    st[1] = st[0] * ptrdiff_t(n[0]);
    st[2] = st[1] * ptrdiff_t(n[1]);
    st[3] = st[2] * ptrdiff_t(n[2]);
    const size_t span = size_t(st[3]) * n[3];
    const size_t margin = 8;
    buffer.resize(span + 2 * margin);
    std::memset(static_cast<void*>(buffer.data()), 0x5a, buffer.size() * sizeof(T));
    std::memcpy(&sentinel, buffer.data(), sizeof(T));
    if (l.order < 0)
      for (auto& x : st)
        x = -x;
    origin = buffer.data() + margin + (l.order < 0 ? span - 1 : 0);
    field = kvr_field_4d(origin, type_of<T>(), s.n[0], s.n[1], s.n[2], s.n[3]);
    if (l.order != 0)
      kvr_field_set_stride_4d(field, st[0], s.d > 1 ? st[1] : 0, s.d > 2 ? st[2] : 0, s.d > 3 ? st[3] : 0);
    std::mt19937_64 rng(s.d * 100 + s.n[0]);
    for (size_t w = 0; w < n[3]; w++)
      for (size_t z = 0; z < n[2]; z++)
        for (size_t y = 0; y < n[1]; y++)
          for (size_t x = 0; x < n[0]; x++) {
            ptrdiff_t off = ptrdiff_t(x) * st[0] + ptrdiff_t(y) * st[1] + ptrdiff_t(z) * st[2] + ptrdiff_t(w) * st[3];
            size_t at = size_t((origin - buffer.data()) + off);
            index.push_back(at);
            buffer[at] = sample<T>(index.size(), x, y, z, w, rng());
          }
  }
  ~Case() { kvr_field_free(field); }
};

template <typename T>
bool same_bits(T a, T b)
{
  return std::memcmp(&a, &b, sizeof(T)) == 0;
}

template <typename T>
void round_trip(Shape shape, Layout layout, Mode mode, bool header)
{
  SCOPED_TRACE(std::string(layout.name) + " " + name(mode) + " d=" + std::to_string(shape.d) +
               " nx=" + std::to_string(shape.n[0]) + (header ? " header" : ""));
  Case<T> c(shape, layout);
  const std::vector<T> original = c.buffer;

  kvr_stream* s = kvr_stream_open(nullptr);
  set_mode(s, mode, type_of<T>(), shape.d);
  const size_t bytes = kvr_stream_maximum_size(s, c.field);
  std::vector<uint64_t> words(bytes / 8 + 1, 0);
  words.back() = 0x0123456789abcdefu;  // must survive: the bound holds
  bit_stream* bs = stream_open(words.data(), bytes);
  kvr_stream_set_bit_stream(s, bs);

  size_t head = header ? kvr_write_header(s, c.field, KVR_HEADER_FULL) : 0;
  const size_t size = kvr_compress(s, c.field);
  ASSERT_GT(size, 0u);
  ASSERT_LE(size, bytes);
  EXPECT_EQ(words.back(), 0x0123456789abcdefu);
  EXPECT_EQ(c.buffer, original) << "compression changed the field";
  if (mode == Mode::rate) {
    size_t blocks = 1;
    for (uint32_t k = 0; k < shape.d; k++)
      blocks *= (shape.n[k] + 3) / 4;
    EXPECT_EQ(size, (head + blocks * s->max_bits + 63) / 64 * 8);
  }

  // Decompress into a sentinel-filled copy of the layout.
  for (size_t at : c.index)
    std::memcpy(&c.buffer[at], &c.sentinel, sizeof(T));
  kvr_stream_set_params(s, 3, 3, 3, 0);  // the header, when present, restores the limits
  if (!header)
    set_mode(s, mode, type_of<T>(), shape.d);
  kvr_stream_rewind(s);
  kvr_field* f = c.field;
  if (header) {
    kvr_field* g = kvr_field_alloc();
    ASSERT_EQ(kvr_read_header(s, g, KVR_HEADER_FULL), head);
    EXPECT_EQ(g->nx, shape.n[0]);
    EXPECT_EQ(g->type, type_of<T>());
    kvr_field_free(g);
  }
  EXPECT_EQ(kvr_decompress(s, f), size);

  size_t outside = 0;
  std::vector<bool> inside(c.buffer.size(), false);
  for (size_t at : c.index)
    inside[at] = true;
  for (size_t i = 0; i < c.buffer.size(); i++)
    if (!inside[i] && !same_bits(c.buffer[i], c.sentinel))
      outside++;
  EXPECT_EQ(outside, 0u) << "elements outside the field were written";

  double max_err = 0;
  size_t inexact = 0;
  for (size_t at : c.index) {
    if (!same_bits(c.buffer[at], original[at]))
      inexact++;
    max_err = std::max(max_err, std::fabs(double(c.buffer[at]) - double(original[at])));
  }
  if (mode == Mode::reversible) {
    EXPECT_EQ(inexact, 0u);
  }
  if (mode == Mode::accuracy && !std::is_integral<T>::value) {
    EXPECT_LE(max_err, 1e-3);
  }
  if (mode == Mode::precision && !std::is_integral<T>::value) {
    EXPECT_LE(max_err, 1e-2);
  }

  kvr_stream_close(s);
  stream_close(bs);
}

template <typename T>
void all_round_trips()
{
  for (const Shape& shape : shapes)
    for (const Layout& layout : layouts)
      for (Mode mode : {Mode::rate, Mode::precision, Mode::accuracy, Mode::reversible})
        for (bool header : {false, true})
          round_trip<T>(shape, layout, mode, header);
}

TEST(Compress, RoundTripsInt32) { all_round_trips<int32_t>(); }
TEST(Compress, RoundTripsInt64) { all_round_trips<int64_t>(); }
TEST(Compress, RoundTripsFloat) { all_round_trips<float>(); }
TEST(Compress, RoundTripsDouble) { all_round_trips<double>(); }

// Refused requests return 0 and touch neither the stream nor the field.
TEST(Compress, RefusesWithoutTouchingAnything)
{
  double data[16];
  for (int i = 0; i < 16; i++)
    data[i] = i;
  uint64_t words[64];
  std::memset(words, 0xa5, sizeof words);
  bit_stream* bs = stream_open(words, sizeof words);
  kvr_stream* s = kvr_stream_open(bs);
  kvr_field* f = kvr_field_2d(data, kvr_type_double, 4, 4);

  auto untouched = [&] {
    EXPECT_EQ(stream_write_offset(bs), 0u);
    EXPECT_EQ(bs->buffer, 0u);
    for (uint64_t w : words)
      EXPECT_EQ(w, 0xa5a5a5a5a5a5a5a5u);
    for (int i = 0; i < 16; i++)
      EXPECT_EQ(data[i], i);
  };
  for (kvr_type t : {0u, 5u, 99u}) {
    f->type = t;
    EXPECT_EQ(kvr_compress(s, f), 0u);
    EXPECT_EQ(kvr_decompress(s, f), 0u);
    untouched();
  }
  f->type = kvr_type_double;
  for (uint32_t policy : {1u, 2u, 3u}) {
    s->execution.policy = policy;
    EXPECT_EQ(kvr_compress(s, f), 0u);
    EXPECT_EQ(kvr_decompress(s, f), 0u);
    untouched();
  }
  s->execution.policy = kvr_exec_serial;
  kvr_field_set_size_4d(f, 0, 4, 4, 0);  // no dimensions
  EXPECT_EQ(kvr_compress(s, f), 0u);
  EXPECT_EQ(kvr_decompress(s, f), 0u);
  untouched();

  kvr_field_free(f);
  kvr_stream_close(s);
  stream_close(bs);
}

// Blocks of 0 bits are a result, not a refusal: max_bits 0, which
// set_rate gives integer fields below half a bit a block.  On an empty
// stream both drivers then return 0, compression writes nothing and
// decompression sets every value to 0; the stream cannot carry a header.
// A caller tells this from a refusal by the maximum size, which is not 0.
TEST(Compress, ZeroBitBlocksAreAResult)
{
  struct Case {
    const char* name;
    kvr_type type;
    uint32_t d;
    bool params;  // set_params(0, 0, 64, -1074) instead of set_rate(rate)
    double rate;
  };
  const Case cases[] = {
    {"int32 rate 0", kvr_type_int32, 1, false, 0.0},
    {"int32 2-D rate below 1/32", kvr_type_int32, 2, false, 0.031},
    {"int64 3-D rate -1", kvr_type_int64, 3, false, -1.0},
    {"int64 4-D rate NaN", kvr_type_int64, 4, false, std::nan("")},
    {"float max_bits 0", kvr_type_float, 2, true, 0.0},
    {"double max_bits 0", kvr_type_double, 3, true, 0.0},
    {"int32 max_bits 0", kvr_type_int32, 4, true, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    uint64_t values[257];  // one word past the largest block
    std::memset(values, 0x5a, sizeof values);
    const size_t n = 4, z = c.d > 2 ? n : 0, w = c.d > 3 ? n : 0;
    kvr_field* f = kvr_field_4d(values, c.type, n, c.d > 1 ? n : 0, z, w);
    uint64_t words[8];
    std::memset(words, 0xa5, sizeof words);
    bit_stream* bs = stream_open(words, sizeof words);
    kvr_stream* s = kvr_stream_open(bs);
    if (c.params)
      ASSERT_TRUE(kvr_stream_set_params(s, 0, 0, 64, -1074));
    else
      EXPECT_EQ(kvr_stream_set_rate(s, c.rate, c.type, c.d, 0), 0.0);
    uint32_t max_bits = 1;
    kvr_stream_params(s, nullptr, &max_bits, nullptr, nullptr);
    EXPECT_EQ(max_bits, 0u);
    EXPECT_NE(kvr_stream_maximum_size(s, f), 0u);
    EXPECT_EQ(kvr_write_header(s, f, KVR_HEADER_FULL), 0u);

    EXPECT_EQ(kvr_compress(s, f), 0u);
    EXPECT_EQ(stream_write_offset(bs), 0u);
    for (uint64_t word : words)
      EXPECT_EQ(word, 0xa5a5a5a5a5a5a5a5u);
    kvr_stream_rewind(s);
    EXPECT_EQ(kvr_decompress(s, f), 0u);
    const size_t bytes = (size_t(1) << (2 * c.d)) * kvr_type_size(c.type);
    const unsigned char* b = reinterpret_cast<const unsigned char*>(values);
    EXPECT_EQ(std::count(b, b + bytes, 0), ptrdiff_t(bytes));
    EXPECT_EQ(b[bytes], 0x5a);

    kvr_stream_close(s);
    stream_close(bs);
    kvr_field_free(f);
  }
}

template <typename T, typename Decode>
void infinite_tolerance(uint32_t d, Decode decode)
{
  SCOPED_TRACE(d);
  const double inf = std::numeric_limits<double>::infinity();
  T values[64];
  for (int i = 0; i < 64; i++)
    values[i] = std::numeric_limits<T>::max() / T(i + 1);
  kvr_field* f = d == 1 ? kvr_field_1d(values, type_of<T>(), 64) : kvr_field_2d(values, type_of<T>(), 8, 8);
  uint64_t words[16] = {};
  bit_stream* bs = stream_open(words, sizeof words);
  kvr_stream* s = kvr_stream_open(bs);
  EXPECT_EQ(kvr_stream_set_accuracy(s, inf), inf);
  EXPECT_EQ(kvr_stream_accuracy(s), inf);
  const size_t header = kvr_write_header(s, f, KVR_HEADER_FULL);
  EXPECT_EQ(header, 148u);
  kvr_compress(s, f);
  kvr_stream_rewind(s);
  kvr_stream* r = kvr_stream_open(bs);
  ASSERT_EQ(kvr_read_header(r, f, KVR_HEADER_FULL), header);
  EXPECT_EQ(kvr_stream_accuracy(r), inf);
  kvr_decompress(r, f);
  for (int i = 0; i < 64; i++)
    EXPECT_EQ(values[i], T(0)) << i;
  kvr_stream_rewind(r);
  kvr_read_header(r, f, KVR_HEADER_FULL);
  for (size_t b = 0; b < (size_t(64) >> (2 * d)); b++)
    EXPECT_EQ(decode(r, values), 1u);
  kvr_stream_close(r);
  kvr_stream_close(s);
  stream_close(bs);
  kvr_field_free(f);
}

// An infinite tolerance keeps no plane: each float or double block is the
// empty block, one bit, and decodes as zeros; the header carries it, and a
// reader gets the accuracy inf back.
TEST(Compress, InfiniteToleranceDecodesZeros)
{
  infinite_tolerance<float>(1, kvr_decode_block_float_1);
  infinite_tolerance<double>(2, kvr_decode_block_double_2);
}

TEST(Compress, ByteCountsIncludeWhatCameBefore)
{
  double data[16] = {};
  uint64_t words[8] = {};
  bit_stream* bs = stream_open(words, sizeof words);
  kvr_stream* s = kvr_stream_open(bs);
  kvr_field* f = kvr_field_2d(data, kvr_type_double, 4, 4);
  kvr_stream_set_rate(s, 4, kvr_type_double, 2, 0);
  EXPECT_EQ(kvr_compress(s, f), 8u);
  kvr_stream_rewind(s);
  EXPECT_EQ(kvr_write_header(s, f, KVR_HEADER_FULL), 96u);
  EXPECT_EQ(kvr_compress(s, f), 24u);
  kvr_stream_rewind(s);
  EXPECT_EQ(kvr_read_header(s, f, KVR_HEADER_FULL), 96u);
  EXPECT_EQ(kvr_decompress(s, f), 24u);
  kvr_field_free(f);
  kvr_stream_close(s);
  stream_close(bs);
}

// At a fixed rate block b of a kvr_compress stream starts at bit h + b * B:
// h the bits of the header written before it (0, 96 with the short mode
// word, 148 with the long one, which fixed rates above 2048 bits a block
// need), B the bits per block, blocks in raster order, x fastest.  Each
// block decoded alone from there equals the whole decompression, and
// blocks start on 64-bit words exactly when h and B are multiples of 64.
TEST(Compress, FixedRateBlockStartsAtHeaderPlusBlockTimesBits)
{
  struct BlockCase {
    kvr_type type;
    uint32_t d;
    size_t n[3];
    double rate;
    int align;
    bool header;
    size_t header_bits, block_bits, word_starts;
  } cases[] = {
      {kvr_type_float, 1, {10, 0, 0}, 5, 0, true, 96, 20, 0},
      {kvr_type_double, 2, {30, 21, 0}, 5, 0, false, 0, 80, 12}, // every fourth of 48
      {kvr_type_double, 2, {30, 21, 0}, 5, 1, false, 0, 128, 48},
      {kvr_type_double, 2, {30, 21, 0}, 5, 1, true, 96, 128, 0}, // all at bit 32 of a word
      {kvr_type_float, 3, {6, 5, 9}, 40, 0, true, 148, 2560, 0}, // all at bit 20
  };
  for (const BlockCase& c : cases) {
    SCOPED_TRACE("d=" + std::to_string(c.d) + " rate=" + std::to_string(c.rate) + " align=" +
                 std::to_string(c.align) + (c.header ? " header" : ""));
    const size_t nx = c.n[0], ny = c.d > 1 ? c.n[1] : 1, nz = c.d > 2 ? c.n[2] : 1;
    const size_t count = nx * ny * nz, bx = (nx + 3) / 4, by = (ny + 3) / 4, bz = (nz + 3) / 4;
    const size_t value_bytes = c.type == kvr_type_float ? 4 : 8;
    std::vector<double> input(count), whole(count), alone(count);
    std::vector<float> inputf(count), wholef(count), alonef(count);
    for (size_t i = 0; i < count; i++) {
      input[i] = std::sin(0.37 * double(i)) * 100 + double(i % 7);
      inputf[i] = float(input[i]);
    }
    auto field_of = [&](void* p) {
      return c.d == 1 ? kvr_field_1d(p, c.type, nx)
             : c.d == 2 ? kvr_field_2d(p, c.type, nx, ny)
                        : kvr_field_3d(p, c.type, nx, ny, nz);
    };
    void* in = value_bytes == 4 ? static_cast<void*>(inputf.data()) : input.data();
    void* out = value_bytes == 4 ? static_cast<void*>(wholef.data()) : whole.data();
    void* blockwise = value_bytes == 4 ? static_cast<void*>(alonef.data()) : alone.data();

    kvr_field* f = field_of(in);
    kvr_stream* s = kvr_stream_open(nullptr);
    kvr_stream_set_rate(s, c.rate, c.type, c.d, c.align);
    uint32_t bits = 0;
    kvr_stream_params(s, &bits, nullptr, nullptr, nullptr);
    EXPECT_EQ(bits, c.block_bits);
    std::vector<uint64_t> words(kvr_stream_maximum_size(s, f) / 8);
    bit_stream* bs = stream_open(words.data(), words.size() * 8);
    kvr_stream_set_bit_stream(s, bs);
    const size_t h = c.header ? kvr_write_header(s, f, KVR_HEADER_FULL) : 0;
    EXPECT_EQ(h, c.header_bits);
    const size_t blocks = bx * by * bz;
    EXPECT_EQ(kvr_compress(s, f), (h + blocks * bits + 63) / 64 * 8);

    kvr_stream_rewind(s);
    kvr_field* g = field_of(out);
    if (c.header)
      kvr_read_header(s, g, KVR_HEADER_FULL);
    kvr_decompress(s, g);

    size_t word_starts = 0;
    for (size_t b = 0; b < blocks; b++) {
      const size_t x = 4 * (b % bx), y = 4 * (b / bx % by), z = 4 * (b / (bx * by));
      const size_t vx = std::min<size_t>(4, nx - x), vy = std::min<size_t>(4, ny - y), vz = std::min<size_t>(4, nz - z);
      const size_t at = x + nx * (y + ny * z);
      const uint64_t start = h + b * bits;
      word_starts += start % 64 == 0;
      stream_set_read_offset(bs, start);
      size_t read = 0;
      if (c.d == 1)
        read = kvr_decode_partial_block_strided_float_1(s, alonef.data() + at, vx, 1);
      else if (c.d == 2)
        read = kvr_decode_partial_block_strided_double_2(s, alone.data() + at, vx, vy, 1, ptrdiff_t(nx));
      else
        read = kvr_decode_partial_block_strided_float_3(s, alonef.data() + at, vx, vy, vz, 1, ptrdiff_t(nx),
                                                        ptrdiff_t(nx * ny));
      EXPECT_EQ(read, bits) << b;
    }
    EXPECT_EQ(std::memcmp(blockwise, out, count * value_bytes), 0);
    EXPECT_EQ(word_starts, c.word_starts);
    kvr_field_free(g);
    kvr_field_free(f);
    kvr_stream_close(s);
    stream_close(bs);
  }
}

// Default strides depend on the extents only: sx = 2 with sy = 0 means
// sy = nx, and a 1-D field with sx = 1 set explicitly codes the same bits
// through the strided driver.
TEST(Compress, DefaultStridesFollowTheExtents)
{
  std::vector<float> data(200);
  for (size_t i = 0; i < data.size(); i++)
    data[i] = float(i % 17) * 0.25f;
  auto compress = [&](size_t nx, size_t ny, ptrdiff_t sx, ptrdiff_t sy) {
    std::vector<uint64_t> words(64, 0);
    bit_stream* bs = stream_open(words.data(), words.size() * 8);
    kvr_stream* s = kvr_stream_open(bs);
    kvr_stream_set_reversible(s);
    kvr_field* f = ny ? kvr_field_2d(data.data(), kvr_type_float, nx, ny) : kvr_field_1d(data.data(), kvr_type_float, nx);
    f->sx = sx;
    f->sy = sy;
    size_t n = kvr_compress(s, f);
    words.resize(n / 8);
    kvr_field_free(f);
    kvr_stream_close(s);
    stream_close(bs);
    return words;
  };
  EXPECT_EQ(compress(5, 6, 2, 0), compress(5, 6, 2, 5));
  EXPECT_NE(compress(5, 6, 2, 0), compress(5, 6, 2, 10));
  EXPECT_EQ(compress(10, 0, 1, 0), compress(10, 0, 0, 0));
}

TEST(Compress, PromotionsAndDemotionsInvertEachOther)
{
  for (uint32_t dims = 1; dims <= 4; dims++) {
    const uint32_t n = 1u << (2 * dims);
    std::vector<int32_t> wide(n);
    for (int v = -128; v < 128; v += int(n)) {
      std::vector<int8_t> in(n), out(n);
      for (uint32_t i = 0; i < n; i++)
        in[i] = int8_t(std::min(127, v + int(i)));
      kvr_promote_int8_to_int32(wide.data(), in.data(), dims);
      EXPECT_EQ(wide[0], int32_t(in[0]) * (1 << 23));
      kvr_demote_int32_to_int8(out.data(), wide.data(), dims);
      EXPECT_EQ(in, out);
    }
    for (int v = 0; v < 256; v += int(n)) {
      std::vector<uint8_t> in(n), out(n);
      for (uint32_t i = 0; i < n; i++)
        in[i] = uint8_t(std::min(255, v + int(i)));
      kvr_promote_uint8_to_int32(wide.data(), in.data(), dims);
      EXPECT_EQ(wide[0], (int32_t(in[0]) - 128) * (1 << 23));
      kvr_demote_int32_to_uint8(out.data(), wide.data(), dims);
      EXPECT_EQ(in, out);
    }
    for (int v = -32768; v < 32768; v += 97) {
      std::vector<int16_t> in(n), out(n);
      std::vector<uint16_t> uin(n), uout(n);
      for (uint32_t i = 0; i < n; i++) {
        in[i] = int16_t(std::min(32767, v + int(i)));
        uin[i] = uint16_t(in[i] + 32768);
      }
      kvr_promote_int16_to_int32(wide.data(), in.data(), dims);
      kvr_demote_int32_to_int16(out.data(), wide.data(), dims);
      EXPECT_EQ(in, out);
      kvr_promote_uint16_to_int32(wide.data(), uin.data(), dims);
      kvr_demote_int32_to_uint16(uout.data(), wide.data(), dims);
      EXPECT_EQ(uin, uout);
    }
    std::vector<int32_t> top(n, INT32_MAX);
    std::vector<int8_t> s8(n);
    std::vector<uint8_t> u8(n);
    std::vector<int16_t> s16(n);
    std::vector<uint16_t> u16(n);
    kvr_demote_int32_to_int8(s8.data(), top.data(), dims);
    kvr_demote_int32_to_uint8(u8.data(), top.data(), dims);
    kvr_demote_int32_to_int16(s16.data(), top.data(), dims);
    kvr_demote_int32_to_uint16(u16.data(), top.data(), dims);
    EXPECT_EQ(s8[n - 1], 127);
    EXPECT_EQ(u8[n - 1], 255);
    EXPECT_EQ(s16[n - 1], 32767);
    EXPECT_EQ(u16[n - 1], 65535);
  }
}

} // namespace
