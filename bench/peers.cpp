// Side by side: kvr against the libraries users pick instead, in the same
// run on the same data, single thread.
//
//   kvr_bench_peers [--runs N] [--small]
//
// Peers, where installed: zstd levels 1 and 3, blosc (lz4, byte shuffle),
// fpzip (lossless) and LERC (max error as in kvr's accuracy row).  Fields:
// a smooth 3-D double field, a 2-D float and a 1-D double field, and the
// EGM96 geoid (proj's egm96_15.gtx, 721 x 1440 float32) when present.
// Each kvr row gives its throughput as a multiple of memcpy's and of each
// peer's, compression and decompression separately.
#include "bench_util.hpp"
#include <kvr/kvr.h>

#if KVR_HAVE_ZSTD
#include <zstd.h>
#endif
#if KVR_HAVE_BLOSC
#include <blosc.h>
#endif
#if KVR_HAVE_FPZIP
#include <fpzip.h>
#endif
#if KVR_HAVE_LERC
#include <Lerc_c_api.h>
#endif

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
  bool is_float;
  size_t nx, ny, nz; // 0 for unused axes
  std::vector<unsigned char> data;
  size_t count() const { return nx * (ny ? ny : 1) * (nz ? nz : 1); }
  size_t bytes() const { return data.size(); }
  size_t width() const { return is_float ? 4 : 8; }
  double value(const std::vector<unsigned char>& d, size_t i) const
  {
    if (is_float) {
      float v;
      std::memcpy(&v, &d[4 * i], 4);
      return v;
    }
    double v;
    std::memcpy(&v, &d[8 * i], 8);
    return v;
  }
};

struct Result {
  std::string name;
  double ratio, comp, dec, emax; // MB/s
  bool ok;
};


double max_error(const Field& f, const std::vector<unsigned char>& out)
{
  double e = 0;
  for (size_t i = 0; i < f.count(); i++)
    e = std::max(e, std::fabs(f.value(out, i) - f.value(f.data, i)));
  return e;
}

// Times compress() and decompress(); each returns the compressed size or
// false.  The output of the last decompression is checked.
Result measure(const Field& f, const std::string& name, int runs,
               const std::function<size_t()>& compress, const std::function<bool()>& decompress,
               const std::vector<unsigned char>& out)
{
  size_t size = compress();
  if (!size || !decompress())
    return {name, 0, 0, 0, 0, false};
  const double mb = double(f.bytes()) / 1e6;
  double tc = median_seconds([&] { compress(); }, runs);
  double td = median_seconds([&] { decompress(); }, runs);
  return {name, double(f.bytes()) / double(size), mb / tc, mb / td, max_error(f, out), true};
}

template <typename T>
Field synthetic(std::string name, size_t nx, size_t ny, size_t nz,
                const std::function<double(double, double, double)>& g)
{
  Field f{name, sizeof(T) == 4, nx, ny, nz, {}};
  f.data.resize(f.count() * sizeof(T));
  T* p = reinterpret_cast<T*>(f.data.data());
  size_t i = 0;
  for (size_t z = 0; z < (nz ? nz : 1); z++)
    for (size_t y = 0; y < (ny ? ny : 1); y++)
      for (size_t x = 0; x < nx; x++)
        p[i++] = T(g(double(x) / double(nx), ny ? double(y) / double(ny) : 0.0,
                     nz ? double(z) / double(nz) : 0.0));
  return f;
}

// The geoid: a 40-byte big-endian header, then 721 rows of 1440
// big-endian float32 values.
bool geoid(Field& f)
{
  std::vector<std::string> dirs;
  if (const char* d = std::getenv("PROJ_DATA"))
    dirs.push_back(d);
  if (const char* d = std::getenv("PROJ_LIB"))
    dirs.push_back(d);
  dirs.push_back("/usr/share/proj");
  dirs.push_back("/usr/local/share/proj");
  for (const std::string& d : dirs) {
    std::FILE* file = std::fopen((d + "/egm96_15.gtx").c_str(), "rb");
    if (!file)
      continue;
    const size_t nx = 1440, ny = 721, n = nx * ny;
    std::vector<unsigned char> raw(40 + 4 * n);
    size_t got = std::fread(raw.data(), 1, raw.size(), file);
    std::fclose(file);
    if (got != raw.size())
      return false;
    f = Field{"geoid float 1440x721", true, nx, ny, 0, std::vector<unsigned char>(4 * n)};
    for (size_t i = 0; i < n; i++)
      for (size_t b = 0; b < 4; b++)
        f.data[4 * i + b] = raw[40 + 4 * i + 3 - b];
    return true;
  }
  return false;
}

struct KvrMode {
  std::string name;
  std::function<void(kvr_stream*, kvr_type, uint32_t)> set;
};

void bench_field(const Field& f, int runs, double tolerance)
{
  std::vector<unsigned char> out(f.bytes());
  const double mb = double(f.bytes()) / 1e6;
  double tm = median_seconds([&] { std::memcpy(out.data(), f.data.data(), f.bytes()); }, runs);
  const double memcpy_speed = mb / tm;
  std::vector<Result> peers;
  std::vector<unsigned char> buffer;

#if KVR_HAVE_ZSTD
  for (int level : {1, 3}) {
    buffer.resize(ZSTD_compressBound(f.bytes()));
    ZSTD_CCtx* cc = ZSTD_createCCtx();
    ZSTD_DCtx* dc = ZSTD_createDCtx();
    size_t size = 0;
    peers.push_back(measure(
      f, "zstd -" + std::to_string(level), runs,
      [&] {
        size = ZSTD_compressCCtx(cc, buffer.data(), buffer.size(), f.data.data(), f.bytes(), level);
        return ZSTD_isError(size) ? size_t(0) : size;
      },
      [&] { return ZSTD_decompressDCtx(dc, out.data(), out.size(), buffer.data(), size) == f.bytes(); },
      out));
    ZSTD_freeCCtx(cc);
    ZSTD_freeDCtx(dc);
  }
#endif
#if KVR_HAVE_BLOSC
  {
    blosc_init();
    blosc_set_nthreads(1);
    blosc_set_compressor("lz4");
    buffer.resize(f.bytes() + BLOSC_MAX_OVERHEAD);
    peers.push_back(measure(
      f, "blosc lz4+shuf", runs,
      [&] {
        int n = blosc_compress(5, BLOSC_SHUFFLE, f.width(), f.bytes(), f.data.data(), buffer.data(),
                               buffer.size());
        return n > 0 ? size_t(n) : size_t(0);
      },
      [&] { return blosc_decompress(buffer.data(), out.data(), out.size()) == int(f.bytes()); }, out));
    blosc_destroy();
  }
#endif
#if KVR_HAVE_FPZIP
  {
    buffer.resize(f.bytes() + f.bytes() / 2 + 1024);
    auto dims = [&](FPZ* z) {
      z->type = f.is_float ? FPZIP_TYPE_FLOAT : FPZIP_TYPE_DOUBLE;
      z->prec = 0;
      z->nx = int(f.nx);
      z->ny = int(f.ny ? f.ny : 1);
      z->nz = int(f.nz ? f.nz : 1);
      z->nf = 1;
    };
    peers.push_back(measure(
      f, "fpzip lossless", runs,
      [&] {
        FPZ* z = fpzip_write_to_buffer(buffer.data(), buffer.size());
        dims(z);
        size_t n = fpzip_write(z, f.data.data());
        fpzip_write_close(z);
        return n;
      },
      [&] {
        FPZ* z = fpzip_read_from_buffer(buffer.data());
        dims(z);
        size_t n = fpzip_read(z, out.data());
        fpzip_read_close(z);
        return n > 0;
      },
      out));
  }
#endif
#if KVR_HAVE_LERC
  {
    // rows of nx values; the other axes stacked as rows
    const int cols = int(f.nx), rows = int(f.count() / f.nx);
    const unsigned type = f.is_float ? 6 : 7;
    buffer.resize(f.bytes() * 2 + 4096);
    unsigned written = 0;
    char label[48];
    std::snprintf(label, sizeof label, "LERC %.0e", tolerance);
    peers.push_back(measure(
      f, label, runs,
      [&] {
        lerc_status s = lerc_encode(f.data.data(), type, 1, cols, rows, 1, 0, nullptr, tolerance,
                                    buffer.data(), unsigned(buffer.size()), &written);
        return s ? size_t(0) : size_t(written);
      },
      [&] {
        return lerc_decode(buffer.data(), written, 0, nullptr, 1, cols, rows, 1, type, out.data()) == 0;
      },
      out));
  }
#endif

  std::vector<KvrMode> modes;
  modes.push_back({"kvr rate 8", [](kvr_stream* s, kvr_type t, uint32_t d) { kvr_stream_set_rate(s, 8, t, d, 0); }});
  char label[48];
  std::snprintf(label, sizeof label, "kvr accuracy %.0e", tolerance);
  modes.push_back({label, [tolerance](kvr_stream* s, kvr_type, uint32_t) { kvr_stream_set_accuracy(s, tolerance); }});
  modes.push_back({"kvr reversible", [](kvr_stream* s, kvr_type, uint32_t) { kvr_stream_set_reversible(s); }});

  const kvr_type type = f.is_float ? kvr_type_float : kvr_type_double;
  std::vector<Result> ours;
  for (const KvrMode& m : modes) {
    kvr_field* in = kvr_field_3d(const_cast<unsigned char*>(f.data.data()), type, f.nx, f.ny, f.nz);
    kvr_field* res = kvr_field_3d(out.data(), type, f.nx, f.ny, f.nz);
    kvr_stream* s = kvr_stream_open(nullptr);
    m.set(s, type, kvr_field_dimensionality(in));
    std::vector<uint64_t> words(kvr_stream_maximum_size(s, in) / 8 + 1);
    bit_stream* bs = stream_open(words.data(), words.size() * 8);
    kvr_stream_set_bit_stream(s, bs);
    ours.push_back(measure(
      f, m.name, runs,
      [&] {
        kvr_stream_rewind(s);
        return kvr_compress(s, in);
      },
      [&] {
        kvr_stream_rewind(s);
        return kvr_decompress(s, res) != 0;
      },
      out));
    stream_close(bs);
    kvr_stream_close(s);
    kvr_field_free(in);
    kvr_field_free(res);
  }

  std::printf("\n%s, %.1f MB; memcpy %.0f MB/s\n", f.name.c_str(), mb, memcpy_speed);
  std::printf("  %-20s %7s %10s %10s %10s\n", "", "ratio", "comp MB/s", "dec MB/s", "max error");
  for (const std::vector<Result>* rows : {&peers, &ours})
    for (const Result& r : *rows) {
      if (!r.ok)
        std::printf("  %-20s failed\n", r.name.c_str());
      else
        std::printf("  %-20s %7.2f %10.0f %10.0f %10.2e\n", r.name.c_str(), r.ratio, r.comp, r.dec, r.emax);
    }
  // speed multiples: compression x / decompression x
  std::printf("  %-20s %13s", "throughput vs", "memcpy");
  for (const Result& p : peers)
    std::printf(" %15s", p.name.c_str());
  std::printf("\n");
  for (const Result& r : ours) {
    if (!r.ok)
      continue;
    char cell[40];
    std::snprintf(cell, sizeof cell, "%.3f/%.3f", r.comp / memcpy_speed, r.dec / memcpy_speed);
    std::printf("  %-20s %13s", r.name.c_str(), cell);
    for (const Result& p : peers) {
      if (p.ok)
        std::snprintf(cell, sizeof cell, "%.2f/%.2f", r.comp / p.comp, r.dec / p.dec);
      else
        std::snprintf(cell, sizeof cell, "-");
      std::printf(" %15s", cell);
    }
    std::printf("\n");
  }
}

} // namespace

int main(int argc, char** argv)
{
  int runs = 5;
  bool small = false;
  if (!bench_options(argc, argv, "kvr_bench_peers", &runs, &small))
    return 1;
  const double pi = 3.141592653589793;
  std::printf("kvr %s side by side, single thread, median of %d runs; cells: compression/decompression\n",
              kvr_version_string, runs);
  std::printf("peers:");
#if KVR_HAVE_ZSTD
  std::printf(" zstd %s", ZSTD_versionString());
#endif
#if KVR_HAVE_BLOSC
  std::printf(" blosc %s", BLOSC_VERSION_STRING);
#endif
#if KVR_HAVE_FPZIP
  std::printf(" fpzip");
#endif
#if KVR_HAVE_LERC
  std::printf(" LERC");
#endif
  std::printf("\n");

  const size_t n = small ? 64 : 256, nz = small ? 32 : 128;
  bench_field(synthetic<double>("3-D double " + std::to_string(n) + "x" + std::to_string(n) + "x" +
                                  std::to_string(nz),
                                n, n, nz,
                                [&](double x, double y, double z) {
                                  return std::sin(2 * pi * x) * std::cos(3 * pi * y) * std::exp(-z) + 0.5 * x * y;
                                }),
              runs, 1e-3);
  const size_t n2 = small ? 512 : 2048;
  bench_field(synthetic<float>("2-D float " + std::to_string(n2) + "^2", n2, n2, 0,
                               [&](double x, double y, double) {
                                 return 100.0 * std::sin(5 * pi * x) * std::sin(4 * pi * y) + 10.0 * x;
                               }),
              runs, 1e-3);
  const size_t n1 = small ? (size_t(1) << 18) : (size_t(1) << 22);
  bench_field(synthetic<double>("1-D double " + std::to_string(n1), n1, 0, 0,
                                [&](double x, double, double) {
                                  return std::sin(200 * pi * x) + 0.3 * std::sin(1234 * pi * x);
                                }),
              runs, 1e-3);
  Field g;
  if (geoid(g))
    bench_field(g, runs, 1e-3);
  else
    std::printf("\n(egm96_15.gtx not found: no geoid rows)\n");
  return 0;
}
