// Search for the largest error of fixed accuracy, measured against the
// bound of tests/compress/accuracy_bound.hpp.
//
//   kvr_accuracy_search [blocks] [threads] [seed]
//
// For float and double and d = 1..4 it codes `blocks` blocks (default one
// million, a quarter as many per added dimension) through the block codec,
// each under six tolerances from far below the block's step u = 2^(e - P)
// to above its largest magnitude, and a part of them again after a short
// climb that keeps the mutations raising the largest error.  The blocks are
// random or adversarial: values at the top of their binade, alternating
// signs, spikes, odd multiples of steps near u, values just below powers of
// two, ramps, and integer patterns whose periodic part (mod 16^d) is random
// with one value moved into a coarse binade.  Per type and d it prints the
// blocks, the values that broke the bound (while in range) and the
// infinities in and out of range, the largest error over the bound, over
// the resolution term 4^d u where the tolerance is below it and over the
// tolerance where it is not, and the block of the largest resolution error.
#include "compress/accuracy_bound.hpp"
#include <kvr/kvr.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

namespace {

template <typename T> using traits = kvr_test::block_codec<T>;

constexpr int kinds = 9;

struct Stats {
  long blocks = 0, codings = 0, violations = 0, inf_in_range = 0, inf_out_of_range = 0;
  long over_tolerance = 0;   // values whose error exceeds the tolerance
  double max_bound = 0;      // largest error / bound
  double max_resolution = 0; // largest error / 4^d u, tolerance below 4^d u
  double max_tolerance = 0;  // largest error / tolerance, tolerance at or above 4^d u
  struct Block {
    std::vector<double> values;
    double tolerance = 0;
    unsigned at = 0;
    int kind = -1;
  };
  Block worst_resolution, worst_tolerance;  // the blocks of max_resolution and max_tolerance

  void merge(const Stats& s)
  {
    blocks += s.blocks;
    codings += s.codings;
    violations += s.violations;
    inf_in_range += s.inf_in_range;
    inf_out_of_range += s.inf_out_of_range;
    over_tolerance += s.over_tolerance;
    max_bound = std::max(max_bound, s.max_bound);
    if (s.max_tolerance > max_tolerance) {
      max_tolerance = s.max_tolerance;
      worst_tolerance = s.worst_tolerance;
    }
    if (s.max_resolution > max_resolution) {
      max_resolution = s.max_resolution;
      worst_resolution = s.worst_resolution;
    }
  }
};

template <typename T>
class Searcher {
public:
  Searcher(unsigned d, uint64_t seed) : d_(d), n_(1u << (2 * d)), g_(seed), v_(n_), w_(n_)
  {
    bs_ = stream_open(buf_.data(), buf_.size() * sizeof buf_[0]);
    s_ = kvr_stream_open(bs_);
  }
  ~Searcher()
  {
    kvr_stream_close(s_);
    stream_close(bs_);
  }

  void run(long blocks, Stats& out)
  {
    for (long b = 0; b < blocks; b++) {
      const int kind = int(g_() % kinds);
      make(kind);
      const T m = magnitude();
      if (m == 0 || !std::isfinite(m))
        continue;
      st_.blocks++;
      int t[6];
      for (int k = 0; k < 6; k++)
        t[k] = k < 4 ? -4 + int(g_() % uint64_t(2 * d_ + 12)) : -60 + int(g_() % 140);
      double worst = 0;
      for (int k = 0; k < 6; k++)
        worst = std::max(worst, code(t[k], kind));
      if (b % 16 == 0)
        climb(t[int(g_() % 4)], kind, worst);
    }
    out.merge(st_);
  }

private:
  uint64_t below(uint64_t n) { return g_() % n; }
  T sign() { return (g_() & 1) ? T(1) : T(-1); }
  static T top(int e) { return std::nextafter(T(std::ldexp(T(1), std::min(e, traits<T>::emax))), T(0)); }

  // A value of exponent lo..hi with a random significand.
  T random(int lo, int hi)
  {
    hi = std::min(hi, traits<T>::emax);
    lo = std::min(lo, hi);
    const int k = lo + int(below(uint64_t(hi - lo + 1)));
    const double f = 0.5 + 0.5 * double(g_() >> 11) * 0x1p-53;
    T x = T(std::ldexp(f, k));
    if (!std::isfinite(x))
      x = top(traits<T>::emax);
    return x * sign();
  }

  T magnitude() const
  {
    T m = 0;
    for (T x : v_)
      m = std::max(m, std::fabs(x));
    return m;
  }

  int exponent() const
  {
    int e;
    std::frexp(magnitude(), &e);
    return std::max(e, traits<T>::lowest);
  }

  void make(int kind)
  {
    constexpr int P = traits<T>::P, p = traits<T>::p;
    int e;
    switch (below(10)) {
      case 0: case 1: case 2: e = traits<T>::sub + 1 + int(below(uint64_t(traits<T>::emax - traits<T>::sub))); break;
      case 3: case 4: e = traits<T>::lowest - 30 + int(below(50)); break;
      case 5: e = traits<T>::emax - int(below(4)); break;
      default: e = -8 + int(below(16)); break;
    }
    e = std::max(std::min(e, traits<T>::emax), traits<T>::sub + 1);
    const T high = top(e);
    switch (kind) {
      case 0: { // random exponents below e
        const int span = 1 + int(below(P + 12));
        for (T& x : v_)
          x = below(8) ? random(e - span, e) : T(0);
        break;
      }
      case 1: // the top of the binade, random signs
        for (T& x : v_)
          x = high * sign();
        break;
      case 2: { // checkerboards and stripes of the top and a second level
        const T low = below(2) ? high : random(e - int(below(P)), e);
        const unsigned pattern = unsigned(below(3));
        for (unsigned i = 0; i < n_; i++) {
          unsigned s = 0;
          for (unsigned a = 0; a < d_; a++)
            s += (i >> (2 * a)) & 3;
          const bool neg = pattern == 0 ? (s & 1) : pattern == 1 ? (i & 1) : (((i & 3) + 1) >> 1) & 1;
          v_[i] = neg ? -high : low;
        }
        break;
      }
      case 3: { // one spike on zeros or on small noise
        const int span = int(below(P + 20));
        const bool noise = below(2);
        for (T& x : v_)
          x = noise ? random(e - span - 30, e - span) : T(0);
        v_[below(n_)] = (below(2) ? high : random(e, e)) * sign();
        break;
      }
      case 4: { // odd multiples of steps near u
        const int ee = std::max(e, traits<T>::lowest);
        const int step = std::max(ee - P + int(below(10)) - 2, traits<T>::sub);
        const long double limit = std::ldexp(1.0L, e - step);
        for (T& x : v_) {
          long double k;
          switch (below(3)) {
            case 0: k = 2 * (long double)below(8) + 1; break;
            case 1: k = std::floor(limit * (long double)(g_() >> 11) * 0x1p-53L); break;
            default: k = std::floor(std::ldexp((long double)(g_() >> 11) * 0x1p-53L, int(below(40)))); break;
          }
          k = std::min(k, limit - 1);
          T y = T(std::ldexp(k, step));
          if (!(std::fabs(y) < std::ldexp(1.0L, e)))
            y = high;
          x = y * sign();
        }
        break;
      }
      case 5: // just below powers of two
        for (T& x : v_) {
          const int k = std::max(e - int(below(P + 8)), traits<T>::sub + 1);
          x = below(6) ? top(k) * sign() : T(0);
        }
        v_[below(n_)] = high * sign();
        break;
      case 6: { // a ramp with noise
        const long double a = std::ldexp(1.0L, e - 3);
        const int noise = e - 4 - int(below(P));
        for (unsigned i = 0; i < n_; i++) {
          long double x = 0;
          for (unsigned axis = 0; axis < d_; axis++)
            x += (long double)((i >> (2 * axis)) & 3) * ((axis & 1) ? -1 : 1);
          x = a * x / (3 * d_) + std::ldexp((long double)(int64_t(below(2001)) - 1000) / 1000, noise);
          T y = T(x);
          v_[i] = std::fabs(y) < std::ldexp(1.0L, e) ? y : high;
        }
        break;
      }
      case 7: // the top, zeros and values near u
        for (T& x : v_) {
          const uint64_t r = below(4);
          x = r == 0 ? high * sign() : r == 1 ? T(0) : random(e - P - 8, e - P + 8);
        }
        break;
      default: { // integers in steps of u: random mod 16^d, one moved to a coarse binade
        const int64_t period = int64_t(1) << (4 * d_);
        const int j = 1 + int(below(P - p)); // grid of the moved value: 2^j, at most the top one
        const int64_t grid = int64_t(1) << j;
        const unsigned at = unsigned(below(n_));
        const int ee = below(2) ? traits<T>::lowest : e; // tiny blocks keep e
        for (unsigned i = 0; i < n_; i++) {
          int64_t q = int64_t(below(uint64_t(period)));
          if (i == at) {
            q &= ~(grid - 1);
            const int64_t base = 3 * (grid << (p - 2)); // the middle of the binade of grid 2^j
            q = base + ((q - base) % period + period) % period;
          }
          v_[i] = T(std::ldexp(T(q), ee - P)) * sign();
        }
        if (ee != traits<T>::lowest) // the block exponent from a value at the top
          v_[(at + 1) % n_] = T(std::ldexp(T(int64_t(1) << (P - 1)), ee - P));
        break;
      }
    }
  }

  // Codes the block at min_exp = e - P + t; returns its largest error over the bound.
  double code(int t, int kind)
  {
    const int e = exponent();
    int minexp = std::max(e - traits<T>::P + t, -1074);
    if (below(16) == 0)
      minexp = -1074;
    const double tol = kvr_stream_set_accuracy(s_, std::ldexp(1.0, minexp));
    stream_rewind(bs_);
    traits<T>::enc[d_ - 1](s_, v_.data());
    stream_flush(bs_);
    stream_rewind(bs_);
    traits<T>::dec[d_ - 1](s_, w_.data());
    st_.codings++;
    const T m = magnitude();
    const kvr_type type = traits<T>::type;
    const double bound = kvr_test::accuracy_bound(type, d_, tol, double(m));
    const double res = kvr_test::accuracy_resolution(type, d_, double(m));
    const bool in_range = kvr_test::accuracy_bound_in_range(type, d_, tol, double(m));
    double worst = 0;
    for (unsigned i = 0; i < n_; i++) {
      if (!std::isfinite(w_[i])) {
        (in_range ? st_.inf_in_range : st_.inf_out_of_range)++;
        continue;
      }
      // exact: both are close or one is zero, or the error is far below the bound
      const long double err = std::fabs((long double)v_[i] - (long double)w_[i]);
      if (in_range && err > bound)
        st_.violations++;
      if (err > tol)
        st_.over_tolerance++;
      const double rb = double(err / bound);
      worst = std::max(worst, rb);
      st_.max_bound = std::max(st_.max_bound, rb);
      const bool fine = tol < res;
      const double r = double(err / (fine ? res : tol));
      double& largest = fine ? st_.max_resolution : st_.max_tolerance;
      if (r > largest) {
        largest = r;
        Stats::Block& b = fine ? st_.worst_resolution : st_.worst_tolerance;
        b.values.assign(v_.begin(), v_.end());
        b.tolerance = tol;
        b.at = i;
        b.kind = kind;
      }
    }
    return worst;
  }

  // Mutations of one value in steps of u, kept while the error does not fall.
  void climb(int t, int kind, double worst)
  {
    const int e = exponent();
    const long double u = std::ldexp(1.0L, e - traits<T>::P);
    for (int step = 0; step < 64; step++) {
      const unsigned i = unsigned(below(n_));
      const T old = v_[i];
      const long double delta = u * (long double)(int64_t(below(33)) - 16) *
                                (long double)(int64_t(1) << below(12));
      T y = T((long double)old + delta);
      if (!(std::fabs(y) < std::ldexp(1.0L, e)))
        continue;
      v_[i] = y;
      if (exponent() != e) {
        v_[i] = old;
        continue;
      }
      const double r = code(t, kind);
      if (r >= worst)
        worst = r;
      else
        v_[i] = old;
    }
  }

  unsigned d_, n_;
  std::mt19937_64 g_;
  std::vector<T> v_, w_;
  std::vector<uint64_t> buf_ = std::vector<uint64_t>(512);
  bit_stream* bs_;
  kvr_stream* s_;
  Stats st_;
};

template <typename T>
void report(unsigned d, long blocks, int threads, uint64_t seed)
{
  Stats total;
  std::mutex mu;
  std::vector<std::thread> pool;
  for (int k = 0; k < threads; k++)
    pool.emplace_back([&, k] {
      Searcher<T> s(d, seed * 1000003u + uint64_t(k) * 7919u + d * 31u + sizeof(T));
      Stats st;
      s.run(blocks / threads, st);
      std::lock_guard<std::mutex> lock(mu);
      total.merge(st);
    });
  for (auto& t : pool)
    t.join();
  std::printf("%-6s d=%u  blocks %ld codings %ld  violations %ld  infinities in range %ld, out of range %ld\n",
              traits<T>::name(), d, total.blocks, total.codings, total.violations, total.inf_in_range,
              total.inf_out_of_range);
  std::printf("        error/bound %.6f  error/(4^d u) below it %.6f  error/T at or above it %.6f  "
              "values over T %ld\n",
              total.max_bound, total.max_resolution, total.max_tolerance, total.over_tolerance);
  const Stats::Block* worst[] = {&total.worst_resolution, &total.worst_tolerance};
  const char* names[] = {"resolution", "tolerance"};
  for (int k = 0; k < 2; k++) {
    if (worst[k]->values.empty())
      continue;
    std::printf("        largest %s error: kind %d, tolerance %a, value %u of", names[k], worst[k]->kind,
                worst[k]->tolerance, worst[k]->at);
    for (double x : worst[k]->values)
      std::printf(" %a", x);
    std::printf("\n");
  }
  std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
  const long blocks = argc > 1 ? std::atol(argv[1]) : 1000000;
  const int threads = argc > 2 ? std::max(1, std::atoi(argv[2])) : 4;
  const uint64_t seed = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1;
  for (unsigned d = 1; d <= 4; d++) {
    const long n = std::max(blocks >> (2 * (d - 1)), 1000L);
    report<float>(d, n, threads, seed);
    report<double>(d, n, threads, seed);
  }
}
