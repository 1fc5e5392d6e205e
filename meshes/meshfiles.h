// The export command: the drawn globe of a world into one or more 3D files.
#ifndef MESHFILES_H
#define MESHFILES_H

#include "meshes/meshexport.h"
#include "world/progress.h"
#include "world/status.h"
#include "world/world.h"

#include <QString>
#include <QVector>

struct MeshOutput
{
    QString path;
    MeshFormat format;
};

struct ExportOptions
{
    QVector<MeshOutput> outputs; // in the order given
    MeshExportOptions mesh;
};

// What was written, for the user.
struct ExportReport
{
    int vertices = 0, triangles = 0;
    bool solid = false;        // an STL or 3MF file among the outputs
    double peakDiameterMm = 0; // with solid: the print across its highest peaks
    // With halves: each half's triangles, and the pin holes in each cut face.
    int northTriangles = 0, southTriangles = 0;
    int holes = 0;
    double holeDiameterMm = 0, holeDepthMm = 0;
};

// Whether an STL or 3MF file is among the outputs: a print, in millimetres.
bool printsSolid(const QVector<MeshOutput> &outputs);

// Writes every output, all of them or none (writeFilesAtomically); with
// halves, an STL output is two files (halfFileName) and a 3MF one holds
// both. A file whose
// folder is missing is refused before any file is written, and every file
// is encoded before the first is written, so that a mistyped path or a
// format library's failure leaves none of them.
// progress follows the files.
Status exportMesh(const World &world, const ExportOptions &options, ExportReport *report,
                  const ProgressPart &progress = {});

#endif
