#include "jvm/Locale.h"

#include <cstring>

#include "core/Log.h"

void determineLocale(const WideArgs* /*arguments*/, char* out, size_t capacity) {
    logMessage("locale detection not built yet: using en");
    if (capacity >= 3)
        std::memcpy(out, "en", 3);
    else if (capacity > 0)
        out[0] = '\0';
}
