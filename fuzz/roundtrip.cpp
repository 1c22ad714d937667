// Arbitrary values, type, dimensionality, extents, layout and mode,
// compressed into a guarded buffer of kvr_stream_maximum_size bytes and
// decompressed into a guarded field, from that buffer and from a guarded
// copy of exactly the bytes written.  The promises: the stream fits the
// maximum size and is read back to exactly where it was written, from
// either buffer to the same values; a fixed rate gives exactly blocks *
// bits per block; reversible coding is bit-exact, NaN payloads and signed
// zeros included; fixed accuracy keeps every value of a finite block
// within the bound of compress/accuracy_bound.hpp: the tolerance, or the
// finest step the block carries times 4^d where that is larger.
#include <kvr/kvr.h>

#include <cmath>
#include <vector>

#include "compress/accuracy_bound.hpp"
#include "digest.hpp"
#include "field.hpp"

namespace {

constexpr size_t max_elements = size_t(1) << 12;

enum mode : unsigned { rate, precision, accuracy, reversible, custom, modes };

// Value i of the field in element order (x fastest), read through the
// field's own strides.
template <typename T> T element(const kvr_field& f, size_t i)
{
  const size_t n[4] = {f.nx, f.ny, f.nz, f.nw};
  ptrdiff_t s[4];
  kvr_field_stride(&f, s);
  const uint32_t dims = kvr_field_dimensionality(&f);
  ptrdiff_t off = 0;
  for (uint32_t d = 0; d < dims; d++) {
    off += ptrdiff_t(i % n[d]) * s[d];
    i /= n[d];
  }
  return static_cast<const T*>(f.data)[off];
}

// Every value of a block of finite values decodes within the block's
// bound, computed from its own largest magnitude; blocks holding an
// infinity or a NaN, and blocks whose bound reaches past the largest
// finite value, promise nothing.
template <typename T>
void check_accuracy(const kvr_field& in, const kvr_field& out, double tol)
{
  const size_t n[4] = {in.nx, in.ny, in.nz, in.nw};
  const uint32_t dims = kvr_field_dimensionality(&in);
  const size_t elements = kvr_field_size(&in, nullptr);
  size_t blocks_along[4] = {1, 1, 1, 1}, blocks = 1;
  for (uint32_t d = 0; d < dims; d++) {
    blocks_along[d] = (n[d] + 3) / 4;
    blocks *= blocks_along[d];
  }
  auto block_of = [&](size_t i) {
    size_t b = 0, scale = 1;
    for (uint32_t d = 0; d < dims; d++) {
      b += (i % n[d]) / 4 * scale;
      scale *= blocks_along[d];
      i /= n[d];
    }
    return b;
  };
  std::vector<double> largest(blocks, 0.0);
  std::vector<char> finite(blocks, 1);
  for (size_t i = 0; i < elements; i++) {
    const double a = double(element<T>(in, i));
    const size_t b = block_of(i);
    if (!std::isfinite(a))
      finite[b] = 0;
    else if (std::fabs(a) > largest[b])
      largest[b] = std::fabs(a);
  }
  for (size_t i = 0; i < elements; i++) {
    const size_t b = block_of(i);
    if (!finite[b] || !kvr_test::accuracy_bound_in_range(in.type, dims, tol, largest[b]))
      continue;
    const double bound = kvr_test::accuracy_bound(in.type, dims, tol, largest[b]);
    const double a = double(element<T>(in, i));
    const double v = double(element<T>(out, i));
    if (!(std::fabs(a - v) <= bound))
      std::fprintf(stderr, "value %zu: %.17g decoded as %.17g, tolerance %.17g, bound %.17g\n", i, a, v,
                   tol, bound);
    FUZZ_CHECK(std::fabs(a - v) <= bound);
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  fuzz::input in(data, size);
  const kvr_type type = in.byte() % 4 + 1;
  const uint32_t dims = in.byte() % 4 + 1;
  const uint8_t m = in.byte();
  const unsigned how = m >> 4;
  size_t n[4] = {0, 0, 0, 0};
  size_t elements = 1;
  size_t blocks = 1;
  for (uint32_t d = 0; d < dims; d++) {
    n[d] = size_t(in.byte() % (dims == 1 ? 255 : dims == 2 ? 40 : 12)) + 1;
    elements *= n[d];
    blocks *= (n[d] + 3) / 4;
  }
  if (elements > max_elements)
    return 0;
  const size_t tsize = kvr_type_size(type);

  kvr_stream* s = kvr_stream_open(nullptr);
  FUZZ_CHECK(s);
  double tolerance;
  bool fixed_rate = false;
  const unsigned which = (m & 15) % modes;
  switch (which) {
    case rate: {
      const double r = double(in.bits(2)) / 256.0;
      const int align = in.byte() & 1;
      kvr_stream_set_rate(s, r, type, dims, align);
      fixed_rate = true;
      break;
    }
    case precision:
      kvr_stream_set_precision(s, in.byte());
      break;
    case accuracy: {
      const double mantissa = 1.0 + in.byte() / 256.0;
      const int exponent = int(in.bits(2) % 1200) - 1100;
      kvr_stream_set_accuracy(s, std::ldexp(mantissa, exponent));
      break;
    }
    case reversible:
      kvr_stream_set_reversible(s);
      break;
    case custom: {
      // Any limits the block codec accepts: max_bits at least the header
      // of a lossy or reversible block.
      const uint32_t minbits = uint32_t(in.bits(2));
      const uint32_t maxbits = 19 + uint32_t(in.bits(2));
      const uint8_t p = in.byte();
      const uint32_t maxprec = p % 64 + 1;
      // Mostly exponents near the values', now and then any at all.
      const int32_t minexp = p & 0x80 ? int32_t(uint32_t(in.bits(4))) : int32_t(in.bits(2) % 2400) - 1200;
      if (!kvr_stream_set_params(s, minbits < maxbits ? minbits : maxbits, maxbits, maxprec, minexp)) {
        kvr_stream_close(s);
        return 0;
      }
      break;
    }
  }

  fuzz::guarded values(elements * tsize);
  values.fill(in.rest(), in.rest_size());
  kvr_field f = fuzz::make_field(type, dims, n, how, values);

  const size_t max_size = kvr_stream_maximum_size(s, &f);
  fuzz::guarded buf(max_size);
  bit_stream* bs = stream_open(buf.data, buf.size);
  kvr_stream_set_bit_stream(s, bs);
  const size_t written = kvr_compress(s, &f);
  // Before any check, so that a failing case names itself as well; abort
  // would drop what stdio still holds.
  if (fuzz::digest_wanted) {
    std::printf("case roundtrip type %u dims %u extents %zu %zu %zu %zu layout %u mode %u limits %u %u %u %d "
                "bytes %zu fnv1a64 %016llx\n",
                unsigned(type), unsigned(dims), n[0], n[1], n[2], n[3], how % 3, which, unsigned(s->min_bits),
                unsigned(s->max_bits), unsigned(s->max_prec), int(s->min_exp), written,
                static_cast<unsigned long long>(fuzz::fnv1a64(buf.data, written)));
    std::fflush(stdout);
  }
  FUZZ_CHECK(written <= max_size);
  // Every block of a fixed rate takes exactly its bits (integers at rate 0
  // take none, which is not fixed-rate mode but the same promise).
  if (fixed_rate)
    FUZZ_CHECK(written == (blocks * s->min_bits + 63) / 64 * 8);

  fuzz::guarded decoded(elements * tsize);
  decoded.fill(nullptr, 0);
  kvr_field g = fuzz::make_field(type, dims, n, how, decoded);
  kvr_stream_rewind(s);
  FUZZ_CHECK(kvr_decompress(s, &g) == written);

  // Again from a copy of exactly the bytes written, which a guard page
  // follows: the decoder reads no word that holds no bit of the stream.
  fuzz::guarded exact(written);
  std::memcpy(exact.data, buf.data, written);
  bit_stream* es = stream_open(exact.data, exact.size);
  kvr_stream_set_bit_stream(s, es);
  fuzz::guarded again(elements * tsize);
  again.fill(nullptr, 0);
  kvr_field h = fuzz::make_field(type, dims, n, how, again);
  FUZZ_CHECK(kvr_decompress(s, &h) == written);
  FUZZ_CHECK(std::memcmp(again.data, decoded.data, decoded.size) == 0);
  stream_close(es);

  switch (kvr_stream_compression_mode(s)) {
    case kvr_mode_reversible:
      FUZZ_CHECK(std::memcmp(values.data, decoded.data, values.size) == 0);
      break;
    case kvr_mode_fixed_accuracy:
      // Custom limits can classify as fixed accuracy too.
      tolerance = kvr_stream_accuracy(s);
      if (type == kvr_type_float)
        check_accuracy<float>(f, g, tolerance);
      if (type == kvr_type_double)
        check_accuracy<double>(f, g, tolerance);
      break;
    default:
      break;
  }
  kvr_stream_close(s);
  stream_close(bs);
  return 0;
}
