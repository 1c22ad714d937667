/*
 * kvr array C interface: one constant table of functions, kvr_array_api,
 * over the eight compressed-array types (1 to 4 dimensions, float and
 * double).  Compiles as C99 and as C++.
 *
 * Arrays cross the interface as handles, elements as value records
 * {array, i[, j[, k[, l]]]} (references and pointers name elements in flat
 * order, iterators in block order), headers as kvr_header handles.
 *
 * Contract: the interface checks no handle, index or record; only the
 * destructors accept NULL.  Indices must lie inside the array's extents
 * (an index beyond one extent may name an element of another block).  Two
 * cases are safe all the same: an array without a rate or without
 * elements (ctor_default before set_rate, or an extent of 0) reads as 0
 * and loses its writes when their line is written back (until then they
 * read back; resize alone gives it a buffer that is never used), and the end record of an iterator or pointer names a position in
 * the padding of the last block or beyond every block; reads there give
 * an unspecified value and writes are lost when the line is written back.
 * Neither touches memory outside the array.
 *
 * Members, alike in every sub-table (N its dimensionality, S its type,
 * B the product of ceil(n / 4) over the extents, 0 when one is 0, and
 * L = 4^N * sizeof(S) the bytes of one cache line, a decoded block):
 *   ctor(n..., rate, data, cache_size): a fixed-rate array, zero, or
 *     filled from data when it is not NULL; blocks are whole 64-bit words
 *     (rate returns the rate in force, rounded up), cache_size is in
 *     bytes, 0 for the default (the smallest power of two of lines whose
 *     square reaches B), and rounded up to a power of two of lines.
 *   ctor_default: no rate and no extents; set_rate and resize set them.
 *   ctor_copy, deep_copy: a copy with its own buffer and cache, cached
 *     changes included.
 *   ctor_header(h, buffer, bytes): the array h describes, its
 *     compressed_size bytes copied from buffer (NULL: zeros); blocks of h
 *     that are not whole words are rounded up (h's rate 6.25 in 2-D gives
 *     rate 8).
 *   rate: bits per value in force; 0 above 16658 bits a block.
 *   set_rate: a new rate; returns bits per block / 4^N in force (also
 *     above 16658 bits a block, where rate then gives 0); every value and
 *     every cached change is dropped, the array reads 0.
 *   cache_size, set_cache_size: the cache in bytes, lines times L;
 *     set_cache_size writes cached changes back first, and rounds up as
 *     ctor does.
 *   clear_cache drops the cached changes; flush_cache writes them back.
 *   compressed_size, compressed_data: the buffer's bytes and the buffer,
 *     cached changes written back first.
 *   resize(n..., clear): new extents; no value survives: zero when clear
 *     is nonzero, else unspecified until written (this build allocates
 *     every buffer as zero bits, so such a read gives 0, never memory the
 *     program used before).
 *   get_array, set_array: every value, x fastest, through p.
 *   header.ctor(a) describes a; header.ctor_buffer(data, bytes) reads the
 *     12 bytes at data (bytes 0 or 12) of any type and dimensionality (the
 *     same function in every sub-table); header.rate is in bits per value; header.size_bytes
 *     gives 12 for KVR_BYTES_HEADER, a fixed 60 for KVR_BYTES_RECORDS and 0
 *     for KVR_BYTES_BUFFER.
 *
 * Arrays without elements (an extent of 0): size is 0 whatever the other
 * extents, end equals begin, and flat indices split by the extents with
 * f mod 0 = f and f div 0 = 0, so ptr_flat and pointer moves agree.
 *
 * Moves beyond either end (next, prev, inc, dec and the _at members, dec
 * of begin included) never divide by 0 and touch no element, for every
 * ptrdiff_t distance in both directions (PTRDIFF_MIN included): offsets
 * move modulo 2^64, and distance gives their difference modulo 2^64 as a
 * ptrdiff_t.  A pointer lands at the flat split of its offset, the last
 * index the plain quotient; an iterator at every index 0 but the last,
 * which is end's last index + (offset - size).  Both keep their offset:
 * distance measures the move, the opposite move comes back, and for 2 to 4
 * dimensions, which compare offsets as signed 64-bit values, a position
 * past the end compares >= end while its offset is at most PTRDIFF_MAX,
 * and one before begin < begin for every distance up to PTRDIFF_MAX, so a
 * loop such as for (it = begin; lt(it, end); it = next(it, 16)) ends.
 * 1-D records compare their index i as an unsigned value: there a
 * position before begin compares above end.  Reading or writing at such
 * positions is outside the contract (and stays inside the array's memory).
 *
 * Rates: a rate of 0, a negative rate or NaN gives the smallest block, 64
 * bits, from ctor and set_rate alike.  Rates of 2^31 / 4^N bits per value
 * and more, inf included, give blocks of 2^31 bits (256 MiB each).
 *
 * Failures: exceptions of the compressed arrays (kvr::exception,
 * std::bad_alloc) pass through unchanged, except in header.ctor_buffer,
 * which returns NULL on any failure.  A constructor that throws returns
 * nothing and keeps nothing; deep_copy, set_rate, set_cache_size and
 * resize that throw leave the array exactly as it was, cached changes
 * included.  C code cannot catch them.  With no C++ handler above the
 * call, as in a C program, the process ends in std::terminate, which
 * aborts (SIGABRT, shell status 134; libstdc++ first prints "terminate
 * called after throwing an instance of 'kvr::exception'" and the text).
 * Under a C++ handler the exception unwinds through C frames that have
 * unwind tables (GCC's and clang's default on x86-64 and AArch64 Linux,
 * and what -fexceptions gives), skipping the rest of each C function, its
 * cleanup included; a C frame built without them
 * (-fno-asynchronous-unwind-tables, with GCC on AArch64 also
 * -fno-unwind-tables) stops the unwinder, and the process ends in
 * std::terminate all the same.  A C caller never meets one when it
 * checks, before:
 *   ctor, resize, ctor_header (with h's extents): B below 2^31, else "kvr
 *     array too large for cache";
 *   ctor, set_cache_size: cache_size at most 2^31 lines, ceil(cache_size /
 *     L) <= 2^31, else the same text (0, the default, always fits);
 *   ctor_header: header.scalar_type and header.dimensionality of h are
 *     the sub-table's, else "kvr array scalar type does not match header"
 *     or "kvr array dimensionality does not match header"; bytes is 0 or
 *     at least B * 8 * ceil(header.rate * 4^N / 64), else "buffer size is
 *     smaller than required" (or pass NULL and 0, then copy
 *     compressed_size bytes to compressed_data);
 *   header.ctor: rate(a) above 0 and rate(a) * 4^N at most 2048 (rates up
 *     to 512, 128, 32 and 8 for 1 to 4 dimensions), else "kvr
 *     serialization supports only short headers"; extents set, else "kvr
 *     serialization supports only 1D, 2D, 3D, and 4D arrays"; no extent 0
 *     below a nonzero one and none above 2^(48 / N) (2^24, 2^16, 2^12 for
 *     2 to 4 dimensions), else "kvr header length does not match expected
 *     length".
 * Allocation failure (std::bad_alloc) has no such check: ctor, set_rate,
 * resize and ctor_header allocate compressed_size bytes (B * bits per
 * block / 8), ctor and set_cache_size the cache (its lines times L + 4
 * bytes), the copies both.  No other member throws or allocates.  The
 * caller owns every handle a constructor returns and releases it with the
 * matching dtor.  An array and every record made from it are used by one
 * thread at a time: reads fill the array's block cache.
 */
#ifndef KVR_ARRAY_API_H
#define KVR_ARRAY_API_H

#include <kvr/kvr.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Memory categories of the size_bytes operations. */
#ifndef KVR_BYTES_RECORDS
#define KVR_BYTES_RECORDS 0x04u /* the objects' own records (a header: 60) */
#define KVR_BYTES_BUFFER  0x10u /* the compressed buffer (a header: 0) */
#define KVR_BYTES_HEADER  0x80u /* the serialized header bytes (12) */
#endif

/* A header object (scalar type, extents, rate and 12 serialized bytes). */
typedef struct kvr_header_object* kvr_header;

/* ---- 1-D float arrays ---------------------------------------------- */

typedef struct kvr_array1f_object* kvr_array1f;
typedef struct { kvr_array1f array; size_t i; } kvr_array1f_reference;
typedef struct { kvr_array1f array; size_t i; } kvr_array1f_pointer;
typedef struct { kvr_array1f array; size_t i; } kvr_array1f_iterator;

typedef struct {
  float (*get)(kvr_array1f_reference r);
  void (*set)(kvr_array1f_reference r, float value);
  kvr_array1f_pointer (*ptr)(kvr_array1f_reference r);
  void (*copy)(kvr_array1f_reference r, kvr_array1f_reference src);
} kvr_array1f_reference_api;

typedef struct {
  float (*get)(kvr_array1f_pointer p);
  float (*get_at)(kvr_array1f_pointer p, ptrdiff_t d);
  void (*set)(kvr_array1f_pointer p, float value);
  void (*set_at)(kvr_array1f_pointer p, ptrdiff_t d, float value);
  kvr_array1f_reference (*ref)(kvr_array1f_pointer p);
  kvr_array1f_reference (*ref_at)(kvr_array1f_pointer p, ptrdiff_t d);
  int (*lt)(kvr_array1f_pointer p, kvr_array1f_pointer q);
  int (*gt)(kvr_array1f_pointer p, kvr_array1f_pointer q);
  int (*leq)(kvr_array1f_pointer p, kvr_array1f_pointer q);
  int (*geq)(kvr_array1f_pointer p, kvr_array1f_pointer q);
  int (*eq)(kvr_array1f_pointer p, kvr_array1f_pointer q);
  int (*neq)(kvr_array1f_pointer p, kvr_array1f_pointer q);
  ptrdiff_t (*distance)(kvr_array1f_pointer p, kvr_array1f_pointer q);
  kvr_array1f_pointer (*next)(kvr_array1f_pointer p, ptrdiff_t d);
  kvr_array1f_pointer (*prev)(kvr_array1f_pointer p, ptrdiff_t d);
  kvr_array1f_pointer (*inc)(kvr_array1f_pointer p);
  kvr_array1f_pointer (*dec)(kvr_array1f_pointer p);
} kvr_array1f_pointer_api;

typedef struct {
  float (*get)(kvr_array1f_iterator p);
  float (*get_at)(kvr_array1f_iterator p, ptrdiff_t d);
  void (*set)(kvr_array1f_iterator p, float value);
  void (*set_at)(kvr_array1f_iterator p, ptrdiff_t d, float value);
  kvr_array1f_reference (*ref)(kvr_array1f_iterator p);
  kvr_array1f_reference (*ref_at)(kvr_array1f_iterator p, ptrdiff_t d);
  kvr_array1f_pointer (*ptr)(kvr_array1f_iterator p);
  kvr_array1f_pointer (*ptr_at)(kvr_array1f_iterator p, ptrdiff_t d);
  size_t (*i)(kvr_array1f_iterator p);
  int (*lt)(kvr_array1f_iterator p, kvr_array1f_iterator q);
  int (*gt)(kvr_array1f_iterator p, kvr_array1f_iterator q);
  int (*leq)(kvr_array1f_iterator p, kvr_array1f_iterator q);
  int (*geq)(kvr_array1f_iterator p, kvr_array1f_iterator q);
  int (*eq)(kvr_array1f_iterator p, kvr_array1f_iterator q);
  int (*neq)(kvr_array1f_iterator p, kvr_array1f_iterator q);
  ptrdiff_t (*distance)(kvr_array1f_iterator p, kvr_array1f_iterator q);
  kvr_array1f_iterator (*next)(kvr_array1f_iterator p, ptrdiff_t d);
  kvr_array1f_iterator (*prev)(kvr_array1f_iterator p, ptrdiff_t d);
  kvr_array1f_iterator (*inc)(kvr_array1f_iterator p);
  kvr_array1f_iterator (*dec)(kvr_array1f_iterator p);
} kvr_array1f_iterator_api;

typedef struct {
  kvr_header (*ctor)(kvr_array1f a);
  kvr_header (*ctor_buffer)(const void* data, size_t bytes);
  void (*dtor)(kvr_header h);
  kvr_type (*scalar_type)(kvr_header h);
  uint32_t (*dimensionality)(kvr_header h);
  size_t (*size_x)(kvr_header h);
  size_t (*size_y)(kvr_header h);
  size_t (*size_z)(kvr_header h);
  size_t (*size_w)(kvr_header h);
  double (*rate)(kvr_header h);
  const void* (*data)(kvr_header h);
  size_t (*size_bytes)(kvr_header h, uint32_t mask);
} kvr_array1f_header_api;

typedef struct {
  kvr_array1f (*ctor_default)(void);
  kvr_array1f (*ctor)(size_t nx, double rate, const float* data, size_t cache_size);
  kvr_array1f (*ctor_copy)(kvr_array1f src);
  kvr_array1f (*ctor_header)(kvr_header h, const void* buffer, size_t buffer_size_bytes);
  void (*dtor)(kvr_array1f a);
  void (*deep_copy)(kvr_array1f a, kvr_array1f src);
  double (*rate)(kvr_array1f a);
  double (*set_rate)(kvr_array1f a, double rate);
  size_t (*cache_size)(kvr_array1f a);
  void (*set_cache_size)(kvr_array1f a, size_t bytes);
  void (*clear_cache)(kvr_array1f a);
  void (*flush_cache)(kvr_array1f a);
  size_t (*compressed_size)(kvr_array1f a);
  void* (*compressed_data)(kvr_array1f a);
  size_t (*size)(kvr_array1f a);
  void (*resize)(kvr_array1f a, size_t nx, int clear);
  void (*get_array)(kvr_array1f a, float* p);
  void (*set_array)(kvr_array1f a, const float* p);
  float (*get_flat)(kvr_array1f a, size_t index);
  void (*set_flat)(kvr_array1f a, size_t index, float value);
  float (*get)(kvr_array1f a, size_t i);
  void (*set)(kvr_array1f a, size_t i, float value);
  kvr_array1f_reference (*ref)(kvr_array1f a, size_t i);
  kvr_array1f_reference (*ref_flat)(kvr_array1f a, size_t index);
  kvr_array1f_pointer (*ptr)(kvr_array1f a, size_t i);
  kvr_array1f_pointer (*ptr_flat)(kvr_array1f a, size_t index);
  kvr_array1f_iterator (*begin)(kvr_array1f a);
  kvr_array1f_iterator (*end)(kvr_array1f a);
  kvr_array1f_reference_api reference;
  kvr_array1f_pointer_api pointer;
  kvr_array1f_iterator_api iterator;
  kvr_array1f_header_api header;
} kvr_array1f_api;

/* ---- 1-D double arrays ---------------------------------------------- */

typedef struct kvr_array1d_object* kvr_array1d;
typedef struct { kvr_array1d array; size_t i; } kvr_array1d_reference;
typedef struct { kvr_array1d array; size_t i; } kvr_array1d_pointer;
typedef struct { kvr_array1d array; size_t i; } kvr_array1d_iterator;

typedef struct {
  double (*get)(kvr_array1d_reference r);
  void (*set)(kvr_array1d_reference r, double value);
  kvr_array1d_pointer (*ptr)(kvr_array1d_reference r);
  void (*copy)(kvr_array1d_reference r, kvr_array1d_reference src);
} kvr_array1d_reference_api;

typedef struct {
  double (*get)(kvr_array1d_pointer p);
  double (*get_at)(kvr_array1d_pointer p, ptrdiff_t d);
  void (*set)(kvr_array1d_pointer p, double value);
  void (*set_at)(kvr_array1d_pointer p, ptrdiff_t d, double value);
  kvr_array1d_reference (*ref)(kvr_array1d_pointer p);
  kvr_array1d_reference (*ref_at)(kvr_array1d_pointer p, ptrdiff_t d);
  int (*lt)(kvr_array1d_pointer p, kvr_array1d_pointer q);
  int (*gt)(kvr_array1d_pointer p, kvr_array1d_pointer q);
  int (*leq)(kvr_array1d_pointer p, kvr_array1d_pointer q);
  int (*geq)(kvr_array1d_pointer p, kvr_array1d_pointer q);
  int (*eq)(kvr_array1d_pointer p, kvr_array1d_pointer q);
  int (*neq)(kvr_array1d_pointer p, kvr_array1d_pointer q);
  ptrdiff_t (*distance)(kvr_array1d_pointer p, kvr_array1d_pointer q);
  kvr_array1d_pointer (*next)(kvr_array1d_pointer p, ptrdiff_t d);
  kvr_array1d_pointer (*prev)(kvr_array1d_pointer p, ptrdiff_t d);
  kvr_array1d_pointer (*inc)(kvr_array1d_pointer p);
  kvr_array1d_pointer (*dec)(kvr_array1d_pointer p);
} kvr_array1d_pointer_api;

typedef struct {
  double (*get)(kvr_array1d_iterator p);
  double (*get_at)(kvr_array1d_iterator p, ptrdiff_t d);
  void (*set)(kvr_array1d_iterator p, double value);
  void (*set_at)(kvr_array1d_iterator p, ptrdiff_t d, double value);
  kvr_array1d_reference (*ref)(kvr_array1d_iterator p);
  kvr_array1d_reference (*ref_at)(kvr_array1d_iterator p, ptrdiff_t d);
  kvr_array1d_pointer (*ptr)(kvr_array1d_iterator p);
  kvr_array1d_pointer (*ptr_at)(kvr_array1d_iterator p, ptrdiff_t d);
  size_t (*i)(kvr_array1d_iterator p);
  int (*lt)(kvr_array1d_iterator p, kvr_array1d_iterator q);
  int (*gt)(kvr_array1d_iterator p, kvr_array1d_iterator q);
  int (*leq)(kvr_array1d_iterator p, kvr_array1d_iterator q);
  int (*geq)(kvr_array1d_iterator p, kvr_array1d_iterator q);
  int (*eq)(kvr_array1d_iterator p, kvr_array1d_iterator q);
  int (*neq)(kvr_array1d_iterator p, kvr_array1d_iterator q);
  ptrdiff_t (*distance)(kvr_array1d_iterator p, kvr_array1d_iterator q);
  kvr_array1d_iterator (*next)(kvr_array1d_iterator p, ptrdiff_t d);
  kvr_array1d_iterator (*prev)(kvr_array1d_iterator p, ptrdiff_t d);
  kvr_array1d_iterator (*inc)(kvr_array1d_iterator p);
  kvr_array1d_iterator (*dec)(kvr_array1d_iterator p);
} kvr_array1d_iterator_api;

typedef struct {
  kvr_header (*ctor)(kvr_array1d a);
  kvr_header (*ctor_buffer)(const void* data, size_t bytes);
  void (*dtor)(kvr_header h);
  kvr_type (*scalar_type)(kvr_header h);
  uint32_t (*dimensionality)(kvr_header h);
  size_t (*size_x)(kvr_header h);
  size_t (*size_y)(kvr_header h);
  size_t (*size_z)(kvr_header h);
  size_t (*size_w)(kvr_header h);
  double (*rate)(kvr_header h);
  const void* (*data)(kvr_header h);
  size_t (*size_bytes)(kvr_header h, uint32_t mask);
} kvr_array1d_header_api;

typedef struct {
  kvr_array1d (*ctor_default)(void);
  kvr_array1d (*ctor)(size_t nx, double rate, const double* data, size_t cache_size);
  kvr_array1d (*ctor_copy)(kvr_array1d src);
  kvr_array1d (*ctor_header)(kvr_header h, const void* buffer, size_t buffer_size_bytes);
  void (*dtor)(kvr_array1d a);
  void (*deep_copy)(kvr_array1d a, kvr_array1d src);
  double (*rate)(kvr_array1d a);
  double (*set_rate)(kvr_array1d a, double rate);
  size_t (*cache_size)(kvr_array1d a);
  void (*set_cache_size)(kvr_array1d a, size_t bytes);
  void (*clear_cache)(kvr_array1d a);
  void (*flush_cache)(kvr_array1d a);
  size_t (*compressed_size)(kvr_array1d a);
  void* (*compressed_data)(kvr_array1d a);
  size_t (*size)(kvr_array1d a);
  void (*resize)(kvr_array1d a, size_t nx, int clear);
  void (*get_array)(kvr_array1d a, double* p);
  void (*set_array)(kvr_array1d a, const double* p);
  double (*get_flat)(kvr_array1d a, size_t index);
  void (*set_flat)(kvr_array1d a, size_t index, double value);
  double (*get)(kvr_array1d a, size_t i);
  void (*set)(kvr_array1d a, size_t i, double value);
  kvr_array1d_reference (*ref)(kvr_array1d a, size_t i);
  kvr_array1d_reference (*ref_flat)(kvr_array1d a, size_t index);
  kvr_array1d_pointer (*ptr)(kvr_array1d a, size_t i);
  kvr_array1d_pointer (*ptr_flat)(kvr_array1d a, size_t index);
  kvr_array1d_iterator (*begin)(kvr_array1d a);
  kvr_array1d_iterator (*end)(kvr_array1d a);
  kvr_array1d_reference_api reference;
  kvr_array1d_pointer_api pointer;
  kvr_array1d_iterator_api iterator;
  kvr_array1d_header_api header;
} kvr_array1d_api;

/* ---- 2-D float arrays ---------------------------------------------- */

typedef struct kvr_array2f_object* kvr_array2f;
typedef struct { kvr_array2f array; size_t i; size_t j; } kvr_array2f_reference;
typedef struct { kvr_array2f array; size_t i; size_t j; } kvr_array2f_pointer;
typedef struct { kvr_array2f array; size_t i; size_t j; } kvr_array2f_iterator;

typedef struct {
  float (*get)(kvr_array2f_reference r);
  void (*set)(kvr_array2f_reference r, float value);
  kvr_array2f_pointer (*ptr)(kvr_array2f_reference r);
  void (*copy)(kvr_array2f_reference r, kvr_array2f_reference src);
} kvr_array2f_reference_api;

typedef struct {
  float (*get)(kvr_array2f_pointer p);
  float (*get_at)(kvr_array2f_pointer p, ptrdiff_t d);
  void (*set)(kvr_array2f_pointer p, float value);
  void (*set_at)(kvr_array2f_pointer p, ptrdiff_t d, float value);
  kvr_array2f_reference (*ref)(kvr_array2f_pointer p);
  kvr_array2f_reference (*ref_at)(kvr_array2f_pointer p, ptrdiff_t d);
  int (*lt)(kvr_array2f_pointer p, kvr_array2f_pointer q);
  int (*gt)(kvr_array2f_pointer p, kvr_array2f_pointer q);
  int (*leq)(kvr_array2f_pointer p, kvr_array2f_pointer q);
  int (*geq)(kvr_array2f_pointer p, kvr_array2f_pointer q);
  int (*eq)(kvr_array2f_pointer p, kvr_array2f_pointer q);
  int (*neq)(kvr_array2f_pointer p, kvr_array2f_pointer q);
  ptrdiff_t (*distance)(kvr_array2f_pointer p, kvr_array2f_pointer q);
  kvr_array2f_pointer (*next)(kvr_array2f_pointer p, ptrdiff_t d);
  kvr_array2f_pointer (*prev)(kvr_array2f_pointer p, ptrdiff_t d);
  kvr_array2f_pointer (*inc)(kvr_array2f_pointer p);
  kvr_array2f_pointer (*dec)(kvr_array2f_pointer p);
} kvr_array2f_pointer_api;

typedef struct {
  float (*get)(kvr_array2f_iterator p);
  float (*get_at)(kvr_array2f_iterator p, ptrdiff_t d);
  void (*set)(kvr_array2f_iterator p, float value);
  void (*set_at)(kvr_array2f_iterator p, ptrdiff_t d, float value);
  kvr_array2f_reference (*ref)(kvr_array2f_iterator p);
  kvr_array2f_reference (*ref_at)(kvr_array2f_iterator p, ptrdiff_t d);
  kvr_array2f_pointer (*ptr)(kvr_array2f_iterator p);
  kvr_array2f_pointer (*ptr_at)(kvr_array2f_iterator p, ptrdiff_t d);
  size_t (*i)(kvr_array2f_iterator p);
  size_t (*j)(kvr_array2f_iterator p);
  int (*lt)(kvr_array2f_iterator p, kvr_array2f_iterator q);
  int (*gt)(kvr_array2f_iterator p, kvr_array2f_iterator q);
  int (*leq)(kvr_array2f_iterator p, kvr_array2f_iterator q);
  int (*geq)(kvr_array2f_iterator p, kvr_array2f_iterator q);
  int (*eq)(kvr_array2f_iterator p, kvr_array2f_iterator q);
  int (*neq)(kvr_array2f_iterator p, kvr_array2f_iterator q);
  ptrdiff_t (*distance)(kvr_array2f_iterator p, kvr_array2f_iterator q);
  kvr_array2f_iterator (*next)(kvr_array2f_iterator p, ptrdiff_t d);
  kvr_array2f_iterator (*prev)(kvr_array2f_iterator p, ptrdiff_t d);
  kvr_array2f_iterator (*inc)(kvr_array2f_iterator p);
  kvr_array2f_iterator (*dec)(kvr_array2f_iterator p);
} kvr_array2f_iterator_api;

typedef struct {
  kvr_header (*ctor)(kvr_array2f a);
  kvr_header (*ctor_buffer)(const void* data, size_t bytes);
  void (*dtor)(kvr_header h);
  kvr_type (*scalar_type)(kvr_header h);
  uint32_t (*dimensionality)(kvr_header h);
  size_t (*size_x)(kvr_header h);
  size_t (*size_y)(kvr_header h);
  size_t (*size_z)(kvr_header h);
  size_t (*size_w)(kvr_header h);
  double (*rate)(kvr_header h);
  const void* (*data)(kvr_header h);
  size_t (*size_bytes)(kvr_header h, uint32_t mask);
} kvr_array2f_header_api;

typedef struct {
  kvr_array2f (*ctor_default)(void);
  kvr_array2f (*ctor)(size_t nx, size_t ny, double rate, const float* data, size_t cache_size);
  kvr_array2f (*ctor_copy)(kvr_array2f src);
  kvr_array2f (*ctor_header)(kvr_header h, const void* buffer, size_t buffer_size_bytes);
  void (*dtor)(kvr_array2f a);
  void (*deep_copy)(kvr_array2f a, kvr_array2f src);
  double (*rate)(kvr_array2f a);
  double (*set_rate)(kvr_array2f a, double rate);
  size_t (*cache_size)(kvr_array2f a);
  void (*set_cache_size)(kvr_array2f a, size_t bytes);
  void (*clear_cache)(kvr_array2f a);
  void (*flush_cache)(kvr_array2f a);
  size_t (*compressed_size)(kvr_array2f a);
  void* (*compressed_data)(kvr_array2f a);
  size_t (*size)(kvr_array2f a);
  size_t (*size_x)(kvr_array2f a);
  size_t (*size_y)(kvr_array2f a);
  void (*resize)(kvr_array2f a, size_t nx, size_t ny, int clear);
  void (*get_array)(kvr_array2f a, float* p);
  void (*set_array)(kvr_array2f a, const float* p);
  float (*get_flat)(kvr_array2f a, size_t index);
  void (*set_flat)(kvr_array2f a, size_t index, float value);
  float (*get)(kvr_array2f a, size_t i, size_t j);
  void (*set)(kvr_array2f a, size_t i, size_t j, float value);
  kvr_array2f_reference (*ref)(kvr_array2f a, size_t i, size_t j);
  kvr_array2f_reference (*ref_flat)(kvr_array2f a, size_t index);
  kvr_array2f_pointer (*ptr)(kvr_array2f a, size_t i, size_t j);
  kvr_array2f_pointer (*ptr_flat)(kvr_array2f a, size_t index);
  kvr_array2f_iterator (*begin)(kvr_array2f a);
  kvr_array2f_iterator (*end)(kvr_array2f a);
  kvr_array2f_reference_api reference;
  kvr_array2f_pointer_api pointer;
  kvr_array2f_iterator_api iterator;
  kvr_array2f_header_api header;
} kvr_array2f_api;

/* ---- 2-D double arrays ---------------------------------------------- */

typedef struct kvr_array2d_object* kvr_array2d;
typedef struct { kvr_array2d array; size_t i; size_t j; } kvr_array2d_reference;
typedef struct { kvr_array2d array; size_t i; size_t j; } kvr_array2d_pointer;
typedef struct { kvr_array2d array; size_t i; size_t j; } kvr_array2d_iterator;

typedef struct {
  double (*get)(kvr_array2d_reference r);
  void (*set)(kvr_array2d_reference r, double value);
  kvr_array2d_pointer (*ptr)(kvr_array2d_reference r);
  void (*copy)(kvr_array2d_reference r, kvr_array2d_reference src);
} kvr_array2d_reference_api;

typedef struct {
  double (*get)(kvr_array2d_pointer p);
  double (*get_at)(kvr_array2d_pointer p, ptrdiff_t d);
  void (*set)(kvr_array2d_pointer p, double value);
  void (*set_at)(kvr_array2d_pointer p, ptrdiff_t d, double value);
  kvr_array2d_reference (*ref)(kvr_array2d_pointer p);
  kvr_array2d_reference (*ref_at)(kvr_array2d_pointer p, ptrdiff_t d);
  int (*lt)(kvr_array2d_pointer p, kvr_array2d_pointer q);
  int (*gt)(kvr_array2d_pointer p, kvr_array2d_pointer q);
  int (*leq)(kvr_array2d_pointer p, kvr_array2d_pointer q);
  int (*geq)(kvr_array2d_pointer p, kvr_array2d_pointer q);
  int (*eq)(kvr_array2d_pointer p, kvr_array2d_pointer q);
  int (*neq)(kvr_array2d_pointer p, kvr_array2d_pointer q);
  ptrdiff_t (*distance)(kvr_array2d_pointer p, kvr_array2d_pointer q);
  kvr_array2d_pointer (*next)(kvr_array2d_pointer p, ptrdiff_t d);
  kvr_array2d_pointer (*prev)(kvr_array2d_pointer p, ptrdiff_t d);
  kvr_array2d_pointer (*inc)(kvr_array2d_pointer p);
  kvr_array2d_pointer (*dec)(kvr_array2d_pointer p);
} kvr_array2d_pointer_api;

typedef struct {
  double (*get)(kvr_array2d_iterator p);
  double (*get_at)(kvr_array2d_iterator p, ptrdiff_t d);
  void (*set)(kvr_array2d_iterator p, double value);
  void (*set_at)(kvr_array2d_iterator p, ptrdiff_t d, double value);
  kvr_array2d_reference (*ref)(kvr_array2d_iterator p);
  kvr_array2d_reference (*ref_at)(kvr_array2d_iterator p, ptrdiff_t d);
  kvr_array2d_pointer (*ptr)(kvr_array2d_iterator p);
  kvr_array2d_pointer (*ptr_at)(kvr_array2d_iterator p, ptrdiff_t d);
  size_t (*i)(kvr_array2d_iterator p);
  size_t (*j)(kvr_array2d_iterator p);
  int (*lt)(kvr_array2d_iterator p, kvr_array2d_iterator q);
  int (*gt)(kvr_array2d_iterator p, kvr_array2d_iterator q);
  int (*leq)(kvr_array2d_iterator p, kvr_array2d_iterator q);
  int (*geq)(kvr_array2d_iterator p, kvr_array2d_iterator q);
  int (*eq)(kvr_array2d_iterator p, kvr_array2d_iterator q);
  int (*neq)(kvr_array2d_iterator p, kvr_array2d_iterator q);
  ptrdiff_t (*distance)(kvr_array2d_iterator p, kvr_array2d_iterator q);
  kvr_array2d_iterator (*next)(kvr_array2d_iterator p, ptrdiff_t d);
  kvr_array2d_iterator (*prev)(kvr_array2d_iterator p, ptrdiff_t d);
  kvr_array2d_iterator (*inc)(kvr_array2d_iterator p);
  kvr_array2d_iterator (*dec)(kvr_array2d_iterator p);
} kvr_array2d_iterator_api;

typedef struct {
  kvr_header (*ctor)(kvr_array2d a);
  kvr_header (*ctor_buffer)(const void* data, size_t bytes);
  void (*dtor)(kvr_header h);
  kvr_type (*scalar_type)(kvr_header h);
  uint32_t (*dimensionality)(kvr_header h);
  size_t (*size_x)(kvr_header h);
  size_t (*size_y)(kvr_header h);
  size_t (*size_z)(kvr_header h);
  size_t (*size_w)(kvr_header h);
  double (*rate)(kvr_header h);
  const void* (*data)(kvr_header h);
  size_t (*size_bytes)(kvr_header h, uint32_t mask);
} kvr_array2d_header_api;

typedef struct {
  kvr_array2d (*ctor_default)(void);
  kvr_array2d (*ctor)(size_t nx, size_t ny, double rate, const double* data, size_t cache_size);
  kvr_array2d (*ctor_copy)(kvr_array2d src);
  kvr_array2d (*ctor_header)(kvr_header h, const void* buffer, size_t buffer_size_bytes);
  void (*dtor)(kvr_array2d a);
  void (*deep_copy)(kvr_array2d a, kvr_array2d src);
  double (*rate)(kvr_array2d a);
  double (*set_rate)(kvr_array2d a, double rate);
  size_t (*cache_size)(kvr_array2d a);
  void (*set_cache_size)(kvr_array2d a, size_t bytes);
  void (*clear_cache)(kvr_array2d a);
  void (*flush_cache)(kvr_array2d a);
  size_t (*compressed_size)(kvr_array2d a);
  void* (*compressed_data)(kvr_array2d a);
  size_t (*size)(kvr_array2d a);
  size_t (*size_x)(kvr_array2d a);
  size_t (*size_y)(kvr_array2d a);
  void (*resize)(kvr_array2d a, size_t nx, size_t ny, int clear);
  void (*get_array)(kvr_array2d a, double* p);
  void (*set_array)(kvr_array2d a, const double* p);
  double (*get_flat)(kvr_array2d a, size_t index);
  void (*set_flat)(kvr_array2d a, size_t index, double value);
  double (*get)(kvr_array2d a, size_t i, size_t j);
  void (*set)(kvr_array2d a, size_t i, size_t j, double value);
  kvr_array2d_reference (*ref)(kvr_array2d a, size_t i, size_t j);
  kvr_array2d_reference (*ref_flat)(kvr_array2d a, size_t index);
  kvr_array2d_pointer (*ptr)(kvr_array2d a, size_t i, size_t j);
  kvr_array2d_pointer (*ptr_flat)(kvr_array2d a, size_t index);
  kvr_array2d_iterator (*begin)(kvr_array2d a);
  kvr_array2d_iterator (*end)(kvr_array2d a);
  kvr_array2d_reference_api reference;
  kvr_array2d_pointer_api pointer;
  kvr_array2d_iterator_api iterator;
  kvr_array2d_header_api header;
} kvr_array2d_api;

/* ---- 3-D float arrays ---------------------------------------------- */

typedef struct kvr_array3f_object* kvr_array3f;
typedef struct { kvr_array3f array; size_t i; size_t j; size_t k; } kvr_array3f_reference;
typedef struct { kvr_array3f array; size_t i; size_t j; size_t k; } kvr_array3f_pointer;
typedef struct { kvr_array3f array; size_t i; size_t j; size_t k; } kvr_array3f_iterator;

typedef struct {
  float (*get)(kvr_array3f_reference r);
  void (*set)(kvr_array3f_reference r, float value);
  kvr_array3f_pointer (*ptr)(kvr_array3f_reference r);
  void (*copy)(kvr_array3f_reference r, kvr_array3f_reference src);
} kvr_array3f_reference_api;

typedef struct {
  float (*get)(kvr_array3f_pointer p);
  float (*get_at)(kvr_array3f_pointer p, ptrdiff_t d);
  void (*set)(kvr_array3f_pointer p, float value);
  void (*set_at)(kvr_array3f_pointer p, ptrdiff_t d, float value);
  kvr_array3f_reference (*ref)(kvr_array3f_pointer p);
  kvr_array3f_reference (*ref_at)(kvr_array3f_pointer p, ptrdiff_t d);
  int (*lt)(kvr_array3f_pointer p, kvr_array3f_pointer q);
  int (*gt)(kvr_array3f_pointer p, kvr_array3f_pointer q);
  int (*leq)(kvr_array3f_pointer p, kvr_array3f_pointer q);
  int (*geq)(kvr_array3f_pointer p, kvr_array3f_pointer q);
  int (*eq)(kvr_array3f_pointer p, kvr_array3f_pointer q);
  int (*neq)(kvr_array3f_pointer p, kvr_array3f_pointer q);
  ptrdiff_t (*distance)(kvr_array3f_pointer p, kvr_array3f_pointer q);
  kvr_array3f_pointer (*next)(kvr_array3f_pointer p, ptrdiff_t d);
  kvr_array3f_pointer (*prev)(kvr_array3f_pointer p, ptrdiff_t d);
  kvr_array3f_pointer (*inc)(kvr_array3f_pointer p);
  kvr_array3f_pointer (*dec)(kvr_array3f_pointer p);
} kvr_array3f_pointer_api;

typedef struct {
  float (*get)(kvr_array3f_iterator p);
  float (*get_at)(kvr_array3f_iterator p, ptrdiff_t d);
  void (*set)(kvr_array3f_iterator p, float value);
  void (*set_at)(kvr_array3f_iterator p, ptrdiff_t d, float value);
  kvr_array3f_reference (*ref)(kvr_array3f_iterator p);
  kvr_array3f_reference (*ref_at)(kvr_array3f_iterator p, ptrdiff_t d);
  kvr_array3f_pointer (*ptr)(kvr_array3f_iterator p);
  kvr_array3f_pointer (*ptr_at)(kvr_array3f_iterator p, ptrdiff_t d);
  size_t (*i)(kvr_array3f_iterator p);
  size_t (*j)(kvr_array3f_iterator p);
  size_t (*k)(kvr_array3f_iterator p);
  int (*lt)(kvr_array3f_iterator p, kvr_array3f_iterator q);
  int (*gt)(kvr_array3f_iterator p, kvr_array3f_iterator q);
  int (*leq)(kvr_array3f_iterator p, kvr_array3f_iterator q);
  int (*geq)(kvr_array3f_iterator p, kvr_array3f_iterator q);
  int (*eq)(kvr_array3f_iterator p, kvr_array3f_iterator q);
  int (*neq)(kvr_array3f_iterator p, kvr_array3f_iterator q);
  ptrdiff_t (*distance)(kvr_array3f_iterator p, kvr_array3f_iterator q);
  kvr_array3f_iterator (*next)(kvr_array3f_iterator p, ptrdiff_t d);
  kvr_array3f_iterator (*prev)(kvr_array3f_iterator p, ptrdiff_t d);
  kvr_array3f_iterator (*inc)(kvr_array3f_iterator p);
  kvr_array3f_iterator (*dec)(kvr_array3f_iterator p);
} kvr_array3f_iterator_api;

typedef struct {
  kvr_header (*ctor)(kvr_array3f a);
  kvr_header (*ctor_buffer)(const void* data, size_t bytes);
  void (*dtor)(kvr_header h);
  kvr_type (*scalar_type)(kvr_header h);
  uint32_t (*dimensionality)(kvr_header h);
  size_t (*size_x)(kvr_header h);
  size_t (*size_y)(kvr_header h);
  size_t (*size_z)(kvr_header h);
  size_t (*size_w)(kvr_header h);
  double (*rate)(kvr_header h);
  const void* (*data)(kvr_header h);
  size_t (*size_bytes)(kvr_header h, uint32_t mask);
} kvr_array3f_header_api;

typedef struct {
  kvr_array3f (*ctor_default)(void);
  kvr_array3f (*ctor)(size_t nx, size_t ny, size_t nz, double rate, const float* data, size_t cache_size);
  kvr_array3f (*ctor_copy)(kvr_array3f src);
  kvr_array3f (*ctor_header)(kvr_header h, const void* buffer, size_t buffer_size_bytes);
  void (*dtor)(kvr_array3f a);
  void (*deep_copy)(kvr_array3f a, kvr_array3f src);
  double (*rate)(kvr_array3f a);
  double (*set_rate)(kvr_array3f a, double rate);
  size_t (*cache_size)(kvr_array3f a);
  void (*set_cache_size)(kvr_array3f a, size_t bytes);
  void (*clear_cache)(kvr_array3f a);
  void (*flush_cache)(kvr_array3f a);
  size_t (*compressed_size)(kvr_array3f a);
  void* (*compressed_data)(kvr_array3f a);
  size_t (*size)(kvr_array3f a);
  size_t (*size_x)(kvr_array3f a);
  size_t (*size_y)(kvr_array3f a);
  size_t (*size_z)(kvr_array3f a);
  void (*resize)(kvr_array3f a, size_t nx, size_t ny, size_t nz, int clear);
  void (*get_array)(kvr_array3f a, float* p);
  void (*set_array)(kvr_array3f a, const float* p);
  float (*get_flat)(kvr_array3f a, size_t index);
  void (*set_flat)(kvr_array3f a, size_t index, float value);
  float (*get)(kvr_array3f a, size_t i, size_t j, size_t k);
  void (*set)(kvr_array3f a, size_t i, size_t j, size_t k, float value);
  kvr_array3f_reference (*ref)(kvr_array3f a, size_t i, size_t j, size_t k);
  kvr_array3f_reference (*ref_flat)(kvr_array3f a, size_t index);
  kvr_array3f_pointer (*ptr)(kvr_array3f a, size_t i, size_t j, size_t k);
  kvr_array3f_pointer (*ptr_flat)(kvr_array3f a, size_t index);
  kvr_array3f_iterator (*begin)(kvr_array3f a);
  kvr_array3f_iterator (*end)(kvr_array3f a);
  kvr_array3f_reference_api reference;
  kvr_array3f_pointer_api pointer;
  kvr_array3f_iterator_api iterator;
  kvr_array3f_header_api header;
} kvr_array3f_api;

/* ---- 3-D double arrays ---------------------------------------------- */

typedef struct kvr_array3d_object* kvr_array3d;
typedef struct { kvr_array3d array; size_t i; size_t j; size_t k; } kvr_array3d_reference;
typedef struct { kvr_array3d array; size_t i; size_t j; size_t k; } kvr_array3d_pointer;
typedef struct { kvr_array3d array; size_t i; size_t j; size_t k; } kvr_array3d_iterator;

typedef struct {
  double (*get)(kvr_array3d_reference r);
  void (*set)(kvr_array3d_reference r, double value);
  kvr_array3d_pointer (*ptr)(kvr_array3d_reference r);
  void (*copy)(kvr_array3d_reference r, kvr_array3d_reference src);
} kvr_array3d_reference_api;

typedef struct {
  double (*get)(kvr_array3d_pointer p);
  double (*get_at)(kvr_array3d_pointer p, ptrdiff_t d);
  void (*set)(kvr_array3d_pointer p, double value);
  void (*set_at)(kvr_array3d_pointer p, ptrdiff_t d, double value);
  kvr_array3d_reference (*ref)(kvr_array3d_pointer p);
  kvr_array3d_reference (*ref_at)(kvr_array3d_pointer p, ptrdiff_t d);
  int (*lt)(kvr_array3d_pointer p, kvr_array3d_pointer q);
  int (*gt)(kvr_array3d_pointer p, kvr_array3d_pointer q);
  int (*leq)(kvr_array3d_pointer p, kvr_array3d_pointer q);
  int (*geq)(kvr_array3d_pointer p, kvr_array3d_pointer q);
  int (*eq)(kvr_array3d_pointer p, kvr_array3d_pointer q);
  int (*neq)(kvr_array3d_pointer p, kvr_array3d_pointer q);
  ptrdiff_t (*distance)(kvr_array3d_pointer p, kvr_array3d_pointer q);
  kvr_array3d_pointer (*next)(kvr_array3d_pointer p, ptrdiff_t d);
  kvr_array3d_pointer (*prev)(kvr_array3d_pointer p, ptrdiff_t d);
  kvr_array3d_pointer (*inc)(kvr_array3d_pointer p);
  kvr_array3d_pointer (*dec)(kvr_array3d_pointer p);
} kvr_array3d_pointer_api;

typedef struct {
  double (*get)(kvr_array3d_iterator p);
  double (*get_at)(kvr_array3d_iterator p, ptrdiff_t d);
  void (*set)(kvr_array3d_iterator p, double value);
  void (*set_at)(kvr_array3d_iterator p, ptrdiff_t d, double value);
  kvr_array3d_reference (*ref)(kvr_array3d_iterator p);
  kvr_array3d_reference (*ref_at)(kvr_array3d_iterator p, ptrdiff_t d);
  kvr_array3d_pointer (*ptr)(kvr_array3d_iterator p);
  kvr_array3d_pointer (*ptr_at)(kvr_array3d_iterator p, ptrdiff_t d);
  size_t (*i)(kvr_array3d_iterator p);
  size_t (*j)(kvr_array3d_iterator p);
  size_t (*k)(kvr_array3d_iterator p);
  int (*lt)(kvr_array3d_iterator p, kvr_array3d_iterator q);
  int (*gt)(kvr_array3d_iterator p, kvr_array3d_iterator q);
  int (*leq)(kvr_array3d_iterator p, kvr_array3d_iterator q);
  int (*geq)(kvr_array3d_iterator p, kvr_array3d_iterator q);
  int (*eq)(kvr_array3d_iterator p, kvr_array3d_iterator q);
  int (*neq)(kvr_array3d_iterator p, kvr_array3d_iterator q);
  ptrdiff_t (*distance)(kvr_array3d_iterator p, kvr_array3d_iterator q);
  kvr_array3d_iterator (*next)(kvr_array3d_iterator p, ptrdiff_t d);
  kvr_array3d_iterator (*prev)(kvr_array3d_iterator p, ptrdiff_t d);
  kvr_array3d_iterator (*inc)(kvr_array3d_iterator p);
  kvr_array3d_iterator (*dec)(kvr_array3d_iterator p);
} kvr_array3d_iterator_api;

typedef struct {
  kvr_header (*ctor)(kvr_array3d a);
  kvr_header (*ctor_buffer)(const void* data, size_t bytes);
  void (*dtor)(kvr_header h);
  kvr_type (*scalar_type)(kvr_header h);
  uint32_t (*dimensionality)(kvr_header h);
  size_t (*size_x)(kvr_header h);
  size_t (*size_y)(kvr_header h);
  size_t (*size_z)(kvr_header h);
  size_t (*size_w)(kvr_header h);
  double (*rate)(kvr_header h);
  const void* (*data)(kvr_header h);
  size_t (*size_bytes)(kvr_header h, uint32_t mask);
} kvr_array3d_header_api;

typedef struct {
  kvr_array3d (*ctor_default)(void);
  kvr_array3d (*ctor)(size_t nx, size_t ny, size_t nz, double rate, const double* data, size_t cache_size);
  kvr_array3d (*ctor_copy)(kvr_array3d src);
  kvr_array3d (*ctor_header)(kvr_header h, const void* buffer, size_t buffer_size_bytes);
  void (*dtor)(kvr_array3d a);
  void (*deep_copy)(kvr_array3d a, kvr_array3d src);
  double (*rate)(kvr_array3d a);
  double (*set_rate)(kvr_array3d a, double rate);
  size_t (*cache_size)(kvr_array3d a);
  void (*set_cache_size)(kvr_array3d a, size_t bytes);
  void (*clear_cache)(kvr_array3d a);
  void (*flush_cache)(kvr_array3d a);
  size_t (*compressed_size)(kvr_array3d a);
  void* (*compressed_data)(kvr_array3d a);
  size_t (*size)(kvr_array3d a);
  size_t (*size_x)(kvr_array3d a);
  size_t (*size_y)(kvr_array3d a);
  size_t (*size_z)(kvr_array3d a);
  void (*resize)(kvr_array3d a, size_t nx, size_t ny, size_t nz, int clear);
  void (*get_array)(kvr_array3d a, double* p);
  void (*set_array)(kvr_array3d a, const double* p);
  double (*get_flat)(kvr_array3d a, size_t index);
  void (*set_flat)(kvr_array3d a, size_t index, double value);
  double (*get)(kvr_array3d a, size_t i, size_t j, size_t k);
  void (*set)(kvr_array3d a, size_t i, size_t j, size_t k, double value);
  kvr_array3d_reference (*ref)(kvr_array3d a, size_t i, size_t j, size_t k);
  kvr_array3d_reference (*ref_flat)(kvr_array3d a, size_t index);
  kvr_array3d_pointer (*ptr)(kvr_array3d a, size_t i, size_t j, size_t k);
  kvr_array3d_pointer (*ptr_flat)(kvr_array3d a, size_t index);
  kvr_array3d_iterator (*begin)(kvr_array3d a);
  kvr_array3d_iterator (*end)(kvr_array3d a);
  kvr_array3d_reference_api reference;
  kvr_array3d_pointer_api pointer;
  kvr_array3d_iterator_api iterator;
  kvr_array3d_header_api header;
} kvr_array3d_api;

/* ---- 4-D float arrays ---------------------------------------------- */

typedef struct kvr_array4f_object* kvr_array4f;
typedef struct { kvr_array4f array; size_t i; size_t j; size_t k; size_t l; } kvr_array4f_reference;
typedef struct { kvr_array4f array; size_t i; size_t j; size_t k; size_t l; } kvr_array4f_pointer;
typedef struct { kvr_array4f array; size_t i; size_t j; size_t k; size_t l; } kvr_array4f_iterator;

typedef struct {
  float (*get)(kvr_array4f_reference r);
  void (*set)(kvr_array4f_reference r, float value);
  kvr_array4f_pointer (*ptr)(kvr_array4f_reference r);
  void (*copy)(kvr_array4f_reference r, kvr_array4f_reference src);
} kvr_array4f_reference_api;

typedef struct {
  float (*get)(kvr_array4f_pointer p);
  float (*get_at)(kvr_array4f_pointer p, ptrdiff_t d);
  void (*set)(kvr_array4f_pointer p, float value);
  void (*set_at)(kvr_array4f_pointer p, ptrdiff_t d, float value);
  kvr_array4f_reference (*ref)(kvr_array4f_pointer p);
  kvr_array4f_reference (*ref_at)(kvr_array4f_pointer p, ptrdiff_t d);
  int (*lt)(kvr_array4f_pointer p, kvr_array4f_pointer q);
  int (*gt)(kvr_array4f_pointer p, kvr_array4f_pointer q);
  int (*leq)(kvr_array4f_pointer p, kvr_array4f_pointer q);
  int (*geq)(kvr_array4f_pointer p, kvr_array4f_pointer q);
  int (*eq)(kvr_array4f_pointer p, kvr_array4f_pointer q);
  int (*neq)(kvr_array4f_pointer p, kvr_array4f_pointer q);
  ptrdiff_t (*distance)(kvr_array4f_pointer p, kvr_array4f_pointer q);
  kvr_array4f_pointer (*next)(kvr_array4f_pointer p, ptrdiff_t d);
  kvr_array4f_pointer (*prev)(kvr_array4f_pointer p, ptrdiff_t d);
  kvr_array4f_pointer (*inc)(kvr_array4f_pointer p);
  kvr_array4f_pointer (*dec)(kvr_array4f_pointer p);
} kvr_array4f_pointer_api;

typedef struct {
  float (*get)(kvr_array4f_iterator p);
  float (*get_at)(kvr_array4f_iterator p, ptrdiff_t d);
  void (*set)(kvr_array4f_iterator p, float value);
  void (*set_at)(kvr_array4f_iterator p, ptrdiff_t d, float value);
  kvr_array4f_reference (*ref)(kvr_array4f_iterator p);
  kvr_array4f_reference (*ref_at)(kvr_array4f_iterator p, ptrdiff_t d);
  kvr_array4f_pointer (*ptr)(kvr_array4f_iterator p);
  kvr_array4f_pointer (*ptr_at)(kvr_array4f_iterator p, ptrdiff_t d);
  size_t (*i)(kvr_array4f_iterator p);
  size_t (*j)(kvr_array4f_iterator p);
  size_t (*k)(kvr_array4f_iterator p);
  size_t (*l)(kvr_array4f_iterator p);
  int (*lt)(kvr_array4f_iterator p, kvr_array4f_iterator q);
  int (*gt)(kvr_array4f_iterator p, kvr_array4f_iterator q);
  int (*leq)(kvr_array4f_iterator p, kvr_array4f_iterator q);
  int (*geq)(kvr_array4f_iterator p, kvr_array4f_iterator q);
  int (*eq)(kvr_array4f_iterator p, kvr_array4f_iterator q);
  int (*neq)(kvr_array4f_iterator p, kvr_array4f_iterator q);
  ptrdiff_t (*distance)(kvr_array4f_iterator p, kvr_array4f_iterator q);
  kvr_array4f_iterator (*next)(kvr_array4f_iterator p, ptrdiff_t d);
  kvr_array4f_iterator (*prev)(kvr_array4f_iterator p, ptrdiff_t d);
  kvr_array4f_iterator (*inc)(kvr_array4f_iterator p);
  kvr_array4f_iterator (*dec)(kvr_array4f_iterator p);
} kvr_array4f_iterator_api;

typedef struct {
  kvr_header (*ctor)(kvr_array4f a);
  kvr_header (*ctor_buffer)(const void* data, size_t bytes);
  void (*dtor)(kvr_header h);
  kvr_type (*scalar_type)(kvr_header h);
  uint32_t (*dimensionality)(kvr_header h);
  size_t (*size_x)(kvr_header h);
  size_t (*size_y)(kvr_header h);
  size_t (*size_z)(kvr_header h);
  size_t (*size_w)(kvr_header h);
  double (*rate)(kvr_header h);
  const void* (*data)(kvr_header h);
  size_t (*size_bytes)(kvr_header h, uint32_t mask);
} kvr_array4f_header_api;

typedef struct {
  kvr_array4f (*ctor_default)(void);
  kvr_array4f (*ctor)(size_t nx, size_t ny, size_t nz, size_t nw, double rate, const float* data, size_t cache_size);
  kvr_array4f (*ctor_copy)(kvr_array4f src);
  kvr_array4f (*ctor_header)(kvr_header h, const void* buffer, size_t buffer_size_bytes);
  void (*dtor)(kvr_array4f a);
  void (*deep_copy)(kvr_array4f a, kvr_array4f src);
  double (*rate)(kvr_array4f a);
  double (*set_rate)(kvr_array4f a, double rate);
  size_t (*cache_size)(kvr_array4f a);
  void (*set_cache_size)(kvr_array4f a, size_t bytes);
  void (*clear_cache)(kvr_array4f a);
  void (*flush_cache)(kvr_array4f a);
  size_t (*compressed_size)(kvr_array4f a);
  void* (*compressed_data)(kvr_array4f a);
  size_t (*size)(kvr_array4f a);
  size_t (*size_x)(kvr_array4f a);
  size_t (*size_y)(kvr_array4f a);
  size_t (*size_z)(kvr_array4f a);
  size_t (*size_w)(kvr_array4f a);
  void (*resize)(kvr_array4f a, size_t nx, size_t ny, size_t nz, size_t nw, int clear);
  void (*get_array)(kvr_array4f a, float* p);
  void (*set_array)(kvr_array4f a, const float* p);
  float (*get_flat)(kvr_array4f a, size_t index);
  void (*set_flat)(kvr_array4f a, size_t index, float value);
  float (*get)(kvr_array4f a, size_t i, size_t j, size_t k, size_t l);
  void (*set)(kvr_array4f a, size_t i, size_t j, size_t k, size_t l, float value);
  kvr_array4f_reference (*ref)(kvr_array4f a, size_t i, size_t j, size_t k, size_t l);
  kvr_array4f_reference (*ref_flat)(kvr_array4f a, size_t index);
  kvr_array4f_pointer (*ptr)(kvr_array4f a, size_t i, size_t j, size_t k, size_t l);
  kvr_array4f_pointer (*ptr_flat)(kvr_array4f a, size_t index);
  kvr_array4f_iterator (*begin)(kvr_array4f a);
  kvr_array4f_iterator (*end)(kvr_array4f a);
  kvr_array4f_reference_api reference;
  kvr_array4f_pointer_api pointer;
  kvr_array4f_iterator_api iterator;
  kvr_array4f_header_api header;
} kvr_array4f_api;

/* ---- 4-D double arrays ---------------------------------------------- */

typedef struct kvr_array4d_object* kvr_array4d;
typedef struct { kvr_array4d array; size_t i; size_t j; size_t k; size_t l; } kvr_array4d_reference;
typedef struct { kvr_array4d array; size_t i; size_t j; size_t k; size_t l; } kvr_array4d_pointer;
typedef struct { kvr_array4d array; size_t i; size_t j; size_t k; size_t l; } kvr_array4d_iterator;

typedef struct {
  double (*get)(kvr_array4d_reference r);
  void (*set)(kvr_array4d_reference r, double value);
  kvr_array4d_pointer (*ptr)(kvr_array4d_reference r);
  void (*copy)(kvr_array4d_reference r, kvr_array4d_reference src);
} kvr_array4d_reference_api;

typedef struct {
  double (*get)(kvr_array4d_pointer p);
  double (*get_at)(kvr_array4d_pointer p, ptrdiff_t d);
  void (*set)(kvr_array4d_pointer p, double value);
  void (*set_at)(kvr_array4d_pointer p, ptrdiff_t d, double value);
  kvr_array4d_reference (*ref)(kvr_array4d_pointer p);
  kvr_array4d_reference (*ref_at)(kvr_array4d_pointer p, ptrdiff_t d);
  int (*lt)(kvr_array4d_pointer p, kvr_array4d_pointer q);
  int (*gt)(kvr_array4d_pointer p, kvr_array4d_pointer q);
  int (*leq)(kvr_array4d_pointer p, kvr_array4d_pointer q);
  int (*geq)(kvr_array4d_pointer p, kvr_array4d_pointer q);
  int (*eq)(kvr_array4d_pointer p, kvr_array4d_pointer q);
  int (*neq)(kvr_array4d_pointer p, kvr_array4d_pointer q);
  ptrdiff_t (*distance)(kvr_array4d_pointer p, kvr_array4d_pointer q);
  kvr_array4d_pointer (*next)(kvr_array4d_pointer p, ptrdiff_t d);
  kvr_array4d_pointer (*prev)(kvr_array4d_pointer p, ptrdiff_t d);
  kvr_array4d_pointer (*inc)(kvr_array4d_pointer p);
  kvr_array4d_pointer (*dec)(kvr_array4d_pointer p);
} kvr_array4d_pointer_api;

typedef struct {
  double (*get)(kvr_array4d_iterator p);
  double (*get_at)(kvr_array4d_iterator p, ptrdiff_t d);
  void (*set)(kvr_array4d_iterator p, double value);
  void (*set_at)(kvr_array4d_iterator p, ptrdiff_t d, double value);
  kvr_array4d_reference (*ref)(kvr_array4d_iterator p);
  kvr_array4d_reference (*ref_at)(kvr_array4d_iterator p, ptrdiff_t d);
  kvr_array4d_pointer (*ptr)(kvr_array4d_iterator p);
  kvr_array4d_pointer (*ptr_at)(kvr_array4d_iterator p, ptrdiff_t d);
  size_t (*i)(kvr_array4d_iterator p);
  size_t (*j)(kvr_array4d_iterator p);
  size_t (*k)(kvr_array4d_iterator p);
  size_t (*l)(kvr_array4d_iterator p);
  int (*lt)(kvr_array4d_iterator p, kvr_array4d_iterator q);
  int (*gt)(kvr_array4d_iterator p, kvr_array4d_iterator q);
  int (*leq)(kvr_array4d_iterator p, kvr_array4d_iterator q);
  int (*geq)(kvr_array4d_iterator p, kvr_array4d_iterator q);
  int (*eq)(kvr_array4d_iterator p, kvr_array4d_iterator q);
  int (*neq)(kvr_array4d_iterator p, kvr_array4d_iterator q);
  ptrdiff_t (*distance)(kvr_array4d_iterator p, kvr_array4d_iterator q);
  kvr_array4d_iterator (*next)(kvr_array4d_iterator p, ptrdiff_t d);
  kvr_array4d_iterator (*prev)(kvr_array4d_iterator p, ptrdiff_t d);
  kvr_array4d_iterator (*inc)(kvr_array4d_iterator p);
  kvr_array4d_iterator (*dec)(kvr_array4d_iterator p);
} kvr_array4d_iterator_api;

typedef struct {
  kvr_header (*ctor)(kvr_array4d a);
  kvr_header (*ctor_buffer)(const void* data, size_t bytes);
  void (*dtor)(kvr_header h);
  kvr_type (*scalar_type)(kvr_header h);
  uint32_t (*dimensionality)(kvr_header h);
  size_t (*size_x)(kvr_header h);
  size_t (*size_y)(kvr_header h);
  size_t (*size_z)(kvr_header h);
  size_t (*size_w)(kvr_header h);
  double (*rate)(kvr_header h);
  const void* (*data)(kvr_header h);
  size_t (*size_bytes)(kvr_header h, uint32_t mask);
} kvr_array4d_header_api;

typedef struct {
  kvr_array4d (*ctor_default)(void);
  kvr_array4d (*ctor)(size_t nx, size_t ny, size_t nz, size_t nw, double rate, const double* data, size_t cache_size);
  kvr_array4d (*ctor_copy)(kvr_array4d src);
  kvr_array4d (*ctor_header)(kvr_header h, const void* buffer, size_t buffer_size_bytes);
  void (*dtor)(kvr_array4d a);
  void (*deep_copy)(kvr_array4d a, kvr_array4d src);
  double (*rate)(kvr_array4d a);
  double (*set_rate)(kvr_array4d a, double rate);
  size_t (*cache_size)(kvr_array4d a);
  void (*set_cache_size)(kvr_array4d a, size_t bytes);
  void (*clear_cache)(kvr_array4d a);
  void (*flush_cache)(kvr_array4d a);
  size_t (*compressed_size)(kvr_array4d a);
  void* (*compressed_data)(kvr_array4d a);
  size_t (*size)(kvr_array4d a);
  size_t (*size_x)(kvr_array4d a);
  size_t (*size_y)(kvr_array4d a);
  size_t (*size_z)(kvr_array4d a);
  size_t (*size_w)(kvr_array4d a);
  void (*resize)(kvr_array4d a, size_t nx, size_t ny, size_t nz, size_t nw, int clear);
  void (*get_array)(kvr_array4d a, double* p);
  void (*set_array)(kvr_array4d a, const double* p);
  double (*get_flat)(kvr_array4d a, size_t index);
  void (*set_flat)(kvr_array4d a, size_t index, double value);
  double (*get)(kvr_array4d a, size_t i, size_t j, size_t k, size_t l);
  void (*set)(kvr_array4d a, size_t i, size_t j, size_t k, size_t l, double value);
  kvr_array4d_reference (*ref)(kvr_array4d a, size_t i, size_t j, size_t k, size_t l);
  kvr_array4d_reference (*ref_flat)(kvr_array4d a, size_t index);
  kvr_array4d_pointer (*ptr)(kvr_array4d a, size_t i, size_t j, size_t k, size_t l);
  kvr_array4d_pointer (*ptr_flat)(kvr_array4d a, size_t index);
  kvr_array4d_iterator (*begin)(kvr_array4d a);
  kvr_array4d_iterator (*end)(kvr_array4d a);
  kvr_array4d_reference_api reference;
  kvr_array4d_pointer_api pointer;
  kvr_array4d_iterator_api iterator;
  kvr_array4d_header_api header;
} kvr_array4d_api;

/* The table: eight sub-tables, 678 function pointers in all. */
typedef struct {
  kvr_array1f_api array1f;
  kvr_array1d_api array1d;
  kvr_array2f_api array2f;
  kvr_array2d_api array2d;
  kvr_array3f_api array3f;
  kvr_array3d_api array3d;
  kvr_array4f_api array4f;
  kvr_array4d_api array4d;
} kvr_array_api_t;

/* kvr_array_api: constant, set up before the program runs. */
extern const kvr_array_api_t kvr_array_api;

#ifdef __cplusplus
}
#endif

#endif /* KVR_ARRAY_API_H */
