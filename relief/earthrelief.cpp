#include "relief/earthrelief.h"

#include "gdal/gdalsession.h"
#include "meshes/drawnmesh.h"
#include "relief/heightmapimport.h"

#include <QFile>

#include <cpl_vsi.h>

// Resources of a static library are registered by hand, outside any namespace.
static void registerEarthResource()
{
    Q_INIT_RESOURCE(earthrelief);
}

Status layEarthRelief(World &world)
{
    registerEarthResource();
    QFile resource(QStringLiteral(":/earth/earth-relief.tif"));
    if (!resource.open(QIODevice::ReadOnly))
        return Status::refused(
            QStringLiteral("the built-in Earth relief is missing from this program"));
    QByteArray bytes = resource.readAll();
    GdalSession session;
    // GDAL reads the relief in place, from memory.
    const char *name = "/vsimem/earth-relief.tif";
    VSIFCloseL(VSIFileFromMemBuffer(name, reinterpret_cast<GByte *>(bytes.data()),
                                    vsi_l_offset(bytes.size()), FALSE));
    LevelScale scale;
    scale.hasSeaLevel = true;
    scale.seaLevel = earthSeaLevel;
    QVector<int> levels;
    const Status status =
        levelsFromRaster(QString::fromLatin1(name), drawnMesh(world), scale, levels, nullptr);
    VSIUnlink(name);
    if (status.ok())
        world.levels = levels;
    return status;
}
