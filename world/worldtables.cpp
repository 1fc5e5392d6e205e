#include "world/worldtables.h"

QVector<int> worldHeader;
QVector<int> vertexLevels;
QVector<float> vertexCoords;
QVector<int> triangleCorners;
QVector<int> vertexFans;

int worldVertexCount = 0;
int worldTriangleCount = 0;
int vertexCount = 0;
int triangleCount = 0;
int subdivisionLevel = 4;
int selectedVertex = 0;

int getWorldVertexCount()
{
    return worldVertexCount;
}

int getWorldTriangleCount()
{
    return worldTriangleCount;
}

void setWorldTables(const World &world)
{
    worldHeader = world.header;
    vertexLevels = world.levels;
    vertexCoords = world.coords;
    triangleCorners = world.corners;
    vertexFans = world.fans;
    if (!world.header.isEmpty())
        subdivisionLevel = world.subdivision();
    worldVertexCount = world.vertexCount;
    worldTriangleCount = world.triangleCount;
}
