#pragma once
// Own controls of the forms: a vertical scroll bar that shows a focus colour while it has the
// keyboard focus, a check box without a caption that sits centred in a table cell, and the lower
// part the table tool windows share; and the filter that makes the focus show in every window.
#include <QCheckBox>
#include <QScrollBar>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace kmr::gui {

// Installed on the application: every window of the program shows which control has the keyboard
// focus from the moment it is shown or activated, not only after the first Tab.
class FocusCues : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

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

// The lower part of a table tool window, added to `layout`: a frame titled `frameTitle` with two
// comment lines, then the action button and Close at the right. The window connects the buttons.
struct CommentsAndButtons {
    QLabel* comment1 = nullptr;
    QLabel* comment2 = nullptr;
    QPushButton* action = nullptr;
    QPushButton* close = nullptr;
};
CommentsAndButtons AddCommentsAndButtons(QVBoxLayout* layout, const QString& frameTitle,
                                         const QString& actionText, const QString& closeText);

}  // namespace kmr::gui
