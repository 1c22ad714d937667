// Every operation that changes an array either completes or leaves the
// array exactly as it was: each allocation it makes is refused in turn
// (the first, the second, ...) and the array's whole state compared.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "array/failing_alloc.hpp"
#include "array/make_array.hpp"
#include "kvr/array.hpp"
#include "kvr/array_api.h"

namespace {

// Extents by dimensionality: the arrays under test and larger ones.
const size_t small[4][4] = {{13}, {10, 7}, {5, 6, 7}, {5, 3, 6, 2}};
const size_t large[4][4] = {{29}, {17, 9}, {9, 6, 7}, {5, 7, 6, 2}};

template <class S> std::vector<S> values(size_t n)
{
  std::vector<S> v(n);
  for (size_t i = 0; i < n; i++)
    v[i] = S(std::sin(0.3 * double(i)) * 8);
  return v;
}

// Everything an array holds: extents, the store's geometry, limits, index
// and buffer bytes, the bit stream over the buffer, the cache's tags, and
// every element's value as the array reads it (lines included).
template <class A> std::vector<unsigned char> state(A& a)
{
  using S = typename A::value_type;
  constexpr unsigned N = dims_of<A>::value;
  std::vector<unsigned char> out;
  auto put = [&out](const void* p, size_t n) {
    const unsigned char* c = static_cast<const unsigned char*>(p);
    out.insert(out.end(), c, c + n);
  };
  const size_t ext[4] = {a.nx, a.ny, a.nz, a.nw};
  put(ext, sizeof ext);
  const kvr::detail::shape<N> g = a.store.geometry();
  put(g.n, sizeof g.n);
  put(g.b, sizeof g.b);
  put(&a.store.index.blocks, sizeof(size_t));
  put(&a.store.index.bits_per_block, sizeof(size_t));
  const kvr_stream* z = a.store.codec.stream;
  put(z, 4 * sizeof(uint32_t));
  put(&a.store.bytes, sizeof(size_t));
  if (a.store.data)
    put(a.store.data, a.store.bytes);
  const bit_stream* bs = kvr_stream_bit_stream(z);
  const bool over_buffer = a.store.data ? bs && bs->begin == a.store.data &&
                                            size_t(bs->end - bs->begin) == a.store.bytes / 8
                                        : true;
  out.push_back(over_buffer);
  put(&a.cache.mask, sizeof a.cache.mask);
  put(a.cache.tags, (size_t(a.cache.mask) + 1) * sizeof(uint32_t));
  std::vector<S> v(a.size());
  a.get_all(v.data());
  put(v.data(), v.size() * sizeof(S));
  return out;
}

template <class A> A fixture()
{
  using S = typename A::value_type;
  constexpr unsigned N = dims_of<A>::value;
  const size_t* n = small[N - 1];
  std::vector<S> in = values<S>(kvr::detail::shape<N>(n).count());
  A a = make<A>(n, N == 4 ? 8 : 16, in.data()); // short enough for a header
  a.begin().set(S(42));      // a dirty line
  a.end().dec().get();       // a clean one
  return a;
}

// Runs op on a fresh fixture with the 1st, 2nd, ... allocation refused
// until op completes.  A refusal must reach the caller as std::bad_alloc
// and leave the fixture as it was; returns the allocations op makes.
template <class A> unsigned every_refusal(const char* what, const std::function<void(A&)>& op)
{
  for (unsigned k = 1; k < 100; k++) {
    A a = fixture<A>();
    const std::vector<unsigned char> before = state(a);
    alloc::refuse_nth(k);
    bool threw = false;
    try {
      op(a);
    }
    catch (const std::bad_alloc&) {
      threw = true;
    }
    catch (...) {
      alloc::refuse_nth(0);
      throw;
    }
    const bool hit = alloc::refused();
    alloc::refuse_nth(0);
    EXPECT_EQ(threw, hit) << what << ", allocation " << k;
    if (!hit)
      return k - 1;
    EXPECT_TRUE(state(a) == before) << what << ", allocation " << k << " refused";
    a.compressed_data(); // still whole: the dirty line goes back to its slot
  }
  ADD_FAILURE() << what << " never completes";
  return 0;
}

template <class A> class Refused : public ::testing::Test {};
using Classes = ::testing::Types<kvr::array1<float>, kvr::array1<double>, kvr::array2<float>, kvr::array2<double>,
                                 kvr::array3<float>, kvr::array3<double>, kvr::array4<float>, kvr::array4<double>>;
// The empty last argument fills the macro's "...", as -Wpedantic under Clang asks.
TYPED_TEST_SUITE(Refused, Classes, );

TYPED_TEST(Refused, EveryChangeCompletesOrChangesNothing)
{
  using A = TypeParam;
  using S = typename A::value_type;
  constexpr unsigned N = dims_of<A>::value;
  const size_t* big = large[N - 1];
  std::vector<S> in = values<S>(kvr::detail::shape<N>(big).count());
  const A other = make<A>(big, 24, in.data());
  const A unconfigured;
  const size_t none[4] = {0, 0, 0, 0};

  // Each allocates (buffer, bit stream, tags, lines) and can be refused.
  EXPECT_GE(every_refusal<A>("resize", [&](A& a) { a.resize_to(big, true); }), 2u);
  EXPECT_GE(every_refusal<A>("set_rate", [](A& a) { a.set_rate(40); }), 2u);
  EXPECT_GE(every_refusal<A>("set_cache_size", [](A& a) { a.set_cache_size(4096); }), 2u);
  EXPECT_GE(every_refusal<A>("deep_copy", [&](A& a) { a.deep_copy(other); }), 2u);
  EXPECT_GE(every_refusal<A>("assignment", [&](A& a) { a = other; }), 2u);
  EXPECT_GE(every_refusal<A>("deep_copy of an unconfigured array", [&](A& a) { a = unconfigured; }), 2u);
  EXPECT_GE(every_refusal<A>("copy constructor", [](A& a) { A c(a); }), 2u);
  EXPECT_GE(every_refusal<A>("constructor", [&](A&) { make<A>(big, 8, in.data()); }), 2u);
  EXPECT_GE(every_refusal<A>("constructor from a header", [](A& a) {
              typename kvr::codec::kvr_base<N, S>::header h(a);
              A b(h, a.store.data, a.store.bytes);
            }),
            2u);
  // These allocate nothing.
  EXPECT_EQ(every_refusal<A>("resize to no element", [&](A& a) { a.resize_to(none, true); }), 0u);
  EXPECT_EQ(every_refusal<A>("set_array", [&](A& a) { a.set_array(in.data()); }), 0u);
}

// Refusals by rule leave the array as it was too: 2^31 blocks or more, and
// cache sizes beyond 2^31 lines.
TYPED_TEST(Refused, TooLargeChangesNothing)
{
  using A = TypeParam;
  constexpr unsigned N = dims_of<A>::value;
  A a = fixture<A>();
  const std::vector<unsigned char> before = state(a);
  size_t huge[4] = {4, 4, 4, 4};
  huge[N - 1] = size_t(1) << 40;
  EXPECT_THROW(a.resize_to(huge, true), kvr::exception);
  EXPECT_THROW(a.set_cache_size(~size_t(0)), kvr::exception);
  EXPECT_TRUE(state(a) == before);
}

// A refused resize, deep copy and cache resize, through the interface.
TEST(RefusedThroughTheTable, ResizeCacheSizeAndDeepCopy)
{
  const kvr_array2d_api& api = kvr_array_api.array2d;
  std::vector<double> in = values<double>(100), out(100, 0.0), back(100);
  kvr_array2d a = api.ctor(10, 10, 1040, in.data(), 0);
  api.get_array(a, out.data());
  const size_t bytes = api.compressed_size(a);
  alloc::refuse_nth(1);
  EXPECT_THROW(api.resize(a, 16000, 16000, 1), std::bad_alloc);
  alloc::refuse_nth(0);
  EXPECT_EQ(api.size_x(a), 10u);
  EXPECT_EQ(api.compressed_size(a), bytes);
  api.get_array(a, back.data());
  EXPECT_EQ(back, out);

  kvr_array2d small2 = api.ctor(4, 4, 8, nullptr, 0);
  api.set(small2, 1, 1, 2.5);
  alloc::refuse_nth(1);
  EXPECT_THROW(api.deep_copy(small2, a), std::bad_alloc);
  alloc::refuse_nth(0);
  EXPECT_EQ(api.size(small2), 16u);
  EXPECT_EQ(api.get(small2, 1, 1), 2.5);
  std::vector<double> p(16);
  api.get_array(small2, p.data());
  EXPECT_EQ(p[5], 2.5);
  api.dtor(small2);
  api.dtor(a);

  const kvr_array1f_api& api1 = kvr_array_api.array1f;
  kvr_array1f b = api1.ctor(100, 8, nullptr, 0);
  api1.set(b, 3, 1.5f);
  const size_t cache = api1.cache_size(b);
  alloc::refuse_nth(1);
  EXPECT_THROW(api1.set_cache_size(b, size_t(1) << 35), std::bad_alloc);
  alloc::refuse_nth(0);
  EXPECT_EQ(api1.cache_size(b), cache);
  EXPECT_EQ(api1.get(b, 3), 1.5f);
  api1.dtor(b);
}

} // namespace
