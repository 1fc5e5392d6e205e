// Writes the fuzzers' seed corpora from generated worlds: sound inputs of
// every small size, so that mutation starts from worlds the checker accepts.
//
//   fuzz_seeds DIR    writes DIR/world/*.bin, DIR/save/*.bin, DIR/raster/* and DIR/door/*
#include "fuzz/fuzzentries.h"
#include "world/tablefile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cpl_vsi.h>
#include <gdal.h>
#include <ogr_srs_api.h>

#include <vector>

#include <cstdio>

namespace {

bool writeSeed(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size())
        return true;
    std::fprintf(stderr, "fuzz_seeds: %s: %s\n", qPrintable(path), qPrintable(file.errorString()));
    return false;
}

QByteArray worldInput(const World &w)
{
    return joinWorldInput({encodeIntTable(w.header), encodeIntTable(w.levels),
                           encodeFloatTable(w.coords), encodeIntTable(w.corners),
                           encodeIntTable(w.fans), QByteArray::number(w.demoFlag) + '\n'});
}

bool writeWorldSeeds(const QDir &dir)
{
    bool ok = true;
    for (int s = 0; s <= 2; ++s) {
        for (auto terrain : {WorldRecipe::Flat, WorldRecipe::Random}) {
            const WorldRecipe recipe{s, terrain, quint32(s + 1), terrain == WorldRecipe::Random};
            const QString name = QStringLiteral("s%1-%2.bin").arg(s).arg(int(terrain));
            ok = writeSeed(dir.filePath(name), worldInput(generateWorld(recipe))) && ok;
        }
    }
    return ok;
}

// The right save, another seed's of the same size, and other worlds' saves
// that the restore must refuse.
bool writeSaveSeeds(const QDir &dir)
{
    WorldRecipe other = saveInputWorld;
    other.seed += 1;
    const QByteArray right = encodeIntTable(generateWorld(saveInputWorld).levels);
    return writeSeed(dir.filePath("right.bin"), right) &&
           writeSeed(dir.filePath("same-size.bin"), encodeIntTable(generateWorld(other).levels)) &&
           writeSeed(dir.filePath("smaller.bin"),
                     encodeIntTable(generateWorld({0, WorldRecipe::Random, 1, false}).levels)) &&
           writeSeed(dir.filePath("larger.bin"),
                     encodeIntTable(generateWorld({2, WorldRecipe::Random, 1, false}).levels)) &&
           writeSeed(dir.filePath("cut.bin"), right.chopped(3));
}

// Where a seed raster lies: a geotransform and a coordinate system, or none.
struct Placement
{
    double transform[6];
    const char *srs; // "EPSG:n", or nullptr for a bare map
};

// A small raster in a format GDAL writes, as file bytes: a sloping relief of
// the given sample type, placed as placement says.
QByteArray rasterBytes(const char *driverName, GDALDataType type, int width, int height,
                       const Placement &placement)
{
    GDALDatasetH memory =
        GDALCreate(GDALGetDriverByName("MEM"), "", width, height, 1, type, nullptr);
    std::vector<double> row(static_cast<size_t>(width));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            row[size_t(x)] = (x * 7 + y * 13) % 200 - 40;
        if (GDALRasterIO(GDALGetRasterBand(memory, 1), GF_Write, 0, y, width, 1, row.data(), width,
                         1, GDT_Float64, 0, 0) != CE_None)
            return {};
    }
    if (placement.srs) {
        GDALSetGeoTransform(memory, const_cast<double *>(placement.transform));
        OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
        OSRSetFromUserInput(srs, placement.srs);
        GDALSetSpatialRef(memory, srs);
        OSRDestroySpatialReference(srs);
    }
    const char *path = "/vsimem/seed";
    GDALDatasetH file = GDALCreateCopy(GDALGetDriverByName(driverName), path, memory, FALSE,
                                       nullptr, nullptr, nullptr);
    GDALClose(memory);
    if (!file)
        return {};
    GDALClose(file);
    vsi_l_offset size = 0;
    GByte *data = VSIGetMemFileBuffer(path, &size, FALSE);
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    VSIUnlink(path);
    return bytes;
}

// Rasters of the kinds the import takes, each behind the three scale bytes
// checkRasterInput reads: no sea level, and sea level 0 with a peak and
// no-data as sea. The last seed lays a regional raster over a global one.
bool writeRasterSeeds(const QDir &dir)
{
    GDALAllRegister();
    const Placement map{{0, 1, 0, 0, 0, 1}, nullptr};
    const Placement global{{-180, 11.25, 0, 90, 0, -11.25}, "EPSG:4326"};
    const Placement grid{{-185.625, 11.25, 0, 95.625, 0, -11.25}, "EPSG:4326"};
    const Placement eastward{{0, 11.25, 0, 90, 0, -11.25}, "EPSG:4326"};
    const Placement regional{{20, 1, 0, 40, 0, -1}, "EPSG:4326"};
    const Placement mercator{{-2e7, 1.25e6, 0, 2e7, 0, -1.25e6}, "EPSG:3857"};
    const Placement polar{{-4e6, 2.5e5, 0, 4e6, 0, -2.5e5}, "EPSG:3031"};
    const struct
    {
        const char *name, *driver;
        GDALDataType type;
        int width, height;
        const Placement &placement;
    } seeds[] = {
        {"map.png", "PNG", GDT_Byte, 32, 16, map},
        {"map16.png", "PNG", GDT_UInt16, 32, 16, map},
        {"metres.tif", "GTiff", GDT_Int16, 32, 16, global},
        {"grid.tif", "GTiff", GDT_Float32, 33, 17, grid},
        {"eastward.tif", "GTiff", GDT_Int16, 32, 16, eastward},
        {"regional.tif", "GTiff", GDT_Int16, 20, 20, regional},
        {"mercator.tif", "GTiff", GDT_Int16, 32, 32, mercator},
        {"polar.tif", "GTiff", GDT_Float32, 32, 32, polar},
    };
    bool ok = true;
    QByteArray layered = QByteArray("\x05\x00\x80", 3);
    for (const auto &seed : seeds) {
        const QByteArray raster =
            rasterBytes(seed.driver, seed.type, seed.width, seed.height, seed.placement);
        ok = !raster.isEmpty() && ok;
        ok = writeSeed(dir.filePath(QStringLiteral("plain-%1").arg(seed.name)),
                       QByteArray(3, '\0') + raster) &&
             writeSeed(dir.filePath(QStringLiteral("sea-%1").arg(seed.name)),
                       QByteArray("\x07\x00\x80", 3) + raster) &&
             ok;
        if (&seed.placement == &global)
            layered += raster + rasterPartSeparator;
        if (&seed.placement == &regional)
            layered += raster;
    }
    return writeSeed(dir.filePath(QStringLiteral("layered.tif")), layered) && ok;
}

// netCDF (classic, or HDF5 underneath for NC4) is written to disk only.
QByteArray netcdfBytes(const char *format)
{
    const QTemporaryDir scratch;
    const QString path = scratch.filePath("seed.nc");
    const QByteArray tiff =
        rasterBytes("GTiff", GDT_Int16, 32, 16, {{-180, 11.25, 0, 90, 0, -11.25}, "EPSG:4326"});
    VSIFCloseL(VSIFileFromMemBuffer("/vsimem/nc-source.tif",
                                    reinterpret_cast<GByte *>(const_cast<char *>(tiff.constData())),
                                    vsi_l_offset(tiff.size()), FALSE));
    GDALDatasetH source = GDALOpen("/vsimem/nc-source.tif", GA_ReadOnly);
    const char *options[] = {format, nullptr};
    GDALClose(GDALCreateCopy(GDALGetDriverByName("netCDF"), QFile::encodeName(path).constData(),
                             source, FALSE, const_cast<char **>(options), nullptr, nullptr));
    GDALClose(source);
    VSIUnlink("/vsimem/nc-source.tif");
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A raster of each name fuzz_door gives, with the side files GDAL reads
// beside it: a world file, a .prj, a VRT's source in a subfolder.
bool writeDoorSeeds(const QDir &dir)
{
    const Placement map{{0, 1, 0, 0, 0, 1}, nullptr};
    const auto named = [](const char *name, const QByteArray &bytes) {
        return char(doorRasterNames.indexOf(QString::fromLatin1(name))) + bytes;
    };
    const auto side = [](const char *ending, const QByteArray &bytes) {
        return rasterPartSeparator + char(doorSideNames.indexOf(QString::fromLatin1(ending))) +
               bytes;
    };
    const QByteArray tiff = rasterBytes("GTiff", GDT_Int16, 32, 16, map);
    const QByteArray worldFile("11.25\n0\n0\n-11.25\n-174.375\n84.375\n");
    const QByteArray vrt("<VRTDataset rasterXSize=\"32\" rasterYSize=\"16\"><VRTRasterBand "
                         "dataType=\"Int16\" band=\"1\"><SimpleSource><SourceFilename "
                         "relativeToVRT=\"1\">s.tif</SourceFilename></SimpleSource>"
                         "</VRTRasterBand></VRTDataset>");
    return writeSeed(dir.filePath("tif-tfw-prj"), named("r.tif", tiff) + side(".tfw", worldFile) +
                                                      side(".prj", "GEOGCS[\"WGS 84\"]")) &&
           writeSeed(dir.filePath("png-pgw"),
                     named("r.png", rasterBytes("PNG", GDT_Byte, 32, 16, map)) +
                         side(".pgw", worldFile) + side(".aux.xml", "<PAMDataset/>")) &&
           writeSeed(dir.filePath("nc"), named("r.nc", netcdfBytes("FORMAT=NC"))) &&
           writeSeed(dir.filePath("nc4"), named("r.nc", netcdfBytes("FORMAT=NC4"))) &&
           writeSeed(dir.filePath("vrt"), named("r.vrt", vrt) + side("/s.tif", tiff)) &&
           writeSeed(dir.filePath("asc-prj"),
                     named("r.asc", rasterBytes("AAIGrid", GDT_Int16, 32, 16, map)) +
                         side(".prj", "GEOGCS[\"WGS 84\"]"));
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds DIR\n");
        return 1;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    if (!root.mkpath("world") || !root.mkpath("save") || !root.mkpath("raster") ||
        !root.mkpath("door")) {
        std::fprintf(stderr, "fuzz_seeds: cannot create folders in %s\n", argv[1]);
        return 2;
    }
    const bool ok = writeWorldSeeds(QDir(root.filePath("world"))) &&
                    writeSaveSeeds(QDir(root.filePath("save"))) &&
                    writeRasterSeeds(QDir(root.filePath("raster"))) &&
                    writeDoorSeeds(QDir(root.filePath("door")));
    return ok ? 0 : 2;
}
