// A fixture owning one kvr_stream, with its four limits set and checked as
// one record.
#ifndef KVR_TESTS_STREAM_FIXTURE_HPP
#define KVR_TESTS_STREAM_FIXTURE_HPP

#include <kvr/kvr.h>

#include <gtest/gtest.h>

struct Limits {
  uint32_t min_bits, max_bits, max_prec;
  int32_t min_exp;
};

class StreamFixture : public ::testing::Test {
protected:
  kvr_stream* s = kvr_stream_open(nullptr);
  ~StreamFixture() override { kvr_stream_close(s); }
  void set(Limits l)
  {
    s->min_bits = l.min_bits;
    s->max_bits = l.max_bits;
    s->max_prec = l.max_prec;
    s->min_exp = l.min_exp;
  }
  void expect(Limits want)
  {
    Limits got;
    kvr_stream_params(s, &got.min_bits, &got.max_bits, &got.max_prec, &got.min_exp);
    EXPECT_EQ(got.min_bits, want.min_bits);
    EXPECT_EQ(got.max_bits, want.max_bits);
    EXPECT_EQ(got.max_prec, want.max_prec);
    EXPECT_EQ(got.min_exp, want.min_exp);
  }
};

#endif
