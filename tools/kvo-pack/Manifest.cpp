#include "tools/kvo-pack/Manifest.h"

// A manifest is a few kilobytes: a parser that starts with 64 KiB of its own
// in every document costs more than the parse. More comes from the heap.
#define RAPIDXML_STATIC_POOL_SIZE (4 * 1024)
#include <rapidxml.hpp>

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "tools/kvo-pack/Encoding.h"

namespace kvopack {
namespace {

using Node = rapidxml::xml_node<char>;
using Attribute = rapidxml::xml_attribute<char>;

// The parser leaves the text as it is and points into it, so every edit
// lands at a known byte and the rest is copied unchanged. Comments,
// processing instructions and the DOCTYPE become nodes so that the end of
// every element can be found.
constexpr int kParseFlags = rapidxml::parse_non_destructive | rapidxml::parse_validate_closing_tags |
                            rapidxml::parse_comment_nodes | rapidxml::parse_pi_nodes |
                            rapidxml::parse_doctype_node | rapidxml::parse_declaration_node;

// An application manifest is a few kilobytes. The parser descends once per
// nesting level, and every level needs a '<'.
constexpr size_t kLargestManifest = 1024 * 1024;
constexpr size_t kMostTags = 2000;

constexpr std::string_view kAsmV1 = "urn:schemas-microsoft-com:asm.v1";
constexpr std::string_view kAsmV2 = "urn:schemas-microsoft-com:asm.v2";
constexpr std::string_view kAsmV3 = "urn:schemas-microsoft-com:asm.v3";
constexpr std::string_view kSettings2005 = "http://schemas.microsoft.com/SMI/2005/WindowsSettings";
constexpr std::string_view kSettings2016 = "http://schemas.microsoft.com/SMI/2016/WindowsSettings";

constexpr std::string_view kLevelNames[] = {"asInvoker", "highestAvailable",
                                            "requireAdministrator"};
constexpr std::string_view kDpiNames[] = {"false", "true", "per-monitor-v2"};

[[noreturn]] void fail(const std::string& why) {
    throw PackError("the application manifest " + why);
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view nameOf(const Node* n) { return {n->name(), n->name_size()}; }
std::string_view nameOf(const Attribute* a) { return {a->name(), a->name_size()}; }
std::string_view valueOf(const Attribute* a) { return {a->value(), a->value_size()}; }

std::string_view prefixOf(std::string_view name) {
    const size_t colon = name.find(':');
    return colon == std::string_view::npos ? std::string_view() : name.substr(0, colon);
}

std::string_view localOf(std::string_view name) {
    const size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// An element to add, written out by render().
struct NewElement {
    std::string name;
    std::string attributes;  // with their leading blank
    std::string text;
    std::vector<NewElement> children;
};

// Indented one level per step below `indent`, or on one line when the
// surrounding markup is on one line (`indent` empty and not pretty).
std::string render(const NewElement& e, const std::string& indent, bool pretty) {
    std::string out = (pretty ? indent : "") + "<" + e.name + e.attributes;
    if (e.children.empty())
        return out + (e.text.empty() ? "/>" : ">" + e.text + "</" + e.name + ">");
    out += ">";
    for (const NewElement& c : e.children)
        out += (pretty ? "\n" : "") + render(c, indent + "  ", pretty);
    return out + (pretty ? "\n" + indent : "") + "</" + e.name + ">";
}

struct Edit {
    size_t at = 0;
    size_t erase = 0;
    std::string insert;
};

// How often `c` stands in `text`, as the C library finds it: a long text is
// counted in as many steps as it holds `c`.
size_t countOf(std::string_view text, char c) {
    size_t n = 0;
    const char* const end = text.data() + text.size();
    for (const char* p = text.data(); (p = static_cast<const char*>(std::memchr(p, c, size_t(end - p)))); ++p)
        ++n;
    return n;
}

class Manifest {
public:
    explicit Manifest(std::string_view text) : text_(text) {
        if (text.size() > kLargestManifest)
            fail("is larger than 1 MiB");
        if (text.find('\0') != std::string_view::npos)
            fail("holds a NUL byte; it is no XML text");
        if (countOf(text, '<') > kMostTags)
            fail("holds more than " + std::to_string(kMostTags) + " tags");
        text_.push_back('\0');
        try {
            doc_.parse<kParseFlags>(text_.data());
        } catch (const rapidxml::parse_error& e) {
            const size_t at = size_t(e.where<char>() - text_.data());
            fail("is not valid XML: line " + std::to_string(lineAt(at)) + ": " + e.what());
        }
        for (Node* n = doc_.first_node(); n; n = n->next_sibling())
            if (n->type() == rapidxml::node_element) {
                if (root_)
                    fail("has more than one root element");
                root_ = n;
            }
        if (!root_)
            fail("has no root element");
        check(root_);
        if (localOf(nameOf(root_)) != "assembly" || namespaceOf(root_) != kAsmV1)
            fail("is not an assembly element of " + std::string(kAsmV1));
    }

    Manifest(const Manifest&) = delete;
    Manifest& operator=(const Manifest&) = delete;

    // The children of `parent` that are elements `local` of one of `spaces`.
    std::vector<Node*> children(Node* parent, std::string_view local,
                                std::initializer_list<std::string_view> spaces) const {
        std::vector<Node*> out;
        for (Node* n = parent->first_node(); n; n = n->next_sibling())
            if (n->type() == rapidxml::node_element && localOf(nameOf(n)) == local &&
                std::find(spaces.begin(), spaces.end(), namespaceOf(n)) != spaces.end())
                out.push_back(n);
        return out;
    }

    // Every element at the end of the path below the root; `deepest`
    // receives the last element found along it when the path breaks off.
    std::vector<Node*> path(std::initializer_list<std::string_view> locals,
                            std::initializer_list<std::string_view> spaces,
                            Node** deepest = nullptr) const {
        std::vector<Node*> level = {root_};
        if (deepest)
            *deepest = root_;
        for (std::string_view local : locals) {
            std::vector<Node*> next;
            for (Node* n : level)
                for (Node* c : children(n, local, spaces))
                    next.push_back(c);
            if (next.empty())
                return {};
            if (deepest)
                *deepest = next.front();
            level = std::move(next);
        }
        return level;
    }

    Node* root() const { return root_; }

    const Attribute* attribute(const Node* n, std::string_view name) const {
        for (const Attribute* a = n->first_attribute(); a; a = a->next_attribute())
            if (nameOf(a) == name)
                return a;
        return nullptr;
    }

    std::string text(const Node* element) const {
        std::string out;
        for (const Node* n = element->first_node(); n; n = n->next_sibling())
            if (n->type() == rapidxml::node_data || n->type() == rapidxml::node_cdata)
                out.append(n->value(), n->value_size());
        const auto first = out.find_first_not_of(" \t\r\n");
        if (first == std::string::npos)
            return {};
        return out.substr(first, out.find_last_not_of(" \t\r\n") - first + 1);
    }

    // Byte offsets into the text.
    size_t offset(const char* p) const { return size_t(p - text_.data()); }

    size_t start(const Node* n) const {
        switch (n->type()) {
        case rapidxml::node_element: return offset(n->name()) - 1;
        case rapidxml::node_data: return offset(n->value());
        case rapidxml::node_cdata: return offset(n->value()) - 9;
        case rapidxml::node_comment: return offset(n->value()) - 4;
        case rapidxml::node_pi: return offset(n->name()) - 2;
        default: unsupported();
        }
    }

    // Where the start tag of `element` ends, and whether it closes itself.
    size_t startTagEnd(const Node* element, bool& selfClosing) const {
        size_t p = offset(element->name()) + element->name_size();
        for (const Attribute* a = element->first_attribute(); a; a = a->next_attribute())
            p = offset(a->value()) + a->value_size() + 1;  // behind the closing quote
        while (isBlank(text_[p]))
            ++p;
        selfClosing = text_[p] == '/';
        return p + (selfClosing ? 2 : 1);
    }

    size_t end(const Node* n) const {
        switch (n->type()) {
        case rapidxml::node_data: return offset(n->value()) + n->value_size();
        case rapidxml::node_cdata:
        case rapidxml::node_comment: return offset(n->value()) + n->value_size() + 3;
        case rapidxml::node_pi: return offset(n->value()) + n->value_size() + 2;
        case rapidxml::node_element: {
            bool selfClosing = false;
            const size_t tagEnd = startTagEnd(n, selfClosing);
            if (selfClosing)
                return tagEnd;
            const size_t close = closingTag(n);
            return text_.find('>', close) + 1;
        }
        default: unsupported();
        }
    }

    // Where the closing tag of an element that does not close itself begins.
    size_t closingTag(const Node* element) const {
        bool selfClosing = false;
        // (last_node() is only defined when there is a first one.)
        size_t p = element->first_node() ? end(element->last_node())
                                         : startTagEnd(element, selfClosing);
        while (isBlank(text_[p]))
            ++p;
        if (text_.compare(p, 2, "</") != 0)
            unsupported();
        return p;
    }

    // The blanks in front of `at` when only blanks precede it on its line.
    std::string lineIndent(size_t at) const {
        size_t p = at;
        while (p > 0 && (text_[p - 1] == ' ' || text_[p - 1] == '\t'))
            --p;
        if (p > 0 && text_[p - 1] != '\n')
            return {};
        return text_.substr(p, at - p);
    }

    bool startsLine(size_t at) const {
        size_t p = at;
        while (p > 0 && (text_[p - 1] == ' ' || text_[p - 1] == '\t'))
            --p;
        return p == 0 || text_[p - 1] == '\n';
    }

    // Adds `child` as the last child of `parent`, in the layout around it.
    void appendChild(Node* parent, const NewElement& child, std::vector<Edit>& edits) const {
        const std::string indent = lineIndent(start(parent));
        const bool pretty = startsLine(start(parent));
        bool selfClosing = false;
        const size_t tagEnd = startTagEnd(parent, selfClosing);
        if (selfClosing) {
            const std::string inner = pretty ? "\n" + render(child, indent + "  ", true) + "\n" + indent
                                             : render(child, "", false);
            edits.push_back({tagEnd - 2, 2, ">" + inner + "</" + std::string(nameOf(parent)) + ">"});
            return;
        }
        const size_t close = closingTag(parent);
        if (pretty && startsLine(close)) {
            size_t lineStart = close;
            while (lineStart > 0 && (text_[lineStart - 1] == ' ' || text_[lineStart - 1] == '\t'))
                --lineStart;
            edits.push_back({lineStart, 0, render(child, indent + "  ", true) + "\n"});
        } else {
            edits.push_back({close, 0, render(child, "", false)});
        }
    }

    // Removes `element` with the blanks and the line break in front of it
    // when it stands on a line of its own.
    Edit removal(const Node* element) const {
        size_t from = start(element);
        if (startsLine(from)) {
            while (from > 0 && (text_[from - 1] == ' ' || text_[from - 1] == '\t'))
                --from;
            if (from > 0 && text_[from - 1] == '\n')
                --from;
            if (from > 0 && text_[from - 1] == '\r')
                --from;
        }
        return {from, end(element) - from, {}};
    }

    // Applied from the end of the text backwards; insertions at one place
    // come out in the order they were made.
    std::string apply(const std::vector<Edit>& edits) const {
        std::vector<size_t> order(edits.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            return edits[a].at != edits[b].at ? edits[a].at > edits[b].at : a > b;
        });
        std::string out = text_.substr(0, text_.size() - 1);
        for (size_t i : order)
            out.replace(edits[i].at, edits[i].erase, edits[i].insert);
        return out;
    }

    // The namespace of an element's name, from the declarations in scope.
    std::string_view namespaceOf(const Node* element) const {
        const std::string_view prefix = prefixOf(nameOf(element));
        const std::string wanted = prefix.empty() ? "xmlns" : "xmlns:" + std::string(prefix);
        for (const Node* n = element; n && n->type() == rapidxml::node_element; n = n->parent())
            if (const Attribute* a = attribute(n, wanted))
                return valueOf(a);
        return {};
    }

private:
    [[noreturn]] static void unsupported() {
        fail("holds markup the packer cannot place its changes around");
    }

    size_t lineAt(size_t at) const {
        return countOf(std::string_view(text_).substr(0, std::min(at, text_.size())), '\n') + 1;
    }

    // Every prefix declared, no attribute twice (what the parser lets pass).
    void check(const Node* element) const {
        std::set<std::string_view> names;
        for (const Attribute* a = element->first_attribute(); a; a = a->next_attribute())
            if (!names.insert(nameOf(a)).second)
                fail("is not valid XML: line " + std::to_string(lineAt(offset(a->name()))) +
                     ": attribute " + std::string(nameOf(a)) + " is given twice");
        const std::string_view prefix = prefixOf(nameOf(element));
        if (!prefix.empty() && prefix != "xml" && namespaceOf(element).empty())
            fail("is not valid XML: line " + std::to_string(lineAt(offset(element->name()))) +
                 ": the prefix " + std::string(prefix) + " is not declared");
        for (const Node* n = element->first_node(); n; n = n->next_sibling())
            if (n->type() == rapidxml::node_element)
                check(n);
    }

    std::string text_;  // NUL-terminated for the parser
    rapidxml::xml_document<char> doc_;
    Node* root_ = nullptr;
};

// An element named like `sibling` (same prefix), so that it lands in the
// same namespace.
std::string like(const Node* sibling, std::string_view local) {
    const std::string_view prefix = prefixOf(nameOf(sibling));
    return prefix.empty() ? std::string(local) : std::string(prefix) + ":" + std::string(local);
}

std::vector<NewElement> dpiElements(DpiAwareness dpi) {
    const std::string aware = " xmlns=\"" + std::string(kSettings2005) + "\"";
    switch (dpi) {
    case DpiAwareness::unaware: return {{"dpiAware", aware, "false", {}}};
    case DpiAwareness::aware: return {{"dpiAware", aware, "true", {}}};
    case DpiAwareness::perMonitorV2:
        return {{"dpiAware", aware, "true/pm", {}},
                {"dpiAwareness", " xmlns=\"" + std::string(kSettings2016) + "\"",
                 "PerMonitorV2, PerMonitor", {}}};
    }
    return {};
}

void setLevel(const Manifest& m, ExecutionLevel level, std::vector<Edit>& edits) {
    const std::string name(executionLevelName(level));
    const auto spaces = {kAsmV2, kAsmV3};
    Node* deepest = nullptr;
    const std::vector<Node*> found =
        m.path({"trustInfo", "security", "requestedPrivileges", "requestedExecutionLevel"}, spaces,
               &deepest);
    for (Node* n : found) {
        if (const Attribute* a = m.attribute(n, "level"))
            edits.push_back({m.offset(a->value()), a->value_size(), name});
        else
            edits.push_back({m.offset(n->name()) + n->name_size(), 0, " level=\"" + name + "\""});
    }
    if (!found.empty())
        return;
    NewElement element{"", " level=\"" + name + "\" uiAccess=\"false\"", "", {}};
    const std::string_view local = localOf(nameOf(deepest));
    if (deepest == m.root()) {
        element.name = "requestedExecutionLevel";
        m.appendChild(deepest, {"trustInfo", " xmlns=\"" + std::string(kAsmV3) + "\"", "",
                                {{"security", "", "", {{"requestedPrivileges", "", "", {element}}}}}},
                      edits);
    } else if (local == "trustInfo") {
        element.name = like(deepest, "requestedExecutionLevel");
        m.appendChild(deepest,
                      {like(deepest, "security"), "", "",
                       {{like(deepest, "requestedPrivileges"), "", "", {element}}}},
                      edits);
    } else if (local == "security") {
        element.name = like(deepest, "requestedExecutionLevel");
        m.appendChild(deepest, {like(deepest, "requestedPrivileges"), "", "", {element}}, edits);
    } else {
        element.name = like(deepest, "requestedExecutionLevel");
        m.appendChild(deepest, element, edits);
    }
}

void setDpi(const Manifest& m, DpiAwareness dpi, std::vector<Edit>& edits) {
    Node* deepest = nullptr;
    const std::vector<Node*> settings =
        m.path({"application", "windowsSettings"}, {kAsmV3}, &deepest);
    // One setting, not two: every earlier one goes, whatever its namespace.
    for (Node* s : settings)
        for (Node* n = s->first_node(); n; n = n->next_sibling())
            if (n->type() == rapidxml::node_element &&
                (localOf(nameOf(n)) == "dpiAware" || localOf(nameOf(n)) == "dpiAwareness"))
                edits.push_back(m.removal(n));
    const std::vector<NewElement> elements = dpiElements(dpi);
    if (!settings.empty()) {
        // Behind the removals, which end before the closing tag.
        for (const NewElement& e : elements)
            m.appendChild(settings.front(), e, edits);
        return;
    }
    if (deepest == m.root())
        m.appendChild(deepest, {"application", " xmlns=\"" + std::string(kAsmV3) + "\"", "",
                                {{"windowsSettings", "", "", elements}}},
                      edits);
    else
        m.appendChild(deepest, {like(deepest, "windowsSettings"), "", "", elements}, edits);
}

}  // namespace

std::optional<ExecutionLevel> executionLevelByName(std::string_view name) {
    for (size_t i = 0; i < std::size(kLevelNames); ++i)
        if (kLevelNames[i] == name)
            return ExecutionLevel(i);
    return std::nullopt;
}

std::optional<DpiAwareness> dpiAwarenessByName(std::string_view name) {
    for (size_t i = 0; i < std::size(kDpiNames); ++i)
        if (kDpiNames[i] == name)
            return DpiAwareness(i);
    return std::nullopt;
}

std::string_view executionLevelName(ExecutionLevel level) { return kLevelNames[size_t(level)]; }
std::string_view dpiAwarenessName(DpiAwareness dpi) { return kDpiNames[size_t(dpi)]; }

std::string rewriteManifest(std::string_view manifest, std::optional<ExecutionLevel> level,
                            std::optional<DpiAwareness> dpi) {
    const Manifest m(manifest);
    std::vector<Edit> edits;
    if (level)
        setLevel(m, *level, edits);
    if (dpi)
        setDpi(m, *dpi, edits);
    return m.apply(edits);
}

std::string manifestExecutionLevel(std::string_view manifest) {
    try {
        const Manifest m(manifest);
        for (Node* n : m.path({"trustInfo", "security", "requestedPrivileges",
                               "requestedExecutionLevel"},
                              {kAsmV2, kAsmV3}))
            if (const Attribute* a = m.attribute(n, "level"))
                return std::string(valueOf(a));
    } catch (const PackError&) {
    }
    return {};
}

std::string manifestDpiSetting(std::string_view manifest) {
    try {
        const Manifest m(manifest);
        std::string aware, awareness;
        for (Node* s : m.path({"application", "windowsSettings"}, {kAsmV3})) {
            for (Node* n : m.children(s, "dpiAwareness", {kSettings2016}))
                awareness = m.text(n);
            for (Node* n : m.children(s, "dpiAware", {kSettings2005}))
                aware = m.text(n);
        }
        if (awareness.starts_with("PerMonitorV2"))
            return "per-monitor-v2";
        if (aware == "true" || aware == "false")
            return aware;
        if (!aware.empty() || !awareness.empty())
            return "other: " + (awareness.empty() ? aware : awareness);
    } catch (const PackError&) {
    }
    return {};
}

}  // namespace kvopack
