/*
 * tepora: the two-dimensional heat equation du/dt = k (uxx + uyy) on an
 * nx x ny grid, from a unit point source, by explicit time stepping with a
 * five-point stencil.  It runs on compressed arrays through the C interface
 * table (kvr_array_api.array2d) or on plain arrays of doubles, and prints
 * the rate, the sum of the interior values and the RMS error against the
 * analytic solution.
 *
 * The compressed arrays are lossy, so the order of element accesses below
 * decides the printed figures; every formula is evaluated with exactly the
 * operations written, in double precision.
 */
#include <kvr/array_api.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include "tepora_options.h"

int tepora_main(int argc, char* argv[]);

typedef struct {
  size_t nx, ny;  /* grid points */
  int nt;         /* time steps; 0: run to time 1 */
  int x0, y0;     /* the source point */
  double k;       /* heat coefficient */
  double dx, dy;  /* grid spacing */
  double dt;      /* time step */
  double tfinal;  /* time to reach */
  double pi;
} constants;

static void* checked(void* p)
{
  if (!p) {
    fputs("tepora: out of memory\n", stderr);
    exit(1);
  }
  return p;
}

static void init_constants(constants* c, int nx, int ny, int nt)
{
  int n = nx > ny ? nx : ny;
  c->nx = (size_t)(ptrdiff_t)nx;
  c->ny = (size_t)(ptrdiff_t)ny;
  c->nt = nt;
  c->x0 = (nx - 1) / 2;
  c->y0 = (ny - 1) / 2;
  c->k = 0.04;
  c->dx = 2.0 / (double)(n - 1);
  c->dy = c->dx;
  c->dt = ((c->dx * c->dx + c->dy * c->dy) * 0.5) / (8 * c->k);
  c->tfinal = nt ? c->dt * (double)nt : 1.0;
  c->pi = 3.141592653589793;
}

/* The stencil from u at the interior point (i, j): six reads in this order,
   the centre read twice. */
static double stencil_compressed(kvr_array2d u, const constants* c, size_t i, size_t j)
{
  const kvr_array2d_api* api = &kvr_array_api.array2d;
  double a, b, cc, d, e, f, uxx, uyy;
  a = api->get(u, i - 1, j);
  b = api->get(u, i, j);
  cc = api->get(u, i + 1, j);
  d = api->get(u, i, j - 1);
  e = api->get(u, i, j);
  f = api->get(u, i, j + 1);
  uxx = ((a - (b + b)) + cc) / (c->dx * c->dx);
  uyy = ((d - (e + e)) + f) / (c->dy * c->dy);
  return (uxx + uyy) * (c->dt * c->k);
}

static double stencil_plain(const double* u, const constants* c, size_t i, size_t j)
{
  const size_t nx = c->nx;
  double a = u[j * nx + i - 1], b = u[j * nx + i], cc = u[j * nx + i + 1];
  double d = u[(j - 1) * nx + i], e = u[j * nx + i], f = u[(j + 1) * nx + i];
  double uxx = ((a - (b + b)) + cc) / (c->dx * c->dx);
  double uyy = ((d - (e + e)) + f) / (c->dy * c->dy);
  return (uxx + uyy) * (c->dt * c->k);
}

static double solve_compressed(kvr_array2d u, const constants* c, int iterate)
{
  const kvr_array2d_api* api = &kvr_array_api.array2d;
  const size_t nx = c->nx, ny = c->ny;
  double t = 0.0;

  api->set(u, (size_t)(ptrdiff_t)c->x0, (size_t)(ptrdiff_t)c->y0, 1.0);
  if (!(c->tfinal > 0))
    return 0.0;
  do {
    double rate;
    size_t cache;
    kvr_array2d du;
    fprintf(stderr, "t=%lf\n", t);
    rate = api->rate(u);
    cache = api->cache_size(u);
    du = api->ctor(nx, ny, rate, NULL, cache);
    if (!iterate) {
      size_t i, j, idx;
      for (j = 1; j < ny - 1; j++)
        for (i = 1; i < nx - 1; i++)
          api->set(du, i, j, stencil_compressed(u, c, i, j));
      for (idx = 0; idx < api->size(u); idx++) {
        double x = api->get_flat(u, idx);
        double y = api->get_flat(du, idx);
        api->set_flat(u, idx, x + y);
      }
    }
    else {
      const kvr_array2d_iterator_api* it_api = &api->iterator;
      kvr_array2d_iterator it, p, q;
      for (it = api->begin(du); it_api->neq(it, api->end(du)); it = it_api->inc(it)) {
        size_t i = it_api->i(it);
        size_t j = it_api->j(it);
        if (i >= 1 && i <= nx - 2 && j >= 1 && j <= ny - 2)
          it_api->set(it, stencil_compressed(u, c, i, j));
      }
      p = api->begin(u);
      q = api->begin(du);
      while (it_api->neq(p, api->end(u))) {
        double x = it_api->get(p);
        double y = it_api->get(q);
        it_api->set(p, x + y);
        p = it_api->inc(p);
        q = it_api->inc(q);
      }
    }
    api->dtor(du);
    t = t + c->dt;
  } while (t < c->tfinal);
  return t;
}

static double solve_plain(double* u, const constants* c)
{
  const size_t nx = c->nx, ny = c->ny;
  double t = 0.0;

  u[(size_t)(ptrdiff_t)c->y0 * nx + (size_t)(ptrdiff_t)c->x0] = 1.0;
  if (!(c->tfinal > 0))
    return 0.0;
  do {
    size_t i, j, idx;
    double* du;
    fprintf(stderr, "t=%lf\n", t);
    du = checked(calloc(nx * ny, sizeof(double)));
    for (j = 1; j < ny - 1; j++)
      for (i = 1; i < nx - 1; i++)
        du[j * nx + i] = stencil_plain(u, c, i, j);
    for (idx = 0; idx < nx * ny; idx++)
      u[idx] = du[idx] + u[idx];
    free(du);
    t = t + c->dt;
  } while (t < c->tfinal);
  return t;
}

static double sum_compressed(kvr_array2d u)
{
  const kvr_array2d_api* api = &kvr_array_api.array2d;
  const size_t nx = api->size_x(u), ny = api->size_y(u);
  double s = 0.0;
  size_t i, j;
  if (ny - 1 < 2 || nx - 1 < 2)
    return 0.0;
  for (j = 1; j < ny - 1; j++)
    for (i = 1; i < nx - 1; i++)
      s += api->get(u, i, j);
  return s;
}

static double sum_plain(const double* u, size_t nx, size_t ny)
{
  double s = 0.0;
  size_t i, j;
  if (ny - 1 < 2 || nx - 1 < 2)
    return 0.0;
  for (j = 1; j < ny - 1; j++)
    for (i = 1; i < nx - 1; i++)
      s += u[j * nx + i];
  return s;
}

/* The analytic solution at (i, j) for a source of mass dx * dy. */
static double exact_value(const constants* c, size_t i, size_t j, double t)
{
  double py = c->dy * (double)((ptrdiff_t)j - c->y0);
  double px = c->dx * (double)((ptrdiff_t)i - c->x0);
  return ((c->dx * c->dy) * exp(-(py * py + px * px) / ((c->k * 4) * t))) / ((c->k * (c->pi * 4)) * t);
}

/* The root mean square of the squared differences s over the interior. */
static double rms(double s, const constants* c)
{
  return sqrt(s / (double)((c->nx - 2) * (c->ny - 2)));
}

static double error_compressed(kvr_array2d u, const constants* c, double t)
{
  const kvr_array2d_api* api = &kvr_array_api.array2d;
  double s = 0.0;
  size_t i, j;
  if (c->ny - 1 > 1)
    for (j = 1; j < c->ny - 1; j++)
      for (i = 1; i < c->nx - 1; i++) {
        double v = api->get(u, i, j);
        double d = v - exact_value(c, i, j, t);
        s = s + d * d;
      }
  return rms(s, c);
}

static double error_plain(const double* u, const constants* c, double t)
{
  double s = 0.0;
  size_t i, j;
  if (c->ny - 1 > 1)
    for (j = 1; j < c->ny - 1; j++)
      for (i = 1; i < c->nx - 1; i++) {
        double v = u[j * c->nx + i];
        double d = v - exact_value(c, i, j, t);
        s = s + d * d;
      }
  return rms(s, c);
}

/* The program; main (tepora_main.cpp) reports allocation failures of the
   compressed arrays. */
int tepora_main(int argc, char* argv[])
{
  tepora_options o;
  constants* c;
  double rate, sum, error, t;

  if (tepora_parse(&o, argc, argv)) {
    tepora_usage();
    return 1;
  }
  c = checked(malloc(sizeof *c));
  init_constants(c, o.nx, o.ny, o.nt);
  rate = o.rate;
  if (o.compressed) {
    const kvr_array2d_api* api = &kvr_array_api.array2d;
    kvr_array2d u = api->ctor(c->nx, c->ny, rate, NULL, (size_t)(ptrdiff_t)o.blocks * 128);
    t = solve_compressed(u, c, o.iterate);
    sum = sum_compressed(u);
    error = error_compressed(u, c, t);
    rate = api->rate(u);
    api->dtor(u);
  }
  else {
    double* u = checked(calloc(c->nx * c->ny, sizeof(double)));
    t = solve_plain(u, c);
    sum = sum_plain(u, c->nx, c->ny);
    error = error_plain(u, c, t);
    free(u);
  }
  fprintf(stderr, "rate=%g sum=%g error=%.6e\n", rate, sum, error);
  free(c);
  return 0;
}
