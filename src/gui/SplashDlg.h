#pragma once
// The start-up splash window: caption, status line and progress bar. It stays on top of every
// window while it shows, until a message box is about to appear.
#include <QWidget>

#include "core/app/MainView.h"

class QLabel;
class QProgressBar;

namespace kmr::gui {

class SplashDlg : public QWidget, public SplashView {
    Q_OBJECT
public:
    explicit SplashDlg(QWidget* parent = nullptr);
    void Show(const std::string& title, const std::string& status, int maximum) override;
    void SetStatus(const std::string& status) override;
    void SetProgress(int value, int maximum) override;
    void Unload() override;

    bool IsShowing() const { return isVisible(); }
    bool IsTopmost() const { return windowFlags().testFlag(Qt::WindowStaysOnTopHint); }
    void DropTopmost();

private:
    QLabel* title_;
    QLabel* status_;
    QProgressBar* bar_;
};

}  // namespace kmr::gui
