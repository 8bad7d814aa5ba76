#include "gui/WindowTests.h"

#include <QCursor>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <cerrno>

#include "core/datafiles/DataFilesTestSupport.h"
#include "gui/BoxAnswerer.h"
#include "gui/FileExchangeDlg.h"
#include "gui/GeometryStore.h"
#include "gui/GuiText.h"
#include "gui/MessageBox.h"
#include "gui/RecordActions.h"
#include "support/FileSizeLimit.h"

namespace kmr::guitest {

namespace {

// Every write into the folder fails as a full disk does.
class FullFolder : public FileWritePort {
public:
    explicit FullFolder(std::string folder) : folder_(std::move(folder)) {}
    int BeforeWrite(const std::string& path) override { return path.rfind(folder_, 0) == 0 ? ENOSPC : 0; }

private:
    std::string folder_;
};

}  // namespace

void FileSafetyTest::aFileThatCannotBeWrittenIsSavedInTheFolderPicked() {
    Program& p = StartOnline();
    QTemporaryDir other;
    FullFolder full(p.State().Global.DataFolder);
    p.State().Writes = &full;
    // The first picker is closed without a folder (as a folder failing the write test closes it):
    // the recording is not given up, the offer comes again.
    int picked = 0;
    p.FolderPicker().pickerOpened = [&](gui::PathDlg& picker) {
        if (picked++ == 0) {
            QTimer::singleShot(0, &picker, [&picker] { picker.findChild<QPushButton*>("cmdPathDlg0")->click(); });
            return;
        }
        QTimer::singleShot(0, &picker, [this, &picker, &other] { PickFolder(&picker, other.path()); });
    };
    BoxAnswerer boxes;  // Yes to the offer, twice
    p.Main().findChild<QPushButton*>("cmdMeasKmr")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!p.State().RunActive() && !p.State().LastDataFile.empty(), 20000);
    QCOMPARE(picked, 2);
    QCOMPARE(boxes.seen.size(), std::size_t{2});
    for (const SeenBox& box : boxes.seen) {
        QVERIFY2(box.text.startsWith("Unexpected error #" + QString::number(ENOSPC)), qPrintable(box.text));
        QVERIFY(box.text.contains(gui::T(txt::SaveElsewhereQuestion)));
    }
    QVERIFY(p.State().LastTransferComplete);
    QVERIFY2(QString::fromStdString(p.State().LastDataFile).startsWith(QDir::toNativeSeparators(other.path() + "/")),
             p.State().LastDataFile.c_str());
    p.State().Writes = nullptr;
}

void FileSafetyTest::theWindowsCancelLeavesNoPartOfTheFileInProgress() {
    Program& p = StartOnline();
    const std::string data = p.State().DefaultDataFolder();
    QVERIFY(testing::WriteLevelKmr(data + "big.kmr", 140000, {1, 2}));  // parts A, B and C
    auto* dlg = OpenFromMenu<gui::FileExchangeDlg>(p.Main(), "mnuFileItem5");
    QVERIFY(dlg != nullptr);
    dlg->CheckDataFile(0, true);
    // The progress window's Cancel, pressed as soon as the conversion looks at its events.
    auto* cancel = p.ProgressWindow().findChild<QPushButton*>("cmdCancel");
    QVERIFY(cancel != nullptr);
    QTimer press;
    press.setInterval(0);
    QObject::connect(&press, &QTimer::timeout, cancel, [cancel] {
        if (cancel->isVisible() && cancel->isEnabled()) cancel->click();
    });
    press.start();
    BoxAnswerer boxes;
    dlg->findChild<QPushButton*>("cmdButton1")->click();
    press.stop();
    for (const QString& name : QDir(QString::fromStdString(data)).entryList(QDir::Files))
        QVERIFY2(name == "big.kmr", qPrintable("left behind: " + name));
    // Still checked, and the window said so.
    QCOMPARE(dlg->DataList()->item(0, 0)->checkState(), Qt::Checked);
    QCOMPARE(boxes.seen.size(), std::size_t(1));
    QCOMPARE(boxes.seen[0].text, QString("0 file(s) converted, 1 not converted."));
    dlg->close();
}

void FileSafetyTest::thePickerKeepsTheRowUnderThePointerAndRefusesAChosenFolderThatVanished() {
    QTemporaryDir dir;
    for (int i = 0; i < 60; ++i) QDir().mkpath(dir.path() + QString("/f%1/sub").arg(i, 2, 10, QChar('0')));
    testing::FakeUi ui;
    auto* picker = new gui::PathDlg(ui, (dir.path() + "/f59").toStdString(), kDataFolderTag, nullptr);
    const auto closePicker = qScopeGuard([picker = QPointer<gui::PathDlg>(picker)] { if (picker) picker->close(); });
    picker->resize(420, 360);
    picker->show();
    QTreeView* tree = picker->FolderList();
    auto* model = qobject_cast<QFileSystemModel*>(tree->model());
    QVERIFY(model != nullptr);
    const QModelIndex f00 = model->index(dir.path() + "/f00");
    QTRY_VERIFY(f00.isValid() && model->rowCount(f00.parent()) == 60);
    // The list has sorted the folders it read (it shows them as they come first).
    QTRY_VERIFY(model->index(10, 0, f00.parent()).data().toString() == "f10" &&
                model->index(59, 0, f00.parent()).data().toString() == "f59");
    QTRY_VERIFY(tree->visualRect(model->index(dir.path() + "/f59")).isValid());
    // The user scrolls up to f10 and points at it.
    tree->verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
    tree->scrollTo(model->index(dir.path() + "/f10"), QAbstractItemView::PositionAtCenter);
    const QModelIndex f10 = model->index(dir.path() + "/f10");
    const QPoint at = tree->visualRect(f10).center();
    QCursor::setPos(tree->viewport()->mapToGlobal(at));
    QCOMPARE(tree->indexAt(at), f10);
    // The user opens the folder below: its children load (the list used to scroll back to the
    // chosen folder each time), and the row under the pointer stays.
    tree->expand(model->index(dir.path() + "/f11"));
    QTRY_VERIFY(model->rowCount(model->index(dir.path() + "/f11")) == 1);
    QTRY_VERIFY(tree->visualRect(model->index(dir.path() + "/f11/sub")).isValid());
    QTRY_COMPARE(tree->indexAt(at), model->index(dir.path() + "/f10"));
    // Folders appear above it (another program makes them): it stays under the pointer too.
    for (int i = 0; i < 5; ++i) QDir().mkpath(dir.path() + QString("/a%1").arg(i));
    QTRY_VERIFY_WITH_TIMEOUT(model->index(dir.path() + "/a4").isValid(), 10000);
    QTRY_VERIFY(tree->visualRect(model->index(dir.path() + "/a4")).isValid());
    QTRY_COMPARE(tree->indexAt(at), model->index(dir.path() + "/f10"));

    // The chosen folder goes while the picker is open: the list makes its neighbour current...
    picker->SetPorts(&driveType_, &drive_);
    QString chosen;
    QObject::connect(picker, &gui::PathDlg::folderChosen, [&chosen](const QString&, const QString& f) { chosen = f; });
    QVERIFY(QDir(dir.path() + "/f59").removeRecursively());
    QTRY_VERIFY(!model->index(dir.path() + "/f59").isValid());
    // ...but the choice stays the folder that vanished, and OK refuses it.
    QCOMPARE(picker->Picker().Path(), QDir::toNativeSeparators(dir.path() + "/f59").toStdString());
    picker->findChild<QPushButton*>("cmdPathDlg1")->click();
    QVERIFY(chosen.isEmpty());
    QVERIFY(picker->isVisible());
    QCOMPARE(ui.shown.size(), std::size_t(1));
    QVERIFY(QString::fromStdString(ui.shown[0].text).startsWith("The folder no longer exists:"));
    // Escape is its Cancel.
    QSignalSpy closed(picker, &gui::PathDlg::closed);
    picker->activateWindow();
    tree->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(tree));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QTRY_COMPARE(closed.count(), 1);
    QVERIFY(chosen.isEmpty());
}

void FileSafetyTest::aBoxWithALongPathStaysWithinTheScreen() {
    const QString path = "/media/lab/" + QString(300, QChar('x')) + "/" + QString(200, QChar('y')) + ".kmr";
    gui::MessageBox box(nullptr, "Unexpected error #36 has occurred. File name too long (" + path + ")", "Error",
                        MsgIcon::Critical, MsgButtons::Ok);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY2(box.width() <= screen.width(), qPrintable(QString("%1 > %2").arg(box.width()).arg(screen.width())));
    // Every character is still there.
    QString shown = box.findChild<QLabel*>("lblText")->text();
    shown.remove('\n');
    QVERIFY(shown.contains(path));
    box.close();
    // A Japanese text shorter than the wrapping length but wider than the box wraps instead of
    // being cut off at the box's edge.
    gui::MessageBox ja(nullptr, gui::Q(TextWith(Language::Japanese, txt::FileNameTooLong, {"300", "227", "255"})),
                       "Error", MsgIcon::Exclamation, MsgButtons::Ok);
    ja.show();
    QVERIFY(QTest::qWaitForWindowExposed(&ja));
    auto* label = ja.findChild<QLabel*>("lblText");
    QVERIFY(label->text().size() <= 120);
    QVERIFY(label->wordWrap() || label->fontMetrics().horizontalAdvance(label->text()) <= label->width());
    QVERIFY(ja.width() <= screen.width());
    ja.close();
}

void FileSafetyTest::aCloseOnAFullDiskKeepsTheWindowSettings() {
#ifndef Q_OS_WIN
    Program& p = StartOnline();
    QVERIFY(QTest::qWaitForWindowExposed(&p.Main()));
    // Longer than the room left; the settings' lock file still fits.
    std::vector<std::string> recent;
    for (char c = 'a'; c < 'i'; ++c) recent.push_back("/lab/strain gauges/" + std::string(60, c) + ".kmr");
    gui::RecordActions::SaveRecentFiles(recent);
    gui::SaveGeometry(MainFormGeometry{100, 200, 9000, 6000, 0});
    QFile conf(QSettings().fileName());
    QVERIFY(conf.open(QIODevice::ReadOnly));
    const QByteArray before = conf.readAll();
    conf.close();
    QVERIFY(before.contains("9000") && before.size() > 512);
    {
        // The disk is full while the program closes: the old settings stay as they were.
        testing::FileSizeLimit full(256);
        QVERIFY(full.ok());
        BoxAnswerer boxes;  // Yes to "Do you agree to finish software?"
        QVERIFY(p.Main().close());
    }
    QVERIFY(conf.open(QIODevice::ReadOnly));
    QCOMPARE(conf.readAll(), before);
    conf.close();
    QCOMPARE(gui::RecordActions::LoadRecentFiles(), recent);
    // With room again the next save is taken.
    gui::RecordActions::SaveRecentFiles({"/lab/c.kmr"});
    QCOMPARE(gui::RecordActions::LoadRecentFiles(), std::vector<std::string>{"/lab/c.kmr"});
    QCOMPARE(QString::fromStdString(gui::LoadGeometryText()), QString("100,200,9000,6000,0"));
    QVERIFY(QDir(QFileInfo(conf).absolutePath()).entryList({"*.new*"}, QDir::Files).isEmpty());
#endif
}

}  // namespace kmr::guitest
