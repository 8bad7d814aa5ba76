#pragma once
// The self-check window: six checks with their tick boxes, the per-channel result table, two
// comment lines that explain the row under the pointer, and Execute. The GP-IB timeout is 30 s
// while it is open. The decisions are the core's CheckTablePresenter; the window draws what it is
// told and forwards its events.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <array>

#include "core/app/CheckTablePresenter.h"
#include "gui/FormDlg.h"

namespace kmr::gui {

class CheckTableDlg : public FormDlg, public CheckTableView {
    Q_OBJECT
public:
    CheckTableDlg(Engine& e, QWidget* owner);

    QCheckBox* Box(std::size_t row) const { return boxes_[row]; }
    QLabel* ResultLabel(std::size_t row, int channel) const {
        return results_[row][static_cast<std::size_t>(channel - 1)];
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // CheckTableView
    void ShowCell(std::size_t row, int channel, const CheckCell& cell) override;
    void SetTicked(std::size_t row, bool ticked) override;
    void SetExecuteEnabled(bool enabled) override { cmdExecute_->setEnabled(enabled); }
    void SetInputEnabled(bool enabled) override { SetFormInputEnabled(enabled); }
    void ShowComment(const std::string& line1, const std::string& line2) override;

    CheckTablePresenter presenter_;
    std::array<QCheckBox*, kCheckRows> boxes_{};
    std::array<QLabel*, kCheckRows> titles_{};
    std::array<std::array<QLabel*, kChannels>, kCheckRows> results_{};
    QLabel* lblCmt1_ = nullptr;
    QLabel* lblCmt2_ = nullptr;
    QPushButton* cmdExecute_ = nullptr;
};

// Opens the self-check window unless another form is open (the main window's monitor is paused).
CheckTableDlg* OpenCheckTable(Engine& e, QWidget* owner);

}  // namespace kmr::gui
