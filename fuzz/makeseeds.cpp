// Writes the fuzzers' seed corpora from generated worlds: sound inputs of
// every small size, so that mutation starts from worlds the checker accepts.
//
//   fuzz_seeds DIR    writes DIR/world/*.bin and DIR/save/*.bin
#include "fuzz/fuzzentries.h"
#include "world/tablefile.h"

#include <QDir>
#include <QFile>

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

QByteArray worldInput(const WorldData &w)
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

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds DIR\n");
        return 1;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    if (!root.mkpath("world") || !root.mkpath("save")) {
        std::fprintf(stderr, "fuzz_seeds: cannot create folders in %s\n", argv[1]);
        return 2;
    }
    const bool ok = writeWorldSeeds(QDir(root.filePath("world"))) &&
                    writeSaveSeeds(QDir(root.filePath("save")));
    return ok ? 0 : 2;
}
