// Internal constants and the classification of stream limits, shared by the
// core's sources.
#ifndef KVR_CORE_LIMITS_HPP
#define KVR_CORE_LIMITS_HPP

#include <kvr/kvr.h>

namespace kvr {
namespace core {

// Range of min_exp that the long mode word carries.
constexpr int32_t smallest_min_exp = -16495;
constexpr int32_t largest_min_exp = 16272;

// Whether a reader that takes its limits from the mode word `word` codes
// every block of every type as the limits of `s` do.
bool mode_word_codes_alike(const kvr_stream* s, uint64_t word);

// The mode of a set of limits; the tests run in this order and the first
// that applies decides.
inline kvr_mode classify(uint32_t min_bits, uint32_t max_bits, uint32_t max_prec, int32_t min_exp)
{
  if (min_bits > max_bits)
    return kvr_mode_null;
  if (max_prec == 0 || max_prec > KVR_MAX_PREC)
    return kvr_mode_null;
  if (min_bits == KVR_MIN_BITS && max_bits == KVR_MAX_BITS && max_prec == KVR_MAX_PREC && min_exp == KVR_MIN_EXP)
    return kvr_mode_custom;
  if (min_bits == max_bits && max_bits >= 1 && max_bits <= KVR_MAX_BITS && max_prec == KVR_MAX_PREC && min_exp == KVR_MIN_EXP)
    return kvr_mode_fixed_rate;
  if (min_bits > 1)
    return kvr_mode_custom;
  if (max_bits < KVR_MAX_BITS)
    return kvr_mode_custom;
  if (min_exp == KVR_MIN_EXP)
    return kvr_mode_fixed_precision;
  if (max_prec < KVR_MAX_PREC)
    return kvr_mode_custom;
  if (min_exp < KVR_MIN_EXP)
    return kvr_mode_reversible;
  return kvr_mode_fixed_accuracy;
}

} // namespace core
} // namespace kvr

#endif
