#pragma once
// The graph condition form: the X axis (grid, monitor scale, graph scale) above, one row per
// channel's Y axis below, OK and Cancel. Every decision is the core's GraphCondForm; the window
// shows its working copy, applies its enabling and forwards the user's entries.
#include <array>

#include "core/app/GraphCondForm.h"
#include "gui/FormDlg.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace kmr::gui {

class GraphCondDlg : public FormDlg {
    Q_OBJECT
public:
    GraphCondDlg(Engine& e, QWidget* owner);

    const GraphCondForm& Form() const { return form_; }
    QLineEdit* Box(GraphFieldRef field) const;

protected:
    bool QueryClose() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Row {
        QLabel* lblCh = nullptr;
        QCheckBox* chkUse = nullptr;
        QCheckBox* chkYgrid = nullptr;
        QCheckBox* chkAutoScale = nullptr;
        QLineEdit* txtYscaleMax = nullptr;
        QLineEdit* txtYscaleMin = nullptr;
        QLineEdit* txtYscaleDiv = nullptr;
    };
    QLineEdit* TextBox(GraphFieldRef field, const QString& name);
    QCheckBox* CheckBox(const QString& name, const QString& text, bool bare);
    void CommitBox(GraphFieldRef field);
    void ShowAll();
    void ApplyEnabling();
    void Ok();

    GraphCondForm form_;
    QCheckBox* chkXgrid_ = nullptr;
    QLineEdit* txtXspace_ = nullptr;
    QLineEdit* txtXpich_ = nullptr;
    QLineEdit* txtXscaleDivM_ = nullptr;
    QCheckBox* chkXAutoScale_ = nullptr;
    QLineEdit* txtXscaleMaxG_ = nullptr;
    QLineEdit* txtXscaleMinG_ = nullptr;
    QLineEdit* txtXscaleDivG_ = nullptr;
    std::array<Row, kChannels> rows_{};
};

}  // namespace kmr::gui
