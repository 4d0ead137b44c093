// Marks a text that the user reads where it is written, in the layers that know nothing of Qt:
// the engine and the data layer. The text itself stays as written, in English; Qt's lupdate
// counts CLINIC_TEXT as QT_TRANSLATE_NOOP (app/translations/lupdate_sources.cmake), so that the
// text enters the program's translation under `context`, and the program translates it where
// it reaches the user (TranslatedText in data/exceptions.h).
//
// Contract: `context` and `text` are string literals; lupdate reads them from the source.
#pragma once

#define CLINIC_TEXT(context, text) text
