// globe-world export's 3D files as other programs read them: PLY and OBJ
// vertices and assimp's reading, glTF through tinygltf and the Khronos
// validator, STL as a solid to print, the halves and the filaments' paint as
// PrusaSlicer reads them, the web page as headless Chromium shows it, and the
// refusals and links that must leave others' files as they were.
#include "meshes/filamentpaint.h"
#include "meshes/meshfiles.h"
#include "meshes/printhalves.h"
#include "relief/earthrelief.h"
#include "terrain/vec3.h"
#include "world/levelstore.h"
#include "world/tablefile.h"
#include "world/worldload.h"
#include "world/worldwrite.h"
#include "worldfiles.h"

#include <QDir>
#include <QHash>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtEndian>
#include <QtTest>

#include <tiny_gltf.h>

#include <cmath>

using Rgb = QVector<int>;

class MeshExportTest : public WorldSuite
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
    void exportReplacesLinksNotFollows_data();
    void exportReplacesLinksNotFollows();
    void gltfReadBack_data();
    void gltfReadBack();
    void gltfPassesValidator_data();
    void gltfPassesValidator();
    void stlIsAClosedSolid_data();
    void stlIsAClosedSolid();
    void reliefInMillimetres();
    void refusalsLeaveNothing_data();
    void refusalsLeaveNothing();
    void halvesAreClosedOnTheBed();
    void pinHolesMeet();
    void paintCodesByLevel();
    void prusaSlicerChangesTools();
    void webPageOpensOffline();
};

namespace {

// Exports the world in folder to each path, in the format its name says.
Status exportWorld(const QString &folder, const QStringList &paths, double diameterMm = 100)
{
    ExportOptions options;
    options.mesh.diameterMm = diameterMm;
    for (const QString &path : paths) {
        MeshFormat format = MeshFormat::Ply;
        meshFormatOf(path, &format);
        options.outputs.append({path, format});
    }
    ExportReport written;
    return exportMesh(loadTestWorld(folder), options, &written);
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

// Where the vertices start.
int plyBody(const QByteArray &ply)
{
    return ply.indexOf("end_header\n") + 11;
}

float floatAt(const QByteArray &bytes, int offset)
{
    return qFromLittleEndian<float>(bytes.constData() + offset);
}

QVector<int> levelsOf(const QString &world)
{
    QVector<int> levels;
    readIntTable(QDir(world).filePath(QString::fromLatin1(levelsFileName)), levels);
    return levels;
}

// The element of a float accessor (tightly packed, as the export writes).
const float *floats(const tinygltf::Model &model, int accessorIndex, int element)
{
    const tinygltf::Accessor &accessor = model.accessors[accessorIndex];
    const tinygltf::BufferView &view = model.bufferViews[accessor.bufferView];
    const int components = tinygltf::GetNumComponentsInType(accessor.type);
    return reinterpret_cast<const float *>(model.buffers[view.buffer].data.data() +
                                           view.byteOffset + accessor.byteOffset) +
           components * element;
}

Vec3 vec3At(const float *p)
{
    return {p[0], p[1], p[2]};
}

// The vertex whose direction is nearest to axis.
int nearest(const QVector<Vec3> &points, const Vec3 &axis)
{
    int best = 0;
    for (int v = 1; v < points.size(); ++v) {
        if (dot(normalised(points[v]), axis) > dot(normalised(points[best]), axis))
            best = v;
    }
    return best;
}

struct Facet
{
    Vec3 normal, corners[3];
};

QVector<Facet> stlFacets(const QByteArray &stl)
{
    QVector<Facet> facets(qFromLittleEndian<quint32>(stl.constData() + 80));
    for (int f = 0; f < facets.size(); ++f) {
        const char *at = stl.constData() + 84 + 50 * f;
        auto point = [&](int k) {
            const char *p = at + 12 * k;
            return Vec3{qFromLittleEndian<float>(p), qFromLittleEndian<float>(p + 4),
                        qFromLittleEndian<float>(p + 8)};
        };
        facets[f] = {point(0), {point(1), point(2), point(3)}};
    }
    return facets;
}

QString pointKey(const Vec3 &p)
{
    return QStringLiteral("%1 %2 %3").arg(p.x, 0, 'g', 9).arg(p.y, 0, 'g', 9).arg(p.z, 0, 'g', 9);
}

// The first edge not run along once each way by two facets, or "" when
// the facets close a consistently turned solid.
QString unpairedEdge(const QVector<Facet> &facets)
{
    QHash<QString, int> edges; // "from|to" -> facets running along it that way
    for (const Facet &f : facets) {
        for (int k = 0; k < 3; ++k)
            ++edges[pointKey(f.corners[k]) + "|" + pointKey(f.corners[(k + 1) % 3])];
    }
    for (auto edge = edges.cbegin(); edge != edges.cend(); ++edge) {
        const QStringList ends = edge.key().split('|');
        if (edge.value() != 1 || edges.value(ends[1] + "|" + ends[0]) != 1)
            return edge.key();
    }
    return QString();
}

double volumeOf(const QVector<Facet> &facets)
{
    double volume = 0;
    for (const Facet &f : facets)
        volume += dot(f.corners[0], cross(f.corners[1], f.corners[2])) / 6;
    return volume;
}

} // namespace

void MeshExportTest::gltfReadBack_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("binary") << "globe.glb";
    QTest::newRow("text") << "globe.gltf";
}

// Read by tinygltf: the editor's axes land where glTF users look for them,
// the triangles still face outwards, and the colours are in linear light.
void MeshExportTest::gltfReadBack()
{
    QFETCH(QString, file);
    const QString folder = world(3), path = folder + "/" + file;
    QVERIFY(exportWorld(folder, {path}).ok());
    tinygltf::Model model;
    tinygltf::TinyGLTF reader;
    std::string error, warning;
    const bool read = file.endsWith(".glb")
                          ? reader.LoadBinaryFromFile(&model, &error, &warning, path.toStdString())
                          : reader.LoadASCIIFromFile(&model, &error, &warning, path.toStdString());
    QVERIFY2(read, error.c_str());
    QCOMPARE(int(model.meshes.size()), 1);
    const tinygltf::Primitive &primitive = model.meshes[0].primitives.at(0);
    QCOMPARE(primitive.mode, TINYGLTF_MODE_TRIANGLES);
    const int position = primitive.attributes.at("POSITION");
    QCOMPARE(int(model.accessors[position].count), 642);

    QVector<float> angles;
    QVERIFY(
        readFloatTable(QDir(folder).filePath(QString::fromLatin1(coordsFileName)), angles).ok());
    QVector<Vec3> editor, gltf;
    for (int v = 0; v < 642; ++v) {
        editor << unitDirection(angles[2 * v], angles[2 * v + 1]);
        gltf << vec3At(floats(model, position, v));
    }
    // The pole up, the start view's front (longitude 0) towards the viewer,
    // east to the right.
    QCOMPARE(nearest(gltf, {0, 1, 0}), nearest(editor, {0, 0, 1}));
    QCOMPARE(nearest(gltf, {0, 0, 1}), nearest(editor, {0, -1, 0}));
    QCOMPARE(nearest(gltf, {1, 0, 0}), nearest(editor, {1, 0, 0}));
    QVERIFY(std::fabs(gltf[0].x) < 1e-6 && std::fabs(gltf[0].z) < 1e-6 && gltf[0].y > 0.84);

    const tinygltf::Accessor &indices = model.accessors[primitive.indices];
    QCOMPARE(int(indices.count), 3 * 1280);
    QCOMPARE(indices.componentType, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT);
    const tinygltf::BufferView &view = model.bufferViews[indices.bufferView];
    const auto *corner = reinterpret_cast<const quint32 *>(model.buffers[view.buffer].data.data() +
                                                           view.byteOffset + indices.byteOffset);
    for (int t = 0; t < 1280; ++t, corner += 3)
        QVERIFY(outwardTurn(gltf[corner[0]], gltf[corner[1]], gltf[corner[2]]) > 0);

    // Level 0 is sRGB (130, 194, 246): in linear light as below, not 130 / 255.
    const QVector<int> levels = levelsOf(folder);
    const int sea = int(levels.indexOf(0)), colour = primitive.attributes.at("COLOR_0");
    QVERIFY(sea >= 0);
    const float *linear = floats(model, colour, sea);
    const float expected[3] = {0.22322796f, 0.53947949f, 0.92158186f};
    for (int k = 0; k < 3; ++k)
        QVERIFY2(std::fabs(linear[k] - expected[k]) < 1e-5, qPrintable(QString::number(linear[k])));
    const int level = primitive.attributes.at("_LEVEL");
    for (int v = 0; v < 642; ++v)
        QCOMPARE(*floats(model, level, v), float(levels[v]));
}

void MeshExportTest::gltfPassesValidator_data()
{
    gltfReadBack_data();
}

// The Khronos validator (npm's gltf-validator, found through NODE_PATH or
// npm's global folder) reports no error.
void MeshExportTest::gltfPassesValidator()
{
    QFETCH(QString, file);
    const QString node = QStandardPaths::findExecutable("node");
    if (node.isEmpty())
        QSKIP("node is not installed");
    QProcess npm;
    npm.start("npm", {"root", "-g"});
    npm.waitForFinished(60000);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("NODE_PATH", environment.value("NODE_PATH") + ":" +
                                        QString(npm.readAllStandardOutput()).trimmed());
    QProcess validator;
    validator.setProcessEnvironment(environment);
    validator.start(node, {"-e", "require('gltf-validator')"});
    if (!validator.waitForFinished(60000) || validator.exitCode() != 0)
        QSKIP("gltf-validator is not installed (npm install gltf-validator; set NODE_PATH)");

    const QString folder = world(2), path = folder + "/" + file;
    QVERIFY(exportWorld(folder, {path}).ok());
    validator.start(node, {"-e",
                           "require('gltf-validator').validateBytes(new Uint8Array(require('fs')"
                           ".readFileSync(process.argv[1]))).then(r => console.log("
                           "r.issues.numErrors, JSON.stringify(r.issues.messages)))",
                           path});
    QVERIFY(validator.waitForFinished(60000));
    const QString report = validator.readAllStandardOutput() + validator.readAllStandardError();
    QVERIFY2(report.startsWith("0 "), qPrintable(report));
}

void MeshExportTest::stlIsAClosedSolid_data()
{
    QTest::addColumn<double>("diameter");
    QTest::newRow("default size") << 100.0;
    QTest::newRow("--diameter 60") << 60.0;
}

// Every edge joins two facets that run along it in opposite directions, so
// the facets close one consistently turned solid; each normal points out of
// it; the sea lies on a sphere of the diameter asked for, the land above.
void MeshExportTest::stlIsAClosedSolid()
{
    QFETCH(double, diameter);
    const QString folder = world(3), path = folder + "/globe.stl";
    QVERIFY(exportWorld(folder, {path}, diameter).ok());
    const QByteArray stl = readBytes(path);
    QVERIFY(!stl.startsWith("solid"));
    QCOMPARE(stl.size(), 84 + 50 * 1280);
    const QVector<Facet> facets = stlFacets(stl);

    double lowest = HUGE_VAL, highest = 0;
    for (const Facet &f : facets) {
        QVERIFY(std::fabs(dot(f.normal, f.normal) - 1) < 1e-5);
        const Vec3 turn = cross(f.corners[1] - f.corners[0], f.corners[2] - f.corners[0]);
        QVERIFY(dot(f.normal, turn) > 0);
        QVERIFY(dot(f.normal, f.corners[0] + f.corners[1] + f.corners[2]) > 0);
        for (int k = 0; k < 3; ++k) {
            const double radius = std::sqrt(dot(f.corners[k], f.corners[k]));
            lowest = std::min(lowest, radius);
            highest = std::max(highest, radius);
        }
    }
    const QString unpaired = unpairedEdge(facets);
    QVERIFY2(unpaired.isEmpty(), qPrintable(unpaired));
    QVERIFY2(std::fabs(lowest - diameter / 2) < 1e-3 * diameter,
             qPrintable(QString::number(lowest)));
    QVERIFY(highest > lowest * 1.01);
}

// --relief 3mm puts level L at 3 L / 9 mm above the sea sphere, the sea
// on it; the summary line gives the relief, and names --relief when it is
// too low to show.
void MeshExportTest::reliefInMillimetres()
{
    const QString folder = world(3), path = folder + "/globe.stl";
    QCOMPARE(run({"export", folder, "--out", path, "--relief", "3mm", "--diameter", "80"}, &output),
             0);
    QVERIFY2(output.contains("base sphere 80.0 mm, peaks 86.0 mm across, the highest relief "
                             "3.00 mm\n"),
             qPrintable(output));
    const QVector<int> levels = levelsOf(folder);
    const QByteArray stl = readBytes(path);
    const QVector<Facet> facets = stlFacets(stl);
    QHash<QString, double> heights; // corner -> mm above the sea sphere
    for (const Facet &f : facets) {
        for (const Vec3 &p : f.corners)
            heights[pointKey(p)] = std::sqrt(dot(p, p)) - 40;
    }
    // Each corner's height is 3 L / 9 mm for some level L, and every level
    // of the world is there.
    QSet<int> seen;
    for (double h : heights) {
        const int level = int(std::lround(h * 3));
        QVERIFY2(std::fabs(h - 3.0 * level / 9) < 1e-4 && level >= 0 && level <= 9,
                 qPrintable(QString::number(h)));
        seen << level;
    }
    QCOMPARE(seen, QSet<int>(levels.begin(), levels.end()));
    // The editor's heights at S = 6: a quarter of a millimetre.
    const QString fine = world(6);
    QCOMPARE(run({"export", fine, "--out", fine + "/globe.stl"}, &output), 0);
    QVERIFY2(output.contains(", under half a millimetre: --relief 3mm"), qPrintable(output));
    QCOMPARE(run({"export", folder, "--out", folder + "/globe.glb", "--relief", "3mm"}, &output),
             1);
    QVERIFY2(output.contains("--relief in millimetres is for STL and 3MF"), qPrintable(output));
}

void MeshExportTest::refusalsLeaveNothing_data()
{
    QTest::addColumn<QStringList>("files"); // in the scratch folder
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown extension")
        << QStringList{"globe.glb", "globe.fbx"} << QStringList() << 1
        << "globe.fbx: not a format export writes; name it .glb, .gltf, .stl, .3mf, .ply, .obj or "
           ".html";
    QTest::newRow("missing folder") << QStringList{"globe.stl", "no/such/globe.glb"}
                                    << QStringList() << 2 << "globe.glb: not written";
    for (const char *format : {"ply", "obj", "glb"}) {
        QTest::addRow("--halves into .%s", format)
            << QStringList{"globe.stl", QString("globe.") + format} << QStringList{"--halves"} << 1
            << "--halves is for STL and 3MF files, not";
    }
    QTest::newRow("--filaments into STL")
        << QStringList{"globe.3mf", "globe.stl"} << QStringList{"--filaments", "3"} << 1
        << "globe.stl cannot hold the filaments' paint";
    for (const char *count : {"0", "1", "17"}) {
        QTest::addRow("--filaments %s", count)
            << QStringList{"globe.3mf"} << QStringList{"--filaments", count} << 1
            << "--filaments must be a whole number from 2 to 16";
    }
    QTest::newRow("unordered levels")
        << QStringList{"globe.3mf"} << QStringList{"--filament-levels", "1-4,0,5-9"} << 1
        << "the groups must run in order from level 0";
    QTest::newRow("overlapping levels")
        << QStringList{"globe.3mf"} << QStringList{"--filament-levels", "0-4,3-9"} << 1
        << "the groups must run in order from level 0";
    QTest::newRow("pins too large")
        << QStringList{"globe.3mf", "globe.stl"} << QStringList{"--halves", "--pins", "20"} << 2
        << "--pins 20: holes for pins 20 mm across do not fit a half of this globe with 2 mm of "
           "wall around them; the largest pin that fits is ";
}

// One line naming the file, and not even the files that could be written.
void MeshExportTest::refusalsLeaveNothing()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, options);
    QFETCH(int, status);
    QFETCH(QString, message);
    const QString folder = world(2);
    const QString scratch = dir.filePath(QString("scratch %1").arg(QTest::currentDataTag()));
    QVERIFY(QDir().mkpath(scratch));
    QStringList arguments = QStringList{"export", folder} + options;
    for (const QString &file : files)
        arguments << "--out" << scratch + "/" + file;
    QCOMPARE(run(arguments, &output), status);
    QVERIFY2(output.contains(message), qPrintable(output));
    QCOMPARE(output.count('\n'), 1);
    QCOMPARE(QDir(scratch).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

// Each half is a closed solid turned outward, lying on its cut face at
// z = 0 apart from the other; its cut face looks down everywhere, so it
// folds over nowhere; and the halves hold the whole globe less the holes,
// so the cut lost nothing.
void MeshExportTest::halvesAreClosedOnTheBed()
{
    const QString folder = world(3);
    QVERIFY(exportWorld(folder, {folder + "/whole.stl"}).ok());
    QCOMPARE(run({"export", folder, "--out", folder + "/globe.stl", "--halves", "--pins", "1.75"},
                 &output),
             0);
    QVERIFY2(output.contains("pin holes: 3 in each cut face, 2.05 mm across, 5.25 mm deep"),
             qPrintable(output));
    double halvesVolume = 0, northEnd = 0, southStart = 0;
    for (const char *half : {"north", "south"}) {
        const QVector<Facet> facets = stlFacets(readBytes(folder + "/globe-" + half + ".stl"));
        const QString unpaired = unpairedEdge(facets);
        QVERIFY2(unpaired.isEmpty(), qPrintable(half + (": " + unpaired)));
        double lowest = HUGE_VAL, left = HUGE_VAL, right = -HUGE_VAL;
        for (const Facet &f : facets) {
            for (const Vec3 &p : f.corners)
                lowest = std::min(lowest, p.z), left = std::min(left, p.x),
                right = std::max(right, p.x);
            if (f.corners[0].z == 0 && f.corners[1].z == 0 && f.corners[2].z == 0)
                QVERIFY(f.normal.z < 0);
        }
        QCOMPARE(lowest, 0.0);
        if (QByteArray(half) == "north")
            northEnd = right;
        else
            southStart = left;
        const double volume = volumeOf(facets);
        QVERIFY(volume > 0);
        halvesVolume += volume;
    }
    QVERIFY(northEnd < southStart);
    const double holeArea = 12 * 1.025 * 1.025 * std::sin(2 * M_PI / 24);
    const double whole = volumeOf(stlFacets(readBytes(folder + "/whole.stl")));
    QVERIFY2(std::fabs(halvesVolume + 6 * holeArea * 5.25 - whole) < 1e-5 * whole,
             qPrintable(QString("%1 %2").arg(halvesVolume).arg(whole)));
}

// Turned back over onto the north half, the south half's holes lie on the
// north half's: each hole's roof is centred where the holes were laid out.
void MeshExportTest::pinHolesMeet()
{
    DrawnMesh mesh = drawnMesh(loadTestWorld(world(4)));
    setRelief(mesh, 0.06);
    PrintHalves halves;
    QVERIFY(cutIntoHalves(mesh, {100, 1.75}, halves).ok());
    QCOMPARE(halves.holeCentresMm.size(), 3);
    const double scale = millimetresPerUnit(100);
    for (const bool north : {true, false}) {
        const DrawnMesh &half = north ? halves.north : halves.south;
        const QPointF offset = north ? halves.northOffsetMm : halves.southOffsetMm;
        for (const QPointF &centre : halves.holeCentresMm) {
            QPointF sum;
            int roof = 0;
            for (int v = 0; v < half.vertexCount(); ++v) {
                const float *p = half.positions.constData() + 3 * v;
                QPointF at = QPointF(p[0] * scale, p[1] * scale) - offset;
                if (!north)
                    at.setY(-at.y()); // turned back over
                if (std::fabs(p[2] * scale - halves.holeDepthMm) < 1e-3 &&
                    QLineF(at, centre).length() < halves.holeDiameterMm)
                    sum += at, ++roof;
            }
            QCOMPARE(roof, 24);
            QVERIFY(QLineF(sum / roof, centre).length() < 1e-3);
        }
    }
}

// The codes PrusaSlicer, Bambu Studio and OrcaSlicer read for a whole
// triangle of one filament; the levels' groups; a triangle's filament is its
// corners' majority, or the middle one.
void MeshExportTest::paintCodesByLevel()
{
    const QByteArrayList codes{"4", "8", "0C", "1C", "2C"};
    for (int filament = 1; filament <= codes.size(); ++filament)
        QCOMPARE(paintCode(filament), codes[filament - 1]);
    QCOMPARE(paintCode(16), QByteArray("DC"));
    QCOMPARE(filamentBands(4).filamentOfLevel, QVector<int>({1, 2, 2, 2, 3, 3, 3, 4, 4, 4}));
    QCOMPARE(filamentBands(16).filamentOfLevel, QVector<int>({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    FilamentLevels levels;
    QVERIFY(parseFilamentLevels("0,1-4,5-9", levels).ok());
    QCOMPARE(levels.filamentOfLevel, QVector<int>({1, 2, 2, 2, 2, 3, 3, 3, 3, 3}));
    QCOMPARE(filamentLevelsText(levels), QString("1: level 0; 2: levels 1-4; 3: levels 5-9"));
    DrawnMesh triangle;
    triangle.corners = {0, 1, 2};
    const std::pair<QVector<int>, int> cases[] = {{{0, 0, 7}, 1}, {{7, 0, 7}, 3}, {{9, 2, 0}, 2}};
    for (const auto &[corners, filament] : cases) {
        triangle.levels = corners;
        QCOMPARE(triangleFilament(levels, triangle, 0), filament);
    }
}

// The real slicer reads both halves as manifold and prints the painted
// levels with four tools.
void MeshExportTest::prusaSlicerChangesTools()
{
    const QString slicer = QStandardPaths::findExecutable("prusa-slicer");
    if (slicer.isEmpty())
        QSKIP("prusa-slicer is not installed");
    const QString folder = world(3), file = folder + "/globe.3mf", gcode = folder + "/globe.gcode";
    QCOMPARE(run({"export", folder, "--out", file, "--diameter", "40", "--relief", "2mm",
                  "--halves", "--pins", "1.75", "--filaments", "4"},
                 &output),
             0);
    QCOMPARE(runProgram(slicer, {"--info", file}, &output), 0);
    QCOMPARE(output.count("manifold = yes"), 2);
    QCOMPARE(runProgram(slicer,
                        {"--export-gcode", file, "--output", gcode, "--nozzle-diameter",
                         "0.4,0.4,0.4,0.4", "--use-relative-e-distances", "--wipe-tower"},
                        &output),
             0);
    const QByteArray sliced = readBytes(gcode);
    for (const char *tool : {"\nT0\n", "\nT1\n", "\nT2\n", "\nT3\n"})
        QVERIFY2(sliced.contains(tool), tool);
}

void MeshExportTest::plyVertices_data()
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

void MeshExportTest::plyVertices()
{
    QFETCH(int, subdivision);
    QFETCH(int, vertex);
    QFETCH(int, level);
    QFETCH(Rgb, rgb);
    QFETCH(double, radius);
    const QString folder = world(subdivision, WorldRecipe::Flat);
    editIntTable(path(folder, levelsFileName),
                 [=](QVector<int> &levels) { levels[vertex] = level; });
    QVERIFY(exportWorld(folder, {folder + "/out.ply"}).ok());

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

void MeshExportTest::objMatchesPly()
{
    const QString folder = world(2);
    QVERIFY(exportWorld(folder, {folder + "/a.ply", folder + "/a.obj"}).ok());
    const QByteArray ply = readBytes(folder + "/a.ply");
    const int body = plyBody(ply);
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

void MeshExportTest::readBackByAssimp_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("PLY") << "ply";
    QTest::newRow("OBJ") << "obj";
}

// Another program's reader, not ours: the counts it reports after its own
// processing, and that it saw triangles only.
void MeshExportTest::readBackByAssimp()
{
    QFETCH(QString, format);
    const QString assimp = QStandardPaths::findExecutable("assimp");
    if (assimp.isEmpty())
        QSKIP("assimp (assimp-utils) is not installed");
    const QString folder = world(4), file = folder + "/globe." + format;
    QVERIFY(exportWorld(folder, {file}).ok());
    QProcess process;
    process.start(assimp, {"info", file});
    QVERIFY(process.waitForFinished(60000));
    const QString info = process.readAllStandardOutput();
    for (const char *expected : {"Vertices:\\s+2562\\n", "Faces:\\s+5120\\n",
                                 "Primitive Types:\\s+triangles\\n", "\\[2562 / 0 / 5120 \\|"})
        QVERIFY2(info.contains(QRegularExpression(expected)), qPrintable(expected + info));
}

void MeshExportTest::levelSources_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("level"); // of vertex 3, 7 in the demo terrain, 5 in save.dat
    QTest::addColumn<QString>("note");
    QTest::addColumn<QString>("summary"); // in info's output
    QTest::newRow("base002.dat as stored, whatever demo.txt says")
        << QStringList() << 0 << "as stored in base002.dat (the starting levels); demo.txt is on"
        << "sea (level 0) 100.0%";
    QTest::newRow("--demo as the editor starts") << QStringList{"--demo"} << 7 << "demo terrain"
                                                 << "sea (level 0) 0.0%";
    QTest::newRow("--levels as stored") << QStringList{"--levels", "save.dat"} << 5 << "save.dat"
                                        << "level 5: 1 vertices, 2.4%";
    QTest::newRow("--levels with --demo")
        << QStringList{"--levels", "save.dat", "--demo"} << 7 << "save.dat with the demo"
        << "sea (level 0) 0.0%";
}

void MeshExportTest::levelSources()
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
    QCOMPARE(int(ply[plyBody(ply) + plyVertexBytes * 3 + 15]), level);
    QCOMPARE(run(QStringList{"info", folder} + options, &output), 0);
    QVERIFY2(output.contains(summary) && output.contains(note), qPrintable(output));
}

void MeshExportTest::exportReplacesLinksNotFollows_data()
{
    addPlantedLinkRows();
}

// export --out wrote through a link planted at OUT.partial into the file it
// named, with status 0.
void MeshExportTest::exportReplacesLinksNotFollows()
{
    QFETCH(PlantedLink, link);
    const QString folder = world(1);
    const QString scratch = dir.filePath(QString("links%1").arg(int(link)));
    QVERIFY(QDir().mkpath(scratch));
    const QString victim = scratch + "/victim", out = scratch + "/out.ply";
    writeBytes(victim, "someone's file\n");
    plantLink(link, out, victim);
    const Status exported = exportWorld(folder, {out});
    QVERIFY2(exported.ok(), qPrintable(exported.message()));
    QCOMPARE(readBytes(victim), QByteArray("someone's file\n"));
    QVERIFY(isPlainFile(out));
    QVERIFY(readBytes(out).startsWith("ply\n"));
}

// The page of the Earth opened from disk by headless Chromium with every host
// unresolvable: the globe in the level colours on white, in the editor's
// start view (pole up, longitude 0 in the middle, the sea sphere 0.85 of the
// half height), and nothing in the page that names another file or address.
void MeshExportTest::webPageOpensOffline()
{
    const QString folder = dir.filePath("Earth"), page = dir.filePath("earth.html");
    World earth = generateWorld({5, WorldRecipe::Flat, 1, false});
    QVERIFY(layEarthRelief(earth).ok());
    QVERIFY(writeWorld(folder, earth).ok());
    QCOMPARE(run({"export", folder, "--out", page}, &output), 0);
    const QByteArray html = readBytes(page);
    QVERIFY(html.contains("<title>Earth</title>"));
    // three.js's loaders are in the library, but there is no address to give
    // them: the only scheme texts are the XHTML namespace three.js makes
    // elements in and a shader comment's citation.
    const QStringList known{"http://www.w3.org/1999/xhtml",
                            "https://graphics.stanford.edu/papers/envmap/envmap.pdf"};
    QRegularExpressionMatchIterator found =
        QRegularExpression("\\b(?:https?|file|ftp|wss?):[^\"'\\s)]*")
            .globalMatch(QString::fromUtf8(html));
    while (found.hasNext()) {
        const QString scheme = found.next().captured();
        QVERIFY2(known.contains(scheme), qPrintable(scheme));
    }
    const int library = html.indexOf("<script>"), libraryEnd = html.indexOf("</script>");
    const QByteArray ours = html.left(library) + html.mid(libraryEnd);
    QVERIFY(!QRegularExpression("\\b(?:src|href)\\s*=|url\\(|@import")
                 .match(QString::fromUtf8(ours))
                 .hasMatch());

    const QString chromium = QStandardPaths::findExecutable("chromium");
    if (chromium.isEmpty())
        QSKIP("chromium is not installed");
    const QString shot = dir.filePath("earth-page.png");
    QCOMPARE(
        runProgram(chromium,
                   {"--headless", "--no-sandbox", "--use-angle=swiftshader",
                    "--enable-unsafe-swiftshader", "--host-resolver-rules=MAP * ~NOTFOUND",
                    "--user-data-dir=" + dir.filePath("chromium-profile"), "--window-size=800,600",
                    "--hide-scrollbars", "--virtual-time-budget=30000", "--screenshot=" + shot,
                    QUrl::fromLocalFile(page).toString()},
                   &output),
        0);
    const QImage image = QImage(shot).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(image.size(), QSize(800, 600));
    // Each place at its orthographic position: x = R cos(lat) sin(lon), y =
    // R sin(lat), R = 0.85 x 300 pixels, about the middle of the view.
    auto at = [&](double lon, double lat) {
        const double r = 0.85 * 300, d = 3.14159265358979 / 180;
        return image.pixel(int(400 + r * std::cos(lat * d) * std::sin(lon * d)),
                           int(300 - r * std::sin(lat * d)));
    };
    const QRgb white = qRgb(255, 255, 255), sea = qRgb(130, 194, 246);
    QCOMPARE(image.pixel(5, 5), white);
    QCOMPARE(at(-30, 0), sea);                    // the Atlantic
    QCOMPARE(at(0, -30), sea);                    // the South Atlantic
    QVERIFY(at(20, 15) != sea);                   // Chad
    QVERIFY(at(-60, -10) != sea);                 // Amazonia
    QCOMPARE(image.pixel(400 - 262, 300), white); // beyond the sea sphere's 255 pixels
    QVERIFY(image.pixel(400 - 250, 300) != white);
    // The land in the level colours themselves, not only their blends.
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y)];
    }
    int levelsShown = 0;
    for (int level = 0; level <= 9; ++level) {
        const Rgb8 c = levelRgb8(level);
        levelsShown += counts.value(qRgb(c.red, c.green, c.blue)) >= 50;
    }
    QVERIFY2(levelsShown >= 5, qPrintable(QString::number(levelsShown)));
}

QTEST_GUILESS_MAIN(MeshExportTest)
#include "tst_meshexport.moc"
