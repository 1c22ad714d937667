/*
 * Compressed arrays: 1- to 4-dimensional float and double arrays kept in
 * fixed-rate blocks behind a direct-mapped write-back cache of decoded
 * blocks, and a 12-byte serialized header.
 *
 * Elements are read and written through three proxy types of each array
 * class A, plain records {&a, i[, j[, k[, l]]]} with get() and set(v):
 * A::reference names one element and is made from its indices,
 * A::reference r{{&a, i, j, k}}; A::pointer moves in flat order, x
 * fastest, and a.begin().ptr() is element 0, so get_at(f) and
 * set_at(f, v) reach flat index f; A::iterator moves in block order from
 * a.begin() to a.end() (inc, neq) and holds its element's indices.  The
 * arrays have no operator() and no member that makes a reference or a
 * pointer from indices.  The README's example array_elements.cpp uses
 * all three.
 *
 * kvr::codec::kvr_base<N, S>::header writes and reads the header of one
 * array type; kvr::header reads the header of any type and dimensionality,
 * and keeps the name `header` in the global namespace as an alias.  All of
 * these classes, their vtables and typeinfo live in namespace kvr, so a
 * program's own global `header` in another source file neither clashes
 * with them nor has its functions called in their place.  A source file
 * that includes this header cannot declare a global `header` of its own.
 */
#ifndef KVR_ARRAY_HPP
#define KVR_ARRAY_HPP

#include "kvr/array/arrays.hpp"

namespace kvr {

extern template class array1<float>;
extern template class array1<double>;
extern template class array2<float>;
extern template class array2<double>;
extern template class array3<float>;
extern template class array3<double>;
extern template class array4<float>;
extern template class array4<double>;

} // namespace kvr

#endif
