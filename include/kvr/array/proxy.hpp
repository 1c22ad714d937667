// References, pointers (flat order) and iterators (block order) of the
// compressed arrays.  Positions and offsets come from the array's shape
// (shape.hpp).  Moves beyond either end never divide by 0 and touch no
// element: a pointer lands at the flat split of its offset, an iterator at
// every index 0 but the last, which is end's last index + (offset - count).
// Both keep their offset, so distance measures the move, the opposite move
// comes back, and for 2 to 4 dimensions a position past the end compares
// >= end and one before begin < begin (dec of begin included); 1-D proxies
// compare their index unsigned.  An array without elements has its end at
// its begin.
#ifndef KVR_ARRAY_PROXY_HPP
#define KVR_ARRAY_PROXY_HPP

#include <cstddef>
#include <cstdint>

#include "kvr/array/shape.hpp"

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

template <class A, unsigned N, bool Block> struct position_t;
template <class A, unsigned N> using pointer_t = position_t<A, N, false>;

// Names one element.
template <class A, unsigned N> struct reference_t : index_record<A, N> {
  using value_type = typename A::value_type;

  KVR_INLINE value_type get() const
  {
    size_t x[N];
    this->load(x);
    return this->array->cache.read(x);
  }
  KVR_INLINE void set(value_type v) const
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

  size_t offset() const
  {
    size_t x[N];
    this->load(x);
    const shape<N> g = this->array->geometry();
    return Block ? g.block_offset(x) : g.flat_offset(x);
  }

  // Moves this proxy to an offset.
  void set_offset(size_t p)
  {
    size_t x[N];
    const shape<N> g = this->array->geometry();
    if (Block)
      g.block_position(p, x);
    else
      g.flat_split(p, x);
    this->save(x);
  }

  // The proxy at offset + d.  Offsets move modulo 2^64, so every d is a
  // move, PTRDIFF_MIN and its opposite included.
  position_t at(ptrdiff_t d) const { return moved(size_t(d)); }
  position_t moved(size_t delta) const
  {
    position_t q = *this;
    q.set_offset(offset() + delta);
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
  position_t prev(ptrdiff_t d) const { return moved(size_t(0) - size_t(d)); }
  position_t inc() const
  {
    if (!Block)
      return at(1);
    position_t q = *this;
    size_t x[N];
    q.load(x);
    this->array->geometry().inc(x);
    q.save(x);
    return q;
  }
  position_t dec() const
  {
    if (!Block)
      return at(-1);
    position_t q = *this;
    size_t x[N];
    q.load(x);
    this->array->geometry().dec(x);
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
