// Entry point of tepora.  The compressed arrays report failures by
// exception: std::bad_alloc when memory runs out, kvr::exception with a
// fixed text otherwise (an array too large for its cache, for one).  Either
// ends the program with a message and exit status 1 instead of an abort.
// The process ends at once: the C code's records that the exception passed
// over are the operating system's to reclaim.
#include <kvr/array/exception.hpp>

#include <cstdio>
#include <cstdlib>
#include <new>

extern "C" int tepora_main(int argc, char* argv[]);

namespace {

[[noreturn]] void fail(const char* text)
{
  std::fprintf(stderr, "tepora: %s\n", text);
  std::_Exit(1);
}

} // namespace

int main(int argc, char* argv[])
{
  try {
    return tepora_main(argc, argv);
  }
  catch (const std::bad_alloc&) {
    fail("out of memory");
  }
  catch (const kvr::exception& e) {
    fail(e.what());
  }
}
