#include "array/failing_alloc.hpp"

#include <cstddef>

namespace {

unsigned countdown = 0;
unsigned count = 0;
bool hit = false;

} // namespace

namespace alloc {

void refuse_nth(unsigned n)
{
  countdown = n;
  count = 0;
  hit = false;
}

bool refused() { return hit; }

unsigned calls() { return count; }

} // namespace alloc

extern "C" void* __real_malloc(size_t n);
extern "C" void* __real_calloc(size_t n, size_t size);
extern "C" void* __wrap_malloc(size_t n);
extern "C" void* __wrap_calloc(size_t n, size_t size);

namespace {

bool refuse()
{
  count++;
  if (countdown && --countdown == 0) {
    hit = true;
    return true;
  }
  return false;
}

} // namespace

void* __wrap_malloc(size_t n) { return refuse() ? nullptr : __real_malloc(n); }

// The compiler may turn a malloc followed by clearing into calloc.
void* __wrap_calloc(size_t n, size_t size) { return refuse() ? nullptr : __real_calloc(n, size); }
