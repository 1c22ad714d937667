// The interface at the edges of the geometry, for all eight sub-tables:
// arrays without elements, moves beyond either end, extents whose product
// does not fit, and rates that are not positive.
#include <kvr/array.hpp>
#include <kvr/array_api.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

template <class Rec> constexpr unsigned dims_of() { return unsigned(sizeof(Rec) / sizeof(size_t)) - 1; }

// The indices of a record, x first.
template <unsigned N, class Rec> std::vector<size_t> idx(const Rec& r)
{
  std::vector<size_t> x = {r.i};
  if constexpr (N >= 2)
    x.push_back(r.j);
  if constexpr (N >= 3)
    x.push_back(r.k);
  if constexpr (N >= 4)
    x.push_back(r.l);
  return x;
}

template <unsigned N, class Api> auto make(const Api& api, const size_t* n, double rate)
{
  if constexpr (N == 1)
    return api.ctor(n[0], rate, nullptr, 0);
  else if constexpr (N == 2)
    return api.ctor(n[0], n[1], rate, nullptr, 0);
  else if constexpr (N == 3)
    return api.ctor(n[0], n[1], n[2], rate, nullptr, 0);
  else
    return api.ctor(n[0], n[1], n[2], n[3], rate, nullptr, 0);
}

template <unsigned N, class Api, class H> auto origin(const Api& api, H a)
{
  if constexpr (N == 1)
    return api.ptr(a, 0);
  else if constexpr (N == 2)
    return api.ptr(a, 0, 0);
  else if constexpr (N == 3)
    return api.ptr(a, 0, 0, 0);
  else
    return api.ptr(a, 0, 0, 0, 0);
}

// An array without elements reads 0, drops writes, has its end at its
// begin, and splits flat indices by its extents without dividing by 0:
// pointer moves and ptr_flat agree.
template <class Api> void check_empty(const Api& api, const size_t* n, bool default_built)
{
  using It = decltype(api.begin(nullptr));
  constexpr unsigned N = dims_of<It>();
  auto a = default_built ? api.ctor_default() : make<N>(api, n, 8);
  testing::Message where;
  where << N << "-D, " << (default_built ? "default-built" : "extents");
  for (unsigned d = 0; !default_built && d < N; d++)
    where << " " << n[d];
  SCOPED_TRACE(where);
  EXPECT_EQ(api.size(a), 0u);
  It b = api.begin(a), e = api.end(a);
  EXPECT_EQ(api.iterator.eq(b, e), 1);
  EXPECT_EQ(api.iterator.distance(b, e), 0);
  int visited = 0;
  for (It it = b; api.iterator.neq(it, e); it = api.iterator.inc(it))
    if (++visited > 100)
      break;
  EXPECT_EQ(visited, 0);

  const auto p0 = origin<N>(api, a);
  for (size_t f : {size_t(0), size_t(1), size_t(7), size_t(18)}) {
    EXPECT_EQ(api.get_flat(a, f), 0) << f;
    api.set_flat(a, f, 5);
    api.flush_cache(a); // nowhere to write it back to
    EXPECT_EQ(api.get_flat(a, f), 0) << f;
    const auto p = api.ptr_flat(a, f);
    EXPECT_EQ(idx<N>(api.ref_flat(a, f)), idx<N>(p)) << f;
    EXPECT_EQ(idx<N>(api.pointer.next(p0, ptrdiff_t(f))), idx<N>(p)) << f;
    EXPECT_EQ(api.pointer.distance(p0, p), ptrdiff_t(f)) << f;
    EXPECT_EQ(api.pointer.eq(api.pointer.prev(p, ptrdiff_t(f)), p0), 1) << f;
  }
  EXPECT_EQ(api.pointer.eq(api.pointer.inc(p0), api.ptr_flat(a, 1)), 1);
  EXPECT_EQ(api.pointer.eq(api.pointer.dec(p0), api.ptr_flat(a, SIZE_MAX)), 1);
  api.dtor(a);
}

template <class Api> void empty_shapes(const Api& api)
{
  using It = decltype(api.begin(nullptr));
  constexpr unsigned N = dims_of<It>();
  check_empty(api, nullptr, true);
  for (unsigned zero = 0; zero < N; zero++) {
    size_t n[4] = {5, 5, 5, 5};
    n[zero] = 0;
    check_empty(api, n, false);
  }
}

TEST(EmptyArrays, ReadZeroAndSplitWithoutDividingByZero)
{
  empty_shapes(kvr_array_api.array1f);
  empty_shapes(kvr_array_api.array1d);
  empty_shapes(kvr_array_api.array2f);
  empty_shapes(kvr_array_api.array2d);
  empty_shapes(kvr_array_api.array3f);
  empty_shapes(kvr_array_api.array3d);
  empty_shapes(kvr_array_api.array4f);
  empty_shapes(kvr_array_api.array4d);
}

TEST(EmptyArrays, WorkedNumbers)
{
  const kvr_array2d_api& api = kvr_array_api.array2d;
  kvr_array2d a = api.ctor(0, 5, 8, nullptr, 0);
  kvr_array2d_iterator e = api.end(a);
  EXPECT_EQ(e.i, 0u);
  EXPECT_EQ(e.j, 0u);
  api.dtor(a);
  a = api.ctor(5, 0, 8, nullptr, 0);
  kvr_array2d_pointer p = api.pointer.next(api.ptr(a, 0, 0), 1);
  EXPECT_EQ(p.i, 1u);
  EXPECT_EQ(p.j, 0u);
  p = api.ptr_flat(a, 18);
  EXPECT_EQ(p.i, 3u);
  EXPECT_EQ(p.j, 3u);
  api.dtor(a);
  const kvr_array1d_api& api1 = kvr_array_api.array1d;
  kvr_array1d b = api1.ctor(0, 8, nullptr, 0);
  kvr_array1d_pointer q = api1.ptr(b, 0);
  EXPECT_EQ(api1.pointer.next(q, 5).i, 5u);
  EXPECT_EQ(api1.pointer.prev(q, 1).i, SIZE_MAX);
  EXPECT_EQ(api1.pointer.inc(q).i, 1u);
  EXPECT_EQ(api1.pointer.dec(q).i, SIZE_MAX);
  EXPECT_EQ(api1.pointer.ref_at(q, 3).i, 3u);
  api1.dtor(b);
}

// Moves by d beyond either end land d past the end or d before begin:
// they compare so, measure d, come back, and a loop that steps past the
// end stops.
template <class Api> void check_beyond(const Api& api, const size_t* n, ptrdiff_t d)
{
  using It = decltype(api.begin(nullptr));
  constexpr unsigned N = dims_of<It>();
  auto a = make<N>(api, n, 16);
  const auto& it = api.iterator;
  const It b = api.begin(a), e = api.end(a);
  const ptrdiff_t count = ptrdiff_t(api.size(a));
  SCOPED_TRACE(testing::Message() << N << "-D, " << count << " elements, d = " << d);

  const It past = it.next(b, d);
  EXPECT_EQ(it.distance(b, past), d);
  EXPECT_EQ(it.geq(past, e), 1);
  EXPECT_EQ(it.lt(past, e), 0);
  EXPECT_EQ(it.gt(past, e), d > count ? 1 : 0);
  EXPECT_EQ(it.eq(it.prev(past, d), b), 1);
  EXPECT_EQ(api.pointer.distance(it.ptr(b), it.ptr_at(b, d)), N == 1 ? d : api.pointer.distance(it.ptr(b), it.ptr(past)));

  const It before = it.prev(b, d);
  EXPECT_EQ(it.distance(before, b), d);
  EXPECT_EQ(it.lt(before, b), 1);
  EXPECT_EQ(it.lt(before, e), 1);
  EXPECT_EQ(it.eq(it.next(before, d), b), 1);

  EXPECT_EQ(it.lt(it.dec(b), b), 1);
  EXPECT_EQ(it.eq(it.inc(it.dec(b)), b), 1);
  EXPECT_EQ(it.gt(it.inc(e), e), 1);
  EXPECT_EQ(it.eq(it.dec(it.inc(e)), e), 1);

  // A loop stepping by 16 stops after ceil(count / 16) steps.
  ptrdiff_t steps = 0;
  for (It p = b; it.lt(p, e); p = it.next(p, 16))
    if (++steps > count)
      break;
  EXPECT_EQ(steps, (count + 15) / 16);
  api.dtor(a);
}

TEST(Iterators, MovesBeyondEitherEnd)
{
  const size_t n6[] = {6, 6}, n8[] = {8, 8}, n3[] = {5, 6, 7}, n4[] = {5, 3, 6, 2};
  for (ptrdiff_t d : {36, 37, 48})
    check_beyond(kvr_array_api.array2d, n6, d);
  check_beyond(kvr_array_api.array2f, n8, 65);
  check_beyond(kvr_array_api.array3d, n3, 274);
  check_beyond(kvr_array_api.array3f, n3, 211);
  check_beyond(kvr_array_api.array4d, n4, 270);
  check_beyond(kvr_array_api.array4f, n4, 181);

  // The positions themselves: every index 0 but the last, which counts on
  // from the end.
  const kvr_array2d_api& api = kvr_array_api.array2d;
  kvr_array2d a = api.ctor(6, 6, 16, nullptr, 0);
  kvr_array2d_iterator p = api.iterator.next(api.begin(a), 48);
  EXPECT_EQ(p.i, 0u);
  EXPECT_EQ(p.j, 18u);
  p = api.iterator.prev(api.begin(a), 1);
  EXPECT_EQ(p.i, 0u);
  EXPECT_EQ(p.j, size_t(6 - 36 - 1));
  api.dtor(a);
}

// Moves by any ptrdiff_t, PTRDIFF_MIN and PTRDIFF_MAX included, in both
// directions and through every member that takes a distance: offsets move
// modulo 2^64, so each move is measured by distance and undone by its
// opposite, and nothing is read.
template <class Api> void check_extreme_moves(const Api& api)
{
  using It = decltype(api.begin(nullptr));
  constexpr unsigned N = dims_of<It>();
  const size_t n[] = {6, 5, 4, 3};
  auto a = make<N>(api, n, 8);
  const auto& it = api.iterator;
  const auto& pt = api.pointer;
  const It b = api.begin(a);
  const auto p = origin<N>(api, a);
  for (ptrdiff_t d : {PTRDIFF_MIN, PTRDIFF_MIN + 1, PTRDIFF_MAX, ptrdiff_t(-1)}) {
    SCOPED_TRACE(testing::Message() << N << "-D, d = " << d);
    const It ahead = it.next(b, d), back = it.prev(b, d);
    EXPECT_EQ(it.distance(b, ahead), d);
    EXPECT_EQ(it.distance(back, b), d);
    EXPECT_EQ(it.eq(it.prev(ahead, d), b), 1);
    EXPECT_EQ(it.eq(it.next(back, d), b), 1);
    EXPECT_EQ(idx<N>(it.ref_at(b, d)), idx<N>(ahead));
    EXPECT_EQ(pt.distance(p, pt.next(p, d)), d);
    EXPECT_EQ(pt.distance(pt.prev(p, d), p), d);
    EXPECT_EQ(pt.eq(pt.prev(pt.next(p, d), d), p), 1);
    EXPECT_EQ(pt.eq(pt.next(pt.prev(p, d), d), p), 1);
    EXPECT_EQ(idx<N>(pt.ref_at(p, d)), idx<N>(pt.next(p, d)));
    if (N == 1)
      EXPECT_EQ(idx<N>(it.ptr_at(b, d)), idx<N>(ahead));
    else
      it.ptr_at(b, d);
  }
  api.dtor(a);
}

TEST(Iterators, MovesByEveryDistance)
{
  check_extreme_moves(kvr_array_api.array1f);
  check_extreme_moves(kvr_array_api.array1d);
  check_extreme_moves(kvr_array_api.array2f);
  check_extreme_moves(kvr_array_api.array2d);
  check_extreme_moves(kvr_array_api.array3f);
  check_extreme_moves(kvr_array_api.array3d);
  check_extreme_moves(kvr_array_api.array4f);
  check_extreme_moves(kvr_array_api.array4d);
}

// An array with an extent of 0 has no elements, whatever the others: no
// product of them is formed.
TEST(EmptyArrays, HugeExtentsBesideAZero)
{
  const kvr_array4f_api& api = kvr_array_api.array4f;
  kvr_array4f a = api.ctor(13, size_t(1) << 62, 1, 0, 8.0, nullptr, 0);
  EXPECT_EQ(api.size(a), 0u);
  EXPECT_EQ(api.compressed_size(a), 0u);
  float guard = 3;
  api.set_array(a, &guard);
  api.get_array(a, &guard);
  EXPECT_EQ(guard, 3.0f);
  EXPECT_EQ(api.get_flat(a, 40), 0.0f);
  kvr_array4f_pointer p = api.ptr_flat(a, 40);
  EXPECT_EQ(p.i, 1u);
  EXPECT_EQ(p.j, 3u);
  api.resize(a, size_t(1) << 40, size_t(1) << 40, 0, 7, 1);
  EXPECT_EQ(api.size(a), 0u);
  api.dtor(a);
}

// A rate that is not positive asks for the smallest block, 64 bits, from
// the constructor and from set_rate alike.
TEST(Rates, NegativeAndNaNGiveTheSmallestBlock)
{
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double rates[] = {0.0, -0.0, -1.0, -8.0, -1e300, nan, -nan};
  const size_t n[] = {10, 10, 10, 10};
  auto check = [&](const auto& api, double smallest) {
    using It = decltype(api.begin(nullptr));
    constexpr unsigned N = dims_of<It>();
    for (double r : rates) {
      auto a = make<N>(api, n, r);
      EXPECT_EQ(api.rate(a), smallest) << N << "-D, rate " << r;
      EXPECT_EQ(api.set_rate(a, 64), 64.0);
      EXPECT_EQ(api.set_rate(a, r), smallest) << N << "-D, rate " << r;
      EXPECT_EQ(api.rate(a), smallest) << N << "-D, rate " << r;
      api.dtor(a);
    }
  };
  check(kvr_array_api.array1f, 16.0);
  check(kvr_array_api.array1d, 16.0);
  check(kvr_array_api.array2f, 4.0);
  check(kvr_array_api.array2d, 4.0);
  check(kvr_array_api.array3d, 1.0);
  check(kvr_array_api.array4f, 0.25);
}

} // namespace
