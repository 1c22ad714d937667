// Buffers whose last byte is followed by an inaccessible page, so that any
// read or write past the end faults at once, with or without a sanitizer.
#ifndef KVR_FUZZ_GUARDED_HPP
#define KVR_FUZZ_GUARDED_HPP

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fuzz {

class guarded {
public:
  // n bytes ending exactly at a guard page, with another guard page in
  // front; n must keep the alignment the caller needs (a multiple of 8
  // gives 8-byte alignment).  The slack between the front page and the
  // data holds a pattern that the destructor checks, so that writes just
  // below the data are caught as well.
  explicit guarded(size_t n) : size(n)
  {
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    span = (n + page - 1) / page * page + 2 * page;
    void* m = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED)
      std::abort();
    base = static_cast<unsigned char*>(m);
    if (mprotect(base, page, PROT_NONE) != 0 || mprotect(base + span - page, page, PROT_NONE) != 0)
      std::abort();
    data = base + span - page - n;
    front = base + page;
    std::memset(front, pattern, size_t(data - front));
  }
  guarded(const guarded&) = delete;
  guarded& operator=(const guarded&) = delete;
  ~guarded()
  {
    for (const unsigned char* p = front; p < data; p++)
      if (*p != pattern) {
        std::fprintf(stderr, "write below a guarded buffer\n");
        std::abort();
      }
    munmap(base, span);
  }

  // Fills the buffer from src (n bytes), repeating it; zeros when n is 0.
  void fill(const uint8_t* src, size_t n)
  {
    if (!n) {
      std::memset(data, 0, size);
      return;
    }
    for (size_t i = 0; i < size; i += n)
      std::memcpy(data + i, src, size - i < n ? size - i : n);
  }

  unsigned char* data;
  const size_t size;

private:
  static constexpr unsigned char pattern = 0xa5;
  unsigned char* base;
  unsigned char* front;
  size_t span;
};

// Consumes a fuzz input front to back; reads past its end give zeros.
// Two reads in one argument list or as operands of one operator are
// unsequenced, and compilers take them in different orders: each read goes
// to a variable of its own, so that an input means one case in every build.
class input {
public:
  input(const uint8_t* d, size_t n) : p(d), left(n) {}

  uint64_t bits(unsigned bytes)
  {
    uint64_t v = 0;
    for (unsigned i = 0; i < bytes; i++)
      v |= uint64_t(byte()) << (8 * i);
    return v;
  }
  uint8_t byte()
  {
    if (!left)
      return 0;
    left--;
    return *p++;
  }
  const uint8_t* rest() const { return p; }
  size_t rest_size() const { return left; }

private:
  const uint8_t* p;
  size_t left;
};

} // namespace fuzz

// The check of a harness: a broken promise aborts, which every fuzzer and
// the replay program report as a crash.
#define FUZZ_CHECK(cond)                                                          \
  do {                                                                            \
    if (!(cond)) {                                                                \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                               \
    }                                                                             \
  } while (0)

#endif
