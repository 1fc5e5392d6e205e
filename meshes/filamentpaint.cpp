#include "meshes/filamentpaint.h"

#include "world/filenames.h"

#include <zip.h>

#include <QRegularExpression>

#include <algorithm>
#include <climits>
#include <memory>

namespace {

const int levelCount = 10; // 0 the sea, 1..9 the land
// Where lib3mf puts the model in its packages, and PrusaSlicer's namespace
// for its own attributes.
const char *const modelPart = "3D/3dmodel.model";
const char *const slic3rNamespace = " xmlns:slic3rpe=\"http://schemas.slic3r.org/3mf/2017/06\"";

Status badGroups(const QString &text, const QString &reason)
{
    // Escaped as a name is, so that the message stays one line.
    return Status::usage(
        QStringLiteral("export: --filament-levels %1: %2").arg(shownName(text), reason));
}

struct ZipClosed
{
    void operator()(zip_t *archive) const { zip_discard(archive); }
};
struct SourceFreed
{
    void operator()(zip_source_t *source) const { zip_source_free(source); }
};

Status packageError(const QString &path, const char *step, const char *reason)
{
    return Status::notWritten(path, QStringLiteral("could not %1 the 3MF package to paint it (%2)")
                                        .arg(QLatin1String(step), QString::fromUtf8(reason)));
}

// The model with both attributes on each triangle, in the order written.
Status paintedModel(const QString &path, const QByteArray &model, const QVector<QByteArray> &codes,
                    QByteArray &painted)
{
    const int modelTag = model.indexOf("<model ");
    if (modelTag < 0)
        return packageError(path, "read", "no model element");
    const int afterName = modelTag + int(qstrlen("<model"));
    painted = model.left(afterName) + slic3rNamespace;
    painted.reserve(model.size() + codes.size() * 48);
    int from = afterName, triangle = 0;
    for (int at = model.indexOf("<triangle ", from); at >= 0;
         at = model.indexOf("<triangle ", from)) {
        const int end = model.indexOf("/>", at);
        if (end < 0 || triangle == codes.size())
            return packageError(path, "read", "more triangles than the meshes");
        const QByteArray &code = codes[triangle++];
        painted += model.mid(from, end - from);
        painted += " slic3rpe:mmu_segmentation=\"" + code + "\" paint_color=\"" + code + "\"";
        from = end;
    }
    if (triangle != codes.size())
        return packageError(path, "read", "fewer triangles than the meshes");
    painted += model.mid(from);
    return Status();
}

} // namespace

FilamentLevels filamentBands(int count)
{
    FilamentLevels levels;
    levels.count = count;
    const int bands = std::min(count - 1, levelCount - 1);
    levels.filamentOfLevel << 1;
    for (int level = 1; level < levelCount; ++level)
        levels.filamentOfLevel << 2 + (level - 1) * bands / (levelCount - 1);
    return levels;
}

Status parseFilamentLevels(const QString &text, FilamentLevels &levels)
{
    static const QRegularExpression group(QStringLiteral("^\\s*(\\d)\\s*(?:-\\s*(\\d)\\s*)?$"));
    FilamentLevels parsed;
    const QStringList groups = text.split(QLatin1Char(','));
    for (const QString &text : groups) {
        const QRegularExpressionMatch match = group.match(text);
        if (!match.hasMatch())
            return badGroups(text, QStringLiteral("each group is a level or a range A-B of levels "
                                                  "0 to 9, separated by commas"));
        const int first = match.captured(1).toInt();
        const int last = match.captured(2).isEmpty() ? first : match.captured(2).toInt();
        if (first != parsed.filamentOfLevel.size() || last < first)
            return badGroups(text, QStringLiteral("the groups must run in order from level 0, "
                                                  "each starting after the last, without gaps "
                                                  "or overlaps"));
        ++parsed.count;
        for (int level = first; level <= last; ++level)
            parsed.filamentOfLevel << parsed.count;
    }
    if (parsed.filamentOfLevel.size() != levelCount)
        return badGroups(text, QStringLiteral("the groups must end at level 9"));
    if (parsed.count < minFilaments)
        return badGroups(text, QStringLiteral("give at least %1 groups").arg(minFilaments));
    levels = parsed;
    return Status();
}

QString filamentLevelsText(const FilamentLevels &levels)
{
    QStringList parts;
    for (int filament = 1; filament <= levels.count; ++filament) {
        const int first = int(levels.filamentOfLevel.indexOf(filament));
        const int last = int(levels.filamentOfLevel.lastIndexOf(filament));
        if (first < 0)
            parts << QStringLiteral("%1: unused").arg(filament);
        else if (first == last)
            parts << QStringLiteral("%1: level %2").arg(filament).arg(first);
        else
            parts << QStringLiteral("%1: levels %2-%3").arg(filament).arg(first).arg(last);
    }
    return parts.join(QStringLiteral("; "));
}

QByteArray paintCode(int filament)
{
    if (filament == 1)
        return "4";
    if (filament == 2)
        return "8";
    return QByteArray::number(filament - 3, 16).toUpper() + "C";
}

int triangleFilament(const FilamentLevels &levels, const DrawnMesh &mesh, int triangle)
{
    int filaments[3];
    for (int k = 0; k < 3; ++k) {
        const int level =
            std::clamp(shownLevel(mesh, mesh.corners[3 * triangle + k]), 0, levelCount - 1);
        filaments[k] = levels.filamentOfLevel[level];
    }
    std::sort(filaments, filaments + 3);
    return filaments[1];
}

Status paint3mf(const QString &path, QByteArray *package, const QVector<const DrawnMesh *> &objects,
                const FilamentLevels &levels)
{
    QVector<QByteArray> codes;
    for (const DrawnMesh *mesh : objects) {
        for (int t = 0; t < mesh->triangleCount(); ++t)
            codes << paintCode(triangleFilament(levels, *mesh, t));
    }
    zip_error_t error;
    zip_error_init(&error);
    std::unique_ptr<zip_source_t, SourceFreed> source(
        zip_source_buffer_create(package->constData(), zip_uint64_t(package->size()), 0, &error));
    if (!source)
        return packageError(path, "open", zip_error_strerror(&error));
    std::unique_ptr<zip_t, ZipClosed> archive(zip_open_from_source(source.get(), 0, &error));
    if (!archive)
        return packageError(path, "open", zip_error_strerror(&error));
    // The archive now owns a reference; this one reads the result back.
    zip_source_keep(source.get());
    const zip_int64_t index = zip_name_locate(archive.get(), modelPart, 0);
    zip_stat_t stat;
    if (index < 0 || zip_stat_index(archive.get(), zip_uint64_t(index), 0, &stat) != 0 ||
        !(stat.valid & ZIP_STAT_SIZE) || stat.size > zip_uint64_t(INT_MAX / 2))
        return packageError(path, "find the model in", zip_strerror(archive.get()));
    QByteArray model(int(stat.size), Qt::Uninitialized);
    zip_file_t *file = zip_fopen_index(archive.get(), zip_uint64_t(index), 0);
    const bool read = file && zip_fread(file, model.data(), stat.size) == zip_int64_t(stat.size);
    if (file)
        zip_fclose(file);
    if (!read)
        return packageError(path, "read", zip_strerror(archive.get()));
    QByteArray painted;
    const Status rewritten = paintedModel(path, model, codes, painted);
    if (!rewritten.ok())
        return rewritten;
    zip_source_t *replacement =
        zip_source_buffer(archive.get(), painted.constData(), zip_uint64_t(painted.size()), 0);
    if (!replacement || zip_file_replace(archive.get(), zip_uint64_t(index), replacement, 0) != 0) {
        zip_source_free(replacement);
        return packageError(path, "rewrite", zip_strerror(archive.get()));
    }
    // The fastest level: the painted model repeats itself so much that the
    // default level's search spends seconds on it for a few per cent.
    zip_set_file_compression(archive.get(), zip_uint64_t(index), ZIP_CM_DEFLATE, 1);
    if (zip_close(archive.get()) != 0)
        return packageError(path, "rewrite", zip_strerror(archive.get()));
    archive.release();
    zip_stat_t written;
    if (zip_source_stat(source.get(), &written) != 0 || !(written.valid & ZIP_STAT_SIZE) ||
        written.size > zip_uint64_t(INT_MAX) || zip_source_open(source.get()) != 0)
        return packageError(path, "rewrite", zip_error_strerror(zip_source_error(source.get())));
    QByteArray out(int(written.size), Qt::Uninitialized);
    const zip_int64_t got = zip_source_read(source.get(), out.data(), written.size);
    zip_source_close(source.get());
    if (got != zip_int64_t(written.size))
        return packageError(path, "rewrite", zip_error_strerror(zip_source_error(source.get())));
    *package = out;
    return Status();
}
