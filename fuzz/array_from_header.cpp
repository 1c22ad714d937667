// Arrays rebuilt from a serialized header and an arbitrary compressed
// buffer of exactly the size the header asks for, all eight types through
// the interface.  The types and dimensionalities that do not match must be
// refused with their texts; the one that matches must read every element
// from inside the buffer, through flat indices and block-order iterators
// alike, and agree bit for bit with kvr_decompress of the same bytes.
#include <kvr/array.hpp>
#include <kvr/array_api.h>

#include <memory>
#include <string>
#include <vector>

#include "guarded.hpp"

namespace {

// Bounds the work per input: the extents a header can hold would ask for
// terabytes.
constexpr size_t max_elements = size_t(1) << 14;

struct shape {
  kvr_type type;
  uint32_t dims;
  size_t n[4];
  size_t elements;
  size_t blocks;
  uint32_t block_bits;
  size_t bytes;
};

template <class T> bool same_bits(T a, T b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The values kvr_decompress decodes from the same bytes under the same
// fixed rate: the arrays keep their blocks back to back as it does.
template <typename S> std::vector<S> reference(const shape& sh, const unsigned char* bytes)
{
  kvr_field f;
  std::memset(&f, 0, sizeof f);
  f.type = sh.type;
  size_t* fn[4] = {&f.nx, &f.ny, &f.nz, &f.nw};
  for (uint32_t d = 0; d < sh.dims; d++)
    *fn[d] = sh.n[d];
  kvr_stream* s = kvr_stream_open(nullptr);
  FUZZ_CHECK(s && kvr_stream_set_params(s, sh.block_bits, sh.block_bits, 64, KVR_MIN_EXP));
  fuzz::guarded buf(kvr_stream_maximum_size(s, &f));
  FUZZ_CHECK(buf.size >= sh.bytes);
  std::memset(buf.data, 0, buf.size);
  std::memcpy(buf.data, bytes, sh.bytes);
  fuzz::guarded out(sh.elements * sizeof(S));
  f.data = out.data;
  bit_stream* bs = stream_open(buf.data, buf.size);
  kvr_stream_set_bit_stream(s, bs);
  FUZZ_CHECK(kvr_decompress(s, &f) == sh.bytes);
  kvr_stream_close(s);
  stream_close(bs);
  std::vector<S> v(sh.elements);
  std::memcpy(v.data(), out.data, out.size);
  return v;
}

template <unsigned N, typename S, class Api>
void try_type(const Api& api, kvr_header h, const shape& sh, const unsigned char* bytes)
{
  const kvr_type type = sizeof(S) == 4 ? kvr_type_float : kvr_type_double;
  std::string error;
  auto a = decltype(api.ctor_header(h, bytes, sh.bytes))();
  try {
    a = api.ctor_header(h, bytes, sh.bytes);
  }
  catch (const kvr::exception& e) {
    error = e.what();
  }
  if (sh.type != type) {
    FUZZ_CHECK(error == kvr::detail::text::type_mismatch);
    return;
  }
  if (sh.dims != N) {
    FUZZ_CHECK(error == kvr::detail::text::dims_mismatch);
    return;
  }
  FUZZ_CHECK(error.empty());
  FUZZ_CHECK(api.compressed_size(a) == sh.bytes);
  FUZZ_CHECK(api.size(a) == sh.elements);

  const std::vector<S> want = reference<S>(sh, bytes);
  for (size_t i = 0; i < sh.elements; i++)
    FUZZ_CHECK(same_bits(api.get_flat(a, i), want[i]));

  // Block order visits every element once, at the place its indices name.
  size_t visited = 0;
  for (auto it = api.begin(a), end = api.end(a); api.iterator.neq(it, end); it = api.iterator.inc(it)) {
    size_t index = api.iterator.i(it);
    if constexpr (N >= 2)
      index += sh.n[0] * api.iterator.j(it);
    if constexpr (N >= 3)
      index += sh.n[0] * sh.n[1] * api.iterator.k(it);
    if constexpr (N >= 4)
      index += sh.n[0] * sh.n[1] * sh.n[2] * api.iterator.l(it);
    FUZZ_CHECK(index < sh.elements);
    FUZZ_CHECK(same_bits(api.iterator.get(it), want[index]));
    visited++;
  }
  FUZZ_CHECK(visited == sh.elements);
  api.dtor(a);

  // One byte short is refused before anything is copied.
  if (sh.bytes) {
    error.clear();
    try {
      api.dtor(api.ctor_header(h, bytes, sh.bytes - 1));
    }
    catch (const kvr::exception& e) {
      error = e.what();
    }
    FUZZ_CHECK(error == kvr::detail::text::buffer_small);
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size < 12)
    return 0;
  // kvr::header reads any scalar type, so that the integer types reach
  // the arrays' type test too; the interface takes it as the header handle
  // it is.
  std::unique_ptr<kvr::header> probe;
  try {
    probe.reset(new kvr::header(data, 12));
  }
  catch (const kvr::exception&) {
    return 0;
  }
  kvr_header h = reinterpret_cast<kvr_header>(static_cast<kvr::array::header*>(probe.get()));
  shape sh;
  sh.type = probe->type;
  sh.dims = probe->dimensionality();
  sh.n[0] = probe->nx;
  sh.n[1] = probe->ny;
  sh.n[2] = probe->nz;
  sh.n[3] = probe->nw;
  sh.elements = 1;
  sh.blocks = 1;
  for (uint32_t d = 0; d < sh.dims; d++) {
    if (sh.n[d] > max_elements || (sh.elements *= sh.n[d]) > max_elements)
      return 0;
    sh.blocks *= (sh.n[d] + 3) / 4;
  }
  // The header records the bits per block; the arrays round them up to
  // whole words.
  const double bits = probe->rate() * double(1u << (2 * sh.dims));
  sh.block_bits = uint32_t((uint64_t(bits) + 63) / 64 * 64);
  sh.bytes = sh.blocks * sh.block_bits / 8;

  fuzz::guarded buf(sh.bytes);
  buf.fill(data + 12, size - 12);

  const kvr_array_api_t& api = kvr_array_api;
  try_type<1, float>(api.array1f, h, sh, buf.data);
  try_type<2, float>(api.array2f, h, sh, buf.data);
  try_type<3, float>(api.array3f, h, sh, buf.data);
  try_type<4, float>(api.array4f, h, sh, buf.data);
  try_type<1, double>(api.array1d, h, sh, buf.data);
  try_type<2, double>(api.array2d, h, sh, buf.data);
  try_type<3, double>(api.array3d, h, sh, buf.data);
  try_type<4, double>(api.array4d, h, sh, buf.data);
  return 0;
}
