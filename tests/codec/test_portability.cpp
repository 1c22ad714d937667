// Streams are a fixed format: the same blocks under the same limits give the
// same bits on every target.  The digests below were recorded on x86-64 and
// are checked on every build, the AArch64 one included; blocks come from
// raw generator words only, so no library distribution is involved.
#include "codec_support.hpp"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>

namespace {

struct digest {
  uint64_t h = 0xcbf29ce484222325ull;
  void add(uint64_t v)
  {
    for (int i = 0; i < 8; i++) {
      h ^= (v >> (8 * i)) & 0xff;
      h *= 0x100000001b3ull;
    }
  }
};

template <typename T>
T value_from(std::mt19937_64& rng, unsigned kind, unsigned i)
{
  uint64_t r = rng();
  if constexpr (std::is_integral<T>::value) {
    return kind ? T(int64_t(r) >> (r % 50)) : T(int64_t(i * 1000) - int64_t(r % 97));
  }
  else {
    if (kind == 2)
      return ct::from_bits<T>(typename ct::bits_type<T>::type(r));
    double m = double(r >> 11) * 0x1p-53 - 0.5; // exact
    return T(std::ldexp(kind ? m : m * 0.01 + double(i % 4) + double(i / 4), int(r % 64) - 32));
  }
}

template <typename T, unsigned D>
void add_digest(digest& dg, ct::limits l)
{
  constexpr unsigned N = ct::block_values<D>;
  std::mt19937_64 rng(D * 131 + sizeof(T));
  ct::stream s(40000, l);
  std::vector<std::vector<T>> blocks;
  for (unsigned b = 0; b < 12; b++) {
    std::vector<T> v(N);
    for (unsigned i = 0; i < N; i++)
      v[i] = value_from<T>(rng, b % 3, i);
    blocks.push_back(v);
    dg.add(ct::codec<T, D>::encode(&s.ks, v.data()));
  }
  s.flush();
  for (uint64_t* w = s.bs.begin; w < s.bs.cursor; w++)
    dg.add(*w);
  s.rewind();
  for (unsigned b = 0; b < blocks.size(); b++) {
    std::vector<T> out(N);
    dg.add(ct::codec<T, D>::decode(&s.ks, out.data()));
    for (T x : out)
      dg.add(ct::bits_of(x));
  }
}

template <typename T>
uint64_t type_digest()
{
  const ct::limits table[] = {ct::default_limits, ct::reversible_limits, {256, 256, 64, -1074},
                              {1, 16658, 64, -12},  {1, 16658, 17, -1074},  {1, 16658, 64, -1040}};
  digest dg;
  for (ct::limits l : table) {
    add_digest<T, 1>(dg, l);
    add_digest<T, 2>(dg, l);
    add_digest<T, 3>(dg, l);
    add_digest<T, 4>(dg, l);
  }
  return dg.h;
}

TEST(Portability, RecordedDigests)
{
  const uint64_t got[4] = {type_digest<int32_t>(), type_digest<int64_t>(), type_digest<float>(),
                           type_digest<double>()};
  const uint64_t want[4] = {0xb24244491a9629d7ull, 0xa44d16984fcdd495ull, 0x34db789900c4dfd7ull,
                           0xebf79f75bdc3bab9ull};
  for (int i = 0; i < 4; i++) {
    std::printf("digest %d: 0x%016" PRIx64 "\n", i, got[i]);
    EXPECT_EQ(got[i], want[i]) << "type " << i;
  }
}

} // namespace
