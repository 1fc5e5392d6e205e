// What the map command draws and where: the file's format, the projection
// and the options of each (mapfile.h writes it; projectedmap.h warps it).
#ifndef MAPOPTIONS_H
#define MAPOPTIONS_H

#include "maps/worldmap.h"

#include <QString>

// Still maps (a PNG, a GeoTIFF, a Google Earth KMZ) and turntables
// (turntable.h: animated WebP and GIF, H.264 MP4).
enum class MapFormat { Png, GeoTiff, Kmz, WebP, Gif, Mp4 };

// Whether the format is a turntable of frames.
inline bool isAnimation(MapFormat format)
{
    return format == MapFormat::WebP || format == MapFormat::Gif || format == MapFormat::Mp4;
}

// The warped ones are in projectedmap.h.
enum class MapProjection {
    Equirectangular,
    Cube,
    Mollweide,
    Robinson,
    WinkelTripel,
    EqualEarth,
    Orthographic
};

struct MapOptions
{
    QString out; // the file to write; for a cube, NAME.png names the faces
    MapFormat format = MapFormat::Png;
    MapProjection projection = MapProjection::Equirectangular;
    // Equirectangular: even, from 2 to maxMapWidth. Cube: a multiple of 4
    // up to maxMapWidth, the faces width / 4 square.
    int width = defaultMapWidth;
    bool heightmap = false;
    // The central meridian of the equirectangular map (whole columns) or a
    // world projection, and the latitude an orthographic view faces, in
    // degrees.
    double centerLongitude = 0, centerLatitude = 0;
    // Lines of latitude and longitude every graticule degrees (graticule.h);
    // 0: none.
    double graticule = 0;
    // Lakes and rivers over a colour map (watermap.h), in every projection.
    bool rivers = false;
    // The world's name, which a KMZ shows in Google Earth's places.
    QString title;
    // A turntable's frames (turntable.h), from 2 to maxTurntableFrames.
    int frames = 0;
    // The least flow in km² of the rivers drawn, as the rivers command's
    // --min-area; below 0: its default.
    double riverMinAreaKm2 = -1;
};

#endif
