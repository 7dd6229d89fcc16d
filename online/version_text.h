#pragma once

#include <QString>
#include <QStringList>

namespace frambit {

// A version string reads number, "s", "-", build, as 1.2s-12. True when
// remote counts as newer than local: a greater number or, on its own, a
// greater build, where a build counts by its low 8 bits only (300 equals 44).
// The number is taken as the first L - p characters, L the length and p the
// 1-based place of the first "s", and the build as everything after the
// first "-"; so 10.5s-1 has the number 10, and a text with "S" in place of
// "s" or without "-" does not convert. Throws std::invalid_argument when
// either text does not convert.
bool IsNewerVersion(const QString& local, const QString& remote);

// Every "|" replaced by a carriage return: the update server's line breaks.
QString BarsToLineBreaks(QString text);
// The text without any occurrence of c.
QString RemoveChar(QString text, QChar c);
QString RemoveSpaces(QString text);
// The lines of the text, broken at CR, LF or CR LF. A break at the very end
// starts no further line, so an empty text has none.
QStringList SplitLines(const QString& text);
// ASCII letters only change case; other characters stay as they are.
QString AsciiLower(QString text);
QString AsciiUpper(QString text);

}  // namespace frambit
