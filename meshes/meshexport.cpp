#include "meshes/meshexport.h"

#include "meshes/gltfexport.h"
#include "meshes/plyobjexport.h"
#include "meshes/printexport.h"
#include "meshes/webpage.h"

#include <QFileInfo>

namespace {

struct FormatName
{
    const char *extension;
    MeshFormat format;
};
const FormatName formatNames[] = {{"glb", MeshFormat::Glb},  {"gltf", MeshFormat::Gltf},
                                  {"stl", MeshFormat::Stl},  {"3mf", MeshFormat::ThreeMf},
                                  {"ply", MeshFormat::Ply},  {"obj", MeshFormat::Obj},
                                  {"html", MeshFormat::Html}};

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
    case MeshFormat::Html:
        return UpAxis::Y;
    case MeshFormat::Stl:
    case MeshFormat::Ply:
        break;
    }
    return options.upGiven ? options.up : UpAxis::Z;
}

Status encodeMesh(const DrawnMesh &mesh, MeshFormat format, const MeshExportOptions &options,
                  const QString &path, QByteArray *bytes, const ProgressPart &progress)
{
    const UpAxis up = upAxisOf(format, options);
    switch (format) {
    case MeshFormat::Glb:
    case MeshFormat::Gltf:
        return encodeGltf(mesh, format == MeshFormat::Glb, path, bytes);
    case MeshFormat::ThreeMf:
        return encode3mf(mesh, options.diameterMm, path, bytes, progress);
    case MeshFormat::Stl:
        *bytes = encodeStl(mesh, up, options.diameterMm);
        break;
    case MeshFormat::Ply:
        *bytes = encodePly(mesh, up);
        break;
    case MeshFormat::Obj:
        *bytes = encodeObj(mesh, up);
        break;
    case MeshFormat::Html:
        return encodeWebPage(mesh, options.title, path, bytes);
    }
    return Status();
}
