// The one friend of Scene3D, shared by the tests and the benchmark. It reads
// the view state, the switches and the triangle array; it writes the zoom
// and the rotations (tests set up views with it), and it runs paintGL, the
// teardown of the triangle array and its rebuild (the benchmark times each
// alone). Nothing else of Scene3D is reached from outside.
#ifndef SCENEACCESS_H
#define SCENEACCESS_H

#include "app/scene3d.h"
#include "terrain/triangle.h"

struct SceneAccess
{
    static float xRot(const Scene3D &s) { return s.xRot; }
    static float yRot(const Scene3D &s) { return s.yRot; }
    static float zRot(const Scene3D &s) { return s.zRot; }
    static float yShift(const Scene3D &s) { return s.yShift; }
    static float zoom(const Scene3D &s) { return s.zoom; }
    static float aspect(const Scene3D &s) { return s.aspect; }
    static bool showAxes(const Scene3D &s) { return s.showAxes; }
    static bool showMarker(const Scene3D &s) { return s.showMarker; }
    static bool wheelZooms(const Scene3D &s) { return s.wheelZooms; }
    static bool clickPending(const Scene3D &s) { return s.clickPending; }
    static Triangle *triangles(const Scene3D &s) { return s.triangles; }

    static void setZoom(Scene3D &s, float zoom) { s.zoom = zoom; }
    static void setRotation(Scene3D &s, float x, float z)
    {
        s.xRot = x;
        s.zRot = z;
    }

    static void paint(Scene3D &s) { s.paintGL(); }
    // Frees the array and its lists, as a restore does before it rebuilds.
    static void destroy(Scene3D &s) { s.destroyTriangles(); }
    static void build(Scene3D &s) { s.buildTriangles(); }
};

#endif
