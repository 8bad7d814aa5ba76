#pragma once
// The main window: menus, the three command buttons, the chart area, the status strip with the remaining time, and the two 50 ms timers of the run and the monitor.
// It decides nothing: every event goes to a presenter of the core, which tells the window what to
// show through MainView. Its handlers run one at a time (HandlerGate).
#include <QAction>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <functional>

#include "core/app/Engine.h"
#include "core/app/HandlerGate.h"
#include "core/app/MainView.h"
#include "core/graphs/ChartModel.h"

class QFontMetrics;
class QLabel;
class QMenu;
class QPushButton;

namespace kmr::gui {

class RecordActions;
class FloodPanel;
class QtUi;

class MainDlg : public QMainWindow, public MainView, public ChartView {
    Q_OBJECT
public:
    explicit MainDlg(QWidget* parent = nullptr);
    // Joins the window to its engine (made after the window, which is its MainView).
    void Attach(Engine& e);

    // Applies the geometry start-up prepared and shows the window.
    void ShowPrepared();
    // Removes the charts, which draw from the engine's chart model: before the engine goes.
    void DropCharts();

    // MainView
    void SetWindowEnabled(bool enabled) override;
    void SetButtonEnabled(MainButton button, bool enabled) override;
    void SetStartStopCaption(const std::string& caption) override;
    void SetMonitorCaption(const std::string& caption) override;
    void SetMonitorChecked(bool checked) override;
    void SetCaption(const std::string& caption) override;
    void SetRestTimePercent(float percent) override;
    void SetRestTimeCaption(const std::string& caption) override;
    void SetRestTimeColour(RestTimeColour colour) override;
    void SetStatusText(const std::string& text) override;
    void SetEocTimer(bool enabled) override;
    void SetMoniTimer(bool enabled) override;
    void Activate() override;

    // ChartView: the channel panels, then the chart area.
    void BatchBegun() override;
    void BatchEnded(const ChartChanges& changes) override;

    // Saves the geometry when the window is unloaded.
    std::function<void(const MainFormGeometry&)> saveGeometry;

    // The engine's handler gate (after Attach).
    HandlerGate& Gate() { return e_->gate; }
    QTimer& EocTimer() { return eocTimer_; }
    QTimer& MoniTimer() { return moniTimer_; }
    FloodPanel* RestTime() const { return restTime_; }
    QLabel* Status() const { return lblStatus_; }
    QWidget* ChartWidget() const { return chartWidget_; }
    bool Unloaded() const { return unloaded_; }
    // The system ends the program (SIGTERM, SIGHUP, Ctrl+C in its terminal): held while a handler
    // waits, then the open forms end through their own close, a run is stopped and transferred,
    // and the window goes without a question.
    void EndRequest();
    // File > Open, the recent files, the exports and the record's conditions (after Attach).
    RecordActions* Records() const { return records_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    // The close request itself, run inside the gate: true when the window was unloaded.
    bool CloseRequest();
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The open form, if any, comes to the front (true when a form is open).
    bool RaiseOpenForm();
    void EndNow();
    void LayOutMenus();
    QWidget* LayOutButtons();
    QWidget* LayOutStatusStrip();
    // The menus' rules, the function keys, the buttons and the timers, once the engine is there.
    void ConnectEvents();
    QAction* AddItem(QMenu* menu, int textId, const char* name, void (MainDlg::*handler)());
    void UpdateMenus();
    void OnInput(void (MainDlg::*handler)());
    // A function key: the item it stands for, if the menu would offer it now.
    void OnFunctionKey(QAction* item, void (MainDlg::*handler)());
    void RecordGeometry();
    void RelayoutCharts();

    // Handlers.
    void DataFileSettings();
    void MeasCondSettings();
    void GraphCondSettings();
    void ConvertingFile();
    void Quit();
    void Monitor();
    void Balance();
    void StartStop();
    void Check();
    void OutputCal();
    void Version();
    void ConnectInstrument();

    Engine* e_ = nullptr;
    QTimer eocTimer_;
    QTimer moniTimer_;
    bool unloaded_ = false;

    QMenu* mnuFile_ = nullptr;
    QMenu* mnuMeas_ = nullptr;
    QMenu* mnuOption_ = nullptr;
    QAction* actDataFile_ = nullptr;
    QAction* actMeasCond_ = nullptr;
    QAction* actGraphCond_ = nullptr;
    QAction* actConvert_ = nullptr;
    QAction* actQuit_ = nullptr;
    QAction* actMonitor_ = nullptr;
    QAction* actBalance_ = nullptr;
    QAction* actStart_ = nullptr;
    QAction* actCheck_ = nullptr;
    QAction* actOutputCal_ = nullptr;
    QAction* actVersion_ = nullptr;
    QAction* actConnect_ = nullptr;

    QPushButton* cmdBalKmr_ = nullptr;
    QPushButton* cmdMoniKmr_ = nullptr;
    QPushButton* cmdMeasKmr_ = nullptr;
    FloodPanel* restTime_ = nullptr;
    QLabel* lblRestMeasTimeTitle_ = nullptr;
    QLabel* lblStatus_ = nullptr;
    double floodBeforeHighSpeed_ = -1.0;
    QPointer<QWidget> focusBeforeDisabled_;
    // A main button disabled while it had the focus, and the widget the focus passed to then.
    QPointer<QPushButton> focusedButton_;
    QPointer<QWidget> focusPassedTo_;
    QWidget* chartWidget_ = nullptr;
    ChartView* chartView_ = nullptr;
    RecordActions* records_ = nullptr;
};

}  // namespace kmr::gui
