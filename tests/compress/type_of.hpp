// The kvr_type of each scalar type the codec takes.
#ifndef KVR_TESTS_COMPRESS_TYPE_OF_HPP
#define KVR_TESTS_COMPRESS_TYPE_OF_HPP

#include <kvr/kvr.h>

#include <cstdint>

namespace kvr_test {

template <typename T> constexpr kvr_type type_of();
template <> constexpr kvr_type type_of<int32_t>() { return kvr_type_int32; }
template <> constexpr kvr_type type_of<int64_t>() { return kvr_type_int64; }
template <> constexpr kvr_type type_of<float>() { return kvr_type_float; }
template <> constexpr kvr_type type_of<double>() { return kvr_type_double; }

} // namespace kvr_test

#endif
