#include "meshes/webpage.h"

#include "meshes/meshframe.h"
#include "terrain/levelrules.h"

#include <QFile>
#include <QRegularExpression>

#include <cstring>

namespace {

const char *const background = "#ffffff";
// The page's colour index of a level outside 0..9, drawn black as the editor does.
const int unknownLevel = 10;

QByteArray resource(const char *name)
{
    QFile file(QStringLiteral(":/webpage/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

template <typename T> void append(QByteArray &out, const T *values, int count)
{
    out.append(reinterpret_cast<const char *>(values), int(sizeof(T)) * count);
}

// The mesh as the page reads it (webpage.h), deflated in zlib's format.
QByteArray meshStream(const DrawnMesh &mesh)
{
    const QVector<float> positions = framedPositions(mesh, UpAxis::Y);
    const quint32 counts[2] = {quint32(mesh.vertexCount()), quint32(mesh.triangleCount())};
    QByteArray raw;
    raw.reserve(8 + 13 * mesh.vertexCount() + 12 * mesh.triangleCount());
    append(raw, counts, 2);
    append(raw, positions.constData(), positions.size());
    append(raw, mesh.corners.constData(), mesh.corners.size());
    QByteArray shown(mesh.vertexCount(), char(unknownLevel));
    for (int v = 0; v < mesh.vertexCount(); ++v) {
        const int level = shownLevel(mesh, v);
        if (level >= 0 && level <= 9)
            shown[v] = char(level);
    }
    raw.append(shown);
    // qCompress puts the length before zlib's stream, which the browser
    // would not understand.
    return qCompress(raw, 9).mid(4);
}

QByteArray paletteText()
{
    QByteArray text = "[";
    for (int level = 0; level <= unknownLevel; ++level) {
        const Rgb8 c = levelRgb8(level);
        text += QStringLiteral("[%1,%2,%3]%4")
                    .arg(c.red)
                    .arg(c.green)
                    .arg(c.blue)
                    .arg(level < unknownLevel ? QStringLiteral(",") : QString())
                    .toLatin1();
    }
    return text + "]";
}

QByteArray revisionOf(const QByteArray &three)
{
    const QRegularExpressionMatch found =
        QRegularExpression(QStringLiteral("REVISION=\"(\\d+)\"")).match(QString::fromLatin1(three));
    return found.hasMatch() ? found.captured(1).toLatin1() : QByteArray("?");
}

} // namespace

Status encodeWebPage(const DrawnMesh &mesh, const QString &title, const QString &path,
                     QByteArray *bytes)
{
    Q_INIT_RESOURCE(webpage);
    const QByteArray page = resource("page.html"), three = resource("three.min.js"),
                     viewer = resource("viewer.js");
    if (page.isEmpty() || three.isEmpty() || viewer.isEmpty())
        return Status::refused(path, QStringLiteral("the web viewer is missing from this program"));
    // Every part but the library goes in first, the mesh last: its base64
    // holds no '@', and nothing is looked for in it.
    QByteArray out = page;
    // An '@' in the title is written as a reference, so that no later part
    // is put inside it.
    out.replace("@TITLE@", title.toHtmlEscaped().toUtf8().replace("@", "&#64;"));
    out.replace("@BACKGROUND@", background);
    out.replace("@PALETTE@", paletteText());
    out.replace("@SEA_RADIUS@", QByteArray::number(baseSphereRadius));
    out.replace("@THREE_REVISION@", revisionOf(three));
    out.replace("@VIEWER@", viewer);
    out.replace("@THREE@", three);
    out.replace("@MESH@", meshStream(mesh).toBase64());
    *bytes = out;
    return Status();
}
