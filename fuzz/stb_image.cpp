// The resizer compiled into the fuzz targets, which link no distribution
// library: the library's fitting code names it. The decoder and the PNG
// writer are built with the library's own sources (src/image_decoder.cpp,
// src/preview/png.cpp).
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#include <stb/stb_image_resize.h>
