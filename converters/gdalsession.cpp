#include "converters/gdalsession.h"

#include <cpl_error.h>
#include <gdal.h>

GdalSession::GdalSession()
{
    static const bool registered = [] {
        GDALAllRegister();
        return true;
    }();
    (void)registered;
    CPLPushErrorHandler(CPLQuietErrorHandler);
    CPLErrorReset();
}

GdalSession::~GdalSession()
{
    CPLPopErrorHandler();
}

QString GdalSession::lastError()
{
    // Some drivers break their messages over lines; ours is one line.
    return QString::fromUtf8(CPLGetLastErrorMsg()).simplified();
}

int gdalProgress(double complete, const char *, void *part)
{
    if (part)
        static_cast<const ProgressPart *>(part)->update(complete);
    return 1;
}
