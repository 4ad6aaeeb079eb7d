// stb_image compiled into the fuzz targets, so the fuzzer sees and checks the
// decoder's code as well as ours. The program links the distribution's
// library instead, built from the same header.
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
