#include "online/version_text.h"

#include <QLocale>
#include <QRegularExpression>

#include <stdexcept>

namespace frambit {
namespace {

struct VersionNumbers {
  double number;
  unsigned build;  // 0 to 255
};

VersionNumbers ReadVersion(const QString& text) {
  const qsizetype length = text.size();
  const qsizetype sPosition = text.indexOf(QLatin1Char('s')) + 1;  // 0 when there is none
  const qsizetype dashPosition = text.indexOf(QLatin1Char('-')) + 1;
  bool numberOk = false;
  bool buildOk = false;
  // Always with a decimal point: both texts are written so, and in a locale
  // with a decimal comma "1.2" would read as 12 or not at all.
  const double number = QLocale::c().toDouble(text.left(length - sPosition), &numberOk);
  const int build = text.mid(dashPosition).toInt(&buildOk, 10);
  if (!numberOk || !buildOk) throw std::invalid_argument("not a version: " + text.toStdString());
  return {number, static_cast<unsigned>(build) & 0xFFu};
}

QString MapAscii(QString text, char first, char last, int shift) {
  for (QChar& c : text)
    if (c.unicode() >= first && c.unicode() <= last) c = QChar(c.unicode() + shift);
  return text;
}

}  // namespace

bool IsNewerVersion(const QString& local, const QString& remote) {
  const VersionNumbers mine = ReadVersion(local);
  const VersionNumbers theirs = ReadVersion(remote);
  return theirs.number > mine.number || theirs.build > mine.build;
}

QString BarsToLineBreaks(QString text) { return text.replace(QLatin1Char('|'), QLatin1Char('\r')); }

QString RemoveChar(QString text, QChar c) { return text.remove(c); }

QString RemoveSpaces(QString text) { return RemoveChar(std::move(text), QLatin1Char(' ')); }

QStringList SplitLines(const QString& text) {
  QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines;
}

QString AsciiLower(QString text) { return MapAscii(std::move(text), 'A', 'Z', 'a' - 'A'); }

QString AsciiUpper(QString text) { return MapAscii(std::move(text), 'a', 'z', 'A' - 'a'); }

}  // namespace frambit
