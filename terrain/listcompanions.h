// A driver workaround, kept in one place so that it can go once Mesa mends
// its display-list store.
//
// Mesa copies every short display list into one shared store whose allocator
// (src/mesa/main/dlist.c, _mesa_EndList; src/util/u_idalloc.c,
// util_idalloc_alloc_range) hands out whole 32-slot words and scans forward
// from a mark that stops moving at the first part-used word. A triangle's
// list leaves its last word part-used, so without help list k scans about k
// words: building is quadratic, and so are the rebuilds and, in part, edits.
// Only a one-slot allocation fills a part-used word, and only an empty list
// takes one slot: so after each triangle list this module compiles as many
// empty "companion" lists as fill that word, from a block of names of its
// own. Companions are never called; they only hold their slot.
//
// Every operation needs the GL context that holds the lists current. Nothing
// here changes what any triangle list draws.
#ifndef LISTCOMPANIONS_H
#define LISTCOMPANIONS_H

#include <GL/gl.h>

class ListCompanions
{
public:
    // Reserves the companions of a block of `lists` triangle lists when the
    // current GL is Mesa. When it is not, or the block cannot be reserved,
    // the lists go without companions: slower to build on Mesa, the same to
    // draw.
    static void reserve(int lists);
    // Deletes the companion block, if any.
    static void release();
    // True while a companion block is reserved.
    static bool inUse();
    // Empty lists compiled after each triangle list (0 when not in use).
    static int perList();
    // The first name of the companion block (0 when not in use).
    static GLuint base();

    // Around a recompile of triangle list `index` (named `list`): drop the
    // list and its companions first, so that Mesa finds their freed slots at
    // its mark instead of scanning past every later list.
    static void beforeRecompile(GLuint list, int index);
    // After each compile of triangle list `index`: its companions.
    static void afterCompile(int index);

    // Whether a GL whose GL_VERSION string is `version` needs companions.
    static bool neededFor(const char *version);
};

#endif
