#pragma once
// The measurement-condition form: the instrument-wide conditions above, one row per channel
// below, OK and Cancel. Every decision is the core's MeasCondForm; the window shows its working
// copy and forwards the user's entries.
#include <QString>
#include <array>

#include "core/app/MeasCondForm.h"
#include "gui/FormDlg.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace kmr::gui {

class MeasCondDlg : public FormDlg {
    Q_OBJECT
public:
    MeasCondDlg(Engine& e, QWidget* owner);

    const MeasCondForm& Form() const { return form_; }
    QLineEdit* Box(MeasFieldRef field) const;

protected:
    bool QueryClose() override;
    void closeEvent(QCloseEvent* event) override;
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
    void CommitBox(MeasFieldRef field);
    void ShowAll();
    void ShowPreview();
    void Ok();

    MeasCondForm form_;
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
