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
