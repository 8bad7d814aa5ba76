#include "gui/RecordActions.h"

#include <QAction>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QScreen>
#include <QSettings>
#include <QStyle>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>

#include "core/app/MainWindowRules.h"
#include "core/app/OpenRecord.h"
#include "gui/GeometryStore.h"
#include "gui/GuiText.h"
#include "gui/charts/ChartsWidget.h"

namespace kmr::gui {

namespace {

constexpr const char* kRecentKey = "RecentFiles/Files";
// The gate's name for the writing of the recent files.
constexpr int kSaveRecentTickId = 31;
// The gate's name for the filling of the conditions panel.
constexpr int kFillPanelTickId = 32;
// Pixels around the conditions' text.
constexpr int kPanelMargin = 6;

bool IsDataFilePath(const QString& path) { return path.endsWith(QLatin1String(".kmr"), Qt::CaseInsensitive); }

// The first local .kmr file of a drag; a link (or a Windows shortcut) stands for the record it
// leads to, whatever the link itself is called.
QString DroppedDataFile(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasUrls()) return {};
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile()) continue;
        const QString path = url.toLocalFile();
        if (IsDataFilePath(path)) return path;
        const QFileInfo link(path);
        if ((link.isSymLink() || link.isShortcut()) && IsDataFilePath(link.symLinkTarget())) return link.symLinkTarget();
    }
    return {};
}

QString Html(const std::string& s) { return Q(s).toHtmlEscaped(); }

}  // namespace

RecordActions::RecordActions(Engine& e, QMainWindow* window, QMenu* fileMenu, QAction* exportAfter)
    : QObject(window), e_(e), window_(window), menu_(fileMenu) {
    setObjectName("RecordActions");
    chooseOpenFile = [this](const QString& title, const QString& filters, const QString& start) {
        return QFileDialog::getOpenFileName(window_, title, start, filters);
    };
    chooseSaveFile = [this](const QString& title, const QString& filters, const QString& start, QString* chosenFilter) {
        // A file that exists is the core's to ask about, in the program's own words and language
        // (a range is never written over one; a picture is, once confirmed).
        return QFileDialog::getSaveFileName(window_, title, start, filters, chosenFilter,
                                            QFileDialog::DontConfirmOverwrite);
    };
    screenSpace = [this] { return window_->screen()->availableGeometry(); };

    // Open and the files opened last, at the top of the File menu.
    QAction* first = menu_->actions().isEmpty() ? nullptr : menu_->actions().first();
    open_ = new QAction(T(txt::OpenDataFileItem), menu_);
    open_->setObjectName("mnuFileOpen");
    open_->setShortcut(QKeySequence::Open);
    menu_->insertAction(first, open_);
    connect(open_, &QAction::triggered, this, [this] { MenuChoice([this] { OpenChosen(); }); });
    for (std::size_t i = 0; i < kRecentFileCount; ++i) {
        auto* a = new QAction(menu_);
        a->setObjectName(QStringLiteral("mnuFileRecent%1").arg(i + 1));
        a->setVisible(false);
        menu_->insertAction(first, a);
        // The path as the list holds it (one from another computer is not made this folder's), so
        // that the message names it and a file gone leaves the list.
        connect(a, &QAction::triggered, this, [this, i] {
            MenuChoice([this, i] {
                if (i < e_.s.RecentFiles.size()) OpenInHandler(std::string(e_.s.RecentFiles[i]));
            });
        });
        recent_.push_back(a);
    }
    recentSeparator_ = menu_->insertSeparator(first);

    // The exports, after the conversion.
    const QList<QAction*> all = menu_->actions();
    const qsizetype at = all.indexOf(exportAfter);
    QAction* before = at >= 0 && at + 1 < all.size() ? all[at + 1] : nullptr;
    exportCharts_ = new QAction(T(txt::ExportChartsItem), menu_);
    exportCharts_->setObjectName("mnuFileExportCharts");
    exportRange_ = new QAction(T(txt::ExportRangeItem), menu_);
    exportRange_->setObjectName("mnuFileExportRange");
    menu_->insertAction(before, exportCharts_);
    menu_->insertAction(before, exportRange_);
    connect(exportCharts_, &QAction::triggered, this, [this] { MenuChoice([this] { ExportCharts(); }); });
    connect(exportRange_, &QAction::triggered, this, [this] { MenuChoice([this] { ExportRange(); }); });
    connect(menu_, &QMenu::aboutToShow, this, &RecordActions::UpdateMenu);

    // The record's conditions beside the charts.
    dock_ = new QDockWidget(T(txt::RecordConditionsTitle), window_);
    dock_->setObjectName("dockConditions");
    dock_->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                       QDockWidget::DockWidgetFloatable);
    // A text view, not a label: it lays the conditions out once for its width and paints only
    // what shows, where a word-wrapped label lays them out again for every size its layout asks
    // about (a new record's panel then cost several times its charts).
    conditions_ = new QTextBrowser;
    conditions_->setObjectName("txtRecordConditions");
    conditions_->setOpenLinks(false);
    // Lines break between words only, as a label's do: a mode's name is never cut.
    conditions_->setWordWrapMode(QTextOption::WordWrap);
    conditions_->setFrameShape(QFrame::NoFrame);
    conditions_->viewport()->setAutoFillBackground(false);
    conditions_->document()->setDocumentMargin(kPanelMargin);
    conditions_->setMinimumWidth(conditions_->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 16);
    dock_->setWidget(conditions_);
    window_->addDockWidget(Qt::RightDockWidgetArea, dock_);
    dock_->hide();

    saveRecent_.setSingleShot(true);
    saveRecent_.setInterval(500);
    connect(&saveRecent_, &QTimer::timeout, this, [this] {
        const QPointer<RecordActions> self(this);
        e_.gate.Tick(kSaveRecentTickId, [self] { if (self) SaveRecentFiles(self->pendingRecent_); },
                     [self] { return !self.isNull(); });
    });

    fillPanel_.setSingleShot(true);
    fillPanel_.setInterval(0);
    connect(&fillPanel_, &QTimer::timeout, this, [this] {
        const QPointer<RecordActions> self(this);
        e_.gate.Tick(kFillPanelTickId, [self] { if (self) self->FillPanel(); }, [self] { return !self.isNull(); });
    });

    window_->setAcceptDrops(true);
    window_->installEventFilter(this);
    e_.s.RecentFiles = LoadRecentFiles();
    UpdateMenu();
}

RecordActions::~RecordActions() {
    if (saveRecent_.isActive()) SaveRecentFiles(pendingRecent_);
}

std::vector<std::string> RecordActions::LoadRecentFiles() {
    std::vector<std::string> files;
    for (const QString& f : QSettings().value(kRecentKey).toStringList())
        if (!f.isEmpty() && files.size() < kRecentFileCount) files.push_back(f.toStdString());
    return files;
}

void RecordActions::SaveRecentFiles(const std::vector<std::string>& files) {
    QStringList list;
    for (const auto& f : files) list << Q(f);
    SaveSetting(kRecentKey, list);
}

void RecordActions::UpdateMenu() {
    const MenuState m = UpdateMenus(WindowStateOf(e_), e_.ui.language);
    open_->setEnabled(m.OpenDataFile);
    for (std::size_t i = 0; i < recent_.size(); ++i) {
        QAction* a = recent_[i];
        const bool used = i < e_.s.RecentFiles.size();
        a->setVisible(used);
        if (!used) continue;
        const QString path = Q(e_.s.RecentFiles[i]);
        a->setText(Q(RecentFileMenuText(i, e_.s.RecentFiles)));
        a->setStatusTip(path);
        a->setToolTip(path);
        a->setEnabled(m.OpenDataFile);
    }
    recentSeparator_->setVisible(true);
    exportCharts_->setEnabled(m.ExportCharts);
    exportRange_->setEnabled(m.ExportRange);
}

void RecordActions::MenuChoice(const std::function<void()>& handler) {
    // Held while a timer's tick waits for the instrument (the monitor), as the window's own items.
    const QPointer<RecordActions> self(this);
    e_.gate.InputOrHold([self, handler] { if (self) handler(); }, WhileWindowOffersTheSame(e_));
}

bool RecordActions::Open(const QString& path) {
    bool opened = false;
    e_.gate.Input([&] { opened = OpenInHandler(CorePath(path)); });
    return opened;
}

bool RecordActions::OpenInHandler(const std::string& path) {
    // The panel describes the file as now read, even when it is the one shown.
    panelFor_.clear();
    const bool opened = OpenStoredRecord(e_, path) == OpenOutcome::Opened;
    // The settings are written (and put on the disk) once the record is on the screen.
    pendingRecent_ = e_.s.RecentFiles;
    saveRecent_.start();
    if (!opened) return false;
    // The panel has had its place since the record's charts were laid out; they are painted once.
    UpdatePanel();
    if (kmr::ChartsWidget* area = Charts()) area->ReplotNow();
    return true;
}

void RecordActions::OpenChosen() {
    // Refused before the file window, which would hold a run's ticks while it is open.
    if (OpenRefusal(e_)) return;
    const QString path = chooseOpenFile(T(txt::OpenDataFileTitle), T(txt::KmrFilter), Q(OpenWindowFolder(e_.s)));
    if (path.isEmpty()) return;
    // Called inside the gate already.
    OpenInHandler(CorePath(path));
}

void RecordActions::ChartsChanged() { UpdatePanel(); }

void RecordActions::UpdatePanel() {
    if (!e_.s.OpenedRecord) {
        if (!panelFor_.empty()) dock_->hide();
        panelFor_.clear();
        fillPanel_.stop();
        return;
    }
    if (panelFor_ == e_.s.OpenedRecord->path) return;
    panelFor_ = e_.s.OpenedRecord->path;
    // The charts come first: the conditions are laid out once they are on the screen, a moment
    // later (the next turn of the event loop). The panel is left as it stands until then, as
    // emptying it first would paint it twice, the first time with the charts. A record that
    // comes with a caution has its conditions at once: the caution's box holds the turn of the
    // event loop, and the panel would show the last record's conditions beside it.
    const bool caution = !e_.s.OpenedRecord->note.empty() || !e_.s.OpenedRecord->sizeWarning.empty();
    if (caution) {
        fillPanel_.stop();
        FillPanel();
    } else {
        fillPanel_.start();
    }
    // Shown once; a panel already shown keeps its place (the charts keep their width).
    if (dock_->isVisible()) return;
    dock_->show();
    dock_->raise();
    // The panel's place is fixed now, so that the charts are laid out for the width they keep
    // before they are painted.
    if (!dock_->isFloating()) {
        // The panel takes its width and the separator beside it.
        const int separator = window_->style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent, nullptr, window_);
        const int wanted = conditions_->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 42 + separator;
        const QRect frame = window_->frameGeometry();
        const QRect screen = screenSpace();
        const ConditionsPanelPlace place =
            PlaceConditionsPanel(wanted, frame.x(), frame.width(), window_->width(),
                                 window_->isMaximized() || window_->isFullScreen(), screen.x(), screen.width());
        if (place.width != window_->width()) {
            window_->move(place.frameLeft, frame.y());
            window_->resize(place.width, window_->height());
        }
        window_->resizeDocks({dock_}, {std::max(0, place.panel - separator)}, Qt::Horizontal);
        window_->layout()->activate();
    }
}

void RecordActions::FillPanel() {
    if (!e_.s.OpenedRecord) return;
    const StoredRecordText t = OpenedRecordText(e_);
    QString html = QStringLiteral("<b>%1</b><table cellspacing='0' cellpadding='2'>").arg(Html(t.title));
    // A long path breaks after its separators rather than widening the panel.
    for (const auto& l : t.lines)
        html += QStringLiteral("<tr><td>%1</td><td>%2</td></tr>")
                    .arg(Html(l.label), Html(l.value).replace(QLatin1Char('/'), QStringLiteral("/&#8203;")));
    html += QStringLiteral("</table><br><table border='1' cellspacing='0' cellpadding='2'><tr>");
    for (const auto& h : t.channelHeader) html += QStringLiteral("<th>%1</th>").arg(Html(h));
    html += QStringLiteral("</tr>");
    for (const auto& row : t.channelRows) {
        html += QStringLiteral("<tr>");
        for (const auto& cell : row) html += QStringLiteral("<td>%1</td>").arg(Html(cell));
        html += QStringLiteral("</tr>");
    }
    html += QStringLiteral("</table>");
    for (const auto& note : t.notes) html += QStringLiteral("<p style='color:#a00000'>%1</p>").arg(Html(note));
    conditions_->setHtml(html);
}

bool RecordActions::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_ && event->type() == QEvent::DragEnter) {
        auto* drag = static_cast<QDragEnterEvent*>(event);
        // While a handler works (a transfer, a form's download) the window takes no file.
        if (!e_.gate.Busy() && !DroppedDataFile(drag->mimeData()).isEmpty()) {
            drag->acceptProposedAction();
            return true;
        }
    } else if (watched == window_ && event->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        const QString path = DroppedDataFile(drop->mimeData());
        if (!path.isEmpty()) {
            drop->acceptProposedAction();
            // Opened once the drop has ended (the file's messages are not shown inside it). It
            // waits, as a record handed over by a later start does, behind a form until the form
            // is closed, and while a handler runs (a tick of the monitor) until the gate is idle.
            e_.s.WaitingRecord = CorePath(path);
            QTimer::singleShot(0, this, [this] {
                if (const std::optional<std::string> waiting = TakeWaitingRecord(e_, window_->isVisible()))
                    Open(Q(*waiting));
            });
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

kmr::ChartsWidget* RecordActions::Charts() const {
    return window_->findChild<kmr::ChartsWidget*>();
}

}  // namespace kmr::gui
