#include "glprobe.h"

#include <QtTest>

#include <cmath>

double FeedbackVertex::radius() const
{
    return std::sqrt(double(x) * x + double(y) * y + double(z) * z);
}

namespace {

// With a 2x2 viewport at the origin and identity matrices, window coordinates
// are model coordinates plus one, and depth is (z + 1) / 2.
FeedbackVertex readVertex(const GLfloat *p)
{
    return {p[0] - 1.0f, p[1] - 1.0f, 2.0f * p[2] - 1.0f, p[3], p[4], p[5], p[6]};
}

int verticesOf(GLenum token)
{
    return token == GL_POINT_TOKEN ? 1 : token == GL_POLYGON_TOKEN ? -1 : 2;
}

} // namespace

QVector<FeedbackPrimitive> captureFeedback(const std::function<void()> &draw)
{
    QVector<GLfloat> buffer(1 << 16);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glViewport(0, 0, 2, 2);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glFeedbackBuffer(buffer.size(), GL_3D_COLOR, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const int used = glRenderMode(GL_RENDER);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopAttrib();

    QVector<FeedbackPrimitive> out;
    for (int i = 0; i < used;) {
        GLenum token = GLenum(buffer[i++]);
        if (token == GL_LINE_RESET_TOKEN)
            token = GL_LINE_TOKEN;
        int count = verticesOf(token);
        if (count < 0)
            count = int(buffer[i++]);
        FeedbackPrimitive primitive{token, {}};
        for (int k = 0; k < count; ++k, i += 7)
            primitive.vertices << readVertex(&buffer[i]);
        out << primitive;
    }
    return out;
}

QVector<FeedbackPrimitive> primitivesOf(const QVector<FeedbackPrimitive> &all, GLenum token)
{
    QVector<FeedbackPrimitive> out;
    for (const FeedbackPrimitive &p : all)
        if (p.token == token)
            out << p;
    return out;
}

std::unique_ptr<QGLWidget> makeCurrentContext()
{
    auto widget = std::make_unique<QGLWidget>();
    widget->resize(64, 64);
    widget->show();
    if (!QTest::qWaitForWindowExposed(widget.get()) || !widget->isValid())
        return nullptr;
    widget->makeCurrent();
    return widget;
}
