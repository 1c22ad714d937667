#ifndef KVR_ARRAY_CODEC_HPP
#define KVR_ARRAY_CODEC_HPP

#include <cstddef>
#include <cstdint>
#include <new>

#include "kvr/kvr.h"

namespace kvr {
namespace detail {

// Uniform signatures over the block codec of one scalar type and
// dimensionality: strides and valid counts are passed as arrays.
template <typename S, unsigned N> struct block_codec;

#define KVR_BLOCK_CODEC(S, T)                                                           \
  template <> struct block_codec<S, 1> {                                                \
    static size_t encode(const kvr_stream* z, const S* p) { return kvr_encode_block_##T##_1(z, p); } \
    static size_t decode(const kvr_stream* z, S* p) { return kvr_decode_block_##T##_1(z, p); } \
    static size_t encode_strided(const kvr_stream* z, const S* p, const ptrdiff_t* s)  \
    { return kvr_encode_block_strided_##T##_1(z, p, s[0]); }                              \
    static size_t decode_strided(const kvr_stream* z, S* p, const ptrdiff_t* s)        \
    { return kvr_decode_block_strided_##T##_1(z, p, s[0]); }                              \
    static size_t encode_partial(const kvr_stream* z, const S* p, const size_t* v, const ptrdiff_t* s) \
    { return kvr_encode_partial_block_strided_##T##_1(z, p, v[0], s[0]); }                \
    static size_t decode_partial(const kvr_stream* z, S* p, const size_t* v, const ptrdiff_t* s) \
    { return kvr_decode_partial_block_strided_##T##_1(z, p, v[0], s[0]); }                \
  };                                                                                    \
  template <> struct block_codec<S, 2> {                                                \
    static size_t encode(const kvr_stream* z, const S* p) { return kvr_encode_block_##T##_2(z, p); } \
    static size_t decode(const kvr_stream* z, S* p) { return kvr_decode_block_##T##_2(z, p); } \
    static size_t encode_strided(const kvr_stream* z, const S* p, const ptrdiff_t* s)  \
    { return kvr_encode_block_strided_##T##_2(z, p, s[0], s[1]); }                        \
    static size_t decode_strided(const kvr_stream* z, S* p, const ptrdiff_t* s)        \
    { return kvr_decode_block_strided_##T##_2(z, p, s[0], s[1]); }                        \
    static size_t encode_partial(const kvr_stream* z, const S* p, const size_t* v, const ptrdiff_t* s) \
    { return kvr_encode_partial_block_strided_##T##_2(z, p, v[0], v[1], s[0], s[1]); }    \
    static size_t decode_partial(const kvr_stream* z, S* p, const size_t* v, const ptrdiff_t* s) \
    { return kvr_decode_partial_block_strided_##T##_2(z, p, v[0], v[1], s[0], s[1]); }    \
  };                                                                                    \
  template <> struct block_codec<S, 3> {                                                \
    static size_t encode(const kvr_stream* z, const S* p) { return kvr_encode_block_##T##_3(z, p); } \
    static size_t decode(const kvr_stream* z, S* p) { return kvr_decode_block_##T##_3(z, p); } \
    static size_t encode_strided(const kvr_stream* z, const S* p, const ptrdiff_t* s)  \
    { return kvr_encode_block_strided_##T##_3(z, p, s[0], s[1], s[2]); }                  \
    static size_t decode_strided(const kvr_stream* z, S* p, const ptrdiff_t* s)        \
    { return kvr_decode_block_strided_##T##_3(z, p, s[0], s[1], s[2]); }                  \
    static size_t encode_partial(const kvr_stream* z, const S* p, const size_t* v, const ptrdiff_t* s) \
    { return kvr_encode_partial_block_strided_##T##_3(z, p, v[0], v[1], v[2], s[0], s[1], s[2]); } \
    static size_t decode_partial(const kvr_stream* z, S* p, const size_t* v, const ptrdiff_t* s) \
    { return kvr_decode_partial_block_strided_##T##_3(z, p, v[0], v[1], v[2], s[0], s[1], s[2]); } \
  };                                                                                    \
  template <> struct block_codec<S, 4> {                                                \
    static size_t encode(const kvr_stream* z, const S* p) { return kvr_encode_block_##T##_4(z, p); } \
    static size_t decode(const kvr_stream* z, S* p) { return kvr_decode_block_##T##_4(z, p); } \
    static size_t encode_strided(const kvr_stream* z, const S* p, const ptrdiff_t* s)  \
    { return kvr_encode_block_strided_##T##_4(z, p, s[0], s[1], s[2], s[3]); }            \
    static size_t decode_strided(const kvr_stream* z, S* p, const ptrdiff_t* s)        \
    { return kvr_decode_block_strided_##T##_4(z, p, s[0], s[1], s[2], s[3]); }            \
    static size_t encode_partial(const kvr_stream* z, const S* p, const size_t* v, const ptrdiff_t* s) \
    { return kvr_encode_partial_block_strided_##T##_4(z, p, v[0], v[1], v[2], v[3], s[0], s[1], s[2], s[3]); } \
    static size_t decode_partial(const kvr_stream* z, S* p, const size_t* v, const ptrdiff_t* s) \
    { return kvr_decode_partial_block_strided_##T##_4(z, p, v[0], v[1], v[2], v[3], s[0], s[1], s[2], s[3]); } \
  };

KVR_BLOCK_CODEC(float, float)
KVR_BLOCK_CODEC(double, double)
#undef KVR_BLOCK_CODEC

template <typename S> struct scalar_type;
template <> struct scalar_type<float> { static constexpr kvr_type value = kvr_type_float; };
template <> struct scalar_type<double> { static constexpr kvr_type value = kvr_type_double; };

// Owns one kvr_stream record; shared by the four bindings.
// Buffer bytes for the array that f describes under the limits l: 0
// without extents, the core's bound outside fixed-rate mode, else whole
// 64-bit words of one slot of max_bits bits per block (an extent of 0
// counting as one block), SIZE_MAX when that does not fit.
inline size_t required_bytes_for(const kvr_stream& l, const kvr_field& f)
{
  const size_t n[4] = {f.nx, f.ny, f.nz, f.nw};
  if (!n[0] && !n[1] && !n[2] && !n[3])
    return 0;
  if (kvr_stream_compression_mode(&l) != kvr_mode_fixed_rate)
    return kvr_stream_maximum_size(&l, &f);
  size_t blocks = 1;
  for (size_t e : n) {
    const size_t b = e ? e / 4 + (e % 4 != 0) : 1;
    blocks = b && blocks > SIZE_MAX / b ? SIZE_MAX : blocks * b;
  }
  const size_t bits = l.max_bits && blocks > SIZE_MAX / l.max_bits ? SIZE_MAX : blocks * l.max_bits;
  const size_t w = stream_alignment();
  return bits > SIZE_MAX - (w - 1) ? SIZE_MAX : (bits + w - 1) / w * w / 8;
}

template <typename S, unsigned N> class stream_binding {
public:
  kvr_stream* stream;

  stream_binding() : stream(kvr_stream_open(nullptr))
  {
    if (!stream)
      throw std::bad_alloc();
  }
  stream_binding(const stream_binding&) = delete;
  stream_binding& operator=(const stream_binding&) = delete;
  ~stream_binding()
  {
    close_bit_stream();
    kvr_stream_close(stream);
  }

  void close_bit_stream()
  {
    bit_stream* bs = kvr_stream_bit_stream(stream);
    if (bs)
      stream_close(bs);
    kvr_stream_set_bit_stream(stream, nullptr);
  }

  // required_bytes: buffer bytes for the array that f describes under this
  // binding's limits (see required_bytes_for).
  size_t required_bytes(const kvr_field* f) const { return required_bytes_for(*stream, *f); }

  using codec = block_codec<S, N>;
  static constexpr kvr_type scalar = scalar_type<S>::value;
  static constexpr uint32_t dims = N;
};

} // namespace detail

namespace codec {

template <typename S> class kvr1 : public detail::stream_binding<S, 1> {};
template <typename S> class kvr2 : public detail::stream_binding<S, 2> {};
template <typename S> class kvr3 : public detail::stream_binding<S, 3> {};
template <typename S> class kvr4 : public detail::stream_binding<S, 4> {};

// Exists only to own the typed array header (see array.hpp).
template <unsigned N, typename S> class kvr_base {
public:
  class header;
};

} // namespace codec

namespace index {

// Fixed-rate block index: block b starts at bit b * bits_per_block.
class implicit {
public:
  size_t blocks = 0;
  size_t bits_per_block = 0;
};

} // namespace index

} // namespace kvr

#endif
