#include "meshes/printexport.h"

#include "terrain/vec3.h"

#include <Model/COM/NMR_DLLInterfaces.h>

#include <QDataStream>

#include <algorithm>
#include <climits>
#include <memory>

namespace {

Vec3 corner(const QVector<float> &positions, int vertex)
{
    const float *p = positions.constData() + 3 * vertex;
    return {p[0], p[1], p[2]};
}

// Written as floats; the normal from the corners' floats, so that it agrees
// with the facet a reader sees.
void writeFacet(QDataStream &out, const Vec3 corners[3])
{
    const Vec3 normal = normalised(cross(corners[1] - corners[0], corners[2] - corners[0]));
    for (const Vec3 &p : {normal, corners[0], corners[1], corners[2]})
        out << float(p.x) << float(p.y) << float(p.z);
    out << quint16(0);
}

// lib3mf's objects are reference counted through its C interface.
struct Released
{
    void operator()(NMR::PLib3MFBase *instance) const { NMR::lib3mf_release(instance); }
};
using Handle = std::unique_ptr<NMR::PLib3MFBase, Released>;

QString lib3mfError(NMR::PLib3MFBase *instance, const char *step)
{
    DWORD code = 0;
    LPCSTR message = nullptr;
    NMR::lib3mf_getlasterror(instance, &code, &message);
    return QStringLiteral("lib3mf could not %1 (error %2%3)")
        .arg(QLatin1String(step))
        .arg(code)
        .arg(message && *message ? QStringLiteral(": ") + QString::fromUtf8(message) : QString());
}

// The vertices in millimetres, and each triangle's corners with their colours.
bool setSolid(NMR::PLib3MFModelMeshObject *object, const DrawnMesh &mesh, double diameterMm)
{
    const QVector<float> positions =
        framedPositions(mesh, UpAxis::Z, millimetresPerUnit(diameterMm));
    std::vector<NMR::MODELMESHVERTEX> vertices(mesh.vertexCount());
    for (int v = 0; v < mesh.vertexCount(); ++v) {
        for (int k = 0; k < 3; ++k)
            vertices[v].m_fPosition[k] = positions[3 * v + k];
    }
    std::vector<NMR::MODELMESHTRIANGLE> triangles(mesh.triangleCount());
    std::vector<NMR::MODELMESH_TRIANGLECOLOR_SRGB> colours(mesh.triangleCount());
    for (int t = 0; t < mesh.triangleCount(); ++t) {
        for (int k = 0; k < 3; ++k) {
            const int vertex = mesh.corners[3 * t + k];
            triangles[t].m_nIndices[k] = DWORD(vertex);
            const Rgb8 colour = vertexRgb8(mesh, vertex);
            // An alpha of 0 would mean "no colour" to lib3mf.
            colours[t].m_Colors[k] = {colour.red, colour.green, colour.blue, 255};
        }
    }
    if (NMR::lib3mf_meshobject_setgeometry(object, vertices.data(), DWORD(vertices.size()),
                                           triangles.data(), DWORD(triangles.size())) != LIB3MF_OK)
        return false;
    NMR::PLib3MFPropertyHandler *handler = nullptr;
    if (NMR::lib3mf_meshobject_createpropertyhandler(object, &handler) != LIB3MF_OK)
        return false;
    const Handle owned(handler);
    if (NMR::lib3mf_propertyhandler_setgradientcolorarray(handler, colours.data()) != LIB3MF_OK)
        return false;
    // 3MF wants an object colour beside the triangles' own: the sea's.
    NMR::PLib3MFDefaultPropertyHandler *fallback = nullptr;
    if (NMR::lib3mf_object_createdefaultpropertyhandler(object, &fallback) != LIB3MF_OK)
        return false;
    const Handle ownedFallback(fallback);
    const Rgb8 sea = levelRgb8(0);
    return NMR::lib3mf_defaultpropertyhandler_setcolorrgb(fallback, sea.red, sea.green, sea.blue) ==
           LIB3MF_OK;
}

// lib3mf's callback: the percentage of one pass over the package.
bool writerProgress(int percent, NMR::ProgressIdentifier, void *part)
{
    static_cast<const ProgressPart *>(part)->update(percent, 100);
    return true; // never cancel
}

// Sizing the package writes it once, and filling the buffer again: each
// pass is half the work.
Status writeModel(NMR::PLib3MFModel *model, const QString &path, QByteArray *bytes,
                  const ProgressPart &progress)
{
    const ProgressPart sizing = progress.part(0, 0.5), filling = progress.part(0.5, 1);
    NMR::PLib3MFModelWriter *writer = nullptr;
    if (NMR::lib3mf_model_querywriter(model, "3mf", &writer) != LIB3MF_OK)
        return Status::notWritten(path, lib3mfError(model, "make its 3MF writer"));
    const Handle owned(writer);
    ULONG64 size = 0;
    NMR::lib3mf_writer_setprogresscallback(writer, writerProgress,
                                           const_cast<ProgressPart *>(&sizing));
    if (NMR::lib3mf_writer_getstreamsize(writer, &size) != LIB3MF_OK || size > ULONG64(INT_MAX))
        return Status::notWritten(path, lib3mfError(writer, "size the 3MF package"));
    bytes->resize(int(size));
    NMR::lib3mf_writer_setprogresscallback(writer, writerProgress,
                                           const_cast<ProgressPart *>(&filling));
    if (NMR::lib3mf_writer_writetobuffer(writer, reinterpret_cast<BYTE *>(bytes->data()), size) !=
        LIB3MF_OK)
        return Status::notWritten(path, lib3mfError(writer, "write the 3MF package"));
    return Status();
}

} // namespace

double peakDiameterMm(const DrawnMesh &mesh, double diameterMm)
{
    double farthest = 0;
    for (int v = 0; v < mesh.vertexCount(); ++v) {
        const Vec3 p = corner(mesh.positions, v);
        farthest = std::max(farthest, std::sqrt(dot(p, p)));
    }
    return 2 * farthest * millimetresPerUnit(diameterMm);
}

QByteArray encodeStl(const DrawnMesh &mesh, UpAxis up, double diameterMm)
{
    const QVector<float> positions = framedPositions(mesh, up, millimetresPerUnit(diameterMm));
    // Not "solid ...": readers take a header starting so for a text STL.
    QByteArray out = QStringLiteral("globe-world export: binary STL, millimetres, %1 up")
                         .arg(upAxisName(up))
                         .toLatin1()
                         .leftJustified(80, ' ', true);
    out.reserve(84 + 50 * mesh.triangleCount());
    QDataStream stream(&out, QIODevice::Append);
    stream.setByteOrder(QDataStream::LittleEndian);
    stream.setFloatingPointPrecision(QDataStream::SinglePrecision);
    stream << quint32(mesh.triangleCount());
    for (int t = 0; t < mesh.triangleCount(); ++t) {
        const int *abc = mesh.corners.constData() + 3 * t;
        const Vec3 corners[3] = {corner(positions, abc[0]), corner(positions, abc[1]),
                                 corner(positions, abc[2])};
        writeFacet(stream, corners);
    }
    return out;
}

Status encode3mf(const DrawnMesh &mesh, double diameterMm, const QString &path, QByteArray *bytes,
                 const ProgressPart &progress)
{
    return encode3mfObjects({{"globe", &mesh}}, diameterMm, path, bytes, progress);
}

Status encode3mfObjects(const QVector<PrintObject> &objects, double diameterMm, const QString &path,
                        QByteArray *bytes, const ProgressPart &progress)
{
    NMR::PLib3MFModel *model = nullptr;
    if (NMR::lib3mf_createmodel(&model) != LIB3MF_OK)
        return Status::notWritten(path, QStringLiteral("lib3mf could not make a model"));
    const Handle ownedModel(model);
    if (NMR::lib3mf_model_setunit(model, NMR::MODELUNIT_MILLIMETER) != LIB3MF_OK)
        return Status::notWritten(path, lib3mfError(model, "add the globe"));
    for (const PrintObject &part : objects) {
        NMR::PLib3MFModelMeshObject *object = nullptr;
        if (NMR::lib3mf_model_addmeshobject(model, &object) != LIB3MF_OK)
            return Status::notWritten(path, lib3mfError(model, "add the globe"));
        const Handle ownedObject(object);
        NMR::PLib3MFModelBuildItem *item = nullptr;
        if (NMR::lib3mf_object_setnameutf8(object, part.name) != LIB3MF_OK ||
            !setSolid(object, *part.mesh, diameterMm) ||
            NMR::lib3mf_model_addbuilditem(model, object, nullptr, &item) != LIB3MF_OK)
            return Status::notWritten(path, lib3mfError(object, "build the globe's mesh"));
        const Handle ownedItem(item);
    }
    return writeModel(model, path, bytes, progress);
}
