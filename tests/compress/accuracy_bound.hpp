// The error that fixed accuracy leaves in a float or double block.
//
// A lossy block holds its values as integers in steps of u = 2^(e - P)
// (P = 30 for float, 62 for double; e the block exponent, raised to -119 or
// -1012 for tiny blocks, so u is never below the smallest subnormal) and
// codes the transformed integers down to the plane of weight T / 4^d.  When
// T >= 4^d u some planes are dropped and every value stays within T.  Below
// that every plane is coded, and what is left is the transform's rounding
// (-2..+1, -9..+7, -34..+32 and -128..+125 steps for d = 1..4) plus the
// rounding of the reconstructed integer to the value type, which can turn
// an error just past half a spacing, or a tie, into a whole spacing:
// together 4^d u, reached for both types and every d but 4-D float, whose
// spacing below 2^e is at most 64 steps, so that it keeps 128 steps.  One
// case breaks the rule:
// d = 1 with T = 2^(e + 1) keeps three planes, and the reconstructed integer
// can wrap around its word; the error then stays below 3 * 2^e = 1.5 T, as
// |v| < 2^e and the word holds no more than 2^(e + 1).
#ifndef KVR_TESTS_ACCURACY_BOUND_HPP
#define KVR_TESTS_ACCURACY_BOUND_HPP

#include <kvr/kvr.h>

#include <cfloat>
#include <cmath>

namespace kvr_test {

// The block codec of float or double by dimensionality, and the constants
// of its lossy blocks: P, the significand's bits, the raised block
// exponent of tiny blocks, the largest block exponent and the exponent of
// the smallest subnormal.
template <typename T> struct block_codec;
template <> struct block_codec<float> {
  static constexpr kvr_type type = kvr_type_float;
  static constexpr int P = 30, p = 24, lowest = -119, emax = 128, sub = -149;
  static constexpr size_t (*enc[4])(const kvr_stream*, const float*) = {
    kvr_encode_block_float_1, kvr_encode_block_float_2, kvr_encode_block_float_3, kvr_encode_block_float_4};
  static constexpr size_t (*dec[4])(const kvr_stream*, float*) = {
    kvr_decode_block_float_1, kvr_decode_block_float_2, kvr_decode_block_float_3, kvr_decode_block_float_4};
  static const char* name() { return "float"; }
};
template <> struct block_codec<double> {
  static constexpr kvr_type type = kvr_type_double;
  static constexpr int P = 62, p = 53, lowest = -1012, emax = 1024, sub = -1074;
  static constexpr size_t (*enc[4])(const kvr_stream*, const double*) = {
    kvr_encode_block_double_1, kvr_encode_block_double_2, kvr_encode_block_double_3, kvr_encode_block_double_4};
  static constexpr size_t (*dec[4])(const kvr_stream*, double*) = {
    kvr_decode_block_double_1, kvr_decode_block_double_2, kvr_decode_block_double_3, kvr_decode_block_double_4};
  static const char* name() { return "double"; }
};

// accuracy_exponent: the block exponent of a block of `type`
// (kvr_type_float or kvr_type_double) whose largest magnitude is
// max_magnitude: its frexp exponent (128 or 1024 for an infinity), at least
// -119 (float) or -1012 (double); the lowest for 0.  Does not check type.
inline int accuracy_exponent(kvr_type type, double max_magnitude)
{
  const bool single = type == kvr_type_float;
  const int lowest = single ? -119 : -1012;
  int e = lowest;
  if (!std::isfinite(max_magnitude))
    e = single ? 128 : 1024;
  else if (max_magnitude > 0)
    std::frexp(max_magnitude, &e);
  return e < lowest ? lowest : e;
}

// accuracy_resolution: 4^dims * 2^(e - P) with e = accuracy_exponent, the
// error a block of 4^dims values may have however small the tolerance
// (half of it for 4-D float, whose spacing below 2^e is at most 64 steps and
// whose integer error is at most 128); 0.0 for a max_magnitude of 0.  Does
// not check type or dims.
inline double accuracy_resolution(kvr_type type, unsigned dims, double max_magnitude)
{
  if (!(max_magnitude > 0))
    return 0.0;
  const bool single = type == kvr_type_float;
  const int P = single ? 30 : 62;
  const int steps = single && dims == 4 ? 7 : 2 * int(dims);
  return std::ldexp(1.0, accuracy_exponent(type, max_magnitude) - P + steps);
}

// accuracy_bound: the largest |v - v'| fixed accuracy leaves in such a
// block under the tolerance in force `tolerance` (kvr_stream_accuracy):
// max(tolerance, accuracy_resolution), or 1.5 * tolerance for dims 1 and a
// tolerance of exactly 2^(e + 1).  It holds for blocks of finite values
// while accuracy_bound_in_range; past that a value may decode as an
// infinity.
inline double accuracy_bound(kvr_type type, unsigned dims, double tolerance, double max_magnitude)
{
  if (dims == 1 && max_magnitude > 0 &&
      tolerance == std::ldexp(1.0, accuracy_exponent(type, max_magnitude) + 1))
    return 1.5 * tolerance;
  const double r = accuracy_resolution(type, dims, max_magnitude);
  return tolerance > r ? tolerance : r;
}

// accuracy_bound_in_range: whether max_magnitude + accuracy_bound stays at
// or below the type's largest finite value, where no value of the block
// can decode as an infinity.
inline bool accuracy_bound_in_range(kvr_type type, unsigned dims, double tolerance,
                                    double max_magnitude)
{
  const double top = type == kvr_type_float ? double(FLT_MAX) : DBL_MAX;
  return accuracy_bound(type, dims, tolerance, max_magnitude) <= top - max_magnitude;
}

} // namespace kvr_test

#endif
