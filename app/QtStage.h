#pragma once

#include <QLabel>
#include <QProgressBar>

#include "device/GuiLink.h"

// The main window's status line and progress bar as the device link sees them.

class TLabelStage final : public TStageTarget {
 public:
  explicit TLabelStage(QLabel* label) : label_(label) {}
  void SetText(const std::string& text) override { label_->setText(QString::fromStdString(text)); }

 private:
  QLabel* label_;
};

class TQtProgressBar final : public TProgressBar {
 public:
  explicit TQtProgressBar(QProgressBar* bar) : bar_(bar) {}
  int Position() const override { return bar_->value(); }
  void SetPosition(int position) override { bar_->setValue(position); }
  int Maximum() const override { return bar_->maximum(); }
  void SetMaximum(int maximum) override { bar_->setMaximum(maximum); }
  void SetVisible(bool visible) override { bar_->setVisible(visible); }

 private:
  QProgressBar* bar_;
};
