// The embedded bit-plane coder against a plain model of its algorithm, and
// its small worked cases.
#include "codec/embedded_coder.hpp"
#include "codec_support.hpp"

#include <gtest/gtest.h>

using namespace kvr_codec;

namespace {

// Straightforward model: one bit at a time, a plane as a vector of bits,
// the budget tested everywhere.
template <typename U>
std::string model_encode(const std::vector<U>& c, uint32_t maxbits, uint32_t maxprec)
{
  const unsigned N = unsigned(c.size()), W = sizeof(U) * 8;
  const unsigned P = std::min<uint32_t>(maxprec, W);
  std::string out;
  uint32_t budget = maxbits, n = 0, k = W;
  while (budget > 0 && k > W - P) {
    k--;
    std::vector<int> x(N);
    for (unsigned i = 0; i < N; i++)
      x[i] = int((c[i] >> k) & 1);
    uint32_t m = std::min(n, budget);
    budget -= m;
    for (unsigned i = 0; i < m; i++)
      out += char('0' + x[i]);
    while (n < N && budget > 0) {
      budget--;
      int g = 0;
      for (unsigned i = n; i < N; i++)
        g |= x[i];
      out += char('0' + g);
      if (!g)
        break;
      while (n < N - 1 && budget > 0) {
        budget--;
        out += char('0' + x[n]);
        if (x[n])
          break;
        n++;
      }
      n++;
    }
  }
  return out;
}

template <typename U>
std::vector<U> model_decode(const std::string& bits, unsigned N, uint32_t maxbits, uint32_t maxprec,
                            uint32_t& used)
{
  const unsigned W = sizeof(U) * 8;
  const unsigned P = std::min<uint32_t>(maxprec, W);
  std::vector<U> c(N, 0);
  size_t pos = 0;
  auto next = [&] { return pos < bits.size() ? bits[pos++] == '1' : (pos++, false); };
  uint32_t budget = maxbits, n = 0, k = W;
  while (budget > 0 && k > W - P) {
    k--;
    std::vector<int> x(N, 0);
    uint32_t m = std::min(n, budget);
    budget -= m;
    for (unsigned i = 0; i < m; i++)
      x[i] = next();
    while (n < N && budget > 0) {
      budget--;
      if (!next())
        break;
      while (n < N - 1 && budget > 0) {
        budget--;
        if (next())
          break;
        n++;
      }
      x[n] = 1;
      n++;
    }
    for (unsigned i = 0; i < N; i++)
      if (x[i])
        c[i] += U(U(1) << k);
  }
  used = maxbits - budget;
  return c;
}

template <typename U, unsigned N>
uint32_t encode(ct::stream& s, uint32_t maxbits, uint32_t maxprec, const std::vector<U>& c)
{
  bit_writer w(&s.bs);
  uint32_t bits = encode_ints<U, N>(w, maxbits, maxprec, c.data());
  w.store(&s.bs);
  return bits;
}

template <typename U, unsigned N>
std::vector<U> decode(ct::stream& s, uint32_t maxbits, uint32_t maxprec, uint32_t& used)
{
  std::vector<U> c(N, U(0x5a5a5a5a));
  bit_reader r(&s.bs);
  used = decode_ints<U, N>(r, maxbits, maxprec, c.data());
  r.store(&s.bs);
  return c;
}

std::string stream_bits(ct::stream& s, uint64_t from)
{
  uint64_t end = s.write_pos();
  s.flush();
  return s.bits(from, end - from);
}

TEST(EmbeddedCoder, SmallCases)
{
  struct Case {
    std::vector<uint32_t> c;
    uint32_t maxbits, maxprec;
    std::string bits;
  };
  const uint32_t top = 0x80000000u;
  const Case cases[] = {
    {{0, 0, 0, 0}, 16658, 32, std::string(32, '0')},
    {{top, 0, 0, 0}, 16658, 1, "110"},
    {{0, 0, 0, top}, 16658, 1, "1000"},
    {{0, top, 0, 0}, 1, 64, "1"},
    {{0, top, 0, 0}, 2, 64, "10"},
    {{5, 6, 7, 8}, 0, 32, ""},
    {{5, 6, 7, 8}, 100, 0, ""},
  };
  for (const auto& cs : cases) {
    ct::stream s(16);
    uint32_t bits = encode<uint32_t, 4>(s, cs.maxbits, cs.maxprec, cs.c);
    EXPECT_EQ(bits, cs.bits.size());
    EXPECT_EQ(stream_bits(s, 0), cs.bits);
  }
  // decoding the truncated codes: maxbits 1 leaves coefficient 0 marked,
  // maxbits 2 coefficient 1
  const std::pair<std::string, std::vector<uint32_t>> dec[] = {
    {"1", {top, 0, 0, 0}}, {"10", {0, top, 0, 0}}, {"1000", {0, 0, 0, top}}};
  for (const auto& [bits, want] : dec) {
    ct::stream s(16);
    s.put(bits);
    s.flush();
    s.rewind();
    uint32_t used;
    auto c = decode<uint32_t, 4>(s, uint32_t(bits.size()), bits == "1000" ? 1 : 64, used);
    EXPECT_EQ(c, want) << bits;
    EXPECT_EQ(used, bits.size());
    EXPECT_EQ(s.read_pos(), bits.size());
  }
  ct::stream s(16);
  uint32_t used = 7;
  EXPECT_EQ((decode<uint32_t, 4>(s, 0, 64, used)), std::vector<uint32_t>(4, 0));
  EXPECT_EQ(used, 0u);
  EXPECT_EQ(s.read_pos(), 0u);
}

// Random coefficients of varied sparsity and magnitude, random budgets on
// both sides of the budget-free bound, written at random bit offsets.
template <typename U, unsigned N>
void check_against_model(uint64_t seed)
{
  constexpr unsigned W = sizeof(U) * 8;
  std::mt19937_64 rng(seed);
  for (int trial = 0; trial < 300; trial++) {
    std::vector<U> c(N);
    unsigned density = unsigned(rng() % 5);
    unsigned shift = unsigned(rng() % W);
    // density 4: only the first one to three coefficients are nonzero, the
    // blocks of a smooth or nearly constant field
    const unsigned leading = 1 + unsigned(rng() % 3);
    for (unsigned i = 0; i < N; i++)
      c[i] = density == 4 ? (i < leading ? U(U(rng()) >> shift) : U(0))
             : (density == 0 || rng() % (1u << density) == 0) ? U(U(rng()) >> shift)
                                                              : U(0);
    uint32_t maxprec = uint32_t(rng() % (W + 3));
    uint32_t bound = N * std::min<uint32_t>(maxprec, W) + N - 1;
    uint32_t maxbits;
    switch (trial % 4) {
    case 0: maxbits = bound; break;                       // budget-free
    case 1: maxbits = bound ? bound - 1 : 0; break;       // budgeted, rarely binding
    case 2: maxbits = uint32_t(rng() % (bound + 2)); break;
    default: maxbits = 16658; break;
    }
    const std::string want = model_encode(c, maxbits, maxprec);

    ct::stream s(600);
    const unsigned offset = unsigned(rng() % 128);
    s.put(rng(), offset > 64 ? 64 : offset);
    if (offset > 64)
      s.put(rng(), offset - 64);
    uint32_t bits = encode<U, N>(s, maxbits, maxprec, c);
    ASSERT_EQ(bits, want.size()) << "N=" << N << " trial " << trial;
    ASSERT_EQ(s.write_pos(), offset + want.size());
    ASSERT_EQ(stream_bits(s, offset), want) << "N=" << N << " trial " << trial;

    s.seek_read(offset);
    uint32_t used = 0, model_used = 0;
    auto got = decode<U, N>(s, maxbits, maxprec, used);
    auto model = model_decode<U>(want, N, maxbits, maxprec, model_used);
    ASSERT_EQ(used, model_used);
    ASSERT_EQ(used, want.size());
    ASSERT_EQ(s.read_pos(), offset + used);
    ASSERT_EQ(got, model) << "N=" << N << " trial " << trial;
    if (maxbits >= bound && maxprec >= W) {
      ASSERT_EQ(got, c); // every plane coded: exact
    }
  }
}

TEST(EmbeddedCoder, MatchesModelForEveryBlockSizeAndWidth)
{
  check_against_model<uint32_t, 4>(11);
  check_against_model<uint32_t, 16>(12);
  check_against_model<uint32_t, 64>(13);
  check_against_model<uint32_t, 256>(14);
  check_against_model<uint64_t, 4>(15);
  check_against_model<uint64_t, 16>(16);
  check_against_model<uint64_t, 64>(17);
  check_against_model<uint64_t, 256>(18);
}

// Any bits decode as the model reads them: random strings whose density of
// 1 bits varies (long runs, dense group tests), at random offsets, under
// random limits.  The buffer ends with the last word that holds a bit of
// the code, as a stream kept at exactly its compressed size does, so that
// reading further is caught under AddressSanitizer; the bits after the code
// in that word are random.  The word the stream's buffered bits came from
// is overwritten once the stream is positioned: the decoder must take them
// from the stream.  The stream is left exactly as reading the same bits one
// at a time leaves it.
template <typename U, unsigned N>
void check_arbitrary_bits(uint64_t seed)
{
  constexpr unsigned W = sizeof(U) * 8;
  std::mt19937_64 rng(seed);
  for (int trial = 0; trial < 3000; trial++) {
    const uint32_t maxprec = uint32_t(rng() % (W + 3));
    const uint32_t bound = N * std::min<uint32_t>(maxprec, W) + N - 1;
    const uint32_t maxbits = trial % 3 ? uint32_t(rng() % (bound + 2)) : 16658;
    const unsigned ones = 1 + unsigned(rng() % 15); // of 16
    std::string bits;
    for (uint32_t i = 0; i < std::min<uint32_t>(maxbits, bound) + 64; i++)
      bits += rng() % 16 < ones ? '1' : '0';
    uint32_t model_used = 0;
    const auto model = model_decode<U>(bits, N, maxbits, maxprec, model_used);

    const unsigned offset = unsigned(rng() % 192);
    const uint64_t end = offset + model_used;
    const size_t words = size_t((end + 63) / 64);
    ct::stream s(words + (words == 0));
    s.put(rng(), offset > 64 ? 64 : offset);
    s.put(rng(), offset > 128 ? 64 : offset > 64 ? offset - 64 : 0);
    if (offset > 128)
      s.put(rng(), offset - 128);
    s.put(bits.substr(0, std::max<uint64_t>(words * 64, offset) - offset));
    s.flush();
    s.seek_read(offset);
    const size_t held = offset / 64; // the word of the buffered bits
    const uint64_t word = offset % 64 ? s.words[held] : 0;
    if (offset % 64)
      s.words[held] = ~word;
    uint32_t used = 0;
    const auto got = decode<U, N>(s, maxbits, maxprec, used);
    ASSERT_EQ(used, model_used) << "N=" << N << " trial " << trial;
    ASSERT_EQ(got, model) << "N=" << N << " trial " << trial;
    const bit_stream after = s.bs;
    if (offset % 64)
      s.words[held] = word;
    s.seek_read(end);
    ASSERT_EQ(after.cursor, s.bs.cursor) << "N=" << N << " trial " << trial;
    ASSERT_EQ(after.bits, s.bs.bits);
    ASSERT_EQ(after.buffer, s.bs.buffer);
  }
}

TEST(EmbeddedCoder, ArbitraryBitsDecodeAsTheModelReadsThem)
{
  check_arbitrary_bits<uint32_t, 4>(21);
  check_arbitrary_bits<uint32_t, 16>(22);
  check_arbitrary_bits<uint32_t, 64>(23);
  check_arbitrary_bits<uint32_t, 256>(24);
  check_arbitrary_bits<uint64_t, 4>(25);
  check_arbitrary_bits<uint64_t, 16>(26);
  check_arbitrary_bits<uint64_t, 64>(27);
  check_arbitrary_bits<uint64_t, 256>(28);
}

// The bit helpers against plain definitions, and the builtins against the
// portable forms that compilers without them use.
TEST(EmbeddedCoder, BitHelpers)
{
  std::mt19937_64 rng(9);
  for (int trial = 0; trial < 20000; trial++) {
    const uint64_t x = rng() >> (rng() % 64);
    uint64_t swapped = 0, fourth = 0;
    for (unsigned b = 0; b < 8; b++)
      swapped |= ((x >> (8 * b)) & 0xff) << (56 - 8 * b);
    for (unsigned b = 0; b < 16; b++)
      fourth |= ((x >> (4 * b)) & 1) << b;
    ASSERT_EQ(byte_swap(x), swapped);
    ASSERT_EQ(byte_swap_portable(x), swapped);
    ASSERT_EQ(every_fourth_bit(x), fourth);
    if (x) {
      unsigned tz = 0;
      while (!((x >> tz) & 1))
        tz++;
      ASSERT_EQ(trailing_zeros(x), tz);
      ASSERT_EQ(trailing_zeros_portable(x), tz);
    }
  }
}

TEST(EmbeddedCoder, BudgetFreeAndBudgetedPathsWriteTheSameBits)
{
  // N = 4, maxprec 32: 131 bits is the budget-free bound, 130 is budgeted.
  std::mt19937_64 rng(5);
  for (int trial = 0; trial < 2000; trial++) {
    std::vector<uint32_t> c(4);
    for (auto& x : c)
      x = uint32_t(rng()) >> (rng() % 32);
    ct::stream a(8), b(8);
    uint32_t na = encode<uint32_t, 4>(a, 131, 32, c);
    uint32_t nb = encode<uint32_t, 4>(b, 130, 32, c);
    if (na <= 130) {
      ASSERT_EQ(na, nb);
      ASSERT_EQ(stream_bits(a, 0), stream_bits(b, 0));
    }
  }
}

} // namespace
