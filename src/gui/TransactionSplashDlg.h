#pragma once
// The progress window of the transfer and the conversion: two lines of text, a progress bar and
// Cancel. Cancel is answered once (the core then marks the operation cancelled) and disables
// itself.
#include <QDialog>

#include "core/support/Progress.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace kmr::gui {

class TransactionSplashDlg : public QDialog, public ProgressView {
    Q_OBJECT
public:
    explicit TransactionSplashDlg(QWidget* owner = nullptr);
    void Show(const std::string& label1, const std::string& label2) override;
    void SetPercent(int percent) override;
    void Close() override;
    bool ProcessEventsAndCheckCancel() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;  // Escape presses Cancel

private:
    QLabel* label1_;
    QLabel* label2_;
    QProgressBar* bar_;
    QPushButton* cancel_;
    bool cancelled_ = false;
};

}  // namespace kmr::gui
