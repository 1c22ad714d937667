#ifndef KVR_ARRAY_STORE_HPP
#define KVR_ARRAY_STORE_HPP

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "kvr/array/codec.hpp"
#include "kvr/array/exception.hpp"
#include "kvr/array/shape.hpp"

namespace kvr {

namespace detail {

// Fewer than 2^31 blocks keep (b + 1) << 1 inside a 32-bit cache tag.
constexpr size_t max_blocks = size_t(1) << 31;

// Largest multiple of 64 that fits in 32 bits.
constexpr uint32_t max_aligned_bits = 0xffffffc0u;

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

// Calls f(i, o) for all 4^N positions of a full block, in the same order;
// the bounds are constants, so the copies it drives are straight-line code
// with one offset per row of 4 values.
template <unsigned N, class F>
inline void for_each_in_block(const ptrdiff_t* s, F f)
{
  ptrdiff_t t[4] = {0, 0, 0, 0};
  for (unsigned d = 0; d < N; d++)
    t[d] = s[d];
  constexpr unsigned ew = N > 3 ? 4 : 1, ez = N > 2 ? 4 : 1, ey = N > 1 ? 4 : 1;
  for (unsigned w = 0; w < ew; w++)
    for (unsigned z = 0; z < ez; z++)
      for (unsigned y = 0; y < ey; y++) {
        const ptrdiff_t o = ptrdiff_t(y) * t[1] + ptrdiff_t(z) * t[2] + ptrdiff_t(w) * t[3];
        const unsigned i = 4 * y + 16 * z + 64 * w;
        f(i, o);
        f(i + 1, o + t[0]);
        f(i + 2, o + 2 * t[0]);
        f(i + 3, o + 3 * t[0]);
      }
}

// A compressed buffer and the bit stream over it, held here until a store
// adopts them, and released here otherwise: a store allocates everything
// it needs before it changes anything.
class fresh_buffer {
public:
  void* data = nullptr;
  size_t bytes;
  bit_stream* bits = nullptr;

  // n bytes: a copy of `from` when it is not NULL, else zero bits.  A
  // buffer the caller did not ask to clear is zeroed all the same: its
  // slots are decoded when first read, and calloc costs nothing on fresh
  // pages, while malloc's bytes would be undefined to read and may hold
  // what the program freed before.  Throws std::bad_alloc.
  explicit fresh_buffer(size_t n, const void* from = nullptr) : bytes(n)
  {
    if (n) {
      data = from ? std::malloc(n) : std::calloc(n, 1);
      if (!data)
        throw std::bad_alloc();
      if (from)
        std::memcpy(data, from, n);
    }
    bits = stream_open(data, n);
    if (!bits) {
      std::free(data);
      throw std::bad_alloc();
    }
  }
  fresh_buffer(const fresh_buffer&) = delete;
  fresh_buffer& operator=(const fresh_buffer&) = delete;
  ~fresh_buffer()
  {
    if (bits)
      stream_close(bits);
    std::free(data);
  }
};

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

protected:
  BlockStore() : data(nullptr), bytes(0), index(), codec() {}

  void release()
  {
    std::free(data);
    data = nullptr;
    bytes = 0;
    codec.close_bit_stream();
  }

  // Takes f's buffer and bit stream in place of its own; cannot fail.
  void adopt(detail::fresh_buffer& f)
  {
    release();
    data = f.data;
    bytes = f.bytes;
    kvr_stream_set_bit_stream(codec.stream, f.bits);
    f.data = nullptr;
    f.bits = nullptr;
  }

  // Takes the four limits of l; the bit stream and the execution record
  // stay.
  void set_limits(const kvr_stream& l)
  {
    kvr_stream* s = codec.stream;
    s->min_bits = l.min_bits;
    s->max_bits = l.max_bits;
    s->max_prec = l.max_prec;
    s->min_exp = l.min_exp;
  }

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

// The operations the four concrete stores share, on their geometry.
template <typename S, unsigned N, class Store> struct store_ops {
  using codec = block_codec<S, N>;

  static size_t encode(Store& st, size_t b, const S* p, const ptrdiff_t* s, bool contiguous)
  {
    const shape<N> g = st.geometry();
    if (b >= g.block_count() || !st.index.bits_per_block || !st.data)
      return 0;
    size_t c[N], v[N];
    bool full = g.block(b, c, v);
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
    const shape<N> g = st.geometry();
    size_t c[N], v[N];
    if (b >= g.block_count() || !st.index.bits_per_block || !st.data) {
      if (b < g.block_count())
        g.block(b, c, v);
      else
        for (unsigned d = 0; d < N; d++)
          v[d] = 4;
      zero(p, v, s);
      return 0;
    }
    bool full = g.block(b, c, v);
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

  // Buffer bytes for the blocks of g under the limits l: whole words of
  // blocks * max_bits bits in fixed-rate mode, the core's bound otherwise,
  // and never less than every slot of max_bits bits needs.
  static size_t bytes_for(const kvr_stream& l, const shape<N>& g)
  {
    const size_t blocks = g.block_count();
    if (!blocks)
      return 0;
    kvr_field f;
    std::memset(&f, 0, sizeof f);
    f.type = scalar_type<S>::value;
    size_t* fe[4] = {&f.nx, &f.ny, &f.nz, &f.nw};
    for (unsigned d = 0; d < N; d++)
      *fe[d] = g.n[d];
    const size_t need = required_bytes_for(l, f);
    const size_t slots = mul_sat(blocks, l.max_bits) / 8;
    return need > slots ? need : slots;
  }

  // New limits with slots of their max_bits and a new buffer for them;
  // allocates before anything changes.
  KVR_OUT_OF_LINE static void apply(Store& st, const kvr_stream& l)
  {
    fresh_buffer f(bytes_for(l, st.geometry()));
    st.set_limits(l);
    st.index.bits_per_block = l.max_bits;
    st.adopt(f);
  }

  KVR_OUT_OF_LINE static void configure(Store& st, const kvr_config& config)
  {
    switch (config.mode) {
      case kvr_mode_custom: {
        const auto& c = config.arg.custom;
        if (c.min_bits != c.max_bits)
          throw kvr::exception(text::variable_rate);
        // Limits the stream would reject leave it with limits that do not
        // describe the slots; refuse them instead.
        if (c.max_prec < 1 || c.max_prec > 64 || c.max_bits > max_aligned_bits)
          throw kvr::exception(text::mode_unsupported);
        kvr_stream l = *st.codec.stream;
        uint32_t bits = Store::aligned(c.max_bits);
        kvr_stream_set_params(&l, bits, bits, c.max_prec, c.min_exp);
        apply(st, l);
        return;
      }
      case kvr_mode_fixed_rate: {
        // The sign bit asks for word-aligned slots; they are aligned
        // whatever it says.
        double r = config.arg.rate;
        set_rate(st, std::signbit(r) ? -r : r);
        return;
      }
      case kvr_mode_fixed_precision:
      case kvr_mode_fixed_accuracy:
      case kvr_mode_reversible:
        throw kvr::exception(text::variable_rate);
      default:
        throw kvr::exception(text::mode_unsupported);
    }
  }

  KVR_OUT_OF_LINE static double set_rate(Store& st, double rate)
  {
    kvr_stream l = *st.codec.stream;
    double r = kvr_stream_set_rate(&l, rate, scalar_type<S>::value, N, 1);
    apply(st, l);
    return r;
  }

  // The store's geometry for extents e: all extents 0 when one is;
  // "kvr array too large for cache" for 2^31 blocks or more.
  static shape<N> checked(const size_t* e)
  {
    shape<N> g(e);
    if (g.block_count() >= max_blocks)
      throw kvr::exception(text::too_large);
    if (g.empty())
      for (unsigned d = 0; d < N; d++)
        g.n[d] = 0;
    return g;
  }

  // Every new buffer is zero bits (fresh_buffer), so clearing asks for
  // nothing more.
  KVR_OUT_OF_LINE static void resize(Store& st, const size_t* e)
  {
    const shape<N> g = checked(e);
    const size_t blocks = g.block_count();
    if (blocks) {
      fresh_buffer f(bytes_for(*st.codec.stream, g));
      st.set_geometry(g);
      st.adopt(f);
    }
    else {
      st.set_geometry(g);
      st.release();
    }
    st.index.blocks = blocks;
  }

  KVR_OUT_OF_LINE static void deep_copy(Store& st, const Store& s)
  {
    if (&st == &s)
      return;
    fresh_buffer f(s.data ? s.bytes : 0, s.data);
    st.adopt(f);
    st.index = s.index;
    kvr_stream copy = *s.codec.stream;
    copy.stream = kvr_stream_bit_stream(st.codec.stream);
    *st.codec.stream = copy;
    st.set_geometry(s.geometry());
  }
};

constexpr ptrdiff_t line_strides[4] = {1, 4, 16, 64};

} // namespace detail

// The members every concrete store has.  Its extents are all 0, and so are
// its block counts, when one extent given to it is 0.  Every operation that
// changes a store allocates first and either completes or throws with the
// store unchanged (kvr::exception, std::bad_alloc).
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
  size_t required_bytes() const override { return ops::bytes_for(*this->codec.stream, geometry()); } \
  unsigned values_per_block() const override { return 1u << (2 * N); }                        \
  size_t block_count() const override { return geometry().block_count(); }                   \
  size_t encode(size_t b, const S* block) { return ops::encode(*this, b, block, detail::line_strides, true); } \
  size_t decode(size_t b, S* block) { return ops::decode(*this, b, block, detail::line_strides, true); } \
  /* configure: a fixed-rate or equal-limits custom configuration (slots of */              \
  /* whole words) and a zero-filled buffer; kvr::exception for any other.   */              \
  void configure(const kvr_config& config) { ops::configure(*this, config); }                  \
  /* set_rate: fixed-rate limits for rate bits per value, every slot rounded */             \
  /* up to whole words (a rate of 0, a negative rate or NaN gives the       */              \
  /* smallest block, 64 bits), and a zero-filled buffer.  Returns the rate  */              \
  /* kvr_stream_set_rate gives: bits per block / 4^N.                       */              \
  double set_rate(double rate) { return ops::set_rate(*this, rate); }                          \
  /* allocate: a new buffer of required_bytes bytes, zero bits whether or   */              \
  /* not clear is asked for.                                                */              \
  void allocate(bool /* clear */)                                                              \
  {                                                                                            \
    detail::fresh_buffer f(required_bytes());                                                  \
    this->adopt(f);                                                                            \
  }                                                                                            \
  /* resize_to: new extents, x first; a new buffer when there is a block.   */              \
  /* "kvr array too large for cache" for 2^31 blocks or more.               */              \
  void resize_to(const size_t* e, bool /* clear */) { ops::resize(*this, e); }                \
  void deep_copy(const BlockStore##N& s) { ops::deep_copy(*this, s); }                         \
  /* The extents and block counts. */                                                          \
  detail::shape<N> geometry() const;                                                           \
                                                                                               \
protected:                                                                                     \
  void set_geometry(const detail::shape<N>& g);                                                \
  void set_extents(const size_t* e)                                                            \
  {                                                                                            \
    const detail::shape<N> g = ops::checked(e);                                                \
    set_geometry(g);                                                                           \
    this->index.blocks = g.block_count();                                                      \
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
  BlockStore1(size_t nx_, double rate) : nx(0), bx(0)
  {
    const size_t e[1] = {nx_};
    set_extents(e);
    this->set_rate(rate);
  }
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
inline detail::shape<1> BlockStore1<S, Codec, Index>::geometry() const
{
  detail::shape<1> g;
  g.n[0] = nx; g.b[0] = bx;
  return g;
}
template <typename S, class Codec, class Index>
inline void BlockStore1<S, Codec, Index>::set_geometry(const detail::shape<1>& g)
{
  nx = g.n[0]; bx = g.b[0];
}

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
  BlockStore2(size_t nx_, size_t ny_, double rate) : nx(0), ny(0), bx(0), by(0)
  {
    const size_t e[2] = {nx_, ny_};
    set_extents(e);
    this->set_rate(rate);
  }
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
inline detail::shape<2> BlockStore2<S, Codec, Index>::geometry() const
{
  detail::shape<2> g;
  g.n[0] = nx; g.b[0] = bx; g.n[1] = ny; g.b[1] = by;
  return g;
}
template <typename S, class Codec, class Index>
inline void BlockStore2<S, Codec, Index>::set_geometry(const detail::shape<2>& g)
{
  nx = g.n[0]; bx = g.b[0]; ny = g.n[1]; by = g.b[1];
}

template <typename S, class Codec = codec::kvr3<S>, class Index = index::implicit>
class BlockStore3 : public BlockStore<Codec, Index> {
  KVR_STORE_COMMON(3)
  size_t nx, ny, nz;
  size_t bx, by, bz;

  BlockStore3() : nx(0), ny(0), nz(0), bx(0), by(0), bz(0) {}
  BlockStore3(size_t nx_, size_t ny_, size_t nz_, const kvr_config& config) : nx(0), ny(0), nz(0), bx(0), by(0), bz(0)
  {
    const size_t e[3] = {nx_, ny_, nz_};
    set_extents(e);
    this->configure(config);
  }
  BlockStore3(size_t nx_, size_t ny_, size_t nz_, double rate) : nx(0), ny(0), nz(0), bx(0), by(0), bz(0)
  {
    const size_t e[3] = {nx_, ny_, nz_};
    set_extents(e);
    this->set_rate(rate);
  }
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
inline detail::shape<3> BlockStore3<S, Codec, Index>::geometry() const
{
  detail::shape<3> g;
  g.n[0] = nx; g.b[0] = bx; g.n[1] = ny; g.b[1] = by; g.n[2] = nz; g.b[2] = bz;
  return g;
}
template <typename S, class Codec, class Index>
inline void BlockStore3<S, Codec, Index>::set_geometry(const detail::shape<3>& g)
{
  nx = g.n[0]; bx = g.b[0]; ny = g.n[1]; by = g.b[1]; nz = g.n[2]; bz = g.b[2];
}

template <typename S, class Codec = codec::kvr4<S>, class Index = index::implicit>
class BlockStore4 : public BlockStore<Codec, Index> {
  KVR_STORE_COMMON(4)
  size_t nx, ny, nz, nw;
  size_t bx, by, bz, bw;

  BlockStore4() : nx(0), ny(0), nz(0), nw(0), bx(0), by(0), bz(0), bw(0) {}
  BlockStore4(size_t nx_, size_t ny_, size_t nz_, size_t nw_, const kvr_config& config) : nx(0), ny(0), nz(0), nw(0), bx(0), by(0), bz(0), bw(0)
  {
    const size_t e[4] = {nx_, ny_, nz_, nw_};
    set_extents(e);
    this->configure(config);
  }
  BlockStore4(size_t nx_, size_t ny_, size_t nz_, size_t nw_, double rate) : nx(0), ny(0), nz(0), nw(0), bx(0), by(0), bz(0), bw(0)
  {
    const size_t e[4] = {nx_, ny_, nz_, nw_};
    set_extents(e);
    this->set_rate(rate);
  }
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
inline detail::shape<4> BlockStore4<S, Codec, Index>::geometry() const
{
  detail::shape<4> g;
  g.n[0] = nx; g.b[0] = bx; g.n[1] = ny; g.b[1] = by; g.n[2] = nz; g.b[2] = bz; g.n[3] = nw; g.b[3] = bw;
  return g;
}
template <typename S, class Codec, class Index>
inline void BlockStore4<S, Codec, Index>::set_geometry(const detail::shape<4>& g)
{
  nx = g.n[0]; bx = g.b[0]; ny = g.n[1]; by = g.b[1]; nz = g.n[2]; bz = g.b[2]; nw = g.n[3]; bw = g.b[3];
}

#undef KVR_STORE_COMMON

} // namespace kvr

#endif
