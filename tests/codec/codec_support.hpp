// Test support for the block codec: a bit stream over a word vector with
// its own (test-side) bit access, the 96 entry points by type and
// dimensionality, and value generators.
#ifndef KVR_TESTS_CODEC_SUPPORT_HPP
#define KVR_TESTS_CODEC_SUPPORT_HPP

#include <kvr/kvr.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

namespace ct {

struct limits {
  uint32_t min_bits, max_bits, max_prec;
  int32_t min_exp;
};

constexpr limits default_limits{1, 16658, 64, -1074};
constexpr limits reversible_limits{1, 16658, 64, -1075};

// A bit stream over its own word buffer.  Bits are written and inspected
// here one at a time, independently of the codec's word-level I/O.
struct stream {
  std::vector<uint64_t> words;
  bit_stream bs{};
  kvr_stream ks{};

  explicit stream(size_t nwords = 4096, limits l = default_limits) : words(nwords, 0)
  {
    bs.begin = bs.cursor = words.data();
    bs.end = words.data() + nwords;
    ks.stream = &bs;
    set(l);
  }
  stream(const stream&) = delete;
  stream& operator=(const stream&) = delete;

  void set(limits l)
  {
    ks.min_bits = l.min_bits;
    ks.max_bits = l.max_bits;
    ks.max_prec = l.max_prec;
    ks.min_exp = l.min_exp;
  }

  uint64_t write_pos() const { return uint64_t(bs.cursor - bs.begin) * 64 + bs.bits; }
  uint64_t read_pos() const { return uint64_t(bs.cursor - bs.begin) * 64 - bs.bits; }

  void rewind()
  {
    bs.cursor = bs.begin;
    bs.bits = 0;
    bs.buffer = 0;
  }
  void flush()
  {
    if (bs.bits) {
      *bs.cursor++ = bs.buffer;
      bs.bits = 0;
      bs.buffer = 0;
    }
  }
  void seek_read(uint64_t offset)
  {
    bs.cursor = bs.begin + offset / 64;
    unsigned k = unsigned(offset % 64);
    if (k) {
      bs.buffer = *bs.cursor++ >> k;
      bs.bits = 64 - k;
    }
    else {
      bs.buffer = 0;
      bs.bits = 0;
    }
  }
  void seek_write(uint64_t offset)
  {
    bs.cursor = bs.begin + offset / 64;
    bs.bits = unsigned(offset % 64);
    bs.buffer = bs.bits ? bs.begin[offset / 64] & ((uint64_t(1) << bs.bits) - 1) : 0;
  }

  void put_bit(unsigned b)
  {
    bs.buffer += uint64_t(b & 1) << bs.bits;
    if (++bs.bits == 64) {
      *bs.cursor++ = bs.buffer;
      bs.buffer = 0;
      bs.bits = 0;
    }
  }
  void put(uint64_t value, unsigned n)
  {
    for (unsigned i = 0; i < n; i++)
      put_bit(unsigned(value >> i) & 1);
  }
  // Bits given as a string of '0' and '1' in stream order.
  void put(const std::string& s)
  {
    for (char c : s)
      put_bit(c == '1');
  }

  // Stored bits (after a flush) as a string in stream order.
  unsigned bit(uint64_t i) const { return unsigned(words[i / 64] >> (i % 64)) & 1; }
  std::string bits(uint64_t from, uint64_t n) const
  {
    std::string s;
    for (uint64_t i = from; i < from + n; i++)
      s += char('0' + bit(i));
    return s;
  }
  uint64_t field(uint64_t from, unsigned n) const
  {
    uint64_t v = 0;
    for (unsigned i = 0; i < n; i++)
      v |= uint64_t(bit(from + i)) << i;
    return v;
  }
};

// The entry points of one type and dimensionality, with the extents and
// strides passed as arrays.
template <typename T, unsigned D>
struct codec;

#define CT_S1 s[0]
#define CT_S2 s[0], s[1]
#define CT_S3 s[0], s[1], s[2]
#define CT_S4 s[0], s[1], s[2], s[3]
#define CT_N1 n[0]
#define CT_N2 n[0], n[1]
#define CT_N3 n[0], n[1], n[2]
#define CT_N4 n[0], n[1], n[2], n[3]
#define CT_CODEC(T, W, D)                                                             \
  template <>                                                                         \
  struct codec<T, D> {                                                                \
    static size_t encode(const kvr_stream* st, const T* p)                            \
    {                                                                                 \
      return kvr_encode_block_##W##_##D(st, p);                                       \
    }                                                                                 \
    static size_t decode(const kvr_stream* st, T* p) { return kvr_decode_block_##W##_##D(st, p); } \
    static size_t encode_strided(const kvr_stream* st, const T* p, const ptrdiff_t* s) \
    {                                                                                 \
      return kvr_encode_block_strided_##W##_##D(st, p, CT_S##D);                      \
    }                                                                                 \
    static size_t decode_strided(const kvr_stream* st, T* p, const ptrdiff_t* s)      \
    {                                                                                 \
      return kvr_decode_block_strided_##W##_##D(st, p, CT_S##D);                      \
    }                                                                                 \
    static size_t encode_partial(const kvr_stream* st, const T* p, const size_t* n,   \
                                 const ptrdiff_t* s)                                  \
    {                                                                                 \
      return kvr_encode_partial_block_strided_##W##_##D(st, p, CT_N##D, CT_S##D);     \
    }                                                                                 \
    static size_t decode_partial(const kvr_stream* st, T* p, const size_t* n,         \
                                 const ptrdiff_t* s)                                  \
    {                                                                                 \
      return kvr_decode_partial_block_strided_##W##_##D(st, p, CT_N##D, CT_S##D);     \
    }                                                                                 \
  };
#define CT_CODECS(T, W) CT_CODEC(T, W, 1) CT_CODEC(T, W, 2) CT_CODEC(T, W, 3) CT_CODEC(T, W, 4)
CT_CODECS(int32_t, int32)
CT_CODECS(int64_t, int64)
CT_CODECS(float, float)
CT_CODECS(double, double)

template <unsigned D>
constexpr unsigned block_values = 1u << (2 * D);

template <typename T>
struct bits_type {
  using type = typename std::conditional<sizeof(T) == 4, uint32_t, uint64_t>::type;
};

template <typename T>
typename bits_type<T>::type bits_of(T v)
{
  typename bits_type<T>::type u;
  std::memcpy(&u, &v, sizeof u);
  return u;
}

template <typename T>
T from_bits(typename bits_type<T>::type u)
{
  T v;
  std::memcpy(&v, &u, sizeof v);
  return v;
}

// Blocks of assorted character: smooth, noisy, sparse, extreme.
template <typename T>
std::vector<T> random_block(std::mt19937_64& rng, unsigned n, unsigned kind)
{
  std::vector<T> v(n);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  double scale = std::ldexp(1.0, int(rng() % 40) - 20);
  double a = u(rng), b = u(rng), c = u(rng);
  for (unsigned i = 0; i < n; i++) {
    double smooth = a + b * (i % 4) + c * ((i / 4) % 4) + 0.1 * u(rng) * ((i / 16) + 1);
    if constexpr (std::is_integral<T>::value) {
      using U = typename std::make_unsigned<T>::type;
      switch (kind % 4) {
      case 0: v[i] = T(U(rng())); break;
      case 1: v[i] = T(smooth * double(std::numeric_limits<T>::max() / 8)); break;
      case 2: v[i] = (rng() % 5 == 0) ? T(U(rng()) >> (rng() % (sizeof(T) * 8))) : T(0); break;
      default: v[i] = (rng() & 1) ? std::numeric_limits<T>::min() : std::numeric_limits<T>::max(); break;
      }
    }
    else {
      switch (kind % 4) {
      case 0: v[i] = T(smooth * scale); break;
      case 1: v[i] = T(u(rng) * scale); break;
      case 2: v[i] = (rng() % 5 == 0) ? T(u(rng) * scale) : T(0); break;
      default: v[i] = from_bits<T>(typename bits_type<T>::type(rng())); break;
      }
    }
  }
  return v;
}

} // namespace ct

#endif
