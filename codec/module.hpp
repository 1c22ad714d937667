// The three entry points of one codec module.
//
// A module source defines, before including this file:
//   KVR_MODULE_TYPE    element type (int32_t, int64_t, float, double)
//   KVR_MODULE_WORD    its word in the entry point names (int32 ... double)
//   KVR_MODULE_DIMS    dimensionality, 1..4
//   KVR_MODULE_ENCODE  1 for the encoder module, 0 for the decoder module
// Everything but the three entry points has internal linkage, so the 32
// modules link into one program side by side.
#ifndef KVR_CODEC_MODULE_HPP
#define KVR_CODEC_MODULE_HPP

#include "codec/float_block.hpp"
#include "codec/strided.hpp"

#include <type_traits>

#define KVR_PASTE_(a, b, c) a##b##_##c
#define KVR_PASTE(a, b, c) KVR_PASTE_(a, b, c)
#define KVR_ENTRY(kind) KVR_PASTE(kind, KVR_MODULE_WORD, KVR_MODULE_DIMS)

#if KVR_MODULE_DIMS == 1
#define KVR_EXTENTS size_t nx
#define KVR_STRIDES ptrdiff_t sx
#define KVR_EXTENT_LIST nx
#define KVR_STRIDE_LIST sx
#elif KVR_MODULE_DIMS == 2
#define KVR_EXTENTS size_t nx, size_t ny
#define KVR_STRIDES ptrdiff_t sx, ptrdiff_t sy
#define KVR_EXTENT_LIST nx, ny
#define KVR_STRIDE_LIST sx, sy
#elif KVR_MODULE_DIMS == 3
#define KVR_EXTENTS size_t nx, size_t ny, size_t nz
#define KVR_STRIDES ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz
#define KVR_EXTENT_LIST nx, ny, nz
#define KVR_STRIDE_LIST sx, sy, sz
#elif KVR_MODULE_DIMS == 4
#define KVR_EXTENTS size_t nx, size_t ny, size_t nz, size_t nw
#define KVR_STRIDES ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz, ptrdiff_t sw
#define KVR_EXTENT_LIST nx, ny, nz, nw
#define KVR_STRIDE_LIST sx, sy, sz, sw
#else
#error "KVR_MODULE_DIMS must be 1..4"
#endif

namespace kvr_codec {
namespace {

using module_type = KVR_MODULE_TYPE;
constexpr unsigned module_dims = KVR_MODULE_DIMS;
constexpr unsigned module_size = block_size<module_dims>;

#if KVR_MODULE_ENCODE
inline uint32_t encode_module_block(const kvr_stream* stream, const module_type* block)
{
  if constexpr (std::is_floating_point<module_type>::value)
    return encode_float_block<module_type, module_dims>(stream, block);
  else
    return encode_int_block<module_type, module_dims>(stream, block);
}
#else
// Decodes one whole block into out (to_block or to_strided).
template <typename Out>
inline uint32_t decode_module_block(const kvr_stream* stream, const Out& out)
{
  if constexpr (std::is_floating_point<module_type>::value)
    return decode_float_block<module_type, module_dims>(stream, out);
  else
    return decode_int_block<module_type, module_dims>(stream, out);
}
#endif

} // namespace
} // namespace kvr_codec

#if KVR_MODULE_ENCODE

extern "C" size_t KVR_ENTRY(kvr_encode_block_)(const kvr_stream* stream,
                                               const KVR_MODULE_TYPE* block)
{
  return kvr_codec::encode_module_block(stream, block);
}

extern "C" size_t KVR_ENTRY(kvr_encode_block_strided_)(const kvr_stream* stream,
                                                       const KVR_MODULE_TYPE* p, KVR_STRIDES)
{
  const ptrdiff_t s[] = {KVR_STRIDE_LIST};
  alignas(256) KVR_MODULE_TYPE block[kvr_codec::module_size];
  kvr_codec::gather<KVR_MODULE_TYPE, KVR_MODULE_DIMS>(block, p, s);
  return KVR_ENTRY(kvr_encode_block_)(stream, block);
}

extern "C" size_t KVR_ENTRY(kvr_encode_partial_block_strided_)(const kvr_stream* stream,
                                                               const KVR_MODULE_TYPE* p,
                                                               KVR_EXTENTS, KVR_STRIDES)
{
  const size_t n[] = {KVR_EXTENT_LIST};
  const ptrdiff_t s[] = {KVR_STRIDE_LIST};
  alignas(256) KVR_MODULE_TYPE block[kvr_codec::module_size];
  kvr_codec::gather_partial<KVR_MODULE_TYPE, KVR_MODULE_DIMS>(block, p, n, s);
  return KVR_ENTRY(kvr_encode_block_)(stream, block);
}

#else

extern "C" size_t KVR_ENTRY(kvr_decode_block_)(const kvr_stream* stream, KVR_MODULE_TYPE* block)
{
  return kvr_codec::decode_module_block(stream, kvr_codec::to_block<KVR_MODULE_TYPE>{block});
}

extern "C" size_t KVR_ENTRY(kvr_decode_block_strided_)(const kvr_stream* stream,
                                                       KVR_MODULE_TYPE* p, KVR_STRIDES)
{
  const ptrdiff_t s[] = {KVR_STRIDE_LIST};
  return kvr_codec::decode_module_block(stream,
                                        kvr_codec::to_strided<KVR_MODULE_TYPE, KVR_MODULE_DIMS>{p, s});
}

extern "C" size_t KVR_ENTRY(kvr_decode_partial_block_strided_)(const kvr_stream* stream,
                                                               KVR_MODULE_TYPE* p,
                                                               KVR_EXTENTS, KVR_STRIDES)
{
  const size_t n[] = {KVR_EXTENT_LIST};
  const ptrdiff_t s[] = {KVR_STRIDE_LIST};
  alignas(256) KVR_MODULE_TYPE block[kvr_codec::module_size];
  size_t bits = KVR_ENTRY(kvr_decode_block_)(stream, block);
  kvr_codec::scatter_partial<KVR_MODULE_TYPE, KVR_MODULE_DIMS>(p, block, n, s);
  return bits;
}

#endif

#endif
