#ifndef KVR_ARRAY_PROXY_HPP
#define KVR_ARRAY_PROXY_HPP

#include <cstddef>
#include <cstdint>

namespace kvr {
namespace detail {

// The records of references, pointers and iterators: the array, then one
// index per dimension.
template <class A, unsigned N> struct index_record;
template <class A> struct index_record<A, 1> {
  A* array;
  size_t i;
  void load(size_t* x) const { x[0] = i; }
  void save(const size_t* x) { i = x[0]; }
};
template <class A> struct index_record<A, 2> {
  A* array;
  size_t i, j;
  void load(size_t* x) const { x[0] = i; x[1] = j; }
  void save(const size_t* x) { i = x[0]; j = x[1]; }
};
template <class A> struct index_record<A, 3> {
  A* array;
  size_t i, j, k;
  void load(size_t* x) const { x[0] = i; x[1] = j; x[2] = k; }
  void save(const size_t* x) { i = x[0]; j = x[1]; k = x[2]; }
};
template <class A> struct index_record<A, 4> {
  A* array;
  size_t i, j, k, l;
  void load(size_t* x) const { x[0] = i; x[1] = j; x[2] = k; x[3] = l; }
  void save(const size_t* x) { i = x[0]; j = x[1]; k = x[2]; l = x[3]; }
};

// Geometry of positions over the extents n of an N-dimensional array.
template <unsigned N> struct walk {
  static size_t count(const size_t* n)
  {
    size_t c = 1;
    for (unsigned d = 0; d < N; d++)
      c *= n[d];
    return c;
  }

  // One past the last element.  An array without elements has its end at
  // its begin, so a walk from begin to end visits nothing.
  static void end(const size_t* n, size_t* x)
  {
    for (unsigned d = 0; d < N; d++)
      x[d] = 0;
    if (count(n))
      x[N - 1] = n[N - 1];
  }

  static size_t flat_offset(const size_t* n, const size_t* x)
  {
    size_t f = 0;
    for (unsigned d = N; d-- > 0;)
      f = f * n[d] + x[d];
    return f;
  }

  static void flat_split(const size_t* n, size_t f, size_t* x)
  {
    if (!count(n)) {
      end(n, x);
      return;
    }
    for (unsigned d = 0; d + 1 < N; d++) {
      x[d] = f % n[d];
      f /= n[d];
    }
    x[N - 1] = f;
  }

  static size_t start(size_t x) { return x & ~size_t(3); }
  static size_t extent(size_t n, size_t xb) { return (n < xb + 4 ? n : xb + 4) - xb; }

  static size_t block_offset(const size_t* n, const size_t* x)
  {
    if (N == 1)
      return x[0];
    if (x[N - 1] == n[N - 1])
      return count(n);
    size_t b[4] = {0, 0, 0, 0}, e[4] = {0, 0, 0, 0}, r[4] = {0, 0, 0, 0};
    for (unsigned d = 0; d < N; d++) {
      b[d] = start(x[d]);
      e[d] = extent(n[d], b[d]);
      r[d] = x[d] & 3;
    }
    if (N == 2)
      return b[1] * n[0] + e[1] * b[0] + e[0] * r[1] + r[0];
    if (N == 3)
      return b[2] * n[0] * n[1] + e[2] * (b[1] * n[0] + e[1] * b[0]) + e[0] * (e[1] * r[2] + r[1]) + r[0];
    return b[3] * n[0] * n[1] * n[2] + e[3] * (b[2] * n[0] * n[1] + e[2] * (b[1] * n[0] + e[1] * b[0])) +
           e[0] * (e[1] * (e[2] * r[3] + r[2]) + r[1]) + r[0];
  }

  static void block_position(const size_t* n, size_t p, size_t* x)
  {
    if (N == 1) {
      x[0] = p;
      return;
    }
    if (p == count(n) || !count(n)) {
      end(n, x);
      return;
    }
    // Peel the dimensions from the last down: whole slabs of blocks, then
    // the raster index inside one block.
    size_t b[4] = {0, 0, 0, 0}, e[4] = {1, 1, 1, 1};
    size_t slab = count(n);
    size_t inner = 1;
    for (unsigned d = N; d-- > 0;) {
      slab /= n[d];
      size_t unit = slab * inner;
      b[d] = start(p / unit);
      e[d] = extent(n[d], b[d]);
      p -= b[d] * unit;
      inner *= e[d];
    }
    for (unsigned d = N; d-- > 0;) {
      inner /= e[d];
      if (d == 0)
        x[0] = b[0] + p;
      else {
        x[d] = b[d] + p / inner;
        p %= inner;
      }
    }
  }

  static void inc(const size_t* n, size_t* x)
  {
    if (N == 1) {
      x[0]++;
      return;
    }
    for (unsigned d = 0; d < N; d++) {
      size_t y = x[d] + 1;
      if ((y & 3) && y != n[d]) {
        x[d] = y;
        return;
      }
      x[d] = start(x[d]);
    }
    for (unsigned d = 0; d + 1 < N; d++) {
      size_t y = x[d] + 4;
      if (y < n[d]) {
        x[d] = y;
        return;
      }
      x[d] = 0;
    }
    size_t y = x[N - 1] + 4;
    x[N - 1] = y < n[N - 1] ? y : n[N - 1];
  }

  static void dec(const size_t* n, size_t* x)
  {
    if (N == 1) {
      x[0]--;
      return;
    }
    if (x[N - 1] == n[N - 1]) {
      for (unsigned d = 0; d < N; d++)
        x[d] = n[d] - 1;
      return;
    }
    for (unsigned d = 0; d < N; d++)
      if (x[d] & 3) {
        x[d]--;
        for (unsigned e = 0; e < d; e++)
          x[e] = start(x[e]) + extent(n[e], start(x[e])) - 1;
        return;
      }
    for (unsigned d = 0; d < N; d++)
      if (x[d]) {
        x[d]--;
        for (unsigned e = 0; e < d; e++)
          x[e] = n[e] - 1;
        for (unsigned e = d + 1; e < N; e++)
          x[e] = x[e] + extent(n[e], x[e]) - 1;
        return;
      }
    // At the first element there is nowhere to go; stay.
  }
};

template <class A, unsigned N, bool Block> struct position_t;
template <class A, unsigned N> using pointer_t = position_t<A, N, false>;

// Names one element.
template <class A, unsigned N> struct reference_t : index_record<A, N> {
  using value_type = typename A::value_type;

  value_type get() const
  {
    size_t x[N];
    this->load(x);
    return this->array->cache.read(x);
  }
  void set(value_type v) const
  {
    size_t x[N];
    this->load(x);
    this->array->cache.write(x, v);
  }
  // The source is read first, so the value survives a shared line.
  void copy(const reference_t& src) const { set(src.get()); }
  pointer_t<A, N> ptr() const
  {
    pointer_t<A, N> p;
    static_cast<index_record<A, N>&>(p) = *this;
    return p;
  }
};

// A position in flat order (Block false, a pointer) or block order (Block
// true, an iterator).
template <class A, unsigned N, bool Block> struct position_t : index_record<A, N> {
  using value_type = typename A::value_type;
  using reference = reference_t<A, N>;

  static void extents(const A* a, size_t* n)
  {
    const size_t e[4] = {a->nx, a->ny, a->nz, a->nw};
    for (unsigned d = 0; d < N; d++)
      n[d] = e[d];
  }

  size_t offset() const
  {
    size_t n[N], x[N];
    extents(this->array, n);
    this->load(x);
    return Block ? walk<N>::block_offset(n, x) : walk<N>::flat_offset(n, x);
  }

  // Moves this proxy to an offset.
  void set_offset(size_t p)
  {
    size_t n[N], x[N];
    extents(this->array, n);
    if (Block)
      walk<N>::block_position(n, p, x);
    else
      walk<N>::flat_split(n, p, x);
    this->save(x);
  }

  position_t at(ptrdiff_t d) const
  {
    position_t q = *this;
    q.set_offset(offset() + size_t(d));
    return q;
  }

  reference ref() const
  {
    reference r;
    static_cast<index_record<A, N>&>(r) = *this;
    return r;
  }
  reference ref_at(ptrdiff_t d) const { return at(d).ref(); }
  value_type get() const { return ref().get(); }
  void set(value_type v) const { ref().set(v); }
  value_type get_at(ptrdiff_t d) const { return ref_at(d).get(); }
  void set_at(ptrdiff_t d, value_type v) const { ref_at(d).set(v); }

  // The pointer with the same indices, or with those of offset + d.
  pointer_t<A, N> ptr() const { return ref().ptr(); }
  pointer_t<A, N> ptr_at(ptrdiff_t d) const { return at(d).ptr(); }

  position_t next(ptrdiff_t d) const { return at(d); }
  position_t prev(ptrdiff_t d) const { return at(-d); }
  position_t inc() const
  {
    if (!Block)
      return at(1);
    position_t q = *this;
    size_t n[N], x[N];
    extents(this->array, n);
    q.load(x);
    walk<N>::inc(n, x);
    q.save(x);
    return q;
  }
  position_t dec() const
  {
    if (!Block)
      return at(-1);
    position_t q = *this;
    size_t n[N], x[N];
    extents(this->array, n);
    q.load(x);
    walk<N>::dec(n, x);
    q.save(x);
    return q;
  }

  int eq(const position_t& q) const
  {
    size_t x[N], y[N];
    this->load(x);
    q.load(y);
    if (this->array != q.array)
      return 0;
    for (unsigned d = 0; d < N; d++)
      if (x[d] != y[d])
        return 0;
    return 1;
  }
  int neq(const position_t& q) const { return !eq(q); }
  int lt(const position_t& q) const { return this->array == q.array && cmp(q) < 0; }
  int gt(const position_t& q) const { return this->array == q.array && cmp(q) > 0; }
  int leq(const position_t& q) const { return this->array == q.array && cmp(q) <= 0; }
  int geq(const position_t& q) const { return this->array == q.array && cmp(q) >= 0; }
  // offset(q) - offset(this), each with its own array's extents.
  ptrdiff_t distance(const position_t& q) const { return ptrdiff_t(q.offset() - offset()); }

private:
  int cmp(const position_t& q) const
  {
    if (N == 1) {
      size_t a = this->i, b = q.i;
      return a < b ? -1 : a > b;
    }
    ptrdiff_t a = ptrdiff_t(offset()), b = ptrdiff_t(q.offset());
    return a < b ? -1 : a > b;
  }
};

template <class A, unsigned N> using iterator_t = position_t<A, N, true>;

} // namespace detail
} // namespace kvr

#endif
