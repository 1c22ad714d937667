/* Option parsing of tepora. */
#include "tepora_options.h"

#include <ctype.h>
#include <limits.h>
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

/* The int at the start of w, read as sscanf's "%d" reads one (white space
   skipped, an optional sign, decimal digits, anything after them ignored);
   0 when there is no digit or the number does not fit an int, for which
   "%d" has no defined result. */
static int to_int(const char* w, int* out)
{
  unsigned long long v = 0, limit = INT_MAX;
  int negative = 0, digits = 0;
  while (isspace((unsigned char)*w))
    w++;
  if (*w == '+' || *w == '-')
    negative = *w++ == '-';
  if (negative)
    limit = (unsigned long long)INT_MAX + 1;
  for (; *w >= '0' && *w <= '9'; w++, digits = 1) {
    v = v * 10 + (unsigned long long)(*w - '0');
    if (v > limit)
      return 0;
  }
  if (!digits)
    return 0;
  *out = negative ? (int)(-(long long)v) : (int)v;
  return 1;
}

/* The int value word after argv[*i]; 0 when it is missing or does not
   convert. */
static int int_value(int argc, char* argv[], int* i, int* out)
{
  if (++*i >= argc)
    return 0;
  return to_int(argv[*i], out);
}

/* The rate word after argv[*i], converted with "%lf"; 0 when it is missing
   or does not convert. */
static int rate_value(int argc, char* argv[], int* i, double* out)
{
  if (++*i >= argc)
    return 0;
  return sscanf(argv[*i], "%lf", out) == 1;
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
        if (!int_value(argc, argv, &i, &o->blocks))
          return 1;
        break;
      case 'i':
        o->iterate = 1;
        break;
      case 'n':
        if (!int_value(argc, argv, &i, &o->nx) || !int_value(argc, argv, &i, &o->ny))
          return 1;
        break;
      case 'r':
        if (!rate_value(argc, argv, &i, &o->rate))
          return 1;
        o->compressed = 1;
        break;
      case 't':
        if (!int_value(argc, argv, &i, &o->nt))
          return 1;
        break;
      default:
        break;
    }
  }

  /* Values for which the solver would not terminate or would address
     outside its arrays, and rates without a meaning (negative or not a
     number).  A rate too large for any block, +inf included, runs. */
  if (o->nx < 1 || o->ny < 1 || o->blocks < 0)
    return 1;
  if (o->compressed && !(o->rate >= 0))
    return 1;
  return 0;
}
