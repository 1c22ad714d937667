// Strided and partial entry points: gathering, the padding of partial
// blocks, scattering, and that nothing outside the valid sub-block is read
// or written.
#include "codec_support.hpp"

#include <gtest/gtest.h>

namespace {

// Strides under which the 4^D positions are distinct, with negative ones,
// and the element of p in a buffer that holds every position.
const ptrdiff_t strides[4] = {-1, 5, -23, 113};
constexpr size_t buffer_size = 500, origin = 100;

template <unsigned D>
ptrdiff_t offset_of(unsigned i, const ptrdiff_t* s)
{
  ptrdiff_t off = 0;
  for (unsigned a = 0; a < D; a++)
    off += ptrdiff_t((i >> (2 * a)) & 3) * s[a];
  return off;
}

template <typename T>
T sentinel()
{
  if constexpr (std::is_floating_point<T>::value)
    return ct::from_bits<T>(typename ct::bits_type<T>::type(sizeof(T) == 4 ? 0x7fa5a5a5u : 0x7ff5a5a5a5a5a5a5ull));
  else
    return T(0x5a5a5a5a);
}

template <typename T>
bool same(T a, T b)
{
  return ct::bits_of(a) == ct::bits_of(b);
}

// The padded block that a partial encoder codes: coordinate c maps
// through (0,0,0,0), (0,1,1,0), (0,1,2,0) or the identity by its extent.
template <typename T, unsigned D>
std::vector<T> padded(const std::vector<T>& src, const size_t* n)
{
  static const unsigned map[5][4] = {{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 1, 1, 0}, {0, 1, 2, 0}, {0, 1, 2, 3}};
  constexpr unsigned N = ct::block_values<D>;
  std::vector<T> out(N, T(0));
  for (unsigned a = 0; a < D; a++)
    if (n[a] == 0)
      return out;
  for (unsigned i = 0; i < N; i++) {
    unsigned j = 0;
    for (unsigned a = 0; a < D; a++)
      j |= map[n[a]][(i >> (2 * a)) & 3] << (2 * a);
    out[i] = src[j];
  }
  return out;
}

template <typename T, unsigned D>
std::string whole_bits(const std::vector<T>& block, size_t* count)
{
  ct::stream s(600, ct::reversible_limits);
  *count = ct::codec<T, D>::encode(&s.ks, block.data());
  s.flush();
  return s.bits(0, *count);
}

template <typename T, unsigned D>
void check_partial_every_extent()
{
  using C = ct::codec<T, D>;
  constexpr unsigned N = ct::block_values<D>;
  std::mt19937_64 rng(40 + D);
  const std::vector<T> src = ct::random_block<T>(rng, N, 1);

  unsigned combos = 1;
  for (unsigned a = 0; a < D; a++)
    combos *= 5;
  for (unsigned c = 0; c < combos; c++) {
    size_t n[4] = {0, 0, 0, 0};
    size_t valid = 1;
    for (unsigned a = 0, r = c; a < D; a++, r /= 5) {
      n[a] = r % 5;
      valid *= n[a];
    }
    SCOPED_TRACE("d=" + std::to_string(D) + " extents " + std::to_string(n[0]) + std::to_string(n[1]) +
                 std::to_string(n[2]) + std::to_string(n[3]));
    auto inside = [&](unsigned i) {
      for (unsigned a = 0; a < D; a++)
        if (((i >> (2 * a)) & 3) >= n[a])
          return false;
      return true;
    };

    // Encoder: only the valid sub-block holds data; every other element,
    // reachable or not, is a sentinel that would change the code if read.
    std::vector<T> buf(buffer_size, sentinel<T>());
    T* p = buf.data() + origin;
    for (unsigned i = 0; i < N; i++)
      if (inside(i))
        p[offset_of<D>(i, strides)] = src[i];
    const std::vector<T> before = buf;
    ct::stream s(600, ct::reversible_limits);
    size_t bits = C::encode_partial(&s.ks, p, n, strides);
    ASSERT_EQ(s.write_pos(), bits);
    s.flush();
    size_t want_bits;
    ASSERT_EQ(s.bits(0, bits), (whole_bits<T, D>(padded<T, D>(src, n), &want_bits)));
    ASSERT_EQ(bits, want_bits);
    for (size_t i = 0; i < buffer_size; i++)
      ASSERT_TRUE(same(buf[i], before[i])); // the encoder writes nothing

    // Decoder: the whole block is consumed; only the valid elements change.
    s.rewind();
    std::vector<T> whole(N);
    ASSERT_EQ(C::decode(&s.ks, whole.data()), bits);
    std::vector<T> out(buffer_size, sentinel<T>());
    T* q = out.data() + origin;
    s.rewind();
    ASSERT_EQ(C::decode_partial(&s.ks, q, n, strides), bits);
    ASSERT_EQ(s.read_pos(), bits);
    size_t written = 0;
    for (size_t i = 0; i < buffer_size; i++)
      written += !same(out[i], sentinel<T>());
    ASSERT_EQ(written, valid);
    for (unsigned i = 0; i < N; i++)
      if (inside(i)) {
        ASSERT_TRUE(same(q[offset_of<D>(i, strides)], whole[i])) << i;
      }
  }
}

TEST(PartialBlock, EveryExtentCombination)
{
  check_partial_every_extent<int32_t, 1>();
  check_partial_every_extent<int32_t, 2>();
  check_partial_every_extent<int32_t, 3>();
  check_partial_every_extent<int32_t, 4>();
  check_partial_every_extent<int64_t, 1>();
  check_partial_every_extent<int64_t, 2>();
  check_partial_every_extent<int64_t, 3>();
  check_partial_every_extent<int64_t, 4>();
  check_partial_every_extent<float, 1>();
  check_partial_every_extent<float, 2>();
  check_partial_every_extent<float, 3>();
  check_partial_every_extent<float, 4>();
  check_partial_every_extent<double, 1>();
  check_partial_every_extent<double, 2>();
  check_partial_every_extent<double, 3>();
  check_partial_every_extent<double, 4>();
}

TEST(PartialBlock, PaddingExamples)
{
  size_t n;
  const ptrdiff_t s1[1] = {1};
  const std::pair<size_t, std::vector<float>> lines[] = {
    {3, {1.5f, -2, 7, 1.5f}}, {2, {1.5f, -2, -2, 1.5f}}, {1, {1.5f, 1.5f, 1.5f, 1.5f}}};
  const float abc[3] = {1.5f, -2, 7};
  for (const auto& [nx, want] : lines) {
    ct::stream s(600, ct::reversible_limits);
    const size_t ext[1] = {nx};
    size_t bits = ct::codec<float, 1>::encode_partial(&s.ks, abc, ext, s1);
    s.flush();
    EXPECT_EQ(s.bits(0, bits), (whole_bits<float, 1>(want, &n))) << nx;
  }
  // 2-D, nx = 2, ny = 3: rows (a,b) (c,d) (e,f) become four padded rows
  const int32_t rows[6] = {1, 2, 3, 4, 5, 6};
  const ptrdiff_t s2[2] = {1, 2};
  const size_t ext2[2] = {2, 3};
  ct::stream s(600, ct::reversible_limits);
  size_t bits = ct::codec<int32_t, 2>::encode_partial(&s.ks, rows, ext2, s2);
  s.flush();
  EXPECT_EQ(s.bits(0, bits),
            (whole_bits<int32_t, 2>({1, 2, 2, 1, 3, 4, 4, 3, 5, 6, 6, 5, 1, 2, 2, 1}, &n)));
}

template <typename T, unsigned D>
void check_strided()
{
  using C = ct::codec<T, D>;
  constexpr unsigned N = ct::block_values<D>;
  std::mt19937_64 rng(70 + D);
  const std::vector<T> src = ct::random_block<T>(rng, N, 0);
  const ptrdiff_t unit[4] = {1, 4, 16, 64};
  const size_t full[4] = {4, 4, 4, 4};
  for (ct::limits l : {ct::default_limits, ct::reversible_limits, ct::limits{100, 100, 64, -1074}}) {
    // unit strides and full extents code exactly the whole block
    ct::stream a(600, l), b(600, l), c(600, l);
    size_t na = C::encode(&a.ks, src.data());
    ASSERT_EQ(C::encode_strided(&b.ks, src.data(), unit), na);
    ASSERT_EQ(C::encode_partial(&c.ks, src.data(), full, unit), na);
    a.flush();
    b.flush();
    c.flush();
    ASSERT_EQ(a.words, b.words);
    ASSERT_EQ(a.words, c.words);

    // negative strides: gather, then scatter back to the same places
    std::vector<T> buf(buffer_size, sentinel<T>());
    T* p = buf.data() + origin;
    for (unsigned i = 0; i < N; i++)
      p[offset_of<D>(i, strides)] = src[i];
    ct::stream d(600, l);
    ASSERT_EQ(C::encode_strided(&d.ks, p, strides), na);
    d.flush();
    ASSERT_EQ(d.words, a.words);
    std::vector<T> whole(N), out(buffer_size, sentinel<T>());
    d.rewind();
    ASSERT_EQ(C::decode(&d.ks, whole.data()), na);
    d.rewind();
    ASSERT_EQ(C::decode_strided(&d.ks, out.data() + origin, strides), na);
    ASSERT_EQ(d.read_pos(), na);
    size_t written = 0;
    for (size_t i = 0; i < buffer_size; i++)
      written += !same(out[i], sentinel<T>());
    ASSERT_EQ(written, N);
    for (unsigned i = 0; i < N; i++)
      ASSERT_TRUE(same(out[origin + offset_of<D>(i, strides)], whole[i]));

    // zero strides: every position is p[0]; a decoder leaves the last value
    const ptrdiff_t zero[4] = {0, 0, 0, 0};
    ct::stream e(600, l);
    const T one = src[0];
    size_t ne = C::encode_strided(&e.ks, &one, zero);
    e.flush();
    ct::stream f(600, l);
    ASSERT_EQ(C::encode(&f.ks, std::vector<T>(N, one).data()), ne);
    f.flush();
    ASSERT_EQ(e.words, f.words);
    T cell = sentinel<T>();
    a.rewind();
    ASSERT_EQ(C::decode_strided(&a.ks, &cell, zero), na);
    ASSERT_TRUE(same(cell, whole[N - 1]));
  }
}

TEST(StridedBlock, GatherAndScatter)
{
  check_strided<int32_t, 1>();
  check_strided<int32_t, 2>();
  check_strided<int32_t, 3>();
  check_strided<int32_t, 4>();
  check_strided<int64_t, 1>();
  check_strided<int64_t, 2>();
  check_strided<int64_t, 3>();
  check_strided<int64_t, 4>();
  check_strided<float, 1>();
  check_strided<float, 2>();
  check_strided<float, 3>();
  check_strided<float, 4>();
  check_strided<double, 1>();
  check_strided<double, 2>();
  check_strided<double, 3>();
  check_strided<double, 4>();
}

TEST(StridedBlock, NegativeUnitStrideReadsBackwards)
{
  const double v[4] = {4, 3, 2, 1};
  const ptrdiff_t s[1] = {-1};
  ct::stream a(600, ct::reversible_limits), b(600, ct::reversible_limits);
  size_t n = ct::codec<double, 1>::encode_strided(&a.ks, v + 3, s);
  const double fwd[4] = {1, 2, 3, 4};
  EXPECT_EQ(kvr_encode_block_double_1(&b.ks, fwd), n);
  a.flush();
  b.flush();
  EXPECT_EQ(a.words, b.words);
}

} // namespace
