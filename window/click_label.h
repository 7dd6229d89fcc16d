#pragma once

#include <QLabel>

namespace frambit {

// A label that acts as a link: a click with the left button anywhere on it
// emits clicked().
class ClickLabel : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace frambit
