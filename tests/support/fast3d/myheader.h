/*
 * Test stand-in for "myheader.h" with the commands encoded for Fast3D, the
 * oldest microcode, which has no gsSP2Triangles: output that uses it does
 * not compile against this header. Everything else is the test header one
 * folder up.
 */
#define QUILLMESH_TEST_FAST3D 1
#include "../myheader.h"
