#include "refusalbox.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

void showRefusalBox(const QString &dir, const QStringList &problems)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    const int shown = 12;
    QStringList lines = problems.mid(0, shown);
    if (problems.size() > shown)
        lines << QStringLiteral("... and %1 more, listed under Show Details.")
                     .arg(problems.size() - shown);
    const QString where = QDir::toNativeSeparators(QFileInfo(dir).absoluteFilePath());
    // Plain text: a folder or file name must not be read as markup.
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Globe: world refused"),
                    QStringLiteral("The world in %1 cannot be opened:\n\n%2")
                        .arg(where, lines.join(QLatin1Char('\n'))));
    box.setTextFormat(Qt::PlainText);
    if (problems.size() > shown)
        box.setDetailedText(problems.join(QLatin1Char('\n')));
    box.exec();
}
