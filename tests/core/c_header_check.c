/* Compiles <kvr/kvr.h> as C99, links against the library, prints the
   version banner and round-trips a field through a stream header. */
#include <kvr/kvr.h>

#include <stdio.h>
#include <string.h>

int main(void)
{
  uint64_t words[4];
  bit_stream* bs;
  kvr_stream* s;
  kvr_field* f;
  kvr_field* g;
  size_t written, read;
  int ok;

  memset(words, 0, sizeof words);
  bs = stream_open(words, sizeof words);
  s = kvr_stream_open(bs);
  f = kvr_field_3d(NULL, kvr_type_float, 7, 8, 9);
  g = kvr_field_alloc();
  if (!bs || !s || !f || !g)
    return 1;

  kvr_stream_set_rate(s, 8.0, kvr_type_float, 3, 1);
  written = kvr_write_header(s, f, KVR_HEADER_FULL);
  kvr_stream_flush(s);
  kvr_stream_set_precision(s, 7);
  kvr_stream_rewind(s);
  read = kvr_read_header(s, g, KVR_HEADER_FULL);

  ok = written == 96 && read == 96 && g->type == kvr_type_float &&
       g->nx == 7 && g->ny == 8 && g->nz == 9 && g->nw == 0 &&
       kvr_stream_compression_mode(s) == kvr_mode_fixed_rate &&
       kvr_stream_rate(s, 3) == 8.0;
  printf("%s\n", kvr_version_string);
  printf("header of a 7 x 8 x 9 float field at rate 8: %u bits, %s\n",
         (unsigned)written, ok ? "read back intact" : "MISMATCH");

  kvr_field_free(g);
  kvr_field_free(f);
  kvr_stream_close(s);
  stream_close(bs);
  return ok ? 0 : 1;
}
