// A program's own global type named header, with virtual functions and a
// destructor that counts its runs.  Linked with own_header_main.cpp, which
// uses kvr's header: with either file first on the link line, neither class
// may pick up the other's vtable, typeinfo or member functions.
#include <cstdio>
#include <cstring>

namespace {

int destroyed = 0;

} // namespace

struct header {
  virtual int version() const { return -1; }
  virtual bool valid() const { return false; }
  virtual double timestamp() const { return -1.0; }
  virtual const char* name() const { return "own header"; }
  virtual unsigned long length() const { return 0; }
  virtual ~header() { destroyed++; }
};

// The number of checks of the program's header that fail, each printed.
int own_header_faults()
{
  int faults = 0;
  // Read through a volatile pointer, so that every call goes through the
  // object's vtable.
  header* volatile p = new header;
  header* h = p;
  if (h->version() != -1) {
    std::printf("own header: version() %d, expected -1\n", h->version());
    faults++;
  }
  if (h->timestamp() != -1.0) {
    std::printf("own header: timestamp() %g, expected -1\n", h->timestamp());
    faults++;
  }
  if (std::strcmp(h->name(), "own header") != 0) {
    std::printf("own header: name() is not its own\n");
    faults++;
  }
  if (h->length() != 0) {
    std::printf("own header: length() %lu, expected 0\n", h->length());
    faults++;
  }
  const int before = destroyed;
  delete h;
  if (before != 0 || destroyed != 1) {
    std::printf("own header: destructor ran %d times before delete, %d after, expected 0 and 1\n", before,
                destroyed);
    faults++;
  }
  return faults;
}
