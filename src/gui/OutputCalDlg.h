#pragma once
// The output-calibration window (KMR-510C): per channel the unit, On/Off, the calibration value
// and its instrument digits, and the +Cal / 0 / -Cal buttons, the one whose output is on in the
// active colour. Closing always ends the output and then saves the settings. It does not
// pause the main window's monitor: its clicks run through the engine's handler gate, so its
// commands and the monitor reads never overlap. The decisions are the core's OutputCalForm.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <array>

#include "core/app/OutputCalForm.h"
#include "gui/FormDlg.h"

namespace kmr::gui {

class OutputCalDlg : public FormDlg {
    Q_OBJECT
public:
    OutputCalDlg(Engine& e, QWidget* owner);

    OutputCalPresenter& Presenter() { return form_.Calibration(); }
    QLineEdit* ValueBox(int channel) const { return values_[static_cast<std::size_t>(channel - 1)]; }
    QCheckBox* UseBox(int channel) const { return uses_[static_cast<std::size_t>(channel - 1)]; }
    QPushButton* OutputButton(CalButton b) const { return outputs_[static_cast<std::size_t>(b)]; }

protected:
    bool QueryClose() override;
    void ProgramEnding() override;

private:
    void Refresh();
    void Enter(int channel);

    OutputCalForm form_;
    OutputCalPresenter& presenter_;
    std::array<QCheckBox*, kChannels> uses_{};
    std::array<QLineEdit*, kChannels> values_{};
    std::array<QLabel*, kChannels> digits_{};
    std::array<QLabel*, kChannels> names_{};
    std::array<QPushButton*, 3> outputs_{};
};

// Opens the output-calibration window unless another form is open.
OutputCalDlg* OpenOutputCal(Engine& e, QWidget* owner);

}  // namespace kmr::gui
