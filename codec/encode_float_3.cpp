// Encoder of 3-D float blocks: whole, strided and partial.
#define KVR_MODULE_TYPE float
#define KVR_MODULE_WORD float
#define KVR_MODULE_DIMS 3
#define KVR_MODULE_ENCODE 1
#include "codec/module.hpp"
