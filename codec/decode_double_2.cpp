// Decoder of 2-D double blocks: whole, strided and partial.
#define KVR_MODULE_TYPE double
#define KVR_MODULE_WORD double
#define KVR_MODULE_DIMS 2
#define KVR_MODULE_ENCODE 0
#include "codec/module.hpp"
