#include "app/scene3d.h"
#include "app/startup.h"

#include <QDir>

int main(int argc, char *argv[])
{
    const std::unique_ptr<QApplication> app = startApplication(argc, argv);
    Scene3D scene;
    // The world is the working directory; Qt adds " — Globe".
    scene.setWindowTitle(QDir::current().dirName());
    scene.resize(QSize(500, 500));
    scene.show();
    return app->exec();
}
