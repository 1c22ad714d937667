// Building any of the eight array classes from an extents table, for the
// tests that run over all of them.
#ifndef KVR_TESTS_ARRAY_MAKE_ARRAY_HPP
#define KVR_TESTS_ARRAY_MAKE_ARRAY_HPP

#include "kvr/array.hpp"

#include <cstddef>

template <class A> struct dims_of;
template <class S> struct dims_of<kvr::array1<S>> { static constexpr unsigned value = 1; };
template <class S> struct dims_of<kvr::array2<S>> { static constexpr unsigned value = 2; };
template <class S> struct dims_of<kvr::array3<S>> { static constexpr unsigned value = 3; };
template <class S> struct dims_of<kvr::array4<S>> { static constexpr unsigned value = 4; };

// An array of extents n[0 .. N-1] at `rate`, from `data` when not NULL.
template <class A>
A make(const size_t* n, double rate, const typename A::value_type* data, size_t cache_bytes = 0)
{
  constexpr unsigned N = dims_of<A>::value;
  if constexpr (N == 1)
    return A(n[0], rate, data, cache_bytes);
  else if constexpr (N == 2)
    return A(n[0], n[1], rate, data, cache_bytes);
  else if constexpr (N == 3)
    return A(n[0], n[1], n[2], rate, data, cache_bytes);
  else
    return A(n[0], n[1], n[2], n[3], rate, data, cache_bytes);
}

#endif
