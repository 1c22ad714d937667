/* Option parsing of tepora. */
#include "tepora_options.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

void tepora_usage(void)
{
  static const char* const lines[] = {
    "Usage: tepora [options]\n",
    "Options:\n",
    "-n <nx> <ny> : number of grid points\n",
    "-t <nt> : number of time steps\n",
    "-r <rate> : use compressed arrays with 'rate' bits/value\n",
    "-c <blocks> : use 'blocks' 4x4 blocks of cache\n",
  };
  size_t i;
  for (i = 0; i < sizeof lines / sizeof lines[0]; i++)
    fwrite(lines[i], 1, strlen(lines[i]), stderr);
}

/* The value word after argv[*i], converted with format; 0 when it is
   missing or does not convert. */
static int value(int argc, char* argv[], int* i, const char* format, void* out)
{
  if (++*i >= argc)
    return 0;
  return sscanf(argv[*i], format, out) == 1;
}

int tepora_parse(tepora_options* o, int argc, char* argv[])
{
  int i;
  o->nx = 100;
  o->ny = 100;
  o->nt = 0;
  o->rate = 64.0;
  o->blocks = 0;
  o->iterate = 0;
  o->compressed = 0;

  for (i = 1; i < argc; i++) {
    const char* w = argv[i];
    /* Options are exactly two characters; a lone "-" is one. */
    if (w[0] != '-' || w[1] == '\0' || w[2] != '\0')
      return 1;
    switch (w[1]) {
      case 'c':
        if (!value(argc, argv, &i, "%d", &o->blocks))
          return 1;
        break;
      case 'i':
        o->iterate = 1;
        break;
      case 'n':
        if (!value(argc, argv, &i, "%d", &o->nx) || !value(argc, argv, &i, "%d", &o->ny))
          return 1;
        break;
      case 'r':
        if (!value(argc, argv, &i, "%lf", &o->rate))
          return 1;
        o->compressed = 1;
        break;
      case 't':
        if (!value(argc, argv, &i, "%d", &o->nt))
          return 1;
        break;
      default:
        break;
    }
  }

  /* Values for which the solver would not terminate, would address
     outside its arrays or could not keep word-aligned blocks. */
  if (o->nx < 1 || o->ny < 1 || o->blocks < 0)
    return 1;
  if (o->compressed && !(o->rate >= 0 && isfinite(o->rate)))
    return 1;
  return 0;
}
