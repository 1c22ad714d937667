// Throughput of whole-array compression and decompression on representative
// fields, single thread, with memcpy over the same bytes as the yardstick.
//
//   kvr_bench [--runs N] [--small]
//
// For each field and mode it prints the uncompressed megabytes per second
// of compression and decompression (median of N runs), the ratio of each to
// memcpy's, the compression ratio, and the largest and RMS error.
#include "bench_util.hpp"
#include <kvr/kvr.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {


struct Field {
  std::string name;
  kvr_type type;
  size_t n[4];
  std::vector<unsigned char> data;
  size_t count() const { return (n[0] ? n[0] : 1) * (n[1] ? n[1] : 1) * (n[2] ? n[2] : 1) * (n[3] ? n[3] : 1); }
  size_t bytes() const { return data.size(); }
  double value(size_t i) const
  {
    switch (type) {
      case kvr_type_int32: { int32_t v; std::memcpy(&v, &data[4 * i], 4); return v; }
      case kvr_type_float: { float v; std::memcpy(&v, &data[4 * i], 4); return v; }
      default: { double v; std::memcpy(&v, &data[8 * i], 8); return v; }
    }
  }
};

struct Mode {
  std::string name;
  std::function<void(kvr_stream*, kvr_type, uint32_t)> set;
};

template <typename T>
Field make(std::string name, kvr_type type, size_t nx, size_t ny, size_t nz,
           const std::function<double(double, double, double)>& f)
{
  Field fd{name, type, {nx, ny, nz, 0}, {}};
  fd.data.resize(fd.count() * sizeof(T));
  T* p = reinterpret_cast<T*>(fd.data.data());
  size_t i = 0;
  for (size_t z = 0; z < (nz ? nz : 1); z++)
    for (size_t y = 0; y < (ny ? ny : 1); y++)
      for (size_t x = 0; x < nx; x++)
        p[i++] = T(f(double(x) / double(nx), ny ? double(y) / double(ny) : 0.0, nz ? double(z) / double(nz) : 0.0));
  return fd;
}


} // namespace

int main(int argc, char** argv)
{
  int runs = 5;
  bool small = false;
  if (!bench_options(argc, argv, "kvr_bench", &runs, &small))
    return 1;
  const size_t n3 = small ? 64 : 256;
  const double pi = 3.141592653589793;

  std::vector<Field> fields;
  fields.push_back(make<double>("3-D double " + std::to_string(n3) + "^3", kvr_type_double, n3, n3, n3,
                                [&](double x, double y, double z) {
                                  return std::sin(2 * pi * x) * std::cos(3 * pi * y) * std::exp(-z) + 0.5 * x * y;
                                }));
  const size_t n2 = small ? 512 : 2048;
  fields.push_back(make<float>("2-D float " + std::to_string(n2) + "^2", kvr_type_float, n2, n2, 0,
                               [&](double x, double y, double) {
                                 return 100.0 * std::sin(5 * pi * x) * std::sin(4 * pi * y) + 10.0 * x;
                               }));
  const size_t n1 = small ? (1u << 18) : (1u << 22);
  fields.push_back(make<double>("1-D double " + std::to_string(n1), kvr_type_double, n1, 0, 0,
                                [&](double x, double, double) {
                                  return std::sin(200 * pi * x) + 0.3 * std::sin(1234 * pi * x);
                                }));
  fields.push_back(make<int32_t>("2-D int32 " + std::to_string(n2) + "^2", kvr_type_int32, n2, n2, 0,
                                 [&](double x, double y, double) {
                                   return std::floor(1e6 * std::sin(3 * pi * x) * std::cos(2 * pi * y));
                                 }));

  std::vector<Mode> modes;
  for (double rate : {4.0, 8.0, 16.0, 32.0})
    modes.push_back({"rate " + std::to_string(int(rate)),
                     [rate](kvr_stream* s, kvr_type t, uint32_t d) { kvr_stream_set_rate(s, rate, t, d, 0); }});
  modes.push_back({"accuracy 1e-3", [](kvr_stream* s, kvr_type, uint32_t) { kvr_stream_set_accuracy(s, 1e-3); }});
  modes.push_back({"precision 24", [](kvr_stream* s, kvr_type, uint32_t) { kvr_stream_set_precision(s, 24); }});
  modes.push_back({"reversible", [](kvr_stream* s, kvr_type, uint32_t) { kvr_stream_set_reversible(s); }});

  std::printf("kvr %s, single thread, median of %d runs\n\n", kvr_version_string, runs);
  std::printf("%-22s %-14s %8s %10s %10s %7s %7s %11s %11s\n", "field", "mode", "ratio", "comp MB/s",
              "dec MB/s", "c/mcpy", "d/mcpy", "max error", "rms error");

  for (Field& f : fields) {
    std::vector<unsigned char> copy(f.bytes());
    double tm = median_seconds([&] { std::memcpy(copy.data(), f.data.data(), f.bytes()); }, runs);
    const double mb = double(f.bytes()) / 1e6;
    std::printf("%-22s %-14s %8s %10.0f %10.0f\n", f.name.c_str(), "memcpy", "1.00", mb / tm, mb / tm);

    for (const Mode& m : modes) {
      kvr_field* field = kvr_field_3d(f.data.data(), f.type, f.n[0], f.n[1], f.n[2]);
      kvr_field* out = kvr_field_3d(copy.data(), f.type, f.n[0], f.n[1], f.n[2]);
      const uint32_t d = kvr_field_dimensionality(field);
      kvr_stream* s = kvr_stream_open(nullptr);
      m.set(s, f.type, d);
      std::vector<uint64_t> buffer(kvr_stream_maximum_size(s, field) / 8);
      bit_stream* bs = stream_open(buffer.data(), buffer.size() * 8);
      kvr_stream_set_bit_stream(s, bs);

      size_t size = 0;
      double tc = median_seconds([&] { kvr_stream_rewind(s); size = kvr_compress(s, field); }, runs);
      double td = median_seconds([&] { kvr_stream_rewind(s); kvr_decompress(s, out); }, runs);

      Field result = f;
      result.data = copy;
      double emax = 0, esum = 0;
      for (size_t i = 0; i < f.count(); i++) {
        double e = std::fabs(result.value(i) - f.value(i));
        emax = std::max(emax, e);
        esum += e * e;
      }
      std::printf("%-22s %-14s %8.2f %10.0f %10.0f %7.3f %7.3f %11.3e %11.3e\n", "", m.name.c_str(),
                  double(f.bytes()) / double(size), mb / tc, mb / td, tm / tc, tm / td, emax,
                  std::sqrt(esum / double(f.count())));
      stream_close(bs);
      kvr_stream_close(s);
      kvr_field_free(field);
      kvr_field_free(out);
    }
  }
  return 0;
}
