#include "gui/MessageBox.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "core/app/Keyboard.h"
#include "gui/GuiText.h"
#include "gui/SplashDlg.h"
#include "gui/TransactionSplashDlg.h"
#include "gui/WaitDlg.h"

namespace kmr::gui {

namespace {

QStyle::StandardPixmap IconOf(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Exclamation: return QStyle::SP_MessageBoxWarning;
        case MsgIcon::Question: return QStyle::SP_MessageBoxQuestion;
        case MsgIcon::Critical: return QStyle::SP_MessageBoxCritical;
        case MsgIcon::Information: return QStyle::SP_MessageBoxInformation;
        case MsgIcon::None: break;
    }
    return QStyle::SP_CustomBase;
}

// The caption of an answer's button, with the letter that answers it underlined.
QString AnswerButtonCaption(int textId, MsgAnswer answer) { return Q(AnswerCaption(Text(GuiLanguage(), textId), answer)); }

// The texts of the core end lines with CR LF.
QString Lines(const QString& text) {
    QString t = text;
    t.replace("\r\n", "\n");
    return t;
}

// Breaks every run without blanks that is wider than `width` (a long path or file name) into
// lines that fit, after a path separator where there is one; everything else is left to the
// label's word wrap.
QString BreakLongRuns(const QString& text, const QFontMetrics& fm, int width) {
    QString out;
    out.reserve(text.size() + 16);
    QString run;  // the current run without blanks
    const auto flush = [&] {
        while (fm.horizontalAdvance(run) > width) {
            // The longest start that fits, cut after its last separator when it has one.
            int fit = 1;
            while (fit < run.size() && fm.horizontalAdvance(run.left(fit + 1)) <= width) ++fit;
            int cut = fit;
            for (int i = fit; i > fit / 2; --i)
                if (run[i - 1] == '/' || run[i - 1] == '\\') {
                    cut = i;
                    break;
                }
            out += run.left(cut) + '\n';
            run.remove(0, cut);
        }
        out += run;
        run.clear();
    };
    for (const QChar c : text) {
        if (c == ' ' || c == '\n' || c == '\t') {
            flush();
            out += c;
        } else {
            run += c;
        }
    }
    flush();
    return out;
}

}  // namespace

MessageBox::MessageBox(QWidget* owner, const QString& text, const QString& title, MsgIcon icon,
                       MsgButtons buttons, bool defaultNo, int autoCloseMs)
    : QDialog(owner), owner_(owner), buttons_(buttons) {
    setObjectName("MessageBox");
    setWindowTitle(title);
    setModal(true);
    auto* body = new QHBoxLayout;
    if (icon != MsgIcon::None) {
        auto* iconLabel = new QLabel;
        const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
        iconLabel->setPixmap(style()->standardIcon(IconOf(icon), nullptr, this).pixmap(size, size));
        iconLabel->setAlignment(Qt::AlignTop);
        body->addWidget(iconLabel);
    }
    // The box stays within the screen: the text is at most 70 % of its width, a path too long
    // for that is broken into lines.
    const QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
    const int widest = std::max(320, (screen != nullptr ? screen->availableGeometry().width() : 1024) * 7 / 10);
    auto* label = new QLabel;
    label->setObjectName("lblText");
    // Shown as written: a path holding "<b>" is not taken for markup.
    label->setTextFormat(Qt::PlainText);
    label->setText(BreakLongRuns(Lines(text), label->fontMetrics(), widest));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Long texts wrap; so does a shorter one whose line is wider than the box may be (Japanese
    // texts are wide for their length).
    bool wrap = text.size() > 120;
    for (const QString& line : label->text().split('\n'))
        wrap = wrap || label->fontMetrics().horizontalAdvance(line) > widest;
    label->setWordWrap(wrap);
    label->setMinimumWidth(240);
    label->setMaximumWidth(widest);
    body->addWidget(label, 1);
    body->setSpacing(16);

    auto* row = new QHBoxLayout;
    row->addStretch(1);
    QPushButton* def = nullptr;
    switch (buttons) {
        case MsgButtons::Ok:
            def = AddButton(T(txt::OkButton), MsgAnswer::Ok, "cmdOk");
            row->addWidget(def);
            break;
        case MsgButtons::YesNo: {
            QPushButton* yes = AddButton(AnswerButtonCaption(txt::YesButton, MsgAnswer::Yes), MsgAnswer::Yes, "cmdYes");
            QPushButton* no = AddButton(AnswerButtonCaption(txt::NoButton, MsgAnswer::No), MsgAnswer::No, "cmdNo");
            row->addWidget(yes);
            row->addWidget(no);
            def = defaultNo ? no : yes;
            break;
        }
        case MsgButtons::RetryCancel: {
            QPushButton* retry = AddButton(AnswerButtonCaption(txt::RetryButton, MsgAnswer::Retry), MsgAnswer::Retry, "cmdRetry");
            QPushButton* cancel = AddButton(AnswerButtonCaption(txt::CancelButton, MsgAnswer::Cancel), MsgAnswer::Cancel, "cmdCancel");
            row->addWidget(retry);
            row->addWidget(cancel);
            def = retry;
            break;
        }
    }
    row->addStretch(1);
    def->setDefault(true);
    default_ = def;

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addSpacing(8);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // Only now do the buttons belong to the box: the default button takes the focus, so that
    // Enter and Space answer it (a Yes/No question whose default is No is never answered Yes by
    // a habitual Enter).
    def->setFocus();

    if (autoCloseMs > 0) {
        autoClose_.setSingleShot(true);
        autoClose_.setInterval(autoCloseMs);
        connect(&autoClose_, &QTimer::timeout, this, [this] { Finish(MsgAnswer::Ok); });
    }
}

QPushButton* MessageBox::AddButton(const QString& caption, MsgAnswer answer, const char* name) {
    auto* b = new QPushButton(caption);
    b->setObjectName(name);
    b->setAutoDefault(true);
    connect(b, &QPushButton::clicked, this, [this, answer] { Finish(answer); });
    return b;
}

void MessageBox::Finish(MsgAnswer answer) {
    answer_ = answer;
    accept();
}

void MessageBox::done(int result) {
    hadKeyboard_ = isActiveWindow();
    QDialog::done(result);
}

void MessageBox::closeEvent(QCloseEvent* event) {
    // The close box answers 0, as OK does (in the GP-IB status report that goes on as Retry
    // does: closing a window never ends the program).
    if (result() != QDialog::Accepted) answer_ = MsgAnswer::Ok;
    QDialog::closeEvent(event);
}

void MessageBox::keyPressEvent(QKeyEvent* event) {
    // Escape is the close box.
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    // A letter key answers as the core's keyboard rules say.
    const int key = event->key();
    if ((event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && key >= Qt::Key_A && key <= Qt::Key_Z)
        if (const auto answer = AnswerOfLetter(buttons_, static_cast<char>('A' + (key - Qt::Key_A)))) {
            Finish(*answer);
            return;
        }
    QDialog::keyPressEvent(event);
}

MsgAnswer MessageBox::Ask() {
    QPointer<QWidget> owner = owner_;
    const bool ownerWasEnabled = owner && owner->isEnabled();
    // Disabling the owner takes the keyboard from the box that had it; it is given back after,
    // so that the user goes on where they were (and the Return that entered a value which this
    // box refuses is not taken by the form as a press of its default button).
    const QPointer<QWidget> focused = owner ? owner->focusWidget() : nullptr;
    if (owner) owner->setEnabled(false);
    setEnabled(true);
    if (autoClose_.interval() > 0) autoClose_.start();
    answer_ = MsgAnswer::Ok;
    setResult(QDialog::Rejected);
    if (default_ != nullptr) default_->setFocus();
    exec();
    autoClose_.stop();
    if (owner && ownerWasEnabled) owner->setEnabled(true);
    // The keyboard goes back to the window the box stood over, not to whichever the system picks
    // (another program's window keeps it).
    if (owner && owner->isVisible() && hadKeyboard_) owner->activateWindow();
    if (focused && focused->isEnabled() && focused->isVisible() && owner && owner->focusWidget() == nullptr)
        focused->setFocus(Qt::OtherFocusReason);
    return answer_;
}

QWidget* WindowInFront(QWidget* fallback) {
    QWidget* w = QApplication::activeWindow();
    // Just after a long wait the notice may still count as the active window, hidden or not, or
    // no window may be active yet: the one the notice stood over is in front.
    if (w == nullptr || qobject_cast<WaitDlg*>(w) != nullptr) {
        w = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (const auto* wait = qobject_cast<WaitDlg*>(top); wait != nullptr && wait->ShownOver() != nullptr)
                w = wait->ShownOver();
    }
    if (w == nullptr || !w->isVisible() || qobject_cast<MessageBox*>(w) != nullptr ||
        qobject_cast<WaitDlg*>(w) != nullptr || qobject_cast<SplashDlg*>(w) != nullptr ||
        qobject_cast<TransactionSplashDlg*>(w) != nullptr)
        return fallback;
    return w;
}

}  // namespace kmr::gui
