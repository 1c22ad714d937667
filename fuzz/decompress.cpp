// kvr_decompress of arbitrary bytes into a field of the size its
// description asks for, with a stream buffer of kvr_stream_maximum_size
// bytes, both guarded: no block may read outside the buffer and no value
// may land outside the field.  The bytes the decoder reports as used,
// copied alone to a guarded buffer, decode to the same values.  The limits
// are either a fixed rate or whatever an arbitrary stream header holds; in
// the second case the header opens the stream, as it would in a file.
#include <kvr/kvr.h>

#include "field.hpp"

namespace {

// Bounds the work per input.
constexpr size_t max_elements = size_t(1) << 15;
constexpr size_t max_stream_bytes = size_t(8) << 20;
constexpr size_t header_bytes = 24;

size_t type_bytes(kvr_type t) { return t == kvr_type_int32 || t == kvr_type_float ? 4 : 8; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  fuzz::input in(data, size);
  const uint8_t flags = in.byte();
  const bool from_header = flags & 1;
  const unsigned how = (flags >> 1) & 3;

  kvr_stream* limits = kvr_stream_open(nullptr);
  FUZZ_CHECK(limits);
  kvr_field f;
  std::memset(&f, 0, sizeof f);
  unsigned char bytes[header_bytes] = {};
  size_t expected = 0;
  if (from_header) {
    for (unsigned char& b : bytes)
      b = in.byte();
    bit_stream* bs = stream_open(bytes, sizeof bytes);
    kvr_stream_set_bit_stream(limits, bs);
    const size_t bits = kvr_read_header(limits, &f, KVR_HEADER_FULL);
    stream_close(bs);
    kvr_stream_set_bit_stream(limits, nullptr);
    if (!bits) {
      kvr_stream_close(limits);
      return 0;
    }
  }
  else {
    f.type = in.byte() % 4 + 1;
    const uint32_t dims = in.byte() % 4 + 1;
    size_t* fn[4] = {&f.nx, &f.ny, &f.nz, &f.nw};
    for (uint32_t d = 0; d < dims; d++)
      *fn[d] = size_t(in.byte() % (dims == 1 ? 255 : 24)) + 1;
    // Any rate from 0 to 256 bits per value, word-aligned or not.
    const uint8_t align = in.byte() & 1;
    const double rate = double(in.bits(2)) / 256.0;
    // Every block takes exactly min_bits = max_bits bits (0 for integers
    // at rate 0).
    kvr_stream_set_rate(limits, rate, f.type, dims, align);
    FUZZ_CHECK(limits->min_bits == limits->max_bits);
    size_t blocks = 1;
    for (uint32_t d = 0; d < dims; d++)
      blocks *= (*fn[d] + 3) / 4;
    expected = (blocks * limits->min_bits + 63) / 64 * 8;
  }

  const uint32_t dims = kvr_field_dimensionality(&f);
  size_t n[4] = {f.nx, f.ny, f.nz, f.nw};
  size_t elements = 1;
  for (uint32_t d = 0; d < dims; d++)
    if (n[d] > max_elements || (elements *= n[d]) > max_elements) {
      kvr_stream_close(limits);
      return 0;
    }
  const size_t max_size = kvr_stream_maximum_size(limits, &f);
  FUZZ_CHECK(max_size > 0 && max_size % 8 == 0);
  if (max_size > max_stream_bytes) {
    kvr_stream_close(limits);
    return 0;
  }

  fuzz::guarded buf(max_size);
  fuzz::guarded out(elements * type_bytes(f.type));
  out.fill(nullptr, 0);
  bit_stream* bs = nullptr;
  if (from_header) {
    // The header at the front, exactly as it was read, arbitrary blocks
    // after it.
    buf.fill(in.rest(), in.rest_size());
    std::memcpy(buf.data, bytes, header_bytes);
    bs = stream_open(buf.data, buf.size);
    kvr_stream_set_bit_stream(limits, bs);
    kvr_field again;
    std::memset(&again, 0, sizeof again);
    FUZZ_CHECK(kvr_read_header(limits, &again, KVR_HEADER_FULL) > 0);
  }
  else {
    buf.fill(in.rest(), in.rest_size());
    bs = stream_open(buf.data, buf.size);
    kvr_stream_set_bit_stream(limits, bs);
  }
  kvr_field g = fuzz::make_field(f.type, dims, n, how, out);
  const size_t used = kvr_decompress(limits, &g);
  FUZZ_CHECK(used <= max_size);
  if (!from_header)
    FUZZ_CHECK(used == expected);

  // Again from a guarded copy of only the bytes used: the decoder reads no
  // word beyond the last one holding bits it decoded.
  fuzz::guarded exact(used);
  std::memcpy(exact.data, buf.data, used);
  bit_stream* es = stream_open(exact.data, exact.size);
  kvr_stream_set_bit_stream(limits, es);
  if (from_header) {
    kvr_field again;
    std::memset(&again, 0, sizeof again);
    FUZZ_CHECK(kvr_read_header(limits, &again, KVR_HEADER_FULL) > 0);
  }
  fuzz::guarded out_exact(out.size);
  out_exact.fill(nullptr, 0);
  kvr_field h = fuzz::make_field(f.type, dims, n, how, out_exact);
  FUZZ_CHECK(kvr_decompress(limits, &h) == used);
  FUZZ_CHECK(std::memcmp(out_exact.data, out.data, out.size) == 0);
  stream_close(es);
  kvr_stream_close(limits);
  stream_close(bs);
  return 0;
}
