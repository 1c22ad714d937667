#include "array/codec_counter.hpp"

#include "kvr/kvr.h"

namespace counter {

calls& get()
{
  static calls c;
  return c;
}

void reset() { get() = calls(); }

} // namespace counter

namespace {

uint64_t write_pos(const kvr_stream* s)
{
  const bit_stream* b = s->stream;
  return 64 * uint64_t(b->cursor - b->begin) + b->bits;
}

uint64_t read_pos(const kvr_stream* s)
{
  const bit_stream* b = s->stream;
  return 64 * uint64_t(b->cursor - b->begin) - b->bits;
}

void on_encode(const kvr_stream* s)
{
  counter::calls& c = counter::get();
  c.encodes++;
  c.encode_bits.push_back(write_pos(s));
  c.sequence += 'E';
  if (c.watched)
    c.watched_at_call.push_back(*c.watched);
}

void on_decode(const kvr_stream* s)
{
  counter::calls& c = counter::get();
  c.decodes++;
  c.decode_bits.push_back(read_pos(s));
  c.sequence += 'D';
  if (c.watched)
    c.watched_at_call.push_back(*c.watched);
}

} // namespace

typedef ptrdiff_t pd;

#define WRAP(ret, name, hook, params, args)       \
  extern "C" ret __real_##name params;            \
  extern "C" ret __wrap_##name params;            \
  ret __wrap_##name params                        \
  {                                               \
    hook;                                         \
    return __real_##name args;                    \
  }

WRAP(size_t, kvr_encode_block_double_1, on_encode(z), (const kvr_stream* z, const double* p), (z, p))
WRAP(size_t, kvr_encode_block_strided_double_1, on_encode(z), (const kvr_stream* z, const double* p, pd a), (z, p, a))
WRAP(size_t, kvr_encode_partial_block_strided_double_1, on_encode(z),
     (const kvr_stream* z, const double* p, size_t n, pd a), (z, p, n, a))
WRAP(size_t, kvr_decode_block_double_1, on_decode(z), (const kvr_stream* z, double* p), (z, p))
WRAP(size_t, kvr_decode_block_strided_double_1, (on_decode(z), counter::get().strided_decodes++),
     (const kvr_stream* z, double* p, pd a), (z, p, a))
WRAP(size_t, kvr_decode_partial_block_strided_double_1, on_decode(z),
     (const kvr_stream* z, double* p, size_t n, pd a), (z, p, n, a))

WRAP(size_t, kvr_encode_block_double_2, on_encode(z), (const kvr_stream* z, const double* p), (z, p))
WRAP(size_t, kvr_encode_block_strided_double_2, on_encode(z), (const kvr_stream* z, const double* p, pd a, pd b),
     (z, p, a, b))
WRAP(size_t, kvr_encode_partial_block_strided_double_2, on_encode(z),
     (const kvr_stream* z, const double* p, size_t n, size_t m, pd a, pd b), (z, p, n, m, a, b))
WRAP(size_t, kvr_decode_block_double_2, on_decode(z), (const kvr_stream* z, double* p), (z, p))
WRAP(size_t, kvr_decode_block_strided_double_2, (on_decode(z), counter::get().strided_decodes++),
     (const kvr_stream* z, double* p, pd a, pd b), (z, p, a, b))
WRAP(size_t, kvr_decode_partial_block_strided_double_2, on_decode(z),
     (const kvr_stream* z, double* p, size_t n, size_t m, pd a, pd b), (z, p, n, m, a, b))

WRAP(size_t, kvr_encode_block_double_4, on_encode(z), (const kvr_stream* z, const double* p), (z, p))
WRAP(size_t, kvr_encode_block_strided_double_4, on_encode(z),
     (const kvr_stream* z, const double* p, pd a, pd b, pd c, pd d), (z, p, a, b, c, d))
WRAP(size_t, kvr_encode_partial_block_strided_double_4, on_encode(z),
     (const kvr_stream* z, const double* p, size_t n, size_t m, size_t o, size_t q, pd a, pd b, pd c, pd d),
     (z, p, n, m, o, q, a, b, c, d))
WRAP(size_t, kvr_decode_block_double_4, on_decode(z), (const kvr_stream* z, double* p), (z, p))
WRAP(size_t, kvr_decode_block_strided_double_4, (on_decode(z), counter::get().strided_decodes++),
     (const kvr_stream* z, double* p, pd a, pd b, pd c, pd d), (z, p, a, b, c, d))
WRAP(size_t, kvr_decode_partial_block_strided_double_4, on_decode(z),
     (const kvr_stream* z, double* p, size_t n, size_t m, size_t o, size_t q, pd a, pd b, pd c, pd d),
     (z, p, n, m, o, q, a, b, c, d))
