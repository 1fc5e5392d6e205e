#include "terrain/listpadding.h"

#include <cstring>

namespace {

// Mesa 22.3 records a triangle list in 43 slots: the face's vertex batch
// 20, the line width 2, the outline's vertex batch 20, the end of the list
// 1. The padding below takes 21 more: a colour of three components 5 and
// eight line widths of 2 each. If another Mesa lays lists out otherwise, the
// padding only fails to speed the build up; what a list draws never changes.
const int lineWidthsInPadding = 8;

bool padding = false;

} // namespace

void ListPadding::decide()
{
    // Every Mesa driver, hardware ones included, names itself in GL_VERSION
    // ("4.5 (Compatibility Profile) Mesa 22.3.6").
    const char *version = reinterpret_cast<const char *>(glGetString(GL_VERSION));
    padding = version != nullptr && std::strstr(version, "Mesa") != nullptr;
}

void ListPadding::pad()
{
    if (!padding)
        return;
    glColor3f(0.5f, 0.5f, 0.5f);
    for (int k = 0; k < lineWidthsInPadding; ++k)
        glLineWidth(1.0f);
}

void ListPadding::beforeRecompile(GLuint list)
{
    if (!padding)
        return;
    // Deleting the list frees its two words but moves the mark only down,
    // to them or below. An empty list takes one slot, the first free one from
    // the mark: this list's own word, which the mark then stays at once the
    // empty list is deleted again. So the list goes back to its place at the
    // mark, and the mark moves on with it instead of staying wherever an
    // earlier edit lower down left it, which would make every later edit
    // scan from there.
    glDeleteLists(list, 1);
    glNewList(list, GL_COMPILE);
    glEndList();
    glDeleteLists(list, 1);
}
