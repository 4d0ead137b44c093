#include "app/translations/language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QRegularExpression>

#include "data/exceptions.h"

namespace {

constexpr const char* kChineseTranslation = ":/i18n/clinic_zh_CN.qm";

// Whether a UI language, named as Qt names it ("zh-CN", "zh-Hans-CN", "en-US") or as the
// environment does ("zh_CN.UTF-8"), is `language`.
bool IsLanguage(const QString& name, const char* language) {
    const QString code = name.section(QRegularExpression("[-_.@]"), 0, 0);
    return code.compare(QLatin1String(language), Qt::CaseInsensitive) == 0;
}

}  // namespace

Language ChooseLanguage(const QString& asked, const QStringList& desktopLanguages) {
    if (asked == "en") return Language::English;
    if (asked == "zh_CN") return Language::Chinese;
    for (const QString& name : desktopLanguages) {
        if (IsLanguage(name, "zh")) return Language::Chinese;
        if (IsLanguage(name, "en")) return Language::English;
    }
    return Language::English;
}

Translation::Translation(Language language) {
    if (language == Language::English) return;
    // Qt's own words (the boxes' buttons, the text boxes' menus, the print dialogs) come from
    // Qt's translation, which Debian ships in qt6-translations-l10n; without it they stay
    // English. The program's own translation is installed after it, so it is asked first.
    qtTranslator_ = std::make_unique<QTranslator>();
    if (qtTranslator_->load(QLocale(QLocale::Chinese, QLocale::China), "qtbase", "_",
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qtTranslator_.get());
    }
    translator_ = std::make_unique<QTranslator>();
    // Only a program built without its translation fails here; it then stays English.
    if (!translator_->load(kChineseTranslation)) {
        translator_.reset();
        return;
    }
    QCoreApplication::installTranslator(translator_.get());
    // "" for a text that the translation lacks (a file name in an engine message): the data
    // layer then keeps the text as it was, byte for byte.
    SetTextTranslator(
        [translator = translator_.get()](const char* context, const std::string& text) {
            return translator->translate(context, text.c_str()).toStdString();
        });
}

Translation::~Translation() {
    if (qtTranslator_) QCoreApplication::removeTranslator(qtTranslator_.get());
    if (!translator_) return;
    SetTextTranslator(nullptr);
    QCoreApplication::removeTranslator(translator_.get());
}
