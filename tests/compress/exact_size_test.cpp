// Whole arrays decoded from exactly the bytes kvr_compress returned.  The
// bytes are copied to the end of a buffer that an inaccessible page
// follows, so a decoder that reads a word past the last one holding bits of
// the stream faults at once, with or without a sanitizer.  The values must
// equal those decoded from the maximum-size buffer the stream was written
// to, and for reversible coding the original bits.
#include <kvr/kvr.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "fuzz/field.hpp"

namespace {

enum class mode { rate, precision, accuracy, reversible, custom, custom_reversible };

const char* name(mode m)
{
  switch (m) {
    case mode::rate: return "rate";
    case mode::precision: return "precision";
    case mode::accuracy: return "accuracy";
    case mode::reversible: return "reversible";
    case mode::custom: return "custom";
    default: return "custom_reversible";
  }
}

const char* name(kvr_type t)
{
  switch (t) {
    case kvr_type_int32: return "int32";
    case kvr_type_int64: return "int64";
    case kvr_type_float: return "float";
    default: return "double";
  }
}

enum kind : unsigned { noisy, smooth, zeros, sparse, raw_bits, kinds };

// Value i of a field of extents n (x fastest).
template <typename T>
T value(std::mt19937_64& rng, unsigned k, size_t i, const size_t* n, uint32_t dims, double scale)
{
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  double coord[4] = {0, 0, 0, 0};
  for (uint32_t d = 0; d < dims; d++) {
    coord[d] = double(i % n[d]);
    i /= n[d];
  }
  const double plane = 0.3 * coord[0] - 0.7 * coord[1] + 0.2 * coord[2] * coord[0] + 1.1 * coord[3];
  switch (k) {
    case noisy:
      if constexpr (std::is_integral<T>::value)
        return T(rng());
      else
        return T(u(rng) * scale);
    case smooth:
      if constexpr (std::is_integral<T>::value)
        return T(plane * double(int64_t(1) << (sizeof(T) * 8 - 12)));
      else
        return T((plane + 0.01 * u(rng)) * scale);
    case sparse:
      if (rng() % 6)
        return T(0);
      if constexpr (std::is_integral<T>::value)
        return T(int64_t(rng()) >> (rng() % 64));
      else
        return T(u(rng) * scale);
    case raw_bits: {
      using bits = typename std::conditional<sizeof(T) == 4, uint32_t, uint64_t>::type;
      const bits b = bits(rng());
      T v;
      std::memcpy(&v, &b, sizeof v);
      return v;
    }
    default:
      return T(0);
  }
}

template <typename T>
void fill(fuzz::guarded& mem, std::mt19937_64& rng, unsigned k, const size_t* n, uint32_t dims,
          size_t elements)
{
  const double scale = std::ldexp(1.0, int(rng() % 60) - 30);
  for (size_t i = 0; i < elements; i++) {
    const T v = value<T>(rng, k, i, n, dims, scale);
    std::memcpy(mem.data + i * sizeof(T), &v, sizeof v);
  }
}

// Random extents, most not multiples of 4; the first fields of every table
// are tiny (5 is one full block and one of a single value).
void extents(std::mt19937_64& rng, uint32_t dims, unsigned field, size_t* n)
{
  static const size_t tiny[] = {5, 1, 3, 4, 6};
  const size_t most = dims == 1 ? 300 : dims == 2 ? 24 : dims == 3 ? 10 : 6;
  for (uint32_t d = 0; d < 4; d++)
    n[d] = 0;
  for (uint32_t d = 0; d < dims; d++)
    n[d] = field < 5 ? tiny[(field + d) % 5] : size_t(rng() % most) + 1;
}

bool set_limits(kvr_stream* s, mode m, kvr_type type, uint32_t dims, std::mt19937_64& rng)
{
  const uint32_t values = 1u << (2 * dims);
  switch (m) {
    case mode::rate:
      kvr_stream_set_rate(s, double(rng() % 200 + 1) / 8.0, type, dims, int(rng() % 4 == 0));
      break;
    case mode::precision:
      kvr_stream_set_precision(s, uint32_t(rng() % 64) + 1);
      break;
    case mode::accuracy:
      kvr_stream_set_accuracy(s, std::ldexp(1.0, int(rng() % 60) - 40));
      break;
    case mode::reversible:
      kvr_stream_set_reversible(s);
      break;
    case mode::custom: {
      // Blocks padded to min_bits > 1, some of them short of max_bits.
      const uint32_t minbits = 2 + uint32_t(rng() % (values * 12));
      const uint32_t maxbits = rng() % 2 ? KVR_MAX_BITS : minbits + uint32_t(rng() % (values * 24));
      const int32_t minexp = rng() % 2 ? KVR_MIN_EXP : int32_t(rng() % 60) - 40;
      return kvr_stream_set_params(s, minbits, maxbits, uint32_t(rng() % 64) + 1, minexp);
    }
    case mode::custom_reversible: {
      const uint32_t minbits = 2 + uint32_t(rng() % (values * 16));
      return kvr_stream_set_params(s, minbits, KVR_MAX_BITS, 64, KVR_MIN_EXP - 1);
    }
  }
  return true;
}

using param = std::tuple<kvr_type, uint32_t, mode>;

class ExactSize : public ::testing::TestWithParam<param> {};

template <typename T>
void round_trips(uint32_t dims, mode m)
{
  constexpr kvr_type type = std::is_same<T, int32_t>::value   ? kvr_type_int32
                            : std::is_same<T, int64_t>::value ? kvr_type_int64
                            : std::is_same<T, float>::value   ? kvr_type_float
                                                              : kvr_type_double;
  std::mt19937_64 rng(1000 * type + 100 * dims + unsigned(m));
  for (unsigned field = 0; field < 12; field++) {
    size_t n[4];
    extents(rng, dims, field, n);
    size_t elements = 1;
    for (uint32_t d = 0; d < dims; d++)
      elements *= n[d];
    // The small reproducer first: all zeros in the tiny extents.
    const unsigned k = field == 0 ? zeros : unsigned(rng() % kinds);
    // Contiguous, transposed or negatively strided: each driver in turn.
    const unsigned how = field % 3;
    SCOPED_TRACE("field " + std::to_string(field) + " extents " + std::to_string(n[0]) + " " +
                 std::to_string(n[1]) + " " + std::to_string(n[2]) + " " + std::to_string(n[3]) +
                 " kind " + std::to_string(k) + " layout " + std::to_string(how));

    fuzz::guarded values(elements * sizeof(T));
    fill<T>(values, rng, k, n, dims, elements);
    const kvr_field f = fuzz::make_field(type, dims, n, how, values);

    kvr_stream* s = kvr_stream_open(nullptr);
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(set_limits(s, m, type, dims, rng));
    const size_t max_size = kvr_stream_maximum_size(s, &f);
    std::vector<uint64_t> roomy(max_size / 8, 0);
    bit_stream* bs = stream_open(roomy.data(), max_size);
    kvr_stream_set_bit_stream(s, bs);
    const size_t written = kvr_compress(s, &f);
    ASSERT_GT(written, 0u);
    ASSERT_LE(written, max_size);
    ASSERT_EQ(written % 8, 0u);

    fuzz::guarded from_roomy(elements * sizeof(T));
    from_roomy.fill(nullptr, 0);
    const kvr_field g = fuzz::make_field(type, dims, n, how, from_roomy);
    kvr_stream_rewind(s);
    ASSERT_EQ(kvr_decompress(s, &g), written);

    fuzz::guarded exact(written);
    std::memcpy(exact.data, roomy.data(), written);
    bit_stream* es = stream_open(exact.data, written);
    kvr_stream_set_bit_stream(s, es);
    fuzz::guarded from_exact(elements * sizeof(T));
    from_exact.fill(nullptr, 0);
    const kvr_field h = fuzz::make_field(type, dims, n, how, from_exact);
    EXPECT_EQ(kvr_decompress(s, &h), written);
    EXPECT_EQ(std::memcmp(from_exact.data, from_roomy.data, elements * sizeof(T)), 0);
    if (m == mode::reversible || m == mode::custom_reversible) {
      EXPECT_EQ(std::memcmp(from_exact.data, values.data, elements * sizeof(T)), 0);
    }

    kvr_stream_close(s);
    stream_close(es);
    stream_close(bs);
  }
}

TEST_P(ExactSize, DecodesFromTheCompressedBytesAlone)
{
  const kvr_type type = std::get<0>(GetParam());
  const uint32_t dims = std::get<1>(GetParam());
  const mode m = std::get<2>(GetParam());
  switch (type) {
    case kvr_type_int32: round_trips<int32_t>(dims, m); break;
    case kvr_type_int64: round_trips<int64_t>(dims, m); break;
    case kvr_type_float: round_trips<float>(dims, m); break;
    default: round_trips<double>(dims, m); break;
  }
}

INSTANTIATE_TEST_SUITE_P(
  Fields, ExactSize,
  ::testing::Combine(::testing::Values(kvr_type_int32, kvr_type_int64, kvr_type_float, kvr_type_double),
                     ::testing::Values(1u, 2u, 3u, 4u),
                     ::testing::Values(mode::rate, mode::precision, mode::accuracy, mode::reversible,
                                       mode::custom, mode::custom_reversible)),
  [](const ::testing::TestParamInfo<param>& p) {
    return std::string(name(std::get<0>(p.param))) + "_" + std::to_string(std::get<1>(p.param)) + "d_" +
           name(std::get<2>(p.param));
  });

} // namespace
