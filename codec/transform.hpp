// Decorrelating transforms, coefficient order and negabinary words.
//
// Parameters: U, the unsigned coefficient type (uint32_t or uint64_t, so
// W = 32 or 64 bits), and D, the block's dimensionality (1..4, N = 4^D
// values).  Values are held as W-bit two's complement patterns in U so that
// every sum and difference wraps without undefined behaviour; halving is an
// arithmetic shift done on the pattern.
#ifndef KVR_CODEC_TRANSFORM_HPP
#define KVR_CODEC_TRANSFORM_HPP

#include <stddef.h>
#include <stdint.h>

namespace kvr_codec {
namespace {

template <typename U>
struct word_traits {
  static constexpr unsigned width = unsigned(sizeof(U) * 8);
  static constexpr U top = U(U(1) << (width - 1));
  static constexpr U nega_mask = U(~U(0) / 3 * 2); // 0xaa..aa
};

// Arithmetic shift right by one bit of a two's complement pattern.
template <typename U>
inline U half(U v)
{
  return U((v >> 1) | (v & word_traits<U>::top));
}

// The four transforms of one line (x, y, z, w).
template <typename U>
struct lift_forward {
  static void apply(U& x, U& y, U& z, U& w)
  {
    x = half<U>(U(x + w)); w = U(w - x);
    z = half<U>(U(z + y)); y = U(y - z);
    x = half<U>(U(x + z)); z = U(z - x);
    w = half<U>(U(w + y)); y = U(y - w);
    w = U(w + half<U>(y)); y = U(y - half<U>(w));
  }
};

template <typename U>
struct lift_inverse {
  static void apply(U& x, U& y, U& z, U& w)
  {
    y = U(y + half<U>(w)); w = U(w - half<U>(y));
    y = U(y + w); w = U(U(w << 1) - y);
    z = U(z + x); x = U(U(x << 1) - z);
    y = U(y + z); z = U(U(z << 1) - y);
    w = U(w + x); x = U(U(x << 1) - w);
  }
};

template <typename U>
struct differences_forward {
  static void apply(U& x, U& y, U& z, U& w)
  {
    w = U(w - z); z = U(z - y); y = U(y - x);
    w = U(w - z); z = U(z - y);
    w = U(w - z);
  }
};

template <typename U>
struct differences_inverse {
  static void apply(U& x, U& y, U& z, U& w)
  {
    w = U(w + z); z = U(z + y); w = U(w + z);
    y = U(y + x); z = U(z + y); w = U(w + z);
  }
};

template <typename U>
inline void forward_lifting(U* p, ptrdiff_t s)
{
  lift_forward<U>::apply(p[0 * s], p[1 * s], p[2 * s], p[3 * s]);
}

template <typename U>
inline void inverse_lifting(U* p, ptrdiff_t s)
{
  lift_inverse<U>::apply(p[0 * s], p[1 * s], p[2 * s], p[3 * s]);
}

template <typename U>
inline void forward_differences(U* p, ptrdiff_t s)
{
  differences_forward<U>::apply(p[0 * s], p[1 * s], p[2 * s], p[3 * s]);
}

template <typename U>
inline void inverse_differences(U* p, ptrdiff_t s)
{
  differences_inverse<U>::apply(p[0 * s], p[1 * s], p[2 * s], p[3 * s]);
}

// Applies Op to every line of the block along axis A (stride 4^A).  The
// lines are independent and each loop has fixed bounds, so the compiler
// runs several lines at once in vector registers.
template <typename Op, unsigned D, unsigned A, typename U>
inline void lines_along(U* b)
{
  constexpr size_t n = size_t(1) << (2 * D);
  constexpr size_t s = size_t(1) << (2 * A);
  for (size_t hi = 0; hi < n; hi += 4 * s)
    for (size_t lo = 0; lo < s; lo++) {
      U* p = b + hi + lo;
      Op::apply(p[0], p[s], p[2 * s], p[3 * s]);
    }
}

// All axes, x first (Forward) or w first.
template <typename Op, unsigned D, bool Forward, unsigned A = 0, typename U>
inline void all_axes(U* b)
{
  if constexpr (A < D) {
    if constexpr (Forward) {
      lines_along<Op, D, A>(b);
      all_axes<Op, D, Forward, A + 1>(b);
    }
    else {
      all_axes<Op, D, Forward, A + 1>(b);
      lines_along<Op, D, A>(b);
    }
  }
}

// Lossy transform: lifting along x, then y, z, w; the inverse in reverse.
template <typename U, unsigned D>
inline void forward_lifting_block(U* b)
{
  all_axes<lift_forward<U>, D, true>(b);
}

template <typename U, unsigned D>
inline void inverse_lifting_block(U* b)
{
  all_axes<lift_inverse<U>, D, false>(b);
}

// Reversible transform: the difference passes commute.
template <typename U, unsigned D>
inline void forward_differences_block(U* b)
{
  all_axes<differences_forward<U>, D, true>(b);
}

template <typename U, unsigned D>
inline void inverse_differences_block(U* b)
{
  all_axes<differences_inverse<U>, D, false>(b);
}

// Coefficient orders: coded position k holds block index order<D>::perm[k],
// by ascending coordinate sum, then ascending sum of squares.
template <unsigned D>
struct order;

template <>
struct order<1> {
  static constexpr unsigned index(unsigned k) { return k; }
};

template <>
struct order<2> {
  static constexpr uint8_t perm[16] = {
    0, 1, 4, 5, 2, 8, 6, 9, 3, 12, 10, 7, 13, 11, 14, 15};
  static unsigned index(unsigned k) { return perm[k]; }
};

template <>
struct order<3> {
  static constexpr uint8_t perm[64] = {
    0, 1, 4, 16, 20, 17, 5, 2, 8, 32, 21, 6, 18, 24, 9, 33,
    36, 3, 12, 48, 22, 25, 37, 40, 34, 10, 7, 19, 28, 13, 49, 52,
    41, 38, 26, 23, 29, 53, 11, 35, 44, 14, 50, 56, 42, 27, 39, 45,
    30, 54, 57, 60, 51, 15, 43, 46, 58, 61, 55, 31, 62, 59, 47, 63};
  static unsigned index(unsigned k) { return perm[k]; }
};

template <>
struct order<4> {
  static constexpr uint8_t perm[256] = {
    0, 1, 4, 16, 64, 5, 80, 17, 68, 65, 20, 2, 8, 32, 128, 84,
    81, 69, 21, 6, 18, 66, 24, 72, 9, 96, 33, 36, 129, 132, 144, 3,
    12, 48, 192, 85, 82, 70, 22, 73, 25, 88, 37, 100, 97, 148, 145, 133,
    10, 160, 34, 136, 130, 40, 7, 19, 67, 28, 76, 13, 112, 49, 52, 193,
    196, 208, 86, 89, 101, 149, 161, 137, 41, 134, 38, 164, 26, 152, 146, 104,
    98, 74, 83, 71, 23, 77, 29, 92, 53, 116, 113, 212, 209, 197, 11, 35,
    131, 44, 140, 14, 176, 50, 56, 194, 200, 224, 90, 165, 102, 153, 150, 105,
    168, 162, 138, 42, 87, 93, 117, 213, 27, 75, 99, 39, 135, 147, 108, 45,
    141, 156, 30, 78, 177, 180, 54, 114, 120, 57, 198, 210, 216, 201, 225, 228,
    15, 240, 51, 204, 195, 60, 169, 166, 154, 106, 91, 103, 151, 109, 157, 94,
    181, 118, 121, 214, 217, 229, 163, 139, 43, 142, 46, 172, 58, 184, 178, 232,
    226, 202, 241, 205, 61, 199, 55, 244, 31, 220, 211, 124, 115, 79, 170, 167,
    155, 107, 158, 110, 173, 122, 185, 182, 233, 230, 218, 95, 245, 119, 221, 215,
    125, 242, 206, 62, 203, 59, 248, 47, 236, 227, 188, 179, 143, 171, 174, 186,
    234, 246, 222, 126, 219, 123, 249, 111, 237, 231, 189, 183, 159, 252, 243, 207,
    63, 175, 250, 187, 238, 235, 190, 253, 247, 223, 127, 254, 251, 239, 191, 255};
  static unsigned index(unsigned k) { return perm[k]; }
};

template <typename U>
inline U to_negabinary(U v)
{
  return U(U(v + word_traits<U>::nega_mask) ^ word_traits<U>::nega_mask);
}

template <typename U>
inline U from_negabinary(U u)
{
  return U(U(u ^ word_traits<U>::nega_mask) - word_traits<U>::nega_mask);
}

// Block layout to coded order, negabinary.
template <typename U, unsigned D>
inline void reorder(const U* v, U* u)
{
  constexpr unsigned n = 1u << (2 * D);
  for (unsigned k = 0; k < n; k++)
    u[k] = to_negabinary<U>(v[order<D>::index(k)]);
}

// The coded position of each block index: the inverse of order<D>.
template <unsigned D>
struct inverse_order {
  static constexpr unsigned n = 1u << (2 * D);
  uint8_t position[n];
};

template <unsigned D>
constexpr inverse_order<D> make_inverse_order()
{
  inverse_order<D> t{};
  for (unsigned k = 0; k < t.n; k++)
    t.position[order<D>::perm[k]] = uint8_t(k);
  return t;
}

template <unsigned D>
constexpr inverse_order<D> coded_position = make_inverse_order<D>();

// Coded order to block layout, two's complement.  Block values are gathered
// in order rather than scattered, so that the transform's wide loads read
// what wide stores wrote.
template <typename U, unsigned D>
inline void inv_order(const U* u, U* v)
{
  constexpr unsigned n = 1u << (2 * D);
  if constexpr (D == 1) {
    for (unsigned k = 0; k < n; k++)
      v[k] = from_negabinary<U>(u[k]);
  }
  else {
    for (unsigned i = 0; i < n; i++)
      v[i] = from_negabinary<U>(u[coded_position<D>.position[i]]);
  }
}

} // namespace
} // namespace kvr_codec

#endif
