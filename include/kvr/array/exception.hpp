#ifndef KVR_ARRAY_EXCEPTION_HPP
#define KVR_ARRAY_EXCEPTION_HPP

#include <stdexcept>
#include <string>

namespace kvr {

// The compressed arrays' own exception (they also throw std::bad_alloc);
// it carries one of the fixed texts below and nothing else.
class exception : public std::runtime_error {
public:
  explicit exception(const std::string& message);
};

namespace detail {
namespace text {
constexpr const char* too_large = "kvr array too large for cache";
constexpr const char* variable_rate = "kvr index does not support variable rate";
constexpr const char* mode_unsupported = "kvr compression mode not supported by array";
constexpr const char* type_mismatch = "kvr array scalar type does not match header";
constexpr const char* dims_mismatch = "kvr array dimensionality does not match header";
constexpr const char* buffer_small = "buffer size is smaller than required";
constexpr const char* ser_short = "kvr serialization supports only short headers";
constexpr const char* ser_dims = "kvr serialization supports only 1D, 2D, 3D, and 4D arrays";
constexpr const char* ser_length = "kvr header length does not match expected length";
constexpr const char* de_length = "kvr header length does not match expectations";
constexpr const char* de_corrupt = "kvr header is corrupt";
constexpr const char* de_short = "kvr deserialization supports only short headers";
constexpr const char* de_mode = "kvr deserialization supports only fixed-rate mode";
} // namespace text
} // namespace detail

} // namespace kvr

#endif
