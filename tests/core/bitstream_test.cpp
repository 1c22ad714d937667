// Bit stream: bits written at every offset and width read back, the exact
// word values of fixed sequences, positioning, padding and copying.
#include <kvr/kvr.h>

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

struct Stream {
  std::vector<uint64_t> words;
  bit_stream* s;
  explicit Stream(size_t n, uint64_t fill = 0) : words(n, fill), s(stream_open(words.data(), n * 8)) {}
  ~Stream() { stream_close(s); }
};

uint64_t mask(uint32_t n)
{
  return n == 64 ? ~uint64_t(0) : (uint64_t(1) << n) - 1;
}

TEST(BitStream, RunsOfEveryWidthAtEveryOffsetReadBack)
{
  std::mt19937_64 rng(1);
  for (uint32_t offset = 0; offset < 64; offset++)
    for (uint32_t n = 0; n <= 64; n++) {
      Stream st(4);
      uint64_t lead = rng(), value = rng();
      stream_write_bits(st.s, lead, offset);
      EXPECT_EQ(stream_write_bits(st.s, value, n), n == 64 ? 0 : value >> n);
      EXPECT_EQ(stream_write_offset(st.s), offset + n);
      stream_write_bits(st.s, ~uint64_t(0), 7);
      stream_flush(st.s);

      stream_rewind(st.s);
      ASSERT_EQ(stream_read_bits(st.s, offset), lead & mask(offset));
      ASSERT_EQ(stream_read_bits(st.s, n), value & mask(n)) << offset << " " << n;
      EXPECT_EQ(stream_read_offset(st.s), offset + n);
      EXPECT_EQ(stream_read_bits(st.s, 7), 0x7fu);
      // Bits of the value above n never reach the stream.
      EXPECT_EQ(stream_read_bits(st.s, 64 - ((offset + n + 7) % 64)) , 0u);
    }
}

TEST(BitStream, SingleBitsMatchRuns)
{
  std::mt19937_64 rng(2);
  Stream a(8), b(8);
  std::vector<uint32_t> bits(300);
  for (auto& x : bits) {
    x = uint32_t(rng() & 1);
    EXPECT_EQ(stream_write_bit(a.s, x), x);
    stream_write_bits(b.s, x, 1);
  }
  stream_flush(a.s);
  stream_flush(b.s);
  EXPECT_EQ(a.words, b.words);
  stream_rewind(a.s);
  for (uint32_t x : bits)
    ASSERT_EQ(stream_read_bit(a.s), x);
}

TEST(BitStream, ReadBitsEdgeCases)
{
  Stream st(3);
  st.words[0] = 0x0123456789abcdefu;
  st.words[1] = 0xfedcba9876543210u;
  // n = 0 changes nothing.
  EXPECT_EQ(stream_read_bits(st.s, 0), 0u);
  EXPECT_EQ(stream_read_offset(st.s), 0u);
  EXPECT_EQ(st.s->cursor, st.s->begin);
  // n = 64 at a word boundary returns the whole word.
  EXPECT_EQ(stream_read_bits(st.s, 64), st.words[0]);
  // n = 64 with 5 bits buffered: those 5 bits, then 59 of the next word.
  stream_rewind(st.s);
  EXPECT_EQ(stream_read_bits(st.s, 59), st.words[0] & mask(59));
  EXPECT_EQ(st.s->bits, 5u);
  EXPECT_EQ(stream_read_bits(st.s, 64), (st.words[0] >> 59) | (st.words[1] << 5));
  EXPECT_EQ(st.s->bits, 5u);
}

TEST(BitStream, FixedSequenceStoresExactWords)
{
  Stream st(3, 0xdeadbeefu);
  const uint64_t x = 0xf00dcafe12345678u;
  stream_write_bits(st.s, 5, 3);
  stream_write_bits(st.s, x, 64);
  EXPECT_EQ(stream_flush(st.s), 61u);
  EXPECT_EQ(stream_size(st.s), 16u);
  EXPECT_EQ(st.words[0], 5 + (x << 3));
  EXPECT_EQ(st.words[1], x >> 61);
  EXPECT_EQ(st.words[2], 0xdeadbeefu);
  // A flush at a word boundary stores nothing.
  EXPECT_EQ(stream_flush(st.s), 0u);
  EXPECT_EQ(stream_size(st.s), 16u);
  EXPECT_EQ(st.words[2], 0xdeadbeefu);
}

TEST(BitStream, WriteOffsetInsideWordKeepsLowBitsAndZeroFillsAbove)
{
  Stream st(3, ~uint64_t(0));
  const uint64_t W = 0x123456789abcdef5u, B = 0x2a5;
  st.words[1] = W;
  stream_set_write_offset(st.s, 70);
  EXPECT_EQ(stream_write_offset(st.s), 70u);
  stream_write_bits(st.s, B, 10);
  stream_flush(st.s);
  EXPECT_EQ(st.words[0], ~uint64_t(0));
  EXPECT_EQ(st.words[1], (W & 63) + (B << 6));
  EXPECT_EQ(st.words[2], ~uint64_t(0));
}

TEST(BitStream, PositioningReadersAndSkipping)
{
  Stream st(4);
  std::mt19937_64 rng(3);
  for (auto& w : st.words)
    w = rng();
  bit_stream* r = stream_clone(st.s);
  ASSERT_NE(r, nullptr);
  stream_read_bits(r, 17);
  stream_set_read_offset(r, 0);
  EXPECT_EQ(r->bits, 0u);
  EXPECT_EQ(r->buffer, 0u);
  EXPECT_EQ(r->cursor, r->begin);
  for (uint32_t start : {0u, 5u, 63u, 64u, 100u})
    for (uint32_t n : {0u, 1u, 27u, 64u, 70u}) {
      stream_set_read_offset(r, start);
      EXPECT_EQ(stream_read_offset(r), start);
      stream_skip(r, n);
      uint64_t a = stream_read_bits(r, 30);
      stream_set_read_offset(r, start + n);
      EXPECT_EQ(stream_read_bits(r, 30), a);
    }
  // Aligning drops the buffered bits and resumes at the cursor's word.
  stream_set_read_offset(r, 59);
  EXPECT_EQ(stream_align(r), 5u);
  EXPECT_EQ(stream_read_bits(r, 64), st.words[1]);
  EXPECT_EQ(stream_align(r), 0u);
  EXPECT_EQ(stream_read_bits(r, 64), st.words[2]);
  stream_close(r);
}

TEST(BitStream, PadStoresWholeZeroWords)
{
  Stream st(4, ~uint64_t(0));
  stream_write_bits(st.s, 0x3ff, 10);
  stream_pad(st.s, 130);
  EXPECT_EQ(st.words[0], 0x3ffu);
  EXPECT_EQ(st.words[1], 0u);
  EXPECT_EQ(st.s->bits, 12u);
  EXPECT_EQ(st.s->buffer, 0u);
  EXPECT_EQ(stream_write_offset(st.s), 140u);
  stream_pad(st.s, 3);
  EXPECT_EQ(st.s->bits, 15u);
}

TEST(BitStream, CopyMovesBitsInWordSteps)
{
  std::mt19937_64 rng(4);
  for (uint64_t n : {0u, 1u, 63u, 64u, 65u, 128u, 200u}) {
    Stream src(5), dst(5, 0x55), ref(5);
    for (auto& w : src.words)
      w = rng();
    stream_read_bits(src.s, 3);
    stream_write_bits(dst.s, 1, 1);
    stream_copy(dst.s, src.s, n);
    EXPECT_EQ(stream_write_offset(dst.s), 1 + n);
    EXPECT_EQ(stream_read_offset(src.s), 3 + n);
    stream_flush(dst.s);
    // Compare with a bit-by-bit copy.
    stream_set_read_offset(src.s, 3);
    stream_write_bit(ref.s, 1);
    for (uint64_t i = 0; i < n; i++)
      stream_write_bit(ref.s, stream_read_bit(src.s));
    stream_flush(ref.s);
    for (size_t i = 0; i < (1 + n + 63) / 64; i++)
      EXPECT_EQ(dst.words[i], ref.words[i]) << n;
  }
}

TEST(BitStream, RecordAccessors)
{
  unsigned char bytes[24];
  bit_stream* s = stream_open(bytes, 20);
  EXPECT_EQ(stream_capacity(s), 16u);
  EXPECT_EQ(stream_data(s), bytes);
  EXPECT_EQ(stream_size(s), 0u);
  EXPECT_EQ(stream_alignment(), 64u);
  EXPECT_EQ(stream_word_bits, 64u);
  EXPECT_EQ(stream_words_per_store(), 1u);
  EXPECT_EQ(stream_bit_bias(), 0);
  stream_close(s);
}

} // namespace
