// globe-world import on generated worlds: rasters of every layout and
// coordinate system placed on the globe, the Earth terrain, and every
// refusal of a raster from a stranger.
#include "gdal/gdalsession.h"
#include "relief/earthrelief.h"
#include "relief/heightmapimport.h"
#include "terrain/vec3.h"
#include "world/tablefile.h"
#include "world/worldload.h"
#include "world/worldwrite.h"
#include "worldfiles.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <cpl_string.h>
#include <gdal.h>
#include <hdf5.h>
#include <netcdf.h>
#include <ogr_srs_api.h>

#include <sys/stat.h>

#include <cmath>
#include <functional>
#include <numeric>

using RasterSetup = std::function<void(const QString &file)>;
Q_DECLARE_METATYPE(RasterSetup)

class ImportTest : public WorldSuite
{
    Q_OBJECT

private slots:
    void importGreyValues_data();
    void importGreyValues();
    void refusals_data();
    void refusals();
    void importGeoTiff_data();
    void regionalRaster();
    void noDataKeepsLevels();
    void peakDefault();
    void areaScaleGivesLevelsOfEqualLandArea();
    void importGeoTiff();
    void netcdfVariables();
    void sideFileFifosDoNotHang();
    void overviewLinkedOutsideIsNotUsed();
    void swapAfterTheCheckIsNotRead();
    void earthTerrain();
};

namespace {

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

// Sets columns x0 to x1 and rows y0 to y1, ends excluded, of samples
// width wide to value.
void fillBox(std::vector<double> &samples, int width, int x0, int x1, int y0, int y1, double value)
{
    for (int y = y0; y < y1; ++y)
        std::fill(samples.begin() + width * y + x0, samples.begin() + width * y + x1, value);
}

// The vertices of world whose direction lies more than margin
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

// HDF5 files that point elsewhere, as the HDF5 C library writes them.
enum class Hdf5Pointing { ExternalStorage, VirtualDataset, ExternalLink };

void writeHdf5Pointing(const QString &file, Hdf5Pointing how)
{
    const hid_t out =
        H5Fcreate(QFile::encodeName(file).constData(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
    const hsize_t dims[2] = {32, 64};
    const hid_t space = H5Screate_simple(2, dims, nullptr);
    const hid_t create = H5Pcreate(H5P_DATASET_CREATE);
    if (how == Hdf5Pointing::ExternalLink)
        H5Lcreate_external("/etc/other.h5", "/elevation", out, "elevation", H5P_DEFAULT,
                           H5P_DEFAULT);
    if (how == Hdf5Pointing::ExternalStorage)
        H5Pset_external(create, "/etc/passwd", 0, 32 * 64);
    if (how == Hdf5Pointing::VirtualDataset)
        H5Pset_virtual(create, space, "/etc/other.h5", "/elevation", space);
    if (how != Hdf5Pointing::ExternalLink)
        H5Dclose(H5Dcreate2(out, "elevation", H5T_NATIVE_UCHAR, space, H5P_DEFAULT, create,
                            H5P_DEFAULT));
    H5Pclose(create);
    H5Sclose(space);
    H5Fclose(out);
}

// 2,000,000,000 longitudes declared in a few kilobytes of netCDF-4.
void writeNetcdfClaim(const QString &file)
{
    int id = 0, lat = 0, lon = 0, variable = 0;
    QCOMPARE(nc_create(QFile::encodeName(file).constData(), NC_NETCDF4 | NC_CLOBBER, &id),
             NC_NOERR);
    nc_def_dim(id, "lat", 10, &lat);
    nc_def_dim(id, "lon", 2000000000, &lon);
    nc_def_var(id, "lon", NC_DOUBLE, 1, &lon, &variable);
    const int dims[2] = {lat, lon};
    nc_def_var(id, "z", NC_FLOAT, 2, dims, &variable);
    QCOMPARE(nc_close(id), NC_NOERR);
}

// A grey 64 x 32 PNG beside the VRTs that name it.
QString vrtOver(const QString &sources)
{
    return "<VRTDataset rasterXSize=\"64\" rasterYSize=\"32\">\n"
           "  <VRTRasterBand dataType=\"Byte\" band=\"1\">\n" +
           sources + "  </VRTRasterBand>\n</VRTDataset>\n";
}

} // namespace

void ImportTest::importGreyValues_data()
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

void ImportTest::importGreyValues()
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

void ImportTest::refusals_data()
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
    auto row = [](const char *name, int status, const char *message, const Setup &setup) {
        QTest::newRow(name) << setup << status << QString(message) << 1;
    };
    // A command line alone: W stands for the world, S/ for the scratch folder.
    auto command = [](const QStringList &arguments) {
        return Setup([=](const QString &w, const QString &s) {
            QStringList filled = arguments;
            filled.replaceInStrings(QRegularExpression("^W$"), w);
            return filled.replaceInStrings(QRegularExpression("^S/"), s + "/");
        });
    };
    // A raster in the scratch folder, imported: made by write, named file.
    auto raster = [=](const char *file, const std::function<void(const QString &)> &write) {
        return Setup([=](const QString &w, const QString &s) {
            write(s + "/" + file);
            return import(w, s + "/" + file);
        });
    };
    // A VRT of grey.png, 64 x 32 pixels, with head (its SRS, its geotransform).
    auto vrt = [=](const char *file, const std::function<QByteArray(const QString &)> &head) {
        return raster(file, [=](const QString &at) {
            image(QFileInfo(at).path() + "/grey.png", 64, 32, Qt::gray);
            writeBytes(at, "<VRTDataset rasterXSize=\"64\" rasterYSize=\"32\">\n" +
                               head(QFileInfo(at).path()) +
                               "  <VRTRasterBand dataType=\"Byte\" band=\"1\"><SimpleSource>\n"
                               "    <SourceFilename relativeToVRT=\"1\">grey.png</SourceFilename>\n"
                               "  </SimpleSource></VRTRasterBand>\n"
                               "</VRTDataset>\n");
        });
    };
    row("missing image", 2, "none.png: no such file",
        command({"import", "W", "--heightmap", "S/none.png"}));
    row("text named .png", 2, "text.png: not a readable raster",
        raster("text.png", [](const QString &at) { writeBytes(at, "not a picture\n"); }));
    row("square image", 2, "square.png: is 40 x 40 pixels, but a map must be twice as wide",
        raster("square.png", [=](const QString &at) { image(at, 40, 40, Qt::gray); }));
    // The one refusal that printed its raster's name as it stood.
    row("no data, newline in the name", 2, "two\\nlines.tif: holds no sample with data",
        raster("two\nlines.tif", [](const QString &at) {
            const double none = 7;
            writeGeoTiff(at, 40, 20, GDT_Byte, std::vector<double>(800, 7), {-180, 9, 0, 90, 0, -9},
                         4326, &none);
        }));
    row("colour image", 2, "red.png: has coloured pixels",
        raster("red.png", [=](const QString &at) { image(at, 40, 20, Qt::red); }));
    row("geotransform in metres without a coordinate system", 2,
        "metres.tif: covers x 500000 to 501000 and y 3999500 to 4000000, which are not",
        raster("metres.tif", [](const QString &at) {
            writeGeoTiff(at, 100, 50, GDT_Byte, {}, {500000, 10, 0, 4000000, 0, -10}, 0);
        }));
    // 1.5 GiB in one strip: GDAL would decode it whole.
    row("one strip too large to decode", 2,
        "strip.tif: stores its samples in blocks of 20000 x 10000 (1525 MiB decoded)",
        raster("strip.tif", [](const QString &at) {
            writeGeoTiff(at, 20000, 10000, GDT_Float64, {}, {-180, 0.018, 0, 90, 0, -0.018}, 4326,
                         nullptr, {"BLOCKYSIZE=10000", "COMPRESS=DEFLATE"});
        }));
    row("second raster missing", 2, "none.tif: no such file",
        Setup([=](const QString &w, const QString &s) {
            return import(w, image(s + "/grey.png", 40, 20, QColor(128, 128, 128)))
                   << "--heightmap" << s + "/none.tif";
        }));
    // 74 bytes that claim 200,000 x 100,000 pixels: read row by row, at the
    // world's resolution, until the first row that is not there.
    row("PNG header lying about its size", 2, "liar.png: cannot be read",
        raster("liar.png", [](const QString &at) {
            writeBytes(at, QByteArray::fromHex("89504e470d0a1a0a0000000d4948445200030d40000186a008"
                                               "00000000022075210000001149444154789c636018"
                                               "05a360140c77000003e80001b3a6d3460000000049"
                                               "454e44ae426082"));
        }));
    row("map to an unknown format", 1, "map.jpg: the name must end in .png",
        command({"map", "W", "--out", "S/map.jpg"}));
    row("import into a broken world", 2, "base004.dat: declares 5120 elements but holds only 24",
        Setup([=](const QString &w, const QString &s) {
            QFile(path(w, cornersFileName)).resize(100);
            return import(w, image(s + "/grey.png", 40, 20, Qt::gray));
        }));
    row("map of a broken world", 2, "base004.dat: declares 5120 elements",
        Setup([](const QString &w, const QString &s) {
            QFile(path(w, cornersFileName)).resize(100);
            return QStringList{"map", w, "--out", s + "/map.png"};
        }));
    row("other world's save.dat", 2, "save.dat: holds 162 levels, but the world has 642 vertices",
        Setup([](const QString &w, const QString &s) {
            writeIntTable(s + "/save.dat", QVector<int>(162));
            return QStringList{"export", w, "--ply", s + "/out.ply", "--levels", s + "/save.dat"};
        }));
    row("missing --levels file", 2, "save.dat: ", command({"info", "W", "--levels", "S/save.dat"}));
    // A raw band took /etc/passwd's bytes as samples; /vsicurl/ made requests.
    row("VRT raw band", 2,
        "raw.vrt: a raw band (VRTRawRasterBand), which reads the bytes of any file: /etc/passwd",
        raster("raw.vrt", [](const QString &at) {
            writeBytes(at, "<VRTDataset rasterXSize=\"64\" rasterYSize=\"32\">\n"
                           "  <VRTRasterBand dataType=\"Byte\" band=\"1\" "
                           "subClass=\"VRTRawRasterBand\">\n"
                           "    <SourceFilename>/etc/passwd</SourceFilename>\n"
                           "  </VRTRasterBand>\n"
                           "</VRTDataset>\n");
        }));
    // PROJ opened the grid a coordinate system names, a FIFO: the import hung.
    // No space in the row's name: the scratch folder goes into a PROJ string.
    row("FIFO-grid", 2, "grid.vrt: ", vrt("grid.vrt", [](const QString &s) {
            ::mkfifo(QFile::encodeName(s + "/grid").constData(), 0600);
            return "  <SRS>+proj=merc +ellps=intl +nadgrids=" + s.toUtf8() +
                   "/grid +units=m</SRS>\n"
                   "  <GeoTransform>-2e7, 625000, 0, 1e7, 0, -625000</GeoTransform>\n";
        }));
    // A coordinate system's name is the file's, and held a newline.
    row("newline in a coordinate system's name", 2, "is in Two\\nlines, but its code EPSG:4978",
        vrt("named.vrt", [](const QString &) -> QByteArray {
            return "  <SRS>GEOGCS[\"Two&#10;lines\",DATUM[\"WGS_1984\",SPHEROID[\"WGS "
                   "84\",6378137,298.257223563]],PRIMEM[\"Greenwich\",0],UNIT[\"degree\","
                   "0.0174532925199433],AUTHORITY[\"EPSG\",\"4978\"]]</SRS>\n"
                   "  <GeoTransform>-180, 5.625, 0, 90, 0, -5.625</GeoTransform>\n";
        }));
    row("/vsicurl/ name", 2, "relief.tif: a GDAL virtual file path",
        command({"import", "W", "--heightmap", "/vsicurl/http://127.0.0.1:9/relief.tif"}));
    row("export into a missing folder", 2, "out.obj: not written",
        command({"export", "W", "--obj", "S/no/such/folder/out.obj"}));
    row("odd width", 1, "--width must be an even number from 2 to 16384, not '101'",
        command({"map", "W", "--png", "S/map.png", "--width", "101"}));
    row("map without --out", 1, "map: missing --out FILE", command({"map", "W"}));
    row("unknown projection", 1, "--projection must be equirectangular, cube,",
        command({"map", "W", "--out", "S/map.png", "--projection", "mercator"}));
    row("centre beyond the poles", 1, "--center must be LON or LON,LAT",
        command({"map", "W", "--out", "S/map.png", "--projection", "orthographic", "--center",
                 "10,91"}));
    row("graticule of 0 degrees", 1, "--graticule must be more than 0",
        command({"map", "W", "--out", "S/map.png", "--graticule", "0"}));
    row("export without a format", 1, "export: give --out FILE", command({"export", "W"}));
    // A turntable's count of frames, and what a KMZ and a turntable allow.
    for (const char *frames : {"0", "1", "3601", "1e9", "nan", "2.5"}) {
        row(qPrintable(QString("--frames %1").arg(frames)), 1,
            "--frames must be a whole number from 2 to 3600",
            command({"map", "W", "--out", "S/spin.webp", "--frames", frames}));
    }
    row("--frames with a still map", 1, "map.png: --frames makes a turntable",
        command({"map", "W", "--out", "S/map.png", "--frames", "10"}));
    row("turntable of too many pixels", 1, "a turntable holds at most 1073741824 pixels",
        command({"map", "W", "--out", "S/spin.gif", "--frames", "3600", "--width", "2048"}));
    row("--projection with a KMZ", 1, "earth.kmz: a KMZ is placed on Google Earth's globe",
        command({"map", "W", "--out", "S/earth.kmz", "--projection", "mollweide"}));
    row("--center with a KMZ", 1, "earth.kmz: a KMZ is placed on Google Earth's globe",
        command({"map", "W", "--out", "S/earth.kmz", "--center", "10"}));
    row("turntable of a missing world", 2, "none: no such folder",
        command({"map", "S/none", "--out", "S/spin.mp4"}));
    // Containers that read other files, and claims that cost without bound.
    row("HDF5 external storage", 2,
        "external.h5: its dataset elevation keeps its samples in another file, /etc/passwd",
        raster("external.h5",
               [](const QString &at) { writeHdf5Pointing(at, Hdf5Pointing::ExternalStorage); }));
    row("HDF5 virtual dataset", 2, "virtual.h5: its dataset elevation is virtual",
        raster("virtual.h5",
               [](const QString &at) { writeHdf5Pointing(at, Hdf5Pointing::VirtualDataset); }));
    row("HDF5 external link", 2, "linked.h5: links elevation to another file, /etc/other.h5",
        raster("linked.h5",
               [](const QString &at) { writeHdf5Pointing(at, Hdf5Pointing::ExternalLink); }));
    row("VRT source outside its folder", 2,
        "up.vrt: source refused: ", raster("up.vrt", [=](const QString &at) {
            const QString elsewhere = QFileInfo(at).path() + "/../elsewhere";
            QDir().mkpath(elsewhere);
            image(elsewhere + "/grey.png", 64, 32, Qt::gray);
            writeBytes(at, vrtOver("<SimpleSource><SourceFilename relativeToVRT=\"1\">../elsewhere/"
                                   "grey.png</SourceFilename></SimpleSource>\n")
                               .toUtf8());
        }));
    row("netCDF claiming two billion longitudes", 2,
        "claim.nc: its dataset lon declares a dimension of 2000000000",
        raster("claim.nc", [](const QString &at) { writeNetcdfClaim(at); }));
    // 46340 x 23170 in 16 bits, interlaced: GDAL decoded it whole for every
    // strip (208 s). The header alone is enough to refuse it.
    row("interlaced PNG decoded per strip", 2, "interlaced.png: an interlaced PNG of 46340 x 23170",
        raster("interlaced.png", [](const QString &at) {
            writeBytes(at,
                       QByteArray::fromHex("89504e470d0a1a0a0000000d49484452"
                                           "0000b50400005a8210000000010000000049454e44ae426082"));
        }));
    row("VRT of overlapping sources", 2,
        "many.vrt: a band of 100 sources that cover each pixel 100 times",
        raster("many.vrt", [=](const QString &at) {
            image(QFileInfo(at).path() + "/grey.png", 64, 32, Qt::gray);
            QString sources;
            for (int i = 0; i < 100; ++i)
                sources += "<SimpleSource><SourceFilename relativeToVRT=\"1\">grey.png"
                           "</SourceFilename></SimpleSource>\n";
            writeBytes(at, vrtOver(sources).toUtf8());
        }));
}

// Every refusal is one line (a broken world's are the checker's), and leaves
// the world's levels, and the scratch folder, as they were.
void ImportTest::refusals()
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

void ImportTest::importGeoTiff_data()
{
    QTest::addColumn<RasterSetup>("setup"); // writes the raster at the path given
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<Places>("places");
    const QStringList seaLevel0{"--sea-level", "0"};
    // Metres: ocean 4000 deep, land 1000 high from 0 to 60 east and 0 to 40
    // north, a plateau of 8000 from 20 to 40 east and 10 to 30 north, and
    // no-data (32767) in the ocean that must not count as the highest peak.
    QTest::newRow("signed 16-bit metres, sea level 0") << RasterSetup([](const QString &file) {
        std::vector<double> metres(360 * 180, -4000);
        fillBox(metres, 360, 180, 240, 50, 90, 1000);
        fillBox(metres, 360, 200, 220, 60, 80, 8000);
        fillBox(metres, 360, 0, 30, 120, 121, 32767);
        const double noData = 32767;
        writeGeoTiff(file, 360, 180, GDT_Int16, metres, {-180, 1, 0, 90, 0, -1}, 4326, &noData);
    }) << seaLevel0 << Places{{30, 20, 9}, {5, 5, 2}, {-150, -30, 0}, {-30, 20, 0}, {30, -20, 0}};
    // Samples on whole half degrees from pole to pole, 721 x 361, without a
    // coordinate system; a mark of 100 from 30 to 60 east, 10 to 40 north.
    QTest::newRow("grid-registered floats") << RasterSetup([](const QString &file) {
        std::vector<double> values(721 * 361, 0);
        fillBox(values, 721, 420, 481, 100, 161, 100);
        writeGeoTiff(file, 721, 361, GDT_Float32, values, {-180.25, 0.5, 0, 90.25, 0, -0.5}, 0);
    }) << QStringList() << Places{{45, 25, 9}, {-45, 25, 0}, {45, -25, 0}, {0, 90, 0}};
    // ETOPO5's layout: 1-degree pixels from 0 east to 360; land 1000 high
    // from 160 to 100 west and 10 to 40 north, the rest ocean 4000 deep.
    QTest::newRow("longitudes 0 to 360") << RasterSetup([](const QString &file) {
        std::vector<double> metres(360 * 180, -4000);
        fillBox(metres, 360, 200, 260, 50, 80, 1000);
        writeGeoTiff(file, 360, 180, GDT_Int16, metres, {0, 1, 0, 90, 0, -1});
    }) << seaLevel0 << Places{{-130, 25, 9}, {130, 25, 0}, {-60, 25, 0}, {-130, -25, 0}};
    // Web Mercator, 512 x 512 pixels over the whole square: land from 20
    // to 60 east and 40 to 70 north, where Mercator's rows are far from
    // equal steps of latitude.
    QTest::newRow("web Mercator") << RasterSetup([](const QString &file) {
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
        writeGeoTiff(file, 512, 512, GDT_Int16, metres, {-half, pixel, 0, half, 0, -pixel}, 3857);
    }) << seaLevel0 << Places{{40, 55, 9}, {40, 30, 0}, {40, 77, 0}, {-140, 55, 0}, {10, 55, 0}};
    // Antarctic polar stereographic, 10 km pixels 2000 km around the pole:
    // land where x > 0, towards 90 east.
    QTest::newRow("polar stereographic") << RasterSetup([](const QString &file) {
        std::vector<double> metres(400 * 400, -1000);
        fillBox(metres, 400, 200, 400, 0, 400, 2000);
        writeGeoTiff(file, 400, 400, GDT_Int16, metres, {-2e6, 1e4, 0, 2e6, 0, -1e4}, 3031);
    }) << seaLevel0 << Places{{90, -80, 9}, {-90, -80, 0}, {120, -75, 9}, {-60, -75, 0}};
}

// A tile of 10 to 40 east, 0 to 20 north: its vertices take levels, every
// other keeps its own exactly, and the command says how many took them.
void ImportTest::regionalRaster()
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
    const QRegularExpression line("\\n(\\d+) of 2,562 vertices \\(<?\\d+%\\) took levels from "
                                  "\\S*tile.tif; 2,\\d{3} lie beyond it and keep theirs\\n");
    const QRegularExpressionMatch match = line.match(output);
    QVERIFY2(match.hasMatch(), qPrintable(output));
    QVERIFY(match.captured(1).toInt() >= inside.size() && match.captured(1).toInt() < 100);
}

// The west half without data keeps its levels (or turns to sea with
// --no-data-is-sea), and the command says so; the east half takes its.
void ImportTest::noDataKeepsLevels()
{
    const QString folder = world(4, WorldRecipe::Random), half = folder + "/half.tif";
    const double noData = -32768;
    std::vector<double> metres(360 * 180, noData);
    fillBox(metres, 360, 180, 360, 0, 180, 500);
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
void ImportTest::peakDefault()
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

// With heights spread linearly, 62% of the Earth's land fell on level 1 and
// the continents were one green: --scale area gives each land level about
// the same share of the land's area, however skewed the heights.
void ImportTest::areaScaleGivesLevelsOfEqualLandArea()
{
    const QString folder = world(4, WorldRecipe::Flat), relief = folder + "/relief.tif";
    std::vector<double> metres(720 * 360);
    for (int y = 0; y < 360; ++y) {
        for (int x = 0; x < 720; ++x)
            metres[size_t(720 * y + x)] = x < 360 ? -100 : std::pow((x - 360) / 360.0, 4) * 8000;
    }
    writeGeoTiff(relief, 720, 360, GDT_Float32, metres, {-180, 0.5, 0, 90, 0, -0.5});
    QCOMPARE(run({"import", folder, "--heightmap", relief, "--sea-level", "0", "--scale", "area"},
                 &output),
             0);
    const World after = loadTestWorld(folder);
    const std::vector<double> areas = vertexAreas(drawnMesh(after));
    std::vector<double> share(10, 0.0);
    for (int v = 0; v < after.vertexCount; ++v)
        share[size_t(after.levels[v])] += areas[size_t(v)];
    const double land = std::accumulate(share.begin() + 1, share.end(), 0.0);
    QVERIFY(land > 0.4 * 4 * M_PI);
    for (int level = 1; level <= 9; ++level)
        QVERIFY2(
            std::abs(share[size_t(level)] / land - 1.0 / 9) < 0.01,
            qPrintable(
                QString("level %1: %2 of the land").arg(level).arg(share[size_t(level)] / land)));
}

// The raster lands where its georeferencing says, whatever its layout and
// coordinate system.
void ImportTest::importGeoTiff()
{
    QFETCH(RasterSetup, setup);
    QFETCH(QStringList, options);
    QFETCH(Places, places);
    const QString folder = world(4, WorldRecipe::Random), raster = folder + "/raster.tif";
    setup(raster);
    LevelScale scale;
    scale.hasSeaLevel = options.size() == 2;
    scale.seaLevel = options.value(1).toDouble();
    QVERIFY(importRaster(folder, raster, scale).ok());
    checkPlaces(folder, places);
}

// A NetCDF of two variables, as GDAL writes one from two bands: the
// elevation-like one is picked without naming it, and GDAL's own name for
// the other reads that one.
void ImportTest::netcdfVariables()
{
    GDALAllRegister();
    GDALDriverH netcdf = GDALGetDriverByName("netCDF");
    if (!netcdf)
        QSKIP("this GDAL has no netCDF driver");
    const QString folder = world(3, WorldRecipe::Flat), file = folder + "/two.nc";
    GDALDatasetH memory = GDALCreate(GDALGetDriverByName("MEM"), "", 72, 36, 2, GDT_Int16, nullptr);
    double transform[6] = {-180, 5, 0, 90, 0, -5};
    GDALSetGeoTransform(memory, transform);
    GDALSetProjection(memory, SRS_WKT_WGS84_LAT_LONG);
    std::vector<double> elevation(72 * 36, -3000), quality(72 * 36, 100);
    fillBox(elevation, 72, 36, 48, 10, 18, 2000); // 0 to 60 east, 40 to 0 north
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

// A 64 x 32 byte raster of value 50 in format, without georeferencing.
void writePlain(const char *format, const QString &file)
{
    GDALAllRegister();
    GDALDatasetH memory = GDALCreate(GDALGetDriverByName("MEM"), "", 64, 32, 1, GDT_Byte, nullptr);
    GDALFillRaster(GDALGetRasterBand(memory, 1), 50, 0);
    GDALClose(GDALCreateCopy(GDALGetDriverByName(format), QFile::encodeName(file).constData(),
                             memory, FALSE, nullptr, nullptr, nullptr));
    GDALClose(memory);
}

// FIFOs at every side file GDAL looks for, and at netCDF's .ncrc in the
// working folder: GDAL and netCDF opened them blocking, and the import
// never returned.
void ImportTest::sideFileFifosDoNotHang()
{
    const QString folder = world(3, WorldRecipe::Flat), scratch = dir.filePath("fifos");
    QVERIFY(QDir().mkpath(scratch));
    const QStringList rasters{"p.png", "q.tif", "r.asc", "n.nc"};
    const char *formats[] = {"PNG", "GTiff", "AAIGrid", "netCDF"};
    for (int i = 0; i < rasters.size(); ++i)
        writePlain(formats[i], scratch + "/" + rasters[i]);
    for (const char *side : {"p.pgw", "p.png.aux.xml", "q.tfw", "q.tif.ovr", "q.tif.msk", "q.aux",
                             "q.tif.aux", "r.prj", ".ncrc", ".dodsrc"}) {
        QFile::remove(scratch + "/" + side);
        QCOMPARE(::mkfifo(QFile::encodeName(scratch + "/" + side).constData(), 0600), 0);
    }
    for (const QString &raster : rasters) {
        QProcess import;
        import.setWorkingDirectory(scratch);
        import.start(GLOBE_WORLD_EXE, {"import", folder, "--heightmap", raster});
        QVERIFY2(import.waitForFinished(30000), qPrintable(raster));
        QVERIFY2(import.exitCode() == 0, qPrintable(import.readAllStandardError()));
    }
}

// big.tif.ovr as a link to another raster's overview: GDAL took it for the
// raster's own.
void ImportTest::overviewLinkedOutsideIsNotUsed()
{
    const QString inside = dir.filePath("ovr-in"), outside = dir.filePath("ovr-out");
    QVERIFY(QDir().mkpath(inside) && QDir().mkpath(outside));
    writePlain("GTiff", inside + "/big.tif");
    writePlain("GTiff", outside + "/other.tif");
    GDALDatasetH other = GDALOpen(qPrintable(outside + "/other.tif"), GA_ReadOnly);
    const int factor = 2;
    QCOMPARE(GDALBuildOverviews(other, "NEAREST", 1, &factor, 0, nullptr, nullptr, nullptr),
             CE_None);
    GDALClose(other);
    QVERIFY(QFile::link(outside + "/other.tif.ovr", inside + "/big.tif.ovr"));
    GDALDatasetH direct = GDALOpen(qPrintable(inside + "/big.tif"), GA_ReadOnly);
    QCOMPARE(GDALGetOverviewCount(GDALGetRasterBand(direct, 1)), 1); // GDAL alone follows it
    GDALClose(direct);
    const GdalSession session;
    GdalDataset ours;
    QVERIFY(openRaster(inside + "/big.tif", ours).ok());
    QCOMPARE(GDALGetOverviewCount(GDALGetRasterBand(ours.get(), 1)), 0);
}

// A good VRT and a raw band's swapped in a loop: 36 of 200 imports read the
// raw one, since the check and GDAL's open looked the name up apart. Both
// now read the file the door opened, whatever the name holds after.
void ImportTest::swapAfterTheCheckIsNotRead()
{
    const QString scratch = dir.filePath("swap"), vrt = scratch + "/swap.vrt";
    QVERIFY(QDir().mkpath(scratch));
    writePlain("GTiff", scratch + "/good.tif");
    writeBytes(vrt, vrtOver("<SimpleSource><SourceFilename relativeToVRT=\"1\">good.tif"
                            "</SourceFilename></SimpleSource>\n")
                        .toUtf8());
    writeBytes(scratch + "/raw.vrt",
               "<VRTDataset rasterXSize=\"64\" rasterYSize=\"32\"><VRTRasterBand "
               "dataType=\"Byte\" band=\"1\" subClass=\"VRTRawRasterBand\"><SourceFilename>"
               "/etc/passwd</SourceFilename></VRTRasterBand></VRTDataset>\n");
    const GdalSession session;
    RasterDoor door;
    QVERIFY(door.open(vrt).ok());
    QVERIFY(checkRasterSource(vrt, &door).ok());
    QCOMPARE(::rename(QFile::encodeName(scratch + "/raw.vrt").constData(),
                      QFile::encodeName(vrt).constData()),
             0);
    GdalDataset opened(GDALOpenEx(QFile::encodeName(door.gdalName()).constData(), GDAL_OF_RASTER,
                                  nullptr, nullptr, nullptr));
    QVERIFY(opened);
    quint8 sample = 0;
    QCOMPARE(GDALRasterIO(GDALGetRasterBand(opened.get(), 1), GF_Read, 0, 0, 1, 1, &sample, 1, 1,
                          GDT_Byte, 0, 0),
             CE_None);
    QCOMPARE(int(sample), 50);
}

void ImportTest::earthTerrain()
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

QTEST_GUILESS_MAIN(ImportTest)
#include "tst_import.moc"
