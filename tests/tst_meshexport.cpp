// globe-world export's 3D files as other programs read them: glTF through
// tinygltf and the Khronos validator, STL as a solid to print, and the
// refusals that must leave nothing behind.
#include "meshes/meshfiles.h"
#include "terrain/vec3.h"
#include "world/tablefile.h"
#include "world/worldload.h"
#include "worldfiles.h"

#include <QDir>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <tiny_gltf.h>

#include <cmath>

class MeshExportTest : public QObject
{
    Q_OBJECT

private slots:
    void gltfReadBack_data();
    void gltfReadBack();
    void gltfPassesValidator_data();
    void gltfPassesValidator();
    void stlIsAClosedSolid_data();
    void stlIsAClosedSolid();
    void reliefInMillimetres();
    void refusalsLeaveNothing_data();
    void refusalsLeaveNothing();

private:
    QString world(int subdivision);
    QTemporaryDir dir;
    QString output; // stdout and stderr of the last run
};

namespace {

int run(const QStringList &arguments, QString *output)
{
    return runProgram(GLOBE_WORLD_EXE, arguments, output);
}

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

} // namespace

QString MeshExportTest::world(int subdivision)
{
    static int made = 0;
    const QString folder = dir.filePath(QStringLiteral("world%1").arg(++made));
    writeTestWorld(folder, {subdivision, WorldRecipe::Random, 1, false});
    return folder;
}

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

    QHash<QString, int> edges; // "from|to" -> facets running along it that way
    double lowest = HUGE_VAL, highest = 0;
    for (const Facet &f : facets) {
        QVERIFY(std::fabs(dot(f.normal, f.normal) - 1) < 1e-5);
        const Vec3 turn = cross(f.corners[1] - f.corners[0], f.corners[2] - f.corners[0]);
        QVERIFY(dot(f.normal, turn) > 0);
        QVERIFY(dot(f.normal, f.corners[0] + f.corners[1] + f.corners[2]) > 0);
        for (int k = 0; k < 3; ++k) {
            ++edges[pointKey(f.corners[k]) + "|" + pointKey(f.corners[(k + 1) % 3])];
            const double radius = std::sqrt(dot(f.corners[k], f.corners[k]));
            lowest = std::min(lowest, radius);
            highest = std::max(highest, radius);
        }
    }
    QCOMPARE(edges.size(), 3 * 1280);
    for (auto edge = edges.cbegin(); edge != edges.cend(); ++edge) {
        const QStringList ends = edge.key().split('|');
        QVERIFY2(edge.value() == 1 && edges.value(ends[1] + "|" + ends[0]) == 1,
                 qPrintable(edge.key()));
    }
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
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown extension")
        << QStringList{"globe.glb", "globe.fbx"} << 1
        << "globe.fbx: not a format export writes; name it .glb, .gltf, .stl, .3mf, .ply or .obj";
    QTest::newRow("missing folder")
        << QStringList{"globe.stl", "no/such/globe.glb"} << 2 << "globe.glb: not written";
}

// One line naming the file, and not even the files that could be written.
void MeshExportTest::refusalsLeaveNothing()
{
    QFETCH(QStringList, files);
    QFETCH(int, status);
    QFETCH(QString, message);
    const QString folder = world(2);
    const QString scratch = dir.filePath(QString("scratch %1").arg(QTest::currentDataTag()));
    QVERIFY(QDir().mkpath(scratch));
    QStringList arguments{"export", folder};
    for (const QString &file : files)
        arguments << "--out" << scratch + "/" + file;
    QCOMPARE(run(arguments, &output), status);
    QVERIFY2(output.contains(message), qPrintable(output));
    QCOMPARE(output.count('\n'), 1);
    QCOMPARE(QDir(scratch).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

QTEST_GUILESS_MAIN(MeshExportTest)
#include "tst_meshexport.moc"
