// Compressed stream records: limits, configurations, modes, execution.
#include <kvr/kvr.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "core/format.hpp"
#include "core/limits.hpp"

extern "C" {

kvr_stream* kvr_stream_open(bit_stream* bs)
{
  kvr_stream* s = static_cast<kvr_stream*>(std::malloc(sizeof(kvr_stream)));
  if (s) {
    s->min_bits = KVR_MIN_BITS;
    s->max_bits = KVR_MAX_BITS;
    s->max_prec = KVR_MAX_PREC;
    s->min_exp = KVR_MIN_EXP;
    s->stream = bs;
    s->execution.policy = kvr_exec_serial;
    s->execution.param1 = 0;
    s->execution.param2 = 0;
  }
  return s;
}

void kvr_stream_close(kvr_stream* stream)
{
  std::free(stream);
}

bit_stream* kvr_stream_bit_stream(const kvr_stream* stream)
{
  return stream->stream;
}

void kvr_stream_set_bit_stream(kvr_stream* stream, bit_stream* bs)
{
  stream->stream = bs;
}

size_t kvr_stream_compressed_size(const kvr_stream* stream)
{
  return stream_size(stream->stream);
}

uint32_t kvr_stream_flush(kvr_stream* stream)
{
  return stream_flush(stream->stream);
}

uint32_t kvr_stream_align(kvr_stream* stream)
{
  return stream_align(stream->stream);
}

void kvr_stream_rewind(kvr_stream* stream)
{
  stream_rewind(stream->stream);
}

kvr_config kvr_config_none(void)
{
  kvr_config c;
  c.mode = kvr_mode_null;
  return c;
}

kvr_config kvr_config_rate(double rate, int align)
{
  kvr_config c;
  c.mode = kvr_mode_fixed_rate;
  c.arg.rate = align ? -rate : rate;
  return c;
}

kvr_config kvr_config_precision(uint32_t precision)
{
  kvr_config c;
  c.mode = kvr_mode_fixed_precision;
  c.arg.precision = precision;
  return c;
}

kvr_config kvr_config_accuracy(double tolerance)
{
  kvr_config c;
  c.mode = kvr_mode_fixed_accuracy;
  c.arg.tolerance = tolerance;
  return c;
}

kvr_config kvr_config_reversible(void)
{
  kvr_config c;
  c.mode = kvr_mode_reversible;
  return c;
}

kvr_config kvr_config_custom(uint32_t min_bits, uint32_t max_bits, uint32_t max_prec, int32_t min_exp)
{
  kvr_config c;
  c.mode = kvr_mode_custom;
  c.arg.custom.min_bits = min_bits;
  c.arg.custom.max_bits = max_bits;
  c.arg.custom.max_prec = max_prec;
  c.arg.custom.min_exp = min_exp;
  return c;
}

double kvr_stream_set_rate(kvr_stream* stream, double rate, kvr_type type, uint32_t dims, int align)
{
  // Blocks have 4^dims values: 1 for dims 0 (the array headers ask for
  // it), none above 4 dimensions.
  if (dims > 4)
    return 0.0;
  const uint32_t n = uint32_t(1) << (2 * dims);
  // A block's header, which the setter never goes below, and the largest
  // block the codec pads to: it completes a block by comparing min_bits
  // less the header with the code's length as signed 32-bit values.
  uint32_t header = 0;
  if (type == kvr_type_float || type == kvr_type_double)
    header = kvr_format::lossy_block_header_bits[type - 1];
  const uint32_t largest = uint32_t(INT32_MAX) + header;
  // Saturating conversion: NaN and negative results give 0.
  double x = std::floor(double(n) * rate + 0.5);
  uint32_t bits = !(x > 0) ? 0 : x >= double(largest) ? largest : uint32_t(x);
  if (bits < header)
    bits = header;
  if (align) {
    // Round up to whole words, down where that would pass the largest.
    const uint32_t w = uint32_t(stream_word_bits);
    uint64_t b = (uint64_t(bits) + w - 1) / w * w;
    bits = b > largest ? largest / w * w : uint32_t(b);
  }
  stream->min_bits = bits;
  stream->max_bits = bits;
  stream->max_prec = KVR_MAX_PREC;
  stream->min_exp = KVR_MIN_EXP;
  return double(bits) / double(n);
}

uint32_t kvr_stream_set_precision(kvr_stream* stream, uint32_t precision)
{
  uint32_t p = precision >= 1 && precision < KVR_MAX_PREC ? precision : KVR_MAX_PREC;
  stream->min_bits = KVR_MIN_BITS;
  stream->max_bits = KVR_MAX_BITS;
  stream->max_prec = p;
  stream->min_exp = KVR_MIN_EXP;
  return p;
}

double kvr_stream_set_accuracy(kvr_stream* stream, double tolerance)
{
  int32_t e = KVR_MIN_EXP;
  double result = 0.0;
  if (tolerance > 0) {
    int exp;
    std::frexp(tolerance, &exp);
    // frexp leaves the exponent unspecified for an infinite tolerance;
    // such a tolerance asks for the largest error a stream can record.
    e = std::isfinite(tolerance) ? int32_t(exp - 1) : kvr::core::largest_min_exp;
    result = std::ldexp(1.0, e);
  }
  stream->min_bits = KVR_MIN_BITS;
  stream->max_bits = KVR_MAX_BITS;
  stream->max_prec = KVR_MAX_PREC;
  stream->min_exp = e;
  return result;
}

void kvr_stream_set_reversible(kvr_stream* stream)
{
  stream->min_bits = KVR_MIN_BITS;
  stream->max_bits = KVR_MAX_BITS;
  stream->max_prec = KVR_MAX_PREC;
  stream->min_exp = KVR_MIN_EXP - 1;
}

int kvr_stream_set_params(kvr_stream* stream, uint32_t min_bits, uint32_t max_bits, uint32_t max_prec, int32_t min_exp)
{
  if (min_bits > max_bits || max_prec < 1 || max_prec > KVR_MAX_PREC)
    return 0;
  stream->min_bits = min_bits;
  stream->max_bits = max_bits;
  stream->max_prec = max_prec;
  stream->min_exp = min_exp;
  return 1;
}

kvr_mode kvr_stream_compression_mode(const kvr_stream* stream)
{
  return kvr::core::classify(stream->min_bits, stream->max_bits, stream->max_prec, stream->min_exp);
}

double kvr_stream_rate(const kvr_stream* stream, uint32_t dims)
{
  if (dims > 4 || kvr_stream_compression_mode(stream) != kvr_mode_fixed_rate)
    return 0.0;
  return double(stream->min_bits) / double(uint32_t(1) << (2 * dims));
}

uint32_t kvr_stream_precision(const kvr_stream* stream)
{
  return kvr_stream_compression_mode(stream) == kvr_mode_fixed_precision ? stream->max_prec : 0;
}

double kvr_stream_accuracy(const kvr_stream* stream)
{
  return kvr_stream_compression_mode(stream) == kvr_mode_fixed_accuracy
           ? std::ldexp(1.0, stream->min_exp)
           : 0.0;
}

void kvr_stream_params(const kvr_stream* stream, uint32_t* min_bits, uint32_t* max_bits, uint32_t* max_prec, int32_t* min_exp)
{
  if (min_bits)
    *min_bits = stream->min_bits;
  if (max_bits)
    *max_bits = stream->max_bits;
  if (max_prec)
    *max_prec = stream->max_prec;
  if (min_exp)
    *min_exp = stream->min_exp;
}

kvr_exec_policy kvr_stream_execution(const kvr_stream* stream)
{
  return stream->execution.policy;
}

uint32_t kvr_stream_execution_param1(const kvr_stream* stream)
{
  return stream->execution.param1;
}

uint32_t kvr_stream_execution_param2(const kvr_stream* stream)
{
  return stream->execution.param2;
}

int kvr_stream_set_execution(kvr_stream* stream, kvr_exec_policy policy)
{
  if (policy != kvr_exec_serial)
    return 0;
  stream->execution.policy = policy;
  return 1;
}

int kvr_stream_set_execution_param1(kvr_stream*, uint32_t)
{
  return 0;
}

int kvr_stream_set_execution_param2(kvr_stream*, uint32_t)
{
  return 0;
}

} // extern "C"
