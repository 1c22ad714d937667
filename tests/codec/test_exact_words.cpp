// What a block decoder may read.  It loads only the words that hold bits
// of the code it reads (raised to min_bits by padding), and the bits the
// stream record has buffered come from the record, not from the word in
// memory they were once fetched from.
#include "codec_support.hpp"
#include "fuzz/guarded.hpp"

#include <gtest/gtest.h>

namespace {

enum entry : unsigned { whole, strided, partial, entries };

struct named_limits {
  const char* name;
  ct::limits l;
};

// Limits of every mode, some with min_bits padding or a budget, for blocks
// of n values.
std::vector<named_limits> limit_table(uint32_t n)
{
  return {
    {"default", ct::default_limits},
    {"precision 20", {1, KVR_MAX_BITS, 20, KVR_MIN_EXP}},
    {"accuracy 2^-12", {1, KVR_MAX_BITS, 64, -12}},
    {"reversible", ct::reversible_limits},
    {"fixed rate 7", {7 * n, 7 * n, 64, KVR_MIN_EXP}},
    {"min_bits 3n, precision 24", {3 * n, KVR_MAX_BITS, 24, KVR_MIN_EXP}},
    {"reversible min_bits 5n", {5 * n, KVR_MAX_BITS, 64, KVR_MIN_EXP - 1}},
    {"budget 6n", {1, 6 * n, 64, KVR_MIN_EXP}},
  };
}

template <typename T>
std::vector<T> test_block(std::mt19937_64& rng, unsigned n, unsigned trial)
{
  // Every fifth block zero, the others smooth, noisy, sparse or extreme.
  if (trial % 5 == 4)
    return std::vector<T>(n, T(0));
  return ct::random_block<T>(rng, n, unsigned(rng() % 4));
}

// A block's values in a strided array: strides with gaps, and every
// element the block does not cover holds a sentinel.
template <typename T, unsigned D>
struct layout {
  ptrdiff_t s[4];
  size_t n[4];
  std::vector<T> array;

  layout(std::mt19937_64& rng, bool part)
  {
    ptrdiff_t stride = 2;
    size_t span = 1;
    for (unsigned d = 0; d < 4; d++) {
      s[d] = stride;
      n[d] = part ? size_t(rng() % 4) + 1 : 4;
      if (d < D)
        span += size_t(stride) * 3;
      stride = stride * 4 + 1;
    }
    array.assign(span, sentinel());
  }

  static T sentinel() { return ct::from_bits<T>(typename ct::bits_type<T>::type(0x5a5a5a5a5a5a5a5au)); }

  T& at(unsigned i) // value i of the block, x fastest
  {
    ptrdiff_t off = 0;
    for (unsigned d = 0; d < D; d++, i /= 4)
      off += ptrdiff_t(i % 4) * s[d];
    return array[size_t(off)];
  }
};

// A reader over `words` words at `data`, positioned at bit `offset`.
struct reader {
  bit_stream bs{};
  kvr_stream ks{};

  reader(uint64_t* data, size_t words, uint64_t offset, ct::limits l)
  {
    bs.begin = bs.cursor = data;
    bs.end = data + words;
    ks.stream = &bs;
    ks.min_bits = l.min_bits;
    ks.max_bits = l.max_bits;
    ks.max_prec = l.max_prec;
    ks.min_exp = l.min_exp;
    stream_set_read_offset(&bs, offset);
  }
};

template <typename T, unsigned D>
size_t encode(unsigned e, const kvr_stream* ks, layout<T, D>& in)
{
  using c = ct::codec<T, D>;
  switch (e) {
    case whole: {
      std::vector<T> block(ct::block_values<D>);
      for (unsigned i = 0; i < block.size(); i++)
        block[i] = in.at(i);
      return c::encode(ks, block.data());
    }
    case strided: return c::encode_strided(ks, in.array.data(), in.s);
    default: return c::encode_partial(ks, in.array.data(), in.n, in.s);
  }
}

template <typename T, unsigned D>
size_t decode(unsigned e, const kvr_stream* ks, layout<T, D>& out)
{
  using c = ct::codec<T, D>;
  switch (e) {
    case whole: {
      std::vector<T> block(ct::block_values<D>, layout<T, D>::sentinel());
      const size_t bits = c::decode(ks, block.data());
      for (unsigned i = 0; i < block.size(); i++)
        out.at(i) = block[i];
      return bits;
    }
    case strided: return c::decode_strided(ks, out.array.data(), out.s);
    default: return c::decode_partial(ks, out.array.data(), out.n, out.s);
  }
}

// Every entry point decodes a block placed at the very end of a guarded
// allocation that holds exactly the words of its code as it decodes it from
// a roomy buffer: same values, same bit count, same stream state.
template <typename T, unsigned D>
void exact_words(uint64_t seed)
{
  constexpr unsigned N = ct::block_values<D>;
  std::mt19937_64 rng(seed);
  for (const named_limits& nl : limit_table(N)) {
    for (unsigned trial = 0; trial < 45; trial++) {
      const unsigned e = trial % entries;
      // Word-aligned, bit 37 and the last bit of a word among the starts.
      static const unsigned fixed_starts[] = {0, 37, 63, 101};
      const unsigned start = trial < 4 ? fixed_starts[trial] : unsigned(rng() % 192);
      SCOPED_TRACE(std::string(nl.name) + ", D=" + std::to_string(D) + ", entry " + std::to_string(e) +
                   ", trial " + std::to_string(trial) + ", start " + std::to_string(start));

      layout<T, D> in(rng, e == partial);
      const std::vector<T> values = test_block<T>(rng, N, trial);
      for (unsigned i = 0; i < N; i++)
        in.at(i) = values[i];

      ct::stream s(size_t(start / 64 + 2) + (N * 64 + 256) / 64 * 2, nl.l);
      for (unsigned left = start; left; left -= std::min(left, 64u))
        s.put(rng(), std::min(left, 64u));
      const size_t bits = encode(e, &s.ks, in);
      s.flush();

      // The words holding bits start .. start + bits - 1, and the one the
      // start lies in.
      const size_t first = start / 64;
      size_t last = (start + bits + 63) / 64;
      if (start % 64 && last == first)
        last = first + 1;
      fuzz::guarded exact((last - first) * 8);
      std::memcpy(exact.data, &s.words[first], (last - first) * 8);

      reader a(s.words.data(), s.words.size(), start, nl.l);
      layout<T, D> from_roomy = in;
      from_roomy.array.assign(in.array.size(), layout<T, D>::sentinel());
      ASSERT_EQ(decode(e, &a.ks, from_roomy), bits);

      reader b(reinterpret_cast<uint64_t*>(exact.data), last - first, start % 64, nl.l);
      layout<T, D> from_exact = from_roomy;
      from_exact.array.assign(in.array.size(), layout<T, D>::sentinel());
      ASSERT_EQ(decode(e, &b.ks, from_exact), bits);

      ASSERT_EQ(std::memcmp(from_exact.array.data(), from_roomy.array.data(), in.array.size() * sizeof(T)), 0);
      ASSERT_EQ(stream_read_offset(&a.bs), start + bits);
      ASSERT_EQ(stream_read_offset(&b.bs) + first * 64, start + bits);
      ASSERT_EQ(b.bs.bits, a.bs.bits);
      ASSERT_EQ(b.bs.buffer, a.bs.buffer);
      if (nl.l.min_exp < KVR_MIN_EXP && nl.l.max_bits == KVR_MAX_BITS && e != partial) {
        ASSERT_EQ(std::memcmp(from_exact.array.data(), in.array.data(), in.array.size() * sizeof(T)), 0);
      }
    }
  }
}

template <typename T>
void exact_words_all_dims(uint64_t seed)
{
  exact_words<T, 1>(seed + 1);
  exact_words<T, 2>(seed + 2);
  exact_words<T, 3>(seed + 3);
  exact_words<T, 4>(seed + 4);
}

TEST(ExactWords, Int32) { exact_words_all_dims<int32_t>(100); }
TEST(ExactWords, Int64) { exact_words_all_dims<int64_t>(200); }
TEST(ExactWords, Float) { exact_words_all_dims<float>(300); }
TEST(ExactWords, Double) { exact_words_all_dims<double>(400); }

// A reader positioned inside a word holds that word's remaining bits in the
// record.  Overwriting the word in memory afterwards must change nothing:
// the block decodes, and leaves the stream, exactly as from an untouched
// copy of the buffer.  Limits with min_bits 1 only, since a padding skip
// ending inside that word fetches it again, as the bit-by-bit reader does.
template <typename T, unsigned D>
void overwritten_word(uint64_t seed)
{
  constexpr unsigned N = ct::block_values<D>;
  using c = ct::codec<T, D>;
  static const named_limits table[] = {
    {"default", ct::default_limits},
    {"precision 20", {1, KVR_MAX_BITS, 20, KVR_MIN_EXP}},
    {"accuracy 2^-12", {1, KVR_MAX_BITS, 64, -12}},
    {"reversible", ct::reversible_limits},
  };
  std::mt19937_64 rng(seed);
  for (const named_limits& nl : table) {
    for (unsigned trial = 0; trial < 60; trial++) {
      const unsigned start = 1 + unsigned(rng() % 63) + (trial % 2 ? 64 : 0);
      SCOPED_TRACE(std::string(nl.name) + ", D=" + std::to_string(D) + ", trial " + std::to_string(trial) +
                   ", start " + std::to_string(start));
      const std::vector<T> block = test_block<T>(rng, N, trial);
      ct::stream s(size_t(start / 64 + 2) + (N * 64 + 256) / 64 * 2, nl.l);
      for (unsigned left = start; left; left -= std::min(left, 64u))
        s.put(rng(), std::min(left, 64u));
      const size_t bits = c::encode(&s.ks, block.data());
      s.flush();

      std::vector<uint64_t> untouched = s.words, overwritten = s.words;
      reader a(untouched.data(), untouched.size(), start, nl.l);
      reader b(overwritten.data(), overwritten.size(), start, nl.l);
      uint64_t& held = b.bs.cursor[-1];
      held = ~held ^ (rng() & 0xff);
      std::vector<T> from_untouched(N), from_overwritten(N);
      ASSERT_EQ(c::decode(&a.ks, from_untouched.data()), bits);
      ASSERT_EQ(c::decode(&b.ks, from_overwritten.data()), bits);
      ASSERT_EQ(std::memcmp(from_overwritten.data(), from_untouched.data(), N * sizeof(T)), 0);
      ASSERT_EQ(b.bs.cursor - overwritten.data(), a.bs.cursor - untouched.data());
      ASSERT_EQ(b.bs.bits, a.bs.bits);
      ASSERT_EQ(b.bs.buffer, a.bs.buffer);
    }
  }
}

template <typename T>
void overwritten_word_all_dims(uint64_t seed)
{
  overwritten_word<T, 1>(seed + 1);
  overwritten_word<T, 2>(seed + 2);
  overwritten_word<T, 3>(seed + 3);
  overwritten_word<T, 4>(seed + 4);
}

TEST(OverwrittenWord, Int32) { overwritten_word_all_dims<int32_t>(500); }
TEST(OverwrittenWord, Int64) { overwritten_word_all_dims<int64_t>(600); }
TEST(OverwrittenWord, Float) { overwritten_word_all_dims<float>(700); }
TEST(OverwrittenWord, Double) { overwritten_word_all_dims<double>(800); }

} // namespace
