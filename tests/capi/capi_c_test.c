/*
 * The array C interface used from C through the table only: every one of
 * the eight sub-tables is constructed in its four forms, configured,
 * written and read by index, flat index, references, pointers and
 * iterators, copied whole, saved and rebuilt through its header group, and
 * destroyed (also with NULL).
 */
#include <kvr/array_api.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int failures = 0;

#define CHECK(cond)                                                        \
  do {                                                                     \
    if (!(cond)) {                                                         \
      fprintf(stderr, "%s:%d: %s: check failed: %s\n", __FILE__, __LINE__, \
              sub, #cond);                                                 \
      failures++;                                                          \
    }                                                                      \
  } while (0)

/* Extents, index lists and the number of elements by dimensionality. */
#define EXT_1 7
#define EXT_2 7, 6
#define EXT_3 7, 6, 5
#define EXT_4 7, 6, 5, 3
#define COUNT_1 7
#define COUNT_2 42
#define COUNT_3 210
#define COUNT_4 630
#define IDX_1(x) x[0]
#define IDX_2(x) x[0], x[1]
#define IDX_3(x) x[0], x[1], x[2]
#define IDX_4(x) x[0], x[1], x[2], x[3]

/* A smooth value for flat index f, exactly representable in float. */
static double value_at(size_t f) { return (double)(f % 37) * 0.25 - 3.0; }

/* The indices of flat index f for the extents n (x fastest). */
static void split(size_t f, const size_t* n, unsigned dims, size_t* x)
{
  unsigned d;
  for (d = 0; d + 1 < dims; d++) {
    x[d] = f % n[d];
    f /= n[d];
  }
  x[dims - 1] = f;
}

#define TEST_SUBTABLE(T, S, N)                                                               \
  static void test_##T(void)                                                                 \
  {                                                                                          \
    const char* sub = #T;                                                                    \
    const kvr_##T##_api* api = &kvr_array_api.T;                                             \
    const size_t n[4] = {EXT_4};                                                             \
    const size_t count = COUNT_##N;                                                          \
    S* plain = malloc(count * sizeof(S));                                                    \
    S* back = malloc(count * sizeof(S));                                                     \
    size_t f, x[4] = {0, 0, 0, 0};                                                           \
    kvr_##T a, b, c, e;                                                                      \
    kvr_header h, g;                                                                         \
    kvr_##T##_iterator it, end;                                                              \
    kvr_##T##_pointer p, q;                                                                  \
    kvr_##T##_reference r;                                                                   \
    size_t visited = 0;                                                                      \
                                                                                             \
    for (f = 0; f < count; f++)                                                              \
      plain[f] = (S)value_at(f);                                                             \
    /* Construction with data, at a rate high enough to be exact for the  \
       test's values. */                                                                     \
    a = api->ctor(EXT_##N, 32.0, plain, 0);                                                  \
    CHECK(api->size(a) == count);                                                            \
    CHECK(api->rate(a) == 32.0);                                                             \
    CHECK(api->compressed_size(a) > 0);                                                      \
    api->get_array(a, back);                                                                 \
    CHECK(memcmp(plain, back, count * sizeof(S)) == 0);                                      \
                                                                                             \
    /* Element access by index and by flat index. */                                         \
    for (f = 0; f < count; f++) {                                                            \
      split(f, n, N, x);                                                                     \
      CHECK(api->get(a, IDX_##N(x)) == plain[f]);                                            \
      CHECK(api->get_flat(a, f) == plain[f]);                                                \
    }                                                                                        \
    split(count - 1, n, N, x);                                                               \
    api->set(a, IDX_##N(x), (S)100);                                                         \
    CHECK(api->get_flat(a, count - 1) == (S)100);                                            \
    api->set_flat(a, 0, (S)-5);                                                              \
    memset(x, 0, sizeof x);                                                                  \
    CHECK(api->get(a, IDX_##N(x)) == (S)-5);                                                 \
                                                                                             \
    /* References and pointers. */                                                           \
    r = api->ref_flat(a, 1);                                                                 \
    CHECK(api->reference.get(r) == plain[1]);                                                \
    api->reference.set(r, (S)7);                                                             \
    CHECK(api->get_flat(a, 1) == (S)7);                                                      \
    api->reference.copy(api->ref_flat(a, 2), r);                                             \
    CHECK(api->get_flat(a, 2) == (S)7);                                                      \
    p = api->reference.ptr(r);                                                               \
    q = api->ptr_flat(a, 1);                                                                 \
    CHECK(api->pointer.eq(p, q) && !api->pointer.neq(p, q));                                 \
    CHECK(api->pointer.get(api->pointer.inc(p)) == (S)7);                                    \
    CHECK(api->pointer.get_at(p, 2) == plain[3]);                                            \
    api->pointer.set_at(p, 3, (S)9);                                                         \
    CHECK(api->get_flat(a, 4) == (S)9);                                                      \
    CHECK(api->pointer.distance(api->ptr_flat(a, 0), api->ptr_flat(a, count)) == (ptrdiff_t)count); \
    CHECK(api->pointer.lt(p, api->pointer.next(p, 5)));                                      \
    CHECK(api->pointer.eq(api->pointer.prev(api->pointer.next(p, 5), 5), p));                \
    CHECK(api->pointer.eq(api->pointer.dec(api->pointer.inc(p)), p));                        \
    CHECK(api->reference.get(api->pointer.ref_at(p, 3)) == (S)9);                            \
                                                                                             \
    /* Iterators visit every element once, in block order. */                                \
    end = api->end(a);                                                                       \
    for (it = api->begin(a); api->iterator.neq(it, end); it = api->iterator.inc(it)) {        \
      kvr_##T##_pointer ip = api->iterator.ptr(it);                                          \
      CHECK(api->iterator.get(it) == api->pointer.get(ip));                                  \
      CHECK(api->iterator.i(it) < n[0]);                                                     \
      visited++;                                                                             \
    }                                                                                        \
    CHECK(visited == count);                                                                 \
    CHECK(api->iterator.distance(api->begin(a), end) == (ptrdiff_t)count);                   \
    it = api->iterator.next(api->begin(a), 5);                                               \
    api->iterator.set(it, (S)11);                                                            \
    CHECK(api->iterator.get_at(api->begin(a), 5) == (S)11);                                  \
    CHECK(api->iterator.eq(api->iterator.prev(it, 5), api->begin(a)));                       \
                                                                                             \
    /* Copies, rate and cache control. */                                                    \
    b = api->ctor_copy(a);                                                                   \
    CHECK(api->get_flat(b, 1) == (S)7);                                                      \
    c = api->ctor_default();                                                                 \
    CHECK(api->size(c) == 0 && api->rate(c) == 0 && api->compressed_data(c) == NULL);       \
    api->deep_copy(c, b);                                                                    \
    api->deep_copy(c, c);                                                                    \
    CHECK(api->get_flat(c, 4) == (S)9);                                                      \
    api->set_cache_size(b, 4096);                                                            \
    CHECK(api->cache_size(b) >= 4096);                                                       \
    api->set_flat(b, 3, (S)1);                                                               \
    api->clear_cache(b);                                                                     \
    CHECK(api->get_flat(b, 3) == plain[3]);                                                  \
    api->set_flat(b, 3, (S)2);                                                               \
    api->flush_cache(b);                                                                     \
    CHECK(api->get_flat(b, 3) == (S)2);                                                      \
    CHECK(api->set_rate(b, 0) > 0);                                                          \
    CHECK(api->get_flat(b, 3) == 0);                                                         \
    /* Unspecified without clearing, but never memory used before: 0. */                     \
    api->resize(b, EXT_##N, 0);                                                              \
    for (f = 0; f < count; f++)                                                              \
      CHECK(api->get_flat(b, f) == 0);                                                       \
    api->resize(b, EXT_##N, 1);                                                              \
    CHECK(api->size(b) == count && api->get_flat(b, count - 1) == 0);                        \
    api->set_array(b, plain);                                                                \
    CHECK(api->compressed_data(b) != NULL);                                                  \
                                                                                             \
    /* Save and rebuild through the header group, at 64 bits per block. */                   \
    h = api->header.ctor(b);                                                                 \
    CHECK(api->header.scalar_type(h) == (sizeof(S) == 8 ? kvr_type_double : kvr_type_float)); \
    CHECK(api->header.dimensionality(h) == N);                                               \
    CHECK(api->header.size_x(h) == n[0]);                                                    \
    CHECK(api->header.rate(h) == api->rate(b));                                              \
    CHECK(api->header.size_bytes(h, KVR_BYTES_HEADER) == 12);                                \
    g = api->header.ctor_buffer(api->header.data(h), 12);                                    \
    CHECK(g != NULL);                                                                        \
    CHECK(api->header.ctor_buffer(api->header.data(h), 11) == NULL);                         \
    e = api->ctor_header(g, api->compressed_data(b), api->compressed_size(b));               \
    for (f = 0; f < count; f++)                                                              \
      CHECK(api->get_flat(e, f) == api->get_flat(b, f));                                     \
    api->header.dtor(g);                                                                     \
    api->header.dtor(h);                                                                     \
    api->header.dtor(NULL);                                                                  \
                                                                                             \
    api->dtor(e);                                                                            \
    api->dtor(c);                                                                            \
    api->dtor(b);                                                                            \
    api->dtor(a);                                                                            \
    api->dtor(NULL);                                                                         \
    free(back);                                                                              \
    free(plain);                                                                             \
  }

TEST_SUBTABLE(array1f, float, 1)
TEST_SUBTABLE(array1d, double, 1)
TEST_SUBTABLE(array2f, float, 2)
TEST_SUBTABLE(array2d, double, 2)
TEST_SUBTABLE(array3f, float, 3)
TEST_SUBTABLE(array3d, double, 3)
TEST_SUBTABLE(array4f, float, 4)
TEST_SUBTABLE(array4d, double, 4)

int main(void)
{
  test_array1f();
  test_array1d();
  test_array2f();
  test_array2d();
  test_array3f();
  test_array3d();
  test_array4f();
  test_array4d();
  if (failures)
    fprintf(stderr, "%d checks failed\n", failures);
  return failures ? 1 : 0;
}
