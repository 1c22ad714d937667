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

// Four 16 x 16 bit matrices side by side in 16 rows of 64 bits, matrix c
// in bits 16c..16c+15, transposed in place: bit 16c + j of row i and bit
// 16c + i of row j trade places.  Each stage swaps off-diagonal blocks of
// size J in all four matrices with one mask; the rows are whole words, so
// the row loops vectorise.
template <unsigned J>
inline void transpose_stage(uint64_t* a)
{
  constexpr uint64_t m = ~uint64_t(0) / ((uint64_t(1) << J) + 1); // J low bits of every 2J
  for (unsigned r = 0; r < 16; r += 2 * J)
    for (unsigned i = r; i < r + J; i++) {
      const uint64_t t = ((a[i] >> J) ^ a[i + J]) & m;
      a[i + J] ^= t;
      a[i] ^= t << J;
    }
  if constexpr (J > 1)
    transpose_stage<J / 2>(a);
}

inline void transpose16x4(uint64_t* a)
{
  transpose_stage<8>(a);
}

// Blocks of 16 and 64 coefficients move between coefficients and planes by
// 16 x 16 transposes, four at a time: for 16 coefficients the four are the
// 16-bit quarters of every coefficient (all planes at once), for 64 they
// are the four groups of 16 coefficients (16 planes at a time).
template <unsigned N>
constexpr bool transposed = N == 16 || N == 64;

// The planes of an encoder's coefficients, from the most significant down,
// each chunk computed when its first plane is asked for.
template <typename U, unsigned N>
struct plane_reader {
  static constexpr unsigned W = word_traits<U>::width;
  const U* data;
  unsigned ready = W; // planes ready..W-1 are in plane[]
  uint64_t plane[transposed<N> ? W : 1];

  explicit plane_reader(const U* d) : data(d) {}

  uint64_t operator()(unsigned k)
  {
    if constexpr (!transposed<N>)
      return gather_plane(data, 0, N, k);
    else {
      if (k < ready) { // planes come in order, k = ready - 1
        uint64_t a[16];
        if constexpr (N == 16) {
          for (unsigned i = 0; i < 16; i++)
            a[i] = uint64_t(data[i]);
          transpose16x4(a);
          for (unsigned c = 0; c < W / 16; c++)
            for (unsigned i = 0; i < 16; i++)
              plane[16 * c + i] = (a[i] >> (16 * c)) & 0xffffu;
          ready = 0;
        }
        else {
          const unsigned base = ready - 16;
          for (unsigned i = 0; i < 16; i++) {
            uint64_t r = 0;
            for (unsigned g = 0; g < 4; g++)
              r += uint64_t((data[16 * g + i] >> base) & 0xffffu) << (16 * g);
            a[i] = r;
          }
          transpose16x4(a);
          for (unsigned i = 0; i < 16; i++)
            plane[base + i] = a[i];
          ready = base;
        }
      }
      return plane[k];
    }
  }
};

// The code of plane x of up to 64 coefficients, n of them significant
// before it, in the word pair (lo, hi); returns its length and advances n.
// The code is the n verbatim bits, then for each new 1 a group test 1, the
// 0 bits before the 1 and the 1 itself (implied for the last coefficient),
// then a group test 0 unless all N are significant.  The i-th new 1 (from
// 1) at position p past the verbatim bits lands on run bit p + i with the
// next group test right after it, so each 1 is placed without looking at
// the others.  A plane's code is at most 127 bits.
template <unsigned N>
inline uint32_t plane_code(uint64_t x, uint32_t& n, uint64_t& lo, uint64_t& hi)
{
  if (n == N) {
    lo = x;
    hi = 0;
    return N;
  }
  const uint32_t v = n; // v < N <= 64
  const uint64_t y = x >> v;
  const uint64_t verbatim = x & ((uint64_t(1) << v) - 1);
  if (!y) {
    lo = verbatim;
    hi = 0;
    return v + 1;
  }
  uint64_t rlo = 1, rhi = 0; // the first group test
  unsigned i = 0, q = 0;
  for (uint64_t z = y; z; z &= z - 1) {
    q = trailing_zeros(z) + ++i;
    const uint64_t b = uint64_t(3) << (q & 63);
    rlo |= q < 64 ? b : 0;
    rhi |= q >= 64 ? b : uint64_t(q == 63);
  }
  // q is the run bit of the last new 1: for the last coefficient the length
  // cuts it off, otherwise the group test after it becomes the final 0
  const unsigned p = q - i;
  uint32_t len;
  if (v + p == N - 1) {
    len = q;
    n = N;
  }
  else {
    const unsigned t = q + 1; // <= 126
    rlo &= t < 64 ? ~(uint64_t(1) << (t & 63)) : ~uint64_t(0);
    rhi &= t >= 64 ? ~(uint64_t(1) << (t & 63)) : ~uint64_t(0);
    len = q + 2;
    n = v + p + 1;
  }
  lo = verbatim | (rlo << v);
  hi = (rhi << v) | (v ? rlo >> (64 - v) : 0);
  return v + len;
}

// Appends the low n bits (0..128) of the pair (lo, hi).
inline void put_pair(bit_writer& out, uint64_t lo, uint64_t hi, uint32_t n)
{
  if (n <= 64)
    out.put_bits(lo, n);
  else {
    out.put_bits(lo, 64);
    out.put_bits(hi, n - 64);
  }
}

// Planes of up to 64 coefficients as words, each plane's code built in
// registers and written at once.  The budget only cuts the code short: the
// budgeted code is the first maxbits bits of the unbounded one, so the last
// plane's code is clipped to what is left.
template <typename U, unsigned N>
inline uint32_t encode_planes(bit_writer& stream, uint32_t maxbits, unsigned kmin, const U* data)
{
  constexpr unsigned W = word_traits<U>::width;
  plane_reader<U, N> planes(data);
  bit_writer out = stream;
  uint32_t budget = maxbits, n = 0;
  unsigned k = W;
  while (k > kmin && n < N) {
    uint64_t lo, hi;
    const uint32_t len = plane_code<N>(planes(--k), n, lo, hi);
    if (len >= budget) {
      put_pair(out, lo, hi, budget);
      budget = 0;
      k = kmin;
      break;
    }
    put_pair(out, lo, hi, len);
    budget -= len;
  }
  // All coefficients significant: the rest is the planes as they are, as
  // many to a word as fit.
  constexpr unsigned P = 64 / N;
  while (k > kmin) {
    const unsigned c = k - kmin < P ? k - kmin : P;
    uint64_t word = 0;
    for (unsigned j = 0; j < c; j++)
      word += planes(k - 1 - j) << (N * j % 64);
    const uint32_t len = c * N;
    if (len >= budget) {
      out.put_bits(word, budget);
      budget = 0;
      break;
    }
    out.put_bits(word, len);
    budget -= len;
    k -= c;
  }
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
  U* data;
  unsigned low = W; // planes low..W-1 are in plane[]
  uint64_t plane[transposed<N> ? W : 1];

  explicit plane_writer(U* d) : data(d) {}

  unsigned ones = 0;

  // n: the coefficients significant after plane k, a bound on its 1 bits.
  void operator()(unsigned k, uint64_t x, unsigned n)
  {
    if constexpr (!transposed<N>) {
      // 4 coefficients: every bit added, with no branch on the bits
      (void)n;
      for (unsigned i = 0; i < N; i++)
        data[i] += U(U((x >> i) & 1u) << k);
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
    if constexpr (transposed<N>) {
      if (ones <= N) {
        for (unsigned k = low; k < W; k++)
          deposit_plane(data, 0, plane[k], k);
        return;
      }
      uint64_t a[16];
      if constexpr (N == 16) {
        for (unsigned k = 0; k < low; k++)
          plane[k] = 0;
        for (unsigned i = 0; i < 16; i++) {
          uint64_t r = 0;
          for (unsigned c = 0; c < W / 16; c++)
            r += plane[16 * c + i] << (16 * c);
          a[i] = r;
        }
        transpose16x4(a);
        for (unsigned i = 0; i < 16; i++)
          data[i] = U(a[i]);
      }
      else {
        for (unsigned base = W; base > low;) {
          base -= 16;
          for (unsigned k = base; k < low; k++)
            plane[k] = 0;
          for (unsigned i = 0; i < 16; i++)
            a[i] = plane[base + i];
          transpose16x4(a);
          for (unsigned g = 0; g < 4; g++)
            for (unsigned i = 0; i < 16; i++)
              data[16 * g + i] += U(U((a[i] >> (16 * g)) & 0xffffu) << base);
        }
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
