#ifndef KVR_ARRAY_CACHE_HPP
#define KVR_ARRAY_CACHE_HPP

#include "kvr/array/store.hpp"

namespace kvr {

namespace detail {

// Direct-mapped write-back cache of decoded blocks.  Tag 0 is an empty
// line, else ((b + 1) << 1) | dirty; block b lives in line (b + 1) & mask.
template <typename S, unsigned N, class Store> class line_cache {
public:
  static constexpr size_t values = size_t(1) << (2 * N);
  static constexpr size_t line_bytes = values * sizeof(S);

  uint32_t mask;
  uint32_t* tags;
  S* lines;
  Store* store;

  // Tags and lines held here until a cache adopts them, and released here
  // otherwise: a cache allocates everything it needs before it changes.
  class line_set {
  public:
    uint32_t mask = 0;
    uint32_t* tags = nullptr;
    S* lines = nullptr;

    // mask + 1 empty lines.
    explicit line_set(uint32_t m)
    {
      allocate(m);
      std::memset(tags, 0, (size_t(m) + 1) * sizeof(uint32_t));
    }
    // A copy of c's tags and lines, dirty bits included.
    explicit line_set(const line_cache& c)
    {
      if (!c.tags)
        return;
      allocate(c.mask);
      const size_t n = size_t(c.mask) + 1;
      std::memcpy(tags, c.tags, n * sizeof(uint32_t));
      std::memcpy(lines, c.lines, n * line_bytes);
    }
    line_set(const line_set&) = delete;
    line_set& operator=(const line_set&) = delete;
    ~line_set()
    {
      std::free(tags);
      std::free(lines);
    }

  private:
    // Tags and lines for mask m + 1 lines, uninitialised; std::bad_alloc.
    void allocate(uint32_t m)
    {
      const size_t n = size_t(m) + 1;
      tags = static_cast<uint32_t*>(std::malloc(n * sizeof(uint32_t)));
      lines = tags ? static_cast<S*>(std::malloc(n * line_bytes)) : nullptr;
      if (!lines) {
        std::free(tags);
        tags = nullptr;
        throw std::bad_alloc();
      }
      mask = m;
    }
  };

  line_cache() : mask(0), tags(nullptr), lines(nullptr), store(nullptr) {}
  line_cache(Store* s, uint32_t count) : mask(0), tags(nullptr), lines(nullptr), store(nullptr)
  {
    resize(count);
    store = s;
  }
  line_cache(const line_cache&) = delete;
  line_cache& operator=(const line_cache&) = delete;
  ~line_cache() { release(); }

  // Lines for a cache of `bytes` bytes (0: about sqrt(blocks)) over
  // `blocks` blocks.
  static uint32_t lines_for(size_t bytes, size_t blocks)
  {
    if (blocks >= max_blocks)
      throw kvr::exception(text::too_large);
    uint64_t c;
    if (bytes)
      c = uint64_t(bytes / line_bytes) + (bytes % line_bytes != 0);
    else {
      c = 1;
      while (c * c < blocks)
        c *= 2;
    }
    // resize cannot widen beyond 2^31 lines.
    if (c > (uint64_t(1) << 31))
      throw kvr::exception(text::too_large);
    return c ? uint32_t(c) : 1u;
  }

  // Replaces every line by `count` empty lines, rounded up to a power of
  // two; nothing is written back.  std::bad_alloc leaves the cache as it
  // was.
  KVR_OUT_OF_LINE void resize(uint32_t count)
  {
    line_set s(mask_for(count));
    adopt(s);
  }

  // Writes every line back, then resizes for a new byte count (0: the
  // default).  When lines_for refuses the count or the lines cannot be
  // allocated, nothing has changed.
  KVR_OUT_OF_LINE void set_capacity(size_t bytes)
  {
    line_set s(mask_for(lines_for(bytes, store->block_count())));
    flush();
    adopt(s);
  }

  void clear()
  {
    if (tags)
      std::memset(tags, 0, (size_t(mask) + 1) * sizeof(uint32_t));
  }

  // Writes every dirty line back, in line order, and empties every line.
  void flush()
  {
    if (!tags)
      return;
    for (size_t i = 0; i <= mask; i++) {
      uint32_t t = tags[i];
      if (!t)
        continue;
      if (t & 1u)
        store->encode(size_t(uint32_t((t >> 1) - 1)), lines + i * values);
      tags[i] = 0;
    }
  }

  size_t capacity() const { return (size_t(mask) + 1) * line_bytes; }

  // Takes a copy of c's tags and lines; std::bad_alloc leaves the cache as
  // it was.
  KVR_OUT_OF_LINE void deep_copy(const line_cache& c)
  {
    if (this == &c)
      return;
    line_set s(c);
    adopt(s);
  }

  // Takes s's tags and lines in place of its own; cannot fail.
  void adopt(line_set& s)
  {
    release();
    mask = s.mask;
    tags = s.tags;
    lines = s.lines;
    s.tags = nullptr;
    s.lines = nullptr;
  }

  // The access protocol for one element of block b: on a miss the new tag
  // is stored first, a dirty victim is written back, then b is decoded,
  // also for a write.  Returns the line holding b.
  KVR_INLINE S* access(size_t b, bool write)
  {
    uint32_t t = uint32_t(b + 1);
    uint32_t li = t & mask;
    uint32_t old = tags[li];
    S* line = lines + size_t(li) * values;
    if ((old >> 1) == t) {
      if (write)
        tags[li] = old | 1u;
      return line;
    }
    miss(b, li, old, write);
    return line;
  }

  // Block number and value index of an element.
  KVR_INLINE void locate(const size_t* idx, size_t& b, size_t& v) const { store->geometry().locate(idx, b, v); }

  KVR_INLINE S read(const size_t* idx)
  {
    size_t b, v;
    locate(idx, b, v);
    return access(b, false)[v];
  }

  KVR_INLINE void write(const size_t* idx, S value)
  {
    size_t b, v;
    locate(idx, b, v);
    access(b, true)[v] = value;
  }

  // Copies block b into p; a cached block from its line (only its valid
  // values for an edge block), any other straight from the store.  No tag
  // changes.
  void get_block(size_t b, S* p, const ptrdiff_t* s)
  {
    const S* line = cached(b);
    if (!line) {
      Store::ops::decode(*store, b, p, s, false);
      return;
    }
    size_t v[N];
    const bool whole = valid(b, v);
    scatter(line, p, s, v, whole);
  }

  // Stores block b from p into its line when it is cached (marking it
  // dirty); false when it is not.
  bool put_block(size_t b, const S* p, const ptrdiff_t* s)
  {
    uint32_t t = uint32_t(b + 1);
    if (!tags || (tags[t & mask] >> 1) != t)
      return false;
    tags[t & mask] |= 1u;
    size_t v[N];
    const bool whole = valid(b, v);
    gather(lines + size_t(t & mask) * values, p, s, v, whole);
    return true;
  }

protected:
  // Out of line, so that a hit saves no registers.
#if defined(__GNUC__)
  __attribute__((noinline, cold))
#endif
  void miss(size_t b, uint32_t li, uint32_t old, bool write)
  {
    S* line = lines + size_t(li) * values;
    tags[li] = (uint32_t(b + 1) << 1) | (write ? 1u : 0u);
    if (old & 1u)
      store->encode(size_t(uint32_t((old >> 1) - 1)), line);
    store->decode(b, line);
  }

  void release()
  {
    std::free(tags);
    std::free(lines);
    tags = nullptr;
    lines = nullptr;
    mask = 0;
  }

  S* cached(size_t b) const
  {
    uint32_t t = uint32_t(b + 1);
    if (!tags || !lines || (tags[t & mask] >> 1) != t)
      return nullptr;
    return lines + size_t(t & mask) * values;
  }

  bool valid(size_t b, size_t* v) const
  {
    size_t c[N];
    return store->geometry().block(b, c, v);
  }

  // The mask of `count` lines rounded up to a power of two (0 lines: 2).
  static uint32_t mask_for(uint32_t count)
  {
    if (count > (uint32_t(1) << 31))
      throw std::bad_alloc();
    uint32_t m = count ? count - 1 : 1;
    while (m & (m + 1))
      m |= m + 1;
    return m;
  }

  // A full block (whole) by straight-line copies, an edge block by loops
  // over its valid values v.
  static void scatter(const S* line, S* p, const ptrdiff_t* s, const size_t* v, bool whole)
  {
    if (whole)
      for_each_in_block<N>(s, [line, p](size_t i, ptrdiff_t o) { p[o] = line[i]; });
    else
      for_each_valid<N>(v, s, [line, p](size_t i, ptrdiff_t o) { p[o] = line[i]; });
  }

  static void gather(S* line, const S* p, const ptrdiff_t* s, const size_t* v, bool whole)
  {
    if (whole)
      for_each_in_block<N>(s, [line, p](size_t i, ptrdiff_t o) { line[i] = p[o]; });
    else
      for_each_valid<N>(v, s, [line, p](size_t i, ptrdiff_t o) { line[i] = p[o]; });
  }
};

} // namespace detail

template <typename S> class LineCache1 : public detail::line_cache<S, 1, BlockStore1<S>> {
  using base = detail::line_cache<S, 1, BlockStore1<S>>;

public:
  using base::base;
  using base::get_block;

  // The line holding element i after one read or write access; the
  // element is at index i % 4.
  S* line(size_t i, bool write) { return this->access(i / 4, write); }
};

template <typename S> class LineCache2 : public detail::line_cache<S, 2, BlockStore2<S>> {
  using base = detail::line_cache<S, 2, BlockStore2<S>>;

public:
  using base::base;

};

template <typename S> class LineCache3 : public detail::line_cache<S, 3, BlockStore3<S>> {
  using base = detail::line_cache<S, 3, BlockStore3<S>>;

public:
  using base::base;
  using base::get_block;

  void get_block(size_t b, S* p, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz)
  {
    const ptrdiff_t s[3] = {sx, sy, sz};
    base::get_block(b, p, s);
  }
  // Copies all 64 values of a full block from a line into p.
  static void scatter_block(const S* line, S* p, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz)
  {
    const ptrdiff_t s[3] = {sx, sy, sz};
    base::scatter(line, p, s, nullptr, true);
  }
};

template <typename S> class LineCache4 : public detail::line_cache<S, 4, BlockStore4<S>> {
  using base = detail::line_cache<S, 4, BlockStore4<S>>;

public:
  using base::base;
  using base::get_block;

  S get(size_t i, size_t j, size_t k, size_t l)
  {
    const size_t idx[4] = {i, j, k, l};
    return this->read(idx);
  }
  void set(size_t i, size_t j, size_t k, size_t l, S value)
  {
    const size_t idx[4] = {i, j, k, l};
    this->write(idx, value);
  }
  void get_block(size_t b, S* p, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz, ptrdiff_t sw)
  {
    const ptrdiff_t s[4] = {sx, sy, sz, sw};
    base::get_block(b, p, s);
  }
  static void scatter_block(const S* line, S* p, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz, ptrdiff_t sw)
  {
    const ptrdiff_t s[4] = {sx, sy, sz, sw};
    base::scatter(line, p, s, nullptr, true);
  }
  static void gather_block(S* line, const S* p, ptrdiff_t sx, ptrdiff_t sy, ptrdiff_t sz, ptrdiff_t sw)
  {
    const ptrdiff_t s[4] = {sx, sy, sz, sw};
    base::gather(line, p, s, nullptr, true);
  }
};

} // namespace kvr

#endif
