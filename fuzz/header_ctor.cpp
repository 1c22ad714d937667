// The deserializing header constructors and the interface's ctor_buffer on
// arbitrary bytes and byte counts.  The bytes lie in a guarded buffer of
// exactly the count given (12 for a count of 0, which means 12): nothing
// may read beyond it.  Every constructor either throws one of the fixed
// texts or yields the same type, extents and rate, and ctor_buffer returns
// a handle exactly for the float and double headers they accept.
#include <kvr/array.hpp>
#include <kvr/array_api.h>

#include <memory>
#include <string>

#include "guarded.hpp"

namespace {

struct outcome {
  std::string error;
  kvr_type type = 0;
  size_t n[4] = {};
  double rate = 0;
};

template <class H> outcome build(const void* data, size_t bytes)
{
  outcome o;
  try {
    H h(data, bytes);
    o.type = h.type;
    o.n[0] = h.nx;
    o.n[1] = h.ny;
    o.n[2] = h.nz;
    o.n[3] = h.nw;
    o.rate = h.rate();
    const unsigned char* b = static_cast<const unsigned char*>(h.data());
    FUZZ_CHECK(std::memcmp(b, data, 12) == 0);
    FUZZ_CHECK(b[12] == 0 && b[13] == 0 && b[14] == 0 && b[15] == 0);
    FUZZ_CHECK(h.size_bytes(KVR_BYTES_HEADER) == 12);
  }
  catch (const kvr::exception& e) {
    o.error = e.what();
    FUZZ_CHECK(!o.error.empty());
  }
  return o;
}

bool same(const outcome& a, const outcome& b)
{
  return a.error == b.error && a.type == b.type && a.rate == b.rate && a.n[0] == b.n[0] &&
         a.n[1] == b.n[1] && a.n[2] == b.n[2] && a.n[3] == b.n[3];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  fuzz::input in(data, size);
  // The first byte picks the byte count: mostly 0 and 12, which read the
  // bytes, and now and then another count, which must be refused unread.
  const uint8_t c = in.byte();
  const size_t bytes = c < 96 ? 12 : c < 192 ? 0 : c - 192;
  fuzz::guarded buf(bytes ? bytes : 12);
  buf.fill(in.rest(), in.rest_size());

  const outcome any = build<kvr::header>(buf.data, bytes);
  if (bytes != 0 && bytes != 12)
    FUZZ_CHECK(any.error == kvr::detail::text::de_length);

  // The typed classes read exactly as kvr::header, whatever their
  // template arguments.
  using namespace kvr::codec;
  const outcome typed[] = {
    build<kvr_base<1u, float>::header>(buf.data, bytes),  build<kvr_base<2u, float>::header>(buf.data, bytes),
    build<kvr_base<3u, float>::header>(buf.data, bytes),  build<kvr_base<4u, float>::header>(buf.data, bytes),
    build<kvr_base<1u, double>::header>(buf.data, bytes), build<kvr_base<2u, double>::header>(buf.data, bytes),
    build<kvr_base<3u, double>::header>(buf.data, bytes), build<kvr_base<4u, double>::header>(buf.data, bytes),
  };
  for (const outcome& o : typed)
    FUZZ_CHECK(same(o, any));

  if (any.error.empty()) {
    FUZZ_CHECK(any.type >= kvr_type_int32 && any.type <= kvr_type_double);
    FUZZ_CHECK(any.rate > 0);
  }

  // Every sub-table shares the one ctor_buffer; call it through two.
  kvr_header h = kvr_array_api.array1f.header.ctor_buffer(buf.data, bytes);
  kvr_header h2 = kvr_array_api.array4d.header.ctor_buffer(buf.data, bytes);
  const bool usable = any.error.empty() && (any.type == kvr_type_float || any.type == kvr_type_double);
  FUZZ_CHECK((h != nullptr) == usable);
  FUZZ_CHECK((h2 != nullptr) == usable);
  if (h) {
    const kvr_array1f_header_api& api = kvr_array_api.array1f.header;
    FUZZ_CHECK(api.scalar_type(h) == any.type);
    FUZZ_CHECK(api.size_x(h) == any.n[0] && api.size_y(h) == any.n[1]);
    FUZZ_CHECK(api.size_z(h) == any.n[2] && api.size_w(h) == any.n[3]);
    FUZZ_CHECK(api.rate(h) == any.rate);
    FUZZ_CHECK(api.dimensionality(h) >= 1 && api.dimensionality(h) <= 4);
    FUZZ_CHECK(std::memcmp(api.data(h), buf.data, 12) == 0);
  }
  kvr_array_api.array1f.header.dtor(h);
  kvr_array_api.array4d.header.dtor(h2);
  return 0;
}
