#include "kvr/array/exception.hpp"

namespace kvr {

exception::exception(const std::string& message) : std::runtime_error(message) {}

} // namespace kvr
