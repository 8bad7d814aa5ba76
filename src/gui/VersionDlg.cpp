#include "gui/VersionDlg.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/app/AboutText.h"
#include "gui/GuiText.h"

#ifndef KMR_VERSION
#define KMR_VERSION "0.0"
#endif

namespace kmr::gui {

QString ProgramVersion() { return QStringLiteral(KMR_VERSION); }

VersionDlg::VersionDlg(Engine& e, QWidget* owner) : FormDlg(e, owner) {
    setObjectName("VersionDlg");
    setWindowFlags(Qt::Window | Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    const AboutText a = MakeAboutText(e.ui.language, e.s, ProgramVersion().toStdString());
    setWindowTitle(Q(a.Title));

    auto* icon = new QLabel;
    icon->setPixmap(QApplication::windowIcon().pixmap(64, 64));
    icon->setAlignment(Qt::AlignTop);
    auto* program = new QLabel(Q(a.Program));
    program->setObjectName("lblProgram");
    QFont f = program->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.2);
    program->setFont(f);

    auto* texts = new QVBoxLayout;
    texts->addWidget(program);
    for (std::size_t i = 0; i < a.About.size(); ++i) {
        auto* l = new QLabel(Q(a.About[i]));
        l->setObjectName(QString("lblAbout%1").arg(i + 1));
        l->setWordWrap(true);
        texts->addWidget(l);
    }
    auto* instrument = new QLabel(Q(a.Instrument));
    instrument->setObjectName("lblInstrument");
    instrument->setFrameShape(QFrame::StyledPanel);
    instrument->setFrameShadow(QFrame::Sunken);
    instrument->setMargin(6);
    texts->addSpacing(8);
    texts->addWidget(instrument);

    auto* body = new QHBoxLayout;
    body->addWidget(icon);
    body->addSpacing(12);
    body->addLayout(texts, 1);

    auto* ok = new QPushButton(T(txt::OkButton));
    ok->setObjectName("cmdOk");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { Gated([this] { CloseInHandler(); }); });
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addLayout(row);
    setMinimumWidth(460);
    setMaximumWidth(560);
}

VersionDlg* OpenVersion(Engine& e, QWidget* owner) {
    FormDlg* form = OpenForm(e, owner, FormId::About, [&] { return new VersionDlg(e, owner); });
    return static_cast<VersionDlg*>(form);
}

}  // namespace kmr::gui
