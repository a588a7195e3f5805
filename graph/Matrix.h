#pragma once
// 4x4 single-precision matrices in the row-vector convention of the D3DX functions the graph was
// laid out with: a point is a row vector multiplied on the left (p' = p x M), so in a product A x B
// the left factor acts first, and a translation sits in the last row (_41, _42, _43).

#include <array>

namespace kelvane::graph {

struct Vec3 {
    float x = 0, y = 0, z = 0;
};

struct Matrix {
    std::array<std::array<float, 4>, 4> m{}; // m[row][column]: m[0][0] is _11, m[3][0] is _41

    static Matrix Identity();
    static Matrix Scaling(float sx, float sy, float sz);
    static Matrix Translation(float tx, float ty, float tz);
    static Matrix RotationX(float angle);
    // A left-handed look-at view matrix.
    static Matrix LookAtLH(Vec3 eye, Vec3 at, Vec3 up);
    // A left-handed perspective projection (vertical field of view in radians).
    static Matrix PerspectiveFovLH(float fovY, float aspect, float zNear, float zFar);

    // This x other: this one acts first.
    Matrix operator*(const Matrix& other) const;
    // The point transformed, divided by w.
    Vec3 TransformCoord(Vec3 p) const;
};

} // namespace kelvane::graph
