#include "app/LayoutFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <system_error>
#include <vector>

#include "platform/Platform.h"

namespace LayoutFile {

namespace {

// Far more than the program ever writes (some twenty windows, a few dozen nodes); the library's
// reading grows with the square of these counts.
constexpr size_t kMaxWindows = 1000;
constexpr size_t kMaxNodes = 500;
constexpr int kMaxDepth = 64;
constexpr int kMaxCoord = 32767;  // the library keeps positions and sizes in 16 bits
constexpr int kMaxDockOrder = 1000;

const char* skipBlank(const char* s) {
    while (*s == ' ' || *s == '\t') ++s;
    return s;
}

bool inRange(int v, int lo, int hi) { return v >= lo && v <= hi; }

struct Window {
    std::string header;
    std::vector<std::string> lines;
    unsigned dockId = 0;
};

struct Node {
    std::string line;
    unsigned id = 0, parent = 0;
    bool dockSpace = false;
    char axis = 0;  // 'X', 'Y' or none
    bool central = false;
    unsigned root = 0;
    int children = 0, depth = 0;
    int sizeRef[2] = {0, 0};
    unsigned parts[2] = {0, 0};
};

struct Reader {
    std::vector<Window> windows;
    std::map<std::string, size_t> windowByName;
    std::vector<Node> nodes;
    std::map<unsigned, size_t> nodeById;
    std::string fault;

    bool fail(const std::string& why) {
        if (fault.empty()) fault = why;
        return false;
    }

    // The window section's lines, as the library scans them.
    bool windowLine(Window& w, const char* line) {
        int x = 0, y = 0, i = 0;
        unsigned u = 0;
        if (sscanf(line, "Pos=%i,%i", &x, &y) == 2 || sscanf(line, "ViewportPos=%i,%i", &x, &y) == 2) {
            if (!inRange(x, -kMaxCoord, kMaxCoord) || !inRange(y, -kMaxCoord, kMaxCoord)) return fail("a window position out of range");
        } else if (sscanf(line, "Size=%i,%i", &x, &y) == 2) {
            if (!inRange(x, 0, kMaxCoord) || !inRange(y, 0, kMaxCoord)) return fail("a window size out of range");
        } else if (sscanf(line, "ViewportId=0x%08X", &u) == 1 || sscanf(line, "Collapsed=%d", &i) == 1 ||
                   sscanf(line, "IsChild=%d", &i) == 1 || sscanf(line, "LastUsed=%d", &i) == 1) {
        } else if (sscanf(line, "DockId=0x%X,%d", &u, &i) == 2) {
            if (!inRange(i, -1, kMaxDockOrder)) return fail("a tab order out of range");
            w.dockId = u;
        } else if (sscanf(line, "DockId=0x%X", &u) == 1) {
            w.dockId = u;
        } else if (sscanf(line, "ClassId=0x%X", &u) == 1) {
        } else {
            return true;  // the library skips it: so do we
        }
        w.lines.push_back(line);
        return true;
    }

    // A line of the docking section, scanned field by field in the library's fixed order.
    bool dockLine(const char* text) {
        Node n;
        const char* line = skipBlank(text);
        if (strncmp(line, "DockNode", 8) == 0) {
            line = skipBlank(line + 8);
        } else if (strncmp(line, "DockSpace", 9) == 0) {
            line = skipBlank(line + 9);
            n.dockSpace = true;
        } else {
            return true;
        }
        int r = 0, x = 0, y = 0;
        unsigned parentWindow = 0;
        char c = 0;
        if (sscanf(line, "ID=0x%08X%n", &n.id, &r) != 1) return true;
        line += r;
        if (sscanf(line, " Parent=0x%08X%n", &n.parent, &r) == 1) {
            line += r;
            if (n.parent == 0) return true;
        }
        if (sscanf(line, " Window=0x%08X%n", &parentWindow, &r) == 1) {
            line += r;
            if (parentWindow == 0) return true;
            // The window a dock space lies in: the program's one dock space has its own.
            if (n.parent || !n.dockSpace) return fail("a node inside a window");
        }
        if (n.parent == 0) {
            if (sscanf(line, " Pos=%i,%i%n", &x, &y, &r) != 2) return true;
            line += r;
            if (!inRange(x, -kMaxCoord, kMaxCoord) || !inRange(y, -kMaxCoord, kMaxCoord)) return fail("a node position out of range");
            if (sscanf(line, " Size=%i,%i%n", &x, &y, &r) != 2) return true;
            line += r;
            if (!inRange(x, 0, kMaxCoord) || !inRange(y, 0, kMaxCoord)) return fail("a node size out of range");
        } else if (sscanf(line, " SizeRef=%i,%i%n", &x, &y, &r) == 2) {
            line += r;
            if (!inRange(x, 0, kMaxCoord) || !inRange(y, 0, kMaxCoord)) return fail("a node size out of range");
            n.sizeRef[0] = x;
            n.sizeRef[1] = y;
        }
        if (sscanf(line, " Split=%c%n", &c, &r) == 1) {
            line += r;
            n.axis = c == 'X' || c == 'Y' ? c : 0;
        }
        int flag = 0;
        if (sscanf(line, " NoResize=%d%n", &flag, &r) == 1) line += r;
        if (sscanf(line, " CentralNode=%d%n", &flag, &r) == 1) n.central = flag != 0;

        if (n.id == 0) return fail("a node without an id");
        if (nodeById.count(n.id)) return fail("two nodes of one id");
        if (n.parent && n.dockSpace) return fail("a dock space inside a node");
        if (n.parent) {
            // The library finds a parent among the nodes it has already built.
            auto p = nodeById.find(n.parent);
            if (p == nodeById.end()) return fail("a node whose parent is missing");
            Node& parent = nodes[p->second];
            if (parent.children == 2) return fail("a node with more than two parts");
            parent.parts[parent.children++] = n.id;
            n.depth = parent.depth + 1;
            n.root = parent.root;
            if (n.depth > kMaxDepth) return fail("nodes nested too deeply");
        } else if (n.dockSpace && n.id != mainDockSpace) {
            return fail("a dock space the program does not have");
        } else {
            n.root = n.id;
        }
        if (nodes.size() >= kMaxNodes) return fail("too many nodes");
        n.line = text;
        nodeById[n.id] = nodes.size();
        nodes.push_back(std::move(n));
        return true;
    }

    unsigned mainDockSpace = 0;
};

// The library's line splitting: a line ends at "\n" or "\r"; empty lines vanish.
template <typename F>
void eachLine(const std::string& text, F f) {
    size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && (text[at] == '\n' || text[at] == '\r')) ++at;
        size_t end = at;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
        if (!f(text.substr(at, end - at))) return;
        at = end + 1;
    }
}

}  // namespace

Checked check(const std::string& text, unsigned mainDockSpace, const std::string& lockedWindow) {
    Checked out;
    if (text.size() > kMaxSize) {
        out.fault = "larger than the program writes";
        return out;
    }
    if (text.find('\0') != std::string::npos) {
        out.fault = "not text";
        return out;
    }
    Reader rd;
    rd.mainDockSpace = mainDockSpace;
    enum { None, InWindow, InDocking } section = None;
    Window* window = nullptr;
    eachLine(text, [&](const std::string& line) {
        if (line.empty() || line[0] == ';') return true;
        if (line[0] == '[' && line.back() == ']') {
            // "[Type][Name]": the type ends at the first "]", the name starts after the next "[".
            const size_t typeEnd = line.find(']', 1);
            const size_t nameStart = typeEnd + 1 < line.size() - 1 ? line.find('[', typeEnd + 1) : std::string::npos;
            if (typeEnd >= line.size() - 1 || nameStart == std::string::npos || nameStart >= line.size() - 1)
                return true;  // not a header for the library either: the section goes on
            const std::string type = line.substr(1, typeEnd - 1), name = line.substr(nameStart + 1, line.size() - 2 - nameStart);
            section = None;
            if (type == "Window") {
                auto [it, added] = rd.windowByName.try_emplace(name, rd.windows.size());
                if (added) {
                    if (rd.windows.size() >= kMaxWindows) return rd.fail("too many windows");
                    rd.windows.push_back({});
                }
                // A second section of one window replaces the first, as in the library.
                window = &rd.windows[it->second];
                *window = Window{line, {}, 0};
                section = InWindow;
            } else if (type == "Docking" && name == "Data") {
                section = InDocking;
            }
            // Other sections (tables, whose settings the program never keeps) are left out.
            return true;
        }
        if (section == InWindow) return rd.windowLine(*window, line.c_str());
        if (section == InDocking) return rd.dockLine(line.c_str());
        return true;
    });

    // A split node has its two parts and an axis; a node with parts holds no windows. A tree has at
    // most one central node, and it is not split.
    std::map<unsigned, int> centralNodes;
    for (const Node& n : rd.nodes) {
        if (n.central && (n.children || ++centralNodes[n.root] > 1)) rd.fail("a central node split or not alone");
        if (n.children == 1 || (n.children == 2 && !n.axis)) rd.fail("a split node without its two parts and its axis");
        // The parts share the node in the ratio of their sizes along the axis.
        const int axis = n.axis == 'Y';
        if (n.children == 2 && rd.nodes[rd.nodeById[n.parts[0]]].sizeRef[axis] + rd.nodes[rd.nodeById[n.parts[1]]].sizeRef[axis] == 0)
            rd.fail("a split node whose parts have no size");
    }
    unsigned lockedNode = 0;
    for (auto& [name, index] : rd.windowByName) {
        Window& w = rd.windows[index];
        if (!w.dockId) continue;
        // The library's own fallback window cannot be docked.
        if (name == "Debug##Default") rd.fail("the library's own window docked");
        // The library itself leaves a window that did not open in a run docked into a node it has since
        // dropped: such a window floats instead.
        auto n = rd.nodeById.find(w.dockId);
        if (n == rd.nodeById.end() || rd.nodes[n->second].children) {
            w.dockId = 0;
            std::erase_if(w.lines, [](const std::string& l) { return l.rfind("DockId=", 0) == 0; });
        }
        if (name == lockedWindow) lockedNode = w.dockId;
    }
    if (!rd.fault.empty()) {
        out.fault = rd.fault;
        return out;
    }

    out.sound = true;
    for (const auto& [name, index] : rd.windowByName) {
        const Window& w = rd.windows[index];
        // A window tabbed behind the locked one could never be seen: it starts afresh instead.
        if (lockedNode && w.dockId == lockedNode && name != lockedWindow) continue;
        out.text += w.header + "\n";
        for (const std::string& l : w.lines) out.text += l + "\n";
        out.text += "\n";
    }
    if (!rd.nodes.empty()) {
        out.text += "[Docking][Data]\n";
        for (const Node& n : rd.nodes) out.text += n.line + "\n";
        out.text += "\n";
    }
    return out;
}

Loaded load(unsigned mainDockSpace, const std::string& lockedWindow) {
    Loaded out;
    const std::string path = Platform::configDir() + "/" + kName;
    Bytes bytes;
    if (!Platform::readFileHead(path, bytes, kMaxSize + 1)) {
        struct stat st {};
        out.keep = !(::stat(path.c_str(), &st) != 0 && errno == ENOENT);
        return out;
    }
    if (bytes.size() > kMaxSize) {
        out.keep = true;
        out.message = "The window layout file " + path + " is larger than the program writes; the default layout is used and the file is left as it is.";
        return out;
    }
    Checked c = check(std::string(bytes.begin(), bytes.end()), mainDockSpace, lockedWindow);
    if (c.sound) {
        out.text = std::move(c.text);
        return out;
    }
    const std::string kept = Platform::configDir() + "/" + kDamagedName;
    std::error_code ec;
    std::filesystem::rename(path, kept, ec);
    // Unless it is out of the way, the damaged file is not written over either.
    out.keep = bool(ec);
    out.message = "The window layout file " + path + " is damaged (" + c.fault + "); " +
                  (ec ? "it is left as it is" : "it was kept as " + kept) + " and the default layout is used.";
    return out;
}

}  // namespace LayoutFile
