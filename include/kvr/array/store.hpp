#ifndef KVR_ARRAY_STORE_HPP
#define KVR_ARRAY_STORE_HPP

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "kvr/array/codec.hpp"
#include "kvr/array/exception.hpp"

namespace kvr {

namespace detail {

// Fewer than 2^31 blocks keep (b + 1) << 1 inside a 32-bit cache tag.
constexpr size_t max_blocks = size_t(1) << 31;

// Largest multiple of 64 that fits in 32 bits.
constexpr uint32_t max_aligned_bits = 0xffffffc0u;

// Block coordinates and valid counts of block b; true for a full block.
template <unsigned N>
inline bool block_shape(const size_t* n, const size_t* bc, size_t b, size_t* c, size_t* v)
{
  bool full = true;
  for (unsigned d = 0; d < N; d++) {
    if (d + 1 < N) {
      c[d] = b % bc[d];
      b /= bc[d];
    }
    else
      c[d] = b;
    size_t left = n[d] - 4 * c[d];
    v[d] = left < 4 ? left : 4;
    if (v[d] != 4)
      full = false;
  }
  return full;
}

// Calls f(i, o) for every position of the valid sub-block v (x fastest):
// i is its index in a block, o its offset in an array of strides s.
template <unsigned N, class F>
inline void for_each_valid(const size_t* v, const ptrdiff_t* s, F f)
{
  size_t e[4] = {1, 1, 1, 1};
  ptrdiff_t t[4] = {0, 0, 0, 0};
  for (unsigned d = 0; d < N; d++) {
    e[d] = v[d];
    t[d] = s[d];
  }
  for (size_t w = 0; w < e[3]; w++)
    for (size_t z = 0; z < e[2]; z++)
      for (size_t y = 0; y < e[1]; y++)
        for (size_t x = 0; x < e[0]; x++)
          f(x + 4 * y + 16 * z + 64 * w,
            ptrdiff_t(x) * t[0] + ptrdiff_t(y) * t[1] + ptrdiff_t(z) * t[2] + ptrdiff_t(w) * t[3]);
}

// Block counts for the given extents; any zero extent of a 2- to 4-D
// store empties all of them.  Returns the saturated product.
template <unsigned N>
inline size_t block_counts(const size_t* n, size_t* out_n, size_t* out_b)
{
  bool empty = false;
  for (unsigned d = 0; d < N; d++)
    if (!n[d])
      empty = true;
  size_t blocks = 1;
  for (unsigned d = 0; d < N; d++) {
    out_n[d] = (empty && N > 1) ? 0 : n[d];
    out_b[d] = out_n[d] / 4 + (out_n[d] % 4 != 0);
    blocks = mul_sat(blocks, out_b[d]);
  }
  return blocks;
}

inline void throw_too_large_if(size_t blocks)
{
  if (blocks >= max_blocks)
    throw kvr::exception(text::too_large);
}

} // namespace detail

// Abstract base of the block stores: buffer, index and codec binding.
template <class Codec, class Index = index::implicit> class BlockStore {
public:
  void* data;
  size_t bytes;
  Index index;
  Codec codec;

  virtual size_t size_bytes(uint32_t mask) const
  {
    size_t n = 0;
    if (mask & 0x10u)
      n += bytes;
    return n;
  }
  virtual ~BlockStore() { release(); }
  virtual size_t required_bytes() const = 0;
  virtual unsigned values_per_block() const = 0;
  virtual size_t block_count() const = 0;

  BlockStore(const BlockStore&) = delete;
  BlockStore& operator=(const BlockStore&) = delete;

  // Applies a fixed-rate (or equal-limits custom) configuration and
  // allocates a zero-filled buffer.  Every slot is a whole number of
  // 64-bit words, so writing one block back never touches another.
  void configure(const kvr_config& config)
  {
    kvr_stream* s = codec.stream;
    switch (config.mode) {
      case kvr_mode_custom: {
        const auto& c = config.arg.custom;
        if (c.min_bits != c.max_bits)
          throw kvr::exception(detail::text::variable_rate);
        // Limits the stream would reject leave it with limits that do not
        // describe the slots; refuse them instead.
        if (c.max_prec < 1 || c.max_prec > 64 || c.max_bits > detail::max_aligned_bits)
          throw kvr::exception(detail::text::mode_unsupported);
        uint32_t bits = aligned(c.max_bits);
        kvr_stream_set_params(s, bits, bits, c.max_prec, c.min_exp);
        break;
      }
      case kvr_mode_fixed_rate: {
        // Always word-aligned: a rate whose sign bit is clear (a negative
        // rate given to an array) would otherwise give unaligned slots.
        double r = config.arg.rate;
        kvr_stream_set_rate(s, std::signbit(r) ? -r : r, Codec::scalar, Codec::dims, 1);
        uint32_t bits = 0;
        kvr_stream_params(s, nullptr, &bits, nullptr, nullptr);
        if (bits != aligned(bits))
          kvr_stream_set_params(s, aligned(bits), aligned(bits), 64, -1074);
        break;
      }
      case kvr_mode_fixed_precision:
      case kvr_mode_fixed_accuracy:
      case kvr_mode_reversible:
        throw kvr::exception(detail::text::variable_rate);
      default:
        throw kvr::exception(detail::text::mode_unsupported);
    }
    uint32_t max_bits = 0;
    kvr_stream_params(s, nullptr, &max_bits, nullptr, nullptr);
    index.bits_per_block = max_bits;
    allocate(true);
  }

  // Replaces the buffer by a new one of required_bytes bytes.
  void allocate(bool clear)
  {
    release();
    bytes = required_bytes();
    if (bytes) {
      data = std::malloc(bytes);
      if (!data)
        throw std::bad_alloc();
      if (clear)
        std::memset(data, 0, bytes);
    }
    attach();
  }

protected:
  BlockStore() : data(nullptr), bytes(0), index(), codec() {}

  void release()
  {
    std::free(data);
    data = nullptr;
    bytes = 0;
    codec.close_bit_stream();
  }

  void attach()
  {
    bit_stream* bs = stream_open(data, bytes);
    if (!bs)
      throw std::bad_alloc();
    kvr_stream_set_bit_stream(codec.stream, bs);
  }

  void copy_base(const BlockStore& s)
  {
    release();
    if (s.data) {
      data = std::malloc(s.bytes ? s.bytes : 1);
      if (!data)
        throw std::bad_alloc();
      std::memcpy(data, s.data, s.bytes);
    }
    bytes = s.bytes;
    index = s.index;
    kvr_stream copy = *s.codec.stream;
    copy.stream = nullptr;
    *codec.stream = copy;
    attach();
  }

  // The slot of a rate must hold at least the block's max_bits; the core's
  // size is kept where it is larger (streams outside fixed-rate mode).
  size_t slot_bytes(size_t field_bytes) const
  {
    size_t slots = detail::mul_sat(block_count(), index.bits_per_block) / 8;
    return field_bytes > slots ? field_bytes : slots;
  }

private:
  static uint32_t aligned(uint32_t bits)
  {
    if (bits == 0)
      return 64;
    if (bits > detail::max_aligned_bits)
      return detail::max_aligned_bits;
    return (bits + 63u) & ~63u;
  }
};

namespace detail {

// The operations the four concrete stores share, on extents and block
// counts passed as arrays.
template <typename S, unsigned N, class Store> struct store_ops {
  using codec = block_codec<S, N>;

  static size_t encode(Store& st, size_t b, const S* p, const ptrdiff_t* s, bool contiguous)
  {
    size_t n[N], bc[N], c[N], v[N];
    st.shape(n, bc);
    if (b >= st.block_count() || !st.index.bits_per_block || !st.data)
      return 0;
    bool full = block_shape<N>(n, bc, b, c, v);
    kvr_stream* z = st.codec.stream;
    stream_set_write_offset(kvr_stream_bit_stream(z), uint64_t(b) * st.index.bits_per_block);
    size_t bits;
    if (full)
      bits = contiguous ? codec::encode(z, p) : codec::encode_strided(z, p, s);
    else
      bits = codec::encode_partial(z, p, v, s);
    kvr_stream_flush(z);
    return bits;
  }

  // A block without a slot (no rate yet, or outside the store) reads as
  // zeros, so no access ever leaves the buffer.
  static size_t decode(Store& st, size_t b, S* p, const ptrdiff_t* s, bool contiguous)
  {
    size_t n[N], bc[N], c[N], v[N];
    st.shape(n, bc);
    if (b >= st.block_count() || !st.index.bits_per_block || !st.data) {
      if (b < st.block_count())
        block_shape<N>(n, bc, b, c, v);
      else
        for (unsigned d = 0; d < N; d++)
          v[d] = 4;
      zero(p, v, s);
      return 0;
    }
    bool full = block_shape<N>(n, bc, b, c, v);
    kvr_stream* z = st.codec.stream;
    stream_set_read_offset(kvr_stream_bit_stream(z), uint64_t(b) * st.index.bits_per_block);
    size_t bits;
    if (full)
      bits = contiguous ? codec::decode(z, p) : codec::decode_strided(z, p, s);
    else
      bits = codec::decode_partial(z, p, v, s);
    kvr_stream_align(z);
    return bits;
  }

  static void zero(S* p, const size_t* v, const ptrdiff_t* s)
  {
    for_each_valid<N>(v, s, [p](size_t, ptrdiff_t o) { p[o] = 0; });
  }

  static size_t required_bytes(const Store& st)
  {
    size_t n[N], bc[N];
    st.shape(n, bc);
    kvr_field f;
    std::memset(&f, 0, sizeof f);
    f.type = scalar_type<S>::value;
    size_t* fe[4] = {&f.nx, &f.ny, &f.nz, &f.nw};
    for (unsigned d = 0; d < N; d++)
      *fe[d] = n[d];
    return st.slot_bytes(st.codec.required_bytes(&f));
  }
};

constexpr ptrdiff_t line_strides[4] = {1, 4, 16, 64};

} // namespace detail

#define KVR_STORE_COMMON(N)                                                                    \
public:                                                                                        \
  using base = BlockStore<Codec, Index>;                                                       \
  using ops = detail::store_ops<S, N, BlockStore##N>;                                          \
  friend struct detail::store_ops<S, N, BlockStore##N>;                                        \
  size_t size_bytes(uint32_t mask) const override                                              \
  {                                                                                            \
    size_t n = base::size_bytes(mask);                                                         \
    if (mask & 4u)                                                                             \
      n += sizeof(*this) + 16 + 48;                                                            \
    return n;                                                                                  \
  }                                                                                            \
  size_t required_bytes() const override { return ops::required_bytes(*this); }               \
  unsigned values_per_block() const override { return 1u << (2 * N); }                        \
  size_t encode(size_t b, const S* block) { return ops::encode(*this, b, block, detail::line_strides, true); } \
  size_t decode(size_t b, S* block) { return ops::decode(*this, b, block, detail::line_strides, true); } \
  void deep_copy(const BlockStore##N& s)                                                       \
  {                                                                                            \
    if (this == &s)                                                                            \
      return;                                                                                  \
    this->copy_base(s);                                                                        \
    size_t n[N], bc[N];                                                                        \
    s.shape(n, bc);                                                                            \
    set_shape(n, bc);                                                                          \
  }                                                                                            \
  /* Extents and block counts as arrays, x first. */                                           \
  void shape(size_t* n, size_t* bc) const;                                                     \
                                                                                               \
protected:                                                                                     \
  void set_shape(const size_t* n, const size_t* bc);                                           \
  /* Sets extents and block counts; refuses 2^31 blocks or more first. */                      \
  void set_extents(const size_t* e)                                                            \
  {                                                                                            \
    size_t n[N], bc[N];                                                                        \
    detail::throw_too_large_if(detail::block_counts<N>(e, n, bc));                             \
    set_shape(n, bc);                                                                          \
    this->index.blocks = block_count();                                                        \
  }                                                                                            \
  void resize_to(const size_t* e, bool clear)                                                  \
  {                                                                                            \
    set_extents(e);                                                                            \
    this->release();                                                                           \
    if (block_count())                                                                         \
      this->allocate(clear);                                                                   \
  }                                                                                            \
                                                                                               \
public:

template <typename S, class Codec = codec::kvr1<S>, class Index = index::implicit>
class BlockStore1 : public BlockStore<Codec, Index> {
  KVR_STORE_COMMON(1)
  size_t nx;
  size_t bx;

  BlockStore1() : nx(0), bx(0) {}
  BlockStore1(size_t nx_, const kvr_config& config) : nx(0), bx(0)
  {
    const size_t e[1] = {nx_};
    set_extents(e);
    this->configure(config);
  }
  size_t block_count() const override { return bx; }
  void resize(size_t nx_, bool clear)
  {
    const size_t e[1] = {nx_};
    resize_to(e, clear);
  }
  size_t encode(size_t b, const S* p, ptrdiff_t sx)
  {
    const ptrdiff_t s[1] = {sx};
    return ops::encode(*this, b, p, s, false);
  }
  size_t decode(size_t b, S* p, ptrdiff_t sx)
  {
    const ptrdiff_t s[1] = {sx};
    return ops::decode(*this, b, p, s, false);
  }
};

template <typename S, class Codec, class Index>
void BlockStore1<S, Codec, Index>::shape(size_t* n, size_t* bc) const { n[0] = nx; bc[0] = bx; }
template <typename S, class Codec, class Index>
void BlockStore1<S, Codec, Index>::set_shape(const size_t* n, const size_t* bc) { nx = n[0]; bx = bc[0]; }

template <typename S, class Codec = codec::kvr2<S>, class Index = index::implicit>
class BlockStore2 : public BlockStore<Codec, Index> {
  KVR_STORE_COMMON(2)
  size_t nx, ny;
  size_t bx, by;

  BlockStore2() : nx(0), ny(0), bx(0), by(0) {}
  BlockStore2(size_t nx_, size_t ny_, const kvr_config& config) : nx(0), ny(0), bx(0), by(0)
  {
    const size_t e[2] = {nx_, ny_};
    set_extents(e);
    this->configure(config);
  }
  size_t block_count() const override { return detail::mul_sat(bx, by); }
  void resize(size_t nx_, size_t ny_, bool clear)
  {
    const size_t e[2] = {nx_, ny_};
    resize_to(e, clear);
  }
  size_t encode(size_t b, const S* p, ptrdiff_t sx, ptrdiff_t sy)
  {
    const ptrdiff_t s[2] = {sx, sy};
    return ops::encode(*this, b, p, s, false);
  }
  size_t decode(size_t b, S* p, ptrdiff_t sx, ptrdiff_t sy)
  {
    const ptrdiff_t s[2] = {sx, sy};
    return ops::decode(*this, b, p, s, false);
  }
};

template <typename S, class Codec, class Index>
void BlockStore2<S, Codec, Index>::shape(size_t* n, size_t* bc) const
{ n[0] = nx; n[1] = ny; bc[0] = bx; bc[1] = by; }
template <typename S, class Codec, class Index>
void BlockStore2<S, Codec, Index>::set_shape(const size_t* n, const size_t* bc)
{ nx = n[0]; ny = n[1]; bx = bc[0]; by = bc[1]; }

template <typename S, class Codec = codec::kvr3<S>, class Index = index::implicit>
class BlockStore3 : public BlockStore<Codec, Index> {
  KVR_STORE_COMMON(3)
  size_t nx, ny, nz;
  size_t bx, by, bz;

  BlockStore3() : nx(0), ny(0), nz(0), bx(0), by(0), bz(0) {}
  BlockStore3(size_t nx_, size_t ny_, size_t nz_, const kvr_config& config)
    : nx(0), ny(0), nz(0), bx(0), by(0), bz(0)
  {
    const size_t e[3] = {nx_, ny_, nz_};
    set_extents(e);
    this->configure(config);
  }
  size_t block_count() const override { return detail::mul_sat(detail::mul_sat(bx, by), bz); }
  void resize(size_t nx_, size_t ny_, size_t nz_, bool clear)
  {
    const size_t e[3] = {nx_, ny_, nz_};
    resize_to(e, clear);
  }
  size_t encode(size_t b, const S* p, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz)
  {
    const ptrdiff_t s[3] = {sx, sy, sz};
    return ops::encode(*this, b, p, s, false);
  }
  size_t decode(size_t b, S* p, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz)
  {
    const ptrdiff_t s[3] = {sx, sy, sz};
    return ops::decode(*this, b, p, s, false);
  }
};

template <typename S, class Codec, class Index>
void BlockStore3<S, Codec, Index>::shape(size_t* n, size_t* bc) const
{ n[0] = nx; n[1] = ny; n[2] = nz; bc[0] = bx; bc[1] = by; bc[2] = bz; }
template <typename S, class Codec, class Index>
void BlockStore3<S, Codec, Index>::set_shape(const size_t* n, const size_t* bc)
{ nx = n[0]; ny = n[1]; nz = n[2]; bx = bc[0]; by = bc[1]; bz = bc[2]; }

template <typename S, class Codec = codec::kvr4<S>, class Index = index::implicit>
class BlockStore4 : public BlockStore<Codec, Index> {
  KVR_STORE_COMMON(4)
  size_t nx, ny, nz, nw;
  size_t bx, by, bz, bw;

  BlockStore4() : nx(0), ny(0), nz(0), nw(0), bx(0), by(0), bz(0), bw(0) {}
  BlockStore4(size_t nx_, size_t ny_, size_t nz_, size_t nw_, const kvr_config& config)
    : nx(0), ny(0), nz(0), nw(0), bx(0), by(0), bz(0), bw(0)
  {
    const size_t e[4] = {nx_, ny_, nz_, nw_};
    set_extents(e);
    this->configure(config);
  }
  size_t block_count() const override
  { return detail::mul_sat(detail::mul_sat(detail::mul_sat(bx, by), bz), bw); }
  void resize(size_t nx_, size_t ny_, size_t nz_, size_t nw_, bool clear)
  {
    const size_t e[4] = {nx_, ny_, nz_, nw_};
    resize_to(e, clear);
  }
  size_t encode(size_t b, const S* p, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz, ptrdiff_t sw)
  {
    const ptrdiff_t s[4] = {sx, sy, sz, sw};
    return ops::encode(*this, b, p, s, false);
  }
  size_t decode(size_t b, S* p, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz, ptrdiff_t sw)
  {
    const ptrdiff_t s[4] = {sx, sy, sz, sw};
    return ops::decode(*this, b, p, s, false);
  }
};

template <typename S, class Codec, class Index>
void BlockStore4<S, Codec, Index>::shape(size_t* n, size_t* bc) const
{ n[0] = nx; n[1] = ny; n[2] = nz; n[3] = nw; bc[0] = bx; bc[1] = by; bc[2] = bz; bc[3] = bw; }
template <typename S, class Codec, class Index>
void BlockStore4<S, Codec, Index>::set_shape(const size_t* n, const size_t* bc)
{ nx = n[0]; ny = n[1]; nz = n[2]; nw = n[3]; bx = bc[0]; by = bc[1]; bz = bc[2]; bw = bc[3]; }

#undef KVR_STORE_COMMON

} // namespace kvr

#endif
