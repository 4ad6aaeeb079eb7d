// stb_image compiled into the fuzz targets, so the fuzzer sees and checks the
// decoder's code as well as ours. The program links the distribution's
// library instead, built from the same headers; the resizer and the PNG
// writer come along because the library's fitting and preview code name them.
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#include <stb/stb_image_resize.h>
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
