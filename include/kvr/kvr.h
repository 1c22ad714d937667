/*
 * kvr: block compression of 1- to 4-dimensional arrays of int32, int64,
 * float and double values.
 *
 * This header declares every C-callable record, constant and function of
 * the compression core (bit stream, fields, compressed streams, modes,
 * whole-array compression, stream header) and of the block codec.  It
 * compiles as C99 and as C++.
 *
 * Bit order: every bit-level format is a sequence of bits stored least
 * significant bit first in unsigned 64-bit words, and a value of n bits is
 * written least significant bit first.
 *
 * Nothing in this header checks a buffer's end: the caller sizes buffers
 * (kvr_stream_maximum_size gives the bound for whole arrays).  Nothing
 * that works on a kvr_stream's bit stream (the header, kvr_compress,
 * kvr_decompress, the block codec) tests it for NULL: attach one first.
 */
#ifndef KVR_KVR_H
#define KVR_KVR_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define KVR_API extern "C"
#else
#define KVR_API extern
#endif

/* ------------------------------------------------------------------ */
/* Version                                                             */

/* Codec version written after the magic characters of a stream header. */
KVR_API const uint32_t kvr_codec_version;          /* 5 */
/* Library version 0.5.5 as hex digits. */
KVR_API const uint32_t kvr_library_version;        /* 0x055 */
/* "kvr version 0.5.5 (May 5, 2019)" */
KVR_API const char* const kvr_version_string;

/* ------------------------------------------------------------------ */
/* Bit stream                                                          */

/* Word size of every bit stream, in bits (64). */
KVR_API const size_t stream_word_bits;

/*
 * bit_stream: a reader or writer over a caller-owned buffer of 64-bit
 * words.  The field order and meanings are shared with the block codec,
 * which updates bits, buffer and cursor itself.
 *   writer position = 64 * (cursor - begin) + bits
 *   reader position = 64 * (cursor - begin) - bits
 * buffer holds the pending bits in its low `bits` bits; higher bits are 0.
 */
typedef struct bit_stream {
  uint32_t bits;     /* buffered bits, 0..63 between operations */
  uint64_t buffer;   /* the buffered bits */
  uint64_t* cursor;  /* writer: next word to store; reader: next to fetch */
  uint64_t* begin;   /* first word of the buffer */
  uint64_t* end;     /* begin + floor(bytes / 8); read only by stream_capacity */
} bit_stream;

/* stream_open: a new stream over `bytes` bytes at `buffer`, positioned at
   bit 0; NULL when the record cannot be allocated.  The buffer stays the
   caller's.  It may start at any byte, aligned or not (a stream inside a
   larger image, say after a 12-byte header): every operation, the block
   codec's included, loads and stores its words as unaligned 8-byte
   accesses and gives the same bits at every address. */
KVR_API bit_stream* stream_open(void* buffer, size_t bytes);
/* stream_close: releases the record only, never the buffer; NULL does
   nothing. */
KVR_API void stream_close(bit_stream* s);
/* stream_clone: a new record with the same five fields (sharing the
   buffer); NULL when allocation fails. */
KVR_API bit_stream* stream_clone(const bit_stream* s);
/* stream_alignment: the word size in bits, 64. */
KVR_API size_t stream_alignment(void);
/* stream_words_per_store: 1, the number of words a stream stores or
   fetches in one step.  Has no effect. */
KVR_API uint32_t stream_words_per_store(void);
/* stream_bit_bias: 0, the bit offset of `begin` within its first word.
   Has no effect. */
KVR_API int64_t stream_bit_bias(void);
/* stream_data: the first word of the buffer. */
KVR_API void* stream_data(const bit_stream* s);
/* stream_size: bytes from begin to cursor; buffered bits are not counted. */
KVR_API size_t stream_size(const bit_stream* s);
/* stream_capacity: bytes from begin to end. */
KVR_API size_t stream_capacity(const bit_stream* s);
/* stream_read_bit: the next bit, 0 or 1. */
KVR_API uint32_t stream_read_bit(bit_stream* s);
/* stream_write_bit: appends `bit`, which must be 0 or 1; returns it. */
KVR_API uint32_t stream_write_bit(bit_stream* s, uint32_t bit);
/* stream_read_bits: the next n bits (0..64) in the low n bits of the
   result; higher bits 0. */
KVR_API uint64_t stream_read_bits(bit_stream* s, uint32_t n);
/* stream_write_bits: appends the low n bits (0..64) of value; returns
   value >> n, and 0 for n = 64. */
KVR_API uint64_t stream_write_bits(bit_stream* s, uint64_t value, uint32_t n);
/* stream_read_offset: the reader's position in bits from begin. */
KVR_API uint64_t stream_read_offset(const bit_stream* s);
/* stream_write_offset: the writer's position in bits from begin. */
KVR_API uint64_t stream_write_offset(const bit_stream* s);
/* stream_rewind: position 0, nothing buffered. */
KVR_API void stream_rewind(bit_stream* s);
/* stream_set_read_offset: positions a reader at bit `offset`. */
KVR_API void stream_set_read_offset(bit_stream* s, uint64_t offset);
/* stream_set_write_offset: positions a writer at bit `offset`.  The low
   offset mod 64 bits of the word there are kept; the rest of that word is
   replaced by what is written next (and zeroed by a flush). */
KVR_API void stream_set_write_offset(bit_stream* s, uint64_t offset);
/* stream_skip: advances a reader by n bits without reading them. */
KVR_API void stream_skip(bit_stream* s, uint32_t n);
/* stream_pad: appends n zero bits. */
KVR_API void stream_pad(bit_stream* s, uint32_t n);
/* stream_align: drops a reader's buffered bits; returns how many (0..63). */
KVR_API uint32_t stream_align(bit_stream* s);
/* stream_flush: pads a writer to the next word boundary and stores the
   last word; returns the number of pad bits (0..63). */
KVR_API uint32_t stream_flush(bit_stream* s);
/* stream_copy: moves n bits from the reader `src` to the writer `dst`. */
KVR_API void stream_copy(bit_stream* dst, bit_stream* src, uint64_t n);

/* ------------------------------------------------------------------ */
/* Scalar types and fields                                             */

typedef uint32_t kvr_type;
#define kvr_type_none   0u
#define kvr_type_int32  1u
#define kvr_type_int64  2u
#define kvr_type_float  3u
#define kvr_type_double 4u

/*
 * kvr_field: an uncompressed array.  An extent of 0 makes its dimension
 * and every higher one absent: the dimensionality, the metadata and the
 * drivers ignore the extents above it (kvr_field_size and
 * kvr_stream_maximum_size still count them).  A stride of 0 means the
 * default (1, nx, nx*ny, nx*ny*nz).
 * Element (x, y, z, w) lies at data + x*sx + y*sy + z*sz + w*sw elements.
 * The field never owns its data.
 */
typedef struct kvr_field {
  kvr_type type;
  size_t nx, ny, nz, nw;
  ptrdiff_t sx, sy, sz, sw;
  void* data;
} kvr_field;

/* kvr_type_size: bytes of one value of `type`; 0 for types outside 1..4. */
KVR_API size_t kvr_type_size(kvr_type type);
/* kvr_field_alloc: a new field with every member 0; NULL on allocation
   failure. */
KVR_API kvr_field* kvr_field_alloc(void);
/* kvr_field_1d .. kvr_field_4d: a new field with the given data, type and
   extents, the other extents and all strides 0; NULL on allocation
   failure. */
KVR_API kvr_field* kvr_field_1d(void* data, kvr_type type, size_t nx);
KVR_API kvr_field* kvr_field_2d(void* data, kvr_type type, size_t nx, size_t ny);
KVR_API kvr_field* kvr_field_3d(void* data, kvr_type type, size_t nx, size_t ny, size_t nz);
KVR_API kvr_field* kvr_field_4d(void* data, kvr_type type, size_t nx, size_t ny, size_t nz, size_t nw);
/* kvr_field_free: frees the record, never the data; NULL does nothing. */
KVR_API void kvr_field_free(kvr_field* field);
/* kvr_field_pointer: the data pointer. */
KVR_API void* kvr_field_pointer(const kvr_field* field);
/* kvr_field_begin: the lowest address the field touches (negative strides
   move it below data); NULL when data is NULL or when an element's offset
   in bytes does not fit 64 bits (no such field lies in memory). */
KVR_API void* kvr_field_begin(const kvr_field* field);
/* kvr_field_type: the scalar type. */
KVR_API kvr_type kvr_field_type(const kvr_field* field);
/* kvr_field_precision: bits of the type (32 or 64); 0 for invalid types. */
KVR_API uint32_t kvr_field_precision(const kvr_field* field);
/* kvr_field_dimensionality: 0..4; counting stops at the first absent
   extent. */
KVR_API uint32_t kvr_field_dimensionality(const kvr_field* field);
/* kvr_field_size: the product of max(n, 1) over the four extents, 0 when
   it does not fit size_t; when size is not NULL it receives the extents of
   the present dimensions. */
KVR_API size_t kvr_field_size(const kvr_field* field, size_t* size);
/* kvr_field_size_bytes: the bytes from the lowest to the highest element
   the field touches, an element included; 0 when they do not fit size_t
   (or the type is outside 1..4). */
KVR_API size_t kvr_field_size_bytes(const kvr_field* field);
/* kvr_field_stride: nonzero when any stride is set; when stride is not
   NULL it receives the effective strides of the present dimensions. */
KVR_API int kvr_field_stride(const kvr_field* field, ptrdiff_t* stride);
/* kvr_field_is_contiguous: nonzero when the elements span exactly
   kvr_field_size elements; 0 when either count does not fit. */
KVR_API int kvr_field_is_contiguous(const kvr_field* field);
/* kvr_field_metadata: the 52-bit field metadata; UINT64_MAX when an extent
   does not fit its bits, the field has no dimensions or its type is
   outside 1..4. */
KVR_API uint64_t kvr_field_metadata(const kvr_field* field);
/* kvr_field_set_pointer: sets the data pointer. */
KVR_API void kvr_field_set_pointer(kvr_field* field, void* data);
/* kvr_field_set_type: stores and returns a type of 1..4; returns
   kvr_type_none, leaving the field unchanged, for any other value. */
KVR_API kvr_type kvr_field_set_type(kvr_field* field, kvr_type type);
/* kvr_field_set_size_1d .. _4d: store the extents, higher ones 0. */
KVR_API void kvr_field_set_size_1d(kvr_field* field, size_t nx);
KVR_API void kvr_field_set_size_2d(kvr_field* field, size_t nx, size_t ny);
KVR_API void kvr_field_set_size_3d(kvr_field* field, size_t nx, size_t ny, size_t nz);
KVR_API void kvr_field_set_size_4d(kvr_field* field, size_t nx, size_t ny, size_t nz, size_t nw);
/* kvr_field_set_stride_1d .. _4d: store the strides, higher ones 0. */
KVR_API void kvr_field_set_stride_1d(kvr_field* field, ptrdiff_t sx);
KVR_API void kvr_field_set_stride_2d(kvr_field* field, ptrdiff_t sx, ptrdiff_t sy);
KVR_API void kvr_field_set_stride_3d(kvr_field* field, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz);
KVR_API void kvr_field_set_stride_4d(kvr_field* field, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz, ptrdiff_t sw);
/* kvr_field_set_metadata: sets type and extents from the metadata, strides
   0, data untouched; returns 0 with the field unchanged when a bit above
   bit 51 is set. */
KVR_API int kvr_field_set_metadata(kvr_field* field, uint64_t meta);

/* ------------------------------------------------------------------ */
/* Compressed streams, modes and configurations                        */

typedef uint32_t kvr_mode;
#define kvr_mode_null            0u
#define kvr_mode_custom          1u
#define kvr_mode_fixed_rate      2u
#define kvr_mode_fixed_precision 3u
#define kvr_mode_fixed_accuracy  4u
#define kvr_mode_reversible      5u

typedef uint32_t kvr_exec_policy;
#define kvr_exec_serial 0u

/* Limits of a freshly opened stream. */
#define KVR_MIN_BITS 1u
#define KVR_MAX_BITS 16658u
#define KVR_MAX_PREC 64u
#define KVR_MIN_EXP  (-1074)

typedef struct kvr_execution {
  kvr_exec_policy policy;
  uint32_t param1;
  uint32_t param2;
} kvr_execution;

/*
 * kvr_stream: the limits every block is coded under, the attached bit
 * stream (not owned) and the execution record.  The mode is never stored:
 * it is derived from the four limits.
 */
typedef struct kvr_stream {
  uint32_t min_bits;   /* fewest bits per block */
  uint32_t max_bits;   /* most bits per block */
  uint32_t max_prec;   /* most bit planes per block, 1..64 */
  int32_t min_exp;     /* smallest coded bit-plane exponent; < -1074: reversible */
  bit_stream* stream;
  kvr_execution execution;
} kvr_stream;

/* kvr_config: a requested configuration, a mode and its argument, passed
   by value.  For fixed rate, a negative rate (kvr_config_rate with align
   nonzero) requests word-aligned blocks of |rate| bits per value.  No
   function of this header or of kvr_array_api takes one, and no
   constructor of the compressed arrays does (they take a rate and always
   align): in C it is a record for the caller, whose mode and arg tell
   which kvr_stream_set_* to call.  In C++ the block stores of
   <kvr/array.hpp> take one (kvr::BlockStore1 .. 4: their constructors and
   configure): a fixed rate, its blocks whole words whatever its sign, or
   custom limits with min_bits equal to max_bits, rounded up to whole
   words; any other mode throws kvr::exception and changes nothing.  An
   array takes one through its store, a.store.configure(c) and then
   a.cache.clear(), as its set_rate does for a rate. */
typedef struct kvr_config {
  kvr_mode mode;
  union {
    double rate;
    uint32_t precision;
    double tolerance;
    struct {
      uint32_t min_bits;
      uint32_t max_bits;
      uint32_t max_prec;
      int32_t min_exp;
    } custom;
  } arg;
} kvr_config;

/*
 * What lossy coding keeps (every mode but reversible; README.md, "What
 * lossy coding keeps", has the figures' fields).
 *
 * Fixed accuracy.  Every value of a float or double block of finite
 * values decodes within max(T, 2^(e - P + 2d)) of itself: T the accuracy
 * in force (kvr_stream_accuracy), d the dimensionality, e the frexp
 * exponent of the block's largest magnitude m (raised to -119 for float,
 * -1012 for double), P 30 (float) or 62 (double).  2^(e - P) is the
 * finest step the block's integers carry, never below the smallest
 * subnormal; while T is at least 4^d of those steps the block drops
 * planes and keeps T, below that it codes every plane and keeps 4^d
 * steps, the transform's rounding and the rounding to the value type;
 * 4-D float blocks keep half of it, 2^(e - 23).  Each of these is reached.
 * One tolerance breaks the rule: in 1-D at T = 2^(e + 1)
 * three planes are kept, the reconstruction can wrap, and the error is
 * below 1.5 T (1.499 T is reached).  The bound holds while m plus it is at
 * most the type's largest finite value.  Inside it, a large tolerance can
 * do worse than zeros: at T = 2^(e + k) a block keeps 2(d + 1) - k planes
 * (none from k = 2d + 2), and a few can rebuild a value with the other
 * sign and a magnitude of m/2 or more.  Float 1-D {0.87144, -0.879935,
 * -0.543206, -0.689338} at T = 4 comes back as {1.5, 0.5, -0.5, -1.5};
 * {0.58862, -0.657186, -0.832578, 0.783385} at T = 8 as {-2, -2, -2, -2}.
 * In random blocks of values in [-1, 1) it happened from k = 0 (1-D),
 * 1 (2-D) or 2 (3-D, 4-D) up to k = 3, 4, 6 and 7 and not at k = 4 (an
 * empty block), 5, 7 or 8, in up to 23%, 76%, 99.6% and 100% of the blocks
 * (1-D at k = 2, 2-D at 3, 3-D at 4, 4-D at 5), with errors up to 3.9 m;
 * compress_accuracy_bound, AccuracyBound.OtherSignAtLargeTolerances, has
 * the counts, and the README the table.
 *
 * Integers.  Fixed accuracy bounds float and double values only: its
 * limits leave max_prec 64, so an int32 or int64 block codes every bit
 * plane whatever the tolerance, as at the default limits, at precision 32
 * (int32) or 64 (int64) and at rates of 33 (65) bits per value and more.
 * Every plane coded is not lossless: the lifting transform's rounding
 * remains, decoded minus original -2..+1 in 1-D, -9..+7 in 2-D, -34..+32
 * in 3-D and -128..+125 in 4-D, for both types, each bound reached.  The
 * transform's sums wrap in two's complement, so these bounds hold only for
 * 1-D values from INT_MIN + 2 to INT_MAX - 1 (a block comes back as its
 * values plus their errors modulo 2^32 or 2^64: INT32_MIN can come back
 * as INT32_MAX) and for 2-D to 4-D values from -2^30 to 2^30 - 1 (int64:
 * -2^62 to 2^62 - 1) in blocks that do not hold both of those; a block
 * with a value beyond can come back with values of the other sign.  A
 * setting that cuts planes (int64 at 32 bits per value) drops the low
 * planes first, so a block holding a value of large magnitude, such as a
 * sentinel INT64_MIN, keeps it and loses its small values, which can come
 * back as 0.  kvr_stream_set_reversible keeps every value of the full
 * range.
 *
 * Floating point.  Lossy coding is for finite values.  A NaN is coded as
 * 0.  An infinity gives its block the exponent of the largest finite value,
 * so its other values count in units of 2^98 (float) or 2^962 (double):
 * float {inf, 1, 2, 3} comes back as {inf, 0, 0, -2^99}.  A finite fill
 * value does the same to its block: beside FLT_MAX, values below 2^98 are
 * lost.  In the fill disc of compress_lossy_float
 * (LossyFloat.FillValuesBecomeInfinite) its 199 ordinary values all come
 * back as 0 at the default limits, at accuracy 1e-3 (the bound above
 * with e = 128 allows it), at precision 16 and 24 and at rate 8; float
 * rates 16, 24 and 28 return 16, 35 and 138 of them as multiples of 2^98
 * up to 96 * 2^98, and rates 4 and 6 return 149 and 97 of them as up to
 * 9.0e37 and 1.0e37 (double: all 0 at rates 8 to 28; 148 and 101, up to
 * 5.1e307 and 6.0e306, at 4 and 6).  A fill value whose block bound
 * stays at or below the tolerance, or reversible coding, keeps them.
 * With every plane coded the infinity comes back in double blocks and
 * 1-D and 2-D float blocks; 3-D and 4-D float blocks can return it
 * finite, as FLT_MAX or (4-D) the float below it, with its sign.  A block of FLT_MAX comes back
 * infinite when 2 to 24 planes are coded (-FLT_MAX: 1 to 25; DBL_MAX: 2 to
 * 54; -DBL_MAX: 1 to 53): at those precisions, at tolerances 2^(106 + 2d)
 * to 2^(128 + 2d) (-FLT_MAX 2^(105 + 2d) to 2^(129 + 2d), DBL_MAX from
 * 2^(972 + 2d), -DBL_MAX from 2^(973 + 2d); d the dimensionality) and at
 * 11 to 57 bits per block (-FLT_MAX 10 to 60, DBL_MAX 14 to 120, -DBL_MAX
 * 13 to 119).  Reversible coding keeps every bit pattern.
 */

/* kvr_stream_open: a new stream with limits (1, 16658, 64, -1074), serial
   execution and `bs` attached (may be NULL); NULL on allocation failure. */
KVR_API kvr_stream* kvr_stream_open(bit_stream* bs);
/* kvr_stream_close: frees the record only, never the bit stream; NULL
   does nothing. */
KVR_API void kvr_stream_close(kvr_stream* stream);
/* kvr_stream_bit_stream: the attached bit stream. */
KVR_API bit_stream* kvr_stream_bit_stream(const kvr_stream* stream);
/* kvr_stream_set_bit_stream: attaches `bs` (may be NULL). */
KVR_API void kvr_stream_set_bit_stream(kvr_stream* stream, bit_stream* bs);
/* The next four require an attached bit stream and do not test for NULL. */
/* kvr_stream_compressed_size: stream_size of the bit stream. */
KVR_API size_t kvr_stream_compressed_size(const kvr_stream* stream);
/* kvr_stream_flush: stream_flush of the bit stream; its pad count. */
KVR_API uint32_t kvr_stream_flush(kvr_stream* stream);
/* kvr_stream_align: stream_align of the bit stream; the bits dropped. */
KVR_API uint32_t kvr_stream_align(kvr_stream* stream);
/* kvr_stream_rewind: stream_rewind of the bit stream. */
KVR_API void kvr_stream_rewind(kvr_stream* stream);

/* Configurations, returned by value. */
KVR_API kvr_config kvr_config_none(void);
/* kvr_config_rate: fixed rate; the rate is stored negated when align is
   nonzero. */
KVR_API kvr_config kvr_config_rate(double rate, int align);
KVR_API kvr_config kvr_config_precision(uint32_t precision);
KVR_API kvr_config kvr_config_accuracy(double tolerance);
KVR_API kvr_config kvr_config_reversible(void);
KVR_API kvr_config kvr_config_custom(uint32_t min_bits, uint32_t max_bits, uint32_t max_prec, int32_t min_exp);

/* kvr_stream_set_rate: fixed rate of `rate` bits per value for blocks of
   `type` in `dims` dimensions (4^dims values; dims 0 counts one), rounded
   up to whole words when align is nonzero; returns the rate in force (bits
   per block / 4^dims), which is fixed-rate mode only up to 16658 bits a
   block: above, the stream classifies as kvr_mode_custom and
   kvr_stream_rate gives 0.0.  Bits per block are at least the block
   header (9 for float, 12 for double; types outside 1..4 count as
   integers) and at most the largest block the codec pads
   to, 2^31 - 1 plus that header (int32 and int64 2147483647, float
   2147483656, double 2147483659 bits; aligned, the multiple of 64 below:
   2147483584, 2147483648, 2147483648).  int32 and int64 blocks have no
   header: below half a bit a block (a rate under 1 / (2 * 4^dims), 0,
   negative or NaN) they get 0 bits and the rate in force is 0.0; such
   blocks are written as nothing, read back as zeros, and no header
   carries them (kvr_write_header refuses max_bits 0).  For dims above 4
   it returns 0.0 and leaves the stream unchanged. */
KVR_API double kvr_stream_set_rate(kvr_stream* stream, double rate, kvr_type type, uint32_t dims, int align);
/* kvr_stream_set_precision: fixed precision; 0 and values above 63 give
   64.  Returns the precision in force.  Precision 64 gives the default
   limits, which classify as kvr_mode_custom (kvr_stream_precision then
   gives 0). */
KVR_API uint32_t kvr_stream_set_precision(kvr_stream* stream, uint32_t precision);
/* kvr_stream_set_accuracy: fixed accuracy with the largest power of two
   not above `tolerance`; returns it, or 0.0 for a tolerance of 0, below 0
   or NaN (the limits then are the defaults).  An infinite tolerance sets
   min_exp 16272, the largest a header carries, and returns inf (2^16272
   overflows, and kvr_stream_accuracy then gives inf too): every float and
   double block is empty, one bit, and decodes as zeros.  A tolerance below
   2^-1073 gives min_exp -1074, the default limits, which classify as
   kvr_mode_custom (kvr_stream_accuracy then gives 0.0).  The error it keeps in
   float and double blocks is max(T, 2^(e - P + 2d)) (4-D float: 2^(e -
   23)), as "What lossy coding keeps" above says, where some tolerances
   above the block's largest magnitude return values of the other sign
   inside it; int32 and int64 blocks ignore it. */
KVR_API double kvr_stream_set_accuracy(kvr_stream* stream, double tolerance);
/* kvr_stream_set_reversible: limits (1, 16658, 64, -1075). */
KVR_API void kvr_stream_set_reversible(kvr_stream* stream);
/* kvr_stream_set_params: sets the four limits; returns 0 with the stream
   unchanged unless min_bits <= max_bits and 1 <= max_prec <= 64.  Does not
   check what the codec honours: it pads a coded block to min_bits only
   while min_bits less the block header is at most 2^31 - 1 (an empty or
   zero block is padded to any min_bits). */
KVR_API int kvr_stream_set_params(kvr_stream* stream, uint32_t min_bits, uint32_t max_bits, uint32_t max_prec, int32_t min_exp);

/* kvr_stream_compression_mode: the mode the four limits classify as. */
KVR_API kvr_mode kvr_stream_compression_mode(const kvr_stream* stream);
/* kvr_stream_rate: min_bits / 4^dims in fixed-rate mode, else 0.0 (also
   for dims above 4). */
KVR_API double kvr_stream_rate(const kvr_stream* stream, uint32_t dims);
/* kvr_stream_precision: max_prec in fixed-precision mode, else 0. */
KVR_API uint32_t kvr_stream_precision(const kvr_stream* stream);
/* kvr_stream_accuracy: 2^min_exp in fixed-accuracy mode, else 0.0. */
KVR_API double kvr_stream_accuracy(const kvr_stream* stream);
/* kvr_stream_params: the four limits; a NULL pointer skips its value. */
KVR_API void kvr_stream_params(const kvr_stream* stream, uint32_t* min_bits, uint32_t* max_bits, uint32_t* max_prec, int32_t* min_exp);

/* kvr_stream_execution: the execution policy. */
KVR_API kvr_exec_policy kvr_stream_execution(const kvr_stream* stream);
KVR_API uint32_t kvr_stream_execution_param1(const kvr_stream* stream);
KVR_API uint32_t kvr_stream_execution_param2(const kvr_stream* stream);
/* kvr_stream_set_execution: nonzero after storing kvr_exec_serial; 0 with
   nothing changed for any other policy. */
KVR_API int kvr_stream_set_execution(kvr_stream* stream, kvr_exec_policy policy);
/* kvr_stream_set_execution_param1, _param2: the serial policy has no
   parameters; always 0, nothing changes. */
KVR_API int kvr_stream_set_execution_param1(kvr_stream* stream, uint32_t value);
KVR_API int kvr_stream_set_execution_param2(kvr_stream* stream, uint32_t value);

/* ------------------------------------------------------------------ */
/* Mode word and maximum size                                          */

/* kvr_stream_mode: the limits packed as a short code (0..4094) or as the
   64-bit long form (low 12 bits all ones).  Never fails. */
KVR_API uint64_t kvr_stream_mode(const kvr_stream* stream);
/* kvr_stream_set_mode: sets the limits from a mode word; returns their
   mode, or kvr_mode_null with the stream unchanged when the word is
   rejected (short codes 2112..2175; long forms with min_bits > max_bits or
   max_prec > 64). */
KVR_API kvr_mode kvr_stream_set_mode(kvr_stream* stream, uint64_t mode);
/* kvr_stream_maximum_size: bytes that bound the compressed stream of
   `field` under the stream's limits, a header included, also when the
   blocks decoded are arbitrary bytes; 0 for a field without dimensions or
   with a type outside 1..4, and 0 when the bound does not fit 64 bits.
   Each block counts its longest code (every plane of the type for
   reversible blocks, which carry their own precision), lowered to
   max_bits and then raised to min_bits. */
KVR_API size_t kvr_stream_maximum_size(const kvr_stream* stream, const kvr_field* field);

/* ------------------------------------------------------------------ */
/* Stream header                                                       */

#define KVR_HEADER_MAGIC 0x1u  /* 'k', 'v', 'r', codec version: 32 bits */
#define KVR_HEADER_META  0x2u  /* field metadata: 52 bits */
#define KVR_HEADER_MODE  0x4u  /* mode word: 12 or 64 bits */
#define KVR_HEADER_FULL  0x7u

/* kvr_write_header: writes the parts of the header that `mask` selects at
   the bit stream's position; returns the bits written, 0 when nothing was
   written.  It writes nothing and returns 0 when kvr_field_metadata fails
   (with KVR_HEADER_META: an extent that does not fit, no dimensions, a
   type outside 1..4), and when the mode word cannot carry
   the limits (with KVR_HEADER_MODE): when a reader taking its limits from
   the word would code some block otherwise.  That is so for null limits,
   for min_bits above 32768 (the long form carries 1..32768; a fixed rate
   of 128 bits per value in 4-D doubles, 32768 bits a block, is the
   largest that passes), for max_bits 0, and for min_bits 0 with max_bits
   below 6 in reversible mode.  Limits the word carries only in part are
   written when they code alike: max_bits above 16658 (no block is longer),
   min_bits 0 otherwise (read as 1), min_exp beyond -16495..16272, and the
   short codes' lost limits.  Does not flush and does not check the
   buffer's end. */
KVR_API size_t kvr_write_header(kvr_stream* stream, const kvr_field* field, uint32_t mask);
/* kvr_read_header: reads the selected parts; returns the bits read, or 0
   on a wrong magic or version (field and limits unchanged) or a rejected
   mode word (the field may already be set, the limits are unchanged).
   The bits read stay consumed, also when it returns 0.  With
   KVR_HEADER_META it sets the field's type and extents and its strides
   to 0, keeping the data pointer. */
KVR_API size_t kvr_read_header(kvr_stream* stream, kvr_field* field, uint32_t mask);

/* ------------------------------------------------------------------ */
/* Whole arrays                                                        */

/* kvr_compress: codes every block of `field` at the bit stream's position
   and flushes; returns stream_size afterwards, which counts whatever
   precedes the blocks (a header) too.  Refuses, returning 0 with the
   stream untouched, a field without dimensions, of a type outside 1..4,
   or whose maximum size or span of memory does not fit 64 bits, and an
   execution policy without drivers: exactly when kvr_stream_maximum_size
   or kvr_field_size_bytes of the field is 0 or the policy is not
   kvr_exec_serial.  Past those checks 0 is a result: blocks of 0 bits
   (max_bits 0, which kvr_stream_set_rate gives int32 and int64 fields
   below half a bit a block) from the stream's start.  Does not check the
   buffer's capacity.
   Blocks follow one another in raster order, x fastest: block b is the
   one at block coordinates (b mod bx, (b / bx) mod by, ...), bx =
   ceil(nx / 4) and so on.  At a fixed rate every block takes B = min_bits
   = max_bits bits, so block b starts at bit h + b * B, h being the
   stream's position at the call: 0 at its start, 96 after a full header
   with the short mode word (fixed rates up to 2048 bits a block), 148
   after one with the long mode word.  A block starts on a 64-bit word
   only where h + b * B is a multiple of 64: every block when h and B are
   (no header, and a rate aligned by kvr_stream_set_rate), none after a
   full header with an aligned rate.  Position a reader there with
   stream_set_read_offset and call the block decoder (its partial form at
   the upper edges) to decode that block alone. */
KVR_API size_t kvr_compress(kvr_stream* stream, const kvr_field* field);
/* kvr_decompress: decodes every block into the field's memory and aligns;
   returns stream_size afterwards.  Refuses what kvr_compress refuses,
   returning 0 with stream and field untouched; blocks of 0 bits read
   from the stream's start set every value to 0 and return 0 too.  Reads
   no word past the stream's last block, so the bytes kvr_compress
   returned are enough; does not check the buffer's end. */
KVR_API size_t kvr_decompress(kvr_stream* stream, const kvr_field* field);

/* Conversions of one block of 4^dims values between 8- or 16-bit integers
   and int32.  kvr_promote_*: (v - b) * 2^23 for int8 and uint8, * 2^15 for
   int16 and uint16, b being 0 for the signed types and 128 or 32768 for
   the unsigned ones, so the block lies within -2^30 .. 2^30 - 1.
   kvr_demote_*: the inverse, shifting right (rounding toward minus
   infinity), clamping to the type's range and adding b back.  They check
   nothing. */
KVR_API void kvr_promote_int8_to_int32(int32_t* oblock, const int8_t* iblock, uint32_t dims);
KVR_API void kvr_promote_uint8_to_int32(int32_t* oblock, const uint8_t* iblock, uint32_t dims);
KVR_API void kvr_promote_int16_to_int32(int32_t* oblock, const int16_t* iblock, uint32_t dims);
KVR_API void kvr_promote_uint16_to_int32(int32_t* oblock, const uint16_t* iblock, uint32_t dims);
KVR_API void kvr_demote_int32_to_int8(int8_t* oblock, const int32_t* iblock, uint32_t dims);
KVR_API void kvr_demote_int32_to_uint8(uint8_t* oblock, const int32_t* iblock, uint32_t dims);
KVR_API void kvr_demote_int32_to_int16(int16_t* oblock, const int32_t* iblock, uint32_t dims);
KVR_API void kvr_demote_int32_to_uint16(uint16_t* oblock, const int32_t* iblock, uint32_t dims);

/* ------------------------------------------------------------------ */
/* Block codec                                                         */

/*
 * One block of 4^d values (d = 1..4), x fastest, then y, z, w.
 *
 * kvr_encode_block_<type>_<d> appends the block at the attached bit
 * stream's write position; kvr_decode_block_<type>_<d> reads it back from
 * the read position.  The _strided_ forms gather from (scatter to) an array
 * whose element (x, y, z, w) lies at p[x*sx + y*sy + z*sz + w*sw]; the
 * _partial_ forms take only the nx*ny*nz*nw valid values (each extent
 * 0..4) and pad the rest.  Each returns the bits written or read (always
 * below 2^32).
 *
 * The codec has no failure path and checks nothing: the caller positions
 * the bit stream before the call and flushes (encoding) or aligns
 * (decoding) it afterwards, keeps the limits valid and passes strides
 * under which every addressed element exists.  An encoder needs room for
 * the block's longest code (max_bits, or the smaller per-block bound of
 * kvr_stream_maximum_size, and at least min_bits; a max_bits below the
 * block's header gives an empty block).  A decoder needs only the block
 * as it was written: it loads no word but those holding bits of the code
 * it reads and, when min_bits is larger, the word holding the block's
 * end, so a stream kept at exactly the size kvr_compress returned is
 * enough.  The bits buffered in the bit stream are taken from the record,
 * not from memory.  A decoder leaves the stream positioned right after the
 * block.  The stream record is never written.
 */
/* int32 blocks */
KVR_API size_t kvr_encode_block_int32_1(const kvr_stream* stream, const int32_t* block);
KVR_API size_t kvr_encode_block_strided_int32_1(const kvr_stream* stream, const int32_t* p, ptrdiff_t sx);
KVR_API size_t kvr_encode_partial_block_strided_int32_1(const kvr_stream* stream, const int32_t* p, size_t nx, ptrdiff_t sx);
KVR_API size_t kvr_decode_block_int32_1(const kvr_stream* stream, int32_t* block);
KVR_API size_t kvr_decode_block_strided_int32_1(const kvr_stream* stream, int32_t* p, ptrdiff_t sx);
KVR_API size_t kvr_decode_partial_block_strided_int32_1(const kvr_stream* stream, int32_t* p, size_t nx, ptrdiff_t sx);
KVR_API size_t kvr_encode_block_int32_2(const kvr_stream* stream, const int32_t* block);
KVR_API size_t kvr_encode_block_strided_int32_2(const kvr_stream* stream, const int32_t* p, ptrdiff_t sx, ptrdiff_t sy);
KVR_API size_t kvr_encode_partial_block_strided_int32_2(const kvr_stream* stream, const int32_t* p, size_t nx, size_t ny, ptrdiff_t sx, ptrdiff_t sy);
KVR_API size_t kvr_decode_block_int32_2(const kvr_stream* stream, int32_t* block);
KVR_API size_t kvr_decode_block_strided_int32_2(const kvr_stream* stream, int32_t* p, ptrdiff_t sx, ptrdiff_t sy);
KVR_API size_t kvr_decode_partial_block_strided_int32_2(const kvr_stream* stream, int32_t* p, size_t nx, size_t ny, ptrdiff_t sx, ptrdiff_t sy);
KVR_API size_t kvr_encode_block_int32_3(const kvr_stream* stream, const int32_t* block);
KVR_API size_t kvr_encode_block_strided_int32_3(const kvr_stream* stream, const int32_t* p, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz);
KVR_API size_t kvr_encode_partial_block_strided_int32_3(const kvr_stream* stream, const int32_t* p, size_t nx, size_t ny, size_t nz, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz);
KVR_API size_t kvr_decode_block_int32_3(const kvr_stream* stream, int32_t* block);
KVR_API size_t kvr_decode_block_strided_int32_3(const kvr_stream* stream, int32_t* p, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz);
KVR_API size_t kvr_decode_partial_block_strided_int32_3(const kvr_stream* stream, int32_t* p, size_t nx, size_t ny, size_t nz, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz);
KVR_API size_t kvr_encode_block_int32_4(const kvr_stream* stream, const int32_t* block);
KVR_API size_t kvr_encode_block_strided_int32_4(const kvr_stream* stream, const int32_t* p, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz, ptrdiff_t sw);
KVR_API size_t kvr_encode_partial_block_strided_int32_4(const kvr_stream* stream, const int32_t* p, size_t nx, size_t ny, size_t nz, size_t nw, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz, ptrdiff_t sw);
KVR_API size_t kvr_decode_block_int32_4(const kvr_stream* stream, int32_t* block);
KVR_API size_t kvr_decode_block_strided_int32_4(const kvr_stream* stream, int32_t* p, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz, ptrdiff_t sw);
KVR_API size_t kvr_decode_partial_block_strided_int32_4(const kvr_stream* stream, int32_t* p, size_t nx, size_t ny, size_t nz, size_t nw, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz, ptrdiff_t sw);

/* int64 blocks */
KVR_API size_t kvr_encode_block_int64_1(const kvr_stream* stream, const int64_t* block);
KVR_API size_t kvr_encode_block_strided_int64_1(const kvr_stream* stream, const int64_t* p, ptrdiff_t sx);
KVR_API size_t kvr_encode_partial_block_strided_int64_1(const kvr_stream* stream, const int64_t* p, size_t nx, ptrdiff_t sx);
KVR_API size_t kvr_decode_block_int64_1(const kvr_stream* stream, int64_t* block);
KVR_API size_t kvr_decode_block_strided_int64_1(const kvr_stream* stream, int64_t* p, ptrdiff_t sx);
KVR_API size_t kvr_decode_partial_block_strided_int64_1(const kvr_stream* stream, int64_t* p, size_t nx, ptrdiff_t sx);
KVR_API size_t kvr_encode_block_int64_2(const kvr_stream* stream, const int64_t* block);
KVR_API size_t kvr_encode_block_strided_int64_2(const kvr_stream* stream, const int64_t* p, ptrdiff_t sx, ptrdiff_t sy);
KVR_API size_t kvr_encode_partial_block_strided_int64_2(const kvr_stream* stream, const int64_t* p, size_t nx, size_t ny, ptrdiff_t sx, ptrdiff_t sy);
KVR_API size_t kvr_decode_block_int64_2(const kvr_stream* stream, int64_t* block);
KVR_API size_t kvr_decode_block_strided_int64_2(const kvr_stream* stream, int64_t* p, ptrdiff_t sx, ptrdiff_t sy);
KVR_API size_t kvr_decode_partial_block_strided_int64_2(const kvr_stream* stream, int64_t* p, size_t nx, size_t ny, ptrdiff_t sx, ptrdiff_t sy);
KVR_API size_t kvr_encode_block_int64_3(const kvr_stream* stream, const int64_t* block);
KVR_API size_t kvr_encode_block_strided_int64_3(const kvr_stream* stream, const int64_t* p, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz);
KVR_API size_t kvr_encode_partial_block_strided_int64_3(const kvr_stream* stream, const int64_t* p, size_t nx, size_t ny, size_t nz, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz);
KVR_API size_t kvr_decode_block_int64_3(const kvr_stream* stream, int64_t* block);
KVR_API size_t kvr_decode_block_strided_int64_3(const kvr_stream* stream, int64_t* p, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz);
KVR_API size_t kvr_decode_partial_block_strided_int64_3(const kvr_stream* stream, int64_t* p, size_t nx, size_t ny, size_t nz, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz);
KVR_API size_t kvr_encode_block_int64_4(const kvr_stream* stream, const int64_t* block);
KVR_API size_t kvr_encode_block_strided_int64_4(const kvr_stream* stream, const int64_t* p, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz, ptrdiff_t sw);
KVR_API size_t kvr_encode_partial_block_strided_int64_4(const kvr_stream* stream, const int64_t* p, size_t nx, size_t ny, size_t nz, size_t nw, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz, ptrdiff_t sw);
KVR_API size_t kvr_decode_block_int64_4(const kvr_stream* stream, int64_t* block);
KVR_API size_t kvr_decode_block_strided_int64_4(const kvr_stream* stream, int64_t* p, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz, ptrdiff_t sw);
KVR_API size_t kvr_decode_partial_block_strided_int64_4(const kvr_stream* stream, int64_t* p, size_t nx, size_t ny, size_t nz, size_t nw, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz, ptrdiff_t sw);

/* float blocks */
KVR_API size_t kvr_encode_block_float_1(const kvr_stream* stream, const float* block);
KVR_API size_t kvr_encode_block_strided_float_1(const kvr_stream* stream, const float* p, ptrdiff_t sx);
KVR_API size_t kvr_encode_partial_block_strided_float_1(const kvr_stream* stream, const float* p, size_t nx, ptrdiff_t sx);
KVR_API size_t kvr_decode_block_float_1(const kvr_stream* stream, float* block);
KVR_API size_t kvr_decode_block_strided_float_1(const kvr_stream* stream, float* p, ptrdiff_t sx);
KVR_API size_t kvr_decode_partial_block_strided_float_1(const kvr_stream* stream, float* p, size_t nx, ptrdiff_t sx);
KVR_API size_t kvr_encode_block_float_2(const kvr_stream* stream, const float* block);
KVR_API size_t kvr_encode_block_strided_float_2(const kvr_stream* stream, const float* p, ptrdiff_t sx, ptrdiff_t sy);
KVR_API size_t kvr_encode_partial_block_strided_float_2(const kvr_stream* stream, const float* p, size_t nx, size_t ny, ptrdiff_t sx, ptrdiff_t sy);
KVR_API size_t kvr_decode_block_float_2(const kvr_stream* stream, float* block);
KVR_API size_t kvr_decode_block_strided_float_2(const kvr_stream* stream, float* p, ptrdiff_t sx, ptrdiff_t sy);
KVR_API size_t kvr_decode_partial_block_strided_float_2(const kvr_stream* stream, float* p, size_t nx, size_t ny, ptrdiff_t sx, ptrdiff_t sy);
KVR_API size_t kvr_encode_block_float_3(const kvr_stream* stream, const float* block);
KVR_API size_t kvr_encode_block_strided_float_3(const kvr_stream* stream, const float* p, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz);
KVR_API size_t kvr_encode_partial_block_strided_float_3(const kvr_stream* stream, const float* p, size_t nx, size_t ny, size_t nz, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz);
KVR_API size_t kvr_decode_block_float_3(const kvr_stream* stream, float* block);
KVR_API size_t kvr_decode_block_strided_float_3(const kvr_stream* stream, float* p, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz);
KVR_API size_t kvr_decode_partial_block_strided_float_3(const kvr_stream* stream, float* p, size_t nx, size_t ny, size_t nz, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz);
KVR_API size_t kvr_encode_block_float_4(const kvr_stream* stream, const float* block);
KVR_API size_t kvr_encode_block_strided_float_4(const kvr_stream* stream, const float* p, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz, ptrdiff_t sw);
KVR_API size_t kvr_encode_partial_block_strided_float_4(const kvr_stream* stream, const float* p, size_t nx, size_t ny, size_t nz, size_t nw, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz, ptrdiff_t sw);
KVR_API size_t kvr_decode_block_float_4(const kvr_stream* stream, float* block);
KVR_API size_t kvr_decode_block_strided_float_4(const kvr_stream* stream, float* p, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz, ptrdiff_t sw);
KVR_API size_t kvr_decode_partial_block_strided_float_4(const kvr_stream* stream, float* p, size_t nx, size_t ny, size_t nz, size_t nw, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz, ptrdiff_t sw);

/* double blocks */
KVR_API size_t kvr_encode_block_double_1(const kvr_stream* stream, const double* block);
KVR_API size_t kvr_encode_block_strided_double_1(const kvr_stream* stream, const double* p, ptrdiff_t sx);
KVR_API size_t kvr_encode_partial_block_strided_double_1(const kvr_stream* stream, const double* p, size_t nx, ptrdiff_t sx);
KVR_API size_t kvr_decode_block_double_1(const kvr_stream* stream, double* block);
KVR_API size_t kvr_decode_block_strided_double_1(const kvr_stream* stream, double* p, ptrdiff_t sx);
KVR_API size_t kvr_decode_partial_block_strided_double_1(const kvr_stream* stream, double* p, size_t nx, ptrdiff_t sx);
KVR_API size_t kvr_encode_block_double_2(const kvr_stream* stream, const double* block);
KVR_API size_t kvr_encode_block_strided_double_2(const kvr_stream* stream, const double* p, ptrdiff_t sx, ptrdiff_t sy);
KVR_API size_t kvr_encode_partial_block_strided_double_2(const kvr_stream* stream, const double* p, size_t nx, size_t ny, ptrdiff_t sx, ptrdiff_t sy);
KVR_API size_t kvr_decode_block_double_2(const kvr_stream* stream, double* block);
KVR_API size_t kvr_decode_block_strided_double_2(const kvr_stream* stream, double* p, ptrdiff_t sx, ptrdiff_t sy);
KVR_API size_t kvr_decode_partial_block_strided_double_2(const kvr_stream* stream, double* p, size_t nx, size_t ny, ptrdiff_t sx, ptrdiff_t sy);
KVR_API size_t kvr_encode_block_double_3(const kvr_stream* stream, const double* block);
KVR_API size_t kvr_encode_block_strided_double_3(const kvr_stream* stream, const double* p, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz);
KVR_API size_t kvr_encode_partial_block_strided_double_3(const kvr_stream* stream, const double* p, size_t nx, size_t ny, size_t nz, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz);
KVR_API size_t kvr_decode_block_double_3(const kvr_stream* stream, double* block);
KVR_API size_t kvr_decode_block_strided_double_3(const kvr_stream* stream, double* p, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz);
KVR_API size_t kvr_decode_partial_block_strided_double_3(const kvr_stream* stream, double* p, size_t nx, size_t ny, size_t nz, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz);
KVR_API size_t kvr_encode_block_double_4(const kvr_stream* stream, const double* block);
KVR_API size_t kvr_encode_block_strided_double_4(const kvr_stream* stream, const double* p, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz, ptrdiff_t sw);
KVR_API size_t kvr_encode_partial_block_strided_double_4(const kvr_stream* stream, const double* p, size_t nx, size_t ny, size_t nz, size_t nw, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz, ptrdiff_t sw);
KVR_API size_t kvr_decode_block_double_4(const kvr_stream* stream, double* block);
KVR_API size_t kvr_decode_block_strided_double_4(const kvr_stream* stream, double* p, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz, ptrdiff_t sw);
KVR_API size_t kvr_decode_partial_block_strided_double_4(const kvr_stream* stream, double* p, size_t nx, size_t ny, size_t nz, size_t nw, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz, ptrdiff_t sw);

#endif /* KVR_KVR_H */
