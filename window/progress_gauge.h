#pragma once

#include <QWidget>

#include <cstdint>

namespace frambit {

// The gauge `gg`: a bar filled black on white from the left, with its
// percentage in the middle drawn inverted so it reads over both parts.
// Values are 64-bit, so a scan's KiB count never wraps even on the largest
// disks. Setting the position is cheap: the bar is redrawn only when the
// whole-number percentage it shows changes.
class ProgressGauge : public QWidget {
 public:
  explicit ProgressGauge(QWidget* parent = nullptr);

  // Sets the minimum, then the maximum; the position is moved into the new
  // range. A maximum below the minimum is taken as the minimum.
  void SetRange(std::int64_t minimum, std::int64_t maximum);
  // Stores the value clamped into [minimum, maximum].
  void SetPosition(std::int64_t value);

  std::int64_t Minimum() const { return minimum_; }
  std::int64_t Maximum() const { return maximum_; }
  std::int64_t Position() const { return position_; }
  // (position - minimum) * 100 / (maximum - minimum), truncated; 0 for an
  // empty range.
  int Percentage() const;
  QString PercentageText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void RedrawIfPercentageChanged();

  std::int64_t minimum_ = 0;
  std::int64_t maximum_ = 100;
  std::int64_t position_ = 0;
  int shownPercentage_ = 0;
};

}  // namespace frambit
