// What the runtime search takes from the environment: the PATH directories
// searched for java.exe, and the environment the version probe runs with.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/PathEntries.h"
#include "runtime/ProbeEnvironment.h"

namespace {

using Dirs = std::vector<std::string>;

TEST(PathDirectories, OnlyAbsoluteEntriesInOrder) {
    EXPECT_EQ(absolutePathDirectories("C:\\windows\\system32;;\"C:\\Program Files\\rt\\bin\";\\\\srv\\share\\bin"),
              (Dirs{"C:\\windows\\system32", "C:\\Program Files\\rt\\bin", "\\\\srv\\share\\bin"}));
    // Each of these would be looked up against the working directory.
    EXPECT_EQ(absolutePathDirectories(".;bin;.\\bin;\\rt\\bin;c:rt;\"\";\"c:\\x;C:\\ok"), (Dirs{"C:\\ok"}));
    EXPECT_TRUE(absolutePathDirectories("").empty());
    EXPECT_TRUE(absolutePathDirectories(";;;").empty());
}

TEST(PathDirectories, FileJoinedWithOneBackslash) {
    EXPECT_EQ(fileInDirectory("C:\\rt\\bin", "java.exe"), "C:\\rt\\bin\\java.exe");
    EXPECT_EQ(fileInDirectory("C:\\rt\\bin\\", "java.exe"), "C:\\rt\\bin\\java.exe");
    EXPECT_EQ(fileInDirectory("C:\\", "java.exe"), "C:\\java.exe");
}

std::u16string block(std::initializer_list<std::u16string> entries) {
    std::u16string b;
    for (const auto& e : entries) {
        b += e;
        b.push_back(u'\0');
    }
    b.push_back(u'\0');
    return b;
}

TEST(ProbeEnvironment, DropsTheOptionVariablesWhateverTheirCase) {
    const std::u16string in = block({u"=C:=C:\\work", u"PATH=C:\\bin", u"JAVA_TOOL_OPTIONS=-Xmx1g",
                                     u"_java_options=-Dx=1", u"Jdk_Java_Options=--add-opens",
                                     u"JAVA_TOOL_OPTIONS_X=kept", u"XJDK_JAVA_OPTIONS=kept", u"TMP=C:\\t"});
    EXPECT_EQ(probeEnvironmentBlock(in.c_str()),
              block({u"=C:=C:\\work", u"PATH=C:\\bin", u"JAVA_TOOL_OPTIONS_X=kept", u"XJDK_JAVA_OPTIONS=kept",
                     u"TMP=C:\\t"}));
}

TEST(ProbeEnvironment, AlwaysEndsInTwoZeros) {
    const std::u16string onlyHidden = block({u"_JAVA_OPTIONS=-Xss1m"});
    EXPECT_EQ(probeEnvironmentBlock(onlyHidden.c_str()), std::u16string(2, u'\0'));
    EXPECT_EQ(probeEnvironmentBlock(u""), std::u16string(2, u'\0'));
    EXPECT_EQ(probeEnvironmentBlock(nullptr), std::u16string(2, u'\0'));
    // A variable named by the empty text before "=" is kept as it is.
    const std::u16string odd = block({u"=x", u"JAVA_TOOL_OPTIONS"});
    EXPECT_EQ(probeEnvironmentBlock(odd.c_str()), block({u"=x"}));
}

}  // namespace
