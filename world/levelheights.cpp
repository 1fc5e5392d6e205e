#include "world/levelheights.h"

#include "world/filenames.h"
#include "world/regularfile.h"

#include <QDir>
#include <QList>

#include <cmath>

namespace {

const qint64 heightsFileLimit = 4096;

QString numberText(double value)
{
    // The shortest plain decimal that reads back as the same double.
    for (int decimals = 0; decimals <= 17; ++decimals) {
        const QString text = QString::number(value, 'f', decimals);
        if (text.toDouble() == value)
            return text;
    }
    return QString::number(value, 'g', 17);
}

Status broken(int line, const QString &why)
{
    return Status::refused(QString::fromLatin1(heightsFileName),
                           QStringLiteral("line %1: %2").arg(line).arg(why));
}

} // namespace

QString heightsFault(const std::array<double, 9> &metres)
{
    for (int k = 0; k < 9; ++k) {
        if (!(std::isfinite(metres[k]) && metres[k] > (k == 0 ? 0 : metres[k - 1])))
            return QStringLiteral("the heights must rise above 0 m with each level, and level "
                                  "%1's does not")
                .arg(k + 1);
    }
    return QString();
}

Status parseLevelHeights(const QByteArray &text, LevelHeights *heights)
{
    LevelHeights h;
    std::array<bool, 9> seen{};
    const QList<QByteArray> lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QList<QByteArray> words = line.simplified().split(' ');
        bool number = false;
        const double value = words.last().toDouble(&number);
        if (!number || !std::isfinite(value))
            return broken(i + 1, QStringLiteral("a height must be a finite number of metres"));
        if (words.size() == 2 && words[0] == "sea" && !h.seaKnown && value >= 0) {
            h.seaKnown = true;
            h.seaDepthM = value;
            continue;
        }
        bool isLevel = false;
        const int level = words.size() == 3 && words[0] == "level" ? words[1].toInt(&isLevel) : 0;
        if (!isLevel || level < 1 || level > 9 || seen[level - 1])
            return broken(i + 1, QStringLiteral("expected \"level K METRES\" for a new K of 1 to "
                                                "9, or one \"sea METRES\" of 0 or more"));
        seen[level - 1] = true;
        h.metres[level - 1] = value;
    }
    for (int k = 0; k < 9; ++k) {
        if (!seen[k])
            return Status::refused(QString::fromLatin1(heightsFileName),
                                   QStringLiteral("no height for level %1").arg(k + 1));
    }
    if (const QString fault = heightsFault(h.metres); !fault.isEmpty())
        return Status::refused(QString::fromLatin1(heightsFileName), fault);
    h.known = true;
    *heights = h;
    return {};
}

Status readLevelHeights(const QString &dir, LevelHeights *heights)
{
    *heights = LevelHeights();
    QByteArray text;
    const QString path = QDir(dir).filePath(QString::fromLatin1(heightsFileName));
    const FileOpen open = readRegularFile(path, NameLink::Refused, heightsFileLimit + 1, &text);
    if (open.missing)
        return {};
    if (!open.ok())
        return open.status;
    if (open.size > heightsFileLimit)
        return Status::refused(QString::fromLatin1(heightsFileName),
                               QStringLiteral("more than %1 bytes").arg(heightsFileLimit));
    return parseLevelHeights(text, heights);
}

QByteArray levelHeightsBytes(const LevelHeights &heights)
{
    QString text = QStringLiteral("# The heights in metres that this world's levels stand for.\n");
    for (int k = 0; k < 9; ++k)
        text += QStringLiteral("level %1 %2\n").arg(k + 1).arg(numberText(heights.metres[k]));
    if (heights.seaKnown)
        text += QStringLiteral("sea %1\n").arg(numberText(heights.seaDepthM));
    return text.toLatin1();
}

LevelHeights heightsFromPeak(double peakMetres)
{
    LevelHeights h;
    h.known = true;
    for (int k = 1; k <= 9; ++k)
        h.metres[k - 1] = (k - 0.5) * peakMetres / 9;
    return h;
}

LevelHeights defaultLevelHeights()
{
    return heightsFromPeak(4500);
}
