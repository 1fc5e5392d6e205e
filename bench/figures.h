// The names of figures and references, shared by the probes that measure
// them and the report that checks targets against them. They travel as CSV
// fields, so none holds a comma.
#ifndef BENCH_FIGURES_H
#define BENCH_FIGURES_H

namespace figures {
inline constexpr char load[] = "load";
inline constexpr char loadChecks[] = "load: checks alone";
inline constexpr char build[] = "build";
inline constexpr char frame[] = "frame";
inline constexpr char pick[] = "pick";
inline constexpr char edit[] = "edit";
inline constexpr char editPole[] = "edit: vertex 0";
inline constexpr char save[] = "save";
inline constexpr char restore[] = "restore";
inline constexpr char peakRss[] = "peak RSS";
inline constexpr char memoryPerTriangle[] = "memory per triangle";

// What one display list costs GL as the block fills: these go to the
// compile-time section, not the main table.
inline constexpr char listPrefix[] = "lists: ";
inline constexpr char listsReserve[] = "lists: glGenLists per name";
inline constexpr char listsEmpty[] = "lists: empty list per list";
inline constexpr char listsFirstEighth[] = "lists: first eighth of our build per list";
inline constexpr char listsLastEighth[] = "lists: last eighth of our build per list";
inline constexpr char plainFirstEighth[] = "lists: first eighth of the plain sequence per list";
inline constexpr char plainLastEighth[] = "lists: last eighth of the plain sequence per list";
} // namespace figures

namespace refs {
inline constexpr char rawReadFiles[] = "raw read of the six files";
// The triangles' lists as they were before the Mesa workarounds (grey set
// before glBegin(GL_LINES), no padding), built from plain arrays.
inline constexpr char plainSequence[] = "plain sequence";
inline constexpr char plainCallLoop[] = "(p) plain sequence's bare glCallList loop";
inline constexpr char plainMemory[] = "plain sequence: RSS growth of its lists";
inline constexpr char firstEighth[] = "first eighth of our build";
inline constexpr char callLoop[] = "(a) bare glCallList loop";
inline constexpr char vertexArrays[] = "(b) two vertex arrays with glDrawArrays";
inline constexpr char selection[] = "selection pass alone";
inline constexpr char selectionAndFrame[] = "selection pass + bare frame + swap";
inline constexpr char editAtS3[] = "edit at S = 3";
inline constexpr char rawWrite[] = "raw write of the same bytes";
inline constexpr char durableReplace[] = "raw write + fdatasync + rename";
inline constexpr char rawRead[] = "raw read of the same bytes";
inline constexpr char rssBeforeLoad[] = "RSS before the world is loaded";
} // namespace refs

#endif
