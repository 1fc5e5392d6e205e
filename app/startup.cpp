#include "app/startup.h"

#include "world/filenames.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct HeldMessage
{
    QtMsgType type;
    QByteArray category;
    QString text;
};

std::vector<HeldMessage> held;

QString displayVariables()
{
    QStringList found;
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const QString value = qEnvironmentVariable(name);
        if (!value.isEmpty())
            found << QStringLiteral("%1=%2").arg(QLatin1String(name), value);
    }
    return found.isEmpty() ? QStringLiteral("neither DISPLAY nor WAYLAND_DISPLAY is set")
                           : found.join(QStringLiteral(", "));
}

// Without a display Qt warns in two lines, then aborts with advice to
// reinstall, which would not help. Its lines are held back until the
// application object stands.
void holdMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "globe: no display to open the window on (%s)\n",
                     qPrintable(displayVariables()));
        std::fflush(stderr);
        std::_Exit(1);
    }
    held.push_back({type, QByteArray(context.category), text});
}

void releaseHeldMessages()
{
    for (const HeldMessage &message : held) {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.constData());
        std::fprintf(stderr, "%s\n",
                     qPrintable(qFormatLogMessage(message.type, context, message.text)));
    }
    held.clear();
}

} // namespace

std::unique_ptr<QApplication> startApplication(int &argc, char **argv)
{
    // Qt 5 tries X11 unless told otherwise (or the session says Wayland): on
    // a Wayland desktop without Xwayland there is no X display to connect to.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "wayland");
    const QtMessageHandler previous = qInstallMessageHandler(holdMessage);
    auto app = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previous);
    releaseHeldMessages();
    QApplication::setApplicationName(QStringLiteral("globe"));
    QApplication::setDesktopFileName(QStringLiteral("globe"));
    return app;
}

bool noteArguments(const QStringList &arguments)
{
    const QStringList given = arguments.mid(1);
    const QString here = shownName(QDir::currentPath());
    if (given.contains(QLatin1String("--help")) || given.contains(QLatin1String("-h"))) {
        std::fprintf(stdout,
                     "Usage: globe\nThe globe editor: it opens the world of the current folder "
                     "(%s) and takes no options.\nTo open the world in DIR: globe-launch DIR, "
                     "or cd DIR && globe. To make one: globe-world generate DIR.\n",
                     qPrintable(here));
        return false;
    }
    for (const QString &argument : given) {
        if (QFileInfo(argument).isDir()) {
            const QString dir = shownName(argument);
            std::fprintf(stderr,
                         "globe: the editor opens the world of the current folder (%s), not %s: "
                         "to open %s, run globe-launch %s, or cd %s && globe\n",
                         qPrintable(here), qPrintable(dir), qPrintable(dir), qPrintable(dir),
                         qPrintable(dir));
            break;
        }
    }
    return true;
}
