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

inline unsigned trailing_zeros(uint64_t x) // x != 0
{
#if defined(__GNUC__)
  return unsigned(__builtin_ctzll(x));
#else
  unsigned n = 0;
  while (!(x & 1)) {
    x >>= 1;
    n++;
  }
  return n;
#endif
}

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

template <typename U, unsigned N>
inline uint32_t encode_ints(bit_writer& out, uint32_t maxbits, uint32_t maxprec, const U* data)
{
  constexpr unsigned W = word_traits<U>::width;
  const uint32_t planes = maxprec < W ? maxprec : W;
  const unsigned kmin = W - planes;
  uint32_t n = 0;

  if constexpr (N <= 64) {
  if (budget_free<N>(maxbits, planes)) {
    const uint32_t start = out.written();
    for (unsigned k = W; k-- > kmin;) {
      uint64_t x = gather_plane(data, 0, N, k);
      out.put_bits(x, n);
      x = n < 64 ? x >> n : 0;
      while (n < N) {
        if (!x) {
          out.put_bit(0);
          break;
        }
        unsigned t = trailing_zeros(x); // zeros before the next 1
        if (n + t < N - 1) {
          // group test 1, t run bits 0, run bit 1
          out.put_bits(1 + (uint64_t(1) << (t + 1)), t + 2);
          x >>= t + 1;
          n += t + 1;
        }
        else {
          // the 1 of the last coefficient is implied by the group test
          out.put_bits(1, t + 1);
          n = N;
        }
      }
    }
    return out.written() - start;
  }

  {
    uint32_t budget = maxbits;
    for (unsigned k = W; budget && k-- > kmin;) {
      uint64_t x = gather_plane(data, 0, N, k);
      uint32_t m = n < budget ? n : budget;
      budget -= m;
      out.put_bits(x, m);
      x = m < 64 ? x >> m : 0;
      while (n < N && budget) {
        budget--;
        uint64_t g = x != 0;
        out.put_bit(g);
        if (!g)
          break;
        while (n < N - 1 && budget) {
          budget--;
          uint64_t b = x & 1;
          out.put_bit(b);
          if (b)
            break;
          x >>= 1;
          n++;
        }
        x >>= 1;
        n++;
      }
    }
    return maxbits - budget;
  }
  }
  else {
  // N = 256; the budget-free path is the same loop with the tests removed.
  const bool bounded = !budget_free<N>(maxbits, planes);
  uint32_t budget = maxbits;
  for (unsigned k = W; (!bounded || budget) && k-- > kmin;) {
    uint32_t m = (bounded && budget < n) ? budget : n;
    budget -= m;
    for (unsigned i = 0; i < m; i += 64) {
      unsigned c = m - i < 64 ? m - i : 64;
      out.put_bits(gather_plane(data, i, c, k), c);
    }
    unsigned ones = 0;
    for (unsigned i = n; i < N; i++)
      ones += unsigned((data[i] >> k) & 1u);
    while (n < N && (!bounded || budget)) {
      budget--;
      out.put_bit(ones != 0);
      if (!ones)
        break;
      while (n < N - 1 && (!bounded || budget)) {
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
}

template <typename U, unsigned N>
inline uint32_t decode_ints(bit_reader& in, uint32_t maxbits, uint32_t maxprec, U* data)
{
  constexpr unsigned W = word_traits<U>::width;
  const uint32_t planes = maxprec < W ? maxprec : W;
  const unsigned kmin = W - planes;
  uint32_t n = 0;

  for (unsigned i = 0; i < N; i++)
    data[i] = 0;

  if constexpr (N <= 64) {
  if (budget_free<N>(maxbits, planes)) {
    const uint32_t start = in.consumed();
    for (unsigned k = W; k-- > kmin;) {
      uint64_t x = in.get_bits(n);
      while (n < N) {
        if (!in.get_bit())
          break;
        while (n < N - 1 && !in.get_bit())
          n++;
        x += uint64_t(1) << n;
        n++;
      }
      deposit_plane(data, 0, x, k);
    }
    return in.consumed() - start;
  }

  {
    uint32_t budget = maxbits;
    for (unsigned k = W; budget && k-- > kmin;) {
      uint32_t m = n < budget ? n : budget;
      budget -= m;
      uint64_t x = in.get_bits(m);
      while (n < N && budget) {
        budget--;
        if (!in.get_bit())
          break;
        while (n < N - 1 && budget) {
          budget--;
          if (in.get_bit())
            break;
          n++;
        }
        x += uint64_t(1) << n;
        n++;
      }
      deposit_plane(data, 0, x, k);
    }
    return maxbits - budget;
  }
  }
  else {
  const bool bounded = !budget_free<N>(maxbits, planes);
  uint32_t budget = maxbits;
  for (unsigned k = W; (!bounded || budget) && k-- > kmin;) {
    uint32_t m = (bounded && budget < n) ? budget : n;
    budget -= m;
    for (unsigned i = 0; i < m; i += 64) {
      unsigned c = m - i < 64 ? m - i : 64;
      deposit_plane(data, i, in.get_bits(c), k);
    }
    while (n < N && (!bounded || budget)) {
      budget--;
      if (!in.get_bit())
        break;
      while (n < N - 1 && (!bounded || budget)) {
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
}

} // namespace
} // namespace kvr_codec

#endif
