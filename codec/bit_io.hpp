// Word-buffered bit input and output on the fields of a bit_stream.
//
// The codec never calls the bit-stream functions: a block is coded with a
// writer or reader that copies bits/buffer/cursor into locals, works on
// them, and stores them back once at the end of the block.  The semantics
// are exactly those of the stream's own bit operations (least significant
// bit first, one word stored or fetched at a time).
#ifndef KVR_CODEC_BIT_IO_HPP
#define KVR_CODEC_BIT_IO_HPP

#include <kvr/kvr.h>
#include <stdint.h>

#include "core/word.hpp"

namespace kvr_codec {
namespace {

// Low n bits set, n = 0..64.
constexpr uint64_t low_mask(uint32_t n)
{
  return n >= 64 ? ~uint64_t(0) : (uint64_t(1) << n) - 1;
}

// Byte swap and count of trailing zeros: compiler builtins where there are
// some (GCC and Clang, every target), else the portable forms, which the
// tests check against the builtins.
inline uint64_t byte_swap_portable(uint64_t x)
{
  x = ((x >> 8) & 0x00ff00ff00ff00ffu) | ((x & 0x00ff00ff00ff00ffu) << 8);
  x = ((x >> 16) & 0x0000ffff0000ffffu) | ((x & 0x0000ffff0000ffffu) << 16);
  return (x >> 32) | (x << 32);
}

inline unsigned trailing_zeros_portable(uint64_t x) // x != 0
{
  unsigned n = 0;
  while (!(x & 1)) {
    x >>= 1;
    n++;
  }
  return n;
}

inline uint64_t byte_swap(uint64_t x)
{
#if defined(__GNUC__)
  return __builtin_bswap64(x);
#else
  return byte_swap_portable(x);
#endif
}

inline unsigned trailing_zeros(uint64_t x) // x != 0
{
#if defined(__GNUC__)
  return unsigned(__builtin_ctzll(x));
#else
  return trailing_zeros_portable(x);
#endif
}

// Bits 0, 4, 8, ..., 60 of x as bits 0..15.
inline uint64_t every_fourth_bit(uint64_t x)
{
  x &= 0x1111111111111111u;
  x = (x | (x >> 3)) & 0x0303030303030303u;
  x = (x | (x >> 6)) & 0x000f000f000f000fu;
  x = (x | (x >> 12)) & 0x000000ff000000ffu;
  return (x | (x >> 24)) & 0xffffu;
}

using kvr_word::load_word;
using kvr_word::store_word;

struct bit_writer {
  uint32_t bits;
  uint64_t buffer;
  uint64_t* cursor;
  uint64_t* const start;     // cursor and bits at the start of the block,
  const uint32_t start_bits; // for counting what was written

  explicit bit_writer(bit_stream* s)
    : bits(s->bits), buffer(s->buffer), cursor(s->cursor), start(s->cursor),
      start_bits(s->bits) {}
  // Member by member: Clang copies the record with a call to memcpy when
  // it does not optimise, and the modules may not call it.
  bit_writer(const bit_writer& w)
    : bits(w.bits), buffer(w.buffer), cursor(w.cursor), start(w.start),
      start_bits(w.start_bits) {}

  void store(bit_stream* s) const
  {
    s->bits = bits;
    s->buffer = buffer;
    s->cursor = cursor;
  }

  // Takes the position of a copy.  Coding loops work on a local copy: the
  // words stored through the cursor could alias a writer in memory, which
  // would keep the compiler from holding it in registers.
  void take(const bit_writer& w)
  {
    bits = w.bits;
    buffer = w.buffer;
    cursor = w.cursor;
  }

  // Bits written since construction.
  uint32_t written() const
  {
    return uint32_t(uint64_t(cursor - start) * 64 + bits - start_bits);
  }

  void put_bit(uint64_t bit)
  {
    buffer += bit << bits;
    if (++bits == 64) {
      store_word(cursor++, buffer);
      buffer = 0;
      bits = 0;
    }
  }

  // Appends the low n bits (0..64) of value; higher bits of value are
  // ignored.
  void put_bits(uint64_t value, uint32_t n)
  {
    buffer += value << bits;
    uint32_t b = bits + n;
    if (b >= 64) {
      store_word(cursor++, buffer);
      buffer = bits ? value >> (64 - bits) : 0;
      b -= 64;
    }
    buffer &= (uint64_t(1) << b) - 1;
    bits = b;
  }

  // Appends n zero bits.
  void pad(uint32_t n)
  {
    uint64_t b = uint64_t(bits) + n;
    if (b < 64) {
      bits = uint32_t(b);
      return;
    }
    store_word(cursor++, buffer);
    buffer = 0;
    for (b -= 64; b >= 64; b -= 64)
      store_word(cursor++, 0);
    bits = uint32_t(b);
  }
};

struct bit_reader {
  uint32_t bits;
  uint64_t buffer;
  uint64_t* cursor;
  uint64_t* const begin;
  const uint64_t* const start;
  const uint32_t start_bits;

  explicit bit_reader(bit_stream* s)
    : bits(s->bits), buffer(s->buffer), cursor(s->cursor), begin(s->begin),
      start(s->cursor), start_bits(s->bits) {}

  void store(bit_stream* s) const
  {
    s->bits = bits;
    s->buffer = buffer;
    s->cursor = cursor;
  }

  // Takes the position of a local copy, as the writer's take.
  void take(const bit_reader& r)
  {
    bits = r.bits;
    buffer = r.buffer;
    cursor = r.cursor;
  }

  // Bits consumed since construction.
  uint32_t consumed() const
  {
    return uint32_t(uint64_t(cursor - start) * 64 + start_bits - bits);
  }

  uint64_t get_bit()
  {
    if (!bits) {
      uint64_t w = load_word(cursor++);
      buffer = w >> 1;
      bits = 63;
      return w & 1;
    }
    uint64_t bit = buffer & 1;
    buffer >>= 1;
    --bits;
    return bit;
  }

  // The next n bits (0..64), least significant first.
  uint64_t get_bits(uint32_t n)
  {
    if (bits >= n) {
      uint64_t value = buffer & ((uint64_t(1) << n) - 1);
      buffer >>= n;
      bits -= n;
      return value;
    }
    uint64_t w = load_word(cursor++);
    uint64_t value = (buffer + (w << bits)) & low_mask(n);
    uint32_t b = bits + 64 - n;
    buffer = b ? w >> (64 - b) : 0;
    bits = b;
    return value;
  }

  // Moves the read position n bits forward without looking at the bits;
  // the word holding the new position is fetched unless it starts a word.
  void skip(uint32_t n)
  {
    uint64_t offset = uint64_t(cursor - begin) * 64 - bits + n;
    cursor = begin + offset / 64;
    uint32_t k = uint32_t(offset % 64);
    if (k) {
      buffer = load_word(cursor++) >> k;
      bits = 64 - k;
    }
    else {
      buffer = 0;
      bits = 0;
    }
  }
};

} // namespace
} // namespace kvr_codec

#endif
