// Scalar types and the description of an uncompressed array.
#include <kvr/kvr.h>

#include <cstdint>
#include <cstdlib>

namespace {

const size_t type_bytes[] = {4, 8, 4, 8};
const uint32_t type_precision[] = {32, 64, 32, 64};

bool valid_type(kvr_type type)
{
  return type >= kvr_type_int32 && type <= kvr_type_double;
}

kvr_field* make_field(void* data, kvr_type type, size_t nx, size_t ny, size_t nz, size_t nw)
{
  kvr_field* f = static_cast<kvr_field*>(std::malloc(sizeof(kvr_field)));
  if (f) {
    f->type = type;
    f->nx = nx;
    f->ny = ny;
    f->nz = nz;
    f->nw = nw;
    f->sx = f->sy = f->sz = f->sw = 0;
    f->data = data;
  }
  return f;
}

// Effective strides: a stride of 0 takes the default of a contiguous array,
// the product of the extents below (modulo 2^64, as ptrdiff_t).  False
// when a present axis takes a default that does not fit ptrdiff_t.
bool effective_strides(const kvr_field* f, ptrdiff_t s[4])
{
  const size_t n[4] = {f->nx, f->ny, f->nz, f->nw};
  const ptrdiff_t given[4] = {f->sx, f->sy, f->sz, f->sw};
  // `huge` once the product passes 64 bits; a later extent of 0 still
  // makes it 0.
  uint64_t product = 1;
  bool huge = false, fits = true;
  for (int i = 0; i < 4; i++) {
    s[i] = given[i] ? given[i] : ptrdiff_t(product);
    if (!given[i] && n[i] && (huge || product > uint64_t(INT64_MAX)))
      fits = false;
    const bool over = __builtin_mul_overflow(product, uint64_t(n[i]), &product);
    huge = n[i] && (huge || over);
  }
  return fits;
}

// Offsets of the lowest and the highest element the field touches, and
// the number of elements between them; false when one of them does not fit
// (no field in memory has such extents and strides).  Every product and
// sum is checked: the extents and strides may be anything.
bool field_index_span(const kvr_field* f, int64_t* lowest, uint64_t* span)
{
  const size_t n[4] = {f->nx, f->ny, f->nz, f->nw};
  ptrdiff_t s[4];
  if (!effective_strides(f, s))
    return false;
  int64_t lo = 0, hi = 0;
  for (int i = 0; i < 4; i++) {
    if (!n[i])
      continue;
    int64_t term;
    if (uint64_t(n[i] - 1) > uint64_t(INT64_MAX) ||
        __builtin_mul_overflow(int64_t(n[i] - 1), int64_t(s[i]), &term))
      return false;
    int64_t& end = term < 0 ? lo : hi;
    if (__builtin_add_overflow(end, term, &end))
      return false;
  }
  // hi - lo is below 2^64; one more element may not be.
  const uint64_t width = uint64_t(hi) - uint64_t(lo);
  if (width == UINT64_MAX)
    return false;
  *lowest = lo;
  *span = width + 1;
  return true;
}

} // namespace

extern "C" {

size_t kvr_type_size(kvr_type type)
{
  return valid_type(type) ? type_bytes[type - 1] : 0;
}

kvr_field* kvr_field_alloc(void)
{
  return make_field(nullptr, kvr_type_none, 0, 0, 0, 0);
}

kvr_field* kvr_field_1d(void* data, kvr_type type, size_t nx)
{
  return make_field(data, type, nx, 0, 0, 0);
}

kvr_field* kvr_field_2d(void* data, kvr_type type, size_t nx, size_t ny)
{
  return make_field(data, type, nx, ny, 0, 0);
}

kvr_field* kvr_field_3d(void* data, kvr_type type, size_t nx, size_t ny, size_t nz)
{
  return make_field(data, type, nx, ny, nz, 0);
}

kvr_field* kvr_field_4d(void* data, kvr_type type, size_t nx, size_t ny, size_t nz, size_t nw)
{
  return make_field(data, type, nx, ny, nz, nw);
}

void kvr_field_free(kvr_field* field)
{
  std::free(field);
}

void* kvr_field_pointer(const kvr_field* field)
{
  return field->data;
}

void* kvr_field_begin(const kvr_field* field)
{
  int64_t lowest, bytes;
  uint64_t span;
  if (!field->data || !field_index_span(field, &lowest, &span) ||
      __builtin_mul_overflow(lowest, int64_t(kvr_type_size(field->type)), &bytes))
    return nullptr;
  return static_cast<unsigned char*>(field->data) + bytes;
}

kvr_type kvr_field_type(const kvr_field* field)
{
  return field->type;
}

uint32_t kvr_field_precision(const kvr_field* field)
{
  return valid_type(field->type) ? type_precision[field->type - 1] : 0;
}

uint32_t kvr_field_dimensionality(const kvr_field* field)
{
  return field->nx ? field->ny ? field->nz ? field->nw ? 4 : 3 : 2 : 1 : 0;
}

size_t kvr_field_size(const kvr_field* field, size_t* size)
{
  const size_t n[4] = {field->nx, field->ny, field->nz, field->nw};
  if (size) {
    uint32_t d = kvr_field_dimensionality(field);
    for (uint32_t i = 0; i < d; i++)
      size[i] = n[i];
  }
  size_t count = 1;
  for (size_t x : n)
    if (x && __builtin_mul_overflow(count, x, &count))
      return 0;
  return count;
}

size_t kvr_field_size_bytes(const kvr_field* field)
{
  int64_t lowest;
  uint64_t span;
  size_t bytes;
  if (!field_index_span(field, &lowest, &span) || span > SIZE_MAX ||
      __builtin_mul_overflow(size_t(span), kvr_type_size(field->type), &bytes))
    return 0;
  return bytes;
}

int kvr_field_stride(const kvr_field* field, ptrdiff_t* stride)
{
  if (stride) {
    ptrdiff_t s[4];
    effective_strides(field, s);
    uint32_t d = kvr_field_dimensionality(field);
    for (uint32_t i = 0; i < d; i++)
      stride[i] = s[i];
  }
  return field->sx || field->sy || field->sz || field->sw;
}

int kvr_field_is_contiguous(const kvr_field* field)
{
  int64_t lowest;
  uint64_t span;
  const size_t count = kvr_field_size(field, nullptr);
  return count && field_index_span(field, &lowest, &span) && span == count;
}

uint64_t kvr_field_metadata(const kvr_field* field)
{
  uint32_t d = kvr_field_dimensionality(field);
  if (!d || !valid_type(field->type))
    return UINT64_MAX;
  const size_t n[4] = {field->nx, field->ny, field->nz, field->nw};
  // Bits per extent: 48, 24, 16 or 12.
  const uint32_t width = 48 / d;
  uint64_t meta = 0;
  for (uint32_t i = d; i-- > 0;) {
    uint64_t m = uint64_t(n[i]) - 1;
    if (m >> width)
      return UINT64_MAX;
    meta = (meta << width) + m;
  }
  meta = (meta << 2) + (d - 1);
  meta = (meta << 2) + (field->type - 1);
  return meta;
}

void kvr_field_set_pointer(kvr_field* field, void* data)
{
  field->data = data;
}

kvr_type kvr_field_set_type(kvr_field* field, kvr_type type)
{
  if (!valid_type(type))
    return kvr_type_none;
  field->type = type;
  return type;
}

void kvr_field_set_size_1d(kvr_field* field, size_t nx)
{
  field->nx = nx;
  field->ny = field->nz = field->nw = 0;
}

void kvr_field_set_size_2d(kvr_field* field, size_t nx, size_t ny)
{
  field->nx = nx;
  field->ny = ny;
  field->nz = field->nw = 0;
}

void kvr_field_set_size_3d(kvr_field* field, size_t nx, size_t ny, size_t nz)
{
  field->nx = nx;
  field->ny = ny;
  field->nz = nz;
  field->nw = 0;
}

void kvr_field_set_size_4d(kvr_field* field, size_t nx, size_t ny, size_t nz, size_t nw)
{
  field->nx = nx;
  field->ny = ny;
  field->nz = nz;
  field->nw = nw;
}

void kvr_field_set_stride_1d(kvr_field* field, ptrdiff_t sx)
{
  field->sx = sx;
  field->sy = field->sz = field->sw = 0;
}

void kvr_field_set_stride_2d(kvr_field* field, ptrdiff_t sx, ptrdiff_t sy)
{
  field->sx = sx;
  field->sy = sy;
  field->sz = field->sw = 0;
}

void kvr_field_set_stride_3d(kvr_field* field, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz)
{
  field->sx = sx;
  field->sy = sy;
  field->sz = sz;
  field->sw = 0;
}

void kvr_field_set_stride_4d(kvr_field* field, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz, ptrdiff_t sw)
{
  field->sx = sx;
  field->sy = sy;
  field->sz = sz;
  field->sw = sw;
}

int kvr_field_set_metadata(kvr_field* field, uint64_t meta)
{
  if (meta >> 52)
    return 0;
  field->type = kvr_type(meta & 3u) + 1;
  meta >>= 2;
  uint32_t d = uint32_t(meta & 3u) + 1;
  meta >>= 2;
  const uint32_t width = 48 / d;
  const uint64_t mask = (uint64_t(1) << width) - 1;
  size_t n[4] = {0, 0, 0, 0};
  for (uint32_t i = 0; i < d; i++, meta >>= width)
    n[i] = size_t(meta & mask) + 1;
  field->nx = n[0];
  field->ny = n[1];
  field->nz = n[2];
  field->nw = n[3];
  field->sx = field->sy = field->sz = field->sw = 0;
  return 1;
}

} // extern "C"
