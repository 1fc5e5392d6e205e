// The table file reader and writer, driven with hand-made bytes: the layouts
// the files promise, and the ways real files break.
#include "world/tablefile.h"

#include <QDir>
#include <QFile>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

class TableFileTest : public QObject
{
    Q_OBJECT

private slots:
    void decodesIntegers_data();
    void decodesIntegers();
    void decodesSinglePrecisionFloats();
    void hugeCountInTinyFileAllocatesNothing();
    void fileReaderAgreesWithDecoder_data();
    void fileReaderAgreesWithDecoder();
    void largeTablesSurviveRoundTrip();
    void describesEachFailure_data();
    void describesEachFailure();
    void encodeReadRoundTrip();
    void writeIntoMissingFolderNamesFileAndReason();
    void racingWritersEachWriteTheirOwn();
    void rewriteKeepsMode();
    void streamsAndFoldersAtOutputsAreRefused();
};

static QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

void TableFileTest::decodesIntegers_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QVector<int>>("table");
    QTest::addColumn<bool>("whole");

    QTest::newRow("two elements, signed")
        << bytes({0, 0, 0, 2, 0, 0, 0, 5, 0xFF, 0xFF, 0xFF, 0xFF}) << QVector<int>{5, -1} << true;
    QTest::newRow("count 3, two elements held")
        << bytes({0, 0, 0, 3, 0, 0, 0, 7, 0, 0, 0, 9}) << QVector<int>{7, 9} << false;
    QTest::newRow("empty table") << bytes({0, 0, 0, 0}) << QVector<int>{} << true;
    QTest::newRow("trailing bytes ignored")
        << bytes({0, 0, 0, 1, 0x12, 0x34, 0x56, 0x78, 0xAB, 0xCD}) << QVector<int>{0x12345678}
        << true;
    QTest::newRow("partial last element")
        << bytes({0, 0, 0, 2, 0, 0, 0, 1, 0, 0}) << QVector<int>{1} << false;
    QTest::newRow("no count at all") << bytes({0, 0, 1}) << QVector<int>{} << false;
    QTest::newRow("empty file") << QByteArray() << QVector<int>{} << false;
    QTest::newRow("huge count, two elements")
        << bytes({0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 1, 0, 0, 0, 2}) << QVector<int>{1, 2} << false;
}

void TableFileTest::decodesIntegers()
{
    QFETCH(QByteArray, file);
    QFETCH(QVector<int>, table);
    QFETCH(bool, whole);
    QVector<int> decoded{42, 43};
    const TableRead read = decodeIntTable("t.dat", file, decoded);
    QCOMPARE(read.ok(), whole);
    QCOMPARE(decoded, table);
}

void TableFileTest::decodesSinglePrecisionFloats()
{
    QVector<float> table;
    const TableRead read = decodeFloatTable(
        "t.dat", bytes({0, 0, 0, 2, 0x3F, 0x80, 0, 0, 0x40, 0x49, 0x0F, 0xDB}), table);
    QVERIFY(read.ok());
    QCOMPARE(table.size(), 2);
    QCOMPARE(table[0], 1.0f);
    QCOMPARE(table[1], 3.1415927f);
}

void TableFileTest::hugeCountInTinyFileAllocatesNothing()
{
    QVector<int> table;
    const TableRead read =
        decodeIntTable("t.dat", bytes({0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 1, 0, 0, 0, 2}), table);
    QCOMPARE(read.status.message(),
             QString("t.dat: declares 4294967295 elements but holds only 2 (12 bytes)"));
    QCOMPARE(read.declared, 0xFFFFFFFFu);
    QCOMPARE(table, (QVector<int>{1, 2}));
    QVERIFY(table.capacity() < 1000);
}

// The file reader streams into the table instead of decoding a copy; every
// way a file can end must come out exactly as the decoder says.
void TableFileTest::fileReaderAgreesWithDecoder_data()
{
    decodesIntegers_data();
}

void TableFileTest::fileReaderAgreesWithDecoder()
{
    QFETCH(QByteArray, file);
    QTemporaryDir dir;
    const QString path = dir.filePath("t.dat");
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
    out.close();
    QVector<int> fromFile{42, 43}, fromBytes;
    const TableRead read = readIntTable(path, fromFile, NameLink::Refused, anyCount, "t.dat");
    const TableRead decoded = decodeIntTable("t.dat", file, fromBytes);
    QCOMPARE(read.status.message(), decoded.status.message());
    QCOMPARE(read.declared, decoded.declared);
    QCOMPARE(fromFile, fromBytes);
    QVERIFY(fromFile.capacity() < 1000);
}

// Big enough for several read chunks and an odd tail, with values whose four
// bytes all differ, so that a swapped or shifted element cannot pass.
void TableFileTest::largeTablesSurviveRoundTrip()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("t.dat");
    QVector<int> ints(3 * 65536 + 3);
    QVector<float> floats(ints.size());
    for (int i = 0; i < ints.size(); ++i) {
        ints[i] = int(quint32(i) * 2654435761u);
        floats[i] = float(i) * -0.37f + 1e-3f;
    }
    QVector<int> intsBack;
    QVERIFY(writeIntTable(path, ints).ok());
    QVERIFY(readIntTable(path, intsBack).ok());
    QCOMPARE(intsBack, ints);
    QVector<float> floatsBack;
    QVERIFY(writeFloatTable(path, floats).ok());
    QVERIFY(readFloatTable(path, floatsBack).ok());
    QCOMPARE(floatsBack, floats);
}

void TableFileTest::describesEachFailure_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("message");
    QTest::newRow("truncated") << bytes({0, 0, 0, 3, 0, 0, 0, 7, 0, 0, 0, 9})
                               << "base004.dat: declares 3 elements but holds only 2 (12 bytes)";
    QTest::newRow("no count") << bytes({0, 0})
                              << "base004.dat: 2 bytes long, too short to hold its element count";
    QTest::newRow("sound") << bytes({0, 0, 0, 0}) << QString();
}

void TableFileTest::describesEachFailure()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, message);
    QVector<int> table;
    QCOMPARE(decodeIntTable("base004.dat", file, table).status.message(), message);
}

void TableFileTest::encodeReadRoundTrip()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("t.dat");
    const QVector<float> angles{0.0f, -1.5f, 3.1415927f, 1e-30f};
    QVERIFY(writeFloatTable(path, angles).ok());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.size(), qint64(4 + 4 * angles.size()));
    file.close();
    QVector<float> back;
    QVERIFY(readFloatTable(path, back).ok());
    QCOMPARE(back, angles);

    QVector<int> missing;
    const TableRead read = readIntTable(dir.filePath("nothing.dat"), missing, NameLink::Refused,
                                        anyCount, "nothing.dat");
    QVERIFY(read.status.message().startsWith("nothing.dat: missing ("));
}

void TableFileTest::writeIntoMissingFolderNamesFileAndReason()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("no/such/folder/save.dat");
    const Status written = writeIntTable(path, {1, 2, 3});
    QCOMPARE(written.kind(), Status::NotWritten);
    QVERIFY2(written.message().startsWith(path + ": not written ("), qPrintable(written.message()));
    QVERIFY(!QFile::exists(path));
}

// Holds the first writer inside its write while a second writer of the same
// file runs from start to end.
QSemaphore firstWriting, secondDone;

qint64 holdFirstWriter(QIODevice &device, const QByteArray &bytes)
{
    if (bytes.endsWith(char(1))) {
        firstWriting.release();
        secondDone.acquire();
    }
    return device.write(bytes);
}

// Both writers shared one temporary file: the second was refused as "another
// program is writing it now", or, a moment later, truncated the live file
// the first had just renamed. Each must write its own, and the last rename
// wins whole.
void TableFileTest::racingWritersEachWriteTheirOwn()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("save.dat");
    QVERIFY(writeIntTable(path, QVector<int>(1000, 0)).ok());
    setDeviceWrite(holdFirstWriter);
    Status first;
    QThread *writer = QThread::create([&] { first = writeIntTable(path, QVector<int>(1000, 1)); });
    writer->start();
    QVERIFY(firstWriting.tryAcquire(1, 10000));
    const Status second = writeIntTable(path, QVector<int>(1000, 2));
    secondDone.release();
    QVERIFY(writer->wait(10000));
    delete writer;
    setDeviceWrite(nullptr);
    QVERIFY2(second.ok(), qPrintable(second.message()));
    QVERIFY2(first.ok(), qPrintable(first.message()));
    QVector<int> table;
    QVERIFY(readIntTable(path, table).ok());
    QCOMPARE(table, QVector<int>(1000, 1));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"save.dat"});
}

// A rewrite made a 0600 file 0644: a private world or export became readable
// by everyone.
void TableFileTest::rewriteKeepsMode()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("base002.dat");
    QVERIFY(writeIntTable(path, {1, 2}).ok());
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    QVERIFY(writeIntTable(path, {3, 4}).ok());
    struct stat info;
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &info), 0);
    QCOMPARE(info.st_mode & 07777, mode_t(0600));
}

// As root, "export --ply /dev/full" exited 0 and left a regular file where
// the device was: the writer renamed over whatever had the name.
void TableFileTest::streamsAndFoldersAtOutputsAreRefused()
{
    QTemporaryDir dir;
    const QByteArray fifo = QFile::encodeName(dir.filePath("fifo.ply"));
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketPath = QFile::encodeName(dir.filePath("socket.ply"));
    qstrncpy(address.sun_path, socketPath.constData(), sizeof address.sun_path);
    QCOMPARE(::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    QVERIFY(QFile::link("/dev/null", dir.filePath("null.ply")));
    QVERIFY(QDir(dir.path()).mkdir("folder.ply"));
    const struct
    {
        const char *name;
        const char *reason;
    } outputs[] = {{"fifo.ply", "(a FIFO, not a regular file)"},
                   {"socket.ply", "(a socket, not a regular file)"},
                   {"null.ply", "(a symbolic link to a character device, not a regular file)"},
                   {"folder.ply", "(a folder has its name)"}};
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::System);
    for (const auto &output : outputs) {
        const QString path = dir.filePath(output.name);
        // Also as the second of two: the first is not written either.
        const Status written = writeFilesAtomically(
            {{dir.filePath("first.ply"), "first"}, {path, QByteArray("ply\n")}});
        QCOMPARE(written.kind(), Status::NotWritten);
        QVERIFY2(written.message().endsWith(output.reason), qPrintable(written.message()));
    }
    ::close(listener);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System), before);
    QCOMPARE(QFileInfo(dir.filePath("null.ply")).symLinkTarget(), QString("/dev/null"));
}

QTEST_GUILESS_MAIN(TableFileTest)
#include "tst_tablefile.moc"
