// Support for the tests of what lossy coding keeps: whole-array round trips
// under a setting, the blocks that reach the integer error bounds, and the
// bounds themselves.
#ifndef KVR_TESTS_COMPRESS_LOSSY_SUPPORT_HPP
#define KVR_TESTS_COMPRESS_LOSSY_SUPPORT_HPP

#include <kvr/kvr.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "compress/variants.hpp"

namespace lossy {

using kvr_test::type_of;

// The error of lossy integer coding with every bit plane coded, by
// dimensionality: the lifting transform's rounding alone.
constexpr int lowest_error[5] = {0, -2, -9, -34, -128};
constexpr int highest_error[5] = {0, 1, 7, 32, 125};

// A setting of the stream's limits for a type and dimensionality.
struct setting {
  const char* name;
  std::function<void(kvr_stream*, kvr_type, uint32_t)> set;
};

inline setting default_limits() { return {"default limits", [](kvr_stream*, kvr_type, uint32_t) {}}; }
inline setting accuracy(double tolerance, const char* name)
{
  return {name, [tolerance](kvr_stream* s, kvr_type, uint32_t) { kvr_stream_set_accuracy(s, tolerance); }};
}
inline setting precision(uint32_t p, const char* name)
{
  return {name, [p](kvr_stream* s, kvr_type, uint32_t) { kvr_stream_set_precision(s, p); }};
}
inline setting rate(double r, const char* name)
{
  return {name, [r](kvr_stream* s, kvr_type t, uint32_t d) { kvr_stream_set_rate(s, r, t, d, 0); }};
}
inline setting reversible() { return {"reversible", [](kvr_stream* s, kvr_type, uint32_t) { kvr_stream_set_reversible(s); }}; }

// The 4 x 4 block, in raster order, of element i of a 2-D field m values
// wide.
inline size_t block_of(size_t i, size_t m)
{
  return i % m / 4 + m / 4 * (i / m / 4);
}

// Compresses the values of a field with the given extents (x fastest)
// under the setting and decompresses them; the compressed bytes go to
// *bytes when it is not null.
template <typename T>
std::vector<T> round_trip(const std::vector<T>& values, uint32_t d, const size_t* n, const setting& s,
                          std::vector<unsigned char>* bytes = nullptr)
{
  std::vector<T> in = values, out(values.size(), T(99));
  kvr_field* f = kvr_field_4d(in.data(), type_of<T>(), n[0], d > 1 ? n[1] : 0, d > 2 ? n[2] : 0, d > 3 ? n[3] : 0);
  kvr_field* g = kvr_field_4d(out.data(), type_of<T>(), n[0], d > 1 ? n[1] : 0, d > 2 ? n[2] : 0, d > 3 ? n[3] : 0);
  kvr_stream* zs = kvr_stream_open(nullptr);
  s.set(zs, type_of<T>(), d);
  std::vector<uint64_t> words(kvr_stream_maximum_size(zs, f) / 8 + 1, 0);
  bit_stream* bs = stream_open(words.data(), words.size() * 8);
  kvr_stream_set_bit_stream(zs, bs);
  const size_t size = kvr_compress(zs, f);
  kvr_stream_rewind(zs);
  const size_t read = kvr_decompress(zs, g);
  if (bytes)
    bytes->assign(reinterpret_cast<unsigned char*>(words.data()), reinterpret_cast<unsigned char*>(words.data()) + size);
  stream_close(bs);
  kvr_stream_close(zs);
  kvr_field_free(g);
  kvr_field_free(f);
  if (size == 0 || read != size)
    out.clear();
  return out;
}

// One block of 4^d values.
template <typename T>
std::vector<T> round_trip_block(const std::vector<T>& values, uint32_t d, const setting& s)
{
  const size_t n[4] = {4, 4, 4, 4};
  return round_trip(values, d, n, s);
}

// A block whose integer round trip has the error `error` at `position`,
// lowest_error or highest_error of its dimensionality.  Relative values:
// the lowest error sits on the block's largest value, the highest on its
// smallest, both 0 here.
struct extreme_block {
  uint32_t d;
  int error;
  unsigned position;
  std::vector<int64_t> values;
};

inline std::vector<extreme_block> extreme_blocks()
{
  std::vector<extreme_block> blocks;
  std::ifstream in(KVR_LOSSY_EXTREMES_FILE);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#')
      continue;
    std::istringstream s(line);
    extreme_block b;
    s >> b.d >> b.error >> b.position;
    int64_t v;
    while (s >> v)
      b.values.push_back(v);
    blocks.push_back(b);
  }
  return blocks;
}

} // namespace lossy

#endif
