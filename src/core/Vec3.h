// A point in level units: x and y in the shared -5..5 square, z the level number.
#pragma once

class Vec3 {
public:
    float pos[3];

    Vec3();
    Vec3(float x, float y, float z);
};
