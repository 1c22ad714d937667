// Encoder of 4-D float blocks: whole, strided and partial.
#define KVR_MODULE_TYPE float
#define KVR_MODULE_WORD float
#define KVR_MODULE_DIMS 4
#define KVR_MODULE_ENCODE 1
#include "codec/module.hpp"
