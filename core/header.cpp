// The stream header: magic and codec version, field metadata, mode word.
#include <kvr/kvr.h>

#include "core/format.hpp"
#include "core/limits.hpp"

namespace {

using kvr_format::long_mode_bits;
using kvr_format::long_mode_tag;
using kvr_format::magic_bits;
using kvr_format::meta_bits;
using kvr_format::short_mode_bits;

const char magic[4] = {'k', 'v', 'r', char(kvr_format::codec_version)};

} // namespace

extern "C" {

size_t kvr_write_header(kvr_stream* stream, const kvr_field* field, uint32_t mask)
{
  bit_stream* s = stream->stream;
  uint64_t meta = 0;
  if (mask & KVR_HEADER_META) {
    // Refusals come before anything is written.
    meta = kvr_field_metadata(field);
    if (meta == UINT64_MAX)
      return 0;
  }
  uint64_t mode = 0;
  if (mask & KVR_HEADER_MODE) {
    // A mode word that would make a reader code blocks otherwise (limits
    // outside what the long form carries) describes another stream.
    mode = kvr_stream_mode(stream);
    if (!kvr::core::mode_word_codes_alike(stream, mode))
      return 0;
  }
  size_t bits = 0;
  if (mask & KVR_HEADER_MAGIC) {
    for (char c : magic)
      stream_write_bits(s, uint64_t(uint8_t(c)), 8);
    bits += magic_bits;
  }
  if (mask & KVR_HEADER_META) {
    stream_write_bits(s, meta, meta_bits);
    bits += meta_bits;
  }
  if (mask & KVR_HEADER_MODE) {
    uint32_t n = mode < long_mode_tag ? short_mode_bits : long_mode_bits;
    stream_write_bits(s, mode, n);
    bits += n;
  }
  return bits;
}

size_t kvr_read_header(kvr_stream* stream, kvr_field* field, uint32_t mask)
{
  bit_stream* s = stream->stream;
  size_t bits = 0;
  if (mask & KVR_HEADER_MAGIC) {
    for (char c : magic)
      if (stream_read_bits(s, 8) != uint64_t(uint8_t(c)))
        return 0;
    bits += magic_bits;
  }
  if (mask & KVR_HEADER_META) {
    kvr_field_set_metadata(field, stream_read_bits(s, meta_bits));
    bits += meta_bits;
  }
  if (mask & KVR_HEADER_MODE) {
    uint64_t mode = stream_read_bits(s, short_mode_bits);
    bits += short_mode_bits;
    if (mode == long_mode_tag) {
      mode += stream_read_bits(s, long_mode_bits - short_mode_bits) << short_mode_bits;
      bits += long_mode_bits - short_mode_bits;
    }
    if (kvr_stream_set_mode(stream, mode) == kvr_mode_null)
      return 0;
  }
  return bits;
}

} // extern "C"
