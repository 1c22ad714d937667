/* damage IN OUT OP: writes OUT as a damaged copy of IN, OP being
   "flip BIT" (bit BIT counted from the file's first byte, least
   significant bit first, as the bit streams count them), "keep BYTES"
   (the first BYTES bytes only) or "append" (one byte 0 more). */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv)
{
  static unsigned char data[1 << 20];
  FILE* in = argc >= 4 ? fopen(argv[1], "rb") : NULL;
  FILE* out = NULL;
  size_t n = in ? fread(data, 1, sizeof data, in) : 0;
  unsigned long arg = argc == 5 ? strtoul(argv[4], NULL, 10) : 0;
  int ok = in && n < sizeof data;
  if (ok && argc == 5 && strcmp(argv[3], "flip") == 0 && arg / 8 < n)
    data[arg / 8] ^= (unsigned char)(1u << (arg % 8));
  else if (ok && argc == 5 && strcmp(argv[3], "keep") == 0 && arg <= n)
    n = arg;
  else if (ok && argc == 4 && strcmp(argv[3], "append") == 0)
    data[n++] = 0;
  else
    ok = 0;
  if (ok)
    ok = (out = fopen(argv[2], "wb")) != NULL;
  if (ok)
    ok = (fwrite(data, 1, n, out) == n) & (fclose(out) == 0);
  if (in)
    fclose(in);
  if (!ok)
    fprintf(stderr, "usage: damage IN OUT (flip BIT | keep BYTES | append)\n");
  return ok ? 0 : 1;
}
