#pragma once
// The self-check window: six checks with their tick boxes, the per-channel result table, two
// comment lines that explain the row under the pointer, and Execute. The GP-IB timeout is 30 s
// while it is open. The decisions are the core's SelfCheck; the window draws and forwards.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <array>
#include <memory>

#include "core/measurement/SelfCheck.h"
#include "gui/FormDlg.h"

namespace kmr::gui {

class CheckTableDlg : public FormDlg {
    Q_OBJECT
public:
    CheckTableDlg(Engine& e, QWidget* owner);
    ~CheckTableDlg() override;

    SelfCheck& Presenter() { return check_; }
    QCheckBox* Box(std::size_t row) const { return boxes_[row]; }
    QLabel* ResultLabel(std::size_t row, int channel) const {
        return results_[row][static_cast<std::size_t>(channel - 1)];
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Execute();
    void ShowRow(std::size_t row);
    void ShowComment(std::size_t row);

    SelfCheck check_;
    std::unique_ptr<LongCheckTimeout> timeout_;
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
