// Encoder of 2-D int32 blocks: whole, strided and partial.
#define KVR_MODULE_TYPE int32_t
#define KVR_MODULE_WORD int32
#define KVR_MODULE_DIMS 2
#define KVR_MODULE_ENCODE 1
#include "codec/module.hpp"
