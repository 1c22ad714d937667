// Whole-array compression and decompression: constant dispatch tables of
// drivers that walk a field block by block and call the block codec.
#include <kvr/kvr.h>

#include <algorithm>

namespace {

using driver = void (*)(kvr_stream*, const kvr_field*);

// Valid values of the block that starts at index i along an axis of extent n.
inline size_t valid(size_t n, size_t i)
{
  return std::min<size_t>(4, n - i);
}

inline ptrdiff_t stride_or(ptrdiff_t s, size_t fallback)
{
  return s ? s : ptrdiff_t(fallback);
}

// Contiguous 1-D arrays: whole blocks of 4 consecutive values, then one
// partial block for the remaining nx mod 4.
template <typename P, typename Whole, typename Partial>
void walk_1(kvr_stream* s, const kvr_field* f, Whole whole, Partial partial)
{
  P data = static_cast<P>(f->data);
  const size_t nx = f->nx;
  const size_t m = nx - nx % 4;
  for (size_t x = 0; x < m; x += 4)
    whole(s, data + x);
  if (nx % 4)
    partial(s, data + m, nx % 4, ptrdiff_t(1));
}

// Strided arrays: blocks in raster order, whole blocks through the strided
// entry point and edge blocks through the partial one.
template <typename P, typename Whole, typename Partial>
void walk_strided_1(kvr_stream* s, const kvr_field* f, Whole whole, Partial partial)
{
  P data = static_cast<P>(f->data);
  const size_t nx = f->nx;
  const ptrdiff_t sx = stride_or(f->sx, 1);
  for (size_t x = 0; x < nx; x += 4) {
    P p = data + sx * ptrdiff_t(x);
    if (nx - x >= 4)
      whole(s, p, sx);
    else
      partial(s, p, valid(nx, x), sx);
  }
}

template <typename P, typename Whole, typename Partial>
void walk_strided_2(kvr_stream* s, const kvr_field* f, Whole whole, Partial partial)
{
  P data = static_cast<P>(f->data);
  const size_t nx = f->nx, ny = f->ny;
  const ptrdiff_t sx = stride_or(f->sx, 1), sy = stride_or(f->sy, nx);
  for (size_t y = 0; y < ny; y += 4)
    for (size_t x = 0; x < nx; x += 4) {
      P p = data + sx * ptrdiff_t(x) + sy * ptrdiff_t(y);
      if (nx - x >= 4 && ny - y >= 4)
        whole(s, p, sx, sy);
      else
        partial(s, p, valid(nx, x), valid(ny, y), sx, sy);
    }
}

template <typename P, typename Whole, typename Partial>
void walk_strided_3(kvr_stream* s, const kvr_field* f, Whole whole, Partial partial)
{
  P data = static_cast<P>(f->data);
  const size_t nx = f->nx, ny = f->ny, nz = f->nz;
  const ptrdiff_t sx = stride_or(f->sx, 1), sy = stride_or(f->sy, nx),
                  sz = stride_or(f->sz, nx * ny);
  for (size_t z = 0; z < nz; z += 4)
    for (size_t y = 0; y < ny; y += 4)
      for (size_t x = 0; x < nx; x += 4) {
        P p = data + sx * ptrdiff_t(x) + sy * ptrdiff_t(y) + sz * ptrdiff_t(z);
        if (nx - x >= 4 && ny - y >= 4 && nz - z >= 4)
          whole(s, p, sx, sy, sz);
        else
          partial(s, p, valid(nx, x), valid(ny, y), valid(nz, z), sx, sy, sz);
      }
}

template <typename P, typename Whole, typename Partial>
void walk_strided_4(kvr_stream* s, const kvr_field* f, Whole whole, Partial partial)
{
  P data = static_cast<P>(f->data);
  const size_t nx = f->nx, ny = f->ny, nz = f->nz, nw = f->nw;
  const ptrdiff_t sx = stride_or(f->sx, 1), sy = stride_or(f->sy, nx),
                  sz = stride_or(f->sz, nx * ny), sw = stride_or(f->sw, nx * ny * nz);
  for (size_t w = 0; w < nw; w += 4)
    for (size_t z = 0; z < nz; z += 4)
      for (size_t y = 0; y < ny; y += 4)
        for (size_t x = 0; x < nx; x += 4) {
          P p = data + sx * ptrdiff_t(x) + sy * ptrdiff_t(y) + sz * ptrdiff_t(z) + sw * ptrdiff_t(w);
          if (nx - x >= 4 && ny - y >= 4 && nz - z >= 4 && nw - w >= 4)
            whole(s, p, sx, sy, sz, sw);
          else
            partial(s, p, valid(nx, x), valid(ny, y), valid(nz, z), valid(nw, w), sx, sy, sz, sw);
        }
}

// The 40 drivers.  The codec's counts are not needed here.
#define KVR_DRIVERS(type, T)                                                                      \
  void compress_##type##_1(kvr_stream* s, const kvr_field* f)                                     \
  {                                                                                               \
    walk_1<const T*>(s, f, kvr_encode_block_##type##_1, kvr_encode_partial_block_strided_##type##_1); \
  }                                                                                               \
  void decompress_##type##_1(kvr_stream* s, const kvr_field* f)                                   \
  {                                                                                               \
    walk_1<T*>(s, f, kvr_decode_block_##type##_1, kvr_decode_partial_block_strided_##type##_1);   \
  }                                                                                               \
  KVR_STRIDED(type, T, 1)                                                                         \
  KVR_STRIDED(type, T, 2)                                                                         \
  KVR_STRIDED(type, T, 3)                                                                         \
  KVR_STRIDED(type, T, 4)

#define KVR_STRIDED(type, T, d)                                                                   \
  void compress_strided_##type##_##d(kvr_stream* s, const kvr_field* f)                           \
  {                                                                                               \
    walk_strided_##d<const T*>(s, f, kvr_encode_block_strided_##type##_##d,                       \
                               kvr_encode_partial_block_strided_##type##_##d);                    \
  }                                                                                               \
  void decompress_strided_##type##_##d(kvr_stream* s, const kvr_field* f)                         \
  {                                                                                               \
    walk_strided_##d<T*>(s, f, kvr_decode_block_strided_##type##_##d,                             \
                         kvr_decode_partial_block_strided_##type##_##d);                          \
  }

KVR_DRIVERS(int32, int32_t)
KVR_DRIVERS(int64, int64_t)
KVR_DRIVERS(float, float)
KVR_DRIVERS(double, double)

#undef KVR_DRIVERS
#undef KVR_STRIDED

#define KVR_ROW(prefix, d) prefix##int32_##d, prefix##int64_##d, prefix##float_##d, prefix##double_##d
#define KVR_NONE nullptr, nullptr, nullptr, nullptr
#define KVR_EMPTY_POLICY KVR_NONE, KVR_NONE, KVR_NONE, KVR_NONE, KVR_NONE, KVR_NONE, KVR_NONE, KVR_NONE

// Indexed by policy * 32 + strided * 16 + (d - 1) * 4 + (type - 1).  Fields
// of 2 to 4 dimensions always take the strided drivers, which apply the
// default strides themselves.
const driver compress_table[96] = {
  KVR_ROW(compress_, 1), KVR_ROW(compress_strided_, 2), KVR_ROW(compress_strided_, 3), KVR_ROW(compress_strided_, 4),
  KVR_ROW(compress_strided_, 1), KVR_ROW(compress_strided_, 2), KVR_ROW(compress_strided_, 3), KVR_ROW(compress_strided_, 4),
  KVR_EMPTY_POLICY,
  KVR_EMPTY_POLICY,
};

const driver decompress_table[96] = {
  KVR_ROW(decompress_, 1), KVR_ROW(decompress_strided_, 2), KVR_ROW(decompress_strided_, 3), KVR_ROW(decompress_strided_, 4),
  KVR_ROW(decompress_strided_, 1), KVR_ROW(decompress_strided_, 2), KVR_ROW(decompress_strided_, 3), KVR_ROW(decompress_strided_, 4),
  KVR_EMPTY_POLICY,
  KVR_EMPTY_POLICY,
};

#undef KVR_ROW
#undef KVR_NONE
#undef KVR_EMPTY_POLICY

// The driver for a stream and field, or NULL when nothing can be coded.
// The maximum size is 0 for a field without dimensions, of a type outside
// 1..4 or whose stream would not fit 64 bits, the size in bytes 0 when its
// span of memory would not: then no offset the drivers form can overflow.
driver select(const driver* table, const kvr_stream* s, const kvr_field* f)
{
  const uint32_t d = kvr_field_dimensionality(f);
  const kvr_type type = f->type;
  const uint32_t policy = s->execution.policy;
  if (policy > 2 || !kvr_stream_maximum_size(s, f) || !kvr_field_size_bytes(f))
    return nullptr;
  const uint32_t strided = (f->sx || f->sy || f->sz || f->sw) ? 1 : 0;
  return table[policy * 32 + strided * 16 + (d - 1) * 4 + (type - 1)];
}

template <typename Out, typename In>
void promote(Out* out, const In* in, uint32_t dims, int32_t bias, int32_t scale)
{
  const uint32_t n = uint32_t(1) << (2 * dims);
  for (uint32_t i = 0; i < n; i++)
    out[i] = (int32_t(in[i]) - bias) * scale;
}

template <typename Out>
void demote(Out* out, const int32_t* in, uint32_t dims, int shift, int32_t lo, int32_t hi, int32_t bias)
{
  const uint32_t n = uint32_t(1) << (2 * dims);
  for (uint32_t i = 0; i < n; i++) {
    int32_t v = in[i] >> shift;
    v = v < lo ? lo : v > hi ? hi : v;
    out[i] = Out(v + bias);
  }
}

} // namespace

extern "C" {

size_t kvr_compress(kvr_stream* stream, const kvr_field* field)
{
  driver compress = select(compress_table, stream, field);
  if (!compress)
    return 0;
  compress(stream, field);
  stream_flush(stream->stream);
  return stream_size(stream->stream);
}

size_t kvr_decompress(kvr_stream* stream, const kvr_field* field)
{
  driver decompress = select(decompress_table, stream, field);
  if (!decompress)
    return 0;
  decompress(stream, field);
  stream_align(stream->stream);
  return stream_size(stream->stream);
}

void kvr_promote_int8_to_int32(int32_t* oblock, const int8_t* iblock, uint32_t dims)
{
  promote(oblock, iblock, dims, 0, int32_t(1) << 23);
}

void kvr_promote_uint8_to_int32(int32_t* oblock, const uint8_t* iblock, uint32_t dims)
{
  promote(oblock, iblock, dims, 128, int32_t(1) << 23);
}

void kvr_promote_int16_to_int32(int32_t* oblock, const int16_t* iblock, uint32_t dims)
{
  promote(oblock, iblock, dims, 0, int32_t(1) << 15);
}

void kvr_promote_uint16_to_int32(int32_t* oblock, const uint16_t* iblock, uint32_t dims)
{
  promote(oblock, iblock, dims, 32768, int32_t(1) << 15);
}

void kvr_demote_int32_to_int8(int8_t* oblock, const int32_t* iblock, uint32_t dims)
{
  demote(oblock, iblock, dims, 23, -128, 127, 0);
}

void kvr_demote_int32_to_uint8(uint8_t* oblock, const int32_t* iblock, uint32_t dims)
{
  demote(oblock, iblock, dims, 23, -128, 127, 128);
}

void kvr_demote_int32_to_int16(int16_t* oblock, const int32_t* iblock, uint32_t dims)
{
  demote(oblock, iblock, dims, 15, -32768, 32767, 0);
}

void kvr_demote_int32_to_uint16(uint16_t* oblock, const int32_t* iblock, uint32_t dims)
{
  demote(oblock, iblock, dims, 15, -32768, 32767, 32768);
}

} // extern "C"
