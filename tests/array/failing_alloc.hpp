// An allocator that refuses on request.  The test programs that include
// this are linked with --wrap=malloc and --wrap=calloc, so that every
// allocation of the library (buffers, cache lines, the core's records)
// passes through it and the library itself carries no hook.
#ifndef KVR_TESTS_ARRAY_FAILING_ALLOC_HPP
#define KVR_TESTS_ARRAY_FAILING_ALLOC_HPP

namespace alloc {

// Refuses the n-th allocation from now on (1: the next one) and lets every
// other through; 0 refuses none.
void refuse_nth(unsigned n);
// Whether the refusal asked for has happened.
bool refused();
// Allocations since the last refuse_nth.
unsigned calls();

} // namespace alloc

#endif
