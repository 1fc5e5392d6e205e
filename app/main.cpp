#include "app/scene3d.h"
#include "app/startup.h"

#include <QDir>

int main(int argc, char *argv[])
{
    // Before the display is opened, so that --help needs none.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (!noteArguments(arguments))
        return 0;
    const std::unique_ptr<QApplication> app = startApplication(argc, argv);
    Scene3D scene;
    // The world is the working directory. The whole title is given here, not
    // through Qt's display name, which Qt adds to _NET_WM_NAME alone and not
    // to WM_NAME, so that window lists and pagers disagreed.
    scene.setWindowTitle(QDir::current().dirName() + QStringLiteral(" — Globe"));
    scene.resize(QSize(500, 500));
    scene.show();
    return app->exec();
}
