// Bit stream over a caller-owned buffer of 64-bit words, least significant
// bit first.  No operation checks the end of the buffer.
#include <kvr/kvr.h>

#include <cstdlib>

#include "core/word.hpp"

extern "C" const size_t stream_word_bits = 64;

namespace {

constexpr uint32_t wsize = 64;

// Low n bits of x, for n in 0..64, without shifting by the word size.
inline uint64_t low_bits(uint64_t x, uint32_t n)
{
  return n >= wsize ? x : x & ((uint64_t(1) << n) - 1);
}

using kvr_word::load_word;
using kvr_word::store_word;

} // namespace

extern "C" {

bit_stream* stream_open(void* buffer, size_t bytes)
{
  bit_stream* s = static_cast<bit_stream*>(std::malloc(sizeof(bit_stream)));
  if (s) {
    s->bits = 0;
    s->buffer = 0;
    s->begin = static_cast<uint64_t*>(buffer);
    s->cursor = s->begin;
    s->end = s->begin + bytes / sizeof(uint64_t);
  }
  return s;
}

void stream_close(bit_stream* s)
{
  std::free(s);
}

bit_stream* stream_clone(const bit_stream* s)
{
  bit_stream* c = static_cast<bit_stream*>(std::malloc(sizeof(bit_stream)));
  if (c)
    *c = *s;
  return c;
}

size_t stream_alignment(void)
{
  return wsize;
}

uint32_t stream_words_per_store(void)
{
  return 1;
}

int64_t stream_bit_bias(void)
{
  return 0;
}

void* stream_data(const bit_stream* s)
{
  return s->begin;
}

size_t stream_size(const bit_stream* s)
{
  return sizeof(uint64_t) * size_t(s->cursor - s->begin);
}

size_t stream_capacity(const bit_stream* s)
{
  return sizeof(uint64_t) * size_t(s->end - s->begin);
}

uint32_t stream_read_bit(bit_stream* s)
{
  if (!s->bits) {
    s->buffer = load_word(s->cursor++);
    s->bits = wsize;
  }
  s->bits--;
  uint32_t bit = uint32_t(s->buffer & 1u);
  s->buffer >>= 1;
  return bit;
}

uint32_t stream_write_bit(bit_stream* s, uint32_t bit)
{
  s->buffer += uint64_t(bit) << s->bits;
  if (++s->bits == wsize) {
    store_word(s->cursor++, s->buffer);
    s->buffer = 0;
    s->bits = 0;
  }
  return bit;
}

uint64_t stream_read_bits(bit_stream* s, uint32_t n)
{
  uint64_t value = s->buffer;
  if (s->bits < n) {
    // Exactly one word is fetched; its low bits complete the value.
    uint64_t w = load_word(s->cursor++);
    value += w << s->bits;
    s->bits += wsize - n;
    s->buffer = s->bits ? w >> (wsize - s->bits) : 0;
  }
  else {
    s->bits -= n;
    s->buffer = n >= wsize ? 0 : s->buffer >> n;
  }
  return low_bits(value, n);
}

uint64_t stream_write_bits(bit_stream* s, uint64_t value, uint32_t n)
{
  s->buffer += value << s->bits;
  uint32_t b = s->bits + n;
  if (b >= wsize) {
    store_word(s->cursor++, s->buffer);
    s->buffer = s->bits ? value >> (wsize - s->bits) : 0;
    b -= wsize;
  }
  s->buffer = low_bits(s->buffer, b);
  s->bits = b;
  return n >= wsize ? 0 : value >> n;
}

uint64_t stream_read_offset(const bit_stream* s)
{
  return wsize * uint64_t(s->cursor - s->begin) - s->bits;
}

uint64_t stream_write_offset(const bit_stream* s)
{
  return wsize * uint64_t(s->cursor - s->begin) + s->bits;
}

void stream_rewind(bit_stream* s)
{
  s->cursor = s->begin;
  s->buffer = 0;
  s->bits = 0;
}

void stream_set_read_offset(bit_stream* s, uint64_t offset)
{
  uint32_t k = uint32_t(offset % wsize);
  s->cursor = s->begin + offset / wsize;
  if (k) {
    s->buffer = load_word(s->cursor++) >> k;
    s->bits = wsize - k;
  }
  else {
    s->buffer = 0;
    s->bits = 0;
  }
}

void stream_set_write_offset(bit_stream* s, uint64_t offset)
{
  uint32_t k = uint32_t(offset % wsize);
  s->cursor = s->begin + offset / wsize;
  s->bits = k;
  s->buffer = k ? low_bits(load_word(s->cursor), k) : 0;
}

void stream_skip(bit_stream* s, uint32_t n)
{
  stream_set_read_offset(s, stream_read_offset(s) + n);
}

void stream_pad(bit_stream* s, uint32_t n)
{
  uint64_t b = uint64_t(s->bits) + n;
  if (b >= wsize) {
    store_word(s->cursor++, s->buffer);
    for (b -= wsize; b >= wsize; b -= wsize)
      store_word(s->cursor++, 0);
    s->buffer = 0;
  }
  s->bits = uint32_t(b);
}

uint32_t stream_align(bit_stream* s)
{
  uint32_t n = s->bits;
  if (n)
    stream_skip(s, n);
  return n;
}

uint32_t stream_flush(bit_stream* s)
{
  uint32_t p = (wsize - s->bits) % wsize;
  if (p)
    stream_pad(s, p);
  return p;
}

void stream_copy(bit_stream* dst, bit_stream* src, uint64_t n)
{
  for (; n > wsize; n -= wsize)
    stream_write_bits(dst, stream_read_bits(src, wsize), wsize);
  if (n) {
    uint32_t m = uint32_t(n);
    stream_write_bits(dst, stream_read_bits(src, m), m);
  }
}

} // extern "C"
