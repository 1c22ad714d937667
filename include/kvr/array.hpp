/*
 * Compressed arrays: 1- to 4-dimensional float and double arrays kept in
 * fixed-rate blocks behind a direct-mapped write-back cache of decoded
 * blocks, with element references, pointers (flat order) and iterators
 * (block order), and a 12-byte serialized header.
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
