#include "converters/meshexport.h"

#include "converters/gltfexport.h"
#include "converters/printexport.h"

#include <QFileInfo>
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

struct FormatName
{
    const char *extension;
    MeshFormat format;
};
const FormatName formatNames[] = {{"glb", MeshFormat::Glb}, {"gltf", MeshFormat::Gltf},
                                  {"stl", MeshFormat::Stl}, {"3mf", MeshFormat::ThreeMf},
                                  {"ply", MeshFormat::Ply}, {"obj", MeshFormat::Obj}};

} // namespace

bool meshFormatOf(const QString &path, MeshFormat *format)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    for (const FormatName &name : formatNames) {
        if (suffix == QLatin1String(name.extension)) {
            *format = name.format;
            return true;
        }
    }
    return false;
}

QString meshExtensions()
{
    QStringList names;
    for (const FormatName &name : formatNames)
        names << QStringLiteral(".") + QLatin1String(name.extension);
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

UpAxis upAxisOf(MeshFormat format, const MeshExportOptions &options)
{
    switch (format) {
    case MeshFormat::Glb:
    case MeshFormat::Gltf:
        return UpAxis::Y;
    case MeshFormat::ThreeMf:
        return UpAxis::Z;
    case MeshFormat::Obj:
        return options.upGiven ? options.up : UpAxis::Y;
    case MeshFormat::Stl:
    case MeshFormat::Ply:
        break;
    }
    return options.upGiven ? options.up : UpAxis::Z;
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

bool encodeMesh(const DrawnMesh &mesh, MeshFormat format, const MeshExportOptions &options,
                QByteArray *bytes, QString *error)
{
    const UpAxis up = upAxisOf(format, options);
    switch (format) {
    case MeshFormat::Glb:
    case MeshFormat::Gltf:
        return encodeGltf(mesh, format == MeshFormat::Glb, bytes, error);
    case MeshFormat::ThreeMf:
        return encode3mf(mesh, options.diameterMm, bytes, error);
    case MeshFormat::Stl:
        *bytes = encodeStl(mesh, up, options.diameterMm);
        break;
    case MeshFormat::Ply:
        *bytes = encodePly(mesh, up);
        break;
    case MeshFormat::Obj:
        *bytes = encodeObj(mesh, up);
        break;
    }
    return true;
}

QByteArray encodePly(const DrawnMesh &mesh, UpAxis up)
{
    const QVector<float> positions = framedPositions(mesh, up);
    QByteArray out = plyHeader(mesh.vertexCount(), mesh.triangleCount());
    out.reserve(out.size() + 20 * mesh.vertexCount() + 13 * mesh.triangleCount());
    for (int v = 0; v < mesh.vertexCount(); ++v) {
        for (int k = 0; k < 3; ++k)
            appendLittleEndian(out, positions[3 * v + k]);
        const Rgb8 colour = levelRgb8(mesh.levels[v]);
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
                         .arg(up == UpAxis::Y ? QStringLiteral("Y") : QStringLiteral("Z"))
                         .toLatin1();
    for (int v = 0; v < mesh.vertexCount(); ++v) {
        out.append('v');
        for (int k = 0; k < 3; ++k)
            appendNumber(out, positions[3 * v + k]);
        const Rgb8 colour = levelRgb8(mesh.levels[v]);
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
