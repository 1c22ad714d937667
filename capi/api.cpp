// The array C interface: one constant table of functions over the eight
// compressed-array classes.  Each slot holds a named function that forwards
// to the generic operations of its class below; the table is constant data
// initialised at compile time.
#include <kvr/array.hpp>
#include <kvr/array_api.h>

#include <new>

namespace {

// Operations of one array class A of N dimensions, with the C handle H and
// the C records R (reference), P (pointer) and I (iterator).
template <class A, unsigned N, class H, class R, class P, class I> struct ops {
  using S = typename A::value_type;
  using Ref = typename A::reference;
  using Ptr = typename A::pointer;
  using It = typename A::iterator;

  static A* self(H h) { return reinterpret_cast<A*>(h); }
  static H handle(A* a) { return reinterpret_cast<H>(a); }

  // C records and C++ proxies hold the same fields: the array, then the
  // indices.
  template <class C> static void load(const C& c, size_t* x)
  {
    x[0] = c.i;
    if constexpr (N >= 2) x[1] = c.j;
    if constexpr (N >= 3) x[2] = c.k;
    if constexpr (N >= 4) x[3] = c.l;
  }
  template <class C> static C record(H h, const size_t* x)
  {
    C c;
    c.array = h;
    c.i = x[0];
    if constexpr (N >= 2) c.j = x[1];
    if constexpr (N >= 3) c.k = x[2];
    if constexpr (N >= 4) c.l = x[3];
    return c;
  }
  template <class Proxy, class C> static Proxy proxy(const C& c)
  {
    size_t x[N];
    load(c, x);
    Proxy p;
    p.array = self(c.array);
    p.save(x);
    return p;
  }
  template <class C, class Proxy> static C record(const Proxy& p)
  {
    size_t x[N];
    p.load(x);
    return record<C>(handle(p.array), x);
  }

  // index = i + nx * (j + ny * (k + nz * l)); the last index is the plain
  // quotient (the array's flat split).
  static void split(const A* a, size_t index, size_t* x) { a->geometry().flat_split(index, x); }

  // Array group.
  static H ctor_default() { return handle(new A()); }
  template <class... E> static H ctor(double rate, const S* data, size_t cache_bytes, E... n)
  {
    return handle(new A(n..., rate, data, cache_bytes));
  }
  static H ctor_copy(H src) { return handle(new A(*self(src))); }
  static H ctor_header(kvr_header h, const void* buffer, size_t bytes)
  {
    return handle(new A(*reinterpret_cast<const kvr::array::header*>(h), buffer, bytes));
  }
  static void dtor(H a) { delete self(a); }
  static void deep_copy(H a, H src)
  {
    if (a != src)
      self(a)->deep_copy(*self(src));
  }
  static double rate(H a) { return self(a)->rate(); }
  static double set_rate(H a, double rate) { return self(a)->set_rate(rate); }
  static size_t cache_size(H a) { return self(a)->cache_size(); }
  static void set_cache_size(H a, size_t bytes) { self(a)->set_cache_size(bytes); }
  static void clear_cache(H a) { self(a)->cache.clear(); }
  static void flush_cache(H a) { self(a)->cache.flush(); }
  static size_t compressed_size(H a) { return self(a)->compressed_size(); }
  static void* compressed_data(H a) { return self(a)->compressed_data(); }
  static size_t size(H a) { return self(a)->size(); }
  static size_t size_x(H a) { return self(a)->nx; }
  static size_t size_y(H a) { return self(a)->ny; }
  static size_t size_z(H a) { return self(a)->nz; }
  static size_t size_w(H a) { return self(a)->nw; }
  template <class... E> static void resize(H a, int clear, E... n)
  {
    const size_t e[N] = {n...};
    self(a)->resize_to(e, clear != 0);
  }
  // Every value into p, x fastest; the cache does not change.
  static void get_array(H a, S* p) { self(a)->get_all(p); }
  static void set_array(H a, const S* p) { self(a)->set_array(p); }
  static S get_flat(H a, size_t index)
  {
    size_t x[N];
    split(self(a), index, x);
    return self(a)->cache.read(x);
  }
  static void set_flat(H a, size_t index, S value)
  {
    size_t x[N];
    split(self(a), index, x);
    self(a)->cache.write(x, value);
  }
  template <class... E> static S get(H a, E... i)
  {
    const size_t x[N] = {i...};
    return self(a)->cache.read(x);
  }
  template <class... E> static void set(H a, S value, E... i)
  {
    const size_t x[N] = {i...};
    self(a)->cache.write(x, value);
  }
  template <class C, class... E> static C at(H a, E... i)
  {
    const size_t x[N] = {i...};
    return record<C>(a, x);
  }
  template <class C> static C at_flat(H a, size_t index)
  {
    size_t x[N];
    split(self(a), index, x);
    return record<C>(a, x);
  }
  static I begin(H a)
  {
    size_t x[N] = {};
    return record<I>(a, x);
  }
  static I end(H a)
  {
    size_t x[N];
    self(a)->geometry().end(x);
    return record<I>(a, x);
  }

  // Reference group.
  static S ref_get(R r) { return proxy<Ref>(r).get(); }
  static void ref_set(R r, S v) { proxy<Ref>(r).set(v); }
  static P ref_ptr(R r) { return record<P>(proxy<Ref>(r).ptr()); }
  static void ref_copy(R r, R src) { proxy<Ref>(r).copy(proxy<Ref>(src)); }

  // Pointer and iterator groups: C is the record, X the proxy.
  template <class C, class X> struct moves {
    static S get(C p) { return proxy<X>(p).get(); }
    static S get_at(C p, ptrdiff_t d) { return proxy<X>(p).get_at(d); }
    static void set(C p, S v) { proxy<X>(p).set(v); }
    static void set_at(C p, ptrdiff_t d, S v) { proxy<X>(p).set_at(d, v); }
    static R ref(C p) { return record<R>(proxy<X>(p).ref()); }
    static R ref_at(C p, ptrdiff_t d) { return record<R>(proxy<X>(p).ref_at(d)); }
    static P ptr(C p) { return record<P>(proxy<X>(p).ptr()); }
    static P ptr_at(C p, ptrdiff_t d) { return record<P>(proxy<X>(p).ptr_at(d)); }
    static size_t i(C p) { return p.i; }
    static size_t j(C p) { return index<1>(p); }
    static size_t k(C p) { return index<2>(p); }
    static size_t l(C p) { return index<3>(p); }
    static int lt(C p, C q) { return proxy<X>(p).lt(proxy<X>(q)); }
    static int gt(C p, C q) { return proxy<X>(p).gt(proxy<X>(q)); }
    static int leq(C p, C q) { return proxy<X>(p).leq(proxy<X>(q)); }
    static int geq(C p, C q) { return proxy<X>(p).geq(proxy<X>(q)); }
    static int eq(C p, C q) { return proxy<X>(p).eq(proxy<X>(q)); }
    static int neq(C p, C q) { return proxy<X>(p).neq(proxy<X>(q)); }
    static ptrdiff_t distance(C p, C q) { return proxy<X>(p).distance(proxy<X>(q)); }
    static C next(C p, ptrdiff_t d) { return record<C>(proxy<X>(p).next(d)); }
    static C prev(C p, ptrdiff_t d) { return record<C>(proxy<X>(p).prev(d)); }
    static C inc(C p) { return record<C>(proxy<X>(p).inc()); }
    static C dec(C p) { return record<C>(proxy<X>(p).dec()); }
    // The wrappers for every axis are defined for every dimensionality and
    // only the present axes are put in the table; an absent axis reads 0
    // rather than indexing past x (which Clang rejects at compile time).
    template <unsigned D> static size_t index(C p)
    {
      size_t x[N];
      load(p, x);
      if constexpr (D < N)
        return x[D];
      else
        return 0;
    }
  };
  using pointer = moves<P, Ptr>;
  using iterator = moves<I, It>;

  // Header group: the header of this class.
  static kvr_header header_ctor(H a)
  {
    return reinterpret_cast<kvr_header>(
      static_cast<kvr::array::header*>(new typename kvr::codec::kvr_base<N, S>::header(*self(a))));
  }
};

const kvr::array::header* hdr(kvr_header h)
{
  return reinterpret_cast<const kvr::array::header*>(h);
}

template <unsigned N, typename S> kvr::array::header* typed_header(const void* data, size_t bytes)
{
  return new typename kvr::codec::kvr_base<N, S>::header(data, bytes);
}

} // namespace

// The eleven header functions shared by every sub-table.
extern "C" {

static kvr_header kvr_header_ctor_buffer(const void* data, size_t bytes)
{
  try {
    const kvr::header probe(data, bytes);
    const uint32_t d = probe.dimensionality();
    const bool is_double = probe.type == kvr_type_double;
    if (probe.type != kvr_type_float && !is_double)
      return nullptr;
    kvr::array::header* h = nullptr;
    switch (d) {
      case 1: h = is_double ? typed_header<1, double>(data, bytes) : typed_header<1, float>(data, bytes); break;
      case 2: h = is_double ? typed_header<2, double>(data, bytes) : typed_header<2, float>(data, bytes); break;
      case 3: h = is_double ? typed_header<3, double>(data, bytes) : typed_header<3, float>(data, bytes); break;
      case 4: h = is_double ? typed_header<4, double>(data, bytes) : typed_header<4, float>(data, bytes); break;
      default: return nullptr;
    }
    return reinterpret_cast<kvr_header>(h);
  }
  catch (...) {
    return nullptr;
  }
}

static void kvr_header_dtor(kvr_header h)
{
  delete reinterpret_cast<kvr::array::header*>(h);
}

static kvr_type kvr_header_scalar_type(kvr_header h) { return hdr(h)->type; }
static uint32_t kvr_header_dimensionality(kvr_header h) { return hdr(h)->dimensionality(); }
static size_t kvr_header_size_x(kvr_header h) { return hdr(h)->nx; }
static size_t kvr_header_size_y(kvr_header h) { return hdr(h)->ny; }
static size_t kvr_header_size_z(kvr_header h) { return hdr(h)->nz; }
static size_t kvr_header_size_w(kvr_header h) { return hdr(h)->nw; }
static double kvr_header_rate(kvr_header h) { return hdr(h)->rate(); }
static const void* kvr_header_data(kvr_header h) { return hdr(h)->data(); }
static size_t kvr_header_size_bytes(kvr_header h, uint32_t mask) { return hdr(h)->size_bytes(mask); }

} // extern "C"

// Argument lists by dimensionality.
#define KVR_EXT_1 size_t nx
#define KVR_EXT_2 size_t nx, size_t ny
#define KVR_EXT_3 size_t nx, size_t ny, size_t nz
#define KVR_EXT_4 size_t nx, size_t ny, size_t nz, size_t nw
#define KVR_EXTARGS_1 nx
#define KVR_EXTARGS_2 nx, ny
#define KVR_EXTARGS_3 nx, ny, nz
#define KVR_EXTARGS_4 nx, ny, nz, nw
#define KVR_IDX_1 size_t i
#define KVR_IDX_2 size_t i, size_t j
#define KVR_IDX_3 size_t i, size_t j, size_t k
#define KVR_IDX_4 size_t i, size_t j, size_t k, size_t l
#define KVR_IDXARGS_1 i
#define KVR_IDXARGS_2 i, j
#define KVR_IDXARGS_3 i, j, k
#define KVR_IDXARGS_4 i, j, k, l

// The named functions of one sub-table T (array1f ... array4d).
#define KVR_FUNCTIONS(T, S, N)                                                                             \
  using ops_##T = ops<kvr::array##N<S>, N, kvr_##T, kvr_##T##_reference, kvr_##T##_pointer, kvr_##T##_iterator>; \
  extern "C" {                                                                                             \
  static kvr_##T kvr_##T##_ctor_default(void) { return ops_##T::ctor_default(); }                          \
  static kvr_##T kvr_##T##_ctor(KVR_EXT_##N, double rate, const S* data, size_t cache_size)               \
  {                                                                                                        \
    return ops_##T::ctor(rate, data, cache_size, KVR_EXTARGS_##N);                                         \
  }                                                                                                        \
  static kvr_##T kvr_##T##_ctor_copy(kvr_##T src) { return ops_##T::ctor_copy(src); }                     \
  static kvr_##T kvr_##T##_ctor_header(kvr_header h, const void* buffer, size_t bytes)                     \
  {                                                                                                        \
    return ops_##T::ctor_header(h, buffer, bytes);                                                         \
  }                                                                                                        \
  static void kvr_##T##_dtor(kvr_##T a) { ops_##T::dtor(a); }                                              \
  static void kvr_##T##_deep_copy(kvr_##T a, kvr_##T src) { ops_##T::deep_copy(a, src); }                 \
  static double kvr_##T##_rate(kvr_##T a) { return ops_##T::rate(a); }                                     \
  static double kvr_##T##_set_rate(kvr_##T a, double rate) { return ops_##T::set_rate(a, rate); }          \
  static size_t kvr_##T##_cache_size(kvr_##T a) { return ops_##T::cache_size(a); }                        \
  static void kvr_##T##_set_cache_size(kvr_##T a, size_t bytes) { ops_##T::set_cache_size(a, bytes); }     \
  static void kvr_##T##_clear_cache(kvr_##T a) { ops_##T::clear_cache(a); }                                \
  static void kvr_##T##_flush_cache(kvr_##T a) { ops_##T::flush_cache(a); }                                \
  static size_t kvr_##T##_compressed_size(kvr_##T a) { return ops_##T::compressed_size(a); }               \
  static void* kvr_##T##_compressed_data(kvr_##T a) { return ops_##T::compressed_data(a); }                \
  static size_t kvr_##T##_size(kvr_##T a) { return ops_##T::size(a); }                                     \
  [[maybe_unused]] static size_t kvr_##T##_size_x(kvr_##T a) { return ops_##T::size_x(a); }                \
  [[maybe_unused]] static size_t kvr_##T##_size_y(kvr_##T a) { return ops_##T::size_y(a); }                \
  [[maybe_unused]] static size_t kvr_##T##_size_z(kvr_##T a) { return ops_##T::size_z(a); }                \
  [[maybe_unused]] static size_t kvr_##T##_size_w(kvr_##T a) { return ops_##T::size_w(a); }                \
  static void kvr_##T##_resize(kvr_##T a, KVR_EXT_##N, int clear)                                          \
  {                                                                                                        \
    ops_##T::resize(a, clear, KVR_EXTARGS_##N);                                                            \
  }                                                                                                        \
  static void kvr_##T##_get_array(kvr_##T a, S* p) { ops_##T::get_array(a, p); }                           \
  static void kvr_##T##_set_array(kvr_##T a, const S* p) { ops_##T::set_array(a, p); }                     \
  static S kvr_##T##_get_flat(kvr_##T a, size_t index) { return ops_##T::get_flat(a, index); }             \
  static void kvr_##T##_set_flat(kvr_##T a, size_t index, S v) { ops_##T::set_flat(a, index, v); }         \
  static S kvr_##T##_get(kvr_##T a, KVR_IDX_##N) { return ops_##T::get(a, KVR_IDXARGS_##N); }              \
  static void kvr_##T##_set(kvr_##T a, KVR_IDX_##N, S v) { ops_##T::set(a, v, KVR_IDXARGS_##N); }          \
  static kvr_##T##_reference kvr_##T##_ref(kvr_##T a, KVR_IDX_##N)                                         \
  {                                                                                                        \
    return ops_##T::at<kvr_##T##_reference>(a, KVR_IDXARGS_##N);                                           \
  }                                                                                                        \
  static kvr_##T##_reference kvr_##T##_ref_flat(kvr_##T a, size_t index)                                   \
  {                                                                                                        \
    return ops_##T::at_flat<kvr_##T##_reference>(a, index);                                                \
  }                                                                                                        \
  static kvr_##T##_pointer kvr_##T##_ptr(kvr_##T a, KVR_IDX_##N)                                           \
  {                                                                                                        \
    return ops_##T::at<kvr_##T##_pointer>(a, KVR_IDXARGS_##N);                                             \
  }                                                                                                        \
  static kvr_##T##_pointer kvr_##T##_ptr_flat(kvr_##T a, size_t index)                                     \
  {                                                                                                        \
    return ops_##T::at_flat<kvr_##T##_pointer>(a, index);                                                  \
  }                                                                                                        \
  static kvr_##T##_iterator kvr_##T##_begin(kvr_##T a) { return ops_##T::begin(a); }                       \
  static kvr_##T##_iterator kvr_##T##_end(kvr_##T a) { return ops_##T::end(a); }                           \
  static S kvr_##T##_reference_get(kvr_##T##_reference r) { return ops_##T::ref_get(r); }                  \
  static void kvr_##T##_reference_set(kvr_##T##_reference r, S v) { ops_##T::ref_set(r, v); }              \
  static kvr_##T##_pointer kvr_##T##_reference_ptr(kvr_##T##_reference r) { return ops_##T::ref_ptr(r); }  \
  static void kvr_##T##_reference_copy(kvr_##T##_reference r, kvr_##T##_reference src)                     \
  {                                                                                                        \
    ops_##T::ref_copy(r, src);                                                                             \
  }                                                                                                        \
  KVR_MOVES(T, S, pointer)                                                                                 \
  KVR_MOVES(T, S, iterator)                                                                                \
  static kvr_##T##_pointer kvr_##T##_iterator_ptr(kvr_##T##_iterator p) { return ops_##T::iterator::ptr(p); } \
  static kvr_##T##_pointer kvr_##T##_iterator_ptr_at(kvr_##T##_iterator p, ptrdiff_t d)                    \
  {                                                                                                        \
    return ops_##T::iterator::ptr_at(p, d);                                                                \
  }                                                                                                        \
  static size_t kvr_##T##_iterator_i(kvr_##T##_iterator p) { return ops_##T::iterator::i(p); }             \
  [[maybe_unused]] static size_t kvr_##T##_iterator_j(kvr_##T##_iterator p) { return ops_##T::iterator::j(p); } \
  [[maybe_unused]] static size_t kvr_##T##_iterator_k(kvr_##T##_iterator p) { return ops_##T::iterator::k(p); } \
  [[maybe_unused]] static size_t kvr_##T##_iterator_l(kvr_##T##_iterator p) { return ops_##T::iterator::l(p); } \
  static kvr_header kvr_##T##_header_ctor(kvr_##T a) { return ops_##T::header_ctor(a); }                   \
  }

// The members that pointers and iterators share, for group G.
#define KVR_MOVES(T, S, G)                                                                                 \
  static S kvr_##T##_##G##_get(kvr_##T##_##G p) { return ops_##T::G::get(p); }                             \
  static S kvr_##T##_##G##_get_at(kvr_##T##_##G p, ptrdiff_t d) { return ops_##T::G::get_at(p, d); }       \
  static void kvr_##T##_##G##_set(kvr_##T##_##G p, S v) { ops_##T::G::set(p, v); }                         \
  static void kvr_##T##_##G##_set_at(kvr_##T##_##G p, ptrdiff_t d, S v) { ops_##T::G::set_at(p, d, v); }   \
  static kvr_##T##_reference kvr_##T##_##G##_ref(kvr_##T##_##G p) { return ops_##T::G::ref(p); }           \
  static kvr_##T##_reference kvr_##T##_##G##_ref_at(kvr_##T##_##G p, ptrdiff_t d)                          \
  {                                                                                                        \
    return ops_##T::G::ref_at(p, d);                                                                       \
  }                                                                                                        \
  static int kvr_##T##_##G##_lt(kvr_##T##_##G p, kvr_##T##_##G q) { return ops_##T::G::lt(p, q); }         \
  static int kvr_##T##_##G##_gt(kvr_##T##_##G p, kvr_##T##_##G q) { return ops_##T::G::gt(p, q); }         \
  static int kvr_##T##_##G##_leq(kvr_##T##_##G p, kvr_##T##_##G q) { return ops_##T::G::leq(p, q); }       \
  static int kvr_##T##_##G##_geq(kvr_##T##_##G p, kvr_##T##_##G q) { return ops_##T::G::geq(p, q); }       \
  static int kvr_##T##_##G##_eq(kvr_##T##_##G p, kvr_##T##_##G q) { return ops_##T::G::eq(p, q); }         \
  static int kvr_##T##_##G##_neq(kvr_##T##_##G p, kvr_##T##_##G q) { return ops_##T::G::neq(p, q); }       \
  static ptrdiff_t kvr_##T##_##G##_distance(kvr_##T##_##G p, kvr_##T##_##G q)                              \
  {                                                                                                        \
    return ops_##T::G::distance(p, q);                                                                     \
  }                                                                                                        \
  static kvr_##T##_##G kvr_##T##_##G##_next(kvr_##T##_##G p, ptrdiff_t d) { return ops_##T::G::next(p, d); } \
  static kvr_##T##_##G kvr_##T##_##G##_prev(kvr_##T##_##G p, ptrdiff_t d) { return ops_##T::G::prev(p, d); } \
  static kvr_##T##_##G kvr_##T##_##G##_inc(kvr_##T##_##G p) { return ops_##T::G::inc(p); }                 \
  static kvr_##T##_##G kvr_##T##_##G##_dec(kvr_##T##_##G p) { return ops_##T::G::dec(p); }

KVR_FUNCTIONS(array1f, float, 1)
KVR_FUNCTIONS(array1d, double, 1)
KVR_FUNCTIONS(array2f, float, 2)
KVR_FUNCTIONS(array2d, double, 2)
KVR_FUNCTIONS(array3f, float, 3)
KVR_FUNCTIONS(array3d, double, 3)
KVR_FUNCTIONS(array4f, float, 4)
KVR_FUNCTIONS(array4d, double, 4)

// The slots of one sub-table, in the interface's order.
#define KVR_SIZES_1(T)
#define KVR_SIZES_2(T) kvr_##T##_size_x, kvr_##T##_size_y,
#define KVR_SIZES_3(T) KVR_SIZES_2(T) kvr_##T##_size_z,
#define KVR_SIZES_4(T) KVR_SIZES_3(T) kvr_##T##_size_w,
#define KVR_INDICES_1(T) kvr_##T##_iterator_i,
#define KVR_INDICES_2(T) KVR_INDICES_1(T) kvr_##T##_iterator_j,
#define KVR_INDICES_3(T) KVR_INDICES_2(T) kvr_##T##_iterator_k,
#define KVR_INDICES_4(T) KVR_INDICES_3(T) kvr_##T##_iterator_l,
#define KVR_COMPARE(T, G)                                                                                  \
  kvr_##T##_##G##_lt, kvr_##T##_##G##_gt, kvr_##T##_##G##_leq, kvr_##T##_##G##_geq, kvr_##T##_##G##_eq,     \
  kvr_##T##_##G##_neq, kvr_##T##_##G##_distance, kvr_##T##_##G##_next, kvr_##T##_##G##_prev,               \
  kvr_##T##_##G##_inc, kvr_##T##_##G##_dec
#define KVR_SUBTABLE(T, N)                                                                                 \
  {                                                                                                        \
    kvr_##T##_ctor_default, kvr_##T##_ctor, kvr_##T##_ctor_copy, kvr_##T##_ctor_header, kvr_##T##_dtor,   \
    kvr_##T##_deep_copy, kvr_##T##_rate, kvr_##T##_set_rate, kvr_##T##_cache_size,                         \
    kvr_##T##_set_cache_size, kvr_##T##_clear_cache, kvr_##T##_flush_cache, kvr_##T##_compressed_size,     \
    kvr_##T##_compressed_data, kvr_##T##_size, KVR_SIZES_##N(T) kvr_##T##_resize, kvr_##T##_get_array,     \
    kvr_##T##_set_array, kvr_##T##_get_flat, kvr_##T##_set_flat, kvr_##T##_get, kvr_##T##_set,            \
    kvr_##T##_ref, kvr_##T##_ref_flat, kvr_##T##_ptr, kvr_##T##_ptr_flat, kvr_##T##_begin, kvr_##T##_end,  \
    {kvr_##T##_reference_get, kvr_##T##_reference_set, kvr_##T##_reference_ptr, kvr_##T##_reference_copy}, \
    {kvr_##T##_pointer_get, kvr_##T##_pointer_get_at, kvr_##T##_pointer_set, kvr_##T##_pointer_set_at,    \
     kvr_##T##_pointer_ref, kvr_##T##_pointer_ref_at, KVR_COMPARE(T, pointer)},                            \
    {kvr_##T##_iterator_get, kvr_##T##_iterator_get_at, kvr_##T##_iterator_set, kvr_##T##_iterator_set_at, \
     kvr_##T##_iterator_ref, kvr_##T##_iterator_ref_at, kvr_##T##_iterator_ptr, kvr_##T##_iterator_ptr_at, \
     KVR_INDICES_##N(T) KVR_COMPARE(T, iterator)},                                                         \
    {kvr_##T##_header_ctor, kvr_header_ctor_buffer, kvr_header_dtor, kvr_header_scalar_type,               \
     kvr_header_dimensionality, kvr_header_size_x, kvr_header_size_y, kvr_header_size_z,                   \
     kvr_header_size_w, kvr_header_rate, kvr_header_data, kvr_header_size_bytes},                          \
  }

extern "C" const kvr_array_api_t kvr_array_api = {
  KVR_SUBTABLE(array1f, 1), KVR_SUBTABLE(array1d, 1), KVR_SUBTABLE(array2f, 2), KVR_SUBTABLE(array2d, 2),
  KVR_SUBTABLE(array3f, 3), KVR_SUBTABLE(array3d, 3), KVR_SUBTABLE(array4f, 4), KVR_SUBTABLE(array4d, 4),
};

static_assert(sizeof(kvr_array_api_t) == 678 * sizeof(void (*)(void)), "the table holds 678 pointers");
