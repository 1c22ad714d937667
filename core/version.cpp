// Version constants.
#include <kvr/kvr.h>

#include "core/format.hpp"

extern "C" {
const uint32_t kvr_codec_version = kvr_format::codec_version;
const uint32_t kvr_library_version = 0x055;
const char* const kvr_version_string = "kvr version 0.5.5 (May 5, 2019)";
}
