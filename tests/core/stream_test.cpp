// Compressed streams: opening, configurations, setters, getters, the
// classification of limits and the execution record.
#include <kvr/kvr.h>

#include <gtest/gtest.h>

#include "core/stream_fixture.hpp"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

using Stream = StreamFixture;

TEST_F(Stream, OpensWithDefaultLimitsThatClassifyAsCustom)
{
  expect({1, 16658, 64, -1074});
  EXPECT_EQ(kvr_stream_bit_stream(s), nullptr);
  EXPECT_EQ(kvr_stream_execution(s), kvr_exec_serial);
  EXPECT_EQ(kvr_stream_execution_param1(s), 0u);
  EXPECT_EQ(kvr_stream_execution_param2(s), 0u);
  EXPECT_EQ(kvr_stream_compression_mode(s), kvr_mode_custom);
  EXPECT_EQ(kvr_stream_rate(s, 2), 0.0);
  EXPECT_EQ(kvr_stream_precision(s), 0u);
  EXPECT_EQ(kvr_stream_accuracy(s), 0.0);
}

TEST_F(Stream, ClassificationOrder)
{
  const struct { Limits l; kvr_mode mode; } cases[] = {
    {{5, 5, 64, -1074}, kvr_mode_fixed_rate},
    {{5, 5, 63, -1074}, kvr_mode_custom},
    {{16659, 16659, 64, -1074}, kvr_mode_custom},
    {{16658, 16658, 64, -1074}, kvr_mode_fixed_rate},
    {{0, 16658, 32, -1074}, kvr_mode_fixed_precision},
    {{1, 16659, 64, -1074}, kvr_mode_fixed_precision},
    {{1, 16658, 64, -1075}, kvr_mode_reversible},
    {{1, 16658, 64, -1000}, kvr_mode_fixed_accuracy},
    {{1, 16658, 32, -1000}, kvr_mode_custom},
    {{2, 16658, 64, -1000}, kvr_mode_custom},
    {{1, 100, 64, -1000}, kvr_mode_custom},
    {{0, 0, 64, -1074}, kvr_mode_custom},
    {{6, 5, 64, -1074}, kvr_mode_null},
    {{1, 16658, 0, -1074}, kvr_mode_null},
    {{1, 16658, 65, -1074}, kvr_mode_null},
  };
  for (auto c : cases) {
    set(c.l);
    EXPECT_EQ(kvr_stream_compression_mode(s), c.mode)
      << c.l.min_bits << " " << c.l.max_bits << " " << c.l.max_prec << " " << c.l.min_exp;
  }
}

TEST_F(Stream, SetRateRoundsRaisesAndAligns)
{
  const struct { double rate; kvr_type type; uint32_t dims; int align; uint32_t bits; double result; } cases[] = {
    {1.5, kvr_type_float, 2, 0, 24, 1.5},
    {0.1, kvr_type_float, 1, 0, 9, 2.25},
    {1.0, kvr_type_double, 2, 1, 64, 4.0},
    {0.0, kvr_type_double, 1, 0, 12, 3.0},
    {-1.0, kvr_type_int32, 2, 0, 0, 0.0},
    {std::nan(""), kvr_type_int64, 3, 0, 0, 0.0},
    {1e300, kvr_type_int32, 1, 0, INT32_MAX, INT32_MAX / 4.0},
    {7.0, kvr_type_double, 2, 1, 128, 8.0},
    {2.3, kvr_type_double, 3, 1, 192, 3.0},
    {1042.0, kvr_type_double, 2, 0, 16672, 1042.0},
    {1040.03125, kvr_type_double, 2, 1, 16704, 1044.0},
  };
  for (auto c : cases) {
    EXPECT_EQ(kvr_stream_set_rate(s, c.rate, c.type, c.dims, c.align), c.result) << c.rate;
    expect({c.bits, c.bits, 64, -1074});
  }
  // Above 16658 bits a block is no longer fixed rate.
  kvr_stream_set_rate(s, 1042, kvr_type_double, 2, 0);
  EXPECT_EQ(kvr_stream_compression_mode(s), kvr_mode_custom);
  EXPECT_EQ(kvr_stream_rate(s, 2), 0.0);
  kvr_stream_set_rate(s, -1, kvr_type_int32, 2, 0);
  EXPECT_EQ(kvr_stream_compression_mode(s), kvr_mode_custom);
  set({64, 64, 64, -1074});
  EXPECT_EQ(kvr_stream_rate(s, 2), 4.0);
  EXPECT_EQ(kvr_stream_rate(s, 3), 1.0);
}

TEST_F(Stream, SetPrecision)
{
  for (uint32_t p : {0u, 64u, 100u}) {
    EXPECT_EQ(kvr_stream_set_precision(s, p), 64u);
    expect({1, 16658, 64, -1074});
    EXPECT_EQ(kvr_stream_compression_mode(s), kvr_mode_custom);
  }
  EXPECT_EQ(kvr_stream_set_precision(s, 20), 20u);
  EXPECT_EQ(kvr_stream_compression_mode(s), kvr_mode_fixed_precision);
  EXPECT_EQ(kvr_stream_precision(s), 20u);
}

TEST_F(Stream, SetAccuracy)
{
  const double inf = std::numeric_limits<double>::infinity();
  const struct { double tol; int32_t min_exp; double result; } cases[] = {
    {0.001, -10, 0.0009765625},
    {1.0, 0, 1.0},
    {0.0, -1074, 0.0},
    {-3.0, -1074, 0.0},
    {std::nan(""), -1074, 0.0},
    {std::ldexp(1.0, -1074), -1074, std::ldexp(1.0, -1074)},
    {inf, 16272, inf},
  };
  for (auto c : cases) {
    EXPECT_EQ(kvr_stream_set_accuracy(s, c.tol), c.result) << c.tol;
    expect({1, 16658, 64, c.min_exp});
  }
  kvr_stream_set_accuracy(s, 0.001);
  EXPECT_EQ(kvr_stream_compression_mode(s), kvr_mode_fixed_accuracy);
  EXPECT_EQ(kvr_stream_accuracy(s), 0.0009765625);
}

TEST_F(Stream, SetReversibleAndParams)
{
  kvr_stream_set_reversible(s);
  expect({1, 16658, 64, -1075});
  EXPECT_EQ(kvr_stream_compression_mode(s), kvr_mode_reversible);

  const Limits rejected[] = {{10, 5, 64, 0}, {5, 10, 0, 0}, {5, 10, 65, 0}};
  for (auto l : rejected) {
    EXPECT_FALSE(kvr_stream_set_params(s, l.min_bits, l.max_bits, l.max_prec, l.min_exp));
    expect({1, 16658, 64, -1075});
  }
  EXPECT_TRUE(kvr_stream_set_params(s, 0, 0, 1, -5000));
  expect({0, 0, 1, -5000});

  uint32_t max_bits = 0;
  kvr_stream_params(s, nullptr, &max_bits, nullptr, nullptr);
  EXPECT_EQ(max_bits, 0u);
}

TEST_F(Stream, ExecutionAcceptsOnlySerial)
{
  for (kvr_exec_policy p : {1u, 2u, 77u}) {
    EXPECT_FALSE(kvr_stream_set_execution(s, p));
    EXPECT_EQ(kvr_stream_execution(s), kvr_exec_serial);
  }
  EXPECT_TRUE(kvr_stream_set_execution(s, kvr_exec_serial));
  EXPECT_FALSE(kvr_stream_set_execution_param1(s, 4));
  EXPECT_FALSE(kvr_stream_set_execution_param2(s, 4));
  EXPECT_EQ(kvr_stream_execution_param1(s), 0u);
  EXPECT_EQ(kvr_stream_execution_param2(s), 0u);
}

TEST_F(Stream, AttachedBitStream)
{
  uint64_t words[2] = {0, 0};
  bit_stream* bs = stream_open(words, sizeof words);
  kvr_stream_set_bit_stream(s, bs);
  EXPECT_EQ(kvr_stream_bit_stream(s), bs);
  stream_write_bits(bs, 0x1ff, 9);
  EXPECT_EQ(kvr_stream_compressed_size(s), 0u);
  EXPECT_EQ(kvr_stream_flush(s), 55u);
  EXPECT_EQ(kvr_stream_compressed_size(s), 8u);
  kvr_stream_rewind(s);
  stream_read_bits(bs, 3);
  EXPECT_EQ(kvr_stream_align(s), 61u);
  kvr_stream_set_bit_stream(s, nullptr);
  stream_close(bs);
}

TEST(Config, ConstructorsFillTheirMembers)
{
  EXPECT_EQ(kvr_config_none().mode, kvr_mode_null);
  kvr_config c = kvr_config_rate(2.0, 1);
  EXPECT_EQ(c.mode, kvr_mode_fixed_rate);
  EXPECT_EQ(c.arg.rate, -2.0);
  EXPECT_EQ(kvr_config_rate(2.0, 0).arg.rate, 2.0);
  // A rate of 0 with alignment is stored as -0.0: its sign bit is set.
  EXPECT_TRUE(std::signbit(kvr_config_rate(0.0, 1).arg.rate));
  c = kvr_config_precision(17);
  EXPECT_EQ(c.mode, kvr_mode_fixed_precision);
  EXPECT_EQ(c.arg.precision, 17u);
  c = kvr_config_accuracy(0.5);
  EXPECT_EQ(c.mode, kvr_mode_fixed_accuracy);
  EXPECT_EQ(c.arg.tolerance, 0.5);
  EXPECT_EQ(kvr_config_reversible().mode, kvr_mode_reversible);
  c = kvr_config_custom(1, 2, 3, -4);
  EXPECT_EQ(c.mode, kvr_mode_custom);
  EXPECT_EQ(c.arg.custom.min_bits, 1u);
  EXPECT_EQ(c.arg.custom.max_bits, 2u);
  EXPECT_EQ(c.arg.custom.max_prec, 3u);
  EXPECT_EQ(c.arg.custom.min_exp, -4);
}

// The release functions take NULL, as free does.
TEST(Release, NullDoesNothing)
{
  stream_close(nullptr);
  kvr_stream_close(nullptr);
  kvr_field_free(nullptr);
}

} // namespace
