#include "Vec3.h"

Vec3::Vec3() : pos{0.0f, 0.0f, 0.0f} {}

Vec3::Vec3(float x, float y, float z) : pos{x, y, z} {}
