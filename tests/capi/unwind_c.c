/*
 * C code between a C++ handler and a throwing array call: it allocates,
 * makes the call, and would record that the call returned and free what
 * it allocated.  The exception unwinds through this frame when it has
 * unwind tables, so neither of the two steps after the call runs.
 */
#include <kvr/array_api.h>

#include <stdlib.h>

int unwind_c_after_call = 0;
int unwind_c_freed = 0;

void unwind_c_make_too_large(void)
{
  void* scratch = malloc(64);
  /* 2^18 x 2^18 blocks, beyond the 2^31 an array may have */
  kvr_array2d a = kvr_array_api.array2d.ctor((size_t)1 << 20, (size_t)1 << 20, 8.0, NULL, 0);
  unwind_c_after_call = 1;
  kvr_array_api.array2d.dtor(a);
  free(scratch);
  unwind_c_freed = 1;
}
