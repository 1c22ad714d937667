// Arbitrary sequences of operations on three arrays of one of the eight
// classes, all through kvr_array_api: the four constructors (default,
// extents with zeros and extents too large, headers with arbitrary
// buffers), copies, resize, set_rate with any double, cache sizes, element
// access by indices inside the extents, references, pointers and iterators
// moved by arbitrary amounts, distances and comparisons, whole-array reads
// and writes.  Allocations above a budget are refused, and an input may
// refuse any one allocation of the next operation.
//
// kvr::exception (with one of its texts) and std::bad_alloc are the
// expected outcomes of a refusal, and a refused change leaves its array
// exactly as it was.  Any other exception, a crash, a sanitizer report or a
// failed check is a finding.  The checks: the array and its store agree on
// extents and blocks and every slot lies in the buffer; a value just
// written reads back bit for bit through every kind of access; after a
// flush, whole-array reads, flat reads and a block-order walk agree; moves
// measure their distance, come back, and order before begin and after end.
#include <kvr/array.hpp>
#include <kvr/array_api.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "guarded.hpp"

// The target is linked with --wrap=malloc,--wrap=calloc: inside a library
// call, requests above the budget are refused (the fuzzer would count a
// large allocation as a finding of its own), and so is the n-th request
// when the input asks for it.
namespace alloc {
bool inside = false;
unsigned countdown = 0;
constexpr size_t budget = size_t(4) << 20;

bool refuse(size_t n)
{
  if (!inside)
    return false;
  if (countdown && --countdown == 0)
    return true;
  return n > budget;
}
} // namespace alloc

extern "C" void* __real_malloc(size_t n);
extern "C" void* __real_calloc(size_t n, size_t size);
extern "C" void* __wrap_malloc(size_t n) { return alloc::refuse(n) ? nullptr : __real_malloc(n); }
extern "C" void* __wrap_calloc(size_t n, size_t size)
{
  return alloc::refuse(n * size) ? nullptr : __real_calloc(n, size);
}

namespace {

// Work per input stays small: whole-array checks only up to this many
// elements, and this many operations.
constexpr size_t max_walk = 4096;
constexpr int max_ops = 48;

template <class T> bool same_bits(T a, T b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool known(const char* what)
{
  namespace t = kvr::detail::text;
  const char* texts[] = {t::too_large, t::variable_rate, t::mode_unsupported, t::type_mismatch, t::dims_mismatch,
                         t::buffer_small, t::ser_short, t::ser_dims, t::ser_length, t::de_length,
                         t::de_corrupt, t::de_short, t::de_mode};
  for (const char* s : texts)
    if (std::strcmp(s, what) == 0)
      return true;
  return false;
}

// Runs f as one library call: the budget applies and a requested refusal
// is spent.  Returns false when f was refused as expected.
template <class F> bool call(F f)
{
  alloc::inside = true;
  try {
    f();
  }
  catch (const kvr::exception& e) {
    alloc::inside = false;
    alloc::countdown = 0;
    FUZZ_CHECK(known(e.what()));
    return false;
  }
  catch (const std::bad_alloc&) {
    alloc::inside = false;
    alloc::countdown = 0;
    return false;
  }
  alloc::inside = false;
  alloc::countdown = 0;
  return true;
}

template <unsigned N, typename S> struct harness {
  using A = typename std::conditional<
    N == 1, kvr::array1<S>,
    typename std::conditional<N == 2, kvr::array2<S>,
                              typename std::conditional<N == 3, kvr::array3<S>, kvr::array4<S>>::type>::type>::type;

  template <class Api> static void run(const Api& api, fuzz::input& in)
  {
    using H = decltype(api.ctor_default());
    H slot[3] = {nullptr, nullptr, nullptr};
    for (int op = 0; op < max_ops && in.rest_size(); op++) {
      const uint8_t code = in.byte();
      H& a = slot[(code >> 5) % 3];
      H& b = slot[in.byte() % 3];
      step(api, code & 31, a, b, in);
      for (H h : slot)
        if (h)
          whole(api, h);
    }
    for (H h : slot)
      api.dtor(h);
  }

  static A* self(const void* h) { return const_cast<A*>(static_cast<const A*>(h)); }

  // Extents: mostly small, sometimes 0, sometimes far too many blocks.
  static void extents(fuzz::input& in, size_t* n)
  {
    for (unsigned d = 0; d < N; d++) {
      const uint8_t v = in.byte();
      switch (v >> 6) {
        case 0: n[d] = v & 15; break;
        case 1: n[d] = (v & 31) + 1; break;
        case 2: n[d] = v & 3 ? (v & 63) : 0; break;
        default: n[d] = size_t(1) << (v & 63); break;
      }
    }
  }

  static double rate(fuzz::input& in)
  {
    const uint8_t v = in.byte();
    const double special[] = {0.0, -0.0, -1.0, -8.0, 1e300, -1e300, 1040.0, 1041.0};
    switch (v >> 6) {
      case 0: return double(v & 63) / 2;
      case 1: return special[v & 7];
      case 2: return -double(v & 63);
      default: {
        const uint64_t bits = in.bits(8);
        double r;
        std::memcpy(&r, &bits, sizeof r);
        return r;
      }
    }
  }

  static size_t amount(fuzz::input& in)
  {
    const uint8_t v = in.byte();
    return v & 0x80 ? size_t(in.bits(8)) : size_t(v) * 64;
  }

  static S value(fuzz::input& in)
  {
    const uint64_t bits = in.bits(sizeof(S));
    S v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }

  static size_t count(const void* h) { return self(h)->geometry().count(); }

  // Indices of flat index f of a's extents, and records with them.
  template <class R, class H> static R record(H h, size_t f)
  {
    size_t x[N];
    self(h)->geometry().flat_split(f, x);
    R r;
    r.array = h;
    r.i = x[0];
    if constexpr (N >= 2)
      r.j = x[1];
    if constexpr (N >= 3)
      r.k = x[2];
    if constexpr (N >= 4)
      r.l = x[3];
    return r;
  }
  template <class R> static size_t flat(const R& r)
  {
    size_t x[4] = {r.i, 0, 0, 0};
    if constexpr (N >= 2)
      x[1] = r.j;
    if constexpr (N >= 3)
      x[2] = r.k;
    if constexpr (N >= 4)
      x[3] = r.l;
    return self(r.array)->geometry().flat_offset(x);
  }

  // Everything an array holds, to compare before and after a refusal.
  static std::vector<unsigned char> state(const void* h)
  {
    A* x = self(h);
    std::vector<unsigned char> out;
    auto put = [&out](const void* p, size_t n) {
      const unsigned char* c = static_cast<const unsigned char*>(p);
      out.insert(out.end(), c, c + n);
    };
    const size_t ext[4] = {x->nx, x->ny, x->nz, x->nw};
    put(ext, sizeof ext);
    const auto g = x->store.geometry();
    put(g.n, sizeof g.n);
    put(g.b, sizeof g.b);
    put(&x->store.index, sizeof x->store.index);
    put(x->store.codec.stream, 4 * sizeof(uint32_t));
    put(&x->store.bytes, sizeof x->store.bytes);
    if (x->store.data)
      put(x->store.data, x->store.bytes);
    put(&x->cache.mask, sizeof x->cache.mask);
    put(x->cache.tags, (size_t(x->cache.mask) + 1) * sizeof(uint32_t));
    if (x->geometry().count() <= max_walk) {
      std::vector<S> v(x->geometry().count());
      x->get_all(v.data());
      put(v.data(), v.size() * sizeof(S));
    }
    return out;
  }

  // A change that is refused must leave a as it was.
  template <class F> static void change(const void* a, F f)
  {
    const std::vector<unsigned char> before = state(a);
    if (!call(f))
      FUZZ_CHECK(state(a) == before);
  }

  // The array and its store agree, and every slot lies in the buffer.
  template <class Api, class H> static void whole(const Api& api, H h)
  {
    A* x = self(h);
    const auto g = x->geometry();
    const auto s = x->store.geometry();
    for (unsigned d = 0; d < N; d++) {
      FUZZ_CHECK(s.n[d] == (g.empty() ? 0 : g.n[d]));
      FUZZ_CHECK(s.b[d] == g.b[d]);
    }
    const size_t blocks = g.block_count();
    FUZZ_CHECK(blocks < (size_t(1) << 31));
    if (blocks && x->store.index.bits_per_block)
      FUZZ_CHECK(x->store.data && x->store.bytes / 8 >= blocks * x->store.index.bits_per_block / 64);
    FUZZ_CHECK(x->cache.tags && x->cache.lines && ((x->cache.mask + 1) & x->cache.mask) == 0);
    FUZZ_CHECK(api.size(h) == g.count());
  }

  template <class Api, class H> static void step(const Api& api, unsigned code, H& a, H& b, fuzz::input& in)
  {
    switch (code) {
      case 0: {
        H h = nullptr;
        if (call([&] { h = api.ctor_default(); })) {
          api.dtor(a);
          a = h;
        }
        break;
      }
      case 1:
      case 2: {
        size_t n[4];
        extents(in, n);
        const double r = rate(in);
        const size_t cache = amount(in);
        const size_t c = shape_count(n);
        const bool with_data = (in.byte() & 1) && c <= max_walk;
        fuzz::guarded data(with_data ? c * sizeof(S) : 0);
        data.fill(in.rest(), in.rest_size());
        H h = nullptr;
        if (call([&] { h = construct(api, n, r, with_data ? reinterpret_cast<const S*>(data.data) : nullptr, cache); })) {
          api.dtor(a);
          a = h;
        }
        break;
      }
      case 3:
        if (b) {
          H h = nullptr;
          if (call([&] { h = api.ctor_copy(b); })) {
            api.dtor(a);
            a = h;
          }
        }
        break;
      case 4:
        if (b)
          from_header(api, a, b, in);
        break;
      case 5:
        api.dtor(a);
        a = nullptr;
        break;
      case 6:
        if (a && b)
          change(a, [&] { api.deep_copy(a, b); });
        break;
      case 7:
        if (a) {
          const double r = rate(in);
          change(a, [&] { api.set_rate(a, r); });
        }
        break;
      case 8:
        if (a) {
          const size_t bytes = amount(in);
          change(a, [&] { api.set_cache_size(a, bytes); });
        }
        break;
      case 9:
        if (a) {
          size_t n[4];
          extents(in, n);
          const int clear = in.byte() & 1;
          change(a, [&] { resize(api, a, n, clear); });
        }
        break;
      case 10:
        if (a) {
          const uint8_t v = in.byte();
          if (v & 1)
            api.clear_cache(a);
          else if (v & 2)
            api.flush_cache(a);
          else {
            const unsigned char* p = static_cast<const unsigned char*>(api.compressed_data(a));
            size_t sum = 0;
            for (size_t i = 0; p && i < api.compressed_size(a); i++)
              sum += p[i];
            (void)sum;
          }
        }
        break;
      case 11:
      case 12:
      case 13:
        if (a && count(a))
          write_read(api, a, in);
        break;
      case 14:
        if (a)
          compare_reads(api, a);
        break;
      case 15:
        if (a && count(a) <= max_walk) {
          fuzz::guarded data(count(a) * sizeof(S));
          data.fill(in.rest(), in.rest_size());
          api.set_array(a, reinterpret_cast<const S*>(data.data));
        }
        break;
      case 16:
      case 17:
        if (a)
          pointer_moves(api, a, b, in);
        break;
      case 18:
      case 19:
        if (a)
          iterator_moves(api, a, b, in);
        break;
      case 20:
        // The next change has one of its allocations refused.
        alloc::countdown = 1 + in.byte() % 8;
        break;
      default:
        break;
    }
  }

  static size_t shape_count(const size_t* n) { return kvr::detail::shape<N>(n).count(); }

  template <class Api> static auto construct(const Api& api, const size_t* n, double r, const S* p, size_t cache)
  {
    if constexpr (N == 1)
      return api.ctor(n[0], r, p, cache);
    else if constexpr (N == 2)
      return api.ctor(n[0], n[1], r, p, cache);
    else if constexpr (N == 3)
      return api.ctor(n[0], n[1], n[2], r, p, cache);
    else
      return api.ctor(n[0], n[1], n[2], n[3], r, p, cache);
  }

  template <class Api, class H> static void resize(const Api& api, H a, const size_t* n, int clear)
  {
    if constexpr (N == 1)
      api.resize(a, n[0], clear);
    else if constexpr (N == 2)
      api.resize(a, n[0], n[1], clear);
    else if constexpr (N == 3)
      api.resize(a, n[0], n[1], n[2], clear);
    else
      api.resize(a, n[0], n[1], n[2], n[3], clear);
  }

  // The header of b, read back from its bytes, and an array from it with an
  // arbitrary buffer of the size it needs, one byte less, or no size.
  template <class Api, class H> static void from_header(const Api& api, H& a, H b, fuzz::input& in)
  {
    kvr_header h = nullptr;
    if (!call([&] { h = api.header.ctor(b); }))
      return;
    kvr_header g = nullptr;
    call([&] { g = api.header.ctor_buffer(api.header.data(h), 12); });
    if (g) {
      FUZZ_CHECK(api.header.scalar_type(g) == api.header.scalar_type(h));
      FUZZ_CHECK(api.header.dimensionality(g) == api.header.dimensionality(h));
      FUZZ_CHECK(api.header.rate(g) == api.header.rate(h));
      FUZZ_CHECK(api.header.size_x(g) == api.header.size_x(h) && api.header.size_w(g) == api.header.size_w(h));
      api.header.dtor(g);
    }
    const size_t need = api.compressed_size(b);
    const uint8_t v = in.byte();
    fuzz::guarded buf(need);
    buf.fill(in.rest(), in.rest_size());
    const size_t given = v & 1 ? 0 : v & 2 ? need : need + 5;
    const bool short_by_one = (v & 4) && need;
    H c = nullptr;
    std::string error;
    alloc::inside = true;
    try {
      c = api.ctor_header(h, (v & 8) ? nullptr : buf.data, short_by_one ? need - 1 : given);
    }
    catch (const kvr::exception& e) {
      error = e.what();
    }
    catch (const std::bad_alloc&) {
      error = "bad_alloc";
    }
    alloc::inside = false;
    alloc::countdown = 0;
    if (short_by_one && !(v & 8) && error != "bad_alloc" && api.header.dimensionality(h) == N)
      FUZZ_CHECK(error == kvr::detail::text::buffer_small);
    if (c) {
      FUZZ_CHECK(api.compressed_size(c) == need && api.size(c) == api.size(b));
      api.dtor(a);
      a = c;
    }
    api.header.dtor(h);
  }

  // One element written through one kind of access reads back bit for bit
  // through all the others (it stays in its line in between).
  template <class Api, class H> static void write_read(const Api& api, H a, fuzz::input& in)
  {
    using P = decltype(api.ptr_flat(a, 0));
    using R = decltype(api.ref_flat(a, 0));
    using I = decltype(api.begin(a));
    const size_t c = count(a);
    const size_t f = size_t(in.bits(4)) % c;
    const S v = value(in);
    const P p = record<P>(a, f);
    const R r = record<R>(a, f);
    switch (in.byte() % 6) {
      case 0: api.set_flat(a, f, v); break;
      case 1: api.reference.set(r, v); break;
      case 2: api.pointer.set(p, v); break;
      case 3: {
        const size_t g = size_t(in.bits(4)) % c;
        api.pointer.set_at(record<P>(a, g), ptrdiff_t(f - g), v);
        break;
      }
      case 4: {
        const R src = record<R>(a, size_t(in.bits(4)) % c);
        api.reference.set(src, v);
        api.reference.copy(r, src);
        break;
      }
      default: api.iterator.set(iterator_at<I>(a, p), v); break;
    }
    FUZZ_CHECK(same_bits(api.get_flat(a, f), v));
    FUZZ_CHECK(same_bits(api.reference.get(r), v));
    FUZZ_CHECK(same_bits(api.pointer.get(p), v));
    FUZZ_CHECK(same_bits(api.pointer.get_at(api.ptr_flat(a, 0), ptrdiff_t(f)), v));
    FUZZ_CHECK(same_bits(api.iterator.get(iterator_at<I>(a, p)), v));
    if constexpr (N == 1)
      FUZZ_CHECK(same_bits(api.get(a, p.i), v));
    else if constexpr (N == 2)
      FUZZ_CHECK(same_bits(api.get(a, p.i, p.j), v));
    else if constexpr (N == 3)
      FUZZ_CHECK(same_bits(api.get(a, p.i, p.j, p.k), v));
    else
      FUZZ_CHECK(same_bits(api.get(a, p.i, p.j, p.k, p.l), v));
  }

  // The iterator with the indices of p.
  template <class I, class H, class P> static I iterator_at(H a, const P& p)
  {
    I it;
    it.array = a;
    it.i = p.i;
    if constexpr (N >= 2)
      it.j = p.j;
    if constexpr (N >= 3)
      it.k = p.k;
    if constexpr (N >= 4)
      it.l = p.l;
    return it;
  }

  // After a flush, the whole-array read, the flat reads and a block-order
  // walk give the same values.
  template <class Api, class H> static void compare_reads(const Api& api, H a)
  {
    const size_t c = count(a);
    if (c > max_walk)
      return;
    api.flush_cache(a);
    fuzz::guarded out(c * sizeof(S));
    S* p = reinterpret_cast<S*>(out.data);
    api.get_array(a, p);
    for (size_t f = 0; f < c; f++)
      FUZZ_CHECK(same_bits(api.get_flat(a, f), p[f]));
    size_t visited = 0;
    const auto end = api.end(a);
    for (auto it = api.begin(a); api.iterator.neq(it, end); it = api.iterator.inc(it)) {
      const size_t f = flat(it);
      FUZZ_CHECK(f < c && visited < c);
      FUZZ_CHECK(same_bits(api.iterator.get(it), p[f]));
      visited++;
    }
    FUZZ_CHECK(visited == c);
  }

  // d: any amount; moves by it must measure it and come back.
  static ptrdiff_t distance(fuzz::input& in)
  {
    const uint8_t v = in.byte();
    if (v & 0x80)
      return ptrdiff_t(in.bits(8));
    return ptrdiff_t(int8_t(v << 1)) * ptrdiff_t(in.byte() + 1);
  }

  static bool modest(ptrdiff_t d) { return d > -(ptrdiff_t(1) << 60) && d < (ptrdiff_t(1) << 60); }

  template <class Api, class H> static void pointer_moves(const Api& api, H a, H b, fuzz::input& in)
  {
    using P = decltype(api.ptr_flat(a, 0));
    const auto& pt = api.pointer;
    const size_t c = count(a);
    const P p = record<P>(a, c ? size_t(in.bits(4)) % (c + 1) : 0);
    const ptrdiff_t d = distance(in);
    const P q = pt.next(p, d);
    FUZZ_CHECK(pt.distance(p, q) == d);
    FUZZ_CHECK(pt.eq(pt.prev(q, d), p));
    FUZZ_CHECK(pt.eq(pt.dec(pt.inc(q)), q) && pt.eq(pt.inc(pt.dec(q)), q));
    FUZZ_CHECK(pt.eq(q, api.ptr_flat(a, flat(p) + size_t(d))));
    (void)pt.ref_at(p, d);
    if (N > 1 && modest(d)) {
      FUZZ_CHECK(pt.lt(p, q) == (d > 0) && pt.gt(p, q) == (d < 0));
      FUZZ_CHECK(pt.leq(p, q) == (d >= 0) && pt.geq(p, q) == (d <= 0));
    }
    if (b && b != a) {
      const P o = record<P>(b, 0);
      FUZZ_CHECK(!pt.lt(p, o) && !pt.gt(p, o) && !pt.leq(p, o) && !pt.geq(p, o) && !pt.eq(p, o) && pt.neq(p, o));
    }
    if (c && modest(d) && ptrdiff_t(flat(p)) + d >= 0 && ptrdiff_t(flat(p)) + d < ptrdiff_t(c))
      FUZZ_CHECK(same_bits(pt.get_at(p, d), pt.get(q)));
  }

  template <class Api, class H> static void iterator_moves(const Api& api, H a, H b, fuzz::input& in)
  {
    using I = decltype(api.begin(a));
    const auto& it = api.iterator;
    const size_t c = count(a);
    const I begin = api.begin(a), end = api.end(a);
    const I p = it.next(begin, c ? ptrdiff_t(size_t(in.bits(4)) % (c + 1)) : 0);
    const ptrdiff_t d = distance(in);
    const I q = it.next(p, d);
    FUZZ_CHECK(it.distance(p, q) == d);
    FUZZ_CHECK(it.eq(it.prev(q, d), p));
    FUZZ_CHECK(it.eq(it.dec(it.inc(q)), q) && it.eq(it.inc(it.dec(q)), q));
    (void)it.ref_at(p, d);
    (void)it.ptr_at(p, d);
    if (N > 1 && modest(d)) {
      FUZZ_CHECK(it.lt(p, q) == (d > 0) && it.gt(p, q) == (d < 0));
      const ptrdiff_t o = it.distance(begin, q);
      FUZZ_CHECK(it.geq(q, end) == (o >= ptrdiff_t(c)) && it.lt(q, begin) == (o < 0));
      FUZZ_CHECK(it.lt(it.dec(begin), begin) && it.gt(it.inc(end), end));
    }
    if (b && b != a) {
      const I o = api.begin(b);
      FUZZ_CHECK(!it.lt(p, o) && !it.gt(p, o) && !it.leq(p, o) && !it.geq(p, o) && !it.eq(p, o) && it.neq(p, o));
    }
    const ptrdiff_t at = it.distance(begin, p);
    if (c && modest(d) && at + d >= 0 && at + d < ptrdiff_t(c))
      FUZZ_CHECK(same_bits(it.get_at(p, d), it.get(q)));
  }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  fuzz::input in(data, size);
  const kvr_array_api_t& api = kvr_array_api;
  switch (in.byte() % 8) {
    case 0: harness<1, float>::run(api.array1f, in); break;
    case 1: harness<1, double>::run(api.array1d, in); break;
    case 2: harness<2, float>::run(api.array2f, in); break;
    case 3: harness<2, double>::run(api.array2d, in); break;
    case 4: harness<3, float>::run(api.array3f, in); break;
    case 5: harness<3, double>::run(api.array3d, in); break;
    case 6: harness<4, float>::run(api.array4f, in); break;
    default: harness<4, double>::run(api.array4d, in); break;
  }
  return 0;
}
