// Not run on its own: tests/e2e/test_included_files.py appends a block and
// included files to a copy of this test program and runs this one test in
// it. The copy then reads its own block and extracts its files exactly as
// the launcher does, but returns afterwards instead of going on to the
// runtime, so the temporary directory can be looked at.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "core/CommandLine.h"
#include "core/LauncherFile.h"
#include "core/Platform.h"
#include "jvm/Locale.h"
#include "services/TempDir.h"

TEST(DISABLED_PackedExtraction, ExtractsIntoAFreshDirectory) {
    const char* reportPath = std::getenv("KVO_EXTRACTION_REPORT");
    ASSERT_NE(reportPath, nullptr) << "run by test_included_files.py only";
    WideArgs args;
    splitArguments(reinterpret_cast<const char16_t*>(GetCommandLineW()), args);
    loadConfiguration(args, determineLocale);
    const int result = extractIncludedFiles(true);

    FILE* report = std::fopen(reportPath, "w");
    ASSERT_NE(report, nullptr);
    std::fprintf(report, "result\t%d\ntempDir\t%s\nunextractedPosition\t%u\nblockEnd\t%u\n", result,
                 launcherTempDir, static_cast<unsigned>(unextractedPosition),
                 static_cast<unsigned>(blockEndOffset()));
    std::fclose(report);
}
