// Streams over buffers at any byte offset: the bit stream, kvr_compress and
// kvr_decompress give the same bits at every offset as over an aligned
// buffer, and an array rebuilt from a file image (12 header bytes, then the
// compressed buffer) reads back what was saved.  Under UBSan an access to a
// word through a misaligned pointer stops the program.
#include <kvr/array_api.h>
#include <kvr/kvr.h>

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "compress/variants.hpp"

namespace {

// Bytes at a given offset from an 8-aligned base, with guard bytes around
// them that must stay untouched.
struct Bytes {
  static constexpr unsigned char guard = 0xa5;
  std::vector<uint64_t> storage;
  size_t offset, n;

  Bytes(size_t bytes, size_t off) : storage((bytes + off + 16) / 8 + 1), offset(off), n(bytes)
  {
    std::memset(storage.data(), guard, storage.size() * 8);
    std::memset(data(), 0, n);
  }
  unsigned char* data() { return reinterpret_cast<unsigned char*>(storage.data()) + offset; }
  std::vector<unsigned char> contents() { return std::vector<unsigned char>(data(), data() + n); }
  bool guards_intact()
  {
    const unsigned char* all = reinterpret_cast<unsigned char*>(storage.data());
    for (size_t i = 0; i < storage.size() * 8; i++)
      if ((i < offset || i >= offset + n) && all[i] != guard)
        return false;
    return true;
  }
};

// Every bit-stream operation that loads or stores a word, on a stream over
// `b`; returns what the reads gave.  The stream's bytes are left in b.
std::vector<uint64_t> exercise(Bytes& b)
{
  std::vector<uint64_t> got;
  std::mt19937_64 rng(7);
  bit_stream* s = stream_open(b.data(), b.n);
  bit_stream* t = stream_open(b.data() + 64, b.n - 64); // a second writer, for stream_copy
  for (uint32_t n = 0; n <= 64; n += 5)
    stream_write_bits(s, rng(), n);
  for (int i = 0; i < 70; i++)
    stream_write_bit(s, uint32_t(rng() & 1));
  stream_pad(s, 130);
  stream_write_bits(s, rng(), 64);
  got.push_back(stream_flush(s));
  got.push_back(stream_size(s));

  // Rewrite bits 70..89 in place, keeping the bits before them.
  stream_set_write_offset(s, 70);
  stream_write_bits(s, 0xabcde, 20);
  got.push_back(stream_flush(s));

  stream_rewind(s);
  for (uint32_t n = 0; n <= 64; n += 3)
    got.push_back(stream_read_bits(s, n));
  for (int i = 0; i < 70; i++)
    got.push_back(stream_read_bit(s));
  stream_set_read_offset(s, 133);
  got.push_back(stream_read_bits(s, 64));
  stream_skip(s, 77);
  got.push_back(stream_read_bits(s, 9));
  got.push_back(stream_align(s));
  got.push_back(stream_read_bits(s, 64));

  stream_set_read_offset(s, 3);
  stream_set_write_offset(t, 0);
  stream_copy(t, s, 200);
  got.push_back(stream_flush(t));
  stream_close(t);
  stream_close(s);
  return got;
}

TEST(Misaligned, BitStreamOperationsAtEveryByteOffset)
{
  Bytes aligned(160, 0);
  const std::vector<uint64_t> want = exercise(aligned);
  ASSERT_TRUE(aligned.guards_intact());
  for (size_t offset = 1; offset < 8; offset++) {
    Bytes b(160, offset);
    EXPECT_EQ(exercise(b), want) << offset;
    EXPECT_EQ(b.contents(), aligned.contents()) << offset;
    EXPECT_TRUE(b.guards_intact()) << offset;
  }
}

using kvr_test::Mode;
using kvr_test::Shape;
using kvr_test::set_mode;
using kvr_test::type_of;

const Shape shapes[] = {{1, {37, 0, 0, 0}}, {2, {9, 6, 0, 0}}, {3, {6, 5, 7, 0}}, {4, {5, 4, 3, 6}}};
const Mode modes[] = {Mode::rate, Mode::precision, Mode::accuracy, Mode::reversible};

// The absent extents of a shape are 0, as kvr_field_4d takes them.
kvr_field* field_of(void* data, kvr_type t, const Shape& s)
{
  return kvr_field_4d(data, t, s.n[0], s.n[1], s.n[2], s.n[3]);
}

// A stream's bytes and the values decoded from them.
struct Coded {
  size_t written = 0, read = 0;
  std::vector<unsigned char> bytes;
  std::vector<unsigned char> values;
};

// Header and blocks written at `offset` bytes past an aligned address, then
// read back from there.
template <typename T>
Coded round_trip(const std::vector<T>& in, const Shape& s, Mode m, size_t offset)
{
  Coded c;
  std::vector<T> out(in.size());
  std::vector<T> copy(in);
  kvr_field* f = field_of(copy.data(), type_of<T>(), s);
  kvr_field* g = field_of(out.data(), type_of<T>(), s);
  kvr_stream* z = kvr_stream_open(nullptr);
  set_mode(z, m, type_of<T>(), s.d);
  Bytes b(kvr_stream_maximum_size(z, f), offset);
  bit_stream* bs = stream_open(b.data(), b.n);
  kvr_stream_set_bit_stream(z, bs);
  if (kvr_write_header(z, f, KVR_HEADER_FULL))
    c.written = kvr_compress(z, f);
  kvr_stream_rewind(z);
  kvr_field* h = kvr_field_alloc();
  if (kvr_read_header(z, h, KVR_HEADER_FULL))
    c.read = kvr_decompress(z, g);
  c.bytes = b.contents();
  c.bytes.resize(c.written);
  c.values.resize(out.size() * sizeof(T));
  std::memcpy(c.values.data(), out.data(), c.values.size());
  EXPECT_TRUE(b.guards_intact());
  kvr_field_free(h);
  stream_close(bs);
  kvr_stream_close(z);
  kvr_field_free(g);
  kvr_field_free(f);
  return c;
}

template <typename T>
void compress_at_offsets()
{
  std::mt19937_64 rng(11);
  for (const Shape& s : shapes) {
    size_t count = 1;
    for (uint32_t k = 0; k < s.d; k++)
      count *= s.n[k];
    std::vector<T> in(count);
    for (size_t i = 0; i < count; i++)
      in[i] = T(double(i % 17) * 0.37 - double(rng() % 1000) / 300.0);
    for (Mode m : modes) {
      const Coded want = round_trip(in, s, m, 0);
      ASSERT_GT(want.written, 0u);
      ASSERT_EQ(want.read, want.written);
      for (size_t offset : {4, 1}) {
        const Coded got = round_trip(in, s, m, offset);
        EXPECT_EQ(got.written, want.written) << s.d << " " << int(m) << " " << offset;
        EXPECT_EQ(got.read, want.read) << s.d << " " << int(m) << " " << offset;
        EXPECT_EQ(got.bytes, want.bytes) << s.d << " " << int(m) << " " << offset;
        EXPECT_EQ(got.values, want.values) << s.d << " " << int(m) << " " << offset;
      }
    }
  }
}

TEST(Misaligned, CompressAndDecompressAtOffsets4And1)
{
  compress_at_offsets<int32_t>();
  compress_at_offsets<int64_t>();
  compress_at_offsets<float>();
  compress_at_offsets<double>();
}

// An array saved as one byte block, its 12 header bytes followed by its
// compressed buffer (which thus starts at 4 mod 8), and rebuilt from that
// block: the array copies the buffer into its own, so every element reads
// back as saved.
TEST(Misaligned, ArrayRebuiltFromHeaderAndBufferInOneBlock)
{
  const kvr_array3d_api* api = &kvr_array_api.array3d;
  kvr_array3d a = api->ctor(9, 6, 5, 12.0, nullptr, 0);
  for (size_t i = 0; i < api->size(a); i++)
    api->set_flat(a, i, double(i % 13) * 0.25 - 1.0);
  kvr_header h = api->header.ctor(a);
  const size_t bytes = api->compressed_size(a);
  Bytes block(12 + bytes, 0);
  std::memcpy(block.data(), api->header.data(h), 12);
  std::memcpy(block.data() + 12, api->compressed_data(a), bytes);

  kvr_header g = api->header.ctor_buffer(block.data(), 12);
  ASSERT_NE(g, nullptr);
  kvr_array3d b = api->ctor_header(g, block.data() + 12, bytes);
  EXPECT_EQ(api->compressed_size(b), bytes);
  EXPECT_EQ(std::memcmp(api->compressed_data(b), block.data() + 12, bytes), 0);
  for (size_t i = 0; i < api->size(a); i++)
    ASSERT_EQ(api->get_flat(b, i), api->get_flat(a, i)) << i;
  api->dtor(b);
  api->header.dtor(g);
  api->header.dtor(h);
  api->dtor(a);
}

} // namespace
