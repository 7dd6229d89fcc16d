#include "window/progress_gauge.h"

#include <QPainter>

#include <algorithm>

namespace frambit {

ProgressGauge::ProgressGauge(QWidget* parent) : QWidget(parent) {
  setMinimumWidth(60);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void ProgressGauge::SetRange(std::int64_t minimum, std::int64_t maximum) {
  minimum_ = minimum;
  maximum_ = std::max(maximum, minimum);
  position_ = std::clamp(position_, minimum_, maximum_);
  RedrawIfPercentageChanged();
}

void ProgressGauge::SetPosition(std::int64_t value) {
  position_ = std::clamp(value, minimum_, maximum_);
  RedrawIfPercentageChanged();
}

int ProgressGauge::Percentage() const {
  const std::int64_t span = maximum_ - minimum_;
  if (span <= 0) return 0;
  // The gauge counts KiB of a target or hits of a scan, far below the
  // 2^63 / 100 at which this product would overflow.
  return static_cast<int>((position_ - minimum_) * 100 / span);
}

QString ProgressGauge::PercentageText() const { return QString::number(Percentage()) + QLatin1Char('%'); }

void ProgressGauge::RedrawIfPercentageChanged() {
  const int percentage = Percentage();
  if (percentage == shownPercentage_) return;
  shownPercentage_ = percentage;
  update();
}

void ProgressGauge::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect all = rect();
  const int filledWidth = all.width() * shownPercentage_ / 100;
  const QRect filled(all.left(), all.top(), filledWidth, all.height());
  const QString text = QString::number(shownPercentage_) + QLatin1Char('%');

  painter.fillRect(all, Qt::white);
  painter.setPen(Qt::black);
  painter.drawText(all, Qt::AlignCenter, text);
  // Over the filled part the same text in white: it reads on both parts.
  painter.setClipRect(filled);
  painter.fillRect(filled, Qt::black);
  painter.setPen(Qt::white);
  painter.drawText(all, Qt::AlignCenter, text);
}

}  // namespace frambit
