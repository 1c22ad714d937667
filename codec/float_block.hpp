// Floating-point blocks: lossy (block floating point), reversible (zero,
// exact and raw forms) and their decoding.
//
// Parameters: T (float or double) and D (1..4).  The values of a lossy or
// exact block are integers relative to a common block exponent e:
// q = trunc(v * 2^(P - e)) with P = 30 (float) or 62 (double), so that
// |q| < 2^P leaves the transforms their headroom.
//
// Cases the plain format has no faithful form for are handled so that no
// conversion is undefined and both sides agree:
// - An infinity counts as the largest finite magnitude (e = 128 or 1024)
//   and its integer saturates at 2^P - 1, which decodes back to an
//   infinity or a value near the largest finite one.
// - Lossy blocks whose largest magnitude is below 2^-98 (float) or 2^-962
//   (double) have a scale factor beyond the type's range: the integers are
//   then formed with two exact multiplications, and the exponent is raised
//   to at least -119 (float) or -1012 (double), the smallest for which the
//   decoder's factor 2^(e - P) is not zero, so such blocks keep their
//   precision down to the smallest subnormal.  Reversible coding codes them
//   as raw blocks.
// - Limits that leave no room for a block header (max_bits below the lossy
//   header, or below a reversible form's header plus its precision field)
//   code the block as empty (zero) block, which decodes to +0.0; with
//   min_bits and max_bits both 0 that block takes no bit at all.
// - The precision e - min_exp + 2(D + 1) is computed in 64 bits, so a huge
//   min_exp gives precision 0 (an empty block) rather than wrapping.
#ifndef KVR_CODEC_FLOAT_BLOCK_HPP
#define KVR_CODEC_FLOAT_BLOCK_HPP

#include "codec/int_block.hpp"

#include <float.h>
#include <math.h>

namespace kvr_codec {
namespace {

template <typename T>
struct float_traits;

template <>
struct float_traits<float> {
  using U = uint32_t;
  using S = int32_t;
  static constexpr int exp_bits = int(kvr_format::exponent_bits<float>);
  static constexpr int bias = 127;
  static constexpr int emin = -126;           // block exponent clamp
  static constexpr int emax = 128;            // exponent of FLT_MAX
  static constexpr int lossy_emin = -119;     // 2^(e - 30) still nonzero
  static constexpr int exact_emin = -97;      // 2^(30 - e) still finite
  static constexpr int int_bits = 30;
  static constexpr int max_pow = 127;         // largest finite power of two
  static constexpr int split = 64;
  static constexpr float split_factor = 0x1p64f;
  static constexpr float int_limit = 0x1p30f;
  static constexpr float max_finite = FLT_MAX;
  static float power(int n) { return ldexpf(1.0f, n); }
};

template <>
struct float_traits<double> {
  using U = uint64_t;
  using S = int64_t;
  static constexpr int exp_bits = int(kvr_format::exponent_bits<double>);
  static constexpr int bias = 1023;
  static constexpr int emin = -1022;
  static constexpr int emax = 1024;
  static constexpr int lossy_emin = -1012;
  static constexpr int exact_emin = -961;
  static constexpr int int_bits = 62;
  static constexpr int max_pow = 1023;
  static constexpr int split = 512;
  static constexpr double split_factor = 0x1p512;
  static constexpr double int_limit = 0x1p62;
  static constexpr double max_finite = DBL_MAX;
  static double power(int n) { return ldexp(1.0, n); }
};

template <typename T>
inline typename float_traits<T>::U bits_of(T v)
{
  typename float_traits<T>::U u;
  __builtin_memcpy(&u, &v, sizeof u);
  return u;
}

template <typename T>
inline T from_bits(typename float_traits<T>::U u)
{
  T v;
  __builtin_memcpy(&v, &u, sizeof v);
  return v;
}

// Truncation toward zero that is defined for every input: NaN gives 0 and
// magnitudes of 2^P or more (only infinities reach here) saturate.
template <typename T>
inline typename float_traits<T>::U to_int(T x)
{
  using tr = float_traits<T>;
  using S = typename tr::S;
  using U = typename tr::U;
  constexpr S limit = (S(1) << tr::int_bits) - 1;
  // selects rather than branches, so that a block's loop vectorises
  const bool in_range = x < tr::int_limit && x > -tr::int_limit; // false for NaN
  S v = S(in_range ? x : T(0));
  v = x >= tr::int_limit ? limit : v;
  v = x <= -tr::int_limit ? -limit : v;
  return U(v);
}

// Sign-magnitude bit pattern to an order-preserving integer and back.
template <typename T>
inline typename float_traits<T>::U raw_flip(typename float_traits<T>::U u)
{
  using U = typename float_traits<T>::U;
  constexpr U top = word_traits<U>::top;
  return (u & top) ? U(u ^ (top - 1)) : u;
}

// Largest magnitude, NaNs passed over; +0.0 when there is none.  Eight
// running maxima keep the comparisons off one dependency chain; the
// result does not depend on the order, as no maximum ever holds -0.0.
template <typename T, unsigned N>
inline T max_magnitude(const T* v)
{
  constexpr unsigned L = N < 8 ? N : 8;
  T m[L];
  for (unsigned j = 0; j < L; j++)
    m[j] = 0;
  for (unsigned i = 0; i < N; i += L)
    for (unsigned j = 0; j < L; j++) {
      T a = v[i + j] < 0 ? -v[i + j] : v[i + j];
      m[j] = m[j] < a ? a : m[j];
    }
  T r = 0;
  for (unsigned j = 0; j < L; j++)
    r = r < m[j] ? m[j] : r;
  return r;
}

// Whether no value is a NaN.
template <typename T, unsigned N>
inline bool no_nan(const T* v)
{
  bool ok = true;
  for (unsigned i = 0; i < N; i++)
    ok &= v[i] == v[i];
  return ok;
}

// Block exponent of a positive magnitude (an infinity counts as the
// largest finite value), clamped to the smallest normal exponent.  That is
// frexp's exponent, read from the exponent field: a subnormal's field 0
// gives the clamp itself.
template <typename T>
inline int block_exponent(T m)
{
  using tr = float_traits<T>;
  if (!(m <= tr::max_finite))
    return tr::emax;
  const int field = int(bits_of(m) >> (sizeof(T) * 8 - 1 - tr::exp_bits));
  return field - tr::bias + 1;
}

// 2^n; normal results straight from the bits.
template <typename T>
inline T power_of_two(int n)
{
  using tr = float_traits<T>;
  using U = typename tr::U;
  if (n >= 1 - tr::bias && n <= tr::max_pow)
    return from_bits<T>(U(U(n + tr::bias) << (sizeof(T) * 8 - 1 - tr::exp_bits)));
  return tr::power(n);
}

template <unsigned D>
inline uint32_t lossy_precision(int e, int32_t minexp, uint32_t maxprec)
{
  int64_t p = int64_t(e) - minexp + 2 * (int64_t(D) + 1);
  if (p <= 0)
    return 0;
  return uint64_t(p) > maxprec ? maxprec : uint32_t(p);
}

// Bits of an empty (or zero) block: the flag 0 and padding to min_bits.
inline uint32_t empty_bits(uint32_t minbits, uint32_t maxbits)
{
  if (minbits > 1)
    return minbits;
  return (minbits == 1 || maxbits > 0) ? 1 : 0;
}

template <typename T, unsigned D>
inline uint32_t encode_lossy(bit_writer& out, uint32_t minbits, uint32_t maxbits,
                             uint32_t maxprec, int32_t minexp, const T* values)
{
  using tr = float_traits<T>;
  using U = typename tr::U;
  constexpr unsigned N = block_size<D>;
  constexpr uint32_t H = kvr_format::lossy_header_bits<T>;

  if (maxbits < H) {
    uint32_t bits = empty_bits(minbits, maxbits);
    out.pad(bits);
    return bits;
  }
  T m = max_magnitude<T, N>(values);
  uint32_t prec = 0;
  int e = 0;
  if (m > 0) {
    e = block_exponent(m);
    if (e < tr::lossy_emin)
      e = tr::lossy_emin;
    prec = lossy_precision<D>(e, minexp, maxprec);
  }
  if (!prec) {
    uint32_t bits = empty_bits(minbits, maxbits);
    out.pad(bits);
    return bits;
  }
  out.put_bits(1 + 2 * uint64_t(e + tr::bias), H);

  alignas(256) U block[N];
  const int k = tr::int_bits - e;
  if (k <= tr::max_pow) {
    const T s = power_of_two<T>(k);
    if (m <= tr::max_finite && no_nan<T, N>(values)) {
      // every |values[i] * s| < 2^P: plain conversions
      for (unsigned i = 0; i < N; i++)
        block[i] = U(typename tr::S(values[i] * s));
    }
    else {
      for (unsigned i = 0; i < N; i++)
        block[i] = to_int<T>(values[i] * s);
    }
  }
  else {
    const T s = power_of_two<T>(k - tr::split);
    for (unsigned i = 0; i < N; i++)
      block[i] = to_int<T>(values[i] * tr::split_factor * s);
  }
  alignas(256) U coded[N];
  forward_lifting_block<U, D>(block);
  reorder<U, D>(block, coded);
  uint32_t bits = encode_ints<U, N>(out, maxbits - H, prec, coded);
  if (int32_t(minbits - H) > int32_t(bits)) {
    out.pad(minbits - H - bits);
    return minbits;
  }
  return bits + H;
}

template <typename T, unsigned D>
inline uint32_t encode_reversible(bit_writer& out, uint32_t minbits, uint32_t maxbits,
                                  uint32_t maxprec, const T* values)
{
  using tr = float_traits<T>;
  using U = typename tr::U;
  constexpr unsigned N = block_size<D>;
  constexpr uint32_t F = int_traits<U>::field_bits;
  constexpr uint32_t exact_header = kvr_format::exact_header_bits<T>;

  alignas(256) U block[N];
  T m = max_magnitude<T, N>(values);
  bool exact = false;
  bool zero = false;
  int e = 0;
  if (m > 0) {
    e = block_exponent(m);
    if (e >= tr::exact_emin && m <= tr::max_finite) {
      const T s = power_of_two<T>(tr::int_bits - e);
      const T t = power_of_two<T>(e - tr::int_bits);
      U differ = 0;
      for (unsigned i = 0; i < N; i++) {
        block[i] = to_int<T>(values[i] * s);
        T r = T(typename tr::S(block[i])) * t;
        differ |= bits_of(r) ^ bits_of(values[i]);
      }
      exact = !differ;
    }
  }
  else {
    U any = 0;
    for (unsigned i = 0; i < N; i++)
      any |= bits_of(values[i]);
    zero = !any;
  }

  if (!zero && exact && maxbits >= exact_header + F) {
    out.put_bits(1 + (uint64_t(e + tr::bias) << 2), exact_header);
    return exact_header +
           rev_encode_ints<U, D>(out, int32_t(minbits - exact_header),
                                 maxbits - exact_header, maxprec, block);
  }
  if (!zero && !exact && maxbits >= 2 + F) {
    for (unsigned i = 0; i < N; i++)
      block[i] = raw_flip<T>(bits_of(values[i]));
    out.put_bits(3, 2);
    return 2 + rev_encode_ints<U, D>(out, int32_t(minbits - 2), maxbits - 2, maxprec, block);
  }
  // zero block, or a block the limits leave no room for
  uint32_t bits = empty_bits(minbits, maxbits);
  out.pad(bits);
  return bits;
}

template <typename T, unsigned D>
inline uint32_t encode_float_block(const kvr_stream* stream, const T* values)
{
  const uint32_t minbits = stream->min_bits;
  const uint32_t maxbits = stream->max_bits;
  const uint32_t maxprec = stream->max_prec;
  const int32_t minexp = stream->min_exp;
  bit_writer out(stream->stream);
  uint32_t bits = minexp >= lossy_min_exp
                    ? encode_lossy<T, D>(out, minbits, maxbits, maxprec, minexp, values)
                    : encode_reversible<T, D>(out, minbits, maxbits, maxprec, values);
  out.store(stream->stream);
  return bits;
}

template <typename T, unsigned N, typename Out>
inline void store_zeros(const Out& out)
{
  out.template put<N>([](unsigned) { return T(0); });
}

// Integers times 2^(field - bias - P), in the value type.
template <typename T, unsigned N, typename Out>
inline void store_scaled(const Out& out, const typename float_traits<T>::U* block, uint32_t field)
{
  using tr = float_traits<T>;
  const T s = power_of_two<T>(int(field) - tr::bias - tr::int_bits);
  out.template put<N>([block, s](unsigned i) { return T(typename tr::S(block[i])) * s; });
}

// Reads the rest of an empty or zero block whose flag has been read.
inline uint32_t skip_empty(bit_reader& in, uint32_t minbits, uint32_t maxbits)
{
  uint32_t bits = empty_bits(minbits, maxbits);
  if (bits > 1)
    in.skip(bits - 1);
  return bits;
}

template <typename T, unsigned D, typename Out>
inline uint32_t decode_lossy(bit_reader& in, uint32_t minbits, uint32_t maxbits,
                             uint32_t maxprec, int32_t minexp, const Out& values)
{
  using tr = float_traits<T>;
  using U = typename tr::U;
  constexpr unsigned N = block_size<D>;
  constexpr uint32_t H = kvr_format::lossy_header_bits<T>;

  if (maxbits < H) {
    uint32_t bits = empty_bits(minbits, maxbits);
    in.skip(bits);
    store_zeros<T, N>(values);
    return bits;
  }
  if (!in.get_bit()) {
    store_zeros<T, N>(values);
    return skip_empty(in, minbits, maxbits);
  }
  uint32_t field = uint32_t(in.get_bits(tr::exp_bits));
  uint32_t prec = lossy_precision<D>(int(field) - tr::bias, minexp, maxprec);
  alignas(256) U coded[N];
  uint32_t bits = decode_ints<U, N>(in, maxbits - H, prec, coded);
  if (int32_t(minbits - H) > int32_t(bits)) {
    in.skip(minbits - H - bits);
    bits = minbits - H;
  }
  alignas(256) U block[N];
  inv_order<U, D>(coded, block);
  inverse_lifting_block<U, D>(block);
  store_scaled<T, N>(values, block, field);
  return bits + H;
}

template <typename T, unsigned D, typename Out>
inline uint32_t decode_reversible(bit_reader& in, uint32_t minbits, uint32_t maxbits,
                                  const Out& values)
{
  using tr = float_traits<T>;
  using U = typename tr::U;
  constexpr unsigned N = block_size<D>;
  constexpr uint32_t F = int_traits<U>::field_bits;
  constexpr uint32_t exact_header = kvr_format::exact_header_bits<T>;

  if (maxbits < 2 + F) {
    uint32_t bits = empty_bits(minbits, maxbits);
    in.skip(bits);
    store_zeros<T, N>(values);
    return bits;
  }
  if (!in.get_bit()) {
    store_zeros<T, N>(values);
    return skip_empty(in, minbits, maxbits);
  }
  alignas(256) U block[N];
  if (in.get_bit()) {
    uint32_t bits = 2 + rev_decode_ints<U, D>(in, int32_t(minbits - 2), maxbits - 2, block);
    values.template put<N>([&block](unsigned i) { return from_bits<T>(raw_flip<T>(block[i])); });
    return bits;
  }
  if (maxbits < exact_header + F) {
    // never written: an exact block needs more room than the limits give
    store_zeros<T, N>(values);
    if (int32_t(minbits) > 2) {
      in.skip(minbits - 2);
      return minbits;
    }
    return 2;
  }
  uint32_t field = uint32_t(in.get_bits(tr::exp_bits));
  uint32_t bits = exact_header + rev_decode_ints<U, D>(in, int32_t(minbits - exact_header),
                                                       maxbits - exact_header, block);
  if (field)
    store_scaled<T, N>(values, block, field);
  else
    store_zeros<T, N>(values);
  return bits;
}

template <typename T, unsigned D, typename Out>
inline uint32_t decode_float_block(const kvr_stream* stream, const Out& values)
{
  const uint32_t minbits = stream->min_bits;
  const uint32_t maxbits = stream->max_bits;
  const uint32_t maxprec = stream->max_prec;
  const int32_t minexp = stream->min_exp;
  bit_reader in(stream->stream);
  uint32_t bits = minexp >= lossy_min_exp
                    ? decode_lossy<T, D>(in, minbits, maxbits, maxprec, minexp, values)
                    : decode_reversible<T, D>(in, minbits, maxbits, values);
  in.store(stream->stream);
  return bits;
}

} // namespace
} // namespace kvr_codec

#endif
