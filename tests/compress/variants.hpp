// The variants the whole-array tests run over: each scalar's kvr_type, the
// four modes and the shapes of fields.
#ifndef KVR_TESTS_COMPRESS_VARIANTS_HPP
#define KVR_TESTS_COMPRESS_VARIANTS_HPP

#include <kvr/kvr.h>

#include <cstddef>
#include <cstdint>

namespace kvr_test {

template <typename T> constexpr kvr_type type_of();
template <> constexpr kvr_type type_of<int32_t>() { return kvr_type_int32; }
template <> constexpr kvr_type type_of<int64_t>() { return kvr_type_int64; }
template <> constexpr kvr_type type_of<float>() { return kvr_type_float; }
template <> constexpr kvr_type type_of<double>() { return kvr_type_double; }

enum class Mode { rate, precision, accuracy, reversible };

inline const char* name(Mode m)
{
  switch (m) {
    case Mode::rate: return "rate";
    case Mode::precision: return "precision";
    case Mode::accuracy: return "accuracy";
    default: return "reversible";
  }
}

inline void set_mode(kvr_stream* s, Mode m, kvr_type type, uint32_t d)
{
  switch (m) {
    case Mode::rate: kvr_stream_set_rate(s, 12, type, d, 0); break;
    case Mode::precision: kvr_stream_set_precision(s, 20); break;
    case Mode::accuracy: kvr_stream_set_accuracy(s, 1e-3); break;
    case Mode::reversible: kvr_stream_set_reversible(s); break;
  }
}

// Extents of d dimensions; the others are 0.
struct Shape {
  uint32_t d;
  size_t n[4];
};

} // namespace kvr_test

#endif
