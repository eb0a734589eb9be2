// The language of the operator's texts: Chinese (the source texts, no
// translation loaded) or English (translations/tavix_en.ts, compiled into the
// program).
#ifndef TAVIX_LANGUAGE_H
#define TAVIX_LANGUAGE_H

#include <QString>

#include <optional>

namespace language {

enum class Language { Chinese, English };

// "zh" and "en", as --lang and the settings write them.
QString code(Language language);
// The language of a code; nothing for any other text.
std::optional<Language> fromCode(const QString &code);

// Makes `language` the application's: installs the English translation or
// removes it. Widgets built afterwards show the new texts; those on screen
// are set again by their own retranslate step. False, and nothing changed,
// when the compiled-in translation cannot be loaded.
bool apply(Language language);
// The language applied last; Chinese before any.
Language current();

} // namespace language

#endif
