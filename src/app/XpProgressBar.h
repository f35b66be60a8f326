#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>

namespace vk::app {

// A progress bar the program draws itself, in one of several looks.
class XpProgressBar : public QWidget {
    Q_OBJECT
public:
    explicit XpProgressBar(QWidget* parent = nullptr);

    int min() const { return min_; }
    void setMin(int v);
    int max() const { return max_; }
    void setMax(int v);
    int value() const { return value_; }
    // Stores the percentage Value * 100 / Max + Min, rounded.
    void setValue(int v);
    QColor color() const { return color_; }
    void setColor(const QColor& c);
    int brushStyle() const { return brushStyle_; }
    void setBrushStyle(int v);
    int orientation() const { return orientation_; }  // 0 horizontal, 1 vertical
    void setOrientation(int v);
    int scrolling() const { return scrolling_; }  // drawing style
    void setScrolling(int v);
    bool showText() const { return showText_; }
    void setShowText(bool v);
    QPixmap image() const { return image_; }
    void setImage(const QPixmap& p);

    // The stored percentage (may exceed 100; drawing caps it).
    int percent() const { return percent_; }
    // What is drawn over the bar when showText is set.
    QString text() const;
    QColor textColor() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void recompute();

    int min_ = 0;
    int max_ = 100;
    int value_ = 0;
    int percent_ = 0;
    QColor color_;
    int brushStyle_ = 4;
    int orientation_ = 0;
    int scrolling_ = 0;
    bool showText_ = false;
    QPixmap image_;
};

}  // namespace vk::app
