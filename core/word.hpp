// A word of a bit stream's buffer at any byte address: a buffer may start
// anywhere, as a stream read where it lies in a larger image does.  The
// accesses compile to the same single load or store as an aligned word's
// on x86-64 and AArch64, and, unlike a copy with memcpy, keep the word's
// type, so the compiler still knows that they do not alias the blocks'
// values in the coding loops.  Shared by the core and every codec module,
// each with copies of its own (internal linkage).
#ifndef KVR_CORE_WORD_HPP
#define KVR_CORE_WORD_HPP

#include <stdint.h>

namespace kvr_word {
namespace {

struct __attribute__((packed)) unaligned_word {
  uint64_t value;
};

inline uint64_t load_word(const uint64_t* p)
{
  return reinterpret_cast<const unaligned_word*>(p)->value;
}

inline void store_word(uint64_t* p, uint64_t w)
{
  reinterpret_cast<unaligned_word*>(p)->value = w;
}

} // namespace
} // namespace kvr_word

#endif
