// Golden streams: fixed inputs whose compressed bytes are committed in
// golden.txt, so that any change of the stream format fails this test.
// `golden_test --print` writes the current streams in the file's format;
// regen_golden.sh shows the difference and rewrites the file.
#include <kvr/kvr.h>

#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Golden {
  const char* name;
  kvr_type type;
  size_t n[4];
  std::function<void(kvr_stream*, uint32_t d)> mode;
  bool header;
};

double smooth(size_t i, size_t x, size_t y, size_t z, size_t w)
{
  // Exact IEEE operations only, so the inputs are the same everywhere.
  double v = double(x) * double(x) * 0.0625 - double(y) * 0.5 + double(x * y) / 7.0 + double(z) * 1.25 -
             double(w) / 3.0;
  return v + double((i * 2654435761u) % 97) / 4096.0;
}

std::vector<unsigned char> values(const Golden& g)
{
  size_t n[4] = {1, 1, 1, 1};
  for (int k = 0; k < 4 && g.n[k]; k++)
    n[k] = g.n[k];
  std::vector<unsigned char> bytes;
  size_t i = 0;
  for (size_t w = 0; w < n[3]; w++)
    for (size_t z = 0; z < n[2]; z++)
      for (size_t y = 0; y < n[1]; y++)
        for (size_t x = 0; x < n[0]; x++, i++) {
          double v = smooth(i, x, y, z, w);
          unsigned char b[8];
          size_t size = kvr_type_size(g.type);
          switch (g.type) {
            case kvr_type_int32: { int32_t q = int32_t(v * 1000.0); std::memcpy(b, &q, 4); break; }
            case kvr_type_int64: { int64_t q = int64_t(v * 1e9); std::memcpy(b, &q, 8); break; }
            case kvr_type_float: { float q = float(v); std::memcpy(b, &q, 4); break; }
            default: {
              // Special values the reversible coding must carry.
              static const double special[] = {-0.0, std::numeric_limits<double>::quiet_NaN(),
                                               std::numeric_limits<double>::infinity(), 4.9e-324};
              double q = i % 11 == 5 ? special[(i / 11) % 4] : v;
              std::memcpy(b, &q, 8);
              break;
            }
          }
          bytes.insert(bytes.end(), b, b + size);
        }
  return bytes;
}

const std::vector<Golden>& cases()
{
  static const std::vector<Golden> c = {
    {"int32_1d_reversible", kvr_type_int32, {37, 0, 0, 0}, [](kvr_stream* s, uint32_t) { kvr_stream_set_reversible(s); }, false},
    {"int64_3d_precision48", kvr_type_int64, {6, 5, 4, 0}, [](kvr_stream* s, uint32_t) { kvr_stream_set_precision(s, 48); }, false},
    {"float_2d_rate10", kvr_type_float, {9, 7, 0, 0}, [](kvr_stream* s, uint32_t d) { kvr_stream_set_rate(s, 10, kvr_type_float, d, 0); }, false},
    {"float_4d_accuracy", kvr_type_float, {5, 4, 4, 3}, [](kvr_stream* s, uint32_t) { kvr_stream_set_accuracy(s, 1.0 / 64); }, true},
    {"double_3d_accuracy", kvr_type_double, {9, 9, 5, 0}, [](kvr_stream* s, uint32_t) { kvr_stream_set_accuracy(s, 1e-4); }, false},
    {"double_2d_reversible", kvr_type_double, {6, 6, 0, 0}, [](kvr_stream* s, uint32_t) { kvr_stream_set_reversible(s); }, true},
    {"double_1d_rate16", kvr_type_double, {13, 0, 0, 0}, [](kvr_stream* s, uint32_t d) { kvr_stream_set_rate(s, 16, kvr_type_double, d, 1); }, true},
  };
  return c;
}

uint64_t fnv1a(const std::vector<unsigned char>& b)
{
  uint64_t h = 0xcbf29ce484222325u;
  for (unsigned char c : b)
    h = (h ^ c) * 0x100000001b3u;
  return h;
}

// The line of golden.txt for one case: name, byte count, checksum, bytes.
std::string line(const Golden& g)
{
  std::vector<unsigned char> data = values(g);
  kvr_field* f = kvr_field_4d(data.data(), g.type, g.n[0], g.n[1], g.n[2], g.n[3]);
  kvr_stream* s = kvr_stream_open(nullptr);
  g.mode(s, kvr_field_dimensionality(f));
  std::vector<uint64_t> words(kvr_stream_maximum_size(s, f) / 8, 0);
  bit_stream* bs = stream_open(words.data(), words.size() * 8);
  kvr_stream_set_bit_stream(s, bs);
  if (g.header)
    kvr_write_header(s, f, KVR_HEADER_FULL);
  size_t size = kvr_compress(s, f);
  std::vector<unsigned char> bytes(size);
  std::memcpy(bytes.data(), words.data(), size);
  stream_close(bs);
  kvr_stream_close(s);
  kvr_field_free(f);

  std::ostringstream out;
  char sum[17];
  std::snprintf(sum, sizeof sum, "%016" PRIx64, fnv1a(bytes));
  out << g.name << ' ' << size << ' ' << sum << ' ';
  static const char hex[] = "0123456789abcdef";
  for (unsigned char c : bytes)
    out << hex[c >> 4] << hex[c & 15];
  return out.str();
}

std::map<std::string, std::string> committed()
{
  std::map<std::string, std::string> m;
  std::ifstream in(KVR_GOLDEN_FILE);
  std::string l;
  while (std::getline(in, l))
    if (!l.empty() && l[0] != '#')
      m[l.substr(0, l.find(' '))] = l;
  return m;
}

TEST(Golden, StreamsMatchTheCommittedBytes)
{
  auto want = committed();
  ASSERT_EQ(want.size(), cases().size()) << "golden.txt is missing cases";
  for (const Golden& g : cases()) {
    std::string got = line(g);
    ASSERT_TRUE(want.count(g.name)) << g.name;
    const std::string& w = want[g.name];
    // Compare the header fields first, for a readable failure.
    EXPECT_EQ(got.substr(0, got.find(' ', got.find(' ', got.find(' ') + 1) + 1)),
              w.substr(0, w.find(' ', w.find(' ', w.find(' ') + 1) + 1)));
    EXPECT_TRUE(got == w) << g.name << ": the stream format changed";
  }
}

// The committed checksums must match the committed bytes themselves.
TEST(Golden, CommittedDataIsIntact)
{
  for (auto& entry : committed()) {
    std::istringstream in(entry.second);
    std::string name, sum, hex;
    size_t size;
    in >> name >> size >> sum >> hex;
    ASSERT_EQ(hex.size(), 2 * size) << name;
    std::vector<unsigned char> bytes(size);
    for (size_t i = 0; i < size; i++)
      bytes[i] = static_cast<unsigned char>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016" PRIx64, fnv1a(bytes));
    EXPECT_EQ(sum, buf) << name;
  }
}

} // namespace

int main(int argc, char** argv)
{
  if (argc > 1 && std::string(argv[1]) == "--print") {
    std::printf("# name bytes fnv1a-64 stream (regenerate with tests/compress/regen_golden.sh)\n");
    for (const Golden& g : cases())
      std::printf("%s\n", line(g).c_str());
    return 0;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
