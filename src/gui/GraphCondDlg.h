#pragma once
// The graph condition form: the X axis (grid, monitor scale, graph scale) above, one row per
// channel's Y axis below, OK and Cancel. Every decision is the core's GraphCondPresenter; the
// window draws what it is told and forwards the user's entries.
#include <array>

#include "core/app/GraphCondPresenter.h"
#include "gui/FormDlg.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace kmr::gui {

class GraphCondDlg : public FormDlg, private GraphCondView {
    Q_OBJECT
public:
    GraphCondDlg(Engine& e, QWidget* owner);

    const GraphCondForm& Form() const { return presenter_.Form(); }
    QLineEdit* Box(GraphFieldRef field) const;

protected:
    bool QueryClose() override { return presenter_.MayClose(HowClosing()); }
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
    // The view.
    std::optional<GraphFieldRef> BoxBeingEdited() const override;
    std::string Typed(GraphFieldRef field) const override;
    void ShowBox(GraphFieldRef field, const std::string& text) override;
    void ShowXAxis(const GraphXLook& look) override;
    void ShowChannel(int channel, const GraphChannelLook& look) override;
    void Disable() override { setEnabled(false); }
    void Unload() override { FormDlg::Unload(); }

    GraphCondPresenter presenter_;
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
