#include "gui/SetPathAndFileDlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/datafiles/DataFileNaming.h"
#include "core/datafiles/PathPicker.h"
#include "gui/GuiText.h"
#include "gui/PathDlg.h"

namespace kmr::gui {

SetPathAndFileDlg::SetPathAndFileDlg(Engine& e, QWidget* owner)
    : FormDlg(e, owner), presenter_(e, *this) {
    setObjectName("SetPathAndFileDlg");
    setWindowTitle(T(txt::DataFileSettingsTitle));

    auto* lblPathName = new QLabel(T(txt::DataFolderNameLabel));
    lblPathName->setObjectName("lblPathName");
    txtPathName_ = new QLineEdit;
    txtPathName_->setObjectName("txtPathName");
    // The folder is chosen with the picker, which checks it; the box only shows it.
    txtPathName_->setReadOnly(true);
    txtPathName_->setContextMenuPolicy(Qt::NoContextMenu);
    txtPathName_->setMinimumWidth(txtPathName_->fontMetrics().horizontalAdvance(QString(44, QChar('M'))));
    auto* cmdPathName = new QPushButton("...");
    cmdPathName->setObjectName("cmdPathName");
    cmdPathName->setFixedWidth(cmdPathName->fontMetrics().horizontalAdvance("...") + 28);
    connect(cmdPathName, &QPushButton::clicked, this, [this] { Gated([this] { ChooseFolder(); }); });

    auto* lblFileName = new QLabel(T(txt::DataFileNameLabel));
    lblFileName->setObjectName("lblFileName");
    txtFileName_ = new QLineEdit;
    txtFileName_->setObjectName("txtFileName");
    TagBox(txtFileName_, {static_cast<int>(DataFileField::Name), 0});
    SelectAllOnEntry(txtFileName_);
    connect(txtFileName_, &QLineEdit::editingFinished, this, InGate([this] { presenter_.EnterName(); }));
    ListBox_ = new QListWidget;
    ListBox_->setObjectName("ListBox");
    connect(ListBox_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { PickName(item); });

    auto* fraFileType = new QGroupBox(T(txt::FileTypeLabel));
    fraFileType->setObjectName("fraFileType");
    auto* types = new QVBoxLayout(fraFileType);
    for (int t : {kFileTypeBinary, kFileTypeCsv}) {
        OptFileType_[t] = new QRadioButton(kFileTypeLabels[t]);
        OptFileType_[t]->setObjectName(QString("OptFileType%1").arg(t));
        types->addWidget(OptFileType_[t]);
        connect(OptFileType_[t], &QRadioButton::clicked, this, [this, t](bool on) {
            if (on && !Gated([this, t] { presenter_.FileTypeClicked(t); }))
                OptFileType_[t == kFileTypeCsv ? kFileTypeBinary : kFileTypeCsv]->setChecked(true);
        });
    }
    types->addStretch(1);


    auto* grid = new QGridLayout;
    grid->addWidget(lblPathName, 0, 0, 1, 3);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(txtPathName_, 1);
    folderRow->addWidget(cmdPathName);
    grid->addLayout(folderRow, 1, 0, 1, 3);
    grid->addWidget(lblFileName, 2, 0);
    grid->addWidget(txtFileName_, 3, 0);
    grid->addWidget(ListBox_, 4, 0);
    grid->addWidget(fraFileType, 3, 1, 2, 2);
    grid->setColumnStretch(0, 1);
    QHBoxLayout* buttons = CancelOkRow([this] { presenter_.Ok(); });
    auto* top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addLayout(buttons);

    presenter_.ShowAll();
}

void SetPathAndFileDlg::PickName(const QListWidgetItem* item) {
    const std::string name = item->text().toStdString();
    Gated([this, name] { presenter_.NameClicked(name); });
}

void SetPathAndFileDlg::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && focusWidget() == ListBox_ && !(event->modifiers() & ~Qt::KeypadModifier)) {
        event->accept();
        if (ListBox_->currentItem() != nullptr) PickName(ListBox_->currentItem());
        return;
    }
    FormDlg::keyPressEvent(event);
}

std::optional<DataFileField> SetPathAndFileDlg::BoxBeingEdited() const {
    if (!FormDlg::BoxBeingEdited()) return std::nullopt;
    return DataFileField::Name;
}

std::string SetPathAndFileDlg::Typed(DataFileField) const { return txtFileName_->text().toStdString(); }

void SetPathAndFileDlg::ShowFolder(const std::string& folder) { txtPathName_->setText(Q(folder)); }

void SetPathAndFileDlg::ShowName(const std::string& name) { txtFileName_->setText(Q(name)); }

void SetPathAndFileDlg::ShowFileType(bool csv) { OptFileType_[csv ? kFileTypeCsv : kFileTypeBinary]->setChecked(true); }

void SetPathAndFileDlg::ShowFiles(const std::vector<std::string>& names) {
    ListBox_->clear();
    for (const std::string& name : names) ListBox_->addItem(Q(name));
}

void SetPathAndFileDlg::ChooseFolder() {
    OpenPathDlg(e_.ui, this, presenter_.Form().Folder(), kDataFolderTag,
                [this](const QString& folder) { presenter_.FolderChosen(folder.toStdString()); });
}

}  // namespace kmr::gui
