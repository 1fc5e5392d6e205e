#include "meshes/meshframe.h"

#include "terrain/levelrules.h"

QString upAxisName(UpAxis up)
{
    return up == UpAxis::Y ? QStringLiteral("Y") : QStringLiteral("Z");
}

QVector<float> framedPositions(const DrawnMesh &mesh, UpAxis up, double scale)
{
    QVector<float> framed(mesh.positions.size());
    for (int v = 0; v < mesh.vertexCount(); ++v) {
        const float *p = mesh.positions.constData() + 3 * v;
        const double x = p[0], y = p[1], z = p[2];
        float *out = framed.data() + 3 * v;
        // A rotation about x by -90 degrees: a proper rotation, so the
        // triangles keep their winding. Adding 0 turns the -0 of a negated
        // 0 into 0, which an OBJ would otherwise print as "-0".
        out[0] = float(x * scale);
        out[1] = float((up == UpAxis::Y ? z : y) * scale);
        out[2] = float((up == UpAxis::Y ? -y : z) * scale) + 0.0f;
    }
    return framed;
}

Vec3 modelFromYUp(const Vec3 &framed)
{
    return {framed.x, -framed.z, framed.y};
}

double millimetresPerUnit(double diameterMm)
{
    return diameterMm / (2 * baseSphereRadius);
}
