// How a Java exception is told: its causes walked as Java's own stack trace
// walks them, and its text cut to a length a dialog can show. Free of JNI,
// so that the rules are tested natively.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

// The causes of `first`, in order, as printStackTrace walks them: each one
// once; a cause met before (A caused by B caused by A) is visited with
// `circular` set and ends the walk, where Java prints "[CIRCULAR REFERENCE:
// ...]". At most `limit` causes; `visit(cause, circular)` returns false to
// stop early. `next(t)` is t's cause or a null one, `same(a, b)` whether two
// are one object. Returns every cause met, for the caller to release.
template <class T, class Next, class Same, class Visit>
std::vector<T> walkCauses(T first, size_t limit, Next next, Same same, Visit visit) {
    std::vector<T> met{first};
    T current = first;
    while (met.size() <= limit) {
        const T cause = next(current);
        if (!cause)
            break;
        bool circular = false;
        for (const T& earlier : met)
            circular = circular || same(earlier, cause);
        met.push_back(cause);
        if (!visit(cause, circular) || circular)
            break;
        current = cause;
    }
    met.erase(met.begin());
    return met;
}

// How much of `text` to show within `longest` UTF-16 units: never the first
// half of a surrogate pair without the second.
inline size_t javaTextCut(std::u16string_view text, size_t longest) {
    if (text.size() <= longest)
        return text.size();
    size_t cut = longest;
    if (cut > 0 && text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF && text[cut] >= 0xDC00 && text[cut] <= 0xDFFF)
        --cut;
    return cut;
}
