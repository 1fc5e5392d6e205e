// A turntable: the globe turning once about its pole in frames orthographic
// maps (projectedmap.h), drawn by the same renderer as
// `map --projection orthographic`. Frame k of N faces longitude
// LON - k x 360 / N (wrapped to [-180, 180)) at latitude LAT, the centre
// that options give: the globe turns as the Earth does, west to east, the
// surface moving from left to right. Frames are options.width square, at
// turntableFramesPerSecond; the file loops (the WebP and GIF forever; an
// MP4 holds exactly N frames, so that a looping player turns seamlessly).
// The formats: webpanimation.h, gifanimation.h, mp4animation.h.
#ifndef TURNTABLE_H
#define TURNTABLE_H

#include "maps/mapoptions.h"
#include "meshes/drawnmesh.h"
#include "world/progress.h"
#include "world/status.h"
#include "world/world.h"

const int defaultTurntableWidth = 512;
const int maxTurntableWidth = 2048;
const int defaultTurntableFrames = 120;
const int minTurntableFrames = 2;
const int maxTurntableFrames = 3600;
// GIF counts hundredths of a second: 25 frames a second is exact in all three.
const int turntableFramesPerSecond = 25;
// W x W x N at most: a gigapixel (512 square in 3600 frames, 2048 in 256),
// so that the GIF's held frames and every file stay in memory's bounds.
const long long maxTurntablePixels = 1LL << 30;

// The longitude frame k of frames faces, in degrees, in [-180, 180).
double frameLongitude(double centerLongitude, int k, int frames);

// Draws options.frames frames (several at once, as the machine's cores
// allow) and writes the file options.out names in options.format, whole or
// not at all. Refused in one line naming the file when a frame or the
// encoder fails; progress follows the frames.
Status writeTurntable(const World &world, const DrawnMesh &mesh, const MapOptions &options,
                      const ProgressPart &progress = {});

#endif
