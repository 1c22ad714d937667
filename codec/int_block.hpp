// Integer blocks and the reversible integer coding shared with the
// floating-point blocks.
//
// Parameters: U (uint32_t for int32 and float, uint64_t for int64 and
// double) and D (1..4).  A reversible integer block is a precision field of
// F bits (p - 1; F = 5 or 6), the embedded code of exactly p planes, and
// zero bits up to the lower limit.
//
// Limits too small for the precision field (maxbits < F, only reachable
// with custom limits) code nothing: the block is just its padding and
// decodes as zeros.  So a block never takes more than max(minbits, maxbits)
// bits, and encoder and decoder agree.
#ifndef KVR_CODEC_INT_BLOCK_HPP
#define KVR_CODEC_INT_BLOCK_HPP

#include "codec/embedded_coder.hpp"
#include "core/format.hpp"

#include <type_traits>

namespace kvr_codec {
namespace {

template <typename U>
struct int_traits {
  static constexpr unsigned width = word_traits<U>::width;
  static constexpr uint32_t field_bits = kvr_format::precision_field_bits<U>;
};

// Lossy coding reads min_exp >= -1074; below that blocks are reversible.
constexpr int32_t lossy_min_exp = -1074;

template <unsigned D>
constexpr unsigned block_size = 1u << (2 * D);

// Takes the transformed block in block layout (it is consumed).
template <typename U, unsigned D>
inline uint32_t rev_encode_ints(bit_writer& out, int32_t minbits, uint32_t maxbits,
                                uint32_t maxprec, U* block)
{
  constexpr unsigned N = block_size<D>;
  constexpr unsigned W = int_traits<U>::width;
  constexpr uint32_t F = int_traits<U>::field_bits;
  uint32_t bits = 0;
  if (maxbits >= F) {
    alignas(256) U coded[N];
    forward_differences_block<U, D>(block);
    reorder<U, D>(block, coded);
    U any = 0;
    for (unsigned i = 0; i < N; i++)
      any |= coded[i];
    int32_t p = any ? int32_t(W - trailing_zeros(uint64_t(any))) : 0;
    if (p > int32_t(maxprec))
      p = int32_t(maxprec);
    if (p < 1)
      p = 1;
    out.put_bits(uint64_t(p - 1), F);
    bits = F + encode_ints<U, N>(out, maxbits - F, uint32_t(p), coded);
  }
  if (int32_t(bits) < minbits) {
    out.pad(uint32_t(minbits) - bits);
    bits = uint32_t(minbits);
  }
  return bits;
}

// Leaves the integers in block layout.
template <typename U, unsigned D>
inline uint32_t rev_decode_ints(bit_reader& in, int32_t minbits, uint32_t maxbits, U* block)
{
  constexpr unsigned N = block_size<D>;
  constexpr uint32_t F = int_traits<U>::field_bits;
  alignas(256) U coded[N];
  uint32_t bits = 0;
  if (maxbits >= F) {
    uint32_t p = uint32_t(in.get_bits(F)) + 1;
    bits = F + decode_ints<U, N>(in, maxbits - F, p, coded);
  }
  else {
    for (unsigned i = 0; i < N; i++)
      coded[i] = 0;
  }
  if (int32_t(bits) < minbits) {
    in.skip(uint32_t(minbits) - bits);
    bits = uint32_t(minbits);
  }
  inv_order<U, D>(coded, block);
  inverse_differences_block<U, D>(block);
  return bits;
}

template <typename I, unsigned D>
inline uint32_t encode_int_block(const kvr_stream* stream, const I* values)
{
  using U = typename std::make_unsigned<I>::type;
  constexpr unsigned N = block_size<D>;
  const uint32_t minbits = stream->min_bits;
  const uint32_t maxbits = stream->max_bits;
  const uint32_t maxprec = stream->max_prec;
  const int32_t minexp = stream->min_exp;
  bit_writer out(stream->stream);

  alignas(256) U block[N];
  for (unsigned i = 0; i < N; i++)
    block[i] = U(values[i]);

  uint32_t bits;
  if (minexp >= lossy_min_exp) {
    alignas(256) U coded[N];
    forward_lifting_block<U, D>(block);
    reorder<U, D>(block, coded);
    bits = encode_ints<U, N>(out, maxbits, maxprec, coded);
    if (int32_t(bits) < int32_t(minbits)) {
      out.pad(minbits - bits);
      bits = minbits;
    }
  }
  else
    bits = rev_encode_ints<U, D>(out, int32_t(minbits), maxbits, maxprec, block);
  out.store(stream->stream);
  return bits;
}

template <typename I, unsigned D, typename Out>
inline uint32_t decode_int_block(const kvr_stream* stream, const Out& values)
{
  using U = typename std::make_unsigned<I>::type;
  constexpr unsigned N = block_size<D>;
  const uint32_t minbits = stream->min_bits;
  const uint32_t maxbits = stream->max_bits;
  const uint32_t maxprec = stream->max_prec;
  const int32_t minexp = stream->min_exp;
  bit_reader in(stream->stream);

  alignas(256) U block[N];
  uint32_t bits;
  if (minexp >= lossy_min_exp) {
    alignas(256) U coded[N];
    bits = decode_ints<U, N>(in, maxbits, maxprec, coded);
    if (int32_t(bits) < int32_t(minbits)) {
      in.skip(minbits - bits);
      bits = minbits;
    }
    inv_order<U, D>(coded, block);
    inverse_lifting_block<U, D>(block);
  }
  else
    bits = rev_decode_ints<U, D>(in, int32_t(minbits), maxbits, block);
  in.store(stream->stream);
  values.template put<N>([&block](unsigned i) { return I(block[i]); });
  return bits;
}

} // namespace
} // namespace kvr_codec

#endif
