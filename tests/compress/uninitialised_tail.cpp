// Compression and decompression in one buffer of kvr_stream_maximum_size
// bytes from malloc, never cleared.  Under memcheck (tests/valgrind) the
// bytes past the compressed stream stay undefined, so a decoder that lets
// any of them decide a branch is reported.  Run plainly, the program checks
// the round trip: the values equal those decoded from a cleared copy of
// the compressed bytes, and reversible coding gives back the original bits.
#include <kvr/kvr.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <type_traits>
#include <vector>

#include "compress/variants.hpp"

namespace {

enum mode : unsigned { rate, precision, accuracy, reversible, custom, modes };
const char* const mode_names[] = {"rate", "precision", "accuracy", "reversible", "custom"};

using kvr_test::type_of;

void set_limits(kvr_stream* s, unsigned m, kvr_type type, uint32_t dims)
{
  switch (m) {
    case rate: kvr_stream_set_rate(s, 10.5, type, dims, 0); break;
    case precision: kvr_stream_set_precision(s, 24); break;
    case accuracy: kvr_stream_set_accuracy(s, 1e-4); break;
    case reversible: kvr_stream_set_reversible(s); break;
    default: kvr_stream_set_params(s, 3u << (2 * dims), KVR_MAX_BITS, 30, KVR_MIN_EXP); break;
  }
}

// Smooth values with little noise, with much noise, mostly zeros, or a
// plane in the coordinates (whose blocks keep few coefficients): short
// codes and long ones, and codes that end while most coefficients are
// still insignificant.
template <typename T>
std::vector<T> field_values(const size_t* n, uint32_t dims, unsigned variant, std::mt19937_64& rng)
{
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  size_t elements = 1;
  for (uint32_t d = 0; d < dims; d++)
    elements *= n[d];
  std::vector<T> v(elements);
  const unsigned kind = variant % 4;
  const double noise = kind == 1 ? 1.0 : 1e-3;
  const unsigned zeros = kind == 2 ? 6 : 1; // of 7
  const double slope[4] = {0.25, -0.5, 0.125, 1.0};
  for (size_t i = 0; i < elements; i++) {
    double x = std::sin(0.05 * double(i)) + noise * u(rng);
    if (rng() % 7 < zeros)
      x = 0;
    if (kind == 3) {
      x = 0.75;
      for (size_t d = 0, j = i; d < dims; j /= n[d], d++)
        x += slope[d] * double(j % n[d]);
    }
    if constexpr (std::is_integral<T>::value)
      v[i] = T(x * double(int64_t(1) << (sizeof(T) * 8 - 8)));
    else
      v[i] = T(x * 100.0);
  }
  return v;
}

// One round trip; false (with a message) when it goes wrong.
template <typename T>
bool round_trip(uint32_t dims, unsigned m, unsigned variant, std::mt19937_64& rng)
{
  static const size_t extents[4][4] = {{149, 0, 0, 0}, {13, 11, 0, 0}, {7, 5, 6, 0}, {5, 3, 4, 2}};
  size_t n[4] = {0, 0, 0, 0};
  size_t elements = 1;
  for (uint32_t d = 0; d < dims; d++)
    elements *= n[d] = extents[dims - 1][d] + variant;
  std::vector<T> in = field_values<T>(n, dims, variant, rng);
  std::vector<T> out(elements), cleared_out(elements);
  kvr_field f{};
  f.type = type_of<T>();
  size_t* fn[4] = {&f.nx, &f.ny, &f.nz, &f.nw};
  for (uint32_t d = 0; d < dims; d++)
    *fn[d] = n[d];

  kvr_stream* s = kvr_stream_open(nullptr);
  if (!s) {
    std::fprintf(stderr, "out of memory\n");
    std::exit(2);
  }
  set_limits(s, m, f.type, dims);
  const size_t max_size = kvr_stream_maximum_size(s, &f);
  void* buffer = std::malloc(max_size);
  void* cleared = std::calloc(max_size, 1);
  if (!buffer || !cleared) {
    std::fprintf(stderr, "out of memory\n");
    std::exit(2);
  }
  bit_stream* bs = stream_open(buffer, max_size);
  kvr_stream_set_bit_stream(s, bs);
  f.data = in.data();
  const size_t written = kvr_compress(s, &f);
  std::memcpy(cleared, buffer, written);

  kvr_stream_rewind(s);
  f.data = out.data();
  const size_t read = kvr_decompress(s, &f);
  bit_stream* cs = stream_open(cleared, max_size);
  kvr_stream_set_bit_stream(s, cs);
  f.data = cleared_out.data();
  const size_t cleared_read = kvr_decompress(s, &f);

  bool ok = written > 0 && read == written && cleared_read == written &&
            std::memcmp(out.data(), cleared_out.data(), elements * sizeof(T)) == 0;
  if (m == reversible && std::memcmp(out.data(), in.data(), elements * sizeof(T)) != 0)
    ok = false;
  if (!ok)
    std::fprintf(stderr, "type %u, %u-D, %s, field %u: round trip failed (written %zu, read %zu and %zu)\n",
                 unsigned(f.type), unsigned(dims), mode_names[m], variant, written, read, cleared_read);
  stream_close(cs);
  stream_close(bs);
  kvr_stream_close(s);
  std::free(cleared);
  std::free(buffer);
  return ok;
}

template <typename T>
void run(std::mt19937_64& rng, unsigned& passed, unsigned& failed)
{
  for (uint32_t dims = 1; dims <= 4; dims++)
    for (unsigned m = 0; m < modes; m++)
      for (unsigned variant = 0; variant < 8; variant++)
        (round_trip<T>(dims, m, variant, rng) ? passed : failed)++;
}

} // namespace

int main()
{
  std::mt19937_64 rng(2024);
  unsigned passed = 0, failed = 0;
  run<int32_t>(rng, passed, failed);
  run<int64_t>(rng, passed, failed);
  run<float>(rng, passed, failed);
  run<double>(rng, passed, failed);
  std::printf("%u passed, %u failed\n", passed, failed);
  return failed ? 1 : 0;
}
