#pragma once
// Own controls of the program.
//
// FloodPanel: a sunken panel filled from the left to a percentage with the flood colour, its
// caption centred over the bar. It draws with the palette, so a change of the system colours shows
// at the next paint.
#include <QColor>
#include <QWidget>

namespace kmr::gui {

class FloodPanel : public QWidget {
    Q_OBJECT
public:
    explicit FloodPanel(QWidget* parent = nullptr);
    void SetPercent(double percent);
    void SetCaption(const QString& caption);
    void SetFloodColour(const QColor& colour);
    // Caption in the window-text colour (invalid colour) or a colour of its own.
    void SetCaptionColour(const QColor& colour);
    double Percent() const { return percent_; }
    QString Caption() const { return caption_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double percent_ = 0;
    QString caption_;
    QColor flood_{255, 255, 0};
    QColor captionColour_;
};

}  // namespace kmr::gui
