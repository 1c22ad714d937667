// Side by side: kvr against the libraries users pick instead, in the same
// run on the same data, single thread.
//
//   kvr_bench_peers [--runs N] [--small] [--kvr-only] [--fields KEY,...] [--tsv]
//
// Peers, where installed: zstd levels 1 and 3, blosc (lz4, byte shuffle),
// fpzip (lossless) and LERC (max error as in kvr's accuracy row).  Fields:
// a smooth 3-D double field, a 2-D float and a 1-D double field, and real
// 2-D float fields read from Debian packages when present: the EGM96 geoid
// (proj-data), a terrain model, an MRI slice (python-matplotlib-data; zlib)
// and two photographs in grayscale (grace_hopper.jpg from matplotlib,
// earth.jpg from xplanet-images; libjpeg).  A real field's accuracy
// tolerance is 1e-3 of its value range.  Each kvr row gives its throughput
// as a multiple of memcpy's and of each peer's, compression and
// decompression separately.  Every timed run repeats its call for at least
// 30 ms, so that the small real fields are timed as steadily as the big
// synthetic ones.
//
// --kvr-only leaves the peers out, --fields keeps only the fields of the
// given keys (printed in each field's header), and --tsv prints the rows
// alone, tab-separated, for scripts such as side_by_side.sh.
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
#if KVR_HAVE_ZLIB
#include <zlib.h>
#endif
#if KVR_HAVE_JPEG
// jpeglib.h needs FILE and size_t declared before it
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

struct Field {
  std::string key; // for --fields
  std::string name;
  bool is_float;
  size_t nx, ny, nz; // 0 for unused axes
  std::vector<unsigned char> data;
  bool real = false; // the accuracy tolerance follows the value range
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

struct Options {
  int runs = 5;
  bool small = false;
  bool kvr_only = false;
  bool tsv = false;
  std::vector<std::string> fields; // keys; empty for all
  bool wants(const std::string& key) const
  {
    return fields.empty() || std::find(fields.begin(), fields.end(), key) != fields.end();
  }
};

const char* const field_keys[] = {"3d", "2d", "1d", "geoid", "dem", "mri", "hopper", "earth"};

// A field that is not there: a note in the table, on stderr for --tsv so
// that its output stays rows only.
void skipped(const Options& o, const char* what)
{
  std::fprintf(o.tsv ? stderr : stdout, "\n(%s)\n", what);
}

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
  double tc = median_seconds_per_call([&] { compress(); }, runs);
  double td = median_seconds_per_call([&] { decompress(); }, runs);
  return {name, double(f.bytes()) / double(size), mb / tc, mb / td, max_error(f, out), true};
}

template <typename T>
Field synthetic(std::string key, std::string name, size_t nx, size_t ny, size_t nz,
                const std::function<double(double, double, double)>& g)
{
  Field f{key, name, sizeof(T) == 4, nx, ny, nz, {}};
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

// A 2-D float field of nx x ny values, x fastest.
Field real_field(std::string key, std::string name, size_t nx, size_t ny, const std::vector<float>& v)
{
  Field f{key, name + " float " + std::to_string(nx) + "x" + std::to_string(ny), true, nx, ny, 0,
          std::vector<unsigned char>(4 * v.size()), true};
  std::memcpy(f.data.data(), v.data(), f.data.size());
  return f;
}

// The whole file, or nothing when it cannot be read.
std::vector<unsigned char> read_file(const std::string& path)
{
  std::vector<unsigned char> bytes;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file)
    return bytes;
  unsigned char chunk[65536];
  for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
    bytes.insert(bytes.end(), chunk, chunk + got);
  bool failed = std::ferror(file);
  std::fclose(file);
  if (failed)
    bytes.clear();
  return bytes;
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
    std::vector<unsigned char> raw = read_file(d + "/egm96_15.gtx");
    if (raw.empty())
      continue;
    const size_t nx = 1440, ny = 721, n = nx * ny;
    if (raw.size() != 40 + 4 * n)
      return false;
    std::vector<float> v(n);
    for (size_t i = 0; i < n; i++) {
      uint32_t u = uint32_t(raw[40 + 4 * i]) << 24 | uint32_t(raw[41 + 4 * i]) << 16 |
                   uint32_t(raw[42 + 4 * i]) << 8 | raw[43 + 4 * i];
      std::memcpy(&v[i], &u, 4);
    }
    f = real_field("geoid", "geoid", nx, ny, v);
    return true;
  }
  return false;
}

const std::string mpl_samples = "/usr/share/matplotlib/mpl-data/sample_data/";

#if KVR_HAVE_ZLIB
uint32_t le16(const unsigned char* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t le32(const unsigned char* p) { return le16(p) | le16(p + 2) << 16; }

// Inflates in into exactly `size` bytes; window_bits as for inflateInit2
// (-15 for a raw deflate stream, 31 for gzip).
bool inflate_all(const unsigned char* in, size_t in_size, int window_bits, std::vector<unsigned char>& out,
                 size_t size)
{
  out.assign(size, 0);
  z_stream z{};
  if (inflateInit2(&z, window_bits) != Z_OK)
    return false;
  z.next_in = const_cast<unsigned char*>(in);
  z.avail_in = uInt(in_size);
  z.next_out = out.data();
  z.avail_out = uInt(size);
  int status = inflate(&z, Z_FINISH);
  inflateEnd(&z);
  return status == Z_STREAM_END && z.total_out == size;
}

// jacksboro_fault_dem.npz: a zip whose member elevation.npy holds a C-order
// '<i2' array of 344 rows of 403 metres.  The members' local headers carry
// their sizes (no data descriptors), so the walk needs no central directory.
bool terrain(Field& f)
{
  std::vector<unsigned char> zip = read_file(mpl_samples + "jacksboro_fault_dem.npz");
  const std::string member = "elevation.npy";
  for (size_t at = 0; at + 30 <= zip.size() && le32(&zip[at]) == 0x04034b50;) {
    const unsigned char* h = &zip[at];
    const uint32_t flags = le16(h + 6), method = le16(h + 8), packed = le32(h + 18), size = le32(h + 22);
    const size_t name_size = le16(h + 26), extra = le16(h + 28), data = at + 30 + name_size + extra;
    if (flags & 8 || data + packed > zip.size())
      return false;
    if (std::string(reinterpret_cast<const char*>(h + 30), name_size) != member) {
      at = data + packed;
      continue;
    }
    std::vector<unsigned char> npy;
    if (method == 0)
      npy.assign(&zip[data], &zip[data] + packed);
    else if (method != 8 || !inflate_all(&zip[data], packed, -15, npy, size))
      return false;
    // .npy: magic, version 1.x, a 2-byte header length, a Python dict
    if (npy.size() < 10 || std::memcmp(npy.data(), "\x93NUMPY\x01", 7) != 0)
      return false;
    const size_t start = 10 + le16(&npy[8]);
    const std::string dict(npy.begin() + 10, npy.begin() + long(std::min(start, npy.size())));
    size_t rows = 0, cols = 0;
    const size_t shape = dict.find("'shape':");
    if (dict.find("'descr': '<i2'") == std::string::npos || dict.find("'fortran_order': False") == std::string::npos ||
        shape == std::string::npos ||
        std::sscanf(dict.c_str() + shape + 8, " (%zu, %zu)", &rows, &cols) != 2 ||
        npy.size() != start + 2 * rows * cols)
      return false;
    std::vector<float> v(rows * cols);
    for (size_t i = 0; i < v.size(); i++)
      v[i] = float(int16_t(le16(&npy[start + 2 * i])));
    f = real_field("dem", "terrain (DEM)", cols, rows, v);
    return true;
  }
  return false;
}

// s1045.ima.gz: a gzip of one 256 x 256 MRI slice of big-endian uint16
// (read little-endian, neighbours differ by a thousand on average instead
// of by four).
bool mri(Field& f)
{
  std::vector<unsigned char> gz = read_file(mpl_samples + "s1045.ima.gz");
  const size_t n = 256;
  std::vector<unsigned char> raw;
  if (gz.empty() || !inflate_all(gz.data(), gz.size(), 31, raw, 2 * n * n))
    return false;
  std::vector<float> v(n * n);
  for (size_t i = 0; i < v.size(); i++)
    v[i] = float(uint32_t(raw[2 * i]) << 8 | raw[2 * i + 1]);
  f = real_field("mri", "MRI slice", n, n, v);
  return true;
}
#endif

#if KVR_HAVE_JPEG
struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

// A JPEG decoded to its luminance (libjpeg's grayscale output), as floats
// 0..255; false for a missing or broken file.
bool photo(const std::string& path, std::string key, std::string name, Field& f)
{
  std::vector<unsigned char> file = read_file(path);
  if (file.empty())
    return false;
  jpeg_decompress_struct info;
  JpegError error;
  std::vector<unsigned char> pixels;
  info.err = jpeg_std_error(&error.mgr);
  // libjpeg's default handler exits the program
  error.mgr.error_exit = [](j_common_ptr c) { std::longjmp(reinterpret_cast<JpegError*>(c->err)->jump, 1); };
  if (setjmp(error.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_GRAYSCALE;
  jpeg_start_decompress(&info);
  const size_t nx = info.output_width, ny = info.output_height;
  pixels.resize(nx * ny);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = &pixels[size_t(info.output_scanline) * nx];
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  f = real_field(key, name, nx, ny, std::vector<float>(pixels.begin(), pixels.end()));
  return true;
}
#endif

struct KvrMode {
  std::string name;
  std::function<void(kvr_stream*, kvr_type, uint32_t)> set;
};

void print_row(const Options& o, const Field& f, const Result& r)
{
  if (o.tsv)
    std::printf("%s\t%s\t%.6f\t%.4f\t%.2f\t%.2f\t%.4e\t%d\n", f.key.c_str(), r.name.c_str(), double(f.bytes()) / 1e6,
                r.ratio, r.comp, r.dec, r.emax, r.ok ? 1 : 0);
  else if (!r.ok)
    std::printf("  %-20s failed\n", r.name.c_str());
  else
    std::printf("  %-20s %7.2f %10.0f %10.0f %10.2e\n", r.name.c_str(), r.ratio, r.comp, r.dec, r.emax);
}

void bench_field(const Field& f, const Options& o)
{
  const int runs = o.runs;
  std::vector<unsigned char> out(f.bytes());
  const double mb = double(f.bytes()) / 1e6;
  double tm = median_seconds_per_call([&] { std::memcpy(out.data(), f.data.data(), f.bytes()); }, runs);
  const double memcpy_speed = mb / tm;
  double lo = f.value(f.data, 0), hi = lo;
  for (size_t i = 1; i < f.count(); i++) {
    lo = std::min(lo, f.value(f.data, i));
    hi = std::max(hi, f.value(f.data, i));
  }
  const double tolerance = f.real ? 1e-3 * (hi - lo) : 1e-3;
  std::vector<Result> peers;
  std::vector<unsigned char> buffer;

  if (!o.kvr_only) {
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
      std::snprintf(label, sizeof label, "LERC %.2g", tolerance);
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
  }

  std::vector<KvrMode> modes;
  modes.push_back({"kvr rate 8", [](kvr_stream* s, kvr_type t, uint32_t d) { kvr_stream_set_rate(s, 8, t, d, 0); }});
  char label[48];
  std::snprintf(label, sizeof label, "kvr accuracy %.2g", tolerance);
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

  if (o.tsv) {
    for (const std::vector<Result>* rows : {&peers, &ours})
      for (const Result& r : *rows)
        print_row(o, f, r);
    std::fflush(stdout);
    return;
  }
  std::printf("\n%s [%s], %.2f MB; values %.6g..%.6g; tolerance %.3g%s; memcpy %.0f MB/s\n", f.name.c_str(),
              f.key.c_str(), mb, lo, hi, tolerance, f.real ? " (1e-3 x range)" : "", memcpy_speed);
  std::printf("  %-20s %7s %10s %10s %10s\n", "", "ratio", "comp MB/s", "dec MB/s", "max error");
  for (const std::vector<Result>* rows : {&peers, &ours})
    for (const Result& r : *rows)
      print_row(o, f, r);
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
  std::fflush(stdout);
}

bool parse_options(int argc, char** argv, Options& o)
{
  for (int i = 1; i < argc; i++) {
    const std::string a = argv[i];
    if (a == "--runs" && i + 1 < argc)
      o.runs = std::max(1, std::atoi(argv[++i]));
    else if (a == "--small")
      o.small = true;
    else if (a == "--kvr-only")
      o.kvr_only = true;
    else if (a == "--tsv")
      o.tsv = true;
    else if (a == "--fields" && i + 1 < argc) {
      std::string list = argv[++i];
      for (size_t at = 0; at <= list.size();) {
        size_t end = std::min(list.find(',', at), list.size());
        std::string key = list.substr(at, end - at);
        if (std::find(std::begin(field_keys), std::end(field_keys), key) == std::end(field_keys)) {
          std::fprintf(stderr, "kvr_bench_peers: unknown field '%s'; fields:", key.c_str());
          for (const char* k : field_keys)
            std::fprintf(stderr, " %s", k);
          std::fprintf(stderr, "\n");
          return false;
        }
        o.fields.push_back(key);
        at = end + 1;
      }
    }
    else {
      std::fprintf(stderr, "usage: kvr_bench_peers [--runs N] [--small] [--kvr-only] [--fields KEY,...] [--tsv]\n");
      return false;
    }
  }
  return true;
}

} // namespace

int main(int argc, char** argv)
{
  Options o;
  if (!parse_options(argc, argv, o))
    return 1;
  const double pi = 3.141592653589793;
  if (o.tsv)
    std::printf("field\trow\tMB\tratio\tcomp_MBps\tdec_MBps\tmax_error\tok\n");
  else {
    std::printf("kvr %s side by side, single thread, median of %d runs of >= 30 ms each; "
                "cells: compression/decompression\n",
                kvr_version_string, o.runs);
    std::printf("peers:");
    if (o.kvr_only)
      std::printf(" none (--kvr-only)");
    else {
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
    }
    std::printf("\n");
  }

  const size_t n = o.small ? 64 : 256, nz = o.small ? 32 : 128;
  if (o.wants("3d"))
    bench_field(synthetic<double>("3d",
                                  "3-D double " + std::to_string(n) + "x" + std::to_string(n) + "x" +
                                    std::to_string(nz),
                                  n, n, nz,
                                  [&](double x, double y, double z) {
                                    return std::sin(2 * pi * x) * std::cos(3 * pi * y) * std::exp(-z) + 0.5 * x * y;
                                  }),
                o);
  const size_t n2 = o.small ? 512 : 2048;
  if (o.wants("2d"))
    bench_field(synthetic<float>("2d", "2-D float " + std::to_string(n2) + "^2", n2, n2, 0,
                                 [&](double x, double y, double) {
                                   return 100.0 * std::sin(5 * pi * x) * std::sin(4 * pi * y) + 10.0 * x;
                                 }),
                o);
  const size_t n1 = o.small ? (size_t(1) << 18) : (size_t(1) << 22);
  if (o.wants("1d"))
    bench_field(synthetic<double>("1d", "1-D double " + std::to_string(n1), n1, 0, 0,
                                  [&](double x, double, double) {
                                    return std::sin(200 * pi * x) + 0.3 * std::sin(1234 * pi * x);
                                  }),
                o);

  Field f;
  if (o.wants("geoid")) {
    if (geoid(f))
      bench_field(f, o);
    else
      skipped(o, "egm96_15.gtx (proj-data) not found: no geoid rows");
  }
#if KVR_HAVE_ZLIB
  if (o.wants("dem")) {
    if (terrain(f))
      bench_field(f, o);
    else
      skipped(o, "jacksboro_fault_dem.npz (python-matplotlib-data) not found or not read: no terrain rows");
  }
  if (o.wants("mri")) {
    if (mri(f))
      bench_field(f, o);
    else
      skipped(o, "s1045.ima.gz (python-matplotlib-data) not found or not read: no MRI rows");
  }
#else
  if (o.wants("dem") || o.wants("mri"))
    skipped(o, "built without zlib: no terrain or MRI rows");
#endif
#if KVR_HAVE_JPEG
  if (o.wants("hopper")) {
    if (photo(mpl_samples + "grace_hopper.jpg", "hopper", "photo grace_hopper", f))
      bench_field(f, o);
    else
      skipped(o, "grace_hopper.jpg (python-matplotlib-data) not found or not read: no portrait rows");
  }
  if (o.wants("earth")) {
    if (photo("/usr/share/xplanet/images/earth.jpg", "earth", "photo earth", f))
      bench_field(f, o);
    else
      skipped(o, "earth.jpg (xplanet-images) not found or not read: no satellite photo rows");
  }
#else
  if (o.wants("hopper") || o.wants("earth"))
    skipped(o, "built without libjpeg: no photograph rows");
#endif
  return 0;
}
