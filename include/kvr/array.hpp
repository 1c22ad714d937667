/*
 * Compressed arrays: 1- to 4-dimensional float and double arrays kept in
 * fixed-rate blocks behind a direct-mapped write-back cache of decoded
 * blocks, with element references, pointers (flat order) and iterators
 * (block order), and a 12-byte serialized header.
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
