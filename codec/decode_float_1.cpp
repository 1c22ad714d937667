// Decoder of 1-D float blocks: whole, strided and partial.
#define KVR_MODULE_TYPE float
#define KVR_MODULE_WORD float
#define KVR_MODULE_DIMS 1
#define KVR_MODULE_ENCODE 0
#include "codec/module.hpp"
