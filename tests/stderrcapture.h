// Test support: everything written to stderr (fd 2) while it lives.
#ifndef STDERRCAPTURE_H
#define STDERRCAPTURE_H

#include <QString>
#include <QTemporaryFile>

class StderrCapture
{
public:
    StderrCapture();
    ~StderrCapture();
    // Stops capturing and returns what was written.
    QString text();

private:
    void release();

    QTemporaryFile file;
    int saved = -1;
};

#endif
