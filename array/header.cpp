#include <cstring>
#include <new>
#include <string>

#include "core/format.hpp"
#include "kvr/array.hpp"

namespace kvr {

array::array(uint32_t d, kvr_type t, const header& h)
  : type(t), dims(d), nx(h.nx), ny(h.ny), nz(h.nz), nw(h.nw)
{
  if (h.type != t)
    throw kvr::exception(detail::text::type_mismatch);
  if (h.dimensionality() != d)
    throw kvr::exception(detail::text::dims_mismatch);
}

array::header::~header() {}

namespace detail {

namespace {

// The bit stream and kvr_stream over a header's 16-byte buffer, closed
// on every path out of a header constructor.
class header_streams {
public:
  bit_stream* bits;
  kvr_stream* stream;

  explicit header_streams(unsigned char* buffer) : bits(stream_open(buffer, 16)), stream(nullptr)
  {
    if (!bits)
      throw std::bad_alloc();
    stream = kvr_stream_open(bits);
    if (!stream) {
      stream_close(bits);
      throw std::bad_alloc();
    }
  }
  header_streams(const header_streams&) = delete;
  header_streams& operator=(const header_streams&) = delete;
  ~header_streams()
  {
    kvr_stream_close(stream);
    stream_close(bits);
  }
};

// A serialized array header: the stream header with a short mode word.
constexpr uint32_t header_bits =
  kvr_format::magic_bits + kvr_format::meta_bits + kvr_format::short_mode_bits;
constexpr uint64_t long_mode = kvr_format::long_mode_tag;

} // namespace

serial_header::serial_header(const array& a) : stored_rate(0)
{
  type = a.type;
  nx = a.nx;
  ny = a.ny;
  nz = a.nz;
  nw = a.nw;
  double in_force = a.rate();
  std::memset(buffer, 0, sizeof buffer);
  std::string message;
  {
    header_streams hs(buffer);
    uint32_t d = dimensionality();
    stored_rate = kvr_stream_set_rate(hs.stream, in_force, type, d, 1);
    // An array whose rate reads 0 has no fixed-rate blocks; a header
    // derived from that 0 would describe blocks that are not its own.
    if (kvr_stream_mode(hs.stream) >= long_mode || (in_force == 0 && d != 0))
      message = text::ser_short;
    else if (d == 0)
      message = text::ser_dims;
    else {
      kvr_field f;
      std::memset(&f, 0, sizeof f);
      f.type = type;
      size_t* fe[4] = {&f.nx, &f.ny, &f.nz, &f.nw};
      const size_t e[4] = {nx, ny, nz, nw};
      for (uint32_t i = 0; i < d; i++)
        *fe[i] = e[i];
      // The metadata holds no extent of 0: a field with one below the
      // highest would be written as a smaller array.
      if (kvr_field_dimensionality(&f) != d || kvr_write_header(hs.stream, &f, KVR_HEADER_FULL) != header_bits)
        message = text::ser_length;
      kvr_stream_flush(hs.stream);
    }
  }
  if (!message.empty())
    throw kvr::exception(message);
}

serial_header::serial_header(const void* bytes_in, size_t bytes) : stored_rate(0)
{
  std::memset(buffer, 0, sizeof buffer);
  if ((bytes != 0 && bytes != 12) || !bytes_in)
    throw kvr::exception(text::de_length);
  std::memcpy(buffer, bytes_in, 12);
  std::string message;
  {
    header_streams hs(buffer);
    kvr_field f;
    std::memset(&f, 0, sizeof f);
    // A 12-bit mode field of all ones announces the 64-bit mode word,
    // which would be read from beyond the 12 bytes: refuse it unread.
    uint64_t w1;
    std::memcpy(&w1, buffer + 8, sizeof w1);
    if (((w1 >> 20) & long_mode) == long_mode) {
      if (kvr_read_header(hs.stream, &f, KVR_HEADER_MAGIC) == 0)
        message = text::de_corrupt;
      else
        message = text::de_short;
    }
    else {
      size_t bits = kvr_read_header(hs.stream, &f, KVR_HEADER_FULL);
      if (bits == 0)
        message = text::de_corrupt;
      else if (bits != header_bits)
        message = text::de_short;
      else if (kvr_stream_compression_mode(hs.stream) != kvr_mode_fixed_rate)
        message = text::de_mode;
      else {
        type = f.type;
        nx = f.nx;
        ny = f.ny;
        nz = f.nz;
        nw = f.nw;
        uint32_t max_bits = 0;
        kvr_stream_params(hs.stream, nullptr, &max_bits, nullptr, nullptr);
        stored_rate = double(max_bits) / double(1u << (2 * dimensionality()));
      }
    }
  }
  if (!message.empty())
    throw kvr::exception(message);
}

} // namespace detail

} // namespace kvr
