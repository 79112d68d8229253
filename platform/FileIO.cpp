#include "platform/FileIO.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "platform/Platform.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace FileIO {

namespace {

Dialog g_dlg;
std::string g_lastDir;
unsigned g_serial = 0;
std::string g_refusal;

char lower(char c) { return char(std::tolower(static_cast<unsigned char>(c))); }

bool isSep(char c) { return c == '/' || c == '\\'; }

void setName(const std::string& text) {
    std::memset(g_dlg.name, 0, sizeof g_dlg.name);
    std::strncpy(g_dlg.name, text.c_str(), sizeof g_dlg.name - 1);
}

void disarm() {
    g_dlg.overwriteArmed = false;
    g_dlg.armedPath.clear();
}

void setDir(const std::string& dir) {
    g_dlg.dir = dir;
    disarm();
}

bool isAbsoluteName(const std::string& n) {
    if (n.size() >= 3 && std::isalpha(static_cast<unsigned char>(n[0])) && n[1] == ':' && isSep(n[2])) return true;
    if (n.size() >= 2 && isSep(n[0]) && isSep(n[1])) return true;
    return false;
}

std::string parentOf(const std::string& path) { return fs::path(path).parent_path().string(); }

// The file name of a path with its extension made ext; a leading dot is part of the name.
std::string forceExtension(const std::string& path, const std::string& ext) {
    size_t sep = path.find_last_of("/\\");
    size_t nameStart = sep == std::string::npos ? 0 : sep + 1;
    size_t dot = path.find_last_of('.');
    std::string stem = path;
    if (dot != std::string::npos && dot > nameStart) stem = path.substr(0, dot);
    return stem + "." + ext;
}

// Closes the dialog before its callback runs, so the callback may start a new request.
void finish(const std::string& lastDir) {
    g_lastDir = lastDir;
    g_dlg.open = false;
}

// A new request replaces whatever the dialog held.
void begin(const std::string& title) {
    g_dlg = Dialog{};
    ++g_serial;
    g_dlg.open = true;
    g_dlg.openPending = true;
    g_dlg.title = title;
    g_dlg.dir = startDir();
}

}  // namespace

Dialog& dialog() { return g_dlg; }

unsigned requestSerial() { return g_serial; }

void open(const std::string& title, const std::vector<Filter>& filters,
          std::function<void(const std::string& name, std::vector<uint8_t>& bytes)> onOpen) {
    begin(title);
    g_dlg.filters = filters;
    if (g_dlg.filters.empty()) g_dlg.filters.push_back({"All files", {}});
    g_dlg.onOpen = std::move(onOpen);
}

void openPath(const std::string& title, const std::vector<Filter>& filters,
              std::function<void(const std::string& path)> onPath) {
    open(title, filters, nullptr);
    g_dlg.onPath = std::move(onPath);
}

void chooseDirectory(const std::string& title, std::function<void(const std::string& path)> onPath) {
    open(title, {Filter{"Directories", {std::string(1, '\x01')}}}, nullptr);
    g_dlg.chooseDir = true;
    g_dlg.onPath = std::move(onPath);
}

void saveWith(const std::string& title, const std::string& defaultName,
              std::function<std::vector<uint8_t>(const std::string& path)> producer,
              std::function<void(const std::string& name)> onSaved) {
    begin(title);
    g_dlg.save = true;
    g_dlg.defaultExt = extension(defaultName);
    if (!g_dlg.defaultExt.empty()) g_dlg.filters.push_back({"*." + g_dlg.defaultExt, {g_dlg.defaultExt}});
    g_dlg.filters.push_back({"All files", {}});
    setName(defaultName);
    g_dlg.producer = std::move(producer);
    g_dlg.onSaved = std::move(onSaved);
}

void save(const std::string& title, const std::string& defaultName, std::vector<uint8_t> bytes,
          std::function<void(const std::string& name)> onSaved) {
    auto held = std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
    saveWith(
        title, defaultName, [held](const std::string&) { return *held; }, std::move(onSaved));
}

std::string startDir() {
    if (!g_lastDir.empty()) return g_lastDir;
    std::error_code ec;
    fs::path cwd = fs::current_path(ec);
    if (ec || cwd.empty()) return "/";
    return cwd.string();
}


std::string extension(const std::string& path) {
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos) return "";
    size_t sep = path.find_last_of("/\\");
    if (sep != std::string::npos && dot < sep) return "";
    return lowerCase(path.substr(dot + 1));
}

std::string lowerCase(std::string text) {
    for (char& c : text) c = lower(c);
    return text;
}

std::string baseName(const std::string& path) {
    size_t sep = path.find_last_of("/\\");
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::vector<Entry> list(const std::string& dir, const Filter& filter) {
    std::vector<Entry> out;
    std::error_code ec;
    fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec);
    if (ec) return out;
    for (fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) break;
        std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') continue;
        std::error_code sec;
        if (it->is_directory(sec)) {  // follows links
            out.push_back({name, true});
        } else if (it->exists(sec)) {
            if (filter.extensions.empty() ||
                std::find(filter.extensions.begin(), filter.extensions.end(), extension(name)) !=
                    filter.extensions.end())
                out.push_back({name, false});
        }
        if (ec) break;
    }
    std::sort(out.begin(), out.end(), [](const Entry& a, const Entry& b) {
        if (a.isDir != b.isDir) return a.isDir;
        return std::lexicographical_compare(a.name.begin(), a.name.end(), b.name.begin(), b.name.end(),
                                            [](char x, char y) { return lower(x) < lower(y); });
    });
    return out;
}

void goUp() {
    fs::path p(g_dlg.dir);
    if (p.has_relative_path()) {
        // A trailing separator leaves an empty last component; drop it first.
        if (!p.has_filename()) p = p.parent_path();
        setDir(p.parent_path().string());
    }
}

void goHome() {
    const char* home = std::getenv("USERPROFILE");
    if (!home || !*home) home = std::getenv("HOME");
    if (home && *home) setDir(home);
}

void goDrive(char letter) { setDir(std::string(1, letter) + ":\\"); }

void enterDir(const std::string& name) { setDir((fs::path(g_dlg.dir) / name).string()); }

void pickFile(const std::string& name) {
    setName(name);
    disarm();
}

void nameEdited() { disarm(); }

void cancel() { g_dlg.open = false; }

std::vector<std::string> drives() {
    std::vector<std::string> out;
#ifdef _WIN32
    DWORD mask = GetLogicalDrives();
    for (int n = 0; n < 26; ++n)
        if (mask & (1u << n)) out.push_back(std::string(1, char('A' + n)) + ":");
#endif
    return out;
}

std::string rootName(const std::string& dir) {
    fs::path p(dir);
    std::string root = p.root_name().string();
    return root.empty() ? p.root_directory().string() : root;
}

void refuseSave(const std::string& error) { g_refusal = error.empty() ? "Couldn't open file for writing!" : error; }

void useThisDirectory() {
    std::string dir = g_dlg.dir;
    auto cb = g_dlg.onPath;
    finish(dir);
    if (cb) cb(dir);
}

void accept() {
    std::string name = g_dlg.name;
    if (name.empty()) return;
    std::string full = isAbsoluteName(name) ? name : (fs::path(g_dlg.dir) / name).string();

    std::error_code ec;
    if (fs::is_directory(full, ec)) {
        fs::path canon = fs::weakly_canonical(full, ec);
        setDir(ec ? full : canon.string());
        setName("");
        return;
    }

    if (g_dlg.onPath) {
        if (!fs::exists(full, ec)) {
            g_dlg.error = "File not found";
            return;
        }
        auto cb = g_dlg.onPath;
        finish(parentOf(full));
        cb(full);
        return;
    }

    if (!g_dlg.save) {
        std::vector<uint8_t> bytes;
        if (!Platform::readFile(full, bytes)) {
            g_dlg.error = "Couldn't open file!";
            return;
        }
        auto cb = g_dlg.onOpen;
        finish(parentOf(full));
        if (cb) cb(baseName(full), bytes);
        return;
    }

    if (!g_dlg.defaultExt.empty() && extension(full) != g_dlg.defaultExt) full = forceExtension(full, g_dlg.defaultExt);
    bool exists = fs::exists(fs::symlink_status(full, ec));
    if (exists && !(g_dlg.overwriteArmed && g_dlg.armedPath == full)) {
        g_dlg.overwriteArmed = true;
        g_dlg.armedPath = full;
        g_dlg.error = baseName(full) + " exists. Press Save again to overwrite.";
        return;
    }
    if (!g_dlg.producer || fs::is_directory(full, ec)) {
        g_dlg.error = "Couldn't open file for writing!";
        return;
    }
    g_refusal.clear();
    std::vector<uint8_t> bytes = g_dlg.producer(full);
    if (!g_refusal.empty()) {
        g_dlg.error = g_refusal;
        g_refusal.clear();
        return;
    }
    std::string why;
    if (!Platform::writeFile(full, bytes, &why)) {
        g_dlg.error = why.empty() ? "Couldn't open file for writing!" : why;
        return;
    }
    auto cb = g_dlg.onSaved;
    finish(parentOf(full));
    if (cb) cb(baseName(full));
}

}  // namespace FileIO
