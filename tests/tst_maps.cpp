// globe-world map on generated worlds: the pixel rules, PNG and GeoTIFF
// files as other programs read them, the cube faces as a reader looks them
// up, the heightmap round trip through the import, the turntables' frames
// and the KMZ as their readers take them, and the progress line.
#include "maps/cubemap.h"
#include "maps/mapfile.h"
#include "maps/projectedmap.h"
#include "maps/turntable.h"
#include "maps/watermap.h"
#include "maps/worldmap.h"
#include "meshes/drawnmesh.h"
#include "relief/earthrelief.h"
#include "relief/heightmapimport.h"
#include "terrain/vec3.h"
#include "world/levelstore.h"
#include "world/worldload.h"
#include "world/worldwrite.h"
#include "worldfiles.h"

#include <QDir>
#include <QImage>
#include <QStandardPaths>
#include <QtTest>

#include <gdal.h>
#include <gif_lib.h>
#include <ogr_srs_api.h>
#include <webp/demux.h>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <cmath>

using Rgb = QVector<int>;

class MapsTest : public WorldSuite
{
    Q_OBJECT

private slots:
    void pixelRule_data();
    void pixelRule();
    void flatWorldIsSeaEverywhere_data();
    void flatWorldIsSeaEverywhere();
    void vertexPixelsShowTheirLevel_data();
    void vertexPixelsShowTheirLevel();
    void heightmapRoundTrip_data();
    void heightmapRoundTrip();
    void orientation();
    void geoTiffMap_data();
    void geoTiffMap();
    void projectedMapsPlaceTheEarth_data();
    void projectedMapsPlaceTheEarth();
    void outlineIsProjsEdgeAntialiased_data();
    void outlineIsProjsEdgeAntialiased();
    void riversInTheirColourAsTheRiversCommandChose();
    void cubeFacesShowTheMap_data();
    void cubeFacesShowTheMap();
    void cubeFacesAllOrNothing();
    void turntableFramesAreOrthographicMaps();
    void kmzPlacesTheEarth();
    void progressOnTerminalsOnly_data();
    void progressOnTerminalsOnly();
};

namespace {

MapOptions mapOptions(const QString &file, int width, bool heightmap = false,
                      MapProjection projection = MapProjection::Equirectangular)
{
    MapOptions options;
    options.out = file;
    mapFormatOf(file, &options.format);
    options.width = width;
    options.heightmap = heightmap;
    options.projection = projection;
    return options;
}

Status mapWorld(const QString &folder, const QString &file, int width = defaultMapWidth,
                bool heightmap = false, const LevelSource &levels = {},
                MapProjection projection = MapProjection::Equirectangular)
{
    World world = loadTestWorld(folder);
    const Status taken = takeLevels(levels, world);
    int unrestorable = 0;
    return !taken.ok()
               ? taken
               : writeMap(world, mapOptions(file, width, heightmap, projection), &unrestorable);
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

quint16 grey16At(const QImage &image, int x, int y)
{
    return reinterpret_cast<const quint16 *>(image.constScanLine(y))[x];
}

Rgb rgbAt(const QImage &image, int x, int y)
{
    const QRgb pixel = image.pixel(x, y);
    return {qRed(pixel), qGreen(pixel), qBlue(pixel)};
}

const Rgb seaColour{130, 194, 246};

// A world of subdivision 5 with the Earth's relief, made once in folder.
void writeEarthOnce(const QString &folder)
{
    if (QFile::exists(path(folder, headerFileName)))
        return;
    World earth = generateWorld({5, WorldRecipe::Flat, 1, false});
    QVERIFY(layEarthRelief(earth).ok());
    QVERIFY(writeWorld(folder, earth).ok());
}

// The frames of an animated WebP as libwebp's decoder composes them.
QVector<QImage> webpFrames(const QByteArray &file, int *loops)
{
    const WebPData data{reinterpret_cast<const uint8_t *>(file.constData()), size_t(file.size())};
    WebPAnimDecoderOptions options;
    WebPAnimDecoderOptionsInit(&options);
    options.color_mode = MODE_RGBA;
    WebPAnimDecoder *decoder = WebPAnimDecoderNew(&data, &options);
    QVector<QImage> frames;
    WebPAnimInfo info;
    if (!decoder || !WebPAnimDecoderGetInfo(decoder, &info))
        return frames;
    *loops = int(info.loop_count);
    uint8_t *pixels = nullptr;
    int timestamp = 0;
    while (WebPAnimDecoderGetNext(decoder, &pixels, &timestamp))
        frames << QImage(pixels, int(info.canvas_width), int(info.canvas_height),
                         QImage::Format_RGBA8888)
                      .copy();
    WebPAnimDecoderDelete(decoder);
    return frames;
}

} // namespace

void MapsTest::pixelRule_data()
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

void MapsTest::pixelRule()
{
    QFETCH(double, theta);
    QFETCH(double, phi);
    QFETCH(QPoint, pixel);
    QCOMPARE(pixelOf(theta, phi, 2048), pixel);
}

void MapsTest::flatWorldIsSeaEverywhere_data()
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
void MapsTest::flatWorldIsSeaEverywhere()
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

void MapsTest::vertexPixelsShowTheirLevel_data()
{
    QTest::addColumn<int>("subdivision");
    QTest::newRow("subdivision 3") << 3;
    QTest::newRow("subdivision 4") << 4;
}

// Within a pixel of a vertex its own corner outweighs the others, so its
// pixel is close to its level's colour, and the pole fills row 0.
void MapsTest::vertexPixelsShowTheirLevel()
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

void MapsTest::heightmapRoundTrip_data()
{
    QTest::addColumn<int>("subdivision");
    QTest::addColumn<bool>("fromSave"); // map a save.dat instead of base002.dat
    QTest::addColumn<QString>("format");
    QTest::newRow("subdivision 3") << 3 << false << "png";
    QTest::newRow("subdivision 4") << 4 << false << "png";
    QTest::newRow("subdivision 4 from a save.dat") << 4 << true << "png";
    QTest::newRow("subdivision 0 through a GeoTIFF") << 0 << false << "tif";
    // Seconds of its own: ctest runs it as the row tst_maps_slow.
    if (qEnvironmentVariableIsEmpty("GLOBE_SLOW_ROWS_APART"))
        QTest::newRow("subdivision 8 through a GeoTIFF") << 8 << false << "tif";
}

void MapsTest::heightmapRoundTrip()
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
            values << grey16At(image, x, y);
    }
    QVERIFY(values.size() == 10 && values.contains(0) && values.contains(7282) &&
            values.contains(65535));
}

// The map's right is east on the globe: a mark 90 degrees east of the
// centre raises the vertices on +x (azimuth pi / 2), not their mirror
// images on -x, and the map of the world shows it right of the centre.
void MapsTest::orientation()
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
    checkPlaces(folder, {{90, 0, 9},
                         {80, 10, 9},
                         {100, 10, 9},
                         {80, -10, 9},
                         {100, -10, 9},
                         {-90, 0, 0},
                         {-80, 10, 0},
                         {-100, -10, 0}});
    QVERIFY(mapWorld(folder, folder + "/map.png", 256).ok());
    const QImage map(folder + "/map.png");
    QCOMPARE(rgbAt(map, 192, 64), (Rgb{149, 73, 39}));
    QCOMPARE(rgbAt(map, 64, 64), seaColour);
}

void MapsTest::geoTiffMap_data()
{
    QTest::addColumn<bool>("heightmap");
    QTest::newRow("colour map") << false;
    QTest::newRow("heightmap") << true;
}

// Read back by GDAL as other programs read it: in EPSG:4326, placed by its
// geotransform, holding the same pixels as the PNG.
void MapsTest::geoTiffMap()
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
            const int value = heightmap ? grey16At(png, x, y) : qRed(png.pixel(x, y));
            QCOMPARE(int(row[size_t(x)]), value);
        }
    }
    GDALClose(tiff);
    const QByteArray bytes = readBytes(folder + "/map.png");
    // The colour PNG, encoded while it is drawn, is the bytes Qt's writer
    // gives the whole image.
    QByteArray saved;
    QVERIFY(heightmap || mapFileBytes(renderColourMap(drawnMesh(loadTestWorld(folder)), 512),
                                      MapFormat::Png, folder + "/map.png", &saved)
                             .ok());
    QVERIFY(heightmap || saved == bytes);
    const int srgb = bytes.indexOf("sRGB");
    QVERIFY(heightmap ? srgb < 0 : srgb > 0 && srgb < bytes.indexOf("IDAT"));
}

// The real Earth at the default subdivision: places land or sea as they
// are, the highest land on the Himalaya, and land 29% of the sphere.
void MapsTest::projectedMapsPlaceTheEarth_data()
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
void MapsTest::projectedMapsPlaceTheEarth()
{
    QFETCH(int, projection);
    QFETCH(double, longitude);
    QFETCH(double, latitude);
    QFETCH(Places, places);
    const QString folder = dir.filePath("projected-earth");
    writeEarthOnce(folder);
    MapOptions options = mapOptions(QString(), 400, false, MapProjection(projection));
    options.centerLongitude = longitude;
    options.centerLatitude = latitude;
    int unrestorable = 0;
    for (const char *file : {"projected.tif", "plain.png", "lines.png", "rivers.png"}) {
        options.out = folder + "/" + file;
        mapFormatOf(options.out, &options.format);
        options.graticule = QByteArray(file).endsWith("s.png") ? 30 : 0;
        options.rivers = QByteArray(file) == "rivers.png";
        QVERIFY(writeMap(loadTestWorld(folder), options, &unrestorable).ok());
    }
    const QImage plain(folder + "/plain.png"), lines(folder + "/lines.png");
    // Water is warped with the land, inside the globe's outline, under the
    // graticule's lines.
    const QImage rivers(folder + "/rivers.png");
    QVERIFY(rivers != lines);
    QCOMPARE(qAlpha(rivers.pixel(0, 0)), 0);
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
        const bool sea = rgba[3] == 255 && Rgb{rgba[0], rgba[1], rgba[2]} == seaColour;
        const int found = rgba[3] == 0 ? -1 : sea ? 0 : 1;
        const QString where = QString("%1, %2: %3").arg(place[0]).arg(place[1]);
        QVERIFY2(found == int(place[2]),
                 qPrintable(where.arg(qRgba(rgba[0], rgba[1], rgba[2], rgba[3]), 8, 16)));
    }
    // The equator through the mid-Pacific, and no line 15 degrees north of
    // it, halfway between two meridians.
    const QPoint equator = pixelOf(-165, 0), beside = pixelOf(-165, 15);
    if (equator.x() >= 0) {
        QVERIFY(lines.pixel(equator) != plain.pixel(equator));
        QCOMPARE(rivers.pixel(equator), lines.pixel(equator));
        QCOMPARE(lines.pixel(beside), plain.pixel(beside));
    }
    CPLPopErrorHandler();
    OCTDestroyCoordinateTransformation(toMap);
    OSRDestroySpatialReference(sphere);
    GDALClose(tiff);
}

// Each projection's outline where PROJ's own forward projection puts the
// globe's edge (the meridian opposite the centre; the orthographic disc):
// whole inside, nothing beyond (where Equal Earth and Winkel tripel once
// repeated the land, with the graticule), partly covered on the edge, on a
// map of the proportions PROJ gives; and its GeoTIFF placed by gdalsrsinfo.
void MapsTest::outlineIsProjsEdgeAntialiased_data()
{
    QTest::addColumn<int>("projection");
    QTest::addColumn<double>("ratio"); // width over height
    QTest::addColumn<QString>("proj"); // what gdalsrsinfo reads back
    QTest::newRow("Mollweide") << int(MapProjection::Mollweide) << 2.0 << "+proj=moll";
    QTest::newRow("Robinson") << int(MapProjection::Robinson) << 1.97 << "+proj=robin";
    QTest::newRow("Winkel tripel")
        << int(MapProjection::WinkelTripel) << 1.64 << "+proj=wintri +lon_0=30 +lat_1=50.4597";
    QTest::newRow("Equal Earth") << int(MapProjection::EqualEarth) << 2.05 << "+proj=eqearth";
    QTest::newRow("orthographic") << int(MapProjection::Orthographic) << 1.0 << "+proj=ortho";
}

void MapsTest::outlineIsProjsEdgeAntialiased()
{
    QFETCH(int, projection);
    QFETCH(double, ratio);
    QFETCH(QString, proj);
    const QString folder = world(3);
    MapOptions options = mapOptions(folder + "/map.png", 600, false, MapProjection(projection));
    options.centerLongitude = 30;
    options.graticule = 30;
    int unrestorable = 0;
    QVERIFY(writeMap(loadTestWorld(folder), options, &unrestorable).ok());
    const QImage map(folder + "/map.png");
    QVERIFY(std::fabs(double(map.width()) / map.height() - ratio) < 0.01);
    OGRSpatialReferenceH sphere = OSRNewSpatialReference(nullptr),
                         target = OSRNewSpatialReference(nullptr);
    OSRSetAxisMappingStrategy(sphere, OAMS_TRADITIONAL_GIS_ORDER);
    OSRSetAxisMappingStrategy(target, OAMS_TRADITIONAL_GIS_ORDER);
    OSRImportFromProj4(sphere, "+proj=longlat +R=6371000 +no_defs");
    OSRImportFromProj4(target, qPrintable(projDefinition(options)));
    OGRCoordinateTransformationH forward = OCTNewCoordinateTransformation(sphere, target);
    QVERIFY(forward);
    // Metres per pixel from the equator's (or the disc's) half width.
    const bool disc = options.projection == MapProjection::Orthographic;
    double x = disc ? 120 : 210, y = 0;
    QVERIFY(OCTTransform(forward, 1, &x, &y, nullptr));
    const double metres = 2 * (disc ? 6371000 : std::fabs(x)) / map.width();
    // Beyond the image is beyond the globe too.
    auto alphaAt = [&](int x, int row) {
        return map.valid(x, row) ? qAlpha(map.pixel(x, row)) : 0;
    };
    int partial = 0;
    // Where the edge is steep enough that a row crosses it within a pixel or two.
    for (double lat = -60; lat <= 60; lat += 2) {
        double ex = 0, ey = lat;
        if (disc) {
            ex = 6371000 * std::cos(lat * M_PI / 180);
            ey = 6371000 * std::sin(lat * M_PI / 180);
        } else {
            ex = 210; // the meridian opposite 30 E, a hair inside it
            ey = lat;
            QVERIFY(OCTTransform(forward, 1, &ex, &ey, nullptr));
            ex = std::fabs(ex);
        }
        const int row = int(map.height() / 2.0 - ey / metres);
        const double edge = map.width() / 2.0 + ex / metres; // the right side's
        const QString where = QString("latitude %1, edge at %2").arg(lat).arg(edge);
        QVERIFY2(alphaAt(int(edge) - 3, row) == 255, qPrintable(where));
        QVERIFY2(alphaAt(int(edge) + 3, row) == 0, qPrintable(where));
        QVERIFY2(alphaAt(map.width() - 1 - (int(edge) + 3), row) == 0, qPrintable(where));
        const int a = alphaAt(int(edge), row);
        partial += a > 0 && a < 255;
    }
    QVERIFY2(partial > 20, qPrintable(QString::number(partial)));
    OCTDestroyCoordinateTransformation(forward);
    OSRDestroySpatialReference(sphere);
    OSRDestroySpatialReference(target);
    const QString gdalsrsinfo = QStandardPaths::findExecutable("gdalsrsinfo");
    if (gdalsrsinfo.isEmpty())
        QSKIP("gdalsrsinfo (gdal-bin) is missing");
    options.out = folder + "/map.tif";
    options.format = MapFormat::GeoTiff;
    QVERIFY(writeMap(loadTestWorld(folder), options, &unrestorable).ok());
    QCOMPARE(runProgram(gdalsrsinfo, {"-o", "proj4", options.out}, &output), 0);
    QVERIFY2(output.contains(proj), qPrintable(output));
}

// Rivers were once drawn in the sea's pale colour, and a map could not
// show the rivers a user chose with rivers --min-area: the map's threshold
// is that option's, and the rivers are in their own colour, on land.
void MapsTest::riversInTheirColourAsTheRiversCommandChose()
{
    const QString folder = world(5);
    auto riverPixels = [&](const QStringList &options) {
        const QString file = folder + "/rivers.png";
        const int status =
            run(QStringList{"map", folder, "--out", file, "--width", "1024"} + options, &output);
        const QImage map(file);
        int near = 0;
        for (int y = 0; status == 0 && y < map.height(); ++y) {
            for (int x = 0; x < map.width(); ++x) {
                const QRgb c = map.pixel(x, y);
                near += std::abs(qRed(c) - riverRgb.red) + std::abs(qGreen(c) - riverRgb.green) +
                            std::abs(qBlue(c) - riverRgb.blue) <
                        30;
            }
        }
        return status == 0 ? near : -1;
    };
    const int plain = riverPixels({}), rivers = riverPixels({"--rivers"});
    const int all = riverPixels({"--rivers", "--min-area", "0"});
    const int none = riverPixels({"--rivers", "--min-area", "1e12"});
    QCOMPARE(plain, 0);
    QCOMPARE(none, 0);
    QVERIFY2(rivers > 200 && all > 2 * rivers, qPrintable(QString("%1 %2").arg(rivers).arg(all)));
    QCOMPARE(run({"map", folder, "--out", folder + "/x.png", "--min-area", "5"}, &output), 1);
    QVERIFY2(output.contains("--min-area chooses the rivers drawn"), qPrintable(output));
}

void MapsTest::cubeFacesShowTheMap_data()
{
    geoTiffMap_data(); // a colour map and a heightmap
}

// Looked up as a cube-map reader looks, each face shows what the map shows
// in the same direction, found by longitude and latitude in the Y-up frame
// (pole on +Y, longitude 0 on +Z, east on +X): a swapped, mirrored or
// turned face shows another place. Colours are compared at random
// directions, near enough for the blend; heightmap values, which jump
// between corners, exactly at the vertices' directions.
void MapsTest::cubeFacesShowTheMap()
{
    QFETCH(bool, heightmap);
    const QString folder = world(3), cube = folder + "/cube.png", map = folder + "/map.png";
    const int width = 2048, size = width / 4;
    QVERIFY(mapWorld(folder, cube, width, heightmap, {}, MapProjection::Cube).ok());
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
            QVERIFY2(grey16At(faces[face], p.x(), p.y()) == grey16At(equirectangular, x, y),
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
void MapsTest::cubeFacesAllOrNothing()
{
    const QString folder = world(2), cube = folder + "/cube.png";
    const int last = cubeFaces - 1;
    for (int face = 0; face < last; ++face)
        writeBytes(cubeFaceFile(cube, face), "old");
    QVERIFY(QDir().mkdir(cubeFaceFile(cube, last)));
    const QStringList before = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    const Status status = mapWorld(folder, cube, 64, false, {}, MapProjection::Cube);
    QCOMPARE(status.kind(), Status::NotWritten);
    QVERIFY2(status.message().startsWith(cubeFaceFile(cube, last)), qPrintable(status.message()));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), before);
    for (int face = 0; face < last; ++face)
        QCOMPARE(readBytes(cubeFaceFile(cube, face)), QByteArray("old"));
}

// Frame k of N faces LON - k x 360 / N, each exactly the orthographic map
// of its centre: WebP to the bit, the GIF in one palette with the sea one
// index, the MP4 with every frame, as ffprobe counts them.
void MapsTest::turntableFramesAreOrthographicMaps()
{
    const World world = loadTestWorld(this->world(3));
    MapOptions options = mapOptions(QString(), 64, false, MapProjection::Orthographic);
    options.frames = 4;
    options.centerLongitude = 30;
    int unrestorable = 0;
    for (const char *name : {"spin.webp", "spin.gif", "spin.mp4"}) {
        options.out = dir.filePath(name);
        QVERIFY(mapFormatOf(options.out, &options.format));
        const Status made = writeMap(world, options, &unrestorable);
        QVERIFY2(made.ok(), qPrintable(made.message()));
    }
    MapOptions still =
        mapOptions(dir.filePath("frame1.png"), 64, false, MapProjection::Orthographic);
    still.centerLongitude = frameLongitude(30, 1, 4);
    QCOMPARE(still.centerLongitude, -60.0);
    QVERIFY(writeMap(world, still, &unrestorable).ok());
    const QImage expected = QImage(still.out).convertToFormat(QImage::Format_RGBA8888);

    int loops = -1;
    const QVector<QImage> frames = webpFrames(readBytes(dir.filePath("spin.webp")), &loops);
    QCOMPARE(frames.size(), 4);
    QCOMPARE(loops, 0); // forever
    QCOMPARE(frames[1], expected);
    QVERIFY(frames[0] != frames[1]);

    int error = 0;
    GifFileType *gif = DGifOpenFileName(qPrintable(dir.filePath("spin.gif")), &error);
    QVERIFY(gif);
    QCOMPARE(DGifSlurp(gif), GIF_OK);
    QCOMPARE(gif->ImageCount, 4);
    QVERIFY(gif->SColorMap);
    bool loopsForever = false;
    for (int e = 0; e < gif->SavedImages[0].ExtensionBlockCount; ++e)
        loopsForever |=
            QByteArray(reinterpret_cast<const char *>(gif->SavedImages[0].ExtensionBlocks[e].Bytes),
                       gif->SavedImages[0].ExtensionBlocks[e].ByteCount) == "NETSCAPE2.0";
    QVERIFY(loopsForever);
    const SavedImage &second = gif->SavedImages[1];
    QVERIFY(!second.ImageDesc.ColorMap);
    QSet<int> seaIndices;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const QRgb pixel = expected.pixel(x, y);
            if (qAlpha(pixel) == 255 && Rgb{qRed(pixel), qGreen(pixel), qBlue(pixel)} == seaColour)
                seaIndices << second.RasterBits[y * 64 + x];
        }
    }
    QCOMPARE(seaIndices.size(), 1);
    const GifColorType sea = gif->SColorMap->Colors[*seaIndices.begin()];
    QCOMPARE((Rgb{sea.Red, sea.Green, sea.Blue}), seaColour);
    DGifCloseFile(gif, &error);

    const QString ffprobe = QStandardPaths::findExecutable("ffprobe");
    if (ffprobe.isEmpty())
        QSKIP("ffprobe is not installed");
    QCOMPARE(runProgram(ffprobe,
                        {"-v", "error", "-count_frames", "-show_entries",
                         "stream=codec_name,pix_fmt,nb_read_frames,r_frame_rate", "-of", "compact",
                         dir.filePath("spin.mp4")},
                        &output),
             0);
    QCOMPARE(output.trimmed(),
             QString("stream|codec_name=h264|pix_fmt=yuv420p|r_frame_rate=25/1|nb_read_frames=4"));
}

// The KMZ as GDAL's own reader of super-overlays takes it: doc.kml first in
// the archive, the map's size, and the Earth's land and sea where they are.
void MapsTest::kmzPlacesTheEarth()
{
    const QString folder = dir.filePath("projected-earth");
    writeEarthOnce(folder);
    const QString kmz = folder + "/earth.kmz";
    int unrestorable = 0;
    QVERIFY(writeMap(loadTestWorld(folder), mapOptions(kmz, 1024), &unrestorable).ok());
    const QByteArray archive = readBytes(kmz);
    QCOMPARE(archive.mid(30, 7), QByteArray("doc.kml")); // the first local file header's name
    const QString gdalinfo = QStandardPaths::findExecutable("gdalinfo"),
                  locationinfo = QStandardPaths::findExecutable("gdallocationinfo");
    if (gdalinfo.isEmpty() || locationinfo.isEmpty())
        QSKIP("gdalinfo or gdallocationinfo is not installed");
    QCOMPARE(runProgram(gdalinfo, {kmz}, &output), 0);
    QVERIFY2(output.contains("Driver: KMLSUPEROVERLAY") && output.contains("Size is 1024, 512"),
             qPrintable(output));
    const Places places{{10, 23, 1},   {-60, -5, 1}, {88, 32, 1},
                        {134, -25, 1}, {-150, 2, 0}, {-20, -30, 0}};
    for (const QVector<double> &place : places) {
        QCOMPARE(runProgram(locationinfo,
                            {"-valonly", "-wgs84", kmz, QString::number(place[0]),
                             QString::number(place[1])},
                            &output),
                 0);
        const QStringList values = output.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(values.size(), 4);
        const bool sea = Rgb{values[0].toInt(), values[1].toInt(), values[2].toInt()} == seaColour;
        QVERIFY2(sea == (place[2] == 0), qPrintable(output));
    }
}

void MapsTest::progressOnTerminalsOnly_data()
{
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<QString>("file");
    QTest::newRow("terminal, PNG") << true << "map.png";
    QTest::newRow("terminal, GeoTIFF through GDAL") << true << "map.tif";
    QTest::newRow("pipe") << false << "map.tif";
}

// Under a pseudo-terminal a map shows GDAL's progress line, whole and in
// order; a script reading through a pipe sees none of it.
void MapsTest::progressOnTerminalsOnly()
{
    QFETCH(bool, terminal);
    QFETCH(QString, file);
    int ends[2];
    QCOMPARE(terminal ? openpty(&ends[0], &ends[1], nullptr, nullptr, nullptr) : pipe(ends), 0);
    const int reader = ends[0], writer = ends[1];
    FILE *to = fdopen(writer, "w");
    QVERIFY(to);
    const QString folder = world(2);
    {
        Progress progress(to, 0);
        int unrestorable = 0;
        QVERIFY(writeMap(loadTestWorld(folder), mapOptions(folder + "/" + file, 64), &unrestorable,
                         progress)
                    .ok());
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

QTEST_GUILESS_MAIN(MapsTest)
#include "tst_maps.moc"
