// Constants of the stream and block formats, the one definition that the
// core and the codec modules both use.  Everything here is a compile-time
// constant: a codec module that includes this header gains no symbol.
#ifndef KVR_CORE_FORMAT_HPP
#define KVR_CORE_FORMAT_HPP

#include <stdint.h>

namespace kvr_format {

// Stream header: magic characters and codec version, field metadata, and
// the mode word, short or long.  A short word is at most 4094; the long
// form announces itself by 12 bits all set.
constexpr uint32_t codec_version = 5;
constexpr uint32_t magic_bits = 32;
constexpr uint32_t meta_bits = 52;
constexpr uint32_t short_mode_bits = 12;
constexpr uint32_t long_mode_bits = 64;
constexpr uint64_t long_mode_tag = 4095;
constexpr uint32_t max_header_bits = magic_bits + meta_bits + long_mode_bits;

// Blocks.  T is the value type (float, double) or the unsigned integer a
// block is coded in (uint32_t, uint64_t).
//
// The biased block exponent of a float or double block takes the width of
// the type's own exponent field, so every exponent of the type fits.
template <typename T>
constexpr uint32_t exponent_bits = sizeof(T) == 4 ? 8 : 11;

// A reversible block's precision field holds p - 1 for p = 1..32 or 1..64.
template <typename U>
constexpr uint32_t precision_field_bits = sizeof(U) == 4 ? 5 : 6;

// Lossy float or double block: the flag 1 and the biased exponent.
template <typename T>
constexpr uint32_t lossy_header_bits = 1 + exponent_bits<T>;

// Exact reversible float or double block: the flags 1, 0 and the biased
// exponent (a raw block has just its flags 1, 1).
template <typename T>
constexpr uint32_t exact_header_bits = 2 + exponent_bits<T>;

// The most bits a block of each kvr_type (1 int32, 2 int64, 3 float,
// 4 double; index type - 1) spends before its coefficient planes, lossy
// and reversible: an integer block has no header, a reversible integer
// block its precision field, an exact float block both.
constexpr uint32_t lossy_block_header_bits[4] = {0, 0, lossy_header_bits<float>,
                                                 lossy_header_bits<double>};
constexpr uint32_t reversible_block_header_bits[4] = {
    precision_field_bits<uint32_t>, precision_field_bits<uint64_t>,
    exact_header_bits<float> + precision_field_bits<uint32_t>,
    exact_header_bits<double> + precision_field_bits<uint64_t>};

} // namespace kvr_format

#endif
