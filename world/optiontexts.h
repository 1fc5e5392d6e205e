// A command's options as the user typed them, for the layer that checks
// them: GDAL's *OptionsNew take the argument strings, and so do ours
// (checkMapOptions, checkExportOptions, ...), so that the tests and the
// benches reach the very checks and words the command line does.
#ifndef OPTIONTEXTS_H
#define OPTIONTEXTS_H

#include "world/status.h"

#include <QMap>
#include <QString>
#include <QStringList>

class OptionTexts
{
public:
    // command: the command's name, which starts some usage errors ("map:
    // missing --out FILE").
    explicit OptionTexts(const QString &command = QString()) : command_(command) {}

    // An option by its long name: set when the user gave it; values as
    // given in order, or its default when not given; valueName as its help
    // shows it ("FILE"). A flag has no values.
    void add(const QString &name, bool set, const QStringList &values,
             const QString &valueName = QString());
    // Given as typed, for a test or a bench: set, with these values.
    OptionTexts &with(const QString &name, const QString &value = QString());

    const QString &command() const { return command_; }
    bool isSet(const QString &name) const;
    // The last value given, else the default, else empty.
    QString value(const QString &name) const;
    QStringList values(const QString &name) const;
    // The option's value; a usage error naming it when it was not given.
    Status required(const QString &name, QString *value) const;

private:
    struct Given
    {
        bool set = false;
        QStringList values;
        QString valueName;
    };
    QString command_;
    QMap<QString, Given> options;
};

// Whether text is a finite number from low to high, into *value: what every
// numeric option checks before its value goes anywhere, since NaN and
// infinities pass a comparison written the wrong way round.
bool numberInRange(const QString &text, double low, double high, double *value);

#endif
