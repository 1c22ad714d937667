// Counts the block-codec calls of the 1-, 2- and 4-D double arrays.  The
// test programs that include this are linked with --wrap for those entry
// points, so the library itself carries no hook.
#ifndef KVR_TESTS_ARRAY_CODEC_COUNTER_HPP
#define KVR_TESTS_ARRAY_CODEC_COUNTER_HPP

#include <cstdint>
#include <string>
#include <vector>

namespace counter {

struct calls {
  int encodes = 0;
  int decodes = 0;
  int strided_decodes = 0;            // whole blocks decoded into a plain array
  std::vector<uint64_t> encode_bits;  // bit offset of every encode, in call order
  std::vector<uint64_t> decode_bits;
  std::string sequence;                // 'E' per encode, 'D' per decode
  const uint32_t* watched = nullptr;   // a cache tag to sample at each call
  std::vector<uint32_t> watched_at_call;
};

calls& get();
void reset();

} // namespace counter

#endif
