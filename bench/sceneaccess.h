// The benchmark's look inside the real Scene3D: its triangles, its GL hooks
// and the build it runs at start-up, so that each can be timed alone.
#ifndef BENCH_SCENEACCESS_H
#define BENCH_SCENEACCESS_H

#include "app/scene3d.h"
#include "terrain/triangle.h"

struct SceneAccess
{
    static Triangle *triangles(const Scene3D &s) { return s.triangles; }
    static float aspect(const Scene3D &s) { return s.aspect; }
    static void paint(Scene3D &s) { s.paintGL(); }
    // Frees the array and its lists, as a restore does before it rebuilds.
    static void destroy(Scene3D &s) { s.destroyTriangles(); }
    static void build(Scene3D &s)
    {
        Triangle::setNextIndex(0);
        s.buildTriangles();
    }
};

#endif
