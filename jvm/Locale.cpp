#include "jvm/Locale.h"

#include <cstring>

#include "core/CommandLineNarrow.h"
#include "core/BoundedCopy.h"
#include "core/Log.h"
#include "core/Platform.h"
#include "jvm/LocaleTable.h"

void determineLocale(const WideArgs* arguments, char* out, size_t capacity) {
    copyCut(out, capacity, "en");
    uint16_t languageId = static_cast<uint16_t>(GetUserDefaultLCID() & 0xFFFF);
    if (arguments) {
        NarrowArgs converted;
        for (const std::u16string& argument : *arguments)
            converted.push_back(narrowArgumentQuietly(argument));
        const bool format = formatAsDefault(converted);
        logMessage("sun.locale.formatasdefault is %s", format ? "true" : "false");
        if (!format) {
            // Looked up at run time: older Windows versions lack it.
            const auto uiLanguage = kernel32Function<LANGID(WINAPI*)()>("GetUserDefaultUILanguage");
            if (uiLanguage)
                languageId = uiLanguage();
        }
    }
    if (const char* text = localeForLanguageId(languageId))
        copyCut(out, capacity, text);
    logMessage("language/country is %s", out);
}
