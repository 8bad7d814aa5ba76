#pragma once
// Stored records in the main window: File > Open Data File... (Ctrl+O) with the files opened
// last under it, a .kmr dropped on the window, the record's conditions in a panel beside the
// charts, File > Export Charts... (PNG, PDF) and File > Export Range... (CSV, HDF5 where built).
// Every action goes through the engine's handler gate; the decisions are the core's
// (core/app/OpenRecord.h). The recent files are kept with the window settings.
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <vector>

#include "core/app/Engine.h"

class QAction;
class QDockWidget;
class QMainWindow;
class QMenu;
class QTextBrowser;

namespace kmr {
class ChartsWidget;
}

namespace kmr::gui {

class RecordActions : public QObject {
    Q_OBJECT
public:
    // Puts its items at the top of `fileMenu` (open, recent files) and after its conversion item
    // (`exportAfter`, the exports), and its panel beside the charts.
    RecordActions(Engine& e, QMainWindow* window, QMenu* fileMenu, QAction* exportAfter);
    ~RecordActions() override;

    // Opens `path` as a handler of the gate (a command line, a drop, a menu item); false when
    // it was not opened.
    bool Open(const QString& path);
    // The record shown changed (a batch of the charts ended): the panel follows.
    void ChartsChanged();
    // Writes the shown charts to one PNG or PDF file (by the suffix); the files' error otherwise.
    bool WriteCharts(const QString& path, QString* error = nullptr);

    // The file choosers, replaceable (tests): (title, filters, suggested path) -> path or empty;
    // the save chooser also tells the filter chosen, where it is asked.
    std::function<QString(const QString&, const QString&, const QString&)> chooseOpenFile;
    std::function<QString(const QString&, const QString&, const QString&, QString* chosenFilter)> chooseSaveFile;
    // The part of the screen the window may take (the window's screen's available geometry).
    std::function<QRect()> screenSpace;

    QDockWidget* ConditionsPanel() const { return dock_; }
    const std::vector<QAction*>& RecentActions() const { return recent_; }

    // The recent files in the window settings (section "RecentFiles").
    static std::vector<std::string> LoadRecentFiles();
    static void SaveRecentFiles(const std::vector<std::string>& files);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void UpdateMenu();
    // One of its menu items chosen: through the gate, held while a timer tick waits.
    void MenuChoice(const std::function<void()>& handler);
    // Shows the panel for the opened record (its first showing lays the window out) and has it
    // filled once the charts are painted.
    void UpdatePanel();
    // Writes the opened record's conditions into the panel.
    void FillPanel();
    // Opens `path` inside a handler; the charts are painted before it returns.
    bool OpenInHandler(const std::string& path);
    void OpenChosen();
    void ExportCharts();
    void ExportRange();
    kmr::ChartsWidget* Charts() const;
    QString ChartCaption() const;

    Engine& e_;
    QMainWindow* window_;
    QMenu* menu_;
    QAction* open_ = nullptr;
    QAction* recentSeparator_ = nullptr;
    std::vector<QAction*> recent_;
    QAction* exportCharts_ = nullptr;
    QAction* exportRange_ = nullptr;
    QDockWidget* dock_ = nullptr;
    QTextBrowser* conditions_ = nullptr;
    std::string panelFor_;  // the file the panel describes
    QTimer fillPanel_;                       // the panel is due to be filled
    QTimer saveRecent_;                      // the recent files are due to be written
    std::vector<std::string> pendingRecent_;
};

}  // namespace kmr::gui
