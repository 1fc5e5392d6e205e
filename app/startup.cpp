#include "app/startup.h"

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
    QApplication::setApplicationDisplayName(QStringLiteral("Globe"));
    QApplication::setDesktopFileName(QStringLiteral("globe"));
    return app;
}
