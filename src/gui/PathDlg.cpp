#include "gui/PathDlg.h"

#include <QCloseEvent>
#include <QCursor>
#include <QScrollBar>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStorageInfo>
#include <QVBoxLayout>

#include "gui/GuiText.h"

namespace kmr::gui {

namespace {

// The folder without its trailing separator, as the folder list names it.
QString Bare(QString folder) {
    while (folder.size() > 1 && (folder.endsWith('/') || folder.endsWith('\\'))) folder.chop(1);
    return QDir::fromNativeSeparators(folder);
}

}  // namespace

PathDlg::PathDlg(UiPort& ui, const std::string& path, const std::string& tag, QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::Dialog), ui_(ui), picker_(GuiLanguage(), path, tag) {
    setObjectName("PathDlg");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(Q(picker_.Caption()));

    drvPathDlg_ = new QComboBox;
    drvPathDlg_->setObjectName("drvPathDlg");
    model_ = new QFileSystemModel(this);
    model_->setFilter(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Drives);
    model_->setReadOnly(true);
    dirPathDlg_ = new QTreeView;
    dirPathDlg_->setObjectName("dirPathDlg");
    // Before the list's own selection hears of rows that go (it makes a neighbour current).
    connect(model_, &QAbstractItemModel::rowsAboutToBeRemoved, this, &PathDlg::RowsGoing);
    connect(model_, &QAbstractItemModel::rowsRemoved, this, [this] { removing_ = false; });
    dirPathDlg_->setModel(model_);
    for (int c = 1; c < model_->columnCount(); ++c) dirPathDlg_->hideColumn(c);
    dirPathDlg_->header()->hide();
    dirPathDlg_->setMinimumSize(300, 260);
    lblPathDlg_ = new QLabel;
    lblPathDlg_->setObjectName("lblPathDlg");
    lblPathDlg_->setFrameShape(QFrame::Panel);
    lblPathDlg_->setFrameShadow(QFrame::Sunken);
    lblPathDlg_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblPathDlg_->setTextFormat(Qt::PlainText);
    lblPathDlg_->setMinimumWidth(300);

    auto* cancel = new QPushButton(T(txt::CancelButton));
    cancel->setObjectName("cmdPathDlg0");
    auto* ok = new QPushButton(T(txt::OkButton));
    ok->setObjectName("cmdPathDlg1");
    ok->setDefault(true);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(T(txt::DriveLabel)), 0, 0);
    grid->addWidget(drvPathDlg_, 0, 1);
    grid->addWidget(new QLabel(T(txt::FolderLabel)), 1, 0, Qt::AlignTop);
    grid->addWidget(dirPathDlg_, 1, 1);
    grid->addWidget(lblPathDlg_, 2, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    // Wide enough for the caption.
    setMinimumWidth(fontMetrics().horizontalAdvance(windowTitle()) + 160);

    // The folders are read in the background: the chosen one is brought into view as they come,
    // until the user scrolls, clicks or opens a folder; from then on the list stays where the
    // user put it, and the row under the pointer stays under it as folders are added or go.
    dirPathDlg_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    connect(model_, &QFileSystemModel::directoryLoaded, this, [this] {
        if (followChosen_) dirPathDlg_->scrollTo(dirPathDlg_->currentIndex(), QAbstractItemView::PositionAtCenter);
    });
    const auto userMoved = [this] { followChosen_ = false; };
    connect(dirPathDlg_->verticalScrollBar(), &QScrollBar::actionTriggered, this, userMoved);
    connect(dirPathDlg_, &QTreeView::pressed, this, userMoved);
    connect(dirPathDlg_, &QTreeView::expanded, this, [this] {
        if (dirPathDlg_->underMouse()) followChosen_ = false;
    });
    connect(model_, &QAbstractItemModel::rowsAboutToBeInserted, this, &PathDlg::KeepAnchor);
    connect(model_, &QAbstractItemModel::rowsInserted, this, &PathDlg::RestoreAnchor);
    connect(model_, &QAbstractItemModel::layoutAboutToBeChanged, this, &PathDlg::KeepAnchor);
    connect(model_, &QAbstractItemModel::layoutChanged, this, &PathDlg::RestoreAnchor);
    connect(model_, &QAbstractItemModel::rowsRemoved, this, &PathDlg::RestoreAnchor);
    FillDrives();
    ShowFolder(Q(path));
    connect(drvPathDlg_, &QComboBox::activated, this, &PathDlg::DriveChanged);
    connect(dirPathDlg_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                // A chosen folder that vanished stays chosen (OK refuses it): its neighbour,
                // which the list makes current, is not what the user chose.
                if (!current.isValid() || removing_) return;
                picker_.SetPath(QDir::toNativeSeparators(model_->filePath(current)).toStdString());
                lblPathDlg_->setText(Q(picker_.Path()));
            });
    connect(dirPathDlg_, &QTreeView::clicked, this, [this](const QModelIndex& index) {
        // A click on the row the list made current after a removal chooses it.
        if (!index.isValid()) return;
        picker_.SetPath(QDir::toNativeSeparators(model_->filePath(index)).toStdString());
        lblPathDlg_->setText(Q(picker_.Path()));
    });
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
    connect(ok, &QPushButton::clicked, this, &PathDlg::Ok);
}

void PathDlg::SetPorts(DriveTypePort* types, DrivePort* drive) {
    types_ = types != nullptr ? types : &systemTypes_;
    drive_ = drive != nullptr ? drive : &systemDrive_;
}

void PathDlg::FillDrives() {
    // The mounted file systems that are folders (not single bind-mounted files), the root first.
    QStringList roots;
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes())
        if (v.isValid() && v.isReady() && QFileInfo(v.rootPath()).isDir() && !roots.contains(v.rootPath()))
            roots << v.rootPath();
    for (const QFileInfo& d : QDir::drives())
        if (!roots.contains(d.absolutePath())) roots << d.absolutePath();
    roots.sort();
    for (const QString& r : roots) drvPathDlg_->addItem(QDir::toNativeSeparators(r), r);
}

void PathDlg::ShowFolder(const QString& folder) {
    const QString bare = Bare(folder);
    // The drive is the longest root that holds the folder.
    int drive = -1;
    qsizetype best = -1;
    for (int i = 0; i < drvPathDlg_->count(); ++i) {
        const QString root = drvPathDlg_->itemData(i).toString();
        const bool holds = bare == root || bare.startsWith(root.endsWith('/') ? root : root + '/');
        if (holds && root.size() > best) {
            best = root.size();
            drive = i;
        }
    }
    if (drive >= 0) drvPathDlg_->setCurrentIndex(drive);
    model_->setRootPath(drive >= 0 ? drvPathDlg_->itemData(drive).toString() : QDir::rootPath());
    dirPathDlg_->setRootIndex(model_->index(model_->rootPath()));
    const QModelIndex at = model_->index(bare);
    if (at.isValid()) {
        for (QModelIndex up = at.parent(); up.isValid(); up = up.parent()) dirPathDlg_->expand(up);
        dirPathDlg_->setCurrentIndex(at);
        dirPathDlg_->scrollTo(at, QAbstractItemView::PositionAtCenter);
    }
    picker_.SetPath(QDir::toNativeSeparators(folder).toStdString());
    lblPathDlg_->setText(Q(picker_.Path()));
    followChosen_ = true;
}

void PathDlg::KeepAnchor() {
    const QPoint pointer = dirPathDlg_->viewport()->mapFromGlobal(QCursor::pos());
    const bool inside = dirPathDlg_->viewport()->rect().contains(pointer);
    const QModelIndex at = dirPathDlg_->indexAt(inside ? pointer : QPoint(1, 1));
    anchor_ = at;
    anchorY_ = at.isValid() ? dirPathDlg_->visualRect(at).top() : 0;
}

void PathDlg::RestoreAnchor() {
    if (!anchor_.isValid() || followChosen_) return;
    // The list's rows and its scroll range as they are now (the list lays them out later itself).
    dirPathDlg_->doItemsLayout();
    const int now = dirPathDlg_->visualRect(anchor_).top();
    if (now != anchorY_) {
        QScrollBar* bar = dirPathDlg_->verticalScrollBar();
        bar->setValue(bar->value() + (now - anchorY_));
    }
    anchor_ = QPersistentModelIndex();
}

void PathDlg::RowsGoing(const QModelIndex& parent, int first, int last) {
    // While rows go, the current row the list moves to is not a choice of the user's.
    (void)parent;
    (void)first;
    (void)last;
    removing_ = true;
    KeepAnchor();
}

void PathDlg::DriveChanged(int index) {
    if (index < 0) return;
    ShowFolder(drvPathDlg_->itemData(index).toString());
}

void PathDlg::Ok() {
    // A folder that has gone since it was chosen is refused; the picker stays open.
    if (!QFileInfo(Q(picker_.Path())).isDir()) {
        ui_.ShowMessage(ui_.Text(txt::FolderGone) + "\n" + picker_.Path(), ui_.Text(txt::ConfirmationTitle),
                        MsgIcon::Exclamation, MsgButtons::Ok);
        return;
    }
    PathPickerPorts ports{ui_, *types_, *drive_};
    const PickerStep step = picker_.Ok(ports, *this);
    lblPathDlg_->setText(Q(picker_.Path()));
    if (step == PickerStep::Close) close();
}

void PathDlg::closeEvent(QCloseEvent* event) {
    picker_.Unloaded(*this);
    QWidget::closeEvent(event);
}

void PathDlg::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if ((key != Qt::Key_Escape && !enter) || event->modifiers() & ~Qt::KeypadModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    QPushButton* target = findChild<QPushButton*>(key == Qt::Key_Escape ? "cmdPathDlg0" : "cmdPathDlg1");
    if (enter)
        if (auto* focused = qobject_cast<QPushButton*>(focusWidget())) target = focused;
    // Pressed once this key's handling has returned: the click closes the window.
    if (target != nullptr && target->isEnabled())
        QMetaObject::invokeMethod(target, &QPushButton::click, Qt::QueuedConnection);
}

void PathDlg::FolderChosen(const std::string& tag, const std::string& folder) {
    emit folderChosen(Q(tag), Q(folder));
}

void PathDlg::PickerClosed(const std::string& tag) { emit closed(Q(tag)); }

PathDlg* OpenPathDlg(UiPort& ui, QWidget* owner, const std::string& path, const std::string& tag,
                     const std::function<void(const QString& folder)>& chosen) {
    auto* dlg = new PathDlg(ui, path, tag, owner);
    const QString own = Q(tag);
    SetFormControlsEnabled(owner, false);
    QObject::connect(dlg, &PathDlg::folderChosen, owner, [own, chosen](const QString& t, const QString& folder) {
        if (t == own) chosen(folder);
    });
    QObject::connect(dlg, &PathDlg::closed, owner, [owner, own](const QString& t) {
        if (t == own) SetFormControlsEnabled(owner, true);
    });
    dlg->show();
    dlg->raise();
    dlg->activateWindow();
    return dlg;
}

void SetFormControlsEnabled(QWidget* form, bool enabled) {
    for (QWidget* w : form->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!w->isWindow()) w->setEnabled(enabled);
}

}  // namespace kmr::gui
