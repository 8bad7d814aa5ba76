#pragma once
// The balance window: the live values of the ten channels every 250 ms, the choice of the strain
// channels to balance by a click on their data cell, and the Balance button. The decisions are
// the core's BalancePresenter; the window draws what it is told and forwards its events.
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <array>

#include "core/app/BalancePresenter.h"
#include "gui/FormDlg.h"

namespace kmr::gui {

class BalanceDlg : public FormDlg, public BalanceView {
    Q_OBJECT
public:
    BalanceDlg(Engine& e, QWidget* owner);

    const BalanceTable& Table() const { return presenter_.Table(); }
    QTimer& MoniTimer() { return moniTimer_; }
    QLabel* DataCell(int channel) const { return cells_[static_cast<std::size_t>(channel - 1)]; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // BalanceView
    void Show() override;
    void SetTimer(bool running) override;
    void SetInputEnabled(bool enabled) override { SetFormInputEnabled(enabled); }
    void Unload() override { FormDlg::Unload(); }
    void ClickCell(int channel);

    BalancePresenter presenter_;
    QTimer moniTimer_;
    std::array<QLabel*, kChannels> names_{};
    std::array<QLabel*, kChannels> cells_{};
    QLabel* lblCmt1_ = nullptr;
    QLabel* lblCmt2_ = nullptr;
    QPushButton* cmdClose_ = nullptr;
    QPushButton* cmdBalance_ = nullptr;
};

// Opens the balance window unless another form is open (the main window's monitor is paused).
BalanceDlg* OpenBalance(Engine& e, QWidget* owner);

}  // namespace kmr::gui
