#pragma once
// The notice of a long wait: once a call to the instrument has waited two seconds, this small
// window says what it waits for and offers Stop (during a run) or Cancel (otherwise), which ends
// the operation after the attempt in progress. It is not modal: while a call waits the handler
// gate drops clicks elsewhere, and holds a close of the main window until the call has returned.
// It takes the keyboard while shown (Escape or Enter is its button) and gives it back to the
// window that was in front before, which also owns a message that follows the call.
#include <QDialog>
#include <QPointer>
#include <functional>
#include <string>

class QLabel;
class QPushButton;

namespace kmr::gui {

class WaitDlg : public QDialog {
    Q_OBJECT
public:
    explicit WaitDlg(QWidget* owner);
    // Shows the notice for `command` with the button's caption; `stop` is called on a click.
    void ShowFor(const QString& text, const QString& button, std::function<void()> stop);
    void Done();
    // Places the notice just below `area` (the splash during start-up, where the user looks).
    void PlaceBelow(const QRect& area);
    QPushButton* Button() const { return button_; }
    QLabel* Label() const { return label_; }
    // The window that was in front when the notice came up (null if none is left).
    QWidget* ShownOver() const { return over_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    QLabel* label_ = nullptr;
    QPushButton* button_ = nullptr;
    std::function<void()> stop_;
    QPointer<QWidget> over_;
};

}  // namespace kmr::gui
