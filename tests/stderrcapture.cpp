#include "stderrcapture.h"

#include <cstdio>
#include <unistd.h>

StderrCapture::StderrCapture()
{
    file.open();
    std::fflush(stderr);
    saved = dup(2);
    dup2(file.handle(), 2);
}

StderrCapture::~StderrCapture()
{
    release();
}

QString StderrCapture::text()
{
    release();
    file.seek(0);
    return QString::fromLocal8Bit(file.readAll());
}

void StderrCapture::release()
{
    if (saved < 0)
        return;
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    saved = -1;
}
