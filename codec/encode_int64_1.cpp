// Encoder of 1-D int64 blocks: whole, strided and partial.
#define KVR_MODULE_TYPE int64_t
#define KVR_MODULE_WORD int64
#define KVR_MODULE_DIMS 1
#define KVR_MODULE_ENCODE 1
#include "codec/module.hpp"
