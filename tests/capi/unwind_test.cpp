// A C++ handler above C code that calls kvr_array_api: the array's
// exception passes through the C frame to the handler, and the C code
// after the call does not run.  Prints what it caught; exit status 0 only
// when the exception arrived with the expected text and the C code after
// the call was skipped.
#include <cstdio>
#include <cstring>

#include "kvr/array.hpp"

extern "C" {
extern int unwind_c_after_call;
extern int unwind_c_freed;
void unwind_c_make_too_large(void);
}

int main()
{
  try {
    unwind_c_make_too_large();
  }
  catch (const kvr::exception& e) {
    std::printf("caught: %s; after the call: %d, freed: %d\n", e.what(), unwind_c_after_call, unwind_c_freed);
    return std::strcmp(e.what(), "kvr array too large for cache") == 0 && !unwind_c_after_call && !unwind_c_freed ? 0
                                                                                                                : 1;
  }
  std::printf("returned\n");
  return 1;
}
