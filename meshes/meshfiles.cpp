#include "meshes/meshfiles.h"

#include "meshes/printexport.h"
#include "world/atomicwrite.h"
#include "world/filenames.h"

#include <QDir>
#include <QFileInfo>

namespace {

Status foldersExist(const QVector<MeshOutput> &outputs)
{
    for (const MeshOutput &output : outputs) {
        const QDir folder = QFileInfo(output.path).absoluteDir();
        if (!folder.exists())
            return Status::notWritten(output.path,
                                      QStringLiteral("no folder %1")
                                          .arg(shownName(QDir::toNativeSeparators(folder.path()))));
    }
    return Status();
}

Status encodeAll(const DrawnMesh &mesh, const ExportOptions &options, QVector<QByteArray> &files,
                 const ProgressPart &progress)
{
    const int count = options.outputs.size();
    for (const MeshOutput &output : options.outputs) {
        QByteArray bytes;
        const int done = files.size();
        const Status encoded =
            encodeMesh(mesh, output.format, options.mesh, output.path, &bytes,
                       progress.part(double(done) / count, double(done + 1) / count));
        if (!encoded.ok())
            return encoded;
        files << bytes;
    }
    return Status();
}

} // namespace

bool printsSolid(const QVector<MeshOutput> &outputs)
{
    for (const MeshOutput &output : outputs) {
        if (output.format == MeshFormat::Stl || output.format == MeshFormat::ThreeMf)
            return true;
    }
    return false;
}

Status exportMesh(const World &world, const ExportOptions &options, ExportReport *report,
                  const ProgressPart &progress)
{
    Status status = foldersExist(options.outputs);
    if (!status.ok())
        return status;
    DrawnMesh mesh = drawnMesh(world);
    if (options.mesh.reliefShare >= 0)
        setRelief(mesh, options.mesh.reliefShare);
    QVector<QByteArray> files;
    if (!(status = encodeAll(mesh, options, files, progress.part(0, 0.9))).ok())
        return status;
    progress.update(0.9);
    QVector<FileWrite> writes;
    for (int i = 0; i < files.size(); ++i)
        writes.append({options.outputs[i].path, files[i]});
    if (!(status = writeFilesAtomically(writes)).ok())
        return status;
    report->vertices = mesh.vertexCount();
    report->triangles = mesh.triangleCount();
    report->solid = printsSolid(options.outputs);
    report->peakDiameterMm = peakDiameterMm(mesh, options.mesh.diameterMm);
    return status;
}
