#pragma once

#include <QByteArray>
#include <QString>

namespace frambit {

// The servers and the length limits of the support form work in GBK, the
// code page of the product's Chinese users.

// The text in GBK. A character GBK lacks becomes one "?", as an edit
// control in that code page would have kept it.
QByteArray EncodeGbk(const QString& text);
// GBK bytes as text. A byte that starts no valid GBK character becomes
// U+FFFD, and decoding goes on behind it.
QString DecodeGbk(const QByteArray& bytes);
// The length of the text in GBK bytes: a Chinese character counts 2.
inline qsizetype GbkByteCount(const QString& text) { return EncodeGbk(text).size(); }

}  // namespace frambit
