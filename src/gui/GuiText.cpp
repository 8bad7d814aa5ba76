#include "gui/GuiText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QTranslator>
#include <memory>

namespace kmr::gui {

namespace {

// Set once by main (and by the window tests) before the first window; read on the GUI thread.
Language g_guiLanguage = Language::English;
// Qt's own texts in the windows' language; none for English, Qt's own.
std::unique_ptr<QTranslator> g_qtTexts;

}  // namespace

Language GuiLanguage() { return g_guiLanguage; }

std::string CorePath(const QString& path) {
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()).toStdString();
}

void SetGuiLanguage(Language lang) {
    g_guiLanguage = lang;
    if (QCoreApplication::instance() == nullptr) return;
    if (g_qtTexts) QCoreApplication::removeTranslator(g_qtTexts.get());
    g_qtTexts.reset();
    if (lang != Language::Japanese) return;
    // Where Qt's Japanese texts are missing, its dialogs stay in English: nothing else changes.
    auto texts = std::make_unique<QTranslator>();
    if (texts->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
        QCoreApplication::installTranslator(texts.get()))
        g_qtTexts = std::move(texts);
}

QString FittedStatusText(const QString& text, const QFontMetrics& fm, int width) {
    if (fm.horizontalAdvance(text) <= width) return text;
    // From a separator that begins a word (after a drive letter on Windows) to the first data or
    // CSV file name's extension.
    static const QRegularExpression path(
        QStringLiteral(R"((?:^|(?<=\s))(?:[A-Za-z]:)?[/\\].*?\.(?:kmr|csv)(?=$|\s))"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = path.match(text);
    if (!m.hasMatch()) return fm.elidedText(text, Qt::ElideMiddle, width);
    const QString before = text.left(m.capturedStart()), after = text.mid(m.capturedEnd());
    // The folders give way; the file's name stays whole.
    const QString full = m.captured();
    const qsizetype cut = full.lastIndexOf(QRegularExpression(QStringLiteral(R"([/\\])")));
    const QString folder = full.left(cut), file = full.mid(cut);
    const QString ellipsis(QChar(0x2026));
    const int room = width - fm.horizontalAdvance(before + file + after);
    if (room >= fm.horizontalAdvance(folder.left(1) + ellipsis))
        return before + fm.elidedText(folder, Qt::ElideMiddle, room) + file + after;
    // Narrower still: the file's name stays whole. The words after it give way first, then the
    // end of what is said before it (its beginning, with the count of a stopped run, stays).
    if (fm.horizontalAdvance(before + ellipsis + file) <= width) {
        if (after.isEmpty() || fm.horizontalAdvance(before + ellipsis + file + ellipsis) <= width)
            return fm.elidedText(before + ellipsis + file + after, Qt::ElideRight, width);
        return before + ellipsis + file;
    }
    const QString shortBefore = fm.elidedText(before, Qt::ElideRight, width - fm.horizontalAdvance(file));
    if (shortBefore.size() > 1) return shortBefore + file;
    return fm.elidedText(before + ellipsis + file + after, Qt::ElideRight, width);
}

}  // namespace kmr::gui
