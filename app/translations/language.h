// The program's language: English, as its texts are written, or Simplified Chinese through the
// translation built into the program (clinic_zh_CN.ts, compiled when the program is built and
// embedded in it), with Qt's own translation of Qt's words (the package qt6-translations-l10n).
//
// Contracts:
// - ChooseLanguage depends on its arguments alone: the one the user asked for (CLINIC_LANGUAGE,
//   "en" or "zh_CN") wins; any other request is ignored and the desktop's UI languages decide,
//   in their order: the first that is English or Chinese (any zh, zh_CN, zh_TW, ...) is taken;
//   English when none is.
// - A Translation installs its language while it lives: for the windows' texts and Qt's words
//   (Qt's translators; Qt's words stay English where Qt's translation is not installed) and for
//   the data layer's messages (SetTextTranslator). When it goes, the program speaks English
//   again. English installs nothing.
#pragma once

#include <QString>
#include <QStringList>
#include <QTranslator>
#include <memory>

enum class Language { English, Chinese };

// `asked` is CLINIC_LANGUAGE's value ("" when unset); `desktopLanguages` as
// QLocale::system().uiLanguages() reports them (LANGUAGE, then LC_ALL, LC_MESSAGES, LANG).
Language ChooseLanguage(const QString& asked, const QStringList& desktopLanguages);

class Translation {
  public:
    explicit Translation(Language language);
    ~Translation();
    Translation(const Translation&) = delete;
    Translation& operator=(const Translation&) = delete;

  private:
    std::unique_ptr<QTranslator> qtTranslator_;
    std::unique_ptr<QTranslator> translator_;
};
