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
    return QString::fromUtf8(CPLGetLastErrorMsg()).trimmed();
}
