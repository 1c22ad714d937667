// Encoder of 1-D double blocks: whole, strided and partial.
#define KVR_MODULE_TYPE double
#define KVR_MODULE_WORD double
#define KVR_MODULE_DIMS 1
#define KVR_MODULE_ENCODE 1
#include "codec/module.hpp"
