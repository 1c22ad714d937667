// The interface table: its layout, and the worked numbers of the array,
// pointer, iterator and header groups.
#include <kvr/array.hpp>
#include <kvr/array_api.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

template <class R> constexpr bool plain_record()
{
  return std::is_standard_layout<R>::value && std::is_trivially_copyable<R>::value;
}
static_assert(plain_record<kvr_array1f_reference>() && plain_record<kvr_array1d_pointer>() &&
                plain_record<kvr_array2f_iterator>() && plain_record<kvr_array2d_reference>() &&
                plain_record<kvr_array3f_pointer>() && plain_record<kvr_array3d_iterator>() &&
                plain_record<kvr_array4f_reference>() && plain_record<kvr_array4d_iterator>(),
              "value records are plain C records");
static_assert(sizeof(kvr_array2d_iterator) == 3 * 8 && sizeof(kvr_array4f_pointer) == 5 * 8,
              "a record is the handle and one index per dimension");
static_assert(sizeof(kvr_array_api) == 678 * sizeof(void (*)()), "678 function pointers");
static_assert(sizeof(kvr_array1f_api) == 81 * sizeof(void (*)()) && sizeof(kvr_array2d_api) == 84 * sizeof(void (*)()) &&
                sizeof(kvr_array3f_api) == 86 * sizeof(void (*)()) && sizeof(kvr_array4d_api) == 88 * sizeof(void (*)()),
              "sub-table sizes");

const kvr_array2d_api& api2 = kvr_array_api.array2d;

struct Array2 {
  kvr_array2d a;
  explicit Array2(kvr_array2d h) : a(h) {}
  ~Array2() { api2.dtor(a); }
};

TEST(Table, SlotsAreDistinctButTheSharedHeaderFunctions)
{
  const void* const* slots = reinterpret_cast<const void* const*>(&kvr_array_api);
  std::vector<const void*> all(slots, slots + 678);
  std::sort(all.begin(), all.end());
  size_t repeats = 0;
  for (size_t i = 1; i < all.size(); i++)
    repeats += all[i] == all[i - 1];
  // Eleven header functions appear in all eight sub-tables.
  EXPECT_EQ(repeats, 11u * 7);
  EXPECT_EQ(std::find(all.begin(), all.end(), nullptr), all.end());
}

TEST(ArrayGroup, CacheSizesOfA100By100Array)
{
  const struct { size_t bytes, cache; } cases[] = {{0, 4096}, {1000, 1024}, {129, 256}, {300, 512}};
  for (auto c : cases) {
    Array2 u(api2.ctor(100, 100, 8, nullptr, c.bytes));
    EXPECT_EQ(api2.cache_size(u.a), c.cache) << c.bytes;
  }
}

TEST(ArrayGroup, SetRateReturnsTheRateInForce)
{
  const struct { double rate, want, reads; } cases2[] = {
    {0, 4.0, 4.0}, {7, 8.0, 8.0}, {1040, 1040.0, 1040.0}, {1041, 1044.0, 0.0}};
  for (auto c : cases2) {
    Array2 u(api2.ctor(10, 10, 8, nullptr, 0));
    EXPECT_EQ(api2.set_rate(u.a, c.rate), c.want);
    EXPECT_EQ(api2.rate(u.a), c.reads);
  }
  kvr_array1d a1 = kvr_array_api.array1d.ctor(10, 8, nullptr, 0);
  EXPECT_EQ(kvr_array_api.array1d.set_rate(a1, 0), 16.0);
  kvr_array_api.array1d.dtor(a1);
  kvr_array3f a3 = kvr_array_api.array3f.ctor(5, 5, 5, 8, nullptr, 0);
  EXPECT_EQ(kvr_array_api.array3f.set_rate(a3, 0), 1.0);
  kvr_array_api.array3f.dtor(a3);
  kvr_array4d a4 = kvr_array_api.array4d.ctor(5, 5, 5, 5, 8, nullptr, 0);
  EXPECT_EQ(kvr_array_api.array4d.set_rate(a4, 0), 0.25);
  kvr_array_api.array4d.dtor(a4);
}

TEST(ArrayGroup, SetRateDropsEveryValue)
{
  Array2 u(api2.ctor(10, 10, 16, nullptr, 0));
  api2.set(u.a, 3, 4, 2.5);
  api2.set_rate(u.a, 16);
  EXPECT_EQ(api2.get(u.a, 3, 4), 0.0);
}

TEST(ArrayGroup, RefusedResizeKeepsTheArray)
{
  Array2 u(api2.ctor(6, 6, 16, nullptr, 0));
  // 2^31 blocks cannot be cached: the store refuses before anything changes.
  EXPECT_THROW(api2.resize(u.a, size_t(4) << 16, size_t(4) << 15, 1), kvr::exception);
  EXPECT_EQ(api2.size_x(u.a), 6u);
  EXPECT_EQ(api2.size_y(u.a), 6u);
  api2.set(u.a, 5, 5, 1.0);
  EXPECT_EQ(api2.get(u.a, 5, 5), 1.0);
}

TEST(ArrayGroup, AccessWithoutBufferOrAtTheEndStaysInside)
{
  // No rate and no extents yet: reads give 0, writes go nowhere.
  Array2 u(api2.ctor_default());
  api2.set(u.a, 0, 0, 5.0);
  EXPECT_EQ(api2.get(u.a, 1, 1), 0.0);
  api2.flush_cache(u.a);
  // The end record of arrays whose last extent is and is not a multiple of 4.
  for (size_t ny : {8u, 6u}) {
    Array2 v(api2.ctor(6, ny, 16, nullptr, 0));
    api2.set(v.a, 5, ny - 1, 2.0);
    kvr_array2d_iterator e = api2.end(v.a);
    api2.iterator.set(e, 7.0);
    (void)api2.iterator.get(e);
    api2.flush_cache(v.a);
    EXPECT_EQ(api2.get(v.a, 0, ny - 1), 0.0);
    EXPECT_NEAR(api2.get(v.a, 5, ny - 1), 2.0, 1e-3);
  }
}

TEST(ArrayGroup, DefaultConstructedArrayIsUnconfigured)
{
  Array2 u(api2.ctor_default());
  EXPECT_EQ(api2.size(u.a), 0u);
  EXPECT_EQ(api2.rate(u.a), 0.0);
  EXPECT_EQ(api2.compressed_size(u.a), 0u);
  EXPECT_EQ(api2.compressed_data(u.a), nullptr);
  EXPECT_EQ(api2.cache_size(u.a), 128u);
  // A rate and extents, in either order, make it usable.
  api2.resize(u.a, 6, 5, 1);
  api2.set_rate(u.a, 32);
  api2.set(u.a, 5, 4, 3.0);
  EXPECT_EQ(api2.get(u.a, 5, 4), 3.0);
  EXPECT_EQ(api2.size(u.a), 30u);
}

TEST(ArrayGroup, FlatIndicesAndEndRecords)
{
  Array2 u(api2.ctor(7, 5, 32, nullptr, 0));
  api2.set(u.a, 6, 4, 1.5);
  api2.set(u.a, 0, 1, -2.0);
  EXPECT_EQ(api2.get_flat(u.a, 7 * 5 - 1), 1.5);
  EXPECT_EQ(api2.get_flat(u.a, 7), -2.0);
  api2.set_flat(u.a, 7, 4.0);
  EXPECT_EQ(api2.get(u.a, 0, 1), 4.0);
  kvr_array2d_iterator b = api2.begin(u.a), e = api2.end(u.a);
  EXPECT_EQ(b.i, 0u);
  EXPECT_EQ(b.j, 0u);
  EXPECT_EQ(e.i, 0u);
  EXPECT_EQ(e.j, 5u);
  EXPECT_EQ(e.array, u.a);
  kvr_array1f a1 = kvr_array_api.array1f.ctor(9, 32, nullptr, 0);
  EXPECT_EQ(kvr_array_api.array1f.end(a1).i, 9u);
  kvr_array_api.array1f.dtor(a1);
  // size is the product of the extents, 0 when one is 0.
  Array2 z(api2.ctor(5, 0, 8, nullptr, 0));
  EXPECT_EQ(api2.size(z.a), 0u);
  EXPECT_EQ(api2.size_x(z.a), 5u);
}

TEST(ArrayGroup, WritesStayInTheCacheUntilFlushed)
{
  Array2 u(api2.ctor(8, 8, 32, nullptr, 0));
  std::vector<double> p(64);
  api2.set(u.a, 2, 3, 6.25);
  api2.get_array(u.a, p.data());
  EXPECT_EQ(p[3 * 8 + 2], 6.25);
  // get_array changed nothing: clearing the cache loses the write.
  api2.clear_cache(u.a);
  EXPECT_EQ(api2.get(u.a, 2, 3), 0.0);
  api2.set(u.a, 2, 3, 6.25);
  api2.get_array(u.a, p.data());
  api2.flush_cache(u.a);
  api2.clear_cache(u.a);
  EXPECT_EQ(api2.get(u.a, 2, 3), 6.25);
}

TEST(ArrayGroup, GetArrayMatchesElementReadsForEveryClass)
{
  std::vector<double> src(6 * 7 * 5 * 3);
  for (size_t i = 0; i < src.size(); i++)
    src[i] = double(i % 13) - 6;
  std::vector<float> srcf(src.begin(), src.end());
  auto check = [](auto& api, auto h, auto& values, size_t count) {
    std::vector<typename std::decay_t<decltype(values)>::value_type> out(count);
    api.set_flat(h, 1, 99);  // one dirty line
    api.get_array(h, out.data());
    for (size_t f = 0; f < count; f++)
      EXPECT_EQ(out[f], api.get_flat(h, f)) << f;
    api.dtor(h);
  };
  check(kvr_array_api.array1d, kvr_array_api.array1d.ctor(6, 64, src.data(), 0), src, 6);
  check(kvr_array_api.array2f, kvr_array_api.array2f.ctor(6, 7, 32, srcf.data(), 0), srcf, 42);
  check(kvr_array_api.array2d, kvr_array_api.array2d.ctor(6, 7, 64, src.data(), 0), src, 42);
  check(kvr_array_api.array3d, kvr_array_api.array3d.ctor(6, 7, 5, 64, src.data(), 0), src, 210);
  check(kvr_array_api.array4f, kvr_array_api.array4f.ctor(6, 7, 5, 3, 32, srcf.data(), 0), srcf, 630);
}

TEST(IteratorGroup, WalkOfA6By6Array)
{
  Array2 u(api2.ctor(6, 6, 16, nullptr, 0));
  std::vector<std::pair<size_t, size_t>> want;
  for (size_t y = 0; y < 4; y++)
    for (size_t x = 0; x < 4; x++)
      want.push_back({x, y});
  for (size_t y = 0; y < 4; y++)
    for (size_t x = 4; x < 6; x++)
      want.push_back({x, y});
  for (size_t y = 4; y < 6; y++)
    for (size_t x = 0; x < 4; x++)
      want.push_back({x, y});
  for (size_t y = 4; y < 6; y++)
    for (size_t x = 4; x < 6; x++)
      want.push_back({x, y});
  const kvr_array2d_iterator_api& it = api2.iterator;
  std::vector<std::pair<size_t, size_t>> got;
  for (kvr_array2d_iterator p = api2.begin(u.a); it.neq(p, api2.end(u.a)); p = it.inc(p))
    got.push_back({it.i(p), it.j(p)});
  EXPECT_EQ(got, want);
  kvr_array2d_iterator p = it.next(api2.begin(u.a), 16);
  EXPECT_EQ(p.i, 4u);
  EXPECT_EQ(p.j, 0u);
  p = it.prev(api2.end(u.a), 1);
  EXPECT_EQ(p.i, 5u);
  EXPECT_EQ(p.j, 5u);
  EXPECT_EQ(it.distance(api2.begin(u.a), api2.end(u.a)), 36);
  // From (3, 0) an iterator moves to (0, 1) and a pointer to (4, 0).
  kvr_array2d_iterator q = it.next(api2.begin(u.a), 3);
  kvr_array2d_iterator qi = it.inc(q);
  kvr_array2d_pointer qp = api2.pointer.inc(it.ptr(q));
  EXPECT_EQ(qi.i, 0u);
  EXPECT_EQ(qi.j, 1u);
  EXPECT_EQ(qp.i, 4u);
  EXPECT_EQ(qp.j, 0u);
  EXPECT_EQ(q.i, 3u);  // the record passed in is unchanged
}

TEST(PointerGroup, FlatOrderAndComparisons)
{
  Array2 u(api2.ctor(5, 4, 32, nullptr, 0)), v(api2.ctor(5, 4, 32, nullptr, 0));
  api2.set(u.a, 4, 0, 8.0);
  const kvr_array2d_pointer_api& pt = api2.pointer;
  EXPECT_EQ(pt.get_at(api2.ptr(u.a, 0, 1), -1), 8.0);
  kvr_array2d_pointer e = pt.next(api2.ptr(u.a, 4, 3), 1);
  EXPECT_EQ(e.i, 0u);
  EXPECT_EQ(e.j, 4u);
  EXPECT_EQ(pt.distance(api2.ptr(u.a, 0, 0), api2.ptr(u.a, 0, 4)), 20);
  EXPECT_EQ(pt.distance(api2.ptr(u.a, 0, 4), api2.ptr(u.a, 0, 0)), -20);
  kvr_array2d_pointer a = api2.ptr(u.a, 1, 1), b = api2.ptr(v.a, 1, 1);
  EXPECT_EQ(pt.lt(a, pt.inc(b)), 0);
  EXPECT_EQ(pt.eq(a, b), 0);
  EXPECT_EQ(pt.neq(a, b), 1);
  EXPECT_EQ(pt.eq(a, a), 1);
  kvr_array2d_pointer back = api2.reference.ptr(pt.ref(a));
  EXPECT_EQ(pt.eq(back, a), 1);
}

TEST(HeaderGroup, BuildsTypedHeadersAndRefusesMalformedBytes)
{
  kvr_array3f a = kvr_array_api.array3f.ctor(9, 8, 7, 8, nullptr, 0);
  const kvr_array3f_header_api& hg = kvr_array_api.array3f.header;
  kvr_header h = hg.ctor(a);
  unsigned char bytes[12];
  std::memcpy(bytes, hg.data(h), 12);
  kvr_header g = hg.ctor_buffer(bytes, 12);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(hg.scalar_type(g), kvr_type_float);
  EXPECT_EQ(hg.dimensionality(g), 3u);
  EXPECT_EQ(hg.size_x(g), 9u);
  EXPECT_EQ(hg.size_y(g), 8u);
  EXPECT_EQ(hg.size_z(g), 7u);
  EXPECT_EQ(hg.size_w(g), 0u);
  EXPECT_EQ(hg.rate(g), hg.rate(h));
  EXPECT_EQ(std::memcmp(hg.data(g), bytes, 12), 0);
  EXPECT_EQ(hg.size_bytes(g, 0x80), 12u);
  EXPECT_EQ(hg.size_bytes(g, 4), 60u);
  EXPECT_EQ(hg.size_bytes(g, 0x84), 72u);
  EXPECT_EQ(hg.size_bytes(g, 0), 0u);
  using typed = kvr::codec::kvr_base<3u, float>::header;
  EXPECT_NE(dynamic_cast<typed*>(reinterpret_cast<kvr::array::header*>(g)), nullptr);

  // Malformed input gives NULL and leaks nothing.
  EXPECT_EQ(hg.ctor_buffer(bytes, 11), nullptr);
  EXPECT_EQ(hg.ctor_buffer(bytes, 13), nullptr);
  unsigned char bad[12];
  std::memcpy(bad, bytes, 12);
  bad[0] = 'x';
  EXPECT_EQ(hg.ctor_buffer(bad, 12), nullptr);
  // The same header for an int32 field is well formed but not an array's.
  std::memcpy(bad, bytes, 12);
  bad[4] = static_cast<unsigned char>((bad[4] & ~3u) | 0u);
  EXPECT_EQ(hg.ctor_buffer(bad, 12), nullptr);
  // Well-formed stream headers that no array can have: other modes, a long
  // mode word, and a NULL pointer with a byte count of 0.
  auto stream_header = [](void (*mode)(kvr_stream*), unsigned char* out) {
    uint64_t words[3] = {0, 0, 0};
    bit_stream* bs = stream_open(words, sizeof words);
    kvr_stream* s = kvr_stream_open(bs);
    mode(s);
    kvr_field* f = kvr_field_2d(nullptr, kvr_type_double, 9, 8);
    size_t bits = kvr_write_header(s, f, KVR_HEADER_FULL);
    stream_flush(bs);
    std::memcpy(out, words, 12);
    kvr_field_free(f);
    kvr_stream_close(s);
    stream_close(bs);
    return bits;
  };
  void (*modes[])(kvr_stream*) = {
    [](kvr_stream* s) { kvr_stream_set_precision(s, 20); },
    [](kvr_stream* s) { kvr_stream_set_accuracy(s, 0.5); },
    [](kvr_stream* s) { kvr_stream_set_reversible(s); },
    [](kvr_stream* s) { kvr_stream_set_params(s, 1, 100, 32, -20); },  // long mode word
  };
  for (auto mode : modes) {
    unsigned char h12[12];
    stream_header(mode, h12);
    EXPECT_EQ(hg.ctor_buffer(h12, 12), nullptr);
  }
  EXPECT_EQ(hg.ctor_buffer(nullptr, 0), nullptr);
  // A header without an extent cannot be made.
  kvr_array3f empty = kvr_array_api.array3f.ctor_default();
  EXPECT_THROW(hg.ctor(empty), kvr::exception);
  kvr_array_api.array3f.dtor(empty);

  hg.dtor(g);
  hg.dtor(h);
  hg.dtor(nullptr);
  kvr_array_api.array3f.dtor(a);
}

} // namespace
