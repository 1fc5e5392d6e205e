// Test support for GL code: a current context, and what drawing commands
// produce, read back through feedback mode in model coordinates.
#ifndef GLPROBE_H
#define GLPROBE_H

#include <GL/gl.h>
#include <QGLWidget>
#include <QVector>

#include <functional>
#include <memory>

struct FeedbackVertex
{
    float x, y, z;    // model coordinates (the probe's transform is the identity)
    float r, g, b, a; // colour
    double radius() const;
};

struct FeedbackPrimitive
{
    GLenum token; // GL_POLYGON_TOKEN, GL_LINE_TOKEN (resets included) or GL_POINT_TOKEN
    QVector<FeedbackVertex> vertices;
};

// Runs draw in feedback mode with identity transforms and returns what GL
// would have rasterised. Face culling and depth test are off while it runs.
QVector<FeedbackPrimitive> captureFeedback(const std::function<void()> &draw);

// The primitives of one kind.
QVector<FeedbackPrimitive> primitivesOf(const QVector<FeedbackPrimitive> &all, GLenum token);

// A small window whose GL context is current once it returns; null when no
// GL context can be made (the caller skips).
std::unique_ptr<QGLWidget> makeCurrentContext();

#endif
