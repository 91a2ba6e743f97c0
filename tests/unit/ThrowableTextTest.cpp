#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "jvm/ThrowableText.h"

namespace {

// Throwables as numbers, each mapped to its cause (0: none).
std::vector<std::pair<int, bool>> causesOf(int first, const std::map<int, int>& cause, size_t limit,
                                           size_t stopAfter = 100) {
    std::vector<std::pair<int, bool>> seen;
    const std::vector<int> met = walkCauses<int>(
        first, limit, [&](int t) { return cause.count(t) ? cause.at(t) : 0; }, [](int a, int b) { return a == b; },
        [&](int t, bool circular) {
            seen.emplace_back(t, circular);
            return seen.size() < stopAfter;
        });
    std::vector<int> visited;
    for (const auto& s : seen)
        visited.push_back(s.first);
    EXPECT_EQ(met, visited) << "every cause met is handed back for release";
    return seen;
}

TEST(CauseChain, EachCauseOnceACycleMarkedOnce) {
    using Seen = std::vector<std::pair<int, bool>>;
    EXPECT_EQ(causesOf(1, {}, 10), Seen{});
    EXPECT_EQ(causesOf(1, {{1, 2}, {2, 3}}, 10), (Seen{{2, false}, {3, false}}));
    // A -> B -> A: B, then A once as the circular reference, and no more.
    EXPECT_EQ(causesOf(1, {{1, 2}, {2, 1}}, 10), (Seen{{2, false}, {1, true}}));
    // A cycle further down: C -> B was met.
    EXPECT_EQ(causesOf(1, {{1, 2}, {2, 3}, {3, 2}}, 10), (Seen{{2, false}, {3, false}, {2, true}}));
    EXPECT_EQ(causesOf(1, {{1, 1}}, 10), (Seen{{1, true}}));
    // At most the limit, and the visitor may stop it earlier.
    EXPECT_EQ(causesOf(1, {{1, 2}, {2, 3}, {3, 4}, {4, 5}}, 3), (Seen{{2, false}, {3, false}, {4, false}}));
    EXPECT_EQ(causesOf(1, {{1, 2}, {2, 3}, {3, 4}}, 10, 2), (Seen{{2, false}, {3, false}}));
}

TEST(JavaTextCut, NeverHalfAPair) {
    const std::u16string face = u"\U0001F600";
    const std::u16string text = std::u16string(1999, u'x') + face + u"yz";
    EXPECT_EQ(javaTextCut(text, 2000), 1999u) << "the pair would be cut: it goes whole";
    EXPECT_EQ(javaTextCut(text, 2001), 2001u);
    EXPECT_EQ(javaTextCut(text, 1999), 1999u);
    EXPECT_EQ(javaTextCut(text, 5000), text.size());
    EXPECT_EQ(javaTextCut(face, 1), 0u);
    EXPECT_EQ(javaTextCut(face, 2), 2u);
    // Halves without their partner are the text's own; cut as any unit.
    const std::u16string lone = std::u16string(3, u'x') + char16_t(0xD800) + u"y";
    EXPECT_EQ(javaTextCut(lone, 4), 4u);
    EXPECT_EQ(javaTextCut(std::u16string(u"ab"), 0), 0u);
}

}  // namespace
