// The resizer and the PNG writer compiled into the fuzz targets, which link
// no distribution library: the library's fitting and preview code name them.
// The decoder is built with the library's sources (src/image_decoder.cpp).
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#include <stb/stb_image_resize.h>
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
