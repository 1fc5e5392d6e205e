#include "terrain/listcompanions.h"

#include <cstring>

namespace {

// A triangle list takes 43 slots of Mesa's store (face batch 20, line width
// 2, outline batch 20, end of list 1), so it leaves 11 slots of its second
// word used: 32 - 43 % 32 empty lists fill the rest. If another Mesa lays
// lists out otherwise, a wrong count only costs build time, never a picture.
const int companionsPerList = 32 - 43 % 32;

GLuint companionBase = 0;
int companionCount = 0; // names in the block; 0 when none is reserved

GLuint firstOf(int index)
{
    return companionBase + GLuint(index) * GLuint(companionsPerList);
}

} // namespace

bool ListCompanions::neededFor(const char *version)
{
    // Every Mesa driver, hardware ones included, names itself in GL_VERSION
    // ("4.5 (Compatibility Profile) Mesa 22.3.6").
    return version != nullptr && std::strstr(version, "Mesa") != nullptr;
}

void ListCompanions::reserve(int lists)
{
    release();
    const char *version = reinterpret_cast<const char *>(glGetString(GL_VERSION));
    if (lists <= 0 || !neededFor(version))
        return;
    const long long names = (long long)lists * companionsPerList;
    if (names > 0x7fffffffLL)
        return;
    companionBase = glGenLists(GLsizei(names));
    companionCount = companionBase != 0 ? int(names) : 0;
}

void ListCompanions::release()
{
    if (companionCount > 0)
        glDeleteLists(companionBase, companionCount);
    companionBase = 0;
    companionCount = 0;
}

bool ListCompanions::inUse()
{
    return companionCount > 0;
}

int ListCompanions::perList()
{
    return inUse() ? companionsPerList : 0;
}

GLuint ListCompanions::base()
{
    return companionBase;
}

void ListCompanions::beforeRecompile(GLuint list, int index)
{
    if (!inUse())
        return;
    glDeleteLists(list, 1);
    glDeleteLists(firstOf(index), companionsPerList);
}

void ListCompanions::afterCompile(int index)
{
    if (!inUse())
        return;
    const GLuint first = firstOf(index);
    for (int k = 0; k < companionsPerList; ++k) {
        glNewList(first + GLuint(k), GL_COMPILE);
        glEndList();
    }
}
