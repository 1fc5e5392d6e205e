#include "app/scene3d.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Scene3D scene;
    scene.resize(QSize(500, 500));
    scene.show();
    return app.exec();
}
