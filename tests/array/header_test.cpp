#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "kvr/array.hpp"

namespace {

using H2d = kvr::codec::kvr_base<2u, double>::header;
using H4d = kvr::codec::kvr_base<4u, double>::header;

template <class F> std::string what_of(F f)
{
  try {
    f();
  }
  catch (const kvr::exception& e) {
    return e.what();
  }
  return "";
}

// 12 header bytes written by the core for the given limits.
std::vector<unsigned char> core_header(kvr_type type, size_t nx, size_t ny, void (*limits)(kvr_stream*))
{
  alignas(8) unsigned char buf[32] = {};
  bit_stream* bs = stream_open(buf, sizeof buf);
  kvr_stream* z = kvr_stream_open(bs);
  limits(z);
  kvr_field* f = kvr_field_2d(nullptr, type, nx, ny);
  kvr_write_header(z, f, KVR_HEADER_FULL);
  kvr_stream_flush(z);
  kvr_field_free(f);
  kvr_stream_close(z);
  stream_close(bs);
  return std::vector<unsigned char>(buf, buf + 12);
}

TEST(Header, BytesOfA100By50DoubleArrayAtRate64)
{
  kvr::array2<double> a(100, 50, 64);
  H2d h(a);
  const unsigned char expect[12] = {0x6b, 0x76, 0x72, 0x05, 0x37, 0x06, 0x00, 0x10, 0x03, 0x00, 0xf0, 0x3f};
  EXPECT_EQ(std::memcmp(h.data(), expect, 12), 0);
  EXPECT_EQ(static_cast<const unsigned char*>(h.data())[12], 0);
  EXPECT_EQ(h.rate(), 64.0);
  H2d back(expect, 0);
  EXPECT_EQ(back.type, 4u);
  EXPECT_EQ(back.nx, 100u);
  EXPECT_EQ(back.ny, 50u);
  EXPECT_EQ(back.nz, 0u);
  EXPECT_EQ(back.nw, 0u);
  EXPECT_EQ(back.rate(), 64.0);
  EXPECT_EQ(std::memcmp(back.data(), expect, 12), 0);
  ::header any(expect, 12);
  EXPECT_EQ(any.dimensionality(), 2u);
  EXPECT_EQ(h.size_bytes(4), 60u);
  EXPECT_EQ(h.size_bytes(0x80), 12u);
  EXPECT_EQ(h.size_bytes(0x84), 72u);
  EXPECT_EQ(h.size_bytes(0), 0u);
  EXPECT_EQ(h.size_bytes(0x10), 0u);
}

TEST(Header, SerializationLimits)
{
  EXPECT_EQ(what_of([] { kvr::array4<double> a(4, 4, 4, 4, 8); H4d h(a); }), "");
  EXPECT_EQ(what_of([] { kvr::array4<double> a(4, 4, 4, 4, 8.25); H4d h(a); }),
            "kvr serialization supports only short headers");
  EXPECT_EQ(what_of([] { kvr::array3<double> a(4, 4, 4, 32); kvr::codec::kvr_base<3u, double>::header h(a); }), "");
  EXPECT_EQ(what_of([] { kvr::array3<double> a(4, 4, 4, 32.5); kvr::codec::kvr_base<3u, double>::header h(a); }),
            "kvr serialization supports only short headers");
  EXPECT_EQ(what_of([] { kvr::array2<double> a(4, 4, 128); H2d h(a); }), "");
  EXPECT_EQ(what_of([] { kvr::array2<double> a(4, 4, 130); H2d h(a); }),
            "kvr serialization supports only short headers");
  EXPECT_EQ(what_of([] { kvr::array1<double> a(4, 512); kvr::codec::kvr_base<1u, double>::header h(a); }), "");
  EXPECT_EQ(what_of([] { kvr::array1<double> a(4, 520); kvr::codec::kvr_base<1u, double>::header h(a); }),
            "kvr serialization supports only short headers");
  // An array whose rate reads 0 (blocks above 16658 bits) has no header
  // that describes its blocks.
  EXPECT_EQ(what_of([] { kvr::array2<double> a(4, 4, 1040.03125); H2d h(a); }),
            "kvr serialization supports only short headers");
  EXPECT_EQ(what_of([] { kvr::array2<double> a(0, 0, 8); H2d h(a); }),
            "kvr serialization supports only 1D, 2D, 3D, and 4D arrays");
  // A zero extent below the highest non-zero one: the metadata cannot
  // hold it (it would describe a smaller array).
  EXPECT_EQ(what_of([] { kvr::array3<double> a(1, 0, 2, 8); kvr::codec::kvr_base<3u, double>::header h(a); }),
            "kvr header length does not match expected length");
  EXPECT_EQ(what_of([] { kvr::array4<double> a(4097, 1, 1, 1, 8); H4d h(a); }),
            "kvr header length does not match expected length");
  EXPECT_EQ(what_of([] { kvr::array3<float> a(65537, 1, 1, 8); kvr::codec::kvr_base<3u, float>::header h(a); }),
            "kvr header length does not match expected length");
  // The class does not test its template arguments.
  kvr::array2<float> f(8, 8, 8);
  H2d hf(f);
  EXPECT_EQ(hf.type, 3u);
}

TEST(Header, DeserializationTexts)
{
  kvr::array2<double> a(10, 10, 8);
  H2d good(a);
  const unsigned char* g = static_cast<const unsigned char*>(good.data());
  EXPECT_EQ(what_of([&] { H2d h(g, 11); }), "kvr header length does not match expectations");
  EXPECT_EQ(what_of([&] { H2d h(g, 13); }), "kvr header length does not match expectations");
  EXPECT_EQ(what_of([&] { H2d h(nullptr, 0); }), "kvr header length does not match expectations");
  std::vector<unsigned char> bad(g, g + 12);
  bad[0] = 'z';
  EXPECT_EQ(what_of([&] { H2d h(bad.data(), 12); }), "kvr header is corrupt");
  bad[0] = 'k';
  bad[3] = 4;
  EXPECT_EQ(what_of([&] { H2d h(bad.data(), 12); }), "kvr header is corrupt");
  auto precision = core_header(kvr_type_double, 10, 10, [](kvr_stream* z) { kvr_stream_set_precision(z, 20); });
  auto accuracy = core_header(kvr_type_double, 10, 10, [](kvr_stream* z) { kvr_stream_set_accuracy(z, 0.25); });
  auto reversible = core_header(kvr_type_double, 10, 10, [](kvr_stream* z) { kvr_stream_set_reversible(z); });
  for (auto* bytes : {&precision, &accuracy, &reversible})
    EXPECT_EQ(what_of([&] { H2d h(bytes->data(), 12); }), "kvr deserialization supports only fixed-rate mode");
  // A short code the reader rejects.
  std::vector<unsigned char> rejected(g, g + 12);
  uint32_t code = 2112;
  rejected[10] = uint8_t((rejected[10] & 0x0f) | ((code & 0xf) << 4));
  rejected[11] = uint8_t(code >> 4);
  EXPECT_EQ(what_of([&] { H2d h(rejected.data(), 12); }), "kvr header is corrupt");
  // The 12-bit mode field 4095 announces a 64-bit mode word beyond the
  // 12 bytes: refused without reading it.
  std::vector<unsigned char> longform(g, g + 12);
  longform[10] |= 0xf0;
  longform[11] = 0xff;
  EXPECT_EQ(what_of([&] { H2d h(longform.data(), 12); }), "kvr deserialization supports only short headers");
  longform[1] = 0;
  EXPECT_EQ(what_of([&] { ::header h(longform.data(), 12); }), "kvr header is corrupt");
  // Integer types are headers too; only arrays test the type.
  auto ints = core_header(kvr_type_int32, 6, 6, [](kvr_stream* z) { kvr_stream_set_rate(z, 4, kvr_type_int32, 2, 1); });
  ::header hi(ints.data(), 12);
  EXPECT_EQ(hi.type, 1u);
  EXPECT_EQ(hi.rate(), 4.0);
}

TEST(Header, RateIsBlockBitsOverValuesPerBlock)
{
  alignas(8) unsigned char buf[16] = {};
  bit_stream* bs = stream_open(buf, 16);
  kvr_stream* z = kvr_stream_open(bs);
  kvr_stream_set_params(z, 64, 64, 64, -1074); // code 63
  kvr_field* f = kvr_field_4d(nullptr, kvr_type_float, 4, 4, 4, 4);
  ASSERT_EQ(kvr_write_header(z, f, KVR_HEADER_FULL), 96u);
  kvr_stream_flush(z);
  kvr_field_free(f);
  kvr_stream_close(z);
  stream_close(bs);
  ::header h(buf, 12);
  EXPECT_EQ(h.rate(), 0.25);
  EXPECT_EQ(h.dimensionality(), 4u);
}

TEST(HeaderArrays, ConstructorChecksInOrder)
{
  kvr::array2<double> d2(8, 8, 8);
  kvr::array3<float> f3(8, 8, 8, 8);
  H2d h2(d2);
  kvr::codec::kvr_base<3u, float>::header h3(f3);
  EXPECT_EQ(what_of([&] { kvr::array3<double> a(h3); }), "kvr array scalar type does not match header");
  EXPECT_EQ(what_of([&] { kvr::array2<double> a(h3); }), "kvr array scalar type does not match header");
  EXPECT_EQ(what_of([&] { kvr::array2<float> a(h3); }), "kvr array dimensionality does not match header");
  EXPECT_EQ(what_of([&] { kvr::array3<double> a(h2); }), "kvr array dimensionality does not match header");
  EXPECT_EQ(what_of([&] { kvr::array1<double> a(h2, d2.compressed_data(), d2.compressed_size() - 1); }),
            "kvr array dimensionality does not match header");
  EXPECT_EQ(what_of([&] { kvr::array2<double> a(h2, d2.compressed_data(), d2.compressed_size() - 1); }),
            "buffer size is smaller than required");
  EXPECT_EQ(what_of([&] { kvr::array2<double> a(h2, d2.compressed_data(), d2.compressed_size() + 100); }), "");
  // A 1-D header of 2^40 values is readable but too large for an array.
  alignas(8) unsigned char buf[16] = {};
  bit_stream* bs = stream_open(buf, 16);
  kvr_stream* z = kvr_stream_open(bs);
  kvr_stream_set_rate(z, 16, kvr_type_double, 1, 1);
  kvr_field* f = kvr_field_1d(nullptr, kvr_type_double, size_t(1) << 40);
  ASSERT_EQ(kvr_write_header(z, f, KVR_HEADER_FULL), 96u);
  kvr_stream_flush(z);
  kvr_field_free(f);
  kvr_stream_close(z);
  stream_close(bs);
  kvr::codec::kvr_base<1u, double>::header big(buf, 12);
  EXPECT_EQ(big.nx, size_t(1) << 40);
  EXPECT_EQ(what_of([&] { kvr::array1<double> a(big); }), "kvr array too large for cache");
}

// Any 12 bytes give a header or one of the fixed texts; run under the
// sanitizers this also shows that nothing reads past the bytes.
TEST(HeaderArrays, ArbitraryBytes)
{
  const std::set<std::string> texts = {
    "kvr header is corrupt", "kvr deserialization supports only short headers",
    "kvr deserialization supports only fixed-rate mode"};
  kvr::array2<double> a(10, 7, 8);
  H2d good(a);
  const unsigned char* g = static_cast<const unsigned char*>(good.data());
  uint64_t x = 0x9e3779b97f4a7c15u;
  int valid = 0;
  for (int n = 0; n < 20000; n++) {
    unsigned char bytes[12];
    std::memcpy(bytes, g, 12);
    for (int b = 0; b < 12; b++) {
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      // Keep the magic most of the time, so that the later tests run.
      if (b >= 4 || n % 8 == 0)
        bytes[b] = (x >> 8) % 3 == 0 ? g[b] : uint8_t(x);
    }
    try {
      ::header h(bytes, 12);
      valid++;
      ASSERT_GE(h.type, 1u);
      ASSERT_LE(h.type, 4u);
      ASSERT_GE(h.dimensionality(), 1u);
      ASSERT_GT(h.rate(), 0.0);
      ASSERT_EQ(std::memcmp(h.data(), bytes, 12), 0);
      if (h.type == kvr_type_double && h.dimensionality() == 2 && h.nx * h.ny < 4096) {
        kvr::array2<double> r(h, nullptr, 0);
        ASSERT_EQ(r.begin().get(), 0.0);
        ASSERT_EQ(r.store.index.bits_per_block % 64, 0u);
      }
    }
    catch (const kvr::exception& e) {
      ASSERT_EQ(texts.count(e.what()), 1u) << e.what();
    }
  }
  EXPECT_GT(valid, 0);
}

} // namespace
