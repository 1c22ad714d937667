/* Command line of tepora: parsed word by word into tepora_options. */
#ifndef TEPORA_OPTIONS_H
#define TEPORA_OPTIONS_H

typedef struct {
  int nx, ny;      /* grid points, -n */
  int nt;          /* time steps, -t; 0: run to time 1 */
  double rate;     /* bits per value, -r */
  int blocks;      /* cache blocks, -c; 0: the array chooses */
  int iterate;     /* -i: visit elements through iterators */
  int compressed;  /* set by -r */
} tepora_options;

/* tepora_parse: fills o from argv[1..argc-1]; returns 0, or 1 for a usage
   error (the values in o are then meaningless).  Allocates nothing. */
int tepora_parse(tepora_options* o, int argc, char* argv[]);

/* tepora_usage: writes the usage text to standard error. */
void tepora_usage(void);

#endif
