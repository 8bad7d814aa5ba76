#include "gui/MainDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

#include "core/app/Keyboard.h"
#include "core/app/MainWindowRules.h"
#include "core/graphs/ChartLayout.h"
#include "core/app/Monitor.h"
#include "core/app/RunController.h"
#include "core/app/Startup.h"
#include "gui/BalanceDlg.h"
#include "gui/CheckTableDlg.h"
#include "gui/charts/ChartsWidget.h"
#include "gui/ChartAreaParts.h"
#include "gui/FileExchangeDlg.h"
#include "gui/FloodPanel.h"
#include "gui/GeometryStore.h"
#include "gui/GuiText.h"
#include "gui/GraphCondDlg.h"
#include "gui/MeasCondDlg.h"
#include "gui/SetPathAndFileDlg.h"
#include "gui/OutputCalDlg.h"
#include "gui/RecordActions.h"
#include "gui/VersionDlg.h"

namespace kmr::gui {

namespace {

constexpr int kEocTimerId = 1;
constexpr int kMoniTimerId = 2;
constexpr int kTimerMs = 50;
// The gate's slot for a close request held while a handler waits.
constexpr int kCloseRequestId = 3;

// A menu item's text: its caption with the underlined letter, and its function key at the right.
QString ItemText(const QString& caption, int textId) {
    QString text = Q(MenuCaption(caption.toStdString(), textId));
    const std::string key = MenuShortcutOf(textId);
    if (!key.empty()) text += QLatin1Char('\t') + Q(key);
    return text;
}

// A label of the status strip that shows a long text shortened (FittedStatusText); text() and the
// tool tip keep it whole.
class StatusLabel : public QLabel {
public:
    using QLabel::QLabel;
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QRect r = contentsRect().adjusted(margin(), 0, -margin(), 0);
        // Shortened again only when the text, the room or the font has changed: the strip is
        // painted with whatever repaints beside it (the charts of a record being opened).
        const QFontMetrics fm = fontMetrics();
        if (text() != fittedFrom_ || r.width() != fittedWidth_ || font() != fittedFont_) {
            fittedFrom_ = text();
            fittedWidth_ = r.width();
            fittedFont_ = font();
            fitted_ = FittedStatusText(fittedFrom_, fm, fittedWidth_);
        }
        p.setPen(palette().color(QPalette::WindowText));
        // One line on a baseline, centred as Qt::AlignVCenter would centre it.
        const int baseline = r.top() + (r.height() - fm.height()) / 2 + fm.ascent();
        p.drawText(QPoint(r.left(), baseline), fitted_);
    }

private:
    QString fittedFrom_, fitted_;
    int fittedWidth_ = -1;
    QFont fittedFont_;
};

}  // namespace

MainDlg::MainDlg(QWidget* parent) : QMainWindow(parent) {
    setObjectName("MainDlg");
    setWindowTitle(kMainCaptionName);
    LayOutMenus();
    auto* central = new QWidget;
    central->setObjectName("pictCentral");
    auto* v = new QVBoxLayout(central);
    v->setContentsMargins(6, 6, 6, 4);
    v->addWidget(LayOutButtons());
    // The chart area joins in Attach.
    auto* graphs = new QHBoxLayout;
    graphs->setSpacing(4);
    v->addLayout(graphs, 1);
    v->addWidget(LayOutStatusStrip());
    setCentralWidget(central);
    resize(712, 352);
    const WindowSize least = MinimumMainWindowSize(fontMetrics().height());
    setMinimumSize(least.width, least.height);
}

void MainDlg::LayOutMenus() {
    // Menus: the missing indices of the item lists are separators.
    mnuFile_ = menuBar()->addMenu(T(txt::FileMenu));
    mnuFile_->setObjectName("mnuFile");
    actDataFile_ = AddItem(mnuFile_, txt::DataFileSettingsItem, "mnuFileItem0", &MainDlg::DataFileSettings);
    mnuFile_->addSeparator();
    actMeasCond_ = AddItem(mnuFile_, txt::MeasCondSettingsItem, "mnuFileItem2", &MainDlg::MeasCondSettings);
    actGraphCond_ = AddItem(mnuFile_, txt::GraphCondSettingsItem, "mnuFileItem3", &MainDlg::GraphCondSettings);
    mnuFile_->addSeparator();
    actConvert_ = AddItem(mnuFile_, txt::ConvertFileItem, "mnuFileItem5", &MainDlg::ConvertingFile);
    mnuFile_->addSeparator();
    actQuit_ = AddItem(mnuFile_, txt::QuitItem, "mnuFileItem7", &MainDlg::Quit);

    mnuMeas_ = menuBar()->addMenu(T(txt::MeasMenu));
    mnuMeas_->setObjectName("mnuMeas");
    actMonitor_ = AddItem(mnuMeas_, txt::MonitorItem, "mnuMeasItem0", &MainDlg::Monitor);
    actMonitor_->setCheckable(true);
    mnuMeas_->addSeparator();
    actBalance_ = AddItem(mnuMeas_, txt::BalanceItem, "mnuMeasItem2", &MainDlg::Balance);
    mnuMeas_->addSeparator();
    actStart_ = AddItem(mnuMeas_, txt::StartItem, "mnuMeasItem4", &MainDlg::StartStop);

    mnuOption_ = menuBar()->addMenu(T(txt::OptionMenu));
    mnuOption_->setObjectName("mnuOption");
    actCheck_ = AddItem(mnuOption_, txt::CheckItem, "mnuOptionItem0", &MainDlg::Check);
    mnuOption_->addSeparator();
    actOutputCal_ = AddItem(mnuOption_, txt::OutputCalItem, "mnuOptionItem2", &MainDlg::OutputCal);
    mnuOption_->addSeparator();
    actVersion_ = AddItem(mnuOption_, txt::VersionItem, "mnuOptionItem4", &MainDlg::Version);
    // Option > Connect: start-up's connection again, without a restart.
    mnuOption_->addSeparator();
    actConnect_ = AddItem(mnuOption_, txt::ConnectItem, "mnuOptionConnect", &MainDlg::ConnectInstrument);
}

QWidget* MainDlg::LayOutButtons() {
    auto* pictButton = new QWidget;
    pictButton->setObjectName("pictButton");
    cmdBalKmr_ = new QPushButton(T(txt::BalanceButton));
    cmdBalKmr_->setObjectName("cmdBalKmr");
    cmdMoniKmr_ = new QPushButton(T(txt::MonitorOn));
    cmdMoniKmr_->setObjectName("cmdMoniKmr");
    cmdMeasKmr_ = new QPushButton(T(txt::StartButton));
    cmdMeasKmr_->setObjectName("cmdMeasKmr");
    auto* buttons = new QHBoxLayout(pictButton);
    buttons->setContentsMargins(0, 0, 0, 0);
    for (QPushButton* b : {cmdBalKmr_, cmdMoniKmr_, cmdMeasKmr_}) {
        b->setMinimumWidth(b->fontMetrics().horizontalAdvance("Moni. Off") + 40);
        b->setMinimumHeight(b->sizeHint().height() + 6);
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    return pictButton;
}

QWidget* MainDlg::LayOutStatusStrip() {
    // The maker's name, the status text and the remaining time.
    auto* pictStatus = new QWidget;
    pictStatus->setObjectName("pictStatus");
    auto* company = new QLabel("Vantora Instruments Co., Ltd.");
    company->setObjectName("lblCompanyName");
    company->setFrameShape(QFrame::Panel);
    company->setFrameShadow(QFrame::Sunken);
    company->setMargin(2);
    lblRestMeasTimeTitle_ = new QLabel(T(txt::RestTime));
    lblRestMeasTimeTitle_->setObjectName("lblRestMeasTimeTitle");
    restTime_ = new FloodPanel;
    restTime_->setObjectName("NPnlRestMeasTime");
    restTime_->SetFloodColour(QColor(255, 255, 0));
    lblStatus_ = new StatusLabel;
    lblStatus_->setObjectName("lblStatus");
    lblStatus_->setFrameShape(QFrame::Panel);
    lblStatus_->setFrameShadow(QFrame::Sunken);
    lblStatus_->setMargin(2);
    lblStatus_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* status = new QHBoxLayout(pictStatus);
    status->setContentsMargins(0, 0, 0, 0);
    status->addWidget(company);
    status->addWidget(lblStatus_, 1);
    status->addWidget(lblRestMeasTimeTitle_);
    status->addWidget(restTime_);
    status->addSpacing(16);
    return pictStatus;
}

void MainDlg::Attach(Engine& e) {
    e_ = &e;
    const ChartAreaParts area = CreateChartArea(e, centralWidget());
    chartWidget_ = area.widget;
    chartView_ = area.view;
    auto* graphs = static_cast<QHBoxLayout*>(centralWidget()->layout()->itemAt(1)->layout());
    graphs->addWidget(chartWidget_, 1);
    e.chart.SetView(this);
    records_ = new RecordActions(e, this, mnuFile_, actConvert_);
    ConnectEvents();
}

void MainDlg::ConnectEvents() {
    for (QMenu* m : {mnuFile_, mnuMeas_, mnuOption_})
        connect(m, &QMenu::aboutToShow, this, &MainDlg::UpdateMenus);
    // F5 and F6 anywhere in the window, as the menu shows them.
    auto* f5 = new QShortcut(QKeySequence(Q(MenuShortcutOf(txt::StartItem))), this);
    connect(f5, &QShortcut::activated, this, [this] { OnFunctionKey(actStart_, &MainDlg::StartStop); });
    auto* f6 = new QShortcut(QKeySequence(Q(MenuShortcutOf(txt::MonitorItem))), this);
    connect(f6, &QShortcut::activated, this, [this] { OnFunctionKey(actMonitor_, &MainDlg::Monitor); });
    connect(cmdBalKmr_, &QPushButton::clicked, this, [this] { OnInput(&MainDlg::Balance); });
    connect(cmdMoniKmr_, &QPushButton::clicked, this, [this] { OnInput(&MainDlg::Monitor); });
    connect(cmdMeasKmr_, &QPushButton::clicked, this, [this] { OnInput(&MainDlg::StartStop); });
    // The two timers are off until a run or the monitor starts them.
    eocTimer_.setInterval(kTimerMs);
    moniTimer_.setInterval(kTimerMs);
    connect(&eocTimer_, &QTimer::timeout, this, [this] {
        e_->gate.Tick(kEocTimerId, [this] { EocTimerTick(*e_); }, [this] { return eocTimer_.isActive(); });
    });
    connect(&moniTimer_, &QTimer::timeout, this, [this] {
        e_->gate.Tick(kMoniTimerId, [this] { MonitorTimerTick(*e_); }, [this] { return moniTimer_.isActive(); });
    });
}

QAction* MainDlg::AddItem(QMenu* menu, int textId, const char* name, void (MainDlg::*handler)()) {
    QAction* a = menu->addAction(ItemText(T(textId), textId));
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, [this, handler] { OnInput(handler); });
    return a;
}

void MainDlg::OnInput(void (MainDlg::*handler)()) {
    if (e_ == nullptr) return;
    // Held while a timer's tick waits for the instrument, and acted on after it unless the tick
    // changed what the window offers (it ended the run) or the window has gone.
    e_->gate.InputOrHold([this, handler] { if (!unloaded_) (this->*handler)(); }, WhileWindowOffersTheSame(*e_));
}

void MainDlg::OnFunctionKey(QAction* item, void (MainDlg::*handler)()) {
    if (e_ == nullptr || !menuBar()->isEnabled()) return;
    e_->gate.InputOrHold([this, item, handler] {
        if (unloaded_) return;
        UpdateMenus();
        if (item->isEnabled()) (this->*handler)();
    }, WhileWindowOffersTheSame(*e_));
}

void MainDlg::UpdateMenus() {
    if (e_ == nullptr) return;
    const MenuState m = kmr::UpdateMenus(WindowStateOf(*e_), e_->ui.language);
    actDataFile_->setEnabled(m.DataFileSettings);
    actMeasCond_->setEnabled(m.MeasCondSettings);
    actGraphCond_->setEnabled(m.GraphCondSettings);
    actConvert_->setEnabled(m.ConvertingFile);
    actQuit_->setEnabled(m.Quit);
    actMonitor_->setEnabled(m.Monitor);
    actMonitor_->setChecked(m.MonitorChecked);
    actBalance_->setEnabled(m.Balance);
    actStart_->setEnabled(m.Start);
    actStart_->setText(ItemText(Q(m.StartCaption), txt::StartItem));
    actCheck_->setEnabled(m.Check);
    actOutputCal_->setEnabled(m.OutputCal);
    actVersion_->setEnabled(m.Version);
    actConnect_->setEnabled(m.Connect);
}

void MainDlg::DropCharts() {
    delete chartWidget_;
    chartWidget_ = nullptr;
}

void MainDlg::ShowPrepared() {
    const MainFormGeometry& g = e_->s.Geometry;
    const double tpp = TwipsPerPixel(screen());
    resize(static_cast<int>(g.Width / tpp), static_cast<int>(g.Height / tpp));
    move(PlaceOnScreen(g.Left, g.Top, screen()->geometry(), tpp));
    RelayoutCharts();
    if (g.WindowState == kWindowMaximised)
        showMaximized();
    else
        show();
    raise();
    activateWindow();
}

// --- MainView ------------------------------------------------------------------------------------

void MainDlg::SetWindowEnabled(bool enabled) {
    // The window's own controls; the windows it owns (progress, message boxes) stay usable.
    // The keyboard focus comes back to where it was, so that keys go on working.
    if (!enabled && centralWidget()->isEnabled()) focusBeforeDisabled_ = focusWidget();
    centralWidget()->setEnabled(enabled);
    menuBar()->setEnabled(enabled);
    if (enabled && focusBeforeDisabled_ && focusBeforeDisabled_->isEnabled() && focusBeforeDisabled_->isVisible()) {
        focusBeforeDisabled_->setFocus(Qt::OtherFocusReason);
        focusBeforeDisabled_ = nullptr;
    }
}

void MainDlg::SetButtonEnabled(MainButton button, bool enabled) {
    QPushButton* b = button == MainButton::Balance ? cmdBalKmr_ : button == MainButton::Monitor ? cmdMoniKmr_ : cmdMeasKmr_;
    // A button disabled while it has the keyboard focus (Start at the end of a run) gets it back
    // when it is enabled again, unless the focus has been moved since: the toolkit passes it to
    // the next widget, a chart, where Space would no longer press the button.
    if (!enabled && b->hasFocus()) {
        b->setEnabled(false);
        focusedButton_ = b;
        focusPassedTo_ = QApplication::focusWidget();
        return;
    }
    b->setEnabled(enabled);
    if (!enabled || focusedButton_ != b) return;
    focusedButton_ = nullptr;
    if (!centralWidget()->isEnabled()) {
        if (focusBeforeDisabled_ == focusPassedTo_) focusBeforeDisabled_ = b;
    } else if (QApplication::focusWidget() == focusPassedTo_) {
        b->setFocus(Qt::OtherFocusReason);
    }
}

void MainDlg::SetStartStopCaption(const std::string& caption) {
    cmdMeasKmr_->setText(Q(caption));
    actStart_->setText(ItemText(Q(caption), txt::StartItem));
}
void MainDlg::SetMonitorCaption(const std::string& caption) { cmdMoniKmr_->setText(Q(caption)); }
void MainDlg::SetMonitorChecked(bool checked) { actMonitor_->setChecked(checked); }
void MainDlg::SetCaption(const std::string& caption) { setWindowTitle(Q(caption)); }
void MainDlg::SetRestTimePercent(float percent) { restTime_->SetPercent(percent); }
void MainDlg::SetRestTimeCaption(const std::string& caption) { restTime_->SetCaption(Q(caption)); }
void MainDlg::SetRestTimeColour(RestTimeColour colour) {
    // The high-speed caption stands in dark text on the panel filled yellow, readable on any
    // background; the fill goes back to what it was afterwards.
    if (colour == RestTimeColour::Yellow) {
        if (floodBeforeHighSpeed_ < 0.0) floodBeforeHighSpeed_ = restTime_->Percent();
        restTime_->SetPercent(100.0);
        restTime_->SetCaptionColour(QColor(0, 0, 0));
    } else {
        if (floodBeforeHighSpeed_ >= 0.0) restTime_->SetPercent(floodBeforeHighSpeed_);
        floodBeforeHighSpeed_ = -1.0;
        restTime_->SetCaptionColour(QColor());
    }
}

void MainDlg::SetStatusText(const std::string& text) {
    lblStatus_->setText(Q(text));
    lblStatus_->setToolTip(Q(text));
}

void MainDlg::SetEocTimer(bool enabled) {
    if (enabled)
        eocTimer_.start();
    else
        eocTimer_.stop();
}

void MainDlg::SetMoniTimer(bool enabled) {
    if (enabled)
        moniTimer_.start();
    else
        moniTimer_.stop();
}

void MainDlg::Activate() {
    if (isMinimized()) showNormal();
    show();
    // While a form is open the main window takes no input: the form comes to the front, so that
    // the keyboard reaches it.
    if (RaiseOpenForm()) return;
    raise();
    activateWindow();
}

bool MainDlg::RaiseOpenForm() {
    if (e_ == nullptr || !e_->forms.IsOpen()) return false;
    for (FormDlg* form : findChildren<FormDlg*>())
        if (!form->IsUnloaded() && form->isVisible()) {
            form->raise();
            form->activateWindow();
        }
    return true;
}

// --- ChartView -----------------------------------------------------------------------------------

void MainDlg::BatchBegun() {
    if (chartView_ != nullptr) chartView_->BatchBegun();
}

void MainDlg::BatchEnded(const ChartChanges& changes) {
    if (changes.axes.any()) RelayoutCharts();
    // A record's conditions panel takes its place before the charts are queried and painted.
    if (records_ != nullptr) records_->ChartsChanged();
    if (chartView_ != nullptr) chartView_->BatchEnded(changes);
}

void MainDlg::RelayoutCharts() {
    if (auto* area = qobject_cast<kmr::ChartsWidget*>(chartWidget_)) area->Relayout();
}

// --- Geometry ------------------------------------------------------------------------------------

void MainDlg::RecordGeometry() {
    // Only the normal state is recorded: a maximised window keeps its last normal size and place.
    if (e_ == nullptr || !isVisible() || windowState() != Qt::WindowNoState) return;
    const double tpp = TwipsPerPixel(screen());
    MainFormGeometry& g = e_->s.Geometry;
    g.Left = static_cast<float>(x() * tpp);
    g.Top = static_cast<float>(y() * tpp);
    g.Width = static_cast<float>(width() * tpp);
    g.Height = static_cast<float>(height() * tpp);
}

void MainDlg::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    RecordGeometry();
}

void MainDlg::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    RecordGeometry();
}

void MainDlg::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) RecordGeometry();
}

// --- Close and unload ----------------------------------------------------------------------------

void MainDlg::closeEvent(QCloseEvent* event) {
    if (unloaded_ || e_ == nullptr) {
        event->accept();
        return;
    }
    event->ignore();
    // While a form is open the main window takes no input, its close box included: the form
    // comes to the front instead (the program ends only through the form's own close first).
    if (RaiseOpenForm()) return;
    // A close request while another handler waits for the instrument is held and asked once
    // that handler has returned; otherwise it runs now, as a handler of its own. The unload runs
    // as part of the same handler, so no tick runs in between.
    if (e_->gate.Busy()) {
        const QPointer<MainDlg> self(this);
        e_->gate.Tick(kCloseRequestId, [self] { if (self) self->CloseRequest(); },
                      [self] { return self && !self->unloaded_; });
        return;
    }
    bool unloaded = false;
    e_->gate.InputKeepingHeld([&] { unloaded = CloseRequest(); });
    if (unloaded) {
        event->accept();
        return;
    }
    RunHeldAfterClose(this, e_->gate);
}

bool MainDlg::CloseRequest() {
    if (unloaded_ || e_->forms.IsOpen()) return false;
    if (!CloseRequestAllowed(e_->s, e_->ui)) return false;
    e_->s.Geometry.WindowState = WindowStateCode(isMaximized(), isMinimized());
    UnloadMainWindow(*e_, saveGeometry);
    eocTimer_.stop();
    moniTimer_.stop();
    unloaded_ = true;
    // Held, the request did not come with an event to accept: the window goes now.
    if (isVisible()) QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    return true;
}

// --- Menu and button handlers --------------------------------------------------------------------

void MainDlg::DataFileSettings() {
    OpenForm(*e_, this, FormId::DataFileSettings,
             [this] { return new SetPathAndFileDlg(*e_, this); });
}
void MainDlg::MeasCondSettings() {
    OpenForm(*e_, this, FormId::MeasCond, [this] { return new MeasCondDlg(*e_, this); });
}
void MainDlg::GraphCondSettings() {
    OpenForm(*e_, this, FormId::GraphCond, [this] { return new GraphCondDlg(*e_, this); });
}
void MainDlg::ConvertingFile() { OpenFileExchange(*e_, this); }
void MainDlg::Quit() {
    // The close request runs as its own handler once this one has returned.
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}
void MainDlg::Monitor() { ToggleMonitor(*e_); }
void MainDlg::Balance() { OpenBalance(*e_, this); }
void MainDlg::StartStop() { StartOrStop(*e_); }
void MainDlg::Check() { OpenCheckTable(*e_, this); }
void MainDlg::OutputCal() { OpenOutputCal(*e_, this); }
void MainDlg::ConnectInstrument() { ConnectAgain(*e_); }
void MainDlg::Version() { OpenVersion(*e_, this); }

}  // namespace kmr::gui
