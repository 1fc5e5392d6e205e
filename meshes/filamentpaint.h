// The levels in filament colours, for multi-material slicers.
//
// Slicers ignore a 3MF's colour group and read only their own painting of
// each triangle: PrusaSlicer the attribute slic3rpe:mmu_segmentation, Bambu
// Studio and OrcaSlicer paint_color. Both hold the same code, a tree of
// splits of the triangle written backwards in hex digits; a triangle of one
// filament is a single leaf: "4" for filament 1, "8" for 2, and for 3 and up
// "C" preceded by the hex digit of the filament less 3 ("0C", "1C", ...).
//
// Each level 0..9 is printed by one filament; a triangle takes the filament
// of most of its corners, or of its middle corner when all three differ
// (the median of the three, which is the majority whenever there is one).
// Levels outside 0..9 count as the nearest of them; a vertex the mesh marks
// wet (export --rivers) counts as level 0, so rivers print in the sea's filament.
#ifndef FILAMENTPAINT_H
#define FILAMENTPAINT_H

#include "meshes/drawnmesh.h"
#include "world/status.h"

#include <QByteArray>
#include <QString>
#include <QVector>

const int minFilaments = 2;
const int maxFilaments = 16;

struct FilamentLevels
{
    QVector<int> filamentOfLevel; // levels 0..9, filaments from 1; empty: none
    int count = 0;                // filaments in use, 1..count

    bool painted() const { return count > 0; }
};

// --filaments N (2 to 16): the sea (level 0) filament 1, the land levels 1..9
// split into N - 1 bands from low to high (at most one level each, so a
// count above 10 leaves the last filaments unused).
FilamentLevels filamentBands(int count);

// --filament-levels GROUPS: groups of levels separated by commas, each a level
// or a range "A-B", from level 0 up, without gaps or overlaps, ending at 9:
// "0,1-4,5-9". Group k is filament k. A usage error in one line otherwise.
Status parseFilamentLevels(const QString &text, FilamentLevels &levels);

// "1: level 0; 2: levels 1-4; 3: levels 5-9", for the summary.
QString filamentLevelsText(const FilamentLevels &levels);

// The paint code of a whole triangle of one filament (1 to 16).
QByteArray paintCode(int filament);

// The filament of a mesh's triangle.
int triangleFilament(const FilamentLevels &levels, const DrawnMesh &mesh, int triangle);

// Adds both painting attributes to every triangle of a 3MF package whose
// model holds the objects' meshes in order (as encode3mfObjects writes them).
// The package is rewritten in memory; not written, naming path (the file
// the bytes are for), when it is not one lib3mf wrote.
Status paint3mf(const QString &path, QByteArray *package, const QVector<const DrawnMesh *> &objects,
                const FilamentLevels &levels);

#endif
