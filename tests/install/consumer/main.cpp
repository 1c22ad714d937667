// An outside program built with kvr, installed or as a subproject.
#include <kvr/kvr.h>

#include <cstdio>

int main()
{
  uint64_t words[2] = {0, 0};
  bit_stream* bs = stream_open(words, sizeof words);
  stream_write_bits(bs, 0x2a, 6);
  stream_flush(bs);
  stream_close(bs);
  std::printf("%s\n", kvr_version_string);
  return words[0] == 0x2a ? 0 : 1;
}
