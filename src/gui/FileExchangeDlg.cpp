#include "gui/FileExchangeDlg.h"

#include <QApplication>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <QVBoxLayout>

#include "core/datafiles/PathPicker.h"
#include "gui/GeometryStore.h"
#include "gui/GuiText.h"
#include "gui/PathDlg.h"

namespace kmr::gui {

namespace {

QLineEdit* FolderBox(const char* name) {
    auto* box = new QLineEdit;
    box->setObjectName(name);
    box->setReadOnly(true);  // chosen with the button beside it
    box->setContextMenuPolicy(Qt::NoContextMenu);
    return box;
}

QString ModifiedText(const std::optional<std::int64_t>& time) {
    if (!time) return {};
    return QLocale().toString(QDateTime::fromSecsSinceEpoch(*time).toLocalTime(), QLocale::ShortFormat);
}

}  // namespace

FileExchangeDlg::FileExchangeDlg(Engine& e, QWidget* owner) : FormDlg(e, owner), form_(e.s.Global) {
    setObjectName("FileExchangeDlg");
    setWindowTitle(T(txt::ConvertTitle));

    txtSPathName_ = FolderBox("txtSPathName");
    txtDPathName_ = FolderBox("txtDPathName");
    auto* cmdSPathName = new QPushButton("...");
    cmdSPathName->setObjectName("cmdSPathName");
    auto* cmdDPathName = new QPushButton("...");
    cmdDPathName->setObjectName("cmdDPathName");
    for (QPushButton* b : {cmdSPathName, cmdDPathName}) b->setFixedWidth(b->fontMetrics().horizontalAdvance("...") + 24);
    txtDFile_ = new QLineEdit;
    txtDFile_->setObjectName("txtDFile");
    TagBox(txtDFile_, {static_cast<int>(CsvNameField::Name), 0});
    SelectAllOnEntry(txtDFile_);

    sModel_ = new QStandardItemModel(this);
    dModel_ = new QStandardItemModel(this);
    sPane_ = MakePane(sModel_, false);
    dPane_ = MakePane(dModel_, true);
    sPane_.details->setObjectName("LvSFile");
    dPane_.details->setObjectName("LvDFile");

    auto* left = new QGroupBox(T(txt::KmrFilesFrame));
    auto* l = new QGridLayout(left);
    l->addWidget(new QLabel(T(txt::KmrFolderLabel)), 0, 0, 1, 2);
    l->addWidget(txtSPathName_, 1, 0);
    l->addWidget(cmdSPathName, 1, 1);
    // The right pane has the name box here: the two lists start level.
    l->addWidget(new QWidget, 2, 0, 1, 2);
    l->addWidget(new QLabel(T(txt::KmrFileListLabel)), 3, 0, 1, 2);
    l->addWidget(sPane_.stack, 4, 0, 1, 2);
    l->setRowStretch(4, 1);

    auto* right = new QGroupBox(T(txt::CsvFilesFrame));
    auto* r = new QGridLayout(right);
    r->addWidget(new QLabel(T(txt::CsvFolderLabel)), 0, 0, 1, 2);
    r->addWidget(txtDPathName_, 1, 0);
    r->addWidget(cmdDPathName, 1, 1);
    r->addWidget(new QLabel(T(txt::CsvFileNameLabel)), 2, 0, 1, 2);
    r->addWidget(txtDFile_, 3, 0, 1, 2);
    r->addWidget(new QLabel(T(txt::CsvFileListLabel)), 4, 0, 1, 2);
    r->addWidget(dPane_.stack, 5, 0, 1, 2);
    r->setRowStretch(5, 1);
    l->setRowMinimumHeight(2, QLabel(T(txt::CsvFileNameLabel)).sizeHint().height() + r->verticalSpacing() +
                                  txtDFile_->sizeHint().height());

    auto* cmdClose = new QPushButton(T(txt::CloseButton));
    cmdClose->setObjectName("cmdButton0");
    auto* cmdConvert = new QPushButton(T(txt::ConvertButton));
    cmdConvert->setObjectName("cmdButton1");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdConvert);
    buttons->addWidget(cmdClose);

    auto* panes = new QHBoxLayout;
    panes->addWidget(left, 1);
    panes->addWidget(right, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(panes, 1);
    layout->addLayout(buttons);

    // The buttons run through the handler gate: while a conversion runs (its progress window
    // lets events through for Cancel) nothing else of the program's starts, and a close request
    // waits for the conversion's end.
    connect(cmdSPathName, &QPushButton::clicked, this, [this] { Gated([this] { PickFolder(false); }); });
    connect(cmdDPathName, &QPushButton::clicked, this, [this] { Gated([this] { PickFolder(true); }); });
    connect(cmdClose, &QPushButton::clicked, this, [this] { Gated([this] { CloseInHandler(); }); });
    connect(cmdConvert, &QPushButton::clicked, this, [this] { Gated([this] { Convert(); }); });
    connect(txtDFile_, &QLineEdit::editingFinished, this, [this] {
        form_.LeaveNameBox(txtDFile_->text().toStdString());
        ShowNameBox();
    });
    connect(sModel_, &QStandardItemModel::itemChanged, this, [this](QStandardItem* item) {
        if (drawing_ || item->column() != 0) return;
        form_.SetChecked(static_cast<std::size_t>(item->row()), item->checkState() == Qt::Checked);
        ShowNameBox();
    });
    for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(dPane_.details), static_cast<QAbstractItemView*>(dPane_.icons)})
        connect(v, &QAbstractItemView::clicked, this, [this](const QModelIndex& at) {
            form_.ClickCsvFile(static_cast<std::size_t>(at.row()));
            ShowNameBox();
        });

    // Left pane, right pane, then the buttons; the data files have the focus.
    QWidget* order[] = {txtSPathName_, cmdSPathName, sPane_.details, sPane_.icons, txtDPathName_, cmdDPathName,
                        txtDFile_,     dPane_.details, dPane_.icons, cmdConvert,  cmdClose};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
    sPane_.details->setFocus();

    ShowFolders();
    ShowDataList();
    ShowCsvList();
    ShowNameBox();
    // 9000 by 6345 twips, wider when the three columns of both lists need it (within the screen).
    const double tpp = TwipsPerPixel(screen());
    int columns = 0;
    for (int c = 0; c < 3; ++c) columns += sPane_.details->columnWidth(c);
    const int frame = sPane_.details->verticalScrollBar()->sizeHint().width() + 4 * sPane_.details->frameWidth() + 60;
    const int width = std::min(std::max(qRound(9000 / tpp), 2 * (columns + frame)), screen()->availableGeometry().width());
    resize(width, qRound(6345 / tpp));
}

FileExchangeDlg::Pane FileExchangeDlg::MakePane(QStandardItemModel* model, bool csvList) {
    Pane p;
    p.model = model;
    model->setHorizontalHeaderLabels({T(txt::NameColumn), T(txt::SizeColumn), T(txt::ModifiedColumn)});
    p.details = new QTreeView;
    p.details->setModel(model);
    p.details->setRootIsDecorated(false);
    p.details->setUniformRowHeights(true);
    p.details->setSelectionMode(QAbstractItemView::ExtendedSelection);
    p.details->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const QFontMetrics fm = p.details->fontMetrics();
    p.details->setColumnWidth(0, fm.horizontalAdvance("S123456789012345.DAT") + (csvList ? 8 : 32));
    p.details->setColumnWidth(1, fm.horizontalAdvance("128000000123"));
    p.details->setColumnWidth(2, fm.horizontalAdvance("2002/02/05 00:00:00123"));
    p.icons = new QListView;
    p.icons->setModel(model);
    p.icons->setSelectionModel(p.details->selectionModel());
    p.icons->setSelectionMode(QAbstractItemView::ExtendedSelection);
    p.icons->setEditTriggers(QAbstractItemView::NoEditTriggers);
    p.icons->setResizeMode(QListView::Adjust);
    p.stack = new QStackedWidget;
    p.stack->addWidget(p.details);
    p.stack->addWidget(p.icons);
    for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(p.details), static_cast<QAbstractItemView*>(p.icons)}) {
        v->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(v, &QWidget::customContextMenuRequested, this,
                [this, v, csvList](const QPoint& at) { ListMenu(csvList, v->viewport()->mapToGlobal(at)); });
    }
    return p;
}

void FileExchangeDlg::Fill(QStandardItemModel* model, const std::vector<ListedFile>& files, bool checkable) {
    drawing_ = true;
    model->removeRows(0, model->rowCount());
    const QIcon icon = style()->standardIcon(QStyle::SP_FileIcon);
    const std::string group = QLocale().groupSeparator().toStdString();
    for (std::size_t i = 0; i < files.size(); ++i) {
        auto* name = new QStandardItem(icon, Q(files[i].name));
        name->setEditable(false);
        if (checkable) {
            name->setCheckable(true);
            name->setCheckState(form_.Checked(i) ? Qt::Checked : Qt::Unchecked);
        }
        auto* size = new QStandardItem(Q(SizeColumnText(files[i].bytes, group)));
        size->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        size->setEditable(false);
        auto* modified = new QStandardItem(ModifiedText(files[i].time));
        modified->setEditable(false);
        model->appendRow({name, size, modified});
    }
    drawing_ = false;
}

void FileExchangeDlg::ShowFolders() {
    txtSPathName_->setText(Q(form_.DataFolder()));
    txtSPathName_->setToolTip(txtSPathName_->text());
    txtDPathName_->setText(Q(form_.CsvFolder()));
    txtDPathName_->setToolTip(txtDPathName_->text());
}

void FileExchangeDlg::ShowDataList() { Fill(sModel_, form_.DataFiles(), true); }
void FileExchangeDlg::ShowCsvList() { Fill(dModel_, form_.CsvFiles(), false); }

void FileExchangeDlg::ShowNameBox() {
    txtDFile_->setText(Q(form_.NameBox().text));
    txtDFile_->setEnabled(form_.NameBox().enabled);
}

void FileExchangeDlg::CheckDataFile(int row, bool on) {
    if (QStandardItem* item = sModel_->item(row, 0)) item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

void FileExchangeDlg::SetLook(bool csvList, ListLook look) {
    Pane& p = csvList ? dPane_ : sPane_;
    if (look == ListLook::Details) {
        p.stack->setCurrentWidget(p.details);
        return;
    }
    const int small = style()->pixelMetric(QStyle::PM_SmallIconSize);
    const int large = style()->pixelMetric(QStyle::PM_LargeIconSize);
    p.icons->setViewMode(look == ListLook::LargeIcons ? QListView::IconMode : QListView::ListMode);
    p.icons->setIconSize(QSize(look == ListLook::LargeIcons ? large : small, look == ListLook::LargeIcons ? large : small));
    p.icons->setFlow(look == ListLook::List ? QListView::TopToBottom : QListView::LeftToRight);
    p.icons->setWrapping(true);
    p.icons->setGridSize(look == ListLook::LargeIcons ? QSize(large * 3, large * 2) : QSize());
    p.icons->setSpacing(look == ListLook::LargeIcons ? 0 : 2);
    p.stack->setCurrentWidget(p.icons);
}

void FileExchangeDlg::ListMenu(bool csvList, const QPoint& at) {
    Pane& p = csvList ? dPane_ : sPane_;
    QMenu menu(this);
    menu.setObjectName(csvList ? "mnuDFile" : "mnuSFile");
    const auto selected = [&p] {
        std::vector<std::size_t> rows;
        for (const QModelIndex& i : p.details->selectionModel()->selectedRows()) rows.push_back(static_cast<std::size_t>(i.row()));
        return rows;
    };
    // The CSV files have no check boxes: checking is offered on the data files only.
    QAction* select = menu.addAction(T(txt::SelectButton), [&] { form_.SetChecked(selected(), true); });
    QAction* cancel = menu.addAction(T(txt::CancelSelectionItem), [&] { form_.SetChecked(selected(), false); });
    QAction* all = menu.addAction(T(txt::SelectAllItem), [&] { form_.SetAllChecked(true); });
    QAction* none = menu.addAction(T(txt::CancelAllItem), [&] { form_.SetAllChecked(false); });
    for (QAction* a : {select, cancel, all, none}) {
        a->setEnabled(!csvList);
        connect(a, &QAction::triggered, this, [this] {
            ShowDataList();
            ShowNameBox();
        });
    }
    menu.addSeparator();
    const std::pair<int, ListLook> looks[] = {{txt::LargeIconsItem, ListLook::LargeIcons},
                                              {txt::SmallIconsItem, ListLook::SmallIcons},
                                              {txt::ListItem, ListLook::List},
                                              {txt::DetailsItem, ListLook::Details}};
    for (const auto& [text, look] : looks) {
        const ListLook l = look;
        menu.addAction(T(text), [this, csvList, l] { SetLook(csvList, l); });
    }
    menu.exec(at);
}

void FileExchangeDlg::PickFolder(bool csvFolder) {
    const std::string tag = csvFolder ? kConvertCsvFolderTag : kConvertDataFolderTag;
    const std::string& folder = csvFolder ? form_.CsvFolder() : form_.DataFolder();
    OpenPathDlg(e_.ui, this, folder, tag, [this, tag, csvFolder](const QString& chosen) {
        form_.FolderChosen(tag, chosen.toStdString());
        if (csvFolder) {
            ShowFolders();
            ShowCsvList();
        } else {
            ShowFolders();
            ShowDataList();
            ShowNameBox();
        }
    });
}

void FileExchangeDlg::Convert() {
    SetFormControlsEnabled(this, false);
    form_.Convert(e_.ui, e_.progressView, *drive_, this);
    SetFormControlsEnabled(this, true);
    ShowFolders();
    ShowDataList();
    ShowCsvList();
    ShowNameBox();
}

void FileExchangeDlg::DataFileUnchecked(std::size_t row) {
    drawing_ = true;
    if (QStandardItem* item = sModel_->item(static_cast<int>(row), 0)) item->setCheckState(Qt::Unchecked);
    drawing_ = false;
}

void FileExchangeDlg::CsvListChanged() { ShowCsvList(); }

std::optional<CsvNameField> FileExchangeDlg::BoxBeingEdited() const {
    if (!FormDlg::BoxBeingEdited()) return std::nullopt;
    return CsvNameField::Name;
}

bool FileExchangeDlg::QueryClose() {
    form_.Close(e_);
    return true;
}

FileExchangeDlg* OpenFileExchange(Engine& e, QWidget* owner) {
    if (!OpenFileExchangeForm(e)) return nullptr;
    return static_cast<FileExchangeDlg*>(ShowForm(owner, new FileExchangeDlg(e, owner)));
}

}  // namespace kmr::gui
