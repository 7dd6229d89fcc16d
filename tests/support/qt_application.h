#pragma once

#include <gtest/gtest.h>

#include <QApplication>

#include <memory>

namespace frambit::test {

// One application for the whole program, on the offscreen platform, so no
// display is needed.
class QtApplication : public testing::Environment {
 public:
  void SetUp() override {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    application_ = std::make_unique<QApplication>(argc_, argv_);
  }
  void TearDown() override { application_.reset(); }

 private:
  int argc_ = 1;
  char name_[13] = "frambit_test";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> application_;
};

}  // namespace frambit::test
