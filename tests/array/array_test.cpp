#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "array/make_array.hpp"
#include "kvr/array.hpp"

namespace {

template <class A> size_t count(const size_t* n)
{
  size_t c = 1;
  for (unsigned d = 0; d < dims_of<A>::value; d++)
    c *= n[d];
  return c;
}

template <class S> std::vector<S> smooth(size_t n)
{
  std::vector<S> v(n);
  for (size_t i = 0; i < n; i++)
    v[i] = S(std::sin(0.37 * double(i)) * 10 + std::cos(0.011 * double(i * i % 977)));
  return v;
}

// The whole-array compressor under the same limits: independent of the
// store, it gives the same block codes in the same raster order.
template <class A>
std::vector<unsigned char> whole_array(const A& a, const size_t* n, typename A::value_type* values)
{
  constexpr unsigned N = dims_of<A>::value;
  kvr_field f;
  std::memset(&f, 0, sizeof f);
  f.type = a.type;
  size_t* fe[4] = {&f.nx, &f.ny, &f.nz, &f.nw};
  for (unsigned d = 0; d < N; d++)
    *fe[d] = n[d];
  f.data = values;
  kvr_stream* z = kvr_stream_open(nullptr);
  uint32_t bits = uint32_t(a.store.index.bits_per_block);
  kvr_stream_set_params(z, bits, bits, 64, -1074);
  std::vector<unsigned char> buf(kvr_stream_maximum_size(z, &f) + 8);
  bit_stream* bs = stream_open(buf.data(), buf.size());
  kvr_stream_set_bit_stream(z, bs);
  kvr_compress(z, &f);
  kvr_stream_rewind(z);
  kvr_decompress(z, &f);
  stream_close(bs);
  kvr_stream_close(z);
  return buf;
}

template <class A> std::vector<typename A::value_type> read_all(A& a, size_t total)
{
  std::vector<typename A::value_type> out(total);
  size_t i = 0;
  for (auto it = a.begin(); it.neq(a.end()); it = it.inc()) {
    typename A::pointer p = it.ptr();
    out[p.offset()] = it.get();
    i++;
  }
  EXPECT_EQ(i, total);
  return out;
}

template <class A> class Arrays : public ::testing::Test {};
using Classes = ::testing::Types<kvr::array1<float>, kvr::array1<double>, kvr::array2<float>, kvr::array2<double>,
                                 kvr::array3<float>, kvr::array3<double>, kvr::array4<float>, kvr::array4<double>>;
// The empty last argument fills the macro's "...", as -Wpedantic under Clang asks.
TYPED_TEST_SUITE(Arrays, Classes, );

// Extents per dimensionality: multiples of 4, and not.
const size_t shapes[4][2][4] = {
  {{16, 0, 0, 0}, {13, 0, 0, 0}},
  {{8, 12, 0, 0}, {10, 7, 0, 0}},
  {{8, 4, 8, 0}, {5, 6, 7, 0}},
  {{4, 8, 4, 4}, {5, 3, 6, 2}},
};

TYPED_TEST(Arrays, HoldWhatTheCodecReproduces)
{
  using A = TypeParam;
  using S = typename A::value_type;
  constexpr unsigned N = dims_of<A>::value;
  for (const size_t* n : shapes[N - 1]) {
    size_t total = count<A>(n);
    std::vector<S> in = smooth<S>(total);
    A a = make<A>(n, 12, in.data());
    std::vector<S> expect = in;
    std::vector<unsigned char> codes = whole_array(a, n, expect.data());
    ASSERT_EQ(std::memcmp(a.compressed_data(), codes.data(), a.compressed_size()), 0) << n[0];
    A b = make<A>(n, 12, in.data());
    EXPECT_EQ(std::memcmp(a.compressed_data(), b.compressed_data(), a.compressed_size()), 0);
    EXPECT_EQ(read_all(a, total), expect) << n[0];
    EXPECT_EQ(a.rate(), double(a.store.index.bits_per_block) / double(1u << (2 * N)));
  }
}

// Writes in block order through a one-line cache: every block is evicted
// whole and reads back as the codec reproduces the written values.
TYPED_TEST(Arrays, WriteEvictReread)
{
  using A = TypeParam;
  using S = typename A::value_type;
  constexpr unsigned N = dims_of<A>::value;
  const size_t* n = shapes[N - 1][1];
  size_t total = count<A>(n);
  std::vector<S> in = smooth<S>(total);
  A a = make<A>(n, 16, nullptr, 1);
  ASSERT_EQ(a.cache.mask, 0u);
  for (auto it = a.begin(); it.neq(a.end()); it = it.inc())
    it.set(in[it.ptr().offset()]);
  std::vector<S> expect = in;
  whole_array(a, n, expect.data());
  EXPECT_EQ(read_all(a, total), expect);
}

TYPED_TEST(Arrays, SetArrayWithCachedBlocksMatchesUncached)
{
  using A = TypeParam;
  using S = typename A::value_type;
  constexpr unsigned N = dims_of<A>::value;
  const size_t* n = shapes[N - 1][1];
  size_t total = count<A>(n);
  std::vector<S> in = smooth<S>(total);
  A a = make<A>(n, 20, nullptr);
  A b = make<A>(n, 20, nullptr);
  a.begin().get(); // block 0 cached
  a.end().dec().get(); // the last block cached
  std::vector<unsigned char> zeros(a.compressed_size(), 0);
  a.set_array(in.data());
  // The cached blocks hold the new values in their lines only.
  size_t bits = a.store.index.bits_per_block / 8;
  EXPECT_EQ(std::memcmp(a.store.data, zeros.data(), bits), 0);
  EXPECT_EQ(a.begin().get(), in[0]);
  b.set_array(in.data());
  ASSERT_EQ(a.compressed_size(), b.compressed_size());
  EXPECT_EQ(std::memcmp(a.compressed_data(), b.compressed_data(), a.compressed_size()), 0);
}

TYPED_TEST(Arrays, CopiesShareNothing)
{
  using A = TypeParam;
  using S = typename A::value_type;
  constexpr unsigned N = dims_of<A>::value;
  const size_t* n = shapes[N - 1][1];
  std::vector<S> in = smooth<S>(count<A>(n));
  A a = make<A>(n, 8, in.data());
  a.begin().set(S(42));
  A c(a);
  A d = make<A>(n, 4, nullptr);
  d = a;
  ASSERT_EQ(c.compressed_size(), a.compressed_size());
  EXPECT_EQ(std::memcmp(c.compressed_data(), a.compressed_data(), a.compressed_size()), 0);
  EXPECT_EQ(std::memcmp(d.compressed_data(), a.compressed_data(), a.compressed_size()), 0);
  S before = a.end().dec().get();
  S first = a.begin().get(); // 42 as the codec reproduces it
  c.end().dec().set(S(-1000));
  d.end().dec().set(S(-2000));
  c.compressed_data();
  d.compressed_data();
  EXPECT_EQ(a.end().dec().get(), before);
  EXPECT_EQ(a.begin().get(), first);
  a.deep_copy(a);
  EXPECT_EQ(a.begin().get(), first);
  A u;
  A v(u);
  EXPECT_EQ(v.rate(), 0.0);
  EXPECT_EQ(v.compressed_data(), nullptr);
}

TYPED_TEST(Arrays, ZeroExtentHasNoBlockAndNoElement)
{
  using A = TypeParam;
  using S = typename A::value_type;
  constexpr unsigned N = dims_of<A>::value;
  size_t n[4] = {5, 5, 5, 5};
  n[N - 1 > 0 ? 1 % N : 0] = 0;
  A a = make<A>(n, 8, nullptr);
  EXPECT_EQ(a.compressed_size(), 0u);
  EXPECT_EQ(a.store.block_count(), 0u);
  EXPECT_EQ(a.nx, n[0]);
  S guard[2] = {S(3), S(3)};
  a.set_array(guard);
  EXPECT_EQ(guard[0], S(3));
  // begin equals end: a walk visits nothing.
  EXPECT_TRUE(a.begin().eq(a.end()));
  EXPECT_EQ(a.begin().distance(a.end()), 0);
  EXPECT_TRUE(a.begin().ptr().eq(a.end().ptr()));
}

TYPED_TEST(Arrays, SaveAndRebuild)
{
  using A = TypeParam;
  using S = typename A::value_type;
  constexpr unsigned N = dims_of<A>::value;
  using H = typename kvr::codec::kvr_base<N, S>::header;
  const size_t* n = shapes[N - 1][1];
  size_t total = count<A>(n);
  std::vector<S> in = smooth<S>(total);
  A a = make<A>(n, 8, in.data());
  a.begin().set(S(7));
  H h(a);
  EXPECT_EQ(h.rate(), a.rate());
  std::vector<unsigned char> bytes(static_cast<const unsigned char*>(h.data()),
                                   static_cast<const unsigned char*>(h.data()) + 12);
  std::vector<unsigned char> buffer(static_cast<unsigned char*>(a.compressed_data()),
                                    static_cast<unsigned char*>(a.compressed_data()) + a.compressed_size());
  H back(bytes.data(), 12);
  EXPECT_EQ(back.type, a.type);
  EXPECT_EQ(back.rate(), a.rate());
  A b(back, buffer.data(), buffer.size());
  EXPECT_EQ(read_all(b, total), read_all(a, total));
  A z(back);
  for (auto it = z.begin(); it.neq(z.end()); it = it.inc())
    ASSERT_EQ(it.get(), S(0));
  EXPECT_THROW(A(back, buffer.data(), buffer.size() - 1), kvr::exception);
  A unchecked(back, buffer.data(), 0);
  EXPECT_EQ(unchecked.begin().get(), a.begin().get());
}

TEST(Array2Double, WorkedNumbers)
{
  kvr::array2<double> a(10, 10, 8);
  EXPECT_EQ(a.rate(), 8.0);
  EXPECT_EQ(a.compressed_size(), 144u);
  EXPECT_EQ(a.cache.mask + 1, 4u);
  EXPECT_EQ(a.type, 4u);
  EXPECT_EQ(a.dims, 2u);
  for (auto it = a.begin(); it.neq(a.end()); it = it.inc())
    ASSERT_EQ(it.get(), 0.0);
  EXPECT_EQ(kvr::array2<double>(10, 10, 8, nullptr, 1000).cache.mask + 1, 8u);
  EXPECT_EQ(kvr::array2<double>(10, 10, 7).rate(), 8.0);
  EXPECT_EQ(kvr::array2<double>(10, 10, 0).rate(), 4.0);
  kvr::array2<double> big(10, 10, 1040.03125);
  EXPECT_EQ(big.rate(), 0.0);
  EXPECT_EQ(big.compressed_size(), 18816u);
  kvr::array2<double> empty(5, 0, 8);
  EXPECT_EQ(empty.nx, 5u);
  EXPECT_EQ(empty.ny, 0u);
  EXPECT_EQ(empty.compressed_size(), 0u);
}

TEST(Array1Double, GetArrayMixesCachedAndUncachedBlocks)
{
  std::vector<double> in = {1, 2, 3, 4, 5};
  kvr::array1<double> a(5, 64, in.data());
  kvr::array1<double>::reference r;
  r.array = &a;
  r.i = 4;
  r.set(-5); // the edge block, dirty in its line
  double out[6] = {0, 0, 0, 0, 0, 99};
  a.get_array(out);
  EXPECT_EQ(out[4], -5.0);
  EXPECT_EQ(out[5], 99.0); // an edge block writes only its valid value
  EXPECT_NEAR(out[0], 1.0, 1e-12);
  EXPECT_EQ(a.cache.tags[(1 + 1) & a.cache.mask] & 1u, 1u);
}

// A negative rate would ask for unaligned slots: the array aligns them,
// so writing one block back leaves its neighbour intact.
TEST(ArrayOpenPoints, NegativeRateStillGivesAlignedSlots)
{
  std::vector<double> in(32, 2.5);
  const double rates[] = {-1, -8, -0.0, -std::numeric_limits<double>::quiet_NaN()};
  for (double r : rates) {
    kvr::array2<double> a(8, 4, r, in.data());
    EXPECT_EQ(a.store.index.bits_per_block % 64, 0u) << r;
    double neighbour = (a.begin().next(16)).get();
    a.begin().set(100);
    a.compressed_data();
    EXPECT_EQ(a.begin().next(16).get(), neighbour) << r;
  }
}

// Default-built and given extents but no rate: reads give 0, writes stay
// in the cache, nothing touches memory outside the buffer.
TEST(ArrayOpenPoints, ElementsBeforeARate)
{
  kvr::array2<double> a;
  a.nx = 10;
  a.ny = 10;
  a.store.resize(10, 10, true);
  auto it = a.begin();
  EXPECT_EQ(it.get(), 0.0);
  it.set(3);
  EXPECT_EQ(it.get(), 3.0);
  it.next(50).set(4); // evicts the dirty line: nothing is written
  EXPECT_EQ(a.begin().get(), 0.0);
  a.compressed_data();
}

// The arrays' constructors and set_rate take a rate; a kvr_config reaches
// an array only through its block store: store.configure, then
// cache.clear, as set_rate does for a rate.  kvr_config_rate(r, align)
// gives what set_rate(r) gives, aligned or not (the stored sign only asks
// for the alignment the arrays always have); custom limits with min_bits
// == max_bits give slots of those bits (rate() is then 0); other modes
// throw and change nothing.
TEST(ArrayConfiguration, ThroughTheBlockStore)
{
  std::vector<double> in(100);
  for (size_t i = 0; i < in.size(); i++)
    in[i] = std::sin(0.1 * double(i)) + 2;
  for (int align : {0, 1}) {
    kvr::array2<double> a(10, 10, 16, in.data()), b(10, 10, 16, in.data());
    a.begin().set(7);
    a.store.configure(kvr_config_rate(5, align));
    a.cache.clear();
    EXPECT_EQ(b.set_rate(5), 8.0);
    EXPECT_EQ(a.rate(), 8.0) << align;
    EXPECT_EQ(a.store.index.bits_per_block, b.store.index.bits_per_block) << align;
    EXPECT_EQ(a.compressed_size(), b.compressed_size()) << align;
    for (auto it = a.begin(); it.neq(a.end()); it = it.inc())
      ASSERT_EQ(it.get(), 0.0) << align;
  }

  kvr::array2<double> a(10, 10, 16, in.data());
  a.store.configure(kvr_config_custom(192, 192, 20, -1074));
  a.cache.clear();
  EXPECT_EQ(a.store.index.bits_per_block, 192u);
  EXPECT_GE(a.compressed_size(), 9 * 192 / 8u);
  EXPECT_EQ(a.rate(), 0.0); // 20 planes: custom mode, not fixed rate
  a.set_array(in.data());
  std::vector<double> out(100);
  a.get_all(out.data());
  for (size_t i = 0; i < in.size(); i++)
    EXPECT_NEAR(out[i], in[i], 1e-3) << i;

  EXPECT_THROW(a.store.configure(kvr_config_precision(20)), kvr::exception);
  EXPECT_THROW(a.store.configure(kvr_config_custom(64, 128, 64, -1074)), kvr::exception);
  EXPECT_EQ(a.store.index.bits_per_block, 192u);
  a.get_all(out.data());
  EXPECT_NEAR(out[99], in[99], 1e-3);
}

TEST(ArrayOpenPoints, TooManyBlocksThrowBeforeAllocating)
{
  try {
    kvr::array1<double> a(size_t(1) << 33, 64);
    FAIL();
  }
  catch (const kvr::exception& e) {
    EXPECT_STREQ(e.what(), "kvr array too large for cache");
  }
  EXPECT_THROW(kvr::array3<float>(size_t(1) << 22, size_t(1) << 22, 4, 1), std::runtime_error);
  EXPECT_THROW(kvr::array2<float>(size_t(1) << 40, size_t(1) << 40, 1), kvr::exception);
}

TEST(ArrayException, IsARuntimeError)
{
  try {
    throw kvr::exception("kvr header is corrupt");
  }
  catch (const std::bad_alloc&) {
    FAIL();
  }
  catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "kvr header is corrupt");
  }
}

} // namespace
