// The two level rules and the corner position rule: pure arithmetic whose
// exact floats decide where every corner of the globe lies.
#include "terrain/triangle.h"
#include "world/worldtables.h"

#include <QtTest>

#include <climits>
#include <cmath>
#include <cstring>

class LevelRulesTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { subdivisionLevel = 4; }
    void radiusAtSubdivisionFour_data();
    void radiusAtSubdivisionFour();
    void radiusFollowsSubdivisionAtCallTime_data();
    void radiusFollowsSubdivisionAtCallTime();
    void lowestSubdivisionsDoNotWrapAround_data();
    void lowestSubdivisionsDoNotWrapAround();
    void colours_data();
    void colours();
    void cornerPositions_data();
    void cornerPositions();
    void cornerPositionIsExactWhateverCameBefore();
};

static quint32 bitsOf(float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

void LevelRulesTest::radiusAtSubdivisionFour_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<float>("radius");
    const float radii[10] = {0.85f,       0.85425f, 0.8585f,  0.86700004f, 0.87975f,
                             0.89250004f, 0.901f,   0.90525f, 0.9095f,     0.91375005f};
    for (int level = 0; level < 10; ++level)
        QTest::newRow(qPrintable(QString("level %1").arg(level))) << level << radii[level];
    QTest::newRow("level -1 on the base sphere") << -1 << 0.85f;
    QTest::newRow("level 10 on the base sphere") << 10 << 0.85f;
    QTest::newRow("INT_MAX on the base sphere") << INT_MAX << 0.85f;
    QTest::newRow("INT_MIN on the base sphere") << INT_MIN << 0.85f;
}

void LevelRulesTest::radiusAtSubdivisionFour()
{
    QFETCH(int, level);
    QFETCH(float, radius);
    subdivisionLevel = 4;
    float got = -1.0f;
    Triangle::levelRadius(level, got);
    QCOMPARE(bitsOf(got), bitsOf(radius));
}

void LevelRulesTest::radiusFollowsSubdivisionAtCallTime_data()
{
    QTest::addColumn<int>("subdivision");
    QTest::addColumn<double>("radius");
    QTest::newRow("finer world, lower peaks") << 5 << 0.85 * (1 + 0.075 / 4);
    QTest::newRow("coarser world, higher peaks") << 3 << 0.85 * (1 + 0.075 * 4);
    QTest::newRow("much finer world") << 8 << 0.85 * (1 + 0.075 / 256);
    QTest::newRow("largest header value flattens the peaks") << INT_MAX << double(0.85f);
}

void LevelRulesTest::radiusFollowsSubdivisionAtCallTime()
{
    QFETCH(int, subdivision);
    QFETCH(double, radius);
    subdivisionLevel = subdivision;
    float got = 0.0f;
    Triangle::levelRadius(9, got);
    QVERIFY2(std::fabs(got - radius) < 1e-6, qPrintable(QString::number(got, 'g', 9)));
    float base = 0.0f;
    Triangle::levelRadius(0, base);
    QCOMPARE(base, 0.85f);
}

void LevelRulesTest::lowestSubdivisionsDoNotWrapAround_data()
{
    QTest::addColumn<int>("subdivision");
    QTest::newRow("INT_MIN") << INT_MIN;
    QTest::newRow("INT_MIN + 3") << INT_MIN + 3;
}

// The checker accepts any header entry 0. Far below 4 the peaks rise beyond
// every float, as they already do at -100; S - 4 computed in int wrapped
// to a huge positive power instead and flattened the globe (and is undefined).
void LevelRulesTest::lowestSubdivisionsDoNotWrapAround()
{
    QFETCH(int, subdivision);
    subdivisionLevel = -100;
    float coarse = 0.0f;
    Triangle::levelRadius(9, coarse);
    subdivisionLevel = subdivision;
    float got = 0.0f;
    Triangle::levelRadius(9, got);
    QVERIFY(std::isinf(coarse));
    QCOMPARE(got, coarse);
}

void LevelRulesTest::colours_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QVector<float>>("rgb");
    QTest::newRow("water") << 0 << QVector<float>{0.5098f, 0.7608f, 0.9647f};
    QTest::newRow("green") << 1 << QVector<float>{0.3098f, 0.9686f, 0.5294f};
    QTest::newRow("pale green") << 2 << QVector<float>{0.6f, 1.0f, 0.6628f};
    QTest::newRow("sand") << 3 << QVector<float>{0.9216f, 0.8235f, 0.5529f};
    QTest::newRow("light brown") << 4 << QVector<float>{0.8863f, 0.6745f, 0.3922f};
    QTest::newRow("brown") << 5 << QVector<float>{0.8431f, 0.5647f, 0.2549f};
    QTest::newRow("brown 6") << 6 << QVector<float>{0.8392f, 0.498f, 0.2902f};
    QTest::newRow("darker brown") << 7 << QVector<float>{0.8235f, 0.4431f, 0.2118f};
    QTest::newRow("dark brown") << 8 << QVector<float>{0.7059f, 0.3804f, 0.1804f};
    QTest::newRow("darkest brown") << 9 << QVector<float>{0.5843f, 0.2863f, 0.1529f};
    QTest::newRow("below the table is black") << -1 << QVector<float>{0, 0, 0};
    QTest::newRow("above the table is black") << 10 << QVector<float>{0, 0, 0};
    QTest::newRow("INT_MIN is black") << INT_MIN << QVector<float>{0, 0, 0};
}

void LevelRulesTest::colours()
{
    QFETCH(int, level);
    QFETCH(QVector<float>, rgb);
    float red = -1, green = -1, blue = -1;
    Triangle::levelColor(level, red, green, blue);
    QCOMPARE((QVector<float>{red, green, blue}), rgb);
}

void LevelRulesTest::cornerPositions_data()
{
    QTest::addColumn<float>("theta");
    QTest::addColumn<float>("phi");
    QTest::addColumn<QVector<float>>("expected");
    const float halfPi = float(M_PI / 2);
    QTest::newRow("pole, any azimuth") << 0.0f << 2.5f << QVector<float>{0, 0, 0.85f};
    QTest::newRow("equator at azimuth 0 is +y")
        << halfPi << 0.0f << QVector<float>{0, 0.85f, float(0.85 * std::cos(double(halfPi)))};
    QTest::newRow("equator at a quarter turn is +x")
        << halfPi << halfPi
        << QVector<float>{0.85f, float(0.85 * std::cos(double(halfPi))),
                          float(0.85 * std::cos(double(halfPi)))};
}

void LevelRulesTest::cornerPositions()
{
    QFETCH(float, theta);
    QFETCH(float, phi);
    QFETCH(QVector<float>, expected);
    float radius;
    Triangle::levelRadius(0, radius);
    float position[3];
    cornerPosition(radius, theta, phi, position);
    for (int k = 0; k < 3; ++k)
        QVERIFY2(std::fabs(position[k] - expected[k]) <= 1e-7f,
                 qPrintable(QString("coordinate %1 is %2").arg(k).arg(position[k], 0, 'g', 9)));
    if (theta == 0.0f)
        QCOMPARE(QVector<float>(position, position + 3), expected);
}

// Positions come from remembered sines and cosines; many angle pairs, visited
// forwards and then backwards, force slots to be shared and replaced. Every
// coordinate must still be bit for bit the double-precision rule.
void LevelRulesTest::cornerPositionIsExactWhateverCameBefore()
{
    QVector<QPair<float, float>> angles;
    for (int i = 0; i < 2000; ++i)
        angles << qMakePair(float(i % 97) * 0.0323f, float(i % 89) * 0.0706f - 3.1f);
    const auto expected = [](double radius, float theta, float phi, int k) {
        const double s = radius * std::sin(double(theta));
        const double xyz[3] = {s * std::sin(double(phi)), s * std::cos(double(phi)),
                               radius * std::cos(double(theta))};
        return float(xyz[k]);
    };
    for (int pass = 0; pass < 2; ++pass) {
        for (int n = 0; n < angles.size(); ++n) {
            const auto [theta, phi] = angles[pass == 0 ? n : angles.size() - 1 - n];
            const double radius = 0.85 + 0.001 * (n % 3);
            float position[3];
            cornerPosition(radius, theta, phi, position);
            for (int k = 0; k < 3; ++k)
                QCOMPARE(bitsOf(position[k]), bitsOf(expected(radius, theta, phi, k)));
        }
    }
}

QTEST_GUILESS_MAIN(LevelRulesTest)
#include "tst_levelrules.moc"
