#include "meshes/plyobjexport.h"

#include <QString>
#include <QtEndian>

#include <charconv>

namespace {

template <typename T> void appendLittleEndian(QByteArray &out, T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

unsigned char plyLevel(int level)
{
    return level >= 0 && level <= 9 ? static_cast<unsigned char>(level) : plyUnknownLevel;
}

// The shortest text that reads back as the same float, so that an OBJ
// carries the editor's exact corner positions.
void appendNumber(QByteArray &out, float value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    out.append(' ').append(text, int(end - text));
}

void appendNumber(QByteArray &out, int value)
{
    char text[16];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    out.append(' ').append(text, int(end - text));
}

QByteArray plyHeader(int vertexCount, int triangleCount)
{
    return QStringLiteral("ply\n"
                          "format binary_little_endian 1.0\n"
                          "comment globe-world export: sRGB colours; level 0 to 9, 255 if outside\n"
                          "element vertex %1\n"
                          "property float x\n"
                          "property float y\n"
                          "property float z\n"
                          "property uchar red\n"
                          "property uchar green\n"
                          "property uchar blue\n"
                          "property uchar level\n"
                          "property float quality\n"
                          "element face %2\n"
                          "property list uchar int vertex_indices\n"
                          "end_header\n")
        .arg(vertexCount)
        .arg(triangleCount)
        .toLatin1();
}

} // namespace

QByteArray encodePly(const DrawnMesh &mesh, UpAxis up)
{
    const QVector<float> positions = framedPositions(mesh, up);
    QByteArray out = plyHeader(mesh.vertexCount(), mesh.triangleCount());
    out.reserve(out.size() + 20 * mesh.vertexCount() + 13 * mesh.triangleCount());
    for (int v = 0; v < mesh.vertexCount(); ++v) {
        for (int k = 0; k < 3; ++k)
            appendLittleEndian(out, positions[3 * v + k]);
        const Rgb8 colour = vertexRgb8(mesh, v);
        out.append(char(colour.red)).append(char(colour.green)).append(char(colour.blue));
        out.append(char(plyLevel(mesh.levels[v])));
        appendLittleEndian(out, float(mesh.levels[v]));
    }
    for (int t = 0; t < mesh.triangleCount(); ++t) {
        out.append(char(3));
        for (int k = 0; k < 3; ++k)
            appendLittleEndian(out, qint32(mesh.corners[3 * t + k]));
    }
    return out;
}

QByteArray encodeObj(const DrawnMesh &mesh, UpAxis up)
{
    const QVector<float> positions = framedPositions(mesh, up);
    QByteArray out = QStringLiteral("# globe-world export: %1 vertices, %2 triangles; "
                                    "colours are the editor's sRGB values; %3 up\n")
                         .arg(mesh.vertexCount())
                         .arg(mesh.triangleCount())
                         .arg(upAxisName(up))
                         .toLatin1();
    for (int v = 0; v < mesh.vertexCount(); ++v) {
        out.append('v');
        for (int k = 0; k < 3; ++k)
            appendNumber(out, positions[3 * v + k]);
        const Rgb8 colour = vertexRgb8(mesh, v);
        for (unsigned char c : {colour.red, colour.green, colour.blue})
            appendNumber(out, float(c) / 255.0f);
        out.append('\n');
    }
    for (int t = 0; t < mesh.triangleCount(); ++t) {
        out.append('f');
        for (int k = 0; k < 3; ++k)
            appendNumber(out, mesh.corners[3 * t + k] + 1);
        out.append('\n');
    }
    return out;
}
