#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>

#include "jvm/LocaleTable.h"

namespace {

std::string at(uint16_t id) {
    const char* s = localeForLanguageId(id);
    return s ? s : "<none>";
}

TEST(LocaleTable, ShapeOfTheTable) {
    ASSERT_EQ(localeTableSize(), 215u);
    const LocaleEntry* t = localeTableBegin();
    std::map<unsigned, std::string> neutral;
    for (size_t i = 0; i < localeTableSize(); ++i) {
        if (i > 0)
            EXPECT_LT(t[i - 1].id, t[i].id) << "ids ascending without repeats at " << i;
        const std::string text = t[i].text;
        if (t[i].id <= 0x56) {
            EXPECT_EQ(text.size(), 2u) << "neutral entry " << std::hex << t[i].id;
            neutral[t[i].id] = text;
            continue;
        }
        const auto primary = neutral.find(t[i].id & 0x3FF);
        if (primary == neutral.end()) {
            ADD_FAILURE() << "specific id without neutral entry " << std::hex << t[i].id;
            continue;
        }
        // "ll" or "ll_CC" (one variant, "no_NO_NY"), the language that of
        // the neutral entry except where Windows groups two languages.
        const std::string language = text.substr(0, text.find('_'));
        const bool otherLanguage = (t[i].id == 0x041A && language == "hr") || (t[i].id == 0x083C && language == "ga");
        if (!otherLanguage)
            EXPECT_EQ(language, primary->second) << std::hex << t[i].id << ": " << text;
        if (text.size() > 2) {
            const bool country = text.size() >= 5 && text[2] == '_' && text[3] >= 'A' && text[3] <= 'Z' &&
                                 text[4] >= 'A' && text[4] <= 'Z';
            EXPECT_TRUE(country && (text.size() == 5 || text.substr(5) == "_NY")) << std::hex << t[i].id << ": " << text;
        }
    }
    // Primary languages the table leaves out.
    for (unsigned missing : {0x28u, 0x2Eu, 0x30u, 0x33u, 0x3Bu, 0x42u, 0x45u, 0x48u, 0x4Cu, 0x4Du, 0x51u, 0x55u})
        EXPECT_FALSE(neutral.count(missing)) << std::hex << missing;
}

TEST(LocaleTable, KnownIdsOfEachLanguageGroup) {
    const struct {
        uint16_t id;
        const char* text;
    } cases[] = {
        // Arabic, first to last country.
        {0x0401, "ar_SA"}, {0x0801, "ar_IQ"}, {0x0C01, "ar_EG"}, {0x2C01, "ar_JO"}, {0x3801, "ar_AE"}, {0x4001, "ar_QA"},
        // Chinese.
        {0x0404, "zh_TW"}, {0x0804, "zh_CN"}, {0x0C04, "zh_HK"}, {0x1004, "zh_SG"}, {0x1404, "zh_MO"},
        // German.
        {0x0407, "de_DE"}, {0x0807, "de_CH"}, {0x0C07, "de_AT"}, {0x1007, "de_LU"}, {0x1407, "de_LI"},
        // English; the Caribbean has no country of its own.
        {0x0409, "en_US"}, {0x0809, "en_GB"}, {0x0C09, "en_AU"}, {0x1009, "en_CA"}, {0x1409, "en_NZ"},
        {0x1809, "en_IE"}, {0x1C09, "en_ZA"}, {0x2409, "en"}, {0x3409, "en_PH"},
        // Spanish: traditional and modern sort are both Spain.
        {0x040A, "es_ES"}, {0x080A, "es_MX"}, {0x0C0A, "es_ES"}, {0x2C0A, "es_AR"}, {0x340A, "es_CL"},
        {0x500A, "es_PR"},
        // French.
        {0x040C, "fr_FR"}, {0x080C, "fr_BE"}, {0x0C0C, "fr_CA"}, {0x100C, "fr_CH"}, {0x140C, "fr_LU"},
        {0x180C, "fr_MC"},
        // Languages of two countries, and the older names.
        {0x0410, "it_IT"}, {0x0810, "it_CH"}, {0x0413, "nl_NL"}, {0x0813, "nl_BE"}, {0x0416, "pt_BR"},
        {0x0816, "pt_PT"}, {0x0414, "no_NO"}, {0x0814, "no_NO_NY"}, {0x041D, "sv_SE"}, {0x081D, "sv_FI"},
        {0x0418, "ro_RO"}, {0x0818, "ro_MD"}, {0x0419, "ru_RU"}, {0x0819, "ru_MD"}, {0x041A, "hr_HR"},
        {0x081A, "sr_CS"}, {0x0C1A, "sr_CS"}, {0x043C, "gd_GB"}, {0x083C, "ga_IE"}, {0x043E, "ms_MY"},
        {0x083E, "ms_BN"}, {0x040D, "iw_IL"}, {0x0421, "in_ID"}, {0x0812, "ko_KR"},
        // One country each, or none.
        {0x0402, "bg_BG"}, {0x0411, "ja_JP"}, {0x041F, "tr_TR"}, {0x0422, "uk_UA"}, {0x0439, "hi_IN"},
        {0x0456, "gl_ES"}, {0x0431, "ts"}, {0x043D, "yi"}, {0x0444, "tt"},
        // Neutral ids, first and last.
        {0x0001, "ar"}, {0x0009, "en"}, {0x0056, "gl"},
        // Unknown country: the primary language.
        {0x4809, "en"}, {0x5C0A, "es"}, {0x1C0C, "fr"}, {0x1807, "de"},
        // Unknown language.
        {0x0445, "<none>"}, {0x0000, "<none>"}, {0x0057, "<none>"}, {0xFFFF, "<none>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(at(c.id), c.text) << "id 0x" << std::hex << c.id;
}

TEST(FormatAsDefault, EveryValueFormAndTheLastDecides) {
    const struct {
        std::initializer_list<const char16_t*> arguments;
        bool format;
    } cases[] = {
        {{u"app.exe"}, true},
        {{}, true},
        {{u"-Dsun.locale.formatasdefault=true"}, true},
        {{u"-Dsun.locale.formatasdefault=false"}, false},
        {{u"-Dsun.locale.formatasdefault="}, false},
        {{u"-Dsun.locale.formatasdefault=TRUE"}, false},
        {{u"-Dsun.locale.formatasdefault=True"}, false},
        {{u"-Dsun.locale.formatasdefault=true "}, false},
        {{u"-Dsun.locale.formatasdefault= true"}, false},
        {{u"-Dsun.locale.formatasdefault=truex"}, false},
        {{u"-Dsun.locale.formatasdefault=1"}, false},
        {{u"-Dsun.locale.formatasdefault=yes"}, false},
        // Not the option: no "=", other case, other name, something in front.
        {{u"-Dsun.locale.formatasdefault"}, true},
        {{u"-dsun.locale.formatasdefault=false"}, true},
        {{u"-Dsun.locale.formatAsDefault=false"}, true},
        {{u"-Dsun.locale.formatasdefaults=false"}, true},
        {{u"x-Dsun.locale.formatasdefault=false"}, true},
        {{u"-J-Dsun.locale.formatasdefault=false"}, true},
        // The last one decides.
        {{u"-Dsun.locale.formatasdefault=false", u"-Dsun.locale.formatasdefault=true"}, true},
        {{u"-Dsun.locale.formatasdefault=true", u"-Dsun.locale.formatasdefault=no"}, false},
        {{u"-Dsun.locale.formatasdefault=false", u"-Dsun.locale.formatasdefault"}, false},
    };
    for (const auto& c : cases) {
        // The decision reads the arguments as the options carry them:
        // converted to narrow text (ASCII here).
        NarrowArgs args;
        std::string shown;
        for (const char16_t* a : c.arguments) {
            std::string narrow;
            for (const char16_t* p = a; *p; ++p)
                narrow += static_cast<char>(*p);
            args.push_back(narrow);
            shown += narrow + ' ';
        }
        EXPECT_EQ(formatAsDefault(args), c.format) << "[" << shown << "]";
    }
}

}  // namespace
