/*
 * What a C caller of kvr_array_api gets when an array operation throws,
 * and the checks that keep it from ever meeting that.
 *
 *   capi_abort_c CASE          makes the case's throwing call.  The
 *                              exception cannot be caught in C, so the C++
 *                              runtime ends the process with abort(); if
 *                              the call returns, the program prints
 *                              "returned" and exits 0.
 *   capi_abort_c CASE checked  makes the check a C caller makes first,
 *                              with the table's functions and arithmetic,
 *                              and prints "skipped" when it refuses the
 *                              call.  Where the other side of the
 *                              threshold is cheap, the check must accept
 *                              it and the call must return ("returned").
 *
 * A check that wrongly accepts makes the throwing call and aborts.
 */
#include <kvr/array_api.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define API kvr_array_api

/* Block counts from 2^31 up are refused. */
static const size_t max_blocks = (size_t)1 << 31;

static int failures = 0;

#define EXPECT(cond)                                                       \
  do {                                                                     \
    if (!(cond)) {                                                         \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__,    \
              #cond);                                                      \
      failures++;                                                          \
    }                                                                      \
  } while (0)

static void returned(void)
{
  printf("returned\n");
  fflush(stdout);
}

static void skipped(void)
{
  printf("skipped\n");
  fflush(stdout);
}

/* The checks a C caller makes before each call. */

/* Blocks of 4^d values over the extents n, the product of ceil(n/4);
   0 when an extent is 0, and max_blocks for any count from 2^31 up (the
   product is never formed beyond that, so it cannot wrap). */
static size_t block_count(unsigned d, const size_t* n)
{
  size_t c = 1;
  unsigned i;
  for (i = 0; i < d; i++)
    if (n[i] == 0)
      return 0;
  for (i = 0; i < d; i++) {
    const size_t b = n[i] / 4 + (n[i] % 4 != 0);
    if (b >= max_blocks || c * b >= max_blocks)
      return max_blocks;
    c *= b;
  }
  return c;
}

/* ctor, resize, ctor_header: fewer than 2^31 blocks. */
static int blocks_fit(unsigned d, const size_t* n) { return block_count(d, n) < max_blocks; }

/* ctor's cache_size and set_cache_size: at most 2^31 lines of 4^d values
   of `value_bytes` bytes (a byte count rounds up to whole lines). */
static int cache_fits(unsigned d, size_t value_bytes, size_t bytes)
{
  const size_t line = ((size_t)1 << (2 * d)) * value_bytes;
  return bytes / line + (bytes % line != 0) <= max_blocks;
}

/* header.ctor: every extent from 1 to 2^(48/d), and a rate in force above
   0 with at most 2048 bits a block (whole 64-bit words, so the product
   is exact). */
static int header_fits(unsigned d, const size_t* n, double rate)
{
  const size_t largest = (size_t)1 << (48 / d);
  unsigned i;
  for (i = 0; i < d; i++)
    if (n[i] == 0 || n[i] > largest)
      return 0;
  return rate > 0 && rate * (double)((size_t)1 << (2 * d)) <= 2048;
}

/* The compressed size an array built from header h has: whole 64-bit
   words of rate * 4^d bits per block, at least one. */
static size_t header_compressed_size(kvr_header h)
{
  const kvr_array4f_header_api* ha = &API.array4f.header;
  const unsigned d = ha->dimensionality(h);
  const size_t n[4] = {ha->size_x(h), ha->size_y(h), ha->size_z(h), ha->size_w(h)};
  const double words = ceil(ha->rate(h) * (double)((size_t)1 << (2 * d)) / 64);
  return block_count(d, n) * 8 * (size_t)(words < 1 ? 1 : words);
}

/* The bytes set_rate(rate) allocates for an array of `blocks` blocks: the
   core's own rate setter gives the bits per block in force. */
static double set_rate_bytes(size_t blocks, double rate, kvr_type type, unsigned d)
{
  kvr_stream* s = kvr_stream_open(NULL);
  double bits;
  if (!s)
    return HUGE_VAL;
  bits = kvr_stream_set_rate(s, rate, type, d, 1) * (double)((size_t)1 << (2 * d));
  kvr_stream_close(s);
  return (double)blocks * bits / 8;
}

/* The 12 header bytes of a fixed-rate stream over an nx x ny float field,
   read back as a header (as a caller would from a file). */
static kvr_header header_for(size_t nx, size_t ny, double rate)
{
  uint64_t words[2] = {0, 0};
  bit_stream* b = stream_open(words, sizeof words);
  kvr_stream* s = kvr_stream_open(b);
  kvr_field* f = kvr_field_2d(NULL, kvr_type_float, nx, ny);
  kvr_header h = NULL;
  if (b && s && f) {
    kvr_stream_set_rate(s, rate, kvr_type_float, 2, 1);
    if (kvr_write_header(s, f, KVR_HEADER_FULL) == 96) {
      kvr_stream_flush(s);
      h = API.array2f.header.ctor_buffer(words, 12);
    }
  }
  kvr_field_free(f);
  kvr_stream_close(s);
  stream_close(b);
  if (!h) {
    fprintf(stderr, "no header for %zu x %zu\n", nx, ny);
    exit(1);
  }
  return h;
}

/* The cases: each makes one throwing call, or checks first when asked. */

/* ctor with 2^31 blocks: "kvr array too large for cache". */
static void ctor_blocks(int checked)
{
  const size_t n[1] = {((size_t)1 << 33) - 3};
  const size_t none[2] = {SIZE_MAX, 0};
  const size_t wraps[4] = {SIZE_MAX, SIZE_MAX, SIZE_MAX, SIZE_MAX};
  if (!checked || blocks_fit(1, n)) {
    API.array1f.dtor(API.array1f.ctor(n[0], 0, NULL, 0));
    returned();
    return;
  }
  skipped();
  /* One element fewer is 2^31 - 1 blocks, 16 GiB: arithmetic only. */
  EXPECT(block_count(1, (const size_t[]){n[0] - 1}) == max_blocks - 1);
  EXPECT(!blocks_fit(4, wraps));
  /* No element, no block, whatever the other extents. */
  if (blocks_fit(2, none)) {
    kvr_array2f a = API.array2f.ctor(none[0], none[1], 16, NULL, 0);
    EXPECT(API.array2f.size(a) == 0);
    API.array2f.dtor(a);
    returned();
  }
}

/* ctor with a cache of more than 2^31 lines: "kvr array too large for
   cache", after the compressed buffer is allocated. */
static void ctor_cache(int checked)
{
  const size_t bytes = ((size_t)1 << 31) * 4 * sizeof(float) + 1;
  if (!checked || cache_fits(1, sizeof(float), bytes)) {
    API.array1f.dtor(API.array1f.ctor(4, 16, NULL, bytes));
    returned();
    return;
  }
  skipped();
  /* 2^31 lines would be 40 GiB: arithmetic only. */
  EXPECT(cache_fits(1, sizeof(float), bytes - 1));
  if (cache_fits(1, sizeof(float), 4096)) {
    kvr_array1f a = API.array1f.ctor(4, 16, NULL, 4096);
    EXPECT(API.array1f.cache_size(a) == 4096);
    API.array1f.dtor(a);
    returned();
  }
}

/* set_cache_size above 2^31 lines: "kvr array too large for cache". */
static void set_cache_size(int checked)
{
  const size_t bytes = ((size_t)1 << 31) * 256 * sizeof(double) + 1;
  kvr_array4d a = API.array4d.ctor(4, 4, 4, 4, 8, NULL, 0);
  if (!checked || cache_fits(4, sizeof(double), bytes)) {
    API.array4d.set_cache_size(a, bytes);
    returned();
  }
  else {
    skipped();
    EXPECT(cache_fits(4, sizeof(double), bytes - 1));
    /* 3 lines round up to 4 of 2048 bytes. */
    if (cache_fits(4, sizeof(double), 3 * 2048)) {
      API.array4d.set_cache_size(a, 3 * 2048);
      EXPECT(API.array4d.cache_size(a) == 4 * 2048);
      returned();
    }
  }
  API.array4d.dtor(a);
}

/* resize to 2^31 blocks: "kvr array too large for cache". */
static void resize_blocks(int checked)
{
  const size_t n[3] = {(size_t)1 << 13, (size_t)1 << 12, ((size_t)1 << 12) - 3};
  const size_t small[3] = {5, 6, 7};
  kvr_array3d a = API.array3d.ctor(4, 4, 4, 16, NULL, 0);
  if (!checked || blocks_fit(3, n)) {
    API.array3d.resize(a, n[0], n[1], n[2], 1);
    returned();
  }
  else {
    skipped();
    if (blocks_fit(3, small)) {
      API.array3d.resize(a, small[0], small[1], small[2], 1);
      EXPECT(API.array3d.size(a) == 210);
      returned();
    }
  }
  API.array3d.dtor(a);
}

/* ctor_header with a header of another scalar type: "kvr array scalar
   type does not match header". */
static void header_type(int checked)
{
  kvr_array2f a = API.array2f.ctor(5, 5, 8, NULL, 0);
  kvr_header h = API.array2f.header.ctor(a);
  if (!checked || API.array2d.header.scalar_type(h) == kvr_type_double) {
    API.array2d.dtor(API.array2d.ctor_header(h, NULL, 0));
    returned();
  }
  else {
    skipped();
    if (API.array2f.header.scalar_type(h) == kvr_type_float) {
      API.array2f.dtor(API.array2f.ctor_header(h, NULL, 0));
      returned();
    }
  }
  API.array2f.header.dtor(h);
  API.array2f.dtor(a);
}

/* ctor_header with a header of another dimensionality: "kvr array
   dimensionality does not match header". */
static void header_dims(int checked)
{
  kvr_array2f a = API.array2f.ctor(5, 5, 8, NULL, 0);
  kvr_header h = API.array2f.header.ctor(a);
  if (!checked || API.array3f.header.dimensionality(h) == 3) {
    API.array3f.dtor(API.array3f.ctor_header(h, NULL, 0));
    returned();
  }
  else {
    skipped();
    if (API.array2f.header.dimensionality(h) == 2) {
      API.array2f.dtor(API.array2f.ctor_header(h, NULL, 0));
      returned();
    }
  }
  API.array2f.header.dtor(h);
  API.array2f.dtor(a);
}

/* ctor_header with a header of 2^31 blocks (2^18 x 2^17): "kvr array too
   large for cache", before anything is allocated. */
static void header_blocks(int checked)
{
  kvr_header h = header_for((size_t)1 << 18, (size_t)1 << 17, 4);
  const kvr_array2f_header_api* ha = &API.array2f.header;
  const size_t n[2] = {ha->size_x(h), ha->size_y(h)};
  if (!checked || blocks_fit(2, n)) {
    API.array2f.dtor(API.array2f.ctor_header(h, NULL, 0));
    returned();
  }
  else {
    kvr_header g = header_for(20, 12, 4);
    const size_t m[2] = {ha->size_x(g), ha->size_y(g)};
    skipped();
    if (blocks_fit(2, m)) {
      API.array2f.dtor(API.array2f.ctor_header(g, NULL, 0));
      returned();
    }
    ha->dtor(g);
  }
  ha->dtor(h);
}

/* ctor_header with a buffer_size_bytes short of the compressed size:
   "buffer size is smaller than required".  The size follows from the
   header; building with buffer NULL and reading compressed_size gives it
   too. */
static void buffer_small(int checked)
{
  kvr_array2f a = API.array2f.ctor(20, 12, 16, NULL, 0);
  kvr_header h = API.array2f.header.ctor(a);
  const size_t need = API.array2f.compressed_size(a);
  void* data = API.array2f.compressed_data(a);
  if (!checked || need - 1 >= header_compressed_size(h)) {
    API.array2f.dtor(API.array2f.ctor_header(h, data, need - 1));
    returned();
  }
  else {
    kvr_array2f b = API.array2f.ctor_header(h, NULL, 0);
    skipped();
    EXPECT(header_compressed_size(h) == need && API.array2f.compressed_size(b) == need);
    memcpy(API.array2f.compressed_data(b), data, API.array2f.compressed_size(b));
    EXPECT(API.array2f.get(b, 19, 11) == API.array2f.get(a, 19, 11));
    API.array2f.dtor(b);
    if (need >= header_compressed_size(h)) {
      API.array2f.dtor(API.array2f.ctor_header(h, data, need));
      returned();
    }
  }
  API.array2f.header.dtor(h);
  API.array2f.dtor(a);
}

/* header.ctor at 132 bits per value in 2-D (2112 bits a block): "kvr
   serialization supports only short headers". */
static void header_rate(int checked)
{
  const size_t n[2] = {5, 5};
  kvr_array2d a = API.array2d.ctor(n[0], n[1], 132, NULL, 0);
  if (!checked || header_fits(2, n, API.array2d.rate(a))) {
    API.array2d.header.dtor(API.array2d.header.ctor(a));
    returned();
  }
  else {
    skipped();
    API.array2d.set_rate(a, 128);
    if (header_fits(2, n, API.array2d.rate(a))) {
      API.array2d.header.dtor(API.array2d.header.ctor(a));
      returned();
    }
  }
  API.array2d.dtor(a);
}

/* header.ctor of an array with extents but no rate (ctor_default, then
   resize): "kvr serialization supports only short headers". */
static void header_no_rate(int checked)
{
  const size_t n[2] = {5, 5};
  kvr_array2f a = API.array2f.ctor_default();
  API.array2f.resize(a, n[0], n[1], 1);
  if (!checked || header_fits(2, n, API.array2f.rate(a))) {
    API.array2f.header.dtor(API.array2f.header.ctor(a));
    returned();
  }
  else {
    skipped();
    API.array2f.set_rate(a, 16);
    if (header_fits(2, n, API.array2f.rate(a))) {
      API.array2f.header.dtor(API.array2f.header.ctor(a));
      returned();
    }
  }
  API.array2f.dtor(a);
}

/* header.ctor of an array without extents (ctor_default, also after
   set_rate): "kvr serialization supports only 1D, 2D, 3D, and 4D
   arrays". */
static void header_no_extents(int checked)
{
  kvr_array1f a = API.array1f.ctor_default();
  API.array1f.set_rate(a, 16);
  if (!checked || header_fits(1, (const size_t[]){API.array1f.size(a)}, API.array1f.rate(a))) {
    API.array1f.header.dtor(API.array1f.header.ctor(a));
    returned();
  }
  else {
    skipped();
    API.array1f.resize(a, 5, 1);
    if (header_fits(1, (const size_t[]){API.array1f.size(a)}, API.array1f.rate(a))) {
      API.array1f.header.dtor(API.array1f.header.ctor(a));
      returned();
    }
  }
  API.array1f.dtor(a);
}

/* header.ctor of an extent the metadata cannot hold, 65537 in 3-D: "kvr
   header length does not match expected length". */
static void header_extent(int checked)
{
  kvr_array3f a = API.array3f.ctor(65537, 1, 1, 1, NULL, 0);
  size_t n[3];
  n[0] = API.array3f.size_x(a);
  n[1] = API.array3f.size_y(a);
  n[2] = API.array3f.size_z(a);
  if (!checked || header_fits(3, n, API.array3f.rate(a))) {
    API.array3f.header.dtor(API.array3f.header.ctor(a));
    returned();
  }
  else {
    skipped();
    API.array3f.resize(a, 65536, 1, 1, 1);
    n[0] = API.array3f.size_x(a);
    if (header_fits(3, n, API.array3f.rate(a))) {
      API.array3f.header.dtor(API.array3f.header.ctor(a));
      returned();
    }
  }
  API.array3f.dtor(a);
}

/* header.ctor with an extent of 0 below a non-zero one (0 x 5): "kvr
   header length does not match expected length". */
static void header_zero_extent(int checked)
{
  kvr_array2f a = API.array2f.ctor(0, 5, 16, NULL, 0);
  size_t n[2];
  n[0] = API.array2f.size_x(a);
  n[1] = API.array2f.size_y(a);
  if (!checked || header_fits(2, n, API.array2f.rate(a))) {
    API.array2f.header.dtor(API.array2f.header.ctor(a));
    returned();
  }
  else {
    skipped();
    API.array2f.resize(a, 5, 5, 1);
    n[0] = API.array2f.size_x(a);
    if (header_fits(2, n, API.array2f.rate(a))) {
      API.array2f.header.dtor(API.array2f.header.ctor(a));
      returned();
    }
  }
  API.array2f.dtor(a);
}

/* set_rate(1e9) over 2^20 blocks asks for 2^20 blocks of 2^31 bits,
   256 TiB: std::bad_alloc.  No check says whether an allocation
   succeeds; the caller computes its size and keeps it within what it
   can afford (here 1 GiB). */
static void bad_alloc(int checked)
{
  const double budget = 1 << 30;
  const size_t n[2] = {4096, 4096};
  kvr_array2f a = API.array2f.ctor(n[0], n[1], 0, NULL, 0);
  if (!checked || set_rate_bytes(block_count(2, n), 1e9, kvr_type_float, 2) <= budget) {
    API.array2f.set_rate(a, 1e9);
    returned();
  }
  else {
    skipped();
    EXPECT(set_rate_bytes(block_count(2, n), 1e9, kvr_type_float, 2) == 0x1p48);
    if (set_rate_bytes(block_count(2, n), 8, kvr_type_float, 2) <= budget) {
      API.array2f.set_rate(a, 8);
      EXPECT(API.array2f.compressed_size(a) == (size_t)set_rate_bytes(block_count(2, n), 8, kvr_type_float, 2));
      returned();
    }
  }
  API.array2f.dtor(a);
}

static const struct {
  const char* name;
  void (*run)(int checked);
} cases[] = {
  {"ctor_blocks", ctor_blocks},
  {"ctor_cache", ctor_cache},
  {"set_cache_size", set_cache_size},
  {"resize_blocks", resize_blocks},
  {"header_type", header_type},
  {"header_dims", header_dims},
  {"header_blocks", header_blocks},
  {"buffer_small", buffer_small},
  {"header_rate", header_rate},
  {"header_no_rate", header_no_rate},
  {"header_no_extents", header_no_extents},
  {"header_extent", header_extent},
  {"header_zero_extent", header_zero_extent},
  {"bad_alloc", bad_alloc},
};

int main(int argc, char** argv)
{
  size_t i;
  const int checked = argc == 3 && strcmp(argv[2], "checked") == 0;
  if (argc < 2 || argc > 3 || (argc == 3 && !checked)) {
    fprintf(stderr, "usage: %s CASE [checked]\n", argv[0]);
    return 2;
  }
  for (i = 0; i < sizeof cases / sizeof cases[0]; i++)
    if (strcmp(argv[1], cases[i].name) == 0) {
      cases[i].run(checked);
      return failures ? 1 : 0;
    }
  fprintf(stderr, "no case %s\n", argv[1]);
  return 2;
}
