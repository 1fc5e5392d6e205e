// globe-world export, map and import on generated worlds: the files other
// programs read, the pixel rules, the heightmap round trip and every refusal.
#include "converters/cubemap.h"
#include "converters/drawnmesh.h"
#include "converters/earthrelief.h"
#include "converters/heightmapimport.h"
#include "converters/mapfile.h"
#include "converters/meshfiles.h"
#include "converters/projectedmap.h"
#include "converters/worldmap.h"
#include "terrain/vec3.h"
#include "world/levelstore.h"
#include "world/progress.h"
#include "world/tablefile.h"
#include "world/worldload.h"
#include "world/worldwrite.h"
#include "worldfiles.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cpl_string.h>
#include <gdal.h>
#include <ogr_srs_api.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>

using Rgb = QVector<int>;
// Expected levels at places: longitude and latitude in degrees, then the
// level (or, negated, the lowest level wanted there).
using Places = QVector<QVector<double>>;
using RasterSetup = std::function<QString(const QString &scratch)>;
Q_DECLARE_METATYPE(RasterSetup)

class ExportTest : public QObject
{
    Q_OBJECT

private slots:
    void plyVertices_data();
    void plyVertices();
    void objMatchesPly();
    void readBackByAssimp_data();
    void readBackByAssimp();
    void levelSources_data();
    void levelSources();
    void pixelRule_data();
    void pixelRule();
    void flatWorldIsSeaEverywhere_data();
    void flatWorldIsSeaEverywhere();
    void vertexPixelsShowTheirLevel_data();
    void vertexPixelsShowTheirLevel();
    void heightmapRoundTrip_data();
    void heightmapRoundTrip();
    void importGreyValues_data();
    void importGreyValues();
    void refusals_data();
    void refusals();
    void exportReplacesLinksNotFollows_data();
    void exportReplacesLinksNotFollows();
    void orientation();
    void importGeoTiff_data();
    void importGeoTiff();
    void importPlacement_data();
    void importPlacement();
    void regionalRaster();
    void noDataKeepsLevels();
    void peakDefault();
    void netcdfVariables();
    void geoTiffMap_data();
    void geoTiffMap();
    void earthTerrain();
    void projectedMapsPlaceTheEarth_data();
    void projectedMapsPlaceTheEarth();
    void cubeFacesShowTheMap_data();
    void cubeFacesShowTheMap();
    void cubeFacesAllOrNothing();
    void progressOnTerminalsOnly_data();
    void progressOnTerminalsOnly();

private:
    QString world(int subdivision, WorldRecipe::Terrain levels = WorldRecipe::Random,
                  bool demo = false);
    QTemporaryDir dir;
    QString output; // stdout and stderr of the last run
};

namespace {

int run(const QStringList &arguments, QString *output)
{
    return runProgram(GLOBE_WORLD_EXE, arguments, output);
}

// The commands as globe-world runs them, short of parsing and printing.
Status exportPly(const QString &folder, const QString &file, const LevelSource &levels = {})
{
    World world = loadTestWorld(folder);
    const Status taken = takeLevels(levels, world);
    if (!taken.ok())
        return taken;
    ExportOptions options;
    options.outputs.append({file, MeshFormat::Ply});
    ExportReport written;
    return exportMesh(world, options, &written);
}

Status mapWorld(const QString &folder, const QString &file, int width = defaultMapWidth,
                bool heightmap = false, const LevelSource &levels = {})
{
    World world = loadTestWorld(folder);
    const Status taken = takeLevels(levels, world);
    if (!taken.ok())
        return taken;
    MapOptions options;
    options.out = file;
    mapFormatOf(file, &options.format);
    options.width = width;
    options.heightmap = heightmap;
    int unrestorable = 0;
    return writeMap(world, options, &unrestorable);
}

Status mapCube(const QString &folder, const QString &file, int width, bool heightmap)
{
    MapOptions options;
    options.out = file;
    options.projection = MapProjection::Cube;
    options.width = width;
    options.heightmap = heightmap;
    int unrestorable = 0;
    return writeMap(loadTestWorld(folder), options, &unrestorable);
}

// Where a reader of OpenGL's cube-map table (GL 4.6, table 8.19) looks up a
// direction r of the Y-up frame: the face of the major axis, then s and t
// from the table's sc and tc, t = 0 on the image's top row.
QPoint cubeLookup(const Vec3 &r, int size, int *face)
{
    const double ax = std::fabs(r.x), ay = std::fabs(r.y), az = std::fabs(r.z);
    double sc, tc, ma;
    if (ax >= ay && ax >= az) {
        *face = r.x > 0 ? 0 : 1;
        sc = r.x > 0 ? -r.z : r.z;
        tc = -r.y;
        ma = ax;
    } else if (ay >= az) {
        *face = r.y > 0 ? 2 : 3;
        sc = r.x;
        tc = r.y > 0 ? r.z : -r.z;
        ma = ay;
    } else {
        *face = r.z > 0 ? 4 : 5;
        sc = r.z > 0 ? r.x : -r.x;
        tc = -r.y;
        ma = az;
    }
    auto pixel = [size](double c) { return std::min(size - 1, int((c + 1) / 2 * size)); };
    return QPoint(pixel(sc / ma), pixel(tc / ma));
}

Status importRaster(const QString &folder, const QString &raster, const LevelScale &scale = {})
{
    ImportOptions options;
    options.rasters = QStringList{raster};
    options.scale = scale;
    ImportSummary found;
    return importRelief(folder, loadTestWorld(folder, DemoTerrain::AsFlagged), options, &found);
}

QString path(const QString &dir, const char *file)
{
    return QDir(dir).filePath(QString::fromLatin1(file));
}

void setLevel(const QString &world, int vertex, int level)
{
    editIntTable(path(world, levelsFileName),
                 [=](QVector<int> &levels) { levels[vertex] = level; });
}

const int plyVertexBytes = 20;
const QByteArray plyHeaderText = "ply\n"
                                 "format binary_little_endian 1.0\n"
                                 "comment globe-world export: sRGB colours; level 0 to 9, 255 if "
                                 "outside\n"
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
                                 "end_header\n";

float floatAt(const QByteArray &bytes, int offset)
{
    return qFromLittleEndian<float>(bytes.constData() + offset);
}

Rgb rgbAt(const QImage &image, int x, int y)
{
    const QRgb pixel = image.pixel(x, y);
    return {qRed(pixel), qGreen(pixel), qBlue(pixel)};
}

const Rgb seaColour{130, 194, 246};

// A one-band GeoTIFF written through GDAL: values row by row (may be empty
// for a header alone), epsg 0 for no coordinate system.
void writeGeoTiff(const QString &file, int width, int height, GDALDataType type,
                  const std::vector<double> &values, const std::vector<double> &transform,
                  int epsg = 4326, const double *noData = nullptr,
                  const QList<const char *> &creation = {})
{
    GDALAllRegister();
    std::vector<const char *> options{"SPARSE_OK=TRUE"};
    options.insert(options.end(), creation.begin(), creation.end());
    options.push_back(nullptr);
    GDALDatasetH dataset = GDALCreate(GDALGetDriverByName("GTiff"), file.toUtf8().constData(),
                                      width, height, 1, type, const_cast<char **>(options.data()));
    QVERIFY(dataset);
    GDALSetGeoTransform(dataset, const_cast<double *>(transform.data()));
    if (epsg) {
        OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
        OSRImportFromEPSG(srs, epsg);
        GDALSetSpatialRef(dataset, srs);
        OSRDestroySpatialReference(srs);
    }
    GDALRasterBandH band = GDALGetRasterBand(dataset, 1);
    if (noData)
        GDALSetRasterNoDataValue(band, *noData);
    if (!values.empty())
        QCOMPARE(GDALRasterIO(band, GF_Write, 0, 0, width, height,
                              const_cast<double *>(values.data()), width, height, GDT_Float64, 0,
                              0),
                 CE_None);
    GDALClose(dataset);
}

// The vertex of the loaded world nearest a place, by the geography
// convention: longitude 180 degrees - azimuth, latitude 90 degrees - polar angle.
int vertexAt(const World &world, double longitude, double latitude)
{
    const double theta = (90 - latitude) * M_PI / 180, phi = M_PI - longitude * M_PI / 180;
    const Vec3 place = unitDirection(theta, phi);
    int nearest = 0;
    double best = -2;
    for (int v = 0; v < world.vertexCount; ++v) {
        const double closeness =
            dot(place, unitDirection(world.coords[2 * v], world.coords[2 * v + 1]));
        if (closeness > best) {
            best = closeness;
            nearest = v;
        }
    }
    return nearest;
}

// Checks the levels of the world loaded from folder at each place.
void checkPlaces(const QString &folder, const Places &places)
{
    const World world = loadTestWorld(folder);
    for (const QVector<double> &place : places) {
        const int level = world.levels[vertexAt(world, place[0], place[1])];
        const QString where = QString("%1, %2: level %3").arg(place[0]).arg(place[1]).arg(level);
        QVERIFY2(place[2] >= 0 ? level == place[2] : level >= -place[2], qPrintable(where));
    }
}

} // namespace

QString ExportTest::world(int subdivision, WorldRecipe::Terrain levels, bool demo)
{
    static int made = 0;
    const QString folder = dir.filePath(QStringLiteral("world%1").arg(++made));
    writeTestWorld(folder, {subdivision, levels, 1, demo});
    return folder;
}

void ExportTest::plyVertices_data()
{
    QTest::addColumn<int>("subdivision");
    QTest::addColumn<int>("vertex");
    QTest::addColumn<int>("level");
    QTest::addColumn<Rgb>("rgb"); // then the level byte
    QTest::addColumn<double>("radius");
    QTest::newRow("sea at the pole") << 0 << 0 << 0 << Rgb{130, 194, 246, 0} << 0.85;
    QTest::newRow("peak, 64 times higher at S=1")
        << 1 << 5 << 9 << Rgb{149, 73, 39, 9} << 0.85 * (1 + 0.075 * 64);
    QTest::newRow("below the table: black on the base sphere")
        << 1 << 41 << -1 << Rgb{0, 0, 0, 255} << 0.85;
    QTest::newRow("above the table: black on the base sphere")
        << 0 << 11 << 12 << Rgb{0, 0, 0, 255} << 0.85;
}

void ExportTest::plyVertices()
{
    QFETCH(int, subdivision);
    QFETCH(int, vertex);
    QFETCH(int, level);
    QFETCH(Rgb, rgb);
    QFETCH(double, radius);
    const QString folder = world(subdivision, WorldRecipe::Flat);
    setLevel(folder, vertex, level);
    QVERIFY(exportPly(folder, folder + "/out.ply").ok());

    const int vertices = 10 * (1 << 2 * subdivision) + 2, faces = 2 * vertices - 4;
    const QByteArray ply = readBytes(folder + "/out.ply");
    const QByteArray header = QString(plyHeaderText).arg(vertices).arg(faces).toLatin1();
    QVERIFY(ply.startsWith(header));
    QCOMPARE(ply.size(), header.size() + plyVertexBytes * vertices + 13 * faces);

    const int at = header.size() + plyVertexBytes * vertex;
    const double x = floatAt(ply, at), y = floatAt(ply, at + 4), z = floatAt(ply, at + 8);
    QVERIFY(std::fabs(std::sqrt(x * x + y * y + z * z) - radius) < 1e-5);
    QCOMPARE(
        (Rgb{uchar(ply[at + 12]), uchar(ply[at + 13]), uchar(ply[at + 14]), uchar(ply[at + 15])}),
        rgb);
    QCOMPARE(floatAt(ply, at + 16), float(level)); // quality, for MeshLab
    QVector<int> corners;
    QVERIFY(readIntTable(path(folder, cornersFileName), corners).ok());
    const QByteArray lastFace = ply.right(13);
    QCOMPARE(int(lastFace[0]), 3);
    for (int k = 0; k < 3; ++k)
        QCOMPARE(qFromLittleEndian<qint32>(lastFace.constData() + 1 + 4 * k),
                 corners[4 * (faces - 1) + k]);
}

void ExportTest::objMatchesPly()
{
    const QString folder = world(2);
    ExportOptions options;
    options.outputs = {{folder + "/a.ply", MeshFormat::Ply}, {folder + "/a.obj", MeshFormat::Obj}};
    ExportReport written;
    QVERIFY(exportMesh(loadTestWorld(folder), options, &written).ok());
    const QByteArray ply = readBytes(folder + "/a.ply");
    const int body = ply.indexOf("end_header\n") + 11;
    const QList<QByteArray> lines = readBytes(folder + "/a.obj").split('\n');
    int vertices = 0, faces = 0;
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields[0] == "v") {
            const int at = body + plyVertexBytes * vertices++;
            // The PLY is in the editor's frame, the OBJ Y up: (x, z, -y).
            QCOMPARE(fields[1].toFloat(), floatAt(ply, at));
            QCOMPARE(fields[2].toFloat(), floatAt(ply, at + 8));
            QCOMPARE(fields[3].toFloat(), -floatAt(ply, at + 4));
            for (int k = 0; k < 3; ++k)
                QCOMPARE(qRound(fields[4 + k].toFloat() * 255), int(uchar(ply[at + 12 + k])));
        } else if (fields[0] == "f") {
            const int at = body + plyVertexBytes * 162 + 13 * faces++ + 1;
            for (int k = 0; k < 3; ++k)
                QCOMPARE(fields[1 + k].toInt(),
                         qFromLittleEndian<qint32>(ply.constData() + at + 4 * k) + 1);
        }
    }
    QCOMPARE(vertices, 162);
    QCOMPARE(faces, 320);
}

void ExportTest::readBackByAssimp_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("PLY") << "ply";
    QTest::newRow("OBJ") << "obj";
}

// Another program's reader, not ours: the counts it reports after its own
// processing, and that it saw triangles only.
void ExportTest::readBackByAssimp()
{
    QFETCH(QString, format);
    const QString assimp = QStandardPaths::findExecutable("assimp");
    if (assimp.isEmpty())
        QSKIP("assimp (assimp-utils) is not installed");
    const QString folder = world(4), file = folder + "/globe." + format;
    ExportOptions options;
    options.outputs = {{file, format == "ply" ? MeshFormat::Ply : MeshFormat::Obj}};
    ExportReport written;
    QVERIFY(exportMesh(loadTestWorld(folder), options, &written).ok());
    QProcess process;
    process.start(assimp, {"info", file});
    QVERIFY(process.waitForFinished(60000));
    const QString info = process.readAllStandardOutput();
    for (const char *expected : {"Vertices:\\s+2562\\n", "Faces:\\s+5120\\n",
                                 "Primitive Types:\\s+triangles\\n", "\\[2562 / 0 / 5120 \\|"})
        QVERIFY2(info.contains(QRegularExpression(expected)), qPrintable(expected + info));
}

void ExportTest::levelSources_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("level"); // of vertex 3, 7 in the demo terrain, 5 in save.dat
    QTest::addColumn<QString>("note");
    QTest::addColumn<QString>("summary"); // in info's output
    QTest::newRow("base002.dat as stored, whatever demo.txt says")
        << QStringList() << 0 << "as stored (demo.txt is on: add --demo"
        << "sea (level 0) 100.0%";
    QTest::newRow("--demo as the editor starts") << QStringList{"--demo"} << 7 << "demo terrain"
                                                 << "sea (level 0) 0.0%";
    QTest::newRow("--levels as stored") << QStringList{"--levels", "save.dat"} << 5 << "save.dat"
                                        << "level 5: 1 vertices, 2.4%";
    QTest::newRow("--levels with --demo")
        << QStringList{"--levels", "save.dat", "--demo"} << 7 << "save.dat with the demo"
        << "sea (level 0) 0.0%";
}

void ExportTest::levelSources()
{
    QFETCH(QStringList, options);
    QFETCH(int, level);
    QFETCH(QString, note);
    QFETCH(QString, summary);
    const QString folder = world(1, WorldRecipe::Flat, true);
    QVector<int> saved(42, 0);
    saved[3] = 5;
    QVERIFY(writeIntTable(dir.filePath("save.dat"), saved).ok());
    options.replaceInStrings(QRegularExpression("^save.dat$"), dir.filePath("save.dat"));
    QCOMPARE(run(QStringList{"export", folder, "--ply", folder + "/out.ply"} + options, &output),
             0);
    QVERIFY2(output.contains(note), qPrintable(output));
    const QByteArray ply = readBytes(folder + "/out.ply");
    QCOMPARE(int(ply[ply.indexOf("end_header\n") + 11 + plyVertexBytes * 3 + 15]), level);
    QCOMPARE(run(QStringList{"info", folder} + options, &output), 0);
    QVERIFY2(output.contains(summary) && output.contains(note), qPrintable(output));
}

void ExportTest::pixelRule_data()
{
    QTest::addColumn<double>("theta");
    QTest::addColumn<double>("phi");
    QTest::addColumn<QPoint>("pixel");
    const double pi = M_PI;
    QTest::newRow("north pole") << 0.0 << 0.0 << QPoint(0, 0);
    QTest::newRow("south pole") << pi << 0.0 << QPoint(0, 1023);
    QTest::newRow("a pixel centre") << pi * 7.5 / 1024 << 2 * pi * (1 - 5.5 / 2048) << QPoint(5, 7);
    QTest::newRow("equator on -y, longitude 0: the centre") << pi / 2 << pi << QPoint(1024, 512);
    QTest::newRow("+x is 90 degrees east: right of the centre")
        << pi / 2 << pi / 2 << QPoint(1536, 512);
    QTest::newRow("just west of 180 degrees") << 1.0 << 1e-6 << QPoint(2047, 325);
    QTest::newRow("just east of -180 degrees") << 1.0 << 2 * pi - 1e-6 << QPoint(0, 325);
    QTest::newRow("azimuth 2 pi is 0") << 1.0 << 2 * pi << QPoint(0, 325);
    QTest::newRow("negative azimuth wraps") << 1.0 << -1e-6 << QPoint(0, 325);
}

void ExportTest::pixelRule()
{
    QFETCH(double, theta);
    QFETCH(double, phi);
    QFETCH(QPoint, pixel);
    QCOMPARE(pixelOf(theta, phi, 2048), pixel);
}

void ExportTest::flatWorldIsSeaEverywhere_data()
{
    QTest::addColumn<int>("subdivision");
    QTest::addColumn<int>("width");
    QTest::newRow("icosahedron, smallest map") << 0 << 2;
    QTest::newRow("icosahedron, odd pixel count across") << 0 << 202;
    QTest::newRow("subdivision 3") << 3 << 512;
    QTest::newRow("subdivision 4, default width") << 4 << 0;
}

// A pixel no triangle claims stays black: a crack at the seam, at a pole or
// between neighbours would show here.
void ExportTest::flatWorldIsSeaEverywhere()
{
    QFETCH(int, subdivision);
    QFETCH(int, width);
    const QString folder = world(subdivision, WorldRecipe::Flat), png = folder + "/map.png";
    const int w = width ? width : 2048;
    QVERIFY(mapWorld(folder, png, w).ok());
    const QImage image(png);
    QCOMPARE(image.size(), QSize(w, w / 2));
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            QVERIFY2(rgbAt(image, x, y) == seaColour, qPrintable(QString("%1,%2").arg(x).arg(y)));
    }
}

void ExportTest::vertexPixelsShowTheirLevel_data()
{
    QTest::addColumn<int>("subdivision");
    QTest::newRow("subdivision 3") << 3;
    QTest::newRow("subdivision 4") << 4;
}

// Within a pixel of a vertex its own corner outweighs the others, so its
// pixel is close to its level's colour, and the pole fills row 0.
void ExportTest::vertexPixelsShowTheirLevel()
{
    QFETCH(int, subdivision);
    const QString folder = world(subdivision, WorldRecipe::Random, true), png = folder + "/m.png";
    QVERIFY(mapWorld(folder, png, defaultMapWidth, false, {QString(), true}).ok());
    const QImage image(png);
    const World world = loadTestWorld(folder, DemoTerrain::On);
    auto near = [&](int x, int y, int v) {
        const Rgb8 want = levelRgb8(world.levels[v]);
        const Rgb got = rgbAt(image, x, y);
        return std::abs(got[0] - want.red) <= 8 && std::abs(got[1] - want.green) <= 8 &&
               std::abs(got[2] - want.blue) <= 8;
    };
    for (int v = 0; v < world.vertexCount; ++v) {
        const QPoint p = pixelOf(world.coords[2 * v], world.coords[2 * v + 1], 2048);
        QVERIFY2(near(p.x(), p.y(), v), qPrintable(QString::number(v)));
    }
    for (int x = 0; x < 2048; ++x)
        QVERIFY(near(x, 0, 0));
}

void ExportTest::heightmapRoundTrip_data()
{
    QTest::addColumn<int>("subdivision");
    QTest::addColumn<bool>("fromSave"); // map a save.dat instead of base002.dat
    QTest::addColumn<QString>("format");
    QTest::newRow("subdivision 3") << 3 << false << "png";
    QTest::newRow("subdivision 4") << 4 << false << "png";
    QTest::newRow("subdivision 4 from a save.dat") << 4 << true << "png";
    QTest::newRow("subdivision 0 through a GeoTIFF") << 0 << false << "tif";
    QTest::newRow("subdivision 8 through a GeoTIFF") << 8 << false << "tif";
}

void ExportTest::heightmapRoundTrip()
{
    QFETCH(int, subdivision);
    QFETCH(bool, fromSave);
    QFETCH(QString, format);
    const QString folder = world(subdivision), first = folder + "/h1." + format;
    const QByteArray old = readBytes(path(folder, levelsFileName));
    QString mapped = path(folder, levelsFileName);
    if (fromSave) {
        mapped = dir.filePath("other.dat");
        writeBytes(mapped,
                   readBytes(path(world(subdivision, WorldRecipe::Random), levelsFileName)));
        editIntTable(mapped,
                     [](QVector<int> &levels) { std::reverse(levels.begin(), levels.end()); });
    }
    QVERIFY(mapWorld(folder, first, defaultMapWidth, true, {mapped, false}).ok());
    QVERIFY(importRaster(folder, first).ok());
    QCOMPARE(readBytes(path(folder, levelsFileName)), readBytes(mapped));
    QCOMPARE(readBytes(path(folder, "base002.dat.bak")), old);
    if (format != "png")
        return;

    const QImage image(first);
    QCOMPARE(image.format(), QImage::Format_Grayscale16);
    QVERIFY(mapWorld(folder, folder + "/h2.png", defaultMapWidth, true).ok());
    QCOMPARE(QImage(folder + "/h2.png"), image);
    QSet<int> values;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            values << reinterpret_cast<const quint16 *>(image.constScanLine(y))[x];
    }
    QVERIFY(values.size() == 10 && values.contains(0) && values.contains(7282) &&
            values.contains(65535));
}

void ExportTest::importGreyValues_data()
{
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("level");
    QTest::newRow("16-bit, level 1") << QImage::Format_Grayscale16 << 7282 << 1;
    QTest::newRow("16-bit, first value of level 1") << QImage::Format_Grayscale16 << 6554 << 1;
    QTest::newRow("16-bit, last value of level 0") << QImage::Format_Grayscale16 << 6553 << 0;
    QTest::newRow("8-bit, first value of level 9: the end steps are as wide as the others")
        << QImage::Format_Grayscale8 << 230 << 9;
    QTest::newRow("8-bit, top") << QImage::Format_Grayscale8 << 255 << 9;
    QTest::newRow("8-bit, level 5") << QImage::Format_Grayscale8 << 142 << 5;
    QTest::newRow("grey RGB, 8 bits") << QImage::Format_RGB32 << 28 << 1;
}

void ExportTest::importGreyValues()
{
    QFETCH(QImage::Format, format);
    QFETCH(int, value);
    QFETCH(int, level);
    const QString folder = world(2), png = folder + "/grey.png";
    QImage image(64, 32, format);
    image.fill(format == QImage::Format_RGB32 ? qRgb(value, value, value) : uint(value));
    QVERIFY(image.save(png));
    QVERIFY(importRaster(folder, png).ok());
    QVector<int> levels;
    QVERIFY(readIntTable(path(folder, levelsFileName), levels).ok());
    QCOMPARE(levels, QVector<int>(162, level));
}

using Setup = std::function<QStringList(const QString &world, const QString &scratch)>;
Q_DECLARE_METATYPE(Setup)

void ExportTest::refusals_data()
{
    QTest::addColumn<Setup>("setup"); // returns the command line
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("lines");
    auto image = [](const QString &file, int width, int height, QColor colour) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(colour);
        image.save(file);
        return file;
    };
    auto import = [](const QString &w, const QString &png) {
        return QStringList{"import", w, "--heightmap", png};
    };
    QTest::newRow("missing image")
        << Setup([=](const QString &w, const QString &s) { return import(w, s + "/none.png"); })
        << 2 << "none.png: no such file" << 1;
    QTest::newRow("text named .png") << Setup([=](const QString &w, const QString &s) {
        writeBytes(s + "/text.png", "not a picture\n");
        return import(w, s + "/text.png");
    }) << 2 << "text.png: not a readable raster"
                                     << 1;
    QTest::newRow("square image") << Setup([=](const QString &w, const QString &s) {
        return import(w, image(s + "/square.png", 40, 40, Qt::gray));
    }) << 2 << "square.png: is 40 x 40 pixels, but a map must be twice as wide"
                                  << 1;
    QTest::newRow("colour image") << Setup([=](const QString &w, const QString &s) {
        return import(w, image(s + "/red.png", 40, 20, Qt::red));
    }) << 2 << "red.png: has coloured pixels"
                                  << 1;
    QTest::newRow("geotransform in metres without a coordinate system") << Setup([=](const QString
                                                                                         &w,
                                                                                     const QString
                                                                                         &s) {
        writeGeoTiff(s + "/metres.tif", 100, 50, GDT_Byte, {}, {500000, 10, 0, 4000000, 0, -10}, 0);
        return import(w, s + "/metres.tif");
    }) << 2 << "metres.tif: covers x 500000 to 501000 and y 3999500 to 4000000, which are not"
                                                                        << 1;
    // 1.5 GiB in one strip: GDAL would decode it whole.
    QTest::newRow("one strip too large to decode")
        << Setup([=](const QString &w, const QString &s) {
               writeGeoTiff(s + "/strip.tif", 20000, 10000, GDT_Float64, {},
                            {-180, 0.018, 0, 90, 0, -0.018}, 4326, nullptr,
                            {"BLOCKYSIZE=10000", "COMPRESS=DEFLATE"});
               return import(w, s + "/strip.tif");
           })
        << 2 << "strip.tif: stores its samples in blocks of 20000 x 10000 (1525 MiB decoded)" << 1;
    QTest::newRow("second raster missing") << Setup([=](const QString &w, const QString &s) {
        return QStringList{"import",      w,
                           "--heightmap", image(s + "/grey.png", 40, 20, QColor(128, 128, 128)),
                           "--heightmap", s + "/none.tif"};
    }) << 2 << "none.tif: no such file" << 1;
    // 74 bytes that claim 200,000 x 100,000 pixels: read row by row, at the
    // world's resolution, until the first row that is not there.
    QTest::newRow("PNG header lying about its size")
        << Setup([=](const QString &w, const QString &s) {
               writeBytes(s + "/liar.png",
                          QByteArray::fromHex("89504e470d0a1a0a0000000d4948445200030d40000186a008"
                                              "00000000022075210000001149444154789c636018"
                                              "05a360140c77000003e80001b3a6d3460000000049"
                                              "454e44ae426082"));
               return import(w, s + "/liar.png");
           })
        << 2 << "liar.png: cannot be read" << 1;
    QTest::newRow("map to an unknown format") << Setup([](const QString &w, const QString &s) {
        return QStringList{"map", w, "--out", s + "/map.jpg"};
    }) << 1 << "map.jpg: the name must end in .png"
                                              << 1;
    QTest::newRow("import into a broken world") << Setup([=](const QString &w, const QString &s) {
        QFile(path(w, cornersFileName)).resize(100);
        return import(w, image(s + "/grey.png", 40, 20, Qt::gray));
    }) << 2 << "base004.dat: declares 5120 elements but holds only 24"
                                                << 2;
    QTest::newRow("map of a broken world") << Setup([](const QString &w, const QString &s) {
        QFile(path(w, cornersFileName)).resize(100);
        return QStringList{"map", w, "--out", s + "/map.png"};
    }) << 2 << "base004.dat: declares 5120 elements"
                                           << 2;
    QTest::newRow("other world's save.dat") << Setup([=](const QString &w, const QString &s) {
        writeIntTable(s + "/save.dat", QVector<int>(162));
        return QStringList{"export", w, "--ply", s + "/out.ply", "--levels", s + "/save.dat"};
    }) << 2 << "save.dat: holds 162 levels, but the world has 642 vertices"
                                            << 1;
    QTest::newRow("missing --levels file") << Setup([](const QString &w, const QString &s) {
        return QStringList{"info", w, "--levels", s + "/save.dat"};
    }) << 2 << "save.dat: " << 1;
    // A raw band took /etc/passwd's bytes as samples; /vsicurl/ made requests.
    QTest::newRow("VRT raw band")
        << Setup([=](const QString &w, const QString &s) {
               writeBytes(
                   s + "/raw.vrt",
                   "<VRTDataset rasterXSize=\"64\" rasterYSize=\"32\">\n"
                   "  <VRTRasterBand dataType=\"Byte\" band=\"1\" subClass=\"VRTRawRasterBand\">\n"
                   "    <SourceFilename>/etc/passwd</SourceFilename>\n"
                   "  </VRTRasterBand>\n"
                   "</VRTDataset>\n");
               return import(w, s + "/raw.vrt");
           })
        << 2
        << "raw.vrt: a raw band (VRTRawRasterBand), which reads the bytes of any file: "
           "/etc/passwd"
        << 1;
    // PROJ opened the grid a coordinate system names, a FIFO: the import hung.
    QTest::newRow("FIFO-grid") // no space: the name goes into a PROJ string
        << Setup([=](const QString &w, const QString &s) {
               image(s + "/grey.png", 64, 32, Qt::gray);
               ::mkfifo(QFile::encodeName(s + "/grid").constData(), 0600);
               writeBytes(s + "/grid.vrt",
                          "<VRTDataset rasterXSize=\"64\" rasterYSize=\"32\">\n"
                          "  <SRS>+proj=merc +ellps=intl +nadgrids=" +
                              s.toUtf8() +
                              "/grid +units=m</SRS>\n"
                              "  <GeoTransform>-2e7, 625000, 0, 1e7, 0, -625000</GeoTransform>\n"
                              "  <VRTRasterBand dataType=\"Byte\" band=\"1\"><SimpleSource>\n"
                              "    <SourceFilename relativeToVRT=\"1\">grey.png</SourceFilename>\n"
                              "  </SimpleSource></VRTRasterBand>\n"
                              "</VRTDataset>\n");
               return import(w, s + "/grid.vrt");
           })
        << 2 << "grid.vrt: " << 1;
    // A coordinate system's name is the file's, and held a newline.
    QTest::newRow("newline in a coordinate system's name")
        << Setup([=](const QString &w, const QString &s) {
               image(s + "/grey.png", 64, 32, Qt::gray);
               writeBytes(s + "/named.vrt",
                          "<VRTDataset rasterXSize=\"64\" rasterYSize=\"32\">\n"
                          "  <SRS>GEOGCS[\"Two&#10;lines\",DATUM[\"WGS_1984\",SPHEROID[\"WGS "
                          "84\",6378137,298.257223563]],PRIMEM[\"Greenwich\",0],UNIT[\"degree\","
                          "0.0174532925199433],AUTHORITY[\"EPSG\",\"4978\"]]</SRS>\n"
                          "  <GeoTransform>-180, 5.625, 0, 90, 0, -5.625</GeoTransform>\n"
                          "  <VRTRasterBand dataType=\"Byte\" band=\"1\"><SimpleSource>\n"
                          "    <SourceFilename relativeToVRT=\"1\">grey.png</SourceFilename>\n"
                          "  </SimpleSource></VRTRasterBand>\n"
                          "</VRTDataset>\n");
               return import(w, s + "/named.vrt");
           })
        << 2 << "is in Two\\nlines, but its code EPSG:4978" << 1;
    QTest::newRow("/vsicurl/ name") << Setup([=](const QString &w, const QString &) {
        return import(w, "/vsicurl/http://127.0.0.1:9/relief.tif");
    }) << 2 << "relief.tif: a GDAL virtual file path"
                                    << 1;
    QTest::newRow("export into a missing folder") << Setup([](const QString &w, const QString &s) {
        return QStringList{"export", w, "--obj", s + "/no/such/folder/out.obj"};
    }) << 2 << "out.obj: not written" << 1;
    QTest::newRow("odd width") << Setup([](const QString &w, const QString &s) {
        return QStringList{"map", w, "--png", s + "/map.png", "--width", "101"};
    }) << 1 << "--width must be an even number from 2 to 16384, not '101'"
                               << 1;
    QTest::newRow("map without --out") << Setup([](const QString &w, const QString &) {
        return QStringList{"map", w};
    }) << 1 << "map: missing --out FILE"
                                       << 1;
    auto map = [](const QString &w, const QString &s, const QStringList &options) {
        return QStringList{"map", w, "--out", s + "/map.png"} + options;
    };
    QTest::newRow("unknown projection") << Setup([=](const QString &w, const QString &s) {
        return map(w, s, {"--projection", "mercator"});
    }) << 1 << "--projection must be equirectangular, cube,"
                                        << 1;
    QTest::newRow("centre beyond the poles") << Setup([=](const QString &w, const QString &s) {
        return map(w, s, {"--projection", "orthographic", "--center", "10,91"});
    }) << 1 << "--center must be LON or LON,LAT"
                                             << 1;
    QTest::newRow("graticule of 0 degrees") << Setup([=](const QString &w, const QString &s) {
        return map(w, s, {"--graticule", "0"});
    }) << 1 << "--graticule must be more than 0"
                                            << 1;
    QTest::newRow("export without a format") << Setup([](const QString &w, const QString &) {
        return QStringList{"export", w};
    }) << 1 << "export: give --out FILE" << 1;
}

// Every refusal is one line (a broken world's are the checker's), and leaves
// the world's levels, and the scratch folder, as they were.
void ExportTest::refusals()
{
    QFETCH(Setup, setup);
    QFETCH(int, status);
    QFETCH(QString, message);
    QFETCH(int, lines);
    const QString folder = world(3);
    const QString scratch = dir.filePath(QString("scratch%1").arg(QTest::currentDataTag()));
    QVERIFY(QDir().mkpath(scratch));
    const QStringList arguments = setup(folder, scratch);
    const QStringList before = QDir(scratch).entryList(QDir::Files);
    const QByteArray levels = readBytes(path(folder, levelsFileName));
    QCOMPARE(run(arguments, &output), status);
    QVERIFY2(output.contains(message), qPrintable(output));
    QCOMPARE(output.count('\n'), lines);
    QCOMPARE(QDir(scratch).entryList(QDir::Files), before);
    QCOMPARE(QDir(scratch).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
    QCOMPARE(readBytes(path(folder, levelsFileName)), levels);
    QVERIFY(!QFile::exists(path(folder, "base002.dat.bak")));
}

void ExportTest::exportReplacesLinksNotFollows_data()
{
    addPlantedLinkRows();
}

// export --out wrote through a link planted at OUT.partial into the file it
// named, with status 0.
void ExportTest::exportReplacesLinksNotFollows()
{
    QFETCH(PlantedLink, link);
    const QString folder = world(1);
    const QString scratch = dir.filePath(QString("links%1").arg(int(link)));
    QVERIFY(QDir().mkpath(scratch));
    const QString victim = scratch + "/victim", out = scratch + "/out.ply";
    writeBytes(victim, "someone's file\n");
    plantLink(link, out, victim);
    const Status exported = exportPly(folder, out);
    QVERIFY2(exported.ok(), qPrintable(exported.message()));
    QCOMPARE(readBytes(victim), QByteArray("someone's file\n"));
    QVERIFY(isPlainFile(out));
    QVERIFY(readBytes(out).startsWith("ply\n"));
}

// The map's right is east on the globe: a mark 90 degrees east of the
// centre raises the vertices on +x (azimuth pi / 2), not their mirror
// images on -x, and the map of the world shows it right of the centre.
void ExportTest::orientation()
{
    const QString folder = world(3, WorldRecipe::Flat), png = folder + "/east.png";
    QImage image(64, 32, QImage::Format_Grayscale8);
    image.fill(0);
    for (int y = 12; y < 20; ++y) {   // latitudes 22.5 north to 22.5 south
        for (int x = 44; x < 52; ++x) // longitudes 67.5 to 112.5 east
            image.scanLine(y)[x] = 255;
    }
    QVERIFY(image.save(png));
    QVERIFY(importRaster(folder, png).ok());
    const World world = loadTestWorld(folder);
    const QVector<int> &vertexLevels = world.levels;
    int east = 0, west = 0;
    for (int v = 0; v < world.vertexCount; ++v) {
        const double theta = world.coords[2 * v], phi = world.coords[2 * v + 1];
        if (std::fabs(theta - M_PI / 2) > 0.2)
            continue;
        if (std::fabs(phi - M_PI / 2) < 0.2)
            east += vertexLevels[v] == 9 ? 1 : -1000;
        if (std::fabs(phi - 3 * M_PI / 2) < 0.2)
            west += vertexLevels[v] == 0 ? 1 : -1000;
    }
    QVERIFY2(east > 0 && west > 0, qPrintable(QString("%1 %2").arg(east).arg(west)));
    QVERIFY(mapWorld(folder, folder + "/map.png", 256).ok());
    const QImage map(folder + "/map.png");
    QCOMPARE(rgbAt(map, 192, 64), (Rgb{149, 73, 39}));
    QCOMPARE(rgbAt(map, 64, 64), seaColour);
}

void ExportTest::importGeoTiff_data()
{
    QTest::addColumn<RasterSetup>("setup"); // writes the raster, returns its path
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<Places>("places");
    // Metres: ocean 4000 deep, land 1000 high from 0 to 60 east and 0 to 40
    // north, a plateau of 8000 from 20 to 40 east and 10 to 30 north, and
    // no-data (32767) in the ocean that must not count as the highest peak.
    QTest::newRow("signed 16-bit metres, sea level 0")
        << RasterSetup([](const QString &scratch) {
               std::vector<double> metres(360 * 180, -4000);
               for (int y = 50; y < 90; ++y) {
                   for (int x = 180; x < 240; ++x)
                       metres[size_t(360 * y + x)] =
                           x >= 200 && x < 220 && y >= 60 && y < 80 ? 8000 : 1000;
               }
               for (int x = 0; x < 30; ++x)
                   metres[size_t(360 * 120 + x)] = 32767;
               const double noData = 32767;
               writeGeoTiff(scratch + "/relief.tif", 360, 180, GDT_Int16, metres,
                            {-180, 1, 0, 90, 0, -1}, 4326, &noData);
               return scratch + "/relief.tif";
           })
        << QStringList{"--sea-level", "0"}
        << Places{{30, 20, 9}, {5, 5, 2}, {-150, -30, 0}, {-30, 20, 0}, {30, -20, 0}};
    // Samples on whole half degrees from pole to pole, 721 x 361, without a
    // coordinate system; a mark of 100 from 30 to 60 east, 10 to 40 north.
    QTest::newRow("grid-registered floats") << RasterSetup([](const QString &scratch) {
        std::vector<double> values(721 * 361, 0);
        for (int y = 100; y <= 160; ++y) {
            for (int x = 420; x <= 480; ++x)
                values[size_t(721 * y + x)] = 100;
        }
        writeGeoTiff(scratch + "/grid.tif", 721, 361, GDT_Float32, values,
                     {-180.25, 0.5, 0, 90.25, 0, -0.5}, 0);
        return scratch + "/grid.tif";
    }) << QStringList() << Places{{45, 25, 9}, {-45, 25, 0}, {45, -25, 0}, {0, 90, 0}};
}

void ExportTest::importPlacement_data()
{
    QTest::addColumn<RasterSetup>("setup"); // writes the raster, returns its path
    QTest::addColumn<Places>("places");
    // ETOPO5's layout: 1-degree pixels from 0 east to 360; land 1000 high
    // from 160 to 100 west and 10 to 40 north, the rest ocean 4000 deep.
    QTest::newRow("longitudes 0 to 360") << RasterSetup([](const QString &scratch) {
        std::vector<double> metres(360 * 180, -4000);
        for (int y = 50; y < 80; ++y) {
            for (int x = 200; x < 260; ++x)
                metres[size_t(360 * y + x)] = 1000;
        }
        writeGeoTiff(scratch + "/east.tif", 360, 180, GDT_Int16, metres, {0, 1, 0, 90, 0, -1});
        return scratch + "/east.tif";
    }) << Places{{-130, 25, 9}, {130, 25, 0}, {-60, 25, 0}, {-130, -25, 0}};
    // Web Mercator, 512 x 512 pixels over the whole square: land from 20
    // to 60 east and 40 to 70 north, where Mercator's rows are far from
    // equal steps of latitude.
    QTest::newRow("web Mercator") << RasterSetup([](const QString &scratch) {
        const double half = 20037508.342789244, pixel = 2 * half / 512, r = 6378137;
        std::vector<double> metres(512 * 512, -4000);
        for (int y = 0; y < 512; ++y) {
            const double latitude =
                std::atan(std::sinh((half - (y + 0.5) * pixel) / r)) * 180 / M_PI;
            for (int x = 0; x < 512; ++x) {
                const double longitude = (-half + (x + 0.5) * pixel) / r * 180 / M_PI;
                if (longitude > 20 && longitude < 60 && latitude > 40 && latitude < 70)
                    metres[size_t(512 * y + x)] = 1000;
            }
        }
        writeGeoTiff(scratch + "/mercator.tif", 512, 512, GDT_Int16, metres,
                     {-half, pixel, 0, half, 0, -pixel}, 3857);
        return scratch + "/mercator.tif";
    }) << Places{{40, 55, 9}, {40, 30, 0}, {40, 77, 0}, {-140, 55, 0}, {10, 55, 0}};
    // Antarctic polar stereographic, 10 km pixels 2000 km around the pole:
    // land where x > 0, towards 90 east.
    QTest::newRow("polar stereographic") << RasterSetup([](const QString &scratch) {
        std::vector<double> metres(400 * 400, -1000);
        for (int y = 0; y < 400; ++y) {
            for (int x = 200; x < 400; ++x)
                metres[size_t(400 * y + x)] = 2000;
        }
        writeGeoTiff(scratch + "/polar.tif", 400, 400, GDT_Int16, metres,
                     {-2e6, 1e4, 0, 2e6, 0, -1e4}, 3031);
        return scratch + "/polar.tif";
    }) << Places{{90, -80, 9}, {-90, -80, 0}, {120, -75, 9}, {-60, -75, 0}};
}

// The raster lands where its georeferencing says, whatever its layout and
// coordinate system.
void ExportTest::importPlacement()
{
    QFETCH(RasterSetup, setup);
    QFETCH(Places, places);
    const QString folder = world(4, WorldRecipe::Random);
    LevelScale scale;
    scale.hasSeaLevel = true;
    QVERIFY(importRaster(folder, setup(folder), scale).ok());
    checkPlaces(folder, places);
}

namespace {

// The vertices of the world in folder whose direction lies more than margin
// degrees inside (inside true) or outside a longitude/latitude box.
QVector<int> verticesOfBox(const World &world, double west, double east, double south, double north,
                           double margin, bool inside)
{
    QVector<int> found;
    for (int v = 0; v < world.vertexCount; ++v) {
        const double latitude = 90 - world.coords[2 * v] * 180 / M_PI;
        double longitude = 180 - world.coords[2 * v + 1] * 180 / M_PI;
        longitude = std::fmod(longitude + 540, 360) - 180;
        const bool in = longitude > west + margin && longitude < east - margin &&
                        latitude > south + margin && latitude < north - margin;
        const bool out = longitude < west - margin || longitude > east + margin ||
                         latitude < south - margin || latitude > north + margin;
        if (inside ? in : out)
            found << v;
    }
    return found;
}

} // namespace

// A tile of 10 to 40 east, 0 to 20 north: its vertices take levels, every
// other keeps its own exactly, and the command says how many took them.
void ExportTest::regionalRaster()
{
    const QString folder = world(4, WorldRecipe::Random), tile = folder + "/tile.tif";
    writeGeoTiff(tile, 120, 80, GDT_Float32, std::vector<double>(120 * 80, 3000),
                 {10, 0.25, 0, 20, 0, -0.25});
    const World before = loadTestWorld(folder);
    QCOMPARE(run({"import", folder, "--heightmap", tile, "--sea-level", "0"}, &output), 0);
    const World after = loadTestWorld(folder);
    const QVector<int> inside = verticesOfBox(before, 10, 40, 0, 20, 2, true);
    const QVector<int> outside = verticesOfBox(before, 10, 40, 0, 20, 4, false);
    QVERIFY(inside.size() > 10 && outside.size() > 2400);
    for (int v : inside)
        QCOMPARE(after.levels[v], 9);
    for (int v : outside)
        QCOMPARE(after.levels[v], before.levels[v]);
    int took = 0;
    for (int v = 0; v < before.vertexCount; ++v)
        took += after.levels[v] != before.levels[v] || after.levels[v] == 9;
    const QRegularExpression line("\\n(\\d+) of 2,562 vertices \\(<?\\d+%\\) took levels from "
                                  "\\S*tile.tif; 2,\\d{3} lie beyond it and keep theirs\\n");
    const QRegularExpressionMatch match = line.match(output);
    QVERIFY2(match.hasMatch(), qPrintable(output));
    QVERIFY(match.captured(1).toInt() >= inside.size() && match.captured(1).toInt() < 100);
}

// The west half without data keeps its levels (or turns to sea with
// --no-data-is-sea), and the command says so; the east half takes its.
void ExportTest::noDataKeepsLevels()
{
    const QString folder = world(4, WorldRecipe::Random), half = folder + "/half.tif";
    const double noData = -32768;
    std::vector<double> metres(360 * 180, noData);
    for (int y = 0; y < 180; ++y) {
        for (int x = 180; x < 360; ++x)
            metres[size_t(360 * y + x)] = 500;
    }
    writeGeoTiff(half, 360, 180, GDT_Int16, metres, {-180, 1, 0, 90, 0, -1}, 4326, &noData);
    const World before = loadTestWorld(folder);
    const QVector<int> west = verticesOfBox(before, -180, 0, -90, 90, 2, true);
    const QVector<int> east = verticesOfBox(before, 0, 180, -90, 90, 2, true);
    QCOMPARE(run({"import", folder, "--heightmap", half, "--sea-level", "0"}, &output), 0);
    QVERIFY2(QRegularExpression("1,\\d{3} of 2,562 vertices \\((49|50|51)%\\) took levels from "
                                "\\S*half.tif; 1,\\d{3} had no data and keep theirs\\n")
                 .match(output)
                 .hasMatch(),
             qPrintable(output));
    World after = loadTestWorld(folder);
    for (int v : west)
        QCOMPARE(after.levels[v], before.levels[v]);
    for (int v : east)
        QCOMPARE(after.levels[v], 9);
    QCOMPARE(run({"import", folder, "--heightmap", half, "--sea-level", "0", "--no-data-is-sea"},
                 &output),
             0);
    QVERIFY2(output.contains(" had no data and are sea\n"), qPrintable(output));
    after = loadTestWorld(folder);
    for (int v : west)
        QCOMPARE(after.levels[v], 0);
}

// Without --peak, the highest vertex mean is level 9; samples below zero
// without --sea-level bring the hint.
void ExportTest::peakDefault()
{
    const QString folder = world(4, WorldRecipe::Random), relief = folder + "/relief.tif";
    std::vector<double> metres(720 * 360);
    for (int y = 0; y < 360; ++y) {
        for (int x = 0; x < 720; ++x)
            metres[size_t(720 * y + x)] = 6000 * std::sin(x * 0.05) * std::sin(y * 0.07);
    }
    writeGeoTiff(relief, 720, 360, GDT_Float32, metres, {-180, 0.5, 0, 90, 0, -0.5});
    QCOMPARE(run({"import", folder, "--heightmap", relief, "--sea-level", "0"}, &output), 0);
    const World after = loadTestWorld(folder);
    QCOMPARE(*std::max_element(after.levels.begin(), after.levels.begin() + after.vertexCount), 9);
    QVERIFY2(!output.contains("hint"), qPrintable(output));
    QCOMPARE(run({"import", folder, "--heightmap", relief}, &output), 0);
    QVERIFY2(output.contains("globe-world: hint: samples reach -") &&
                 output.contains("--sea-level 0 makes the sea level 0"),
             qPrintable(output));
}

void ExportTest::importGeoTiff()
{
    QFETCH(RasterSetup, setup);
    QFETCH(QStringList, options);
    QFETCH(Places, places);
    const QString folder = world(4, WorldRecipe::Random);
    const QString raster = setup(folder);
    LevelScale scale;
    scale.hasSeaLevel = options.size() == 2;
    scale.seaLevel = options.value(1).toDouble();
    QVERIFY(importRaster(folder, raster, scale).ok());
    checkPlaces(folder, places);
}

// A NetCDF of two variables, as GDAL writes one from two bands: the
// elevation-like one is picked without naming it, and GDAL's own name for
// the other reads that one.
void ExportTest::netcdfVariables()
{
    GDALAllRegister();
    GDALDriverH netcdf = GDALGetDriverByName("netCDF");
    if (!netcdf)
        QSKIP("this GDAL has no netCDF driver");
    const QString folder = world(3, WorldRecipe::Flat), file = folder + "/two.nc";
    GDALDatasetH memory = GDALCreate(GDALGetDriverByName("MEM"), "", 72, 36, 2, GDT_Int16, nullptr);
    double transform[6] = {-180, 5, 0, 90, 0, -5};
    GDALSetGeoTransform(memory, transform);
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(srs, 4326);
    GDALSetSpatialRef(memory, srs);
    OSRDestroySpatialReference(srs);
    std::vector<double> elevation(72 * 36, -3000), quality(72 * 36, 100);
    for (int y = 10; y < 18; ++y) {
        for (int x = 36; x < 48; ++x) // 0 to 60 east, 40 to 0 north
            elevation[size_t(72 * y + x)] = 2000;
    }
    const char *names[] = {"elevation", "quality"};
    for (int b = 0; b < 2; ++b) {
        GDALRasterBandH band = GDALGetRasterBand(memory, b + 1);
        GDALSetMetadataItem(band, "NETCDF_VARNAME", names[b], nullptr);
        QCOMPARE(GDALRasterIO(band, GF_Write, 0, 0, 72, 36, (b ? quality : elevation).data(), 72,
                              36, GDT_Float64, 0, 0),
                 CE_None);
    }
    GDALDatasetH written =
        GDALCreateCopy(netcdf, qPrintable(file), memory, FALSE, nullptr, nullptr, nullptr);
    QVERIFY(written);
    GDALClose(written);
    GDALClose(memory);
    QCOMPARE(run({"import", folder, "--heightmap", file, "--sea-level", "0"}, &output), 0);
    QVERIFY2(output.contains("two.nc: its variable NETCDF:") && output.contains(":elevation"),
             qPrintable(output));
    checkPlaces(folder, {{30, 20, 9}, {-90, 20, 0}});
    GDALDatasetH opened = GDALOpen(qPrintable(file), GA_ReadOnly);
    QVERIFY(opened);
    const QString other = QString::fromUtf8(
        CSLFetchNameValue(GDALGetMetadata(opened, "SUBDATASETS"), "SUBDATASET_2_NAME"));
    GDALClose(opened);
    QVERIFY2(other.contains("quality"), qPrintable(other));
    QCOMPARE(run({"import", folder, "--heightmap", other}, &output), 0);
    QVERIFY2(output.contains("took levels from " + other), qPrintable(output));
}

void ExportTest::geoTiffMap_data()
{
    QTest::addColumn<bool>("heightmap");
    QTest::newRow("colour map") << false;
    QTest::newRow("heightmap") << true;
}

// Read back by GDAL as other programs read it: in EPSG:4326, placed by its
// geotransform, holding the same pixels as the PNG.
void ExportTest::geoTiffMap()
{
    QFETCH(bool, heightmap);
    const QString folder = world(3);
    QVERIFY(mapWorld(folder, folder + "/map.tif", 512, heightmap).ok());
    QVERIFY(mapWorld(folder, folder + "/map.png", 512, heightmap).ok());
    GDALAllRegister();
    GDALDatasetH tiff = GDALOpen(qPrintable(folder + "/map.tif"), GA_ReadOnly);
    QVERIFY(tiff);
    double transform[6];
    QCOMPARE(GDALGetGeoTransform(tiff, transform), CE_None);
    QCOMPARE(QVector<double>(transform, transform + 6),
             (QVector<double>{-180, 360.0 / 512, 0, 90, 0, -180.0 / 256}));
    const char *code = OSRGetAuthorityCode(GDALGetSpatialRef(tiff), nullptr);
    QCOMPARE(QByteArray(code), QByteArray("4326"));
    QCOMPARE(GDALGetRasterCount(tiff), heightmap ? 1 : 3);
    GDALRasterBandH band = GDALGetRasterBand(tiff, 1);
    QCOMPARE(GDALGetRasterDataType(band), heightmap ? GDT_UInt16 : GDT_Byte);
    std::vector<double> row(512);
    const QImage png(folder + "/map.png");
    for (int y : {40, 128, 200}) {
        QCOMPARE(GDALRasterIO(band, GF_Read, 0, y, 512, 1, row.data(), 512, 1, GDT_Float64, 0, 0),
                 CE_None);
        for (int x = 0; x < 512; ++x) {
            const int value = heightmap ? reinterpret_cast<const quint16 *>(png.constScanLine(y))[x]
                                        : qRed(png.pixel(x, y));
            QCOMPARE(int(row[size_t(x)]), value);
        }
    }
    GDALClose(tiff);
    const QByteArray bytes = readBytes(folder + "/map.png");
    // The colour PNG, encoded while it is drawn, is the bytes Qt's writer
    // gives the whole image.
    QByteArray saved;
    QVERIFY(heightmap || mapFileBytes(renderColourMap(drawnMesh(loadTestWorld(folder)), 512),
                                      MapFormat::Png, &saved, nullptr));
    QVERIFY(heightmap || saved == bytes);
    const int srgb = bytes.indexOf("sRGB");
    QVERIFY(heightmap ? srgb < 0 : srgb > 0 && srgb < bytes.indexOf("IDAT"));
}

// The real Earth at the default subdivision: places land or sea as they
// are, the highest land on the Himalaya, and land 29% of the sphere.
void ExportTest::earthTerrain()
{
    const QString folder = dir.filePath("earth");
    World earth = generateWorld({6, WorldRecipe::Flat, 1, false});
    QVERIFY(layEarthRelief(earth).ok());
    QVERIFY(writeWorld(folder, earth).ok());
    checkPlaces(folder, {{10, 23, -1},   // the Sahara
                         {-25, 0, 0},    // the equatorial Atlantic
                         {-150, 0, 0},   // the Pacific
                         {-60, -5, -1},  // the Amazon
                         {135, -25, -1}, // Australia
                         {75, -20, 0},   // the Indian Ocean
                         {18, 35, 0},    // the Mediterranean
                         {100, 60, -1},  // Siberia
                         {-40, 40, 0},   // the North Atlantic
                         {86, 30, -7}}); // the Himalaya
    int land = 0;
    for (int v = 0; v < earth.vertexCount; ++v)
        land += earth.levels[v] > 0;
    const double share = double(land) / earth.vertexCount;
    QVERIFY2(share > 0.27 && share < 0.31, qPrintable(QString::number(share)));
}

void ExportTest::projectedMapsPlaceTheEarth_data()
{
    QTest::addColumn<int>("projection");
    QTest::addColumn<double>("longitude"); // the centre
    QTest::addColumn<double>("latitude");
    QTest::addColumn<Places>("places"); // 1 land, 0 sea, -1 beyond the globe
    const Places world{{10, 23, 1},   {-60, -5, 1}, {88, 32, 1},
                       {134, -25, 1}, {-150, 2, 0}, {-20, -30, 0}};
    QTest::newRow("Mollweide") << int(MapProjection::Mollweide) << 0.0 << 0.0 << world;
    QTest::newRow("Winkel tripel on 150 E")
        << int(MapProjection::WinkelTripel) << 150.0 << 0.0 << world;
    QTest::newRow("orthographic on Chad") << int(MapProjection::Orthographic) << 19.0 << 15.0
                                          << Places{{19, 15, 1}, {88, 32, 1}, {-150, 2, -1}};
    QTest::newRow("orthographic on the Pacific")
        << int(MapProjection::Orthographic) << -150.0 << 2.0 << Places{{-150, 2, 0}, {19, 15, -1}};
}

// Read back as GIS reads them: each place through PROJ from longitude and
// latitude to the file's coordinate system, then its geotransform, lands on
// land, sea or the transparent outside as on the Earth; the graticule's
// equator is drawn through the sea and nothing beside it.
void ExportTest::projectedMapsPlaceTheEarth()
{
    QFETCH(int, projection);
    QFETCH(double, longitude);
    QFETCH(double, latitude);
    QFETCH(Places, places);
    const QString folder = dir.filePath("projected-earth");
    if (!QFile::exists(path(folder, headerFileName))) {
        World earth = generateWorld({5, WorldRecipe::Flat, 1, false});
        QVERIFY(layEarthRelief(earth).ok());
        QVERIFY(writeWorld(folder, earth).ok());
    }
    MapOptions options;
    options.projection = MapProjection(projection);
    options.centerLongitude = longitude;
    options.centerLatitude = latitude;
    options.width = 400;
    int unrestorable = 0;
    for (const char *file : {"projected.tif", "plain.png", "lines.png"}) {
        options.out = folder + "/" + file;
        mapFormatOf(options.out, &options.format);
        options.graticule = QByteArray(file) == "lines.png" ? 30 : 0;
        QVERIFY(writeMap(loadTestWorld(folder), options, &unrestorable).ok());
    }
    const QImage plain(folder + "/plain.png"), lines(folder + "/lines.png");
    QCOMPARE(plain.format(), QImage::Format_ARGB32);
    QCOMPARE(plain.width(), 400);
    if (options.projection == MapProjection::Orthographic)
        QCOMPARE(plain.height(), 400);
    QCOMPARE(qAlpha(plain.pixel(0, 0)), 0);
    GDALAllRegister();
    GDALDatasetH tiff = GDALOpen(qPrintable(folder + "/projected.tif"), GA_ReadOnly);
    QVERIFY(tiff);
    QCOMPARE(GDALGetRasterCount(tiff), 4);
    double transform[6];
    QCOMPARE(GDALGetGeoTransform(tiff, transform), CE_None);
    OGRSpatialReferenceH sphere = OSRNewSpatialReference(nullptr);
    OSRSetAxisMappingStrategy(sphere, OAMS_TRADITIONAL_GIS_ORDER);
    OSRImportFromProj4(sphere, "+proj=longlat +R=6371000 +no_defs");
    OGRCoordinateTransformationH toMap =
        OCTNewCoordinateTransformation(sphere, GDALGetSpatialRef(tiff));
    CPLPushErrorHandler(CPLQuietErrorHandler); // the far side of an orthographic view
    QVERIFY(toMap);
    auto pixelOf = [&](double lon, double lat) {
        int reached = 0;
        OCTTransformEx(toMap, 1, &lon, &lat, nullptr, &reached);
        const QPoint pixel(int(std::floor((lon - transform[0]) / transform[1])),
                           int(std::floor((lat - transform[3]) / transform[5])));
        return reached && plain.rect().contains(pixel) ? pixel : QPoint(-1, -1);
    };
    for (const QVector<double> &place : places) {
        const QPoint pixel = pixelOf(place[0], place[1]);
        int rgba[4] = {0, 0, 0, 0};
        for (int band = 0; band < 4 && pixel.x() >= 0; ++band)
            QCOMPARE(GDALRasterIO(GDALGetRasterBand(tiff, band + 1), GF_Read, pixel.x(), pixel.y(),
                                  1, 1, &rgba[band], 1, 1, GDT_Int32, 0, 0),
                     CE_None);
        if (pixel.x() >= 0)
            QCOMPARE(plain.pixel(pixel), qRgba(rgba[0], rgba[1], rgba[2], rgba[3]));
        const bool sea = rgba[3] == 255 && Rgb{rgba[0], rgba[1], rgba[2]} == Rgb{130, 194, 246};
        const int found = rgba[3] == 0 ? -1 : sea ? 0 : 1;
        QVERIFY2(found == int(place[2]), qPrintable(QString("%1, %2: %3 %4 %5 %6")
                                                        .arg(place[0])
                                                        .arg(place[1])
                                                        .arg(rgba[0])
                                                        .arg(rgba[1])
                                                        .arg(rgba[2])
                                                        .arg(rgba[3])));
    }
    // The equator through the mid-Pacific, and no line 15 degrees north of
    // it, halfway between two meridians.
    const QPoint equator = pixelOf(-165, 0), beside = pixelOf(-165, 15);
    if (equator.x() >= 0) {
        QVERIFY(lines.pixel(equator) != plain.pixel(equator));
        QCOMPARE(lines.pixel(beside), plain.pixel(beside));
    }
    CPLPopErrorHandler();
    OCTDestroyCoordinateTransformation(toMap);
    OSRDestroySpatialReference(sphere);
    GDALClose(tiff);
}

void ExportTest::cubeFacesShowTheMap_data()
{
    geoTiffMap_data(); // a colour map and a heightmap
}

// Looked up as a cube-map reader looks, each face shows what the map shows
// in the same direction, found by longitude and latitude in the Y-up frame
// (pole on +Y, longitude 0 on +Z, east on +X): a swapped, mirrored or
// turned face shows another place. Colours are compared at random
// directions, near enough for the blend; heightmap values, which jump
// between corners, exactly at the vertices' directions.
void ExportTest::cubeFacesShowTheMap()
{
    QFETCH(bool, heightmap);
    const QString folder = world(3), cube = folder + "/cube.png", map = folder + "/map.png";
    const int width = 2048, size = width / 4;
    QVERIFY(mapCube(folder, cube, width, heightmap).ok());
    QVERIFY(mapWorld(folder, map, width, heightmap).ok());
    const QImage equirectangular(map);
    QVector<QImage> faces;
    for (int face = 0; face < cubeFaces; ++face) {
        faces << QImage(cubeFaceFile(cube, face));
        QCOMPARE(faces.last().size(), QSize(size, size));
    }
    auto compare = [&](const Vec3 &r) {
        const double longitude = std::atan2(r.x, r.z), latitude = std::asin(r.y);
        const int x = std::min(width - 1, int((longitude / M_PI + 1) / 2 * width));
        const int y = std::min(width / 2 - 1, int((0.5 - latitude / M_PI) * width / 2));
        int face = 0;
        const QPoint p = cubeLookup(r, size, &face);
        const QString where = QString("face %1 pixel %2,%3").arg(face).arg(p.x()).arg(p.y());
        if (heightmap) {
            const auto value = [](const QImage &image, int i, int j) {
                return reinterpret_cast<const quint16 *>(image.constScanLine(j))[i];
            };
            QVERIFY2(value(faces[face], p.x(), p.y()) == value(equirectangular, x, y),
                     qPrintable(where));
            return;
        }
        const Rgb want = rgbAt(equirectangular, x, y), got = rgbAt(faces[face], p.x(), p.y());
        for (int channel = 0; channel < 3; ++channel)
            QVERIFY2(std::abs(got[channel] - want[channel]) <= 8, qPrintable(where));
    };
    const World world = loadTestWorld(folder);
    QRandomGenerator random(7);
    for (int k = 0; k < (heightmap ? world.vertexCount : 4000); ++k) {
        Vec3 r;
        if (heightmap) {
            const Vec3 d = unitDirection(world.coords[2 * k], world.coords[2 * k + 1]);
            r = {d.x, d.z, -d.y};
        } else {
            r = normalised({random.generateDouble() - 0.5, random.generateDouble() - 0.5,
                            random.generateDouble() - 0.5});
        }
        compare(r);
        if (QTest::currentTestFailed())
            return;
    }
}

// A face that cannot be written (a folder has its name) leaves the old
// faces as they were, and nothing beside them.
void ExportTest::cubeFacesAllOrNothing()
{
    const QString folder = world(2), cube = folder + "/cube.png";
    const int last = cubeFaces - 1;
    for (int face = 0; face < last; ++face)
        writeBytes(cubeFaceFile(cube, face), "old");
    QVERIFY(QDir().mkdir(cubeFaceFile(cube, last)));
    const QStringList before = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    const Status status = mapCube(folder, cube, 64, false);
    QCOMPARE(status.kind(), Status::NotWritten);
    QVERIFY2(status.message().startsWith(cubeFaceFile(cube, last)), qPrintable(status.message()));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), before);
    for (int face = 0; face < last; ++face)
        QCOMPARE(readBytes(cubeFaceFile(cube, face)), QByteArray("old"));
}

void ExportTest::progressOnTerminalsOnly_data()
{
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<QString>("file");
    QTest::newRow("terminal, PNG") << true << "map.png";
    QTest::newRow("terminal, GeoTIFF through GDAL") << true << "map.tif";
    QTest::newRow("pipe") << false << "map.tif";
}

// Under a pseudo-terminal a map shows GDAL's progress line, whole and in
// order; a script reading through a pipe sees none of it.
void ExportTest::progressOnTerminalsOnly()
{
    QFETCH(bool, terminal);
    QFETCH(QString, file);
    int reader = -1, writer = -1;
    if (terminal) {
        QCOMPARE(openpty(&reader, &writer, nullptr, nullptr, nullptr), 0);
    } else {
        int ends[2];
        QCOMPARE(pipe(ends), 0);
        reader = ends[0];
        writer = ends[1];
    }
    FILE *to = fdopen(writer, "w");
    QVERIFY(to);
    const QString folder = world(2);
    {
        Progress progress(to, 0);
        MapOptions options;
        options.out = folder + "/" + file;
        mapFormatOf(options.out, &options.format);
        options.width = 64;
        int unrestorable = 0;
        QVERIFY(writeMap(loadTestWorld(folder), options, &unrestorable, progress).ok());
        progress.finish();
    }
    std::fclose(to);
    QByteArray shown;
    char buffer[256];
    ssize_t got;
    fcntl(reader, F_SETFL, O_NONBLOCK);
    while ((got = read(reader, buffer, sizeof buffer)) > 0)
        shown.append(buffer, int(got));
    close(reader);
    QCOMPARE(shown, terminal ? QByteArray("0...10...20...30...40...50...60...70...80...90...100 "
                                          "- done.\r\n")
                             : QByteArray());
}

QTEST_GUILESS_MAIN(ExportTest)
#include "tst_export.moc"
