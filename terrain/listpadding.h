// A driver workaround, kept in one place so that it can go once Mesa mends
// its display-list store.
//
// Mesa copies every short display list into one shared store
// (src/mesa/main/dlist.c, _mesa_EndList) whose allocator
// (src/util/u_idalloc.c, util_idalloc_alloc_range) hands out whole 32-slot
// words and scans forward from a mark that stops moving at the first
// part-used word. A triangle's list takes 43 slots and leaves its second
// word part-used, so list k scans about 2k words: building the globe is
// quadratic, every rebuild starts the scan again, and a recompile in place
// scans as well. A list of exactly two words leaves no part-used word and
// keeps the mark moving. So on Mesa each triangle list ends with commands
// that change nothing (the grey and the width it already left in force) and
// bring it to 64 slots; and before a list is recorded again its words are
// freed and the mark brought to them, so that Mesa finds them at once.
//
// Every operation needs the GL context that holds the lists current.
#ifndef LISTPADDING_H
#define LISTPADDING_H

#include <GL/gl.h>

class ListPadding
{
public:
    // Decides from the current GL whether lists are padded: on Mesa only.
    static void decide();

    // Inside glNewList ... glEndList, after the triangle's own commands,
    // which must have left the colour grey and the line width 1.0.
    static void pad();
    // Before list `list` is recorded again. On Mesa it is deleted and
    // recorded empty once (and deleted again) on the way.
    static void beforeRecompile(GLuint list);
};

#endif
