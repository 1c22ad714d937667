// The packed mode word and the maximum compressed size.
#include <kvr/kvr.h>

#include <cstdint>

#include "core/format.hpp"
#include "core/limits.hpp"

namespace {

// Short codes.
constexpr uint64_t rate_codes = 2048;            // 0..2047: bits per block - 1
constexpr uint64_t precision_base = 2047;        // 2048..2111: 2047 + max_prec
constexpr uint64_t rejected_first = 2112;        // 2112..2175: precision above 64
constexpr uint64_t rejected_last = 2175;
constexpr uint64_t reversible_code = 2176;
constexpr int64_t accuracy_base = 3251;          // 2177..4094: min_exp + 3251
constexpr uint64_t largest_short = kvr_format::long_mode_tag - 1;
constexpr int32_t largest_short_min_exp = 843;

constexpr uint64_t clamp(uint64_t x, uint64_t lo, uint64_t hi)
{
  return x < lo ? lo : x > hi ? hi : x;
}

// Lossy float and double blocks code no plane once min_exp is above the
// largest block exponent (1024) plus the largest precision offset 2(4 + 1).
constexpr int32_t no_plane_min_exp = 1024 + 10 + 1;
// The widest precision field of a reversible integer block.
constexpr uint32_t widest_precision_field = kvr_format::precision_field_bits<uint64_t>;

struct coding {
  uint32_t min_bits, max_bits, max_prec;
  int32_t min_exp;
  bool operator==(const coding& o) const
  {
    return min_bits == o.min_bits && max_bits == o.max_bits && max_prec == o.max_prec &&
           min_exp == o.min_exp;
  }
};

// The limits reduced to what changes the bits of some block: two sets of
// valid limits with equal reductions code every block of every type alike.
coding reduced(const kvr_stream* s)
{
  const bool reversible = s->min_exp < KVR_MIN_EXP;
  coding c = {s->min_bits, s->max_bits, s->max_prec, s->min_exp};
  // No block's code is longer than 16658 bits, so no larger budget binds.
  if (c.max_bits > KVR_MAX_BITS)
    c.max_bits = KVR_MAX_BITS;
  // min_bits 0 and 1 pad alike once every block takes a bit: lossy blocks
  // do whenever max_bits allows one, reversible integer blocks when it
  // leaves room for their precision field (below, they are only padding).
  if (c.min_bits == 0 && c.max_bits >= (reversible ? widest_precision_field : 1))
    c.min_bits = 1;
  // Reversible coding reads min_exp only to be selected; integer blocks
  // read it for nothing else either.
  if (reversible)
    c.min_exp = KVR_MIN_EXP - 1;
  else if (c.min_exp > no_plane_min_exp)
    c.min_exp = no_plane_min_exp;
  return c;
}

} // namespace

bool kvr::core::mode_word_codes_alike(const kvr_stream* s, uint64_t word)
{
  if (kvr_stream_compression_mode(s) == kvr_mode_null)
    return false;
  kvr_stream r = *s;
  return kvr_stream_set_mode(&r, word) != kvr_mode_null && reduced(&r) == reduced(s);
}

extern "C" {

uint64_t kvr_stream_mode(const kvr_stream* s)
{
  switch (kvr_stream_compression_mode(s)) {
    case kvr_mode_fixed_rate:
      if (s->min_bits <= rate_codes)
        return s->min_bits - 1;
      break;
    case kvr_mode_fixed_precision:
      return precision_base + s->max_prec;
    case kvr_mode_reversible:
      return reversible_code;
    case kvr_mode_fixed_accuracy:
      if (s->min_exp <= largest_short_min_exp)
        return uint64_t(int64_t(s->min_exp) + accuracy_base);
      break;
    default:
      break;
  }
  // Long form: 12-bit tag, then min_bits - 1, max_bits - 1 (15 bits each),
  // max_prec - 1 (7 bits) and min_exp + 16495 (15 bits).
  uint64_t minbits = clamp(s->min_bits, 1, 0x8000) - 1;
  uint64_t maxbits = clamp(s->max_bits, 1, 0x8000) - 1;
  uint64_t maxprec = clamp(s->max_prec, 1, 0x80) - 1;
  int32_t e = s->min_exp < kvr::core::smallest_min_exp ? kvr::core::smallest_min_exp
            : s->min_exp > kvr::core::largest_min_exp ? kvr::core::largest_min_exp
            : s->min_exp;
  uint64_t minexp = uint64_t(int64_t(e) - kvr::core::smallest_min_exp);
  return kvr_format::long_mode_tag | (minbits << 12) | (maxbits << 27) | (maxprec << 42) | (minexp << 49);
}

kvr_mode kvr_stream_set_mode(kvr_stream* s, uint64_t mode)
{
  uint32_t minbits, maxbits, maxprec;
  int32_t minexp;
  if (mode <= largest_short) {
    minbits = 1;
    maxbits = KVR_MAX_BITS;
    maxprec = KVR_MAX_PREC;
    minexp = KVR_MIN_EXP;
    if (mode < rate_codes)
      minbits = maxbits = uint32_t(mode) + 1;
    else if (mode < rejected_first)
      maxprec = uint32_t(mode - precision_base);
    else if (mode <= rejected_last)
      return kvr_mode_null;
    else if (mode == reversible_code)
      minexp = KVR_MIN_EXP - 1;
    else
      minexp = int32_t(int64_t(mode) - accuracy_base);
  }
  else {
    minbits = uint32_t((mode >> 12) & 0x7fffu) + 1;
    maxbits = uint32_t((mode >> 27) & 0x7fffu) + 1;
    maxprec = uint32_t((mode >> 42) & 0x7fu) + 1;
    minexp = int32_t((mode >> 49) & 0x7fffu) + kvr::core::smallest_min_exp;
    if (minbits > maxbits || maxprec > KVR_MAX_PREC)
      return kvr_mode_null;
  }
  s->min_bits = minbits;
  s->max_bits = maxbits;
  s->max_prec = maxprec;
  s->min_exp = minexp;
  return kvr_stream_compression_mode(s);
}

size_t kvr_stream_maximum_size(const kvr_stream* s, const kvr_field* field)
{
  const uint32_t d = kvr_field_dimensionality(field);
  const kvr_type type = field->type;
  if (!d || type < kvr_type_int32 || type > kvr_type_double)
    return 0;
  const size_t n[4] = {field->nx, field->ny, field->nz, field->nw};
  uint64_t blocks = 1;
  for (size_t x : n)
    if (x && __builtin_mul_overflow(blocks, uint64_t(x / 4 + (x % 4 != 0)), &blocks))
      return 0;
  const bool rev = s->min_exp < KVR_MIN_EXP;
  const uint32_t header = rev ? kvr_format::reversible_block_header_bits[type - 1]
                              : kvr_format::lossy_block_header_bits[type - 1];
  const uint64_t values = uint64_t(1) << (2 * d);
  // A reversible block carries its own precision field, which the decoder
  // follows whatever max_prec says: a block of foreign bytes may hold every
  // plane of the type.
  const uint32_t type_prec = kvr_field_precision(field);
  const uint64_t prec = !rev && s->max_prec < type_prec ? s->max_prec : type_prec;
  uint64_t bits = header + (values - 1) + prec * values;
  // The codec never writes or reads more than max(min_bits, max_bits) bits
  // of a block, also when max_bits leaves no room for the block's header
  // (such a block is empty).
  if (bits > s->max_bits)
    bits = s->max_bits;
  if (bits < s->min_bits)
    bits = s->min_bits;
  // A size beyond 64 bits (or size_t) has no buffer: 0, as for no field.
  const uint64_t w = stream_word_bits;
  uint64_t total;
  if (__builtin_mul_overflow(blocks, bits, &total) ||
      __builtin_add_overflow(total, uint64_t(kvr_format::max_header_bits + w - 1), &total))
    return 0;
  const uint64_t bytes = total / w * (w / 8);
  return bytes > SIZE_MAX ? 0 : size_t(bytes);
}

} // extern "C"
