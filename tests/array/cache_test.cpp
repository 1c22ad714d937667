#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "array/codec_counter.hpp"
#include "kvr/array.hpp"

namespace {

using A2 = kvr::array2<double>;
using C2 = kvr::LineCache2<double>;

const ptrdiff_t s16[2] = {1, 16};

A2::reference ref(A2& a, size_t i, size_t j)
{
  A2::reference r;
  r.array = &a;
  r.i = i;
  r.j = j;
  return r;
}

TEST(LineCache, LinesFor)
{
  EXPECT_EQ(C2::lines_for(0, 0), 1u);
  EXPECT_EQ(C2::lines_for(0, 1), 1u);
  EXPECT_EQ(C2::lines_for(0, 2), 2u);
  EXPECT_EQ(C2::lines_for(0, 4), 2u);
  EXPECT_EQ(C2::lines_for(0, 5), 4u);
  EXPECT_EQ(C2::lines_for(0, 16), 4u);
  EXPECT_EQ(C2::lines_for(0, 17), 8u);
  EXPECT_EQ(C2::lines_for(1, 9), 1u);
  EXPECT_EQ(C2::lines_for(128, 9), 1u);
  EXPECT_EQ(C2::lines_for(129, 9), 2u);
  EXPECT_EQ(C2::lines_for(384, 9), 3u);
  EXPECT_EQ(C2::lines_for(4096, 9), 32u);
  EXPECT_EQ(C2::lines_for(0, (size_t(1) << 31) - 1), 1u << 16);
  EXPECT_THROW(C2::lines_for(0, size_t(1) << 31), kvr::exception);
  EXPECT_THROW(C2::lines_for(128, size_t(1) << 40), kvr::exception);
  // resize cannot widen beyond 2^31 lines; such byte counts are refused.
  EXPECT_EQ(C2::lines_for(size_t(128) << 31, 9), 1u << 31);
  try {
    C2::lines_for((size_t(128) << 31) + 1, 9);
    FAIL();
  }
  catch (const kvr::exception& e) {
    EXPECT_STREQ(e.what(), "kvr array too large for cache");
  }
}

TEST(LineCache, ResizeRoundsToPowersOfTwo)
{
  C2 c;
  const uint32_t asked[] = {0, 1, 3, 4, 5};
  const uint32_t mask[] = {1, 0, 3, 3, 7};
  for (int i = 0; i < 5; i++) {
    c.resize(asked[i]);
    EXPECT_EQ(c.mask, mask[i]) << asked[i];
    for (uint32_t l = 0; l <= c.mask; l++)
      EXPECT_EQ(c.tags[l], 0u);
  }
  c.resize(2);
  EXPECT_EQ(c.capacity(), 256u);
}

// An array whose blocks are distinct, so that every decode is visible.
class Protocol : public ::testing::Test {
protected:
  static constexpr size_t nx = 16, ny = 8; // 4 x 2 blocks, all full
  std::vector<double> data;
  Protocol() : data(nx * ny)
  {
    for (size_t i = 0; i < data.size(); i++)
      data[i] = 1.0 + double(i);
  }
  ~Protocol() override { counter::reset(); } // drops the watched tag
  A2 make(size_t cache_bytes) { return A2(nx, ny, 64, data.data(), cache_bytes); }
  static size_t bits(const A2& a) { return a.store.index.bits_per_block; }
  static double get(A2& a, size_t i, size_t j) { return ref(a, i, j).get(); }
  static void set(A2& a, size_t i, size_t j, double v) { ref(a, i, j).set(v); }
};

TEST_F(Protocol, OneLineAlternatingReadsAndWrites)
{
  A2 a = make(128);
  ASSERT_EQ(a.cache.mask, 0u);
  counter::reset();
  for (int r = 0; r < 3; r++) {
    get(a, 0, 0);
    get(a, 4, 0);
  }
  EXPECT_EQ(counter::get().decodes, 6);
  EXPECT_EQ(counter::get().encodes, 0);
  counter::reset();
  for (int r = 0; r < 3; r++) {
    set(a, 0, 0, 1);
    set(a, 4, 0, 2);
  }
  // The first write finds a clean line; each later one evicts a dirty one.
  EXPECT_EQ(counter::get().sequence, "DEDEDEDEDED");
}

TEST_F(Protocol, StateTable)
{
  A2 a = make(4 * 128); // 4 lines; block b in line (b + 1) & 3
  const uint32_t* tag1 = &a.cache.tags[1];
  counter::reset();
  counter::get().watched = tag1;

  EXPECT_EQ(get(a, 1, 1), data[1 + nx]); // empty line, read: decode
  EXPECT_EQ(counter::get().sequence, "D");
  EXPECT_EQ(*tag1, 1u << 1);
  EXPECT_EQ(counter::get().watched_at_call[0], 1u << 1); // tag stored first

  get(a, 2, 3); // hit
  set(a, 3, 3, -1); // write hit on a clean line: dirty, no codec
  EXPECT_EQ(counter::get().sequence, "D");
  EXPECT_EQ(*tag1, (1u << 1) | 1);
  get(a, 0, 0); // read of a dirty line keeps it dirty
  EXPECT_EQ(*tag1, (1u << 1) | 1);

  // Block 4 (0, 1) maps to line 1 too: the dirty block 0 is written back,
  // then block 4 decoded; the new tag is in place before both.
  EXPECT_EQ(get(a, 0, 4), data[nx * 4]);
  EXPECT_EQ(counter::get().sequence, "DED");
  EXPECT_EQ(counter::get().encode_bits.back(), 0u);
  EXPECT_EQ(counter::get().decode_bits.back(), 4 * bits(a));
  EXPECT_EQ(counter::get().watched_at_call[1], 5u << 1);
  EXPECT_EQ(counter::get().watched_at_call[2], 5u << 1);
  EXPECT_EQ(*tag1, 5u << 1);

  // Clean victim: no write-back.  Write miss: decode first, then store.
  set(a, 1, 0, -2);
  EXPECT_EQ(counter::get().sequence, "DEDD");
  EXPECT_EQ(*tag1, (1u << 1) | 1);
  EXPECT_EQ(get(a, 1, 0), -2.0);
  EXPECT_EQ(get(a, 3, 3), -1.0); // the earlier write came back from the buffer
  EXPECT_EQ(get(a, 2, 0), data[2]); // decoded on the write miss
}

TEST_F(Protocol, FlushWritesDirtyLinesInLineOrder)
{
  A2 a = make(4 * 128);
  set(a, 8, 0, 0.5);  // block 2, line 3
  set(a, 0, 0, 0.25); // block 0, line 1
  set(a, 12, 0, 4);   // block 3, line 0
  get(a, 4, 0);       // block 1, line 2, clean
  counter::reset();
  a.cache.flush();
  EXPECT_EQ(counter::get().encodes, 3);
  EXPECT_EQ(counter::get().encode_bits, (std::vector<uint64_t>{3 * bits(a), 0, 2 * bits(a)}));
  for (uint32_t l = 0; l < 4; l++)
    EXPECT_EQ(a.cache.tags[l], 0u);
  counter::reset();
  a.cache.flush();
  EXPECT_EQ(counter::get().encodes, 0);
  EXPECT_EQ(get(a, 0, 0), 0.25);
  EXPECT_EQ(counter::get().decodes, 1);
}

TEST_F(Protocol, ClearDiscardsAndDestructorDropsDirtyLines)
{
  A2 a = make(0);
  set(a, 5, 5, 99);
  counter::reset();
  a.cache.clear();
  EXPECT_EQ(get(a, 5, 5), data[5 + 5 * nx]);
  EXPECT_EQ(counter::get().sequence, "D");
  {
    A2 b = make(0);
    set(b, 1, 1, 3);
    set(b, 9, 5, 3);
    counter::reset();
  }
  EXPECT_EQ(counter::get().encodes, 0);
}

TEST_F(Protocol, GetBlockAndPutBlock)
{
  A2 a = make(4 * 128);
  set(a, 1, 1, -7); // block 0 cached and dirty
  double out[16 * 8];
  counter::reset();
  a.cache.get_block(0, out, s16);
  EXPECT_EQ(out[1 + 16], -7.0);
  EXPECT_EQ(counter::get().decodes, 0);
  a.cache.get_block(1, out, s16); // not cached
  EXPECT_EQ(counter::get().strided_decodes, 1);
  EXPECT_EQ(out[0], data[4]);
  EXPECT_EQ(a.cache.tags[2], 0u);

  get(a, 4, 0); // block 1 clean in line 2
  std::vector<unsigned char> before(static_cast<unsigned char*>(a.store.data),
                                    static_cast<unsigned char*>(a.store.data) + a.store.bytes);
  std::vector<double> p(16 * 8, 5.0);
  counter::reset();
  EXPECT_TRUE(a.cache.put_block(1, p.data() + 4, s16));
  EXPECT_FALSE(a.cache.put_block(2, p.data() + 8, s16));
  EXPECT_EQ(a.cache.tags[2], (2u << 1) | 1);
  EXPECT_EQ(counter::get().encodes + counter::get().decodes, 0);
  EXPECT_EQ(std::memcmp(before.data(), a.store.data, a.store.bytes), 0);
  a.cache.flush();
  EXPECT_EQ(get(a, 5, 2), 5.0);
}

TEST_F(Protocol, SetCapacityRefusedChangesNothing)
{
  A2 a = make(0);
  set(a, 0, 0, 11);
  uint32_t mask = a.cache.mask;
  counter::reset();
  EXPECT_THROW(a.cache.set_capacity(~size_t(0)), kvr::exception);
  EXPECT_EQ(a.cache.mask, mask);
  EXPECT_EQ(a.cache.tags[1], (1u << 1) | 1); // still dirty: refused before the flush
  EXPECT_EQ(counter::get().encodes, 0);
  a.cache.set_capacity(1000);
  EXPECT_EQ(a.cache.mask, 7u);
  EXPECT_EQ(get(a, 0, 0), 11.0);
}

TEST(LineCacheOtherDims, OneAndFourDimensionalAccess)
{
  std::vector<double> d1(9);
  for (size_t i = 0; i < 9; i++)
    d1[i] = double(i);
  kvr::array1<double> a(9, 64, d1.data(), 32); // one line
  counter::reset();
  double* line = a.cache.line(5, false);
  EXPECT_EQ(line[1], 5.0);
  a.cache.line(6, true)[2] = -6;
  a.cache.line(8, false);
  EXPECT_EQ(counter::get().sequence, "DED");
  EXPECT_EQ(a.cache.line(6, false)[2], -6.0);

  std::vector<double> d4(5 * 4 * 4 * 4);
  for (size_t i = 0; i < d4.size(); i++)
    d4[i] = double(i % 7);
  kvr::array4<double> b(5, 4, 4, 4, 64, d4.data(), 2048);
  counter::reset();
  EXPECT_EQ(b.cache.get(4, 3, 2, 1), d4[4 + 5 * (3 + 4 * (2 + 4 * 1))]);
  b.cache.set(1, 1, 1, 1, 9); // clean victim, write miss decodes
  b.cache.get(4, 0, 0, 0);    // dirty victim
  EXPECT_EQ(counter::get().sequence, "DDED");
  EXPECT_EQ(b.cache.get(1, 1, 1, 1), 9.0);
}

TEST(LineCacheCopy, DeepCopyCarriesDirtyBits)
{
  std::vector<double> d(64, 1.0);
  A2 a(8, 8, 16, d.data(), 0);
  ref(a, 3, 3).set(4.0);
  A2 c(a);
  EXPECT_EQ(c.cache.mask, a.cache.mask);
  EXPECT_NE(c.cache.tags, a.cache.tags);
  EXPECT_EQ(c.cache.store, &c.store);
  const void* pa = a.compressed_data();
  const void* pc = c.compressed_data();
  ASSERT_EQ(a.compressed_size(), c.compressed_size());
  EXPECT_EQ(std::memcmp(pa, pc, a.compressed_size()), 0);
  ref(c, 3, 3).set(-4.0);
  c.compressed_data();
  EXPECT_EQ(ref(a, 3, 3).get(), 4.0);
}

} // namespace
