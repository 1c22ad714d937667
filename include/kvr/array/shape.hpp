#ifndef KVR_ARRAY_SHAPE_HPP
#define KVR_ARRAY_SHAPE_HPP

#include <cstddef>
#include <cstdint>

// The operations that change an array's configuration stay out of line:
// inlined into the interface, they would crowd the element access out of
// the compiler's inlining budget.
// The element access of the cache, on the other hand, is always inlined.
#if defined(__GNUC__)
#define KVR_OUT_OF_LINE __attribute__((noinline, cold))
#define KVR_INLINE __attribute__((always_inline))
#else
#define KVR_OUT_OF_LINE
#define KVR_INLINE
#endif

namespace kvr {
namespace detail {

// a * b, or SIZE_MAX when the product does not fit.
inline size_t mul_sat(size_t a, size_t b)
{
  if (a != 0 && b > SIZE_MAX / a)
    return SIZE_MAX;
  return a * b;
}

// The geometry of an N-dimensional array: its extents and its blocks of
// 4^N values, the element count, and the two orders its proxies walk.  The
// store, the cache, the arrays, the proxies and the C interface all take
// their counts, block numbers and positions from here.
//
// Extents and blocks.  One extent of 0 leaves the array without elements
// and without blocks along every axis.  An array keeps its extents as
// given; its store keeps all of them 0 then (see BlockStoreN).
//
// Flat order (pointers): offset f = i + nx*(j + ny*(k + nz*l)), split back
// with the last index the plain quotient, so that an offset beyond either
// end survives the split (in 64-bit wrapping arithmetic).  An extent of 0
// keeps the whole remainder in its own index (f mod 0 = f, f div 0 = 0),
// which keeps the same identity without dividing by zero.
//
// Block order (iterators): the blocks in raster order, the elements of a
// block in raster order over its valid extents.  The end is every index 0
// but the last, which is the last extent (0 for an array without
// elements, whose begin is its end).  Moves beyond either end: a position
// outside the elements has every index 0 but the last, which is
// end + (offset - count), so that offset count + d lies d past the end and
// offset -d (as a signed value) d before begin.  Offsets of such positions
// survive every move, compare after the end or before begin as signed
// values, and nothing on the way divides by zero or touches an element.
template <unsigned N> struct shape {
  size_t n[N]; // extents, x first
  size_t b[N]; // blocks along each axis

  shape() = default;

  // Extents as given; no block along any axis when one extent is 0.
  KVR_INLINE explicit shape(const size_t* e)
  {
    bool none = false;
    for (unsigned d = 0; d < N; d++) {
      n[d] = e[d];
      none = none || !e[d];
    }
    for (unsigned d = 0; d < N; d++)
      b[d] = none ? 0 : n[d] / 4 + (n[d] % 4 != 0);
  }

  bool empty() const
  {
    for (unsigned d = 0; d < N; d++)
      if (!n[d])
        return true;
    return false;
  }

  // Number of elements: 0 when an extent is 0.  It fits in 64 bits for
  // every array that has a store (fewer than 2^31 blocks).
  size_t count() const
  {
    if (empty())
      return 0;
    size_t c = 1;
    for (unsigned d = 0; d < N; d++)
      c *= n[d];
    return c;
  }

  // Number of blocks, SIZE_MAX when the product does not fit.
  size_t block_count() const
  {
    size_t c = 1;
    for (unsigned d = 0; d < N; d++)
      c = mul_sat(c, b[d]);
    return c;
  }

  // Block number of element x and the value's index in the block's line.
  void locate(const size_t* x, size_t& blk, size_t& v) const
  {
    blk = 0;
    v = 0;
    for (unsigned d = N; d-- > 0;) {
      blk = blk * b[d] + x[d] / 4;
      v = v * 4 + x[d] % 4;
    }
  }

  // Block coordinates c and valid counts v of block blk (below
  // block_count()); true for a full block.
  bool block(size_t blk, size_t* c, size_t* v) const
  {
    bool full = true;
    for (unsigned d = 0; d < N; d++) {
      if (d + 1 < N) {
        c[d] = blk % b[d];
        blk /= b[d];
      }
      else
        c[d] = blk;
      size_t left = n[d] - 4 * c[d];
      v[d] = left < 4 ? left : 4;
      if (v[d] != 4)
        full = false;
    }
    return full;
  }

  // Strides of a plain array of these extents, x fastest.  All 0 for an
  // array without elements, which has no block to visit: its extents may
  // multiply beyond 64 bits.
  void strides(ptrdiff_t* s) const
  {
    const bool none = empty();
    s[0] = none ? 0 : 1;
    for (unsigned d = 1; d < N; d++)
      s[d] = none ? 0 : s[d - 1] * ptrdiff_t(n[d - 1]);
  }

  // Offset of block blk's first value in a plain array of strides s.
  ptrdiff_t origin(size_t blk, const ptrdiff_t* s) const
  {
    size_t c[N], v[N];
    block(blk, c, v);
    ptrdiff_t o = 0;
    for (unsigned d = 0; d < N; d++)
      o += 4 * ptrdiff_t(c[d]) * s[d];
    return o;
  }

  // The last index of the end position.
  size_t end_last() const { return empty() ? 0 : n[N - 1]; }

  void end(size_t* x) const
  {
    for (unsigned d = 0; d + 1 < N; d++)
      x[d] = 0;
    x[N - 1] = end_last();
  }

  size_t flat_offset(const size_t* x) const
  {
    size_t f = x[N - 1];
    for (unsigned d = N - 1; d-- > 0;)
      f = f * n[d] + x[d];
    return f;
  }

  void flat_split(size_t f, size_t* x) const
  {
    for (unsigned d = 0; d + 1 < N; d++) {
      if (n[d]) {
        x[d] = f % n[d];
        f /= n[d];
      }
      else {
        x[d] = f;
        f = 0;
      }
    }
    x[N - 1] = f;
  }

  // True when x lies in the rows of elements, before the end.
  bool inside(const size_t* x) const { return !empty() && x[N - 1] < n[N - 1]; }

  size_t block_offset(const size_t* x) const
  {
    if (N == 1)
      return x[0];
    if (!inside(x))
      return count() + (x[N - 1] - end_last());
    size_t s[4] = {0, 0, 0, 0}, e[4] = {0, 0, 0, 0}, r[4] = {0, 0, 0, 0};
    for (unsigned d = 0; d < N; d++) {
      s[d] = start(x[d]);
      e[d] = extent(n[d], s[d]);
      r[d] = x[d] & 3;
    }
    if (N == 2)
      return s[1] * n[0] + e[1] * s[0] + e[0] * r[1] + r[0];
    if (N == 3)
      return s[2] * n[0] * n[1] + e[2] * (s[1] * n[0] + e[1] * s[0]) + e[0] * (e[1] * r[2] + r[1]) + r[0];
    return s[3] * n[0] * n[1] * n[2] + e[3] * (s[2] * n[0] * n[1] + e[2] * (s[1] * n[0] + e[1] * s[0])) +
           e[0] * (e[1] * (e[2] * r[3] + r[2]) + r[1]) + r[0];
  }

  void block_position(size_t p, size_t* x) const
  {
    if (N == 1) {
      x[0] = p;
      return;
    }
    const size_t c = count();
    if (p >= c) {
      for (unsigned d = 0; d + 1 < N; d++)
        x[d] = 0;
      x[N - 1] = end_last() + (p - c);
      return;
    }
    // Peel the dimensions from the last down: whole slabs of blocks, then
    // the raster index inside one block.  No extent is 0 here.
    size_t s[4] = {0, 0, 0, 0}, e[4] = {1, 1, 1, 1};
    size_t inner = 1;
    for (unsigned d = N; d-- > 0;) {
      size_t slab = 1;
      for (unsigned k = 0; k < d; k++)
        slab *= n[k];
      size_t unit = slab * inner;
      s[d] = start(p / unit);
      e[d] = extent(n[d], s[d]);
      p -= s[d] * unit;
      inner *= e[d];
    }
    for (unsigned d = N; d-- > 0;) {
      inner /= e[d];
      if (d == 0)
        x[0] = s[0] + p;
      else {
        x[d] = s[d] + p / inner;
        p %= inner;
      }
    }
  }

  // One element further in block order.
  void inc(size_t* x) const
  {
    if (N == 1) {
      x[0]++;
      return;
    }
    if (!inside(x)) {
      move_outside(n, x, 1);
      return;
    }
    for (unsigned d = 0; d < N; d++) {
      size_t y = x[d] + 1;
      if ((y & 3) && y != n[d]) {
        x[d] = y;
        return;
      }
      x[d] = start(x[d]);
    }
    for (unsigned d = 0; d + 1 < N; d++) {
      size_t y = x[d] + 4;
      if (y < n[d]) {
        x[d] = y;
        return;
      }
      x[d] = 0;
    }
    size_t y = x[N - 1] + 4;
    x[N - 1] = y < n[N - 1] ? y : n[N - 1];
  }

  // One element back in block order; from begin to the position before it.
  void dec(size_t* x) const
  {
    if (N == 1) {
      x[0]--;
      return;
    }
    if (!empty() && x[N - 1] == n[N - 1]) {
      for (unsigned d = 0; d < N; d++)
        x[d] = n[d] - 1;
      return;
    }
    if (!inside(x)) {
      move_outside(n, x, size_t(0) - 1);
      return;
    }
    for (unsigned d = 0; d < N; d++)
      if (x[d] & 3) {
        x[d]--;
        for (unsigned e = 0; e < d; e++)
          x[e] = start(x[e]) + extent(n[e], start(x[e])) - 1;
        return;
      }
    for (unsigned d = 0; d < N; d++)
      if (x[d]) {
        x[d]--;
        for (unsigned e = 0; e < d; e++)
          x[e] = n[e] - 1;
        for (unsigned e = d + 1; e < N; e++)
          x[e] = x[e] + extent(n[e], x[e]) - 1;
        return;
      }
    block_position(size_t(0) - 1, x);
  }

private:
  // inc and dec of a position outside the elements, by way of its offset;
  // out of line, and on the extents alone, so that the walk inside does
  // not pay for them.
  KVR_OUT_OF_LINE static void move_outside(const size_t* e, size_t* x, size_t by)
  {
    const shape g(e);
    g.block_position(g.block_offset(x) + by, x);
  }

  static size_t start(size_t x) { return x & ~size_t(3); }
  static size_t extent(size_t n, size_t s) { return (n < s + 4 ? n : s + 4) - s; }
};

} // namespace detail
} // namespace kvr

#endif
