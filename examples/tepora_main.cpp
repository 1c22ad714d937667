// Entry point of tepora.  The compressed arrays report running out of
// memory with std::bad_alloc; it ends the program with a message and exit
// status 1 instead of an abort.  The process ends at once: the C code's
// records that the exception passed over are the operating system's to
// reclaim.
#include <cstdio>
#include <cstdlib>
#include <new>

extern "C" int tepora_main(int argc, char* argv[]);

int main(int argc, char* argv[])
{
  try {
    return tepora_main(argc, argv);
  }
  catch (const std::bad_alloc&) {
    std::fputs("tepora: out of memory\n", stderr);
    std::_Exit(1);
  }
}
