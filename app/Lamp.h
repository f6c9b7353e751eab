#pragma once

#include <QColor>
#include <QWidget>

// The connection lamp of the status line: a small rounded square in one colour.
class TLamp : public QWidget {
 public:
  explicit TLamp(QWidget* parent);
  QColor Color() const { return color_; }
  void SetColor(const QColor& color);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor color_ = Qt::white;
};
