#include "meshes/meshfiles.h"

#include "meshes/printexport.h"
#include "meshes/printhalves.h"
#include "water/rivers.h"
#include "world/atomicwrite.h"
#include "world/filenames.h"

#include <QDir>
#include <QFileInfo>

namespace {

Status foldersExist(const QVector<MeshOutput> &outputs)
{
    for (const MeshOutput &output : outputs) {
        if (const Status folder = checkOutputFolder(output.path); !folder.ok())
            return folder;
    }
    return Status();
}

// The print as one 3MF: the whole globe or its halves, painted or not.
Status encodePrint3mf(const DrawnMesh &mesh, const PrintHalves *halves,
                      const MeshExportOptions &options, const QString &path, QByteArray *bytes,
                      const ProgressPart &progress)
{
    QVector<PrintObject> objects{{"globe", &mesh}};
    if (halves)
        objects = {{"north", &halves->north}, {"south", &halves->south}};
    Status status = encode3mfObjects(objects, options.diameterMm, path, bytes, progress);
    if (status.ok() && options.filaments.painted()) {
        QVector<const DrawnMesh *> meshes;
        for (const PrintObject &object : objects)
            meshes << object.mesh;
        status = paint3mf(path, bytes, meshes, options.filaments);
    }
    return status;
}

Status encodeAll(const DrawnMesh &mesh, const PrintHalves *halves, const ExportOptions &options,
                 QVector<FileWrite> &files, const ProgressPart &progress)
{
    const int count = options.outputs.size();
    for (int done = 0; done < count; ++done) {
        const MeshOutput &output = options.outputs[done];
        const ProgressPart part = progress.part(double(done) / count, double(done + 1) / count);
        QByteArray bytes;
        if (halves && output.format == MeshFormat::Stl) {
            // The bed's frame: Z up whatever --up says.
            files.append({halfFileName(output.path, "north"),
                          encodeStl(halves->north, UpAxis::Z, options.mesh.diameterMm)});
            files.append({halfFileName(output.path, "south"),
                          encodeStl(halves->south, UpAxis::Z, options.mesh.diameterMm)});
            continue;
        }
        const bool print3mf =
            output.format == MeshFormat::ThreeMf && (halves || options.mesh.filaments.painted());
        const Status encoded =
            print3mf ? encodePrint3mf(mesh, halves, options.mesh, output.path, &bytes, part)
                     : encodeMesh(mesh, output.format, options.mesh, output.path, &bytes, part);
        if (!encoded.ok())
            return encoded;
        files.append({output.path, bytes});
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
    if (options.mesh.rivers)
        mesh.wet = waterVertices(world);
    PrintHalves halves;
    if (options.mesh.halves &&
        !(status =
              cutIntoHalves(mesh, {options.mesh.diameterMm, options.mesh.pinDiameterMm}, halves))
             .ok())
        return status;
    QVector<FileWrite> writes;
    if (!(status = encodeAll(mesh, options.mesh.halves ? &halves : nullptr, options, writes,
                             progress.part(0, 0.9)))
             .ok())
        return status;
    progress.update(0.9);
    if (!(status = writeFilesAtomically(writes)).ok())
        return status;
    if (options.mesh.halves) {
        report->northTriangles = halves.north.triangleCount();
        report->southTriangles = halves.south.triangleCount();
        report->holes = halves.holeCentresMm.size();
        report->holeDiameterMm = halves.holeDiameterMm;
        report->holeDepthMm = halves.holeDepthMm;
    }
    report->vertices = mesh.vertexCount();
    report->triangles = mesh.triangleCount();
    report->solid = printsSolid(options.outputs);
    report->peakDiameterMm = peakDiameterMm(mesh, options.mesh.diameterMm);
    return status;
}
