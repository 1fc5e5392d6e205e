// The names of figures and references, shared by the probes that measure
// them and the report that checks targets against them.
#ifndef BENCH_FIGURES_H
#define BENCH_FIGURES_H

namespace figures {
inline constexpr char load[] = "load";
inline constexpr char build[] = "build";
inline constexpr char frame[] = "frame";
inline constexpr char pick[] = "pick";
inline constexpr char edit[] = "edit";
inline constexpr char save[] = "save";
inline constexpr char restore[] = "restore";
inline constexpr char peakRss[] = "peak RSS";
inline constexpr char memoryPerTriangle[] = "memory per triangle";
} // namespace figures

namespace refs {
inline constexpr char rawReadFiles[] = "raw read of the six files";
inline constexpr char bareLists[] = "bare glNewList loop";
inline constexpr char callLoop[] = "(a) bare glCallList loop";
inline constexpr char vertexArrays[] = "(b) two vertex arrays with glDrawArrays";
inline constexpr char selection[] = "selection pass alone";
inline constexpr char editAtS3[] = "edit at S = 3";
inline constexpr char rawWrite[] = "raw write of the same bytes";
inline constexpr char rawRead[] = "raw read of the same bytes";
inline constexpr char rssBeforeLoad[] = "RSS before the world is loaded";
} // namespace refs

#endif
