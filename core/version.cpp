// Version constants.
#include <kvr/kvr.h>

extern "C" {
const uint32_t kvr_codec_version = 5;
const uint32_t kvr_library_version = 0x055;
const char* const kvr_version_string = "kvr version 0.5.5 (May 5, 2019)";
}
