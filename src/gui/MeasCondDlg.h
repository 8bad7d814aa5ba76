#pragma once
// The measurement-condition form: the instrument-wide conditions above, one row per channel
// below, OK and Cancel. Every decision is the core's MeasCondPresenter; the window draws what it
// is told and forwards the user's entries.
#include <QString>
#include <array>

#include "core/app/MeasCondPresenter.h"
#include "gui/FormDlg.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace kmr::gui {

class MeasCondDlg : public FormDlg, private MeasCondView {
    Q_OBJECT
public:
    MeasCondDlg(Engine& e, QWidget* owner);

    const MeasCondForm& Form() const { return presenter_.Form(); }
    QLineEdit* Box(MeasFieldRef field) const;

protected:
    bool QueryClose() override { return presenter_.MayClose(HowClosing()); }
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Row {
        QCheckBox* chkOnOff = nullptr;
        QComboBox* cboBv = nullptr;
        QComboBox* cboLpf = nullptr;
        QLineEdit* txtCoeff = nullptr;
        QComboBox* cboPoint = nullptr;
        QComboBox* cboUnit = nullptr;
        QCheckBox* chkDtgOnOff = nullptr;
        QLineEdit* txtDtgLevel = nullptr;
        QLineEdit* txtOffset = nullptr;
    };
    QLineEdit* TextBox(MeasFieldRef field, const QString& name);
    // The view.
    std::optional<MeasFieldRef> BoxBeingEdited() const override;
    std::string Typed(MeasFieldRef field) const override;
    void ShowBox(MeasFieldRef field, const std::string& text) override;
    void ShowClockScroll(int position) override;
    void ShowPreview(const std::string& text, bool possible) override;
    void ShowChoices(int trgMode, int averaging, bool averagingOffered) override;
    void ShowChannel(int channel, const MeasChannelLook& look) override;
    void Hide() override { hide(); }
    void Unload() override { FormDlg::Unload(); }

    MeasCondPresenter presenter_;
    QComboBox* cboTrgMode_ = nullptr;
    QLineEdit* txtIntCLK_ = nullptr;
    QScrollBar* VScrollClk_ = nullptr;
    QLineEdit* txtMRY_ = nullptr;
    QLineEdit* txtPreMRY_ = nullptr;
    QComboBox* cboAVE_ = nullptr;
    QLabel* lblMemoryPreview_ = nullptr;
    std::array<Row, kChannels> rows_{};
    bool showing_ = false;
};

}  // namespace kmr::gui
