#ifndef KVR_ARRAY_ARRAYS_HPP
#define KVR_ARRAY_ARRAYS_HPP

#include <utility>

#include "kvr/array/cache.hpp"
#include "kvr/array/proxy.hpp"

namespace kvr {

// Abstract base of the compressed arrays.
class array {
public:
  class header;

  kvr_type type;
  uint32_t dims;
  size_t nx, ny, nz, nw;

  virtual ~array() {}
  virtual double rate() const = 0;
  virtual size_t compressed_size() const = 0;
  virtual void* compressed_data() = 0;

protected:
  array(kvr_type t, uint32_t d) : type(t), dims(d), nx(0), ny(0), nz(0), nw(0) {}
  // Takes h's extents; throws when h's type or dimensionality differs.
  array(uint32_t d, kvr_type t, const header& h);
  array(const array&) = default;
  array& operator=(const array&) = default;
};

// Scalar type and extents of a serialized array.
class array::header {
public:
  kvr_type type;
  size_t nx, ny, nz, nw;

  virtual ~header();
  virtual double rate() const = 0;
  virtual const void* data() const = 0;
  virtual size_t size_bytes(uint32_t mask) const = 0;

  // The highest axis with a non-zero extent, 0 when there is none.
  uint32_t dimensionality() const { return nw ? 4 : nz ? 3 : ny ? 2 : nx ? 1 : 0; }

protected:
  header() : type(kvr_type_none), nx(0), ny(0), nz(0), nw(0) {}
};

namespace detail {

// The 12 serialized bytes and the rate; shared by the typed headers and
// kvr::header.
class serial_header : public array::header {
public:
  double stored_rate;
  alignas(8) unsigned char buffer[16];

  double rate() const override { return stored_rate; }
  const void* data() const override { return buffer; }
  size_t size_bytes(uint32_t mask) const override
  {
    return ((mask & 4u) ? 60 : 0) + ((mask & 0x80u) ? 12 : 0);
  }

protected:
  explicit serial_header(const array& a);
  serial_header(const void* bytes_in, size_t bytes);
};

// Every operation that changes an array allocates first and either
// completes or throws (kvr::exception, std::bad_alloc) with the array
// exactly as it was, cache contents included.
template <typename S, unsigned N, class Store, class Cache> class basic_array : public array {
public:
  using value_type = S;

  Store store;
  Cache cache;

  double rate() const override { return kvr_stream_rate(store.codec.stream, N); }
  size_t compressed_size() const override { return store.bytes; }
  void* compressed_data() override
  {
    cache.flush();
    return store.data;
  }

  // geometry: the array's extents as given, with its blocks, element count
  // and the orders of its proxies.
  KVR_INLINE shape<N> geometry() const
  {
    size_t n[N];
    extents(n);
    return shape<N>(n);
  }

  // size: the number of elements, the product of the extents; 0 when one
  // is 0.
  size_t size() const { return geometry().count(); }

  // set_rate: a new fixed rate with word-aligned blocks, as the array's
  // constructor takes it (a rate of 0, a negative rate or NaN gives the
  // smallest block, 64 bits); every value and every cached change is
  // dropped.  Returns the rate kvr_stream_set_rate reports for it, bits per
  // block / 4^N, also when the stream is then outside fixed-rate mode
  // (rate() reads 0 then).  std::bad_alloc leaves the array unchanged.
  KVR_OUT_OF_LINE double set_rate(double r)
  {
    double in_force = store.set_rate(r);
    cache.clear();
    return in_force;
  }

  // cache_size: the cache's bytes, its lines times 4^N values of S.
  size_t cache_size() const { return cache.capacity(); }

  // set_cache_size: writes every cached change back, then holds
  // lines_for(bytes) lines, rounded up to a power of two (bytes 0: the
  // default size).  kvr::exception "kvr array too large for cache" for
  // 2^31 blocks or more or more than 2^31 lines, and std::bad_alloc, leave
  // the array unchanged, cached changes included.
  void set_cache_size(size_t bytes) { cache.set_capacity(bytes); }

  // resize_to: new extents, x first, kept as given; no value survives (the
  // new buffer is zero bits, cleared or not) and the cache keeps its number
  // of lines.  kvr::exception "kvr array too large for cache" for 2^31 blocks
  // or more, and std::bad_alloc, leave the array unchanged.
  KVR_OUT_OF_LINE void resize_to(const size_t* e, bool clear)
  {
    store.resize_to(e, clear);
    cache.clear();
    size_t* f[4] = {&nx, &ny, &nz, &nw};
    for (unsigned d = 0; d < N; d++)
      *f[d] = e[d];
  }

  // Compresses the plain array p block by block; cached blocks take the
  // new values in their lines, the others are encoded at once.
  void set_array(const S* p)
  {
    each_block([&](size_t b, ptrdiff_t o, const ptrdiff_t* s) {
      if (!cache.put_block(b, p + o, s))
        Store::ops::encode(store, b, p + o, s, false);
    });
  }

  // Copies every value into the plain array p, block by block: cached
  // blocks from their lines, the others decoded straight into p; no line
  // is filled.  get_array of 1-D arrays and the interface's whole-array
  // read of the others.
  void get_all(S* p)
  {
    each_block([&](size_t b, ptrdiff_t o, const ptrdiff_t* s) { cache.get_block(b, p + o, s); });
  }

  // deep_copy: this array becomes an independent copy of a, cached lines
  // and dirty marks included; nothing when a is this array.
  // std::bad_alloc leaves this array unchanged.
  KVR_OUT_OF_LINE void deep_copy(const basic_array& a)
  {
    if (this == &a)
      return;
    typename Cache::line_set lines(a.cache);
    store.deep_copy(a.store);
    cache.adopt(lines);
    type = a.type;
    dims = a.dims;
    nx = a.nx;
    ny = a.ny;
    nz = a.nz;
    nw = a.nw;
  }

  basic_array& operator=(const basic_array& a)
  {
    deep_copy(a);
    return *this;
  }

protected:
  static constexpr kvr_type scalar = scalar_type<S>::value;

  template <size_t... I>
  basic_array(std::index_sequence<I...>, const size_t* n, double r, const S* p, size_t cache_bytes)
    : array(scalar, N), store(n[I]..., r), cache(&store, Cache::lines_for(cache_bytes, store.block_count()))
  {
    size_t* e[4] = {&nx, &ny, &nz, &nw};
    for (unsigned d = 0; d < N; d++)
      *e[d] = n[d];
    if (p)
      set_array(p);
  }

  template <size_t... I>
  basic_array(std::index_sequence<I...>, const array::header& h, const void* buffer, size_t buffer_bytes)
    : array(N, scalar, h), store(extent(h, I)..., h.rate()), cache(&store, Cache::lines_for(0, store.block_count()))
  {
    if (buffer) {
      if (buffer_bytes && buffer_bytes < store.bytes)
        throw kvr::exception(text::buffer_small);
      if (store.bytes)
        std::memcpy(store.data, buffer, store.bytes);
    }
  }

  // Unconfigured: no rate, no extents, no buffer, one cache line.
  basic_array() : array(scalar, N), store(), cache(&store, 1) {}

  basic_array(const basic_array& a) : array(scalar, N), store(), cache(&store, Cache::lines_for(0, 0))
  {
    deep_copy(a);
  }

  void extents(size_t* n) const
  {
    const size_t e[4] = {nx, ny, nz, nw};
    for (unsigned d = 0; d < N; d++)
      n[d] = e[d];
  }

private:
  // f(b, o, s) for every block b in raster order: o is the offset of its
  // first value in a plain array of the extents, s that array's strides.
  template <class F> void each_block(F f) const
  {
    const shape<N> g = store.geometry();
    ptrdiff_t s[N];
    geometry().strides(s);
    const size_t blocks = g.block_count();
    for (size_t b = 0; b < blocks; b++)
      f(b, g.origin(b, s), s);
  }

  static size_t extent(const array::header& h, size_t d)
  {
    const size_t e[4] = {h.nx, h.ny, h.nz, h.nw};
    return e[d];
  }
};

} // namespace detail

namespace codec {

template <unsigned N, typename S> class kvr_base<N, S>::header : public kvr::detail::serial_header {
public:
  // Writes the 12 bytes describing a; kvr::exception "kvr serialization
  // supports only short headers" (a rate of 0, or above 2048 bits a
  // block), "... only 1D, 2D, 3D, and 4D arrays" (no extents) or "kvr
  // header length does not match expected length" (an extent the
  // metadata cannot hold, or 0 below a nonzero one).
  explicit header(const kvr::array& a) : serial_header(a) {}
  // Reads 12 bytes (bytes 0 or 12); kvr::exception "kvr header length does
  // not match expectations", "kvr header is corrupt", "kvr
  // deserialization supports only short headers" or "... only fixed-rate
  // mode".  Does not compare the type and dimensionality read with N and
  // S: an array constructed from the header does.
  header(const void* data_in, size_t bytes) : serial_header(data_in, bytes) {}
};

} // namespace codec

#define KVR_ARRAY_PROXIES(Self, N)                                                   \
  using reference = detail::reference_t<Self, N>;                                    \
  using pointer = detail::pointer_t<Self, N>;                                        \
  using iterator = detail::iterator_t<Self, N>;                                      \
  iterator begin()                                                                   \
  {                                                                                  \
    size_t x[N] = {};                                                                \
    return make<iterator>(x);                                                        \
  }                                                                                  \
  iterator end()                                                                     \
  {                                                                                  \
    size_t x[N];                                                                     \
    this->geometry().end(x);                                                         \
    return make<iterator>(x);                                                        \
  }                                                                                  \
                                                                                     \
private:                                                                             \
  template <class P> P make(const size_t* x)                                         \
  {                                                                                  \
    P p;                                                                             \
    p.array = this;                                                                  \
    p.save(x);                                                                       \
    return p;                                                                        \
  }                                                                                  \
                                                                                     \
public:

template <typename S, class Codec = codec::kvr1<S>, class Index = index::implicit>
class array1 : public detail::basic_array<S, 1, BlockStore1<S, Codec, Index>, LineCache1<S>> {
  using base = detail::basic_array<S, 1, BlockStore1<S, Codec, Index>, LineCache1<S>>;

public:
  KVR_ARRAY_PROXIES(array1, 1)

  array1() {}
  array1(size_t nx_, double rate_, const S* data = nullptr, size_t cache_bytes = 0)
    : base(std::make_index_sequence<1>(), &nx_, rate_, data, cache_bytes) {}
  array1(const array1& a) : base(a) {}
  explicit array1(const kvr::array::header& h, const void* buffer = nullptr, size_t buffer_bytes = 0)
    : base(std::make_index_sequence<1>(), h, buffer, buffer_bytes) {}
  array1& operator=(const array1& a)
  {
    this->deep_copy(a);
    return *this;
  }
  // resize: new extents (see resize_to).
  void resize(size_t nx_, bool clear = true)
  {
    const size_t e[1] = {nx_};
    this->resize_to(e, clear);
  }

  // Writes every value into p, block by block; the cache does not change.
  void get_array(S* p) { this->get_all(p); }
};

template <typename S, class Codec = codec::kvr2<S>, class Index = index::implicit>
class array2 : public detail::basic_array<S, 2, BlockStore2<S, Codec, Index>, LineCache2<S>> {
  using base = detail::basic_array<S, 2, BlockStore2<S, Codec, Index>, LineCache2<S>>;

public:
  KVR_ARRAY_PROXIES(array2, 2)

  array2() {}
  array2(size_t nx_, size_t ny_, double rate_, const S* data = nullptr, size_t cache_bytes = 0)
    : base(std::make_index_sequence<2>(), extents_of(nx_, ny_).n, rate_, data, cache_bytes) {}
  array2(const array2& a) : base(a) {}
  explicit array2(const kvr::array::header& h, const void* buffer = nullptr, size_t buffer_bytes = 0)
    : base(std::make_index_sequence<2>(), h, buffer, buffer_bytes) {}
  array2& operator=(const array2& a)
  {
    this->deep_copy(a);
    return *this;
  }
  // resize: new extents (see resize_to).
  void resize(size_t nx_, size_t ny_, bool clear = true)
  {
    const size_t e[2] = {nx_, ny_};
    this->resize_to(e, clear);
  }

private:
  struct ext { size_t n[2]; };
  static ext extents_of(size_t a, size_t b) { return ext{{a, b}}; }
};

template <typename S, class Codec = codec::kvr3<S>, class Index = index::implicit>
class array3 : public detail::basic_array<S, 3, BlockStore3<S, Codec, Index>, LineCache3<S>> {
  using base = detail::basic_array<S, 3, BlockStore3<S, Codec, Index>, LineCache3<S>>;

public:
  KVR_ARRAY_PROXIES(array3, 3)

  array3() {}
  array3(size_t nx_, size_t ny_, size_t nz_, double rate_, const S* data = nullptr, size_t cache_bytes = 0)
    : base(std::make_index_sequence<3>(), extents_of(nx_, ny_, nz_).n, rate_, data, cache_bytes) {}
  array3(const array3& a) : base(a) {}
  explicit array3(const kvr::array::header& h, const void* buffer = nullptr, size_t buffer_bytes = 0)
    : base(std::make_index_sequence<3>(), h, buffer, buffer_bytes) {}
  array3& operator=(const array3& a)
  {
    this->deep_copy(a);
    return *this;
  }
  // resize: new extents (see resize_to).
  void resize(size_t nx_, size_t ny_, size_t nz_, bool clear = true)
  {
    const size_t e[3] = {nx_, ny_, nz_};
    this->resize_to(e, clear);
  }

private:
  struct ext { size_t n[3]; };
  static ext extents_of(size_t a, size_t b, size_t c) { return ext{{a, b, c}}; }
};

template <typename S, class Codec = codec::kvr4<S>, class Index = index::implicit>
class array4 : public detail::basic_array<S, 4, BlockStore4<S, Codec, Index>, LineCache4<S>> {
  using base = detail::basic_array<S, 4, BlockStore4<S, Codec, Index>, LineCache4<S>>;

public:
  KVR_ARRAY_PROXIES(array4, 4)

  array4() {}
  array4(size_t nx_, size_t ny_, size_t nz_, size_t nw_, double rate_, const S* data = nullptr,
         size_t cache_bytes = 0)
    : base(std::make_index_sequence<4>(), extents_of(nx_, ny_, nz_, nw_).n, rate_, data, cache_bytes) {}
  array4(const array4& a) : base(a) {}
  explicit array4(const kvr::array::header& h, const void* buffer = nullptr, size_t buffer_bytes = 0)
    : base(std::make_index_sequence<4>(), h, buffer, buffer_bytes) {}
  array4& operator=(const array4& a)
  {
    this->deep_copy(a);
    return *this;
  }
  // resize: new extents (see resize_to).
  void resize(size_t nx_, size_t ny_, size_t nz_, size_t nw_, bool clear = true)
  {
    const size_t e[4] = {nx_, ny_, nz_, nw_};
    this->resize_to(e, clear);
  }

private:
  struct ext { size_t n[4]; };
  static ext extents_of(size_t a, size_t b, size_t c, size_t d) { return ext{{a, b, c, d}}; }
};

#undef KVR_ARRAY_PROXIES

// Reads a serialized header of any type and dimensionality; throws as the
// typed header's reading constructor does.
class header : public detail::serial_header {
public:
  header(const void* data_in, size_t bytes) : serial_header(data_in, bytes) {}
};

} // namespace kvr

// Callers name kvr::header plain `header`.  The class itself stays in kvr:
// its vtable, typeinfo and inline members are weak symbols, and under a
// global name they would merge at link time with those of a program's own
// global `header` defined in another source file.
using header = kvr::header;

#endif
