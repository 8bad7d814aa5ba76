#include "gui/SetPathAndFileDlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/datafiles/PathPicker.h"
#include "gui/GuiText.h"
#include "gui/PathDlg.h"

namespace kmr::gui {

SetPathAndFileDlg::SetPathAndFileDlg(Engine& e, QWidget* owner)
    : FormDlg(e, owner), form_(e.s.Global, e.s.DataFileNumber, e.s.Meas.MemoryWords) {
    setObjectName("SetPathAndFileDlg");
    setWindowTitle(T(txt::DataFileSettingsTitle));

    auto* lblPathName = new QLabel(T(txt::DataFolderNameLabel));
    lblPathName->setObjectName("lblPathName");
    txtPathName_ = new QLineEdit(Q(form_.Folder()));
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
    txtFileName_ = new QLineEdit(Q(form_.AcceptedName()));
    txtFileName_->setObjectName("txtFileName");
    SelectAllOnEntry(txtFileName_);
    connect(txtFileName_, &QLineEdit::editingFinished, this, &SetPathAndFileDlg::CommitName);
    ListBox_ = new QListWidget;
    ListBox_->setObjectName("ListBox");
    connect(ListBox_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        txtFileName_->setText(item->text());
        CommitName();
    });

    auto* fraFileType = new QGroupBox(T(txt::FileTypeLabel));
    fraFileType->setObjectName("fraFileType");
    auto* types = new QVBoxLayout(fraFileType);
    const char* typeLabels[2] = {"*.kmr(BIN)", "*.csv"};
    for (int t = 0; t < 2; ++t) {
        OptFileType_[t] = new QRadioButton(typeLabels[t]);
        OptFileType_[t]->setObjectName(QString("OptFileType%1").arg(t));
        types->addWidget(OptFileType_[t]);
        // Only an option that becomes set counts (a click on the set one changes nothing).
        connect(OptFileType_[t], &QRadioButton::clicked, this, [this, t](bool on) {
            if (on && t != form_.FileType()) ChooseType(t);
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
    QHBoxLayout* buttons = CancelOkRow([this] { Ok(); });
    auto* top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addLayout(buttons);

    ShowType();
    ShowFiles();
}

bool SetPathAndFileDlg::CommitName() {
    // The box shows the accepted name again before a refusal's message is shown.
    const bool accepted = form_.CommitName(txtFileName_->text().toStdString());
    txtFileName_->setText(Q(form_.AcceptedName()));
    const std::string refusal = form_.RefusalMessage(e_.ui.language);
    if (refusal.empty()) return true;
    e_.ui.ShowMessage(refusal, e_.ui.Text(txt::SettingErrorTitle), MsgIcon::Exclamation, MsgButtons::Ok);
    return accepted;
}

void SetPathAndFileDlg::ChooseType(int type) {
    form_.ChooseFileType(type, e_.ui, e_.ui.language);
    ShowType();
    txtFileName_->setText(Q(form_.AcceptedName()));
    ShowFiles();
}

void SetPathAndFileDlg::ShowType() { OptFileType_[form_.FileType() == 1 ? 1 : 0]->setChecked(true); }

void SetPathAndFileDlg::ShowFiles() {
    ListBox_->clear();
    for (const std::string& name : form_.FileList()) ListBox_->addItem(Q(name));
}

void SetPathAndFileDlg::ChooseFolder() {
    OpenPathDlg(e_.ui, this, form_.Folder(), kDataFolderTag, [this](const QString& folder) {
        form_.SetFolder(folder.toStdString());
        txtPathName_->setText(folder);
        ShowFiles();
    });
}

void SetPathAndFileDlg::Ok() {
    // A name still being edited counts; one refused with a message keeps the form open.
    if (focusWidget() == txtFileName_ && !CommitName()) return;
    switch (SetPathAndFileOk(e_, form_, e_.ui.language, [this] { setEnabled(false); })) {
        case FormOutcome::StayOpen: break;
        case FormOutcome::Close:
        case FormOutcome::Applied: Unload(); break;
    }
}

bool SetPathAndFileDlg::QueryClose() {
    // Cancel discards the edits without asking; only the close box asks.
    return ClosedByButton() || SetPathAndFileMayCloseByCloseBox(e_, form_, e_.ui.language);
}

void SetPathAndFileDlg::Unloading() { SetPathAndFileClosed(e_); }

}  // namespace kmr::gui
