// Fields over guarded memory in three layouts, so that the contiguous, the
// explicitly strided and the negatively strided drivers all see their
// blocks' edges at a guard page.
#ifndef KVR_FUZZ_FIELD_HPP
#define KVR_FUZZ_FIELD_HPP

#include <kvr/kvr.h>

#include "guarded.hpp"

namespace fuzz {

enum layout : unsigned { contiguous = 0, transposed = 1, reversed = 2 };

// Element (x, y, z, w) of the field maps one to one onto the n[0] * ... *
// n[dims - 1] elements at mem.
inline kvr_field make_field(kvr_type type, uint32_t dims, const size_t* n, unsigned how, guarded& mem)
{
  kvr_field f;
  std::memset(&f, 0, sizeof f);
  f.type = type;
  size_t* fn[4] = {&f.nx, &f.ny, &f.nz, &f.nw};
  ptrdiff_t* fs[4] = {&f.sx, &f.sy, &f.sz, &f.sw};
  size_t elements = 1;
  for (uint32_t d = 0; d < dims; d++) {
    *fn[d] = n[d];
    elements *= n[d];
  }
  f.data = mem.data;
  switch (how % 3) {
    case transposed: {
      // x slowest, the last axis fastest.
      ptrdiff_t s = 1;
      for (uint32_t d = dims; d-- > 0;) {
        *fs[d] = s;
        s *= ptrdiff_t(n[d]);
      }
      break;
    }
    case reversed: {
      // Every axis runs backwards from the last element.
      ptrdiff_t s = 1;
      for (uint32_t d = 0; d < dims; d++) {
        *fs[d] = -s;
        s *= ptrdiff_t(n[d]);
      }
      f.data = mem.data + (elements - 1) * kvr_type_size(type);
      break;
    }
    default:
      break;
  }
  return f;
}

} // namespace fuzz

#endif
