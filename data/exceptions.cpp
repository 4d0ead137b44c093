#include "data/exceptions.h"

namespace {

TextTranslator& Translator() {
    static TextTranslator translator;
    return translator;
}

}  // namespace

void SetTextTranslator(TextTranslator translator) {
    Translator() = std::move(translator);
}

std::string TranslatedText(const std::string& text) {
    if (!Translator()) return text;
    std::string translated = Translator()(kMessageContext, text);
    return translated.empty() ? text : translated;
}

std::string FormatMessage(std::string_view pattern, const std::vector<std::string>& args) {
    const std::string translated = TranslatedText(std::string(pattern));
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < translated.size(); ++i) {
        if (translated[i] == '%' && i + 1 < translated.size() && translated[i + 1] == 's') {
            if (next < args.size()) out += args[next++];
            ++i;
        } else {
            out += translated[i];
        }
    }
    return out;
}
