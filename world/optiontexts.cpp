#include "world/optiontexts.h"

#include <cmath>

void OptionTexts::add(const QString &name, bool set, const QStringList &values,
                      const QString &valueName)
{
    options[name] = Given{set, values, valueName};
}

OptionTexts &OptionTexts::with(const QString &name, const QString &value)
{
    Given &given = options[name];
    if (!given.set)
        given.values.clear();
    given.set = true;
    if (!value.isNull())
        given.values << value;
    return *this;
}

bool OptionTexts::isSet(const QString &name) const
{
    return options.value(name).set;
}

QString OptionTexts::value(const QString &name) const
{
    const QStringList given = values(name);
    return given.isEmpty() ? QString() : given.constLast();
}

QStringList OptionTexts::values(const QString &name) const
{
    return options.value(name).values;
}

Status OptionTexts::required(const QString &name, QString *value) const
{
    if (!isSet(name))
        return Status::usage(QStringLiteral("%1: missing --%2 %3")
                                 .arg(command_, name, options.value(name).valueName));
    *value = this->value(name);
    return Status();
}

bool numberInRange(const QString &text, double low, double high, double *value)
{
    bool number = false;
    const double read = text.toDouble(&number);
    if (!number || !std::isfinite(read) || !(read >= low && read <= high))
        return false;
    *value = read;
    return true;
}
