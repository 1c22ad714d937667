// Embedded bit-plane coder of N unsigned W-bit coefficients in coded order.
//
// Parameters: U (uint32_t or uint64_t, W = 32 or 64) and N (4, 16, 64 or
// 256).  Planes are coded from the most significant down: the bits of the
// coefficients already significant (the verbatim prefix 0..n-1) as they are,
// then group tests and unary runs that find the next coefficients with a 1.
// maxbits bounds the code and maxprec the number of planes (at most W).
//
// When N * min(maxprec, W) + N - 1 <= maxbits the budget cannot run out and
// the encoder takes a path without budget tests; it writes the same bits.
// For N up to 64 a plane is one 64-bit word: the encoder builds each
// plane's code in registers, the decoder reads planes through a 64-bit
// window, a run of planes that make no coefficient significant at once,
// and turns planes into coefficients by bit-matrix transposes.  For N = 256
// the group test is taken from a count of the 1 bits not yet located.
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

// The longest code the limits allow: the budget, or N P + N - 1 bits for
// P planes when that is less; no bit at all without a plane.
template <unsigned N>
inline uint32_t code_extent(uint32_t maxbits, uint32_t planes)
{
  if (!planes)
    return 0;
  return budget_free<N>(maxbits, planes) ? N * planes + N - 1 : maxbits;
}

// Stages J, J/2, .. 1 of a bit-matrix transpose of R rows of 64 bits: in
// each row pair (i, i + J) of every group of 2J rows, the high J bits of
// each 2J-bit field of row i trade places with the low J bits of the same
// field of row i + J.  The rows are whole words, so the loops vectorise.
template <unsigned R, unsigned J>
inline void swap_stages(uint64_t* a)
{
  constexpr uint64_t m = ~uint64_t(0) / ((uint64_t(1) << J) + 1); // J low bits of every 2J
  for (unsigned r = 0; r < R; r += 2 * J)
    for (unsigned i = r; i < r + J; i++) {
      const uint64_t t = ((a[i] >> J) ^ a[i + J]) & m;
      a[i + J] ^= t;
      a[i] ^= t << J;
    }
  if constexpr (J > 1)
    swap_stages<R, J / 2>(a);
}

// Four 16 x 16 bit matrices side by side in 16 rows of 64 bits, matrix c
// in bits 16c..16c+15 of rows row(0) .. row(15), transposed into a: bit
// 16c + j of row i and bit 16c + i of row j trade places.  The rows are
// formed in the first stage, which stores them as the later stages load
// them: rows stored one way and loaded another would stall the loads.
template <typename Row>
inline void transpose16x4(uint64_t* a, Row row)
{
  constexpr uint64_t m = ~uint64_t(0) / ((uint64_t(1) << 8) + 1);
  for (unsigned i = 0; i < 8; i++) {
    const uint64_t lo = row(i), hi = row(i + 8);
    const uint64_t t = ((lo >> 8) ^ hi) & m;
    a[i + 8] = hi ^ t;
    a[i] = lo ^ (t << 8);
  }
  swap_stages<16, 4>(a);
}

// Two 16 x 16 bit matrices side by side in 16 rows of 32 bits, row(i)
// for i = 0..15, transposed into v: row i in the low and row i + 8 in the
// high half of v[i mod 8].  Rows i and i + 8 trade their off-diagonal
// blocks within a word, and every later stage swaps two rows in each half
// of a pair of words at once, so 32-bit rows cost half the steps of
// 64-bit ones.
template <typename Row>
inline void transpose16x2(uint64_t* v, Row row)
{
  for (unsigned i = 0; i < 8; i++) {
    const uint64_t w = row(i) | row(i + 8) << 32;
    const uint64_t t = ((w >> 8) ^ (w >> 32)) & 0x00ff00ffu;
    v[i] = w ^ (t << 32) ^ (t << 8);
  }
  swap_stages<8, 4>(v);
}

// One 16 x 16 bit matrix, row(i) for i = 0..15 in its low 16 bits,
// transposed into v: row i in quarter i mod 4 of v[i / 4].  Rows i and
// i + 8, and rows i and i + 4, are in the same quarter of two words; rows i
// and i + 2, and rows i and i + 1, are two quarters of one word.
template <typename Row>
inline void transpose16(uint64_t* v, Row row)
{
  for (unsigned r = 0; r < 4; r++)
    v[r] = row(4 * r) | row(4 * r + 1) << 16 | row(4 * r + 2) << 32 | row(4 * r + 3) << 48;
  for (unsigned r = 0; r < 2; r++) {
    const uint64_t t = ((v[r] >> 8) ^ v[r + 2]) & 0x00ff00ff00ff00ffu;
    v[r + 2] ^= t;
    v[r] ^= t << 8;
  }
  for (unsigned r = 0; r < 4; r += 2) {
    const uint64_t t = ((v[r] >> 4) ^ v[r + 1]) & 0x0f0f0f0f0f0f0f0fu;
    v[r + 1] ^= t;
    v[r] ^= t << 4;
  }
  for (unsigned r = 0; r < 4; r++) {
    uint64_t t = ((v[r] >> 2) ^ (v[r] >> 32)) & 0x0000000033333333u;
    v[r] ^= (t << 2) ^ (t << 32);
    t = ((v[r] >> 1) ^ (v[r] >> 16)) & 0x0000555500005555u;
    v[r] ^= (t << 1) ^ (t << 16);
  }
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
        if constexpr (N == 16 && W == 32) {
          transpose16x2(a, [&](unsigned i) { return uint64_t(data[i]); });
          for (unsigned c = 0; c < 2; c++)
            for (unsigned i = 0; i < 8; i++) {
              plane[16 * c + i] = (a[i] >> (16 * c)) & 0xffffu;
              plane[16 * c + i + 8] = (a[i] >> (16 * c + 32)) & 0xffffu;
            }
          ready = 0;
        }
        else if constexpr (N == 16) {
          transpose16x4(a, [&](unsigned i) { return uint64_t(data[i]); });
          for (unsigned c = 0; c < W / 16; c++)
            for (unsigned i = 0; i < 16; i++)
              plane[16 * c + i] = (a[i] >> (16 * c)) & 0xffffu;
          ready = 0;
        }
        else {
          const unsigned base = ready - 16;
          transpose16x4(a, [&](unsigned i) {
            uint64_t r = 0;
            for (unsigned g = 0; g < 4; g++)
              r += uint64_t((data[16 * g + i] >> base) & 0xffffu) << (16 * g);
            return r;
          });
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

// The j planes of a stretch below plane k, each n verbatim bits and a
// group test 0: put(k - 1 - i, bits of plane k - 1 - i) for i = 0 .. j - 1.
template <typename Put>
inline void stretch_planes(unsigned k, uint64_t w, unsigned n, unsigned j, Put put)
{
  const uint64_t mask = low_mask(n);
  for (unsigned i = 0; i < j; i++) {
    put(k - 1 - i, w & mask);
    w = (w >> n) >> 1;
  }
}

// With 32 or more of 64 coefficients significant a plane takes more than 32
// bits, so a 64-bit window holds one whole plane at most.
template <unsigned N>
constexpr bool one_plane_a_window(unsigned n)
{
  return N == 64 && n >= 32;
}

// Planes of a decoder, most significant first, turned into coefficients
// at the end of the block.  Plane k is kept as its N-bit value; planes
// below the last one decoded are zero.  (Sixteen 64-bit coefficients and
// four of either width have their own writers below.)
template <typename U, unsigned N>
struct plane_writer {
  static constexpr unsigned W = word_traits<U>::width;
  U* data;
  unsigned low = W;  // planes low .. top - 1 are in room, the others 0
  unsigned top = W;
  uint64_t room[3 + W]; // plane k in room[3 + k], with room below plane 0

  // Every plane that finish may take starts at 0, sixteen at a time: the
  // planes not written then need no clearing at the end.  Planes below
  // kmin's sixteen are never written nor taken.
  plane_writer(U* d, unsigned kmin) : data(d)
  {
    for (unsigned c = kmin / 16; c < W / 16; c++)
      for (unsigned i = 0; i < 16; i++)
        room[3 + 16 * c + i] = 0;
  }

  // The j planes below k are 0; before any other plane.
  void skip(unsigned k, unsigned j) { top = k - j; }

  void operator()(unsigned k, uint64_t x)
  {
    room[3 + k] = x;
    low = k;
  }

  // j planes k - 1 down to k - j, each of n verbatim bits and a group test
  // 0: plane k - 1 - i in bits (n + 1) i .. (n + 1) i + n - 1 of w.
  void stretch(unsigned k, uint64_t w, unsigned n, unsigned j)
  {
    // The first four planes are written whatever j is, which spares a
    // branch on j for the short stretches that are the most common.  Planes
    // below k - j are written again later, or cleared by finish.
    const uint64_t mask = ~(~uint64_t(0) << n); // 0 < n < 64
    uint64_t* p = room + 3 + k - 1;
    if (one_plane_a_window<N>(n)) {
      p[0] = w & mask;
      low = k - j;
      return;
    }
    for (unsigned i = 0; i < 4; i++) {
      p[-int(i)] = w & mask;
      w = (w >> n) >> 1;
    }
    if (j > 4)
      stretch_planes(k - 4, w, n, j - 4, [this](unsigned i, uint64_t x) { room[3 + i] = x; });
    low = k - j;
  }

  // c planes k - 1 down to k - c of all N coefficients, plane k - 1 - j in
  // bits N j .. N j + N - 1 of w.
  void many(unsigned k, uint64_t w, unsigned c)
  {
    constexpr uint64_t mask = low_mask(N);
    for (unsigned j = 0; j < c; j++)
      room[3 + k - 1 - j] = (w >> (N * j % 64)) & mask;
    low = k - c;
  }

  // The three planes below the last one decoded, which a stretch may have
  // written past its end.
  void clear_below() { room[low] = room[low + 1] = room[low + 2] = 0; }

  // n: the coefficients significant at the end; the others stay 0.
  void finish(unsigned n)
  {
    if (low >= top)
      return;
    if (n <= 2 && top - low <= 16) {
      // one or two coefficients in a few planes, common in smooth fields:
      // their bits gathered plane by plane cost less than a transpose
      U v0 = 0, v1 = 0;
      for (unsigned k = low; k < top; k++) {
        const uint64_t x = room[3 + k];
        v0 += U(U(x & 1) << k);
        v1 += U(U((x >> 1) & 1) << k);
      }
      data[0] = v0;
      data[1] = v1;
      return;
    }
    clear_below();
    uint64_t a[16];
    if constexpr (N == 16) { // 32-bit coefficients, 64-bit ones below
      if (low / 16 == (top - 1) / 16) {
        // all planes in one half of the coefficients' bits
        const unsigned c = low / 16;
        transpose16(a, [&](unsigned i) { return room[3 + 16 * c + i]; });
        for (unsigned i = 0; i < 16; i++)
          data[i] = U(((a[i / 4] >> (16 * (i % 4))) & 0xffffu) << (16 * c));
        return;
      }
      // every plane is taken, the ones not written still 0
      transpose16x2(a, [&](unsigned i) { return room[3 + i] | room[3 + 16 + i] << 16; });
      for (unsigned i = 0; i < 8; i++) {
        data[i] = U(a[i]);
        data[i + 8] = U(a[i] >> 32);
      }
      return;
    }
    // planes are taken 16 at a time, the chunks first .. last
    const unsigned first = low / 16, last = (top - 1) / 16;
    if (n <= 16) {
      // as for 16 coefficients: the others are 0
      transpose16x4(a, [&](unsigned i) {
        uint64_t r = 0;
        for (unsigned c = first; c <= last; c++)
          r += room[3 + 16 * c + i] << (16 * c);
        return r;
      });
      for (unsigned i = 0; i < 16; i++)
        data[i] = U(a[i]);
    }
    else if constexpr (N == 64) {
      // Chunk c (planes 16c .. 16c + 15) transposed: row i holds the 16
      // bits of coefficient 16g + i in its quarter g.  Coefficient 16g + i
      // is then quarter g of row i of every chunk, a 4 x 4 transpose of
      // 16-bit quarters.
      constexpr unsigned C = W / 16;
      uint64_t r[C][16];
      for (unsigned c = 0; c < C; c++) {
        if (c < first || c > last) {
          for (unsigned i = 0; i < 16; i++)
            r[c][i] = 0;
          continue;
        }
        transpose16x4(r[c], [&](unsigned i) { return room[3 + 16 * c + i]; });
      }
      constexpr uint64_t m16 = 0x0000ffff0000ffffu;
      for (unsigned i = 0; i < 16; i++) {
        uint64_t a0 = r[0][i], a1 = r[1][i];
        uint64_t t = ((a0 >> 16) ^ a1) & m16;
        a1 ^= t;
        a0 ^= t << 16;
        if constexpr (C == 2) {
          // a0: coefficients i and 32 + i, a1: 16 + i and 48 + i
          data[i] = U(a0);
          data[32 + i] = U(a0 >> 32);
          data[16 + i] = U(a1);
          data[48 + i] = U(a1 >> 32);
        }
        else {
          uint64_t a2 = r[2][i], a3 = r[3][i];
          t = ((a2 >> 16) ^ a3) & m16;
          a3 ^= t;
          a2 ^= t << 16;
          constexpr uint64_t m32 = 0x00000000ffffffffu;
          t = ((a0 >> 32) ^ a2) & m32;
          a2 ^= t;
          a0 ^= t << 32;
          t = ((a1 >> 32) ^ a3) & m32;
          a3 ^= t;
          a1 ^= t << 32;
          data[i] = U(a0);
          data[16 + i] = U(a1);
          data[32 + i] = U(a2);
          data[48 + i] = U(a3);
        }
      }
    }
  }
};

// 16 coefficients of 64 bits: plane k goes straight into quarter k / 16
// of row k mod 16 of the four 16 x 16 transposes that turn planes into
// coefficients, rows that start at 0.
template <>
struct plane_writer<uint64_t, 16> {
  uint64_t* data;
  uint64_t row[16];

  plane_writer(uint64_t* d, unsigned) : data(d)
  {
    for (unsigned i = 0; i < 16; i++)
      row[i] = 0;
  }

  void put(unsigned k, uint64_t x) { row[k % 16] |= x << (16 * (k / 16)); }

  void skip(unsigned, unsigned) {}

  void operator()(unsigned k, uint64_t x) { put(k, x); }

  void stretch(unsigned k, uint64_t w, unsigned n, unsigned j)
  {
    stretch_planes(k, w, n, j, [this](unsigned p, uint64_t x) { put(p, x); });
  }

  void many(unsigned k, uint64_t w, unsigned c)
  {
    for (unsigned j = 0; j < c; j++)
      put(k - 1 - j, (w >> (16 * j)) & 0xffffu);
  }

  void finish(unsigned)
  {
    uint64_t a[16];
    transpose16x4(a, [&](unsigned i) { return row[i]; });
    for (unsigned i = 0; i < 16; i++)
      data[i] = a[i];
  }
};

// 4 coefficients: each plane's bits added as it comes, which keeps the
// coefficients off any long chain of steps at the end of a short block.
template <typename U>
struct plane_writer<U, 4> {
  U* data;
  U v[4] = {};

  plane_writer(U* d, unsigned) : data(d) {}

  // every bit added, with no branch on the bits
  void operator()(unsigned k, uint64_t x)
  {
    for (unsigned i = 0; i < 4; i++)
      v[i] += U(U((x >> i) & 1u) << k);
  }

  void skip(unsigned, unsigned) {}

  void stretch(unsigned k, uint64_t w, unsigned n, unsigned j)
  {
    stretch_planes(k, w, n, j, [this](unsigned p, uint64_t x) { (*this)(p, x); });
  }

  // c planes k - 1 down to k - c, plane k - 1 - j in bits 4j .. 4j + 3:
  // with the nibbles reversed, nibble p holds plane k - 16 + p, and
  // coefficient i's bits are every fourth bit from bit i.
  void many(unsigned k, uint64_t w, unsigned)
  {
    uint64_t r = byte_swap(w);
    r = ((r >> 4) & 0x0f0f0f0f0f0f0f0fu) | ((r & 0x0f0f0f0f0f0f0f0fu) << 4);
    for (unsigned i = 0; i < 4; i++) {
      const uint64_t g = every_fourth_bit(r >> i);
      v[i] += U(k >= 16 ? g << (k - 16) : g >> (16 - k));
    }
  }

  void finish(unsigned)
  {
    for (unsigned i = 0; i < 4; i++)
      data[i] = v[i];
  }
};

// A reader of one block's planes.  It looks at up to 64 bits at a time
// taken from any bit position, so several planes are seen at once.  It
// loads only words that the bit-by-bit reader loads for the same code: the
// word holding the next bit, which the decoder asks for only when it needs
// that bit, and the word after it only when the caller's bound `sure` says
// the code reaches into it (the shortest code the planes still to come can
// have).  Bits it sees beyond the code are never consumed.  The bits before
// the stream's first whole word come from the stream record, not from
// memory.  `end` is the block's longest possible code, the budget or N P +
// N - 1 bits for P planes: no bit past it is part of the block.
//
// Positions count from bit 0 of word 0, which is `head`, the stream's
// buffered bits in their place in their word; word i > 0 is base[i - 1].
struct block_reader {
  const uint64_t* base; // the stream's cursor
  uint64_t head;
  uint64_t w;     // bits q .. q + wbits - 1; bits from wbits up are 0
  uint32_t wbits;
  uint32_t q;     // position of the window
  uint32_t end;   // position past the last bit of the block

  // The first window, as refill(q + sure) would take it; extent > 0.
  block_reader(const bit_reader& r, uint32_t extent, uint32_t sure)
    : base(r.cursor), head(r.bits ? r.buffer << (64 - r.bits) : 0), q(64 - r.bits),
      end(q + extent)
  {
    uint32_t last = 64;
    if (!r.bits) {
      w = load_word(base);
      last = 128;
    }
    else {
      w = r.buffer;
      if (sure > r.bits && extent > r.bits) {
        w |= load_word(base) << r.bits;
        last = q + 64;
      }
    }
    clip(last);
  }

  uint64_t word(uint32_t i) const { return i ? load_word(base + (i - 1)) : head; }

  // The window ends at last, or where the block does.
  void clip(uint32_t last)
  {
    wbits = (last < end ? last : end) - q;
    if (wbits < 64)
      w &= low_mask(wbits);
  }

  // The stream after the bits read, as the stream's own bit operations
  // leave it.
  void store(bit_reader& r) const
  {
    const uint32_t i = q / 64, o = q % 64;
    if (o) {
      r.cursor = const_cast<uint64_t*>(base) + i;
      r.bits = 64 - o;
      r.buffer = word(i) >> o;
    }
    else {
      r.cursor = const_cast<uint64_t*>(base) + i - 1;
      r.bits = 0;
      r.buffer = 0;
    }
  }

  // The window from q: the rest of the word holding q, and the next word's
  // bits when the code surely reaches them (sure > its first position);
  // nothing past the block's end.  The caller needs the bit at q.
  void refill(uint32_t sure)
  {
    if (q >= end) {
      w = 0;
      wbits = 0;
      return;
    }
    const uint32_t i = q / 64, o = q % 64;
    const uint32_t stop = 64 * i + 64; // first position of word i + 1
    w = word(i) >> o;
    uint32_t last = stop;
    if (o && sure > stop && end > stop) {
      w |= load_word(base + i) << (64 - o);
      last = q + 64;
    }
    clip(last);
  }

  void consume(uint32_t c) // c <= wbits
  {
    w = c < 64 ? w >> c : 0;
    wbits -= c;
    q += c;
  }

  // The next c bits of the window (c <= wbits).
  uint64_t take(uint32_t c)
  {
    const uint64_t v = w & low_mask(c);
    consume(c);
    return v;
  }

  // The next `bits` bits from q, all of them code, passed 64 at a time
  // (the last c < 64 of them in the low bits): put(x, c).  The word after
  // the one holding q is loaded only when the bits reach into it, and the
  // window is left empty.
  template <typename Put>
  void code(uint32_t bits, Put put)
  {
    const uint32_t o = q % 64;
    uint32_t i = q / 64, left = bits;
    uint64_t cur = left ? word(i) : 0;
    q += left;
    w = 0;
    wbits = 0;
    for (; left >= 64; left -= 64) {
      uint64_t x = cur >> o;
      if (o) {
        cur = load_word(base + i);
        x |= cur << (64 - o);
      }
      else if (left > 64)
        cur = load_word(base + i);
      i++;
      put(x, 64);
    }
    if (left) {
      uint64_t x = cur >> o;
      if (o + left > 64)
        x |= load_word(base + i) << (64 - o);
      put(x & low_mask(left), left);
    }
  }
};

// While no coefficient becomes significant, each plane takes n + 1 bits:
// its n verbatim bits and a group test 0.  Entry n holds the positions of
// those group tests in a word of such planes, the mask of n bits, and a
// reciprocal of n + 1 that divides the positions 0..64 exactly.
struct stretch_table {
  uint64_t tests[64];
  uint64_t mask[64];
  uint32_t inverse[64];
};

constexpr stretch_table make_stretch_table()
{
  stretch_table t{};
  for (unsigned n = 0; n < 64; n++) {
    uint64_t m = 0;
    for (unsigned p = n; p < 64; p += n + 1)
      m |= uint64_t(1) << p;
    t.tests[n] = m;
    t.mask[n] = (uint64_t(1) << n) - 1;
    t.inverse[n] = 65536 / (n + 1) + 1;
  }
  return t;
}

constexpr stretch_table stretch = make_stretch_table();

template <unsigned N>
inline uint32_t slots(uint32_t bits, uint32_t n) // floor(bits / (n + 1)), bits <= 64
{
  if (one_plane_a_window<N>(n))
    return bits > n;
  return (bits * stretch.inverse[n]) >> 16;
}

// The decoder's side of encode_planes.  A stretch of planes that make no
// coefficient significant is read from the window at once; a plane with a
// group test 1 then reads its runs with a count of zeros each.  Where the
// budget ends the reader's bits end, and so does the block: a run cut
// short still marks coefficient n, as the encoder's bit-by-bit loop leaves
// it.  The same steps serve the budget-free case, whose bits never run out.
template <typename U, unsigned N>
inline uint32_t decode_planes(bit_reader& stream, uint32_t maxbits, unsigned kmin, U* data)
{
  constexpr unsigned W = word_traits<U>::width;
  plane_writer<U, N> planes(data, kmin);
  // every plane takes a bit at least
  block_reader in(stream, code_extent<N>(maxbits, W - kmin), W - kmin);
  const uint32_t start = in.q;
  uint32_t n = 0;
  unsigned k = W;
  while (k > kmin && n < N) {
    const uint32_t slot = n + 1;
    if (in.wbits < slot) {
      // every plane to come takes at least n + 1 bits
      in.refill(in.q + (k - kmin) * slot);
      if (in.wbits < slot) { // the budget ends in this plane's verbatim bits
        if (in.wbits)
          planes(--k, in.take(in.wbits));
        break;
      }
    }
    // j whole planes below k, each of n verbatim bits and a group test 0
    auto whole = [&](uint32_t j) {
      if (n)
        planes.stretch(k, in.w, n, j);
      else
        planes.skip(k, j);
      k -= j;
    };
    const uint64_t tests = in.w & stretch.tests[n];
    if (!tests) { // whole planes to the end of the window
      uint32_t j = slots<N>(in.wbits, n);
      if (j > k - kmin)
        j = k - kmin;
      whole(j);
      in.consume(j * slot);
      continue;
    }
    // j whole planes, then one with a group test 1 at bit p
    const uint32_t p = trailing_zeros(tests);
    const uint32_t j = slots<N>(p, n);
    if (j >= k - kmin) {
      const uint32_t rest = k - kmin;
      whole(rest);
      in.consume(rest * slot);
      break;
    }
    whole(j);
    uint64_t x = (in.w >> (p - n)) & stretch.mask[n];
    k--;
    {
      // Most such planes make one coefficient significant: its run, its 1
      // and the group test 0 after it in the window, short of the last
      // coefficient.
      const uint64_t r = (in.w >> p) >> 1;
      const uint32_t z = r ? trailing_zeros(r) : 64;
      if (p + z + 2 < in.wbits && n + z < N - 1) {
        n += z;
        x += uint64_t(1) << n;
        n++;
        const uint64_t g = (r >> (z + 1)) & 1;
        in.consume(p + z + 3);
        if (!g) {
          planes(k, x);
          continue;
        }
      }
      else
        in.consume(p + 1);
    }
    // the runs: each a count of zeros ended by the new coefficient's 1,
    // then the next group test
    for (;;) {
      if (n == N - 1) { // the last coefficient's 1 is implied
        x += uint64_t(1) << n;
        n = N;
        break;
      }
      if (!in.wbits) {
        // at least a run bit, and the planes below take n + 2 bits each
        in.refill(in.q + 1 + (k - kmin) * (n + 2));
        if (!in.wbits) { // the budget ends in the run: coefficient n is marked
          x += uint64_t(1) << n;
          n++;
          break;
        }
      }
      const uint32_t left = N - 1 - n; // run bits before the implied 1
      const uint32_t z = in.w ? trailing_zeros(in.w) : in.wbits;
      if (z >= left) {
        in.consume(left);
        n += left;
        continue;
      }
      if (z == in.wbits) { // zeros to the end of the window
        in.consume(z);
        n += z;
        continue;
      }
      n += z;
      x += uint64_t(1) << n;
      n++;
      if (z + 1 < in.wbits) { // the next group test is in the window
        const uint64_t g = (in.w >> (z + 1)) & 1;
        in.consume(z + 2);
        if (!g)
          break;
        continue;
      }
      in.consume(z + 1);
      // a group test, and the planes below take n + 1 bits each
      in.refill(in.q + 1 + (k - kmin) * (n + 1));
      if (!in.wbits) // the budget ends after the 1
        break;
      const uint64_t g = in.w & 1;
      in.consume(1);
      if (!g)
        break;
    }
    planes(k, x);
  }
  // All coefficients significant: the rest of the code is the planes as
  // they are, N bits each, to the last plane or the block's end, as many
  // planes to a word as fit.
  if (k > kmin) {
    const uint32_t rest = in.end - in.q;
    in.code((k - kmin) * N < rest ? (k - kmin) * N : rest, [&](uint64_t x, uint32_t c) {
      const unsigned got = (c + N - 1) / N;
      planes.many(k, x, got);
      k -= got;
    });
  }
  in.store(stream);
  planes.finish(n);
  return in.q - start;
}

// The decoder read bit by bit, the verbatim bits 64 at a time: the blocks
// of 256 coefficients, and blocks of any size whose code has a few bits at
// most.  The coefficients start at 0.
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
  for (unsigned i = 0; i < N; i++)
    data[i] = 0;
  // A block of a few bits at most is read bit by bit: setting up the
  // window would cost more than it saves.
  if constexpr (N <= 64) {
    if (code_extent<N>(maxbits, planes) > 16)
      return decode_planes<U, N>(in, maxbits, kmin, data);
  }
  return budget_free<N>(maxbits, planes) ? decode_counted<U, N, false>(in, maxbits, kmin, data)
                                         : decode_counted<U, N, true>(in, maxbits, kmin, data);
}

} // namespace
} // namespace kvr_codec

#endif
