// Scalar types and fields: sizes, strides, spans and the field metadata.
#include <kvr/kvr.h>

#include <gtest/gtest.h>

namespace {

TEST(Field, TypeSizesAndPrecisions)
{
  const struct { kvr_type type; size_t bytes; uint32_t bits; } cases[] = {
    {0, 0, 0}, {1, 4, 32}, {2, 8, 64}, {3, 4, 32}, {4, 8, 64}, {5, 0, 0}, {99, 0, 0}};
  for (auto c : cases) {
    EXPECT_EQ(kvr_type_size(c.type), c.bytes);
    kvr_field* f = kvr_field_1d(nullptr, c.type, 1);
    EXPECT_EQ(kvr_field_precision(f), c.bits);
    kvr_field_free(f);
  }
}

TEST(Field, ConstructorsSetExtentsAndClearStrides)
{
  int dummy;
  kvr_field* f = kvr_field_4d(&dummy, kvr_type_double, 2, 3, 4, 5);
  EXPECT_EQ(kvr_field_pointer(f), &dummy);
  EXPECT_EQ(kvr_field_type(f), kvr_type_double);
  EXPECT_EQ(kvr_field_dimensionality(f), 4u);
  EXPECT_EQ(kvr_field_size(f, nullptr), 120u);
  EXPECT_FALSE(kvr_field_stride(f, nullptr));
  EXPECT_TRUE(kvr_field_is_contiguous(f));
  kvr_field_set_size_2d(f, 7, 8);
  EXPECT_EQ(f->nz, 0u);
  EXPECT_EQ(f->nw, 0u);
  kvr_field_free(f);

  f = kvr_field_alloc();
  EXPECT_EQ(f->type, kvr_type_none);
  EXPECT_EQ(kvr_field_dimensionality(f), 0u);
  EXPECT_EQ(f->data, nullptr);
  EXPECT_EQ(kvr_field_begin(f), nullptr);
  kvr_field_free(f);
}

TEST(Field, DimensionalityStopsAtFirstAbsentExtent)
{
  kvr_field* f = kvr_field_alloc();
  kvr_field_set_size_4d(f, 5, 0, 7, 0);
  EXPECT_EQ(kvr_field_dimensionality(f), 1u);
  size_t n[4] = {0, 0, 0, 0};
  EXPECT_EQ(kvr_field_size(f, n), 35u);
  EXPECT_EQ(n[0], 5u);
  EXPECT_EQ(n[1], 0u);
  kvr_field_free(f);
}

TEST(Field, StridesSpanAndContiguity)
{
  double storage[64];
  double* data = storage + 8;
  kvr_field* f = kvr_field_2d(data, kvr_type_double, 4, 3);
  kvr_field_set_stride_2d(f, 2, 0);
  ptrdiff_t s[4] = {0, 0, 0, 0};
  EXPECT_TRUE(kvr_field_stride(f, s));
  EXPECT_EQ(s[0], 2);
  EXPECT_EQ(s[1], 4);  // the default of sy depends on the extents only
  EXPECT_EQ(kvr_field_size_bytes(f), 15u * 8);
  EXPECT_FALSE(kvr_field_is_contiguous(f));
  EXPECT_EQ(kvr_field_begin(f), data);

  kvr_field_set_size_1d(f, 4);
  kvr_field_set_stride_1d(f, -1);
  EXPECT_TRUE(kvr_field_is_contiguous(f));
  EXPECT_EQ(kvr_field_begin(f), reinterpret_cast<unsigned char*>(data) - 3 * 8);

  kvr_field_set_size_3d(f, 2, 2, 2);
  kvr_field_set_stride_3d(f, 1, -2, 4);
  EXPECT_EQ(kvr_field_size_bytes(f), 8u * 8);
  EXPECT_TRUE(kvr_field_is_contiguous(f));
  kvr_field_set_stride_4d(f, 0, 0, 0, 9);
  EXPECT_EQ(f->sz, 0);
  EXPECT_EQ(f->sw, 9);
  kvr_field_free(f);
}

TEST(Field, MetadataPacksAndUnpacks)
{
  const struct { kvr_type type; size_t n[4]; uint64_t meta; } cases[] = {
    {kvr_type_float, {5, 3, 0, 0}, 0x20000046u},
    {kvr_type_double, {10, 20, 30, 40}, 0x2701d013009fu},
    {kvr_type_int32, {1000, 0, 0, 0}, 0x3e70u},
    {kvr_type_int64, {uint64_t(1) << 48, 0, 0, 0}, (((uint64_t(1) << 48) - 1) << 4) | 1},
    {kvr_type_float, {4096, 1, 2, 4096}, (uint64_t(4095) << 40) | (uint64_t(1) << 28) | (4095u << 4) | 0xc | 2},
  };
  for (auto c : cases) {
    kvr_field* f = kvr_field_4d(nullptr, c.type, c.n[0], c.n[1], c.n[2], c.n[3]);
    EXPECT_EQ(kvr_field_metadata(f), c.meta);
    kvr_field* g = kvr_field_alloc();
    int marker;
    g->data = &marker;
    g->sx = 3;
    ASSERT_TRUE(kvr_field_set_metadata(g, c.meta));
    EXPECT_EQ(g->type, c.type);
    EXPECT_EQ(g->nx, c.n[0]);
    EXPECT_EQ(g->ny, c.n[1]);
    EXPECT_EQ(g->nz, c.n[2]);
    EXPECT_EQ(g->nw, c.n[3]);
    EXPECT_EQ(g->sx, 0);
    EXPECT_EQ(g->data, &marker);
    kvr_field_free(f);
    kvr_field_free(g);
  }
}

TEST(Field, MetadataRejectsWhatDoesNotFit)
{
  const size_t too_big[][4] = {
    {(size_t(1) << 48) + 1, 0, 0, 0}, {size_t(1) << 24 | 1, 2, 0, 0},
    {2, 65537, 2, 0}, {2, 2, 2, 4097}};
  for (auto& n : too_big) {
    kvr_field* f = kvr_field_4d(nullptr, kvr_type_double, n[0], n[1], n[2], n[3]);
    EXPECT_EQ(kvr_field_metadata(f), UINT64_MAX);
    kvr_field_free(f);
  }
  // No dimensions, or no valid type: nothing to describe.
  kvr_field* f = kvr_field_alloc();
  EXPECT_EQ(kvr_field_metadata(f), UINT64_MAX);
  kvr_field_set_size_1d(f, 4);
  EXPECT_EQ(kvr_field_metadata(f), UINT64_MAX);
  kvr_field_free(f);
}

TEST(Field, SettersRejectWithoutChanging)
{
  kvr_field* f = kvr_field_2d(nullptr, kvr_type_float, 5, 3);
  EXPECT_EQ(kvr_field_set_type(f, 0), kvr_type_none);
  EXPECT_EQ(kvr_field_set_type(f, 5), kvr_type_none);
  EXPECT_EQ(f->type, kvr_type_float);
  EXPECT_EQ(kvr_field_set_type(f, kvr_type_int64), kvr_type_int64);
  EXPECT_EQ(f->type, kvr_type_int64);
  EXPECT_FALSE(kvr_field_set_metadata(f, uint64_t(1) << 52));
  EXPECT_EQ(f->type, kvr_type_int64);
  EXPECT_EQ(f->nx, 5u);
  EXPECT_EQ(f->ny, 3u);
  int d;
  kvr_field_set_pointer(f, &d);
  EXPECT_EQ(f->data, &d);
  kvr_field_free(f);
}

} // namespace
