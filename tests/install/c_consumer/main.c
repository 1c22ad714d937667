/* An outside C99 program built with kvr, installed or as a subproject: it
   links kvr alone, without the C++ compiler, and must still run.  Built
   with KVR_PLUGIN, the same checks run from a shared object. */
#include <kvr/array_api.h>
#include <kvr/kvr.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define NX 9
#define NY 6

static int failures = 0;

#define CHECK(cond)                                                         \
  do {                                                                      \
    if (!(cond)) {                                                          \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      failures++;                                                           \
    }                                                                       \
  } while (0)

/* A reversible round trip of a 2-D double field through a heap buffer. */
static void round_trip(void)
{
  double in[NX * NY], out[NX * NY];
  size_t i, bytes, written;
  void* buffer;
  bit_stream* bs;
  kvr_stream* zs;
  kvr_field* field;

  for (i = 0; i < NX * NY; i++)
    in[i] = (double)(i % 7) * 0.375 - 1.0 + (double)i * 1e-3;
  memset(out, 0, sizeof out);

  field = kvr_field_2d(in, kvr_type_double, NX, NY);
  zs = kvr_stream_open(NULL);
  CHECK(field != NULL && zs != NULL);
  if (field == NULL || zs == NULL)
    return;
  kvr_stream_set_reversible(zs);
  bytes = kvr_stream_maximum_size(zs, field);
  buffer = malloc(bytes);
  bs = stream_open(buffer, bytes);
  CHECK(buffer != NULL && bs != NULL);
  if (buffer != NULL && bs != NULL) {
    kvr_stream_set_bit_stream(zs, bs);
    written = kvr_compress(zs, field);
    CHECK(written > 0 && written <= bytes);
    kvr_stream_rewind(zs);
    kvr_field_set_pointer(field, out);
    CHECK(kvr_decompress(zs, field) == written);
    CHECK(memcmp(in, out, sizeof in) == 0);
  }
  stream_close(bs);
  free(buffer);
  kvr_stream_close(zs);
  kvr_field_free(field);
}

/* A compressed 2-D array through the C table. */
static void array2d(void)
{
  const kvr_array2d_api* api = &kvr_array_api.array2d;
  kvr_array2d a = api->ctor(NX, NY, 32.0, NULL, 0);

  CHECK(a != NULL);
  if (a == NULL)
    return;
  CHECK(api->size(a) == NX * NY);
  api->set(a, 4, 3, 2.5);
  CHECK(api->get(a, 4, 3) == 2.5);
  CHECK(api->get(a, 3, 4) == 0.0);
  api->dtor(a);
}

#ifdef KVR_PLUGIN
int kvr_plugin_main(void);
int kvr_plugin_main(void)
#else
int main(void)
#endif
{
  round_trip();
  array2d();
  printf("%s: %d failures\n", kvr_version_string, failures);
  return failures == 0 ? 0 : 1;
}
