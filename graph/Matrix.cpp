#include "graph/Matrix.h"

#include <cmath>

namespace kelvane::graph {

Matrix Matrix::Identity() {
    Matrix r;
    for (int i = 0; i < 4; ++i)
        r.m[static_cast<std::size_t>(i)][static_cast<std::size_t>(i)] = 1;
    return r;
}

Matrix Matrix::Scaling(float sx, float sy, float sz) {
    Matrix r = Identity();
    r.m[0][0] = sx;
    r.m[1][1] = sy;
    r.m[2][2] = sz;
    return r;
}

Matrix Matrix::Translation(float tx, float ty, float tz) {
    Matrix r = Identity();
    r.m[3][0] = tx;
    r.m[3][1] = ty;
    r.m[3][2] = tz;
    return r;
}

Matrix Matrix::RotationX(float angle) {
    Matrix r = Identity();
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    r.m[1][1] = c;
    r.m[1][2] = s;
    r.m[2][1] = -s;
    r.m[2][2] = c;
    return r;
}

namespace {
Vec3 Sub(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
Vec3 Normalize(Vec3 a) {
    const float length = std::sqrt(Dot(a, a));
    return length == 0 ? a : Vec3{a.x / length, a.y / length, a.z / length};
}
} // namespace

Matrix Matrix::LookAtLH(Vec3 eye, Vec3 at, Vec3 up) {
    const Vec3 zaxis = Normalize(Sub(at, eye));
    const Vec3 xaxis = Normalize(Cross(up, zaxis));
    const Vec3 yaxis = Cross(zaxis, xaxis);
    Matrix r = Identity();
    r.m[0] = {xaxis.x, yaxis.x, zaxis.x, 0};
    r.m[1] = {xaxis.y, yaxis.y, zaxis.y, 0};
    r.m[2] = {xaxis.z, yaxis.z, zaxis.z, 0};
    r.m[3] = {-Dot(xaxis, eye), -Dot(yaxis, eye), -Dot(zaxis, eye), 1};
    return r;
}

Matrix Matrix::PerspectiveFovLH(float fovY, float aspect, float zNear, float zFar) {
    const float yScale = 1.0f / std::tan(fovY / 2);
    Matrix r;
    r.m[0][0] = yScale / aspect;
    r.m[1][1] = yScale;
    r.m[2][2] = zFar / (zFar - zNear);
    r.m[2][3] = 1;
    r.m[3][2] = -zNear * zFar / (zFar - zNear);
    return r;
}

Matrix Matrix::operator*(const Matrix& other) const {
    Matrix r;
    for (std::size_t i = 0; i < 4; ++i)
        for (std::size_t j = 0; j < 4; ++j) {
            float sum = 0;
            for (std::size_t k = 0; k < 4; ++k)
                sum += m[i][k] * other.m[k][j];
            r.m[i][j] = sum;
        }
    return r;
}

Vec3 Matrix::TransformCoord(Vec3 p) const {
    const float x = p.x * m[0][0] + p.y * m[1][0] + p.z * m[2][0] + m[3][0];
    const float y = p.x * m[0][1] + p.y * m[1][1] + p.z * m[2][1] + m[3][1];
    const float z = p.x * m[0][2] + p.y * m[1][2] + p.z * m[2][2] + m[3][2];
    const float w = p.x * m[0][3] + p.y * m[1][3] + p.z * m[2][3] + m[3][3];
    return w == 0 ? Vec3{x, y, z} : Vec3{x / w, y / w, z / w};
}

} // namespace kelvane::graph
