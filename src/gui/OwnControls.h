#pragma once
// Own controls of the forms: a vertical scroll bar that shows a focus colour while it has the
// keyboard focus, and a check box without a caption that sits centred in a table cell.
#include <QCheckBox>
#include <QScrollBar>

namespace kmr::gui {

class FocusScrollBar : public QScrollBar {
    Q_OBJECT
public:
    explicit FocusScrollBar(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

class BareCheckBox : public QCheckBox {
    Q_OBJECT
public:
    // `name` is not shown; screen readers and the tests use it.
    explicit BareCheckBox(const QString& name = {}, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    bool hitButton(const QPoint& pos) const override;
    void paintEvent(QPaintEvent* event) override;

private:
    QRect IndicatorRect() const;
};

}  // namespace kmr::gui
