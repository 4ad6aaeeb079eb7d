#pragma once
// A point or direction of three 32-bit floats, as LWO2 stores them. Its own
// header, so the object model and the converter need not see the byte stream.

struct Vec3 {
    float x = 0, y = 0, z = 0;
};
