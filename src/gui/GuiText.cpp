#include "gui/GuiText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
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

}  // namespace kmr::gui
