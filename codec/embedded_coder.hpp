// Embedded bit-plane coder of N unsigned W-bit coefficients in coded order.
//
// Parameters: U (uint32_t or uint64_t, W = 32 or 64) and N (4, 16, 64 or
// 256).  Planes are coded from the most significant down: the bits of the
// coefficients already significant (the verbatim prefix 0..n-1) as they are,
// then group tests and unary runs that find the next coefficients with a 1.
// maxbits bounds the code and maxprec the number of planes (at most W).
//
// When N * min(maxprec, W) + N - 1 <= maxbits the budget cannot run out and
// a path without budget tests is taken; it writes the same bits.  For N up
// to 64 a plane is one 64-bit word; for N = 256 the group test is taken from
// a count of the 1 bits not yet located.
#ifndef KVR_CODEC_EMBEDDED_CODER_HPP
#define KVR_CODEC_EMBEDDED_CODER_HPP

#include "codec/bit_io.hpp"
#include "codec/transform.hpp"

#include <type_traits>

namespace kvr_codec {
namespace {

// Bit k of coefficients first .. first + count - 1 (count <= 64) as a word.
template <typename U>
inline uint64_t gather_plane(const U* data, unsigned first, unsigned count, unsigned k)
{
  uint64_t x = 0;
  for (unsigned i = 0; i < count; i++)
    x += uint64_t((data[first + i] >> k) & 1u) << i;
  return x;
}

template <typename U>
inline void deposit_plane(U* data, unsigned first, uint64_t x, unsigned k)
{
  while (x) {
    data[first + trailing_zeros(x)] += U(U(1) << k);
    x &= x - 1;
  }
}

template <unsigned N>
inline bool budget_free(uint32_t maxbits, uint32_t planes)
{
  return N * planes + N - 1 <= maxbits;
}

// In-place transpose of a square bit matrix of B = width of V rows: bit j
// of row i and bit i of row j trade places.  Each stage swaps off-diagonal
// blocks of size J with one mask over whole rows; with J fixed per stage
// the compiler vectorises the row loops.
template <typename V, unsigned J>
inline void transpose_stage(V* a)
{
  constexpr unsigned B = unsigned(sizeof(V) * 8);
  constexpr V m = V(V(~V(0)) / V((V(1) << J) + 1)); // J low bits of every 2J
  for (unsigned r = 0; r < B; r += 2 * J)
    for (unsigned i = r; i < r + J; i++) {
      V t = V((V(a[i] >> J) ^ a[i + J]) & m);
      a[i + J] = V(a[i + J] ^ t);
      a[i] = V(a[i] ^ V(t << J));
    }
  if constexpr (J > 1)
    transpose_stage<V, J / 2>(a);
}

template <typename V>
inline void transpose_bits(V* a)
{
  transpose_stage<V, unsigned(sizeof(V) * 4)>(a);
}

// Blocks of 16 and 64 coefficients move between coefficients and planes
// B planes at a time, B = 16 or 32, by transposes of B x B bit matrices.
template <unsigned N>
struct plane_chunk {
  static constexpr unsigned size = N == 64 ? 32 : N == 16 ? 16 : 0;
  using row = typename std::conditional<N == 64, uint32_t, uint16_t>::type;
};

// The planes of an encoder's coefficients, from the most significant down,
// each chunk computed when its first plane is asked for.
template <typename U, unsigned N>
struct plane_reader {
  static constexpr unsigned W = word_traits<U>::width;
  static constexpr unsigned B = plane_chunk<N>::size;
  using V = typename plane_chunk<N>::row;
  const U* data;
  unsigned ready = W; // planes ready..W-1 are in plane[]
  uint64_t plane[B ? W : 1];

  explicit plane_reader(const U* d) : data(d) {}

  uint64_t operator()(unsigned k)
  {
    if constexpr (B == 0)
      return gather_plane(data, 0, N, k);
    else {
      if (k < ready) {
        const unsigned base = ready - B; // planes come in order, k = ready - 1
        V a[N / B][B];
        for (unsigned g = 0; g < N / B; g++)
          for (unsigned i = 0; i < B; i++)
            a[g][i] = V(data[g * B + i] >> base);
        for (unsigned g = 0; g < N / B; g++)
          transpose_bits(a[g]);
        for (unsigned i = 0; i < B; i++) {
          uint64_t x = 0;
          for (unsigned g = 0; g < N / B; g++)
            x += uint64_t(a[g][i]) << (g * B);
          plane[base + i] = x;
        }
        ready = base;
      }
      return plane[k];
    }
  }
};

// Planes of up to 64 coefficients as words.  A run is located with one
// count of trailing zeros and written with its group test in one write.
// The budget only cuts the code short: the budgeted code is the first
// maxbits bits of the unbounded one, so the last write is clipped to what
// is left.
template <typename U, unsigned N>
inline uint32_t encode_planes(bit_writer& stream, uint32_t maxbits, unsigned kmin, const U* data)
{
  constexpr unsigned W = word_traits<U>::width;
  plane_reader<U, N> planes(data);
  bit_writer out = stream;
  uint32_t budget = maxbits, n = 0;
  for (unsigned k = W; k-- > kmin;) {
    uint64_t x = planes(k);
    if (n >= budget) {
      out.put_bits(x, budget);
      budget = 0;
      goto done;
    }
    out.put_bits(x, n);
    budget -= n;
    x = n < 64 ? x >> n : 0;
    while (n < N) {
      if (!x) {
        if (!budget)
          goto done;
        out.put_bit(0);
        budget--;
        break;
      }
      unsigned t = trailing_zeros(x); // run bits 0 before the next 1
      // group test 1, t zeros and the 1, which is implied for the last
      // coefficient
      const bool last = n + t >= N - 1;
      const uint32_t len = last ? t + 1 : t + 2;
      const uint64_t code = last ? 1 : 1 + (uint64_t(1) << (t + 1));
      if (len >= budget) {
        out.put_bits(code, budget);
        budget = 0;
        goto done;
      }
      out.put_bits(code, len);
      budget -= len;
      x = t + 1 < 64 ? x >> (t + 1) : 0;
      n = last ? N : n + t + 1;
    }
  }
done:
  stream.take(out);
  return maxbits - budget;
}

// 256 coefficients: the group test comes from the count of 1 bits not yet
// located in the plane, run bits straight from the coefficients.  Without
// a bound the budget still counts (modulo 2^32) but is never tested.
template <typename U, unsigned N, bool Bounded>
inline uint32_t encode_counted(bit_writer& out, uint32_t maxbits, unsigned kmin, const U* data)
{
  constexpr unsigned W = word_traits<U>::width;
  uint32_t budget = maxbits, n = 0;
  for (unsigned k = W; (!Bounded || budget) && k-- > kmin;) {
    uint32_t m = (Bounded && budget < n) ? budget : n;
    budget -= m;
    for (unsigned i = 0; i < m; i += 64) {
      unsigned c = m - i < 64 ? m - i : 64;
      out.put_bits(gather_plane(data, i, c, k), c);
    }
    unsigned ones = 0;
    for (unsigned i = n; i < N; i++)
      ones += unsigned((data[i] >> k) & 1u);
    while (n < N && (!Bounded || budget)) {
      budget--;
      out.put_bit(ones != 0);
      if (!ones)
        break;
      while (n < N - 1 && (!Bounded || budget)) {
        budget--;
        uint64_t b = (data[n] >> k) & 1u;
        out.put_bit(b);
        if (b)
          break;
        n++;
      }
      ones--;
      n++;
    }
  }
  return maxbits - budget;
}

template <typename U, unsigned N>
inline uint32_t encode_ints(bit_writer& out, uint32_t maxbits, uint32_t maxprec, const U* data)
{
  constexpr unsigned W = word_traits<U>::width;
  const uint32_t planes = maxprec < W ? maxprec : W;
  const unsigned kmin = W - planes;
  if constexpr (N <= 64)
    return encode_planes<U, N>(out, maxbits, kmin, data);
  else
    return budget_free<N>(maxbits, planes) ? encode_counted<U, N, false>(out, maxbits, kmin, data)
                                           : encode_counted<U, N, true>(out, maxbits, kmin, data);
}

// Planes of a decoder, most significant first, turned into coefficients
// (which start at 0) at the end of the block.
template <typename U, unsigned N>
struct plane_writer {
  static constexpr unsigned W = word_traits<U>::width;
  static constexpr unsigned B = plane_chunk<N>::size;
  using V = typename plane_chunk<N>::row;
  U* data;
  unsigned low = W; // planes low..W-1 are in plane[]
  uint64_t plane[B ? W : 1];

  explicit plane_writer(U* d) : data(d) {}

  unsigned ones = 0;

  // n: the coefficients significant after plane k, a bound on its 1 bits.
  void operator()(unsigned k, uint64_t x, unsigned n)
  {
    if constexpr (B == 0) {
      (void)n;
      deposit_plane(data, 0, x, k);
    }
    else {
      plane[k] = x;
      low = k;
      ones += n;
    }
  }

  // Few 1 bits are cheaper to add one by one than to transpose.
  void finish()
  {
    if constexpr (B != 0) {
      if (ones <= N) {
        for (unsigned k = low; k < W; k++)
          deposit_plane(data, 0, plane[k], k);
        return;
      }
      for (unsigned base = W; base > low;) {
        base -= B;
        for (unsigned k = base; k < low; k++)
          plane[k] = 0;
        V a[N / B][B];
        for (unsigned g = 0; g < N / B; g++)
          for (unsigned i = 0; i < B; i++)
            a[g][i] = V(plane[base + i] >> (g * B));
        for (unsigned g = 0; g < N / B; g++)
          transpose_bits(a[g]);
        for (unsigned g = 0; g < N / B; g++)
          for (unsigned i = 0; i < B; i++)
            data[g * B + i] += U(U(a[g][i]) << base);
      }
    }
  }
};

// The decoder's side of encode_planes.  Runs over more than 4 coefficients
// are read a word at a time.  A run cut short by the budget still marks
// coefficient n, as the encoder's bit-by-bit loop leaves it.  Without a
// bound the budget still counts but is never tested.
template <typename U, unsigned N, bool Bounded>
inline uint32_t decode_planes(bit_reader& stream, uint32_t maxbits, unsigned kmin, U* data)
{
  constexpr unsigned W = word_traits<U>::width;
  plane_writer<U, N> planes(data);
  bit_reader in = stream;
  uint32_t budget = maxbits, n = 0;
  for (unsigned k = W; (!Bounded || budget) && k-- > kmin;) {
    uint32_t m = (Bounded && budget < n) ? budget : n;
    budget -= m;
    uint64_t x = in.get_bits(m);
    while (n < N && (!Bounded || budget)) {
      budget--;
      if (!in.get_bit())
        break;
      if constexpr (N <= 4) {
        while (n < N - 1 && (!Bounded || budget)) {
          budget--;
          if (in.get_bit())
            break;
          n++;
        }
      }
      else {
        uint32_t r = N - 1 - n;
        if (Bounded && r > budget)
          r = budget;
        uint32_t z = in.get_zeros(r);
        budget -= z < r ? z + 1 : r;
        n += z;
      }
      x += uint64_t(1) << n;
      n++;
    }
    planes(k, x, n);
  }
  stream.take(in);
  planes.finish();
  return maxbits - budget;
}

template <typename U, unsigned N, bool Bounded>
inline uint32_t decode_counted(bit_reader& in, uint32_t maxbits, unsigned kmin, U* data)
{
  constexpr unsigned W = word_traits<U>::width;
  uint32_t budget = maxbits, n = 0;
  for (unsigned k = W; (!Bounded || budget) && k-- > kmin;) {
    uint32_t m = (Bounded && budget < n) ? budget : n;
    budget -= m;
    for (unsigned i = 0; i < m; i += 64) {
      unsigned c = m - i < 64 ? m - i : 64;
      deposit_plane(data, i, in.get_bits(c), k);
    }
    while (n < N && (!Bounded || budget)) {
      budget--;
      if (!in.get_bit())
        break;
      while (n < N - 1 && (!Bounded || budget)) {
        budget--;
        if (in.get_bit())
          break;
        n++;
      }
      data[n] += U(U(1) << k);
      n++;
    }
  }
  return maxbits - budget;
}

// Sets all N coefficients (0 where no bit was read).
template <typename U, unsigned N>
inline uint32_t decode_ints(bit_reader& in, uint32_t maxbits, uint32_t maxprec, U* data)
{
  constexpr unsigned W = word_traits<U>::width;
  const uint32_t planes = maxprec < W ? maxprec : W;
  const unsigned kmin = W - planes;
  const bool free = budget_free<N>(maxbits, planes);
  for (unsigned i = 0; i < N; i++)
    data[i] = 0;
  if constexpr (N <= 64)
    return free ? decode_planes<U, N, false>(in, maxbits, kmin, data)
                : decode_planes<U, N, true>(in, maxbits, kmin, data);
  else
    return free ? decode_counted<U, N, false>(in, maxbits, kmin, data)
                : decode_counted<U, N, true>(in, maxbits, kmin, data);
}

} // namespace
} // namespace kvr_codec

#endif
