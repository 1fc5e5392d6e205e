// File names as the file system has them: bytes, which need not be UTF-8,
// and may hold a newline.
//
// Qt turns names and command-line arguments into QString through the
// locale's codec, and its UTF-8 codec replaces a byte that is not UTF-8 with
// U+FFFD: the name then comes back as other bytes, a file that does not exist
// or one the user did not name. keepFileNameBytes installs a codec that
// carries each such byte b as the lone surrogate U+DC00 + b and turns it back
// into b, so that QFile::decodeName and QFile::encodeName (and
// QCoreApplication::arguments) give back the very bytes.
#ifndef FILENAMES_H
#define FILENAMES_H

#include <QString>

// Call first thing in main(), before QCoreApplication reads argv. Does
// nothing unless the locale's codec is UTF-8.
void keepFileNameBytes();

// name as it is shown in a message: control characters as \n, \t or \xNN,
// and bytes that are not UTF-8 as \xNN, so that a message stays one line
// and says which bytes the name holds. Every file name that enters a message
// goes through this.
QString shownName(const QString &name);

// text with shownName's escapes but a backslash kept as it is: what every
// line on stdout and stderr goes through as it is printed, so that a name
// or value that reached a line unescaped cannot start a line of its own or
// move the terminal's cursor. A line of names already shown is unchanged.
QString shownText(const QString &text);

// "NAME: reason", the one form of every message about a file: the name as
// shownName shows it, the reason as given.
QString aboutFile(const QString &name, const QString &reason);

#endif
