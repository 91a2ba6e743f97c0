// The manifest settings: edited as XML, every byte outside the change kept.
#include <gtest/gtest.h>

#include <string>

#include "tools/kvo-pack/host/Encoding.h"
#include "tools/kvo-pack/image/Manifest.h"

using namespace kvopack;

namespace {

// The stub's application manifest as the linker embeds it.
constexpr const char* kStub =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n"
    "  <trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">\n"
    "    <security>\n"
    "      <requestedPrivileges>\n"
    "        <requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>\n"
    "      </requestedPrivileges>\n"
    "    </security>\n"
    "  </trustInfo>\n"
    "  <compatibility xmlns=\"urn:schemas-microsoft-com:compatibility.v1\">\n"
    "    <application>\n"
    "      <!-- Windows 7 -->\n"
    "      <supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"/>\n"
    "    </application>\n"
    "  </compatibility>\n"
    "</assembly>\n";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

std::string failure(const std::string& manifest) {
    try {
        rewriteManifest(manifest, ExecutionLevel::highestAvailable, {});
    } catch (const PackError& e) {
        return e.what();
    }
    return "accepted";
}

TEST(ManifestEdit, OnlyTheSettingChanges) {
    EXPECT_EQ(rewriteManifest(kStub, ExecutionLevel::requireAdministrator, {}),
              replaced(kStub, "\"asInvoker\"", "\"requireAdministrator\""));
    EXPECT_EQ(rewriteManifest(kStub, {}, {}), kStub);
    // A new setting goes last in the assembly, in the stub's layout.
    const std::string aware = rewriteManifest(kStub, {}, DpiAwareness::aware);
    EXPECT_EQ(aware, replaced(kStub, "</assembly>",
                              "  <application xmlns=\"urn:schemas-microsoft-com:asm.v3\">\n"
                              "    <windowsSettings>\n"
                              "      <dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/"
                              "WindowsSettings\">true</dpiAware>\n"
                              "    </windowsSettings>\n"
                              "  </application>\n"
                              "</assembly>"));
    // Changed again: the old setting goes, the new one takes its place.
    const std::string v2 = rewriteManifest(aware, {}, DpiAwareness::perMonitorV2);
    EXPECT_EQ(manifestDpiSetting(v2), "per-monitor-v2");
    EXPECT_EQ(v2.find("<dpiAware "), v2.rfind("<dpiAware "));
    EXPECT_LT(v2.find("<dpiAware "), v2.find("<dpiAwareness "));
    EXPECT_EQ(rewriteManifest(v2, {}, DpiAwareness::aware), aware);
    EXPECT_EQ(manifestExecutionLevel(v2), "asInvoker");
}

TEST(ManifestEdit, CommentsAreNoElements) {
    // The commented-out element stays as it is; the real one is set.
    const std::string commented =
        replaced(kStub, "  <trustInfo",
                 "  <!-- <requestedExecutionLevel level=\"requireAdministrator\"/> -->\n  <trustInfo");
    const std::string out = rewriteManifest(commented, ExecutionLevel::highestAvailable, {});
    EXPECT_EQ(out, replaced(commented, "level=\"asInvoker\"", "level=\"highestAvailable\""));
    EXPECT_EQ(manifestExecutionLevel(commented), "asInvoker");
    // Only a comment: the element is added.
    const std::string onlyComment =
        "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n"
        "  <!-- <trustInfo><security><requestedPrivileges><requestedExecutionLevel level=\"x\"/>"
        "</requestedPrivileges></security></trustInfo> -->\n"
        "</assembly>\n";
    EXPECT_EQ(manifestExecutionLevel(onlyComment), "");
    const std::string added = rewriteManifest(onlyComment, ExecutionLevel::asInvoker, {});
    EXPECT_EQ(manifestExecutionLevel(added), "asInvoker");
    EXPECT_TRUE(added.starts_with(onlyComment.substr(0, onlyComment.find("</assembly>"))));
}

TEST(ManifestEdit, PrefixedElementsAreFoundNotDuplicated) {
    const std::string prefixed =
        "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\" "
        "xmlns:asmv3=\"urn:schemas-microsoft-com:asm.v3\">\n"
        "  <asmv3:trustInfo>\n"
        "    <asmv3:security>\n"
        "      <asmv3:requestedPrivileges>\n"
        "        <asmv3:requestedExecutionLevel level='asInvoker' uiAccess='false'/>\n"
        "      </asmv3:requestedPrivileges>\n"
        "    </asmv3:security>\n"
        "  </asmv3:trustInfo>\n"
        "  <asmv3:application>\n"
        "    <asmv3:windowsSettings xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">\n"
        "      <dpiAware>true</dpiAware>\n"
        "    </asmv3:windowsSettings>\n"
        "  </asmv3:application>\n"
        "</assembly>\n";
    EXPECT_EQ(manifestExecutionLevel(prefixed), "asInvoker");
    EXPECT_EQ(manifestDpiSetting(prefixed), "true");
    const std::string out =
        rewriteManifest(prefixed, ExecutionLevel::requireAdministrator, DpiAwareness::unaware);
    EXPECT_EQ(out, replaced(replaced(prefixed, "'asInvoker'", "'requireAdministrator'"),
                            "      <dpiAware>true</dpiAware>\n",
                            "      <dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/"
                            "WindowsSettings\">false</dpiAware>\n"));
    // Parts of the path present: the rest is added inside them, with their prefix.
    const std::string partial =
        "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n"
        "  <v2:trustInfo xmlns:v2=\"urn:schemas-microsoft-com:asm.v2\">\n"
        "  </v2:trustInfo>\n"
        "  <application xmlns=\"urn:schemas-microsoft-com:asm.v3\"/>\n"
        "</assembly>\n";
    EXPECT_EQ(rewriteManifest(partial, ExecutionLevel::asInvoker, DpiAwareness::aware),
              "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n"
              "  <v2:trustInfo xmlns:v2=\"urn:schemas-microsoft-com:asm.v2\">\n"
              "    <v2:security>\n"
              "      <v2:requestedPrivileges>\n"
              "        <v2:requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>\n"
              "      </v2:requestedPrivileges>\n"
              "    </v2:security>\n"
              "  </v2:trustInfo>\n"
              "  <application xmlns=\"urn:schemas-microsoft-com:asm.v3\">\n"
              "    <windowsSettings>\n"
              "      <dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true"
              "</dpiAware>\n"
              "    </windowsSettings>\n"
              "  </application>\n"
              "</assembly>\n");
    // An element of another namespace named alike is not the one.
    const std::string foreign =
        "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n"
        "  <x:trustInfo xmlns:x=\"urn:example\"><x:security><x:requestedPrivileges>"
        "<x:requestedExecutionLevel level=\"asInvoker\"/></x:requestedPrivileges></x:security>"
        "</x:trustInfo>\n"
        "</assembly>\n";
    EXPECT_EQ(manifestExecutionLevel(foreign), "");
    EXPECT_EQ(rewriteManifest(foreign, ExecutionLevel::highestAvailable, {}).find("\"highestAvailable\""),
              foreign.rfind("</assembly>") + std::string("  <trustInfo xmlns=\"urn:schemas-microsoft-"
                                                         "com:asm.v3\">\n    <security>\n      "
                                                         "<requestedPrivileges>\n        "
                                                         "<requestedExecutionLevel level=").size());
    const std::string compat = rewriteManifest(kStub, {}, DpiAwareness::aware);
    EXPECT_NE(compat.find("    <application>\n      <!--"), std::string::npos);
    EXPECT_EQ(manifestDpiSetting(kStub), "");
}

TEST(ManifestEdit, OneLineManifestsStayOnOneLine) {
    const std::string inline_ =
        "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\"><trustInfo xmlns=\"urn:schemas-"
        "microsoft-com:asm.v3\"><security><requestedPrivileges><requestedExecutionLevel uiAccess="
        "\"false\"/></requestedPrivileges></security></trustInfo></assembly>";
    EXPECT_EQ(rewriteManifest(inline_, ExecutionLevel::asInvoker, {}),
              replaced(inline_, "<requestedExecutionLevel ",
                       "<requestedExecutionLevel level=\"asInvoker\" "));
    const std::string bare = "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\"/>";
    const std::string out = rewriteManifest(bare, {}, DpiAwareness::aware);
    EXPECT_EQ(out, "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\">\n"
                   "  <application xmlns=\"urn:schemas-microsoft-com:asm.v3\">\n"
                   "    <windowsSettings>\n"
                   "      <dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">"
                   "true</dpiAware>\n"
                   "    </windowsSettings>\n"
                   "  </application>\n"
                   "</assembly>");
    EXPECT_EQ(manifestDpiSetting(out), "true");
}

TEST(ManifestEdit, WhatIsNoManifestIsAClearError) {
    const std::string prefix = "the application manifest ";
    EXPECT_EQ(failure(replaced(kStub, "</security>", "</securty>")),
              prefix + "is not valid XML: line 8: invalid closing tag name");
    EXPECT_EQ(failure(replaced(kStub, "uiAccess=\"false\"", "uiAccess=\"false\" level=\"x\"")),
              prefix + "is not valid XML: line 6: attribute level is given twice");
    EXPECT_EQ(failure(replaced(replaced(kStub, "<security>", "<p:security>"), "</security>",
                               "</p:security>")),
              prefix + "is not valid XML: line 4: the prefix p is not declared");
    EXPECT_EQ(failure("<assembly/>"),
              prefix + "is not an assembly element of urn:schemas-microsoft-com:asm.v1");
    EXPECT_EQ(failure(std::string(kStub) + "<assembly/>"), prefix + "has more than one root element");
    EXPECT_EQ(failure(std::string("<a>\0</a>", 8)), prefix + "holds a NUL byte; it is no XML text");
    EXPECT_EQ(failure(""), prefix + "has no root element");
    // Deep nesting is refused before the parser descends into it.
    std::string deep;
    for (int i = 0; i < 5000; ++i)
        deep += "<a>";
    EXPECT_EQ(failure(deep), prefix + "holds more than 2000 tags");
    // dump reads what it can and says nothing of the rest.
    EXPECT_EQ(manifestExecutionLevel("<assembly"), "");
    EXPECT_EQ(manifestDpiSetting(deep), "");
}

}  // namespace
