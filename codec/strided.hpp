// Strided and partial blocks: gathering into a local block in block
// layout, the places a decoded block goes, and the padding of partial
// blocks.
//
// Parameters: T (the element type, copied bit for bit) and D (1..4).
// A partial block's valid sub-block has extents n[0..D-1] (0..4 each); the
// rest is padded line by line along x, then y, z, w: a line with valid
// values (a) becomes (a, a, a, a), (a, b) becomes (a, b, b, a), (a, b, c)
// becomes (a, b, c, a), and with no valid value the block is all zero bits.
#ifndef KVR_CODEC_STRIDED_HPP
#define KVR_CODEC_STRIDED_HPP

#include <stddef.h>
#include <stdint.h>

namespace kvr_codec {
namespace {

template <unsigned D>
struct block_shape {
  static constexpr unsigned size = 1u << (2 * D);
};

// Offset of block coordinate i (x fastest) in the caller's array.
template <unsigned D>
inline ptrdiff_t array_offset(unsigned i, const ptrdiff_t* s)
{
  ptrdiff_t off = 0;
  for (unsigned a = 0; a < D; a++)
    off += ptrdiff_t((i >> (2 * a)) & 3u) * s[a];
  return off;
}

// Whole blocks row by row: one offset per row of 4 values along x, whose
// values follow at multiples of the x stride.
template <typename T, unsigned D>
inline void gather(T* block, const T* p, const ptrdiff_t* s)
{
  constexpr unsigned rows = block_shape<D>::size / 4;
  const ptrdiff_t sx = s[0];
  for (unsigned r = 0; r < rows; r++) {
    const T* q = p + array_offset<D>(4 * r, s);
    T* b = block + 4 * r;
    b[0] = q[0];
    b[1] = q[sx];
    b[2] = q[2 * sx];
    b[3] = q[3 * sx];
  }
}

// Where the values of a decoded block go, each computed as it is stored
// (put<N>(value) stores value(i) for i = 0 .. N - 1): a contiguous block,
// or straight into the caller's strided array, row by row with one offset
// per row of 4 values along x, so that the block is not copied once more.
template <typename T>
struct to_block {
  T* p;

  template <unsigned N, typename F>
  void put(F value) const
  {
    for (unsigned i = 0; i < N; i++)
      p[i] = value(i);
  }
};

template <typename T, unsigned D>
struct to_strided {
  T* p;
  const ptrdiff_t* s;

  // A row of four 32-bit values with unit x stride is one 16-byte vector:
  // with the stride known to be 1 its values are converted and stored
  // together.  Rows of 64-bit values measured slower that way and keep
  // the stores at the caller's stride.
  template <unsigned N, typename F>
  void put(F value) const
  {
    if (sizeof(T) == 4 && s[0] == 1)
      rows<N, true>(value);
    else
      rows<N, false>(value);
  }

  // The unit stride is a template argument rather than a constant object
  // (such as std::integral_constant), whose member functions would be
  // emitted as weak global symbols in unoptimised builds.
  template <unsigned N, bool unit, typename F>
  void rows(F value) const
  {
    const ptrdiff_t sx = unit ? 1 : s[0];
    for (unsigned r = 0; r < N / 4; r++) {
      T* q = p + array_offset<D>(4 * r, s);
      for (unsigned i = 0; i < 4; i++)
        q[ptrdiff_t(i) * sx] = value(4 * r + i);
    }
  }
};

// Whether block coordinate i lies in the valid sub-block of extents n,
// looking only at axes a and up.
template <unsigned D>
inline bool inside(unsigned i, const size_t* n, unsigned a)
{
  for (; a < D; a++)
    if (((i >> (2 * a)) & 3u) >= n[a])
      return false;
  return true;
}

template <typename T>
inline void pad_line(T* q, ptrdiff_t s, size_t n)
{
  switch (n) {
  case 1:
    q[1 * s] = q[0];
    q[2 * s] = q[0];
    q[3 * s] = q[0];
    break;
  case 2:
    q[2 * s] = q[1 * s];
    q[3 * s] = q[0];
    break;
  case 3:
    q[3 * s] = q[0];
    break;
  default:
    break;
  }
}

template <typename T, unsigned D>
inline void gather_partial(T* block, const T* p, const size_t* n, const ptrdiff_t* s)
{
  constexpr unsigned N = block_shape<D>::size;
  bool empty = false;
  for (unsigned a = 0; a < D; a++)
    empty |= n[a] == 0;
  if (empty) {
    for (unsigned i = 0; i < N; i++)
      block[i] = T(0);
    return;
  }
  for (unsigned i = 0; i < N; i++)
    if (inside<D>(i, n, 0))
      block[i] = p[array_offset<D>(i, s)];
  // Axis a pads the lines whose coordinates above a are valid; the
  // coordinates below a are already complete.
  for (unsigned a = 0; a < D; a++) {
    const ptrdiff_t stride = ptrdiff_t(1) << (2 * a);
    for (unsigned i = 0; i < N; i++)
      if (((i >> (2 * a)) & 3u) == 0 && inside<D>(i, n, a + 1))
        pad_line(block + i, stride, n[a]);
  }
}

template <typename T, unsigned D>
inline void scatter_partial(T* p, const T* block, const size_t* n, const ptrdiff_t* s)
{
  for (unsigned i = 0; i < block_shape<D>::size; i++)
    if (inside<D>(i, n, 0))
      p[array_offset<D>(i, s)] = block[i];
}

} // namespace
} // namespace kvr_codec

#endif
