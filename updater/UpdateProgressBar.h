#pragma once
// The dialog's download progress (0..100), drawn in the skin's colours rather than the
// desktop style, sharp at any device pixel ratio.
#include <QWidget>

namespace kobal::update {

class UpdateProgressBar : public QWidget {
public:
    explicit UpdateProgressBar(QWidget* parent = nullptr) : QWidget(parent) {}
    void setRange(int low, int high);
    void setValue(int value);
    int value() const { return value_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int low_ = 0;
    int high_ = 100;
    int value_ = 0;
};

} // namespace kobal::update
