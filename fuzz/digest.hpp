// Under -digest a target prints one line per case that names what the case
// did ("case <target> ..."), so that an input can be shown to run as the
// same case in every build.  The replay program takes the flag as it is;
// a libFuzzer binary must not see it as its own:
//   fuzz_roundtrip FILE -ignore_remaining_args=1 -digest
#ifndef KVR_FUZZ_DIGEST_HPP
#define KVR_FUZZ_DIGEST_HPP

#include <cstddef>
#include <cstdint>

namespace fuzz {

extern bool digest_wanted;

// FNV-1a (64 bits) of n bytes: fixed, the same on every target.
inline uint64_t fnv1a64(const void* p, size_t n)
{
  const unsigned char* c = static_cast<const unsigned char*>(p);
  uint64_t h = 0xcbf29ce484222325u;
  for (size_t i = 0; i < n; i++) {
    h ^= c[i];
    h *= 0x100000001b3u;
  }
  return h;
}

} // namespace fuzz

#endif
