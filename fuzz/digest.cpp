// libFuzzer passes its whole command line here before the first input, and
// the replay program does the same, so that both builds read -digest in one
// place.
#include "digest.hpp"

#include <cstring>

namespace fuzz {
bool digest_wanted = false;
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
  for (int i = 1; i < *argc; i++)
    if (std::strcmp((*argv)[i], "-digest") == 0)
      fuzz::digest_wanted = true;
  return 0;
}
