// kvr's header, read from the 12 serialized bytes of a 3-D float array at
// rate 16, in a program whose other source file (own_header.cpp) defines
// its own global header with virtual functions.  Built twice, with each
// file first on the link line.
#include <cstdio>
#include <cstring>

#include "kvr/array.hpp"

int own_header_faults();

int main()
{
  int faults = 0;
  kvr::array3<float> a(10, 20, 30, 16.0);
  const kvr::codec::kvr_base<3u, float>::header typed(a);
  unsigned char bytes[12];
  std::memcpy(bytes, typed.data(), sizeof bytes);
  {
    const header h(bytes, sizeof bytes);
    // Through a volatile pointer to the base, so that every call goes
    // through the object's vtable.
    const kvr::array::header* volatile p = &h;
    const kvr::array::header* k = p;
    if (k->rate() != 16.0) {
      std::printf("kvr header: rate() %g, expected 16\n", k->rate());
      faults++;
    }
    if (k->type != kvr_type_float || k->nx != 10 || k->ny != 20 || k->nz != 30 || k->nw != 0 ||
        k->dimensionality() != 3) {
      std::printf("kvr header: type %u, extents %zu %zu %zu %zu, expected 3, 10 20 30 0\n", unsigned(k->type),
                  k->nx, k->ny, k->nz, k->nw);
      faults++;
    }
    if (std::memcmp(k->data(), bytes, sizeof bytes) != 0) {
      std::printf("kvr header: data() does not hold the bytes it was read from\n");
      faults++;
    }
    if (k->size_bytes(0x84) != 72) {
      std::printf("kvr header: size_bytes(0x84) %zu, expected 72\n", k->size_bytes(0x84));
      faults++;
    }
  }
  faults += own_header_faults();
  std::printf("%s\n", faults ? "FAILED" : "ok");
  return faults ? 1 : 0;
}
