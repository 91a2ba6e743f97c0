#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "jvm/LocaleTable.h"

namespace {

TEST(LocaleTable, ShapeOfTheTable) {
    ASSERT_EQ(localeTableSize(), 215u);
    const LocaleEntry* t = localeTableBegin();
    std::set<unsigned> primaries;
    for (size_t i = 0; i < localeTableSize(); ++i) {
        if (i > 0)
            EXPECT_LT(t[i - 1].id, t[i].id) << "ids ascending without repeats at " << i;
        const std::string text = t[i].text;
        if (t[i].id <= 0x56) {
            EXPECT_EQ(text.size(), 2u) << "neutral entry " << std::hex << t[i].id;
            primaries.insert(t[i].id);
        } else {
            EXPECT_TRUE(primaries.count(t[i].id & 0x3FF)) << "specific id without neutral entry " << std::hex
                                                           << t[i].id;
        }
    }
    // Primary languages the table leaves out.
    for (unsigned missing : {0x28u, 0x2Eu, 0x30u, 0x33u, 0x3Bu, 0x42u, 0x45u, 0x48u, 0x4Cu, 0x4Du, 0x51u, 0x55u})
        EXPECT_FALSE(primaries.count(missing)) << std::hex << missing;
}

TEST(LocaleTable, LookupByExactIdThenPrimaryLanguage) {
    auto at = [](uint16_t id) { const char* s = localeForLanguageId(id); return std::string(s ? s : "<none>"); };
    EXPECT_EQ(at(0x0407), "de_DE");
    EXPECT_EQ(at(0x0807), "de_CH");
    EXPECT_EQ(at(0x4809), "en");
    EXPECT_EQ(at(0x0814), "no_NO_NY");
    EXPECT_EQ(at(0x0C0A), "es_ES");
    EXPECT_EQ(at(0x040A), "es_ES");
    EXPECT_EQ(at(0x0445), "<none>");
    EXPECT_EQ(at(0x040D), "iw_IL");
    EXPECT_EQ(at(0x0421), "in_ID");
    EXPECT_EQ(at(0x043D), "yi");
    EXPECT_EQ(at(0x2409), "en");
    EXPECT_EQ(at(0x0416), "pt_BR");
    EXPECT_EQ(at(0x083C), "ga_IE");
    EXPECT_EQ(at(0x041A), "hr_HR");
    EXPECT_EQ(at(0x0456), "gl_ES");
    EXPECT_EQ(at(0x0001), "ar");
    EXPECT_EQ(at(0x4001), "ar_QA");
    EXPECT_EQ(at(0x0000), "<none>");
    EXPECT_EQ(at(0xFFFF), "<none>");
}

TEST(FormatAsDefault, LastArgumentDecides) {
    EXPECT_TRUE(formatAsDefault({"app.exe"}));
    EXPECT_FALSE(formatAsDefault({"app.exe", "-Dsun.locale.formatasdefault=false"}));
    EXPECT_FALSE(formatAsDefault({"app.exe", "-Dsun.locale.formatasdefault="}));
    EXPECT_FALSE(formatAsDefault({"app.exe", "-Dsun.locale.formatasdefault=TRUE"}));
    EXPECT_TRUE(formatAsDefault({"-Dsun.locale.formatasdefault=false", "-Dsun.locale.formatasdefault=true"}));
    EXPECT_FALSE(formatAsDefault({"-Dsun.locale.formatasdefault=true", "-Dsun.locale.formatasdefault=no"}));
    EXPECT_TRUE(formatAsDefault({"x-Dsun.locale.formatasdefault=false"}));
}

}  // namespace
