#include "platform/FileIO.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "core/TextCase.h"
#include "platform/Platform.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace FileIO {

namespace {

bool isSep(char c) { return c == '/' || c == '\\'; }

void setName(Dialog& d, const std::string& text) {
    std::memset(d.name, 0, sizeof d.name);
    std::strncpy(d.name, text.c_str(), sizeof d.name - 1);
}

void disarm(Dialog& d) {
    d.overwriteArmed = false;
    d.armedPath.clear();
}

void setDir(Dialog& d, const std::string& dir) {
    d.dir = dir;
    disarm(d);
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
void finish(Dialog& d, const std::string& lastDir) {
    d.lastDir = lastDir;
    d.open = false;
}

// A new request replaces whatever the dialog held.
void begin(Dialog& d, const std::string& title) {
    Dialog fresh;
    fresh.lastDir = std::move(d.lastDir);
    fresh.serial = d.serial + 1;
    d = std::move(fresh);
    d.open = true;
    d.openPending = true;
    d.title = title;
    d.dir = startDir(d);
}

}  // namespace

void open(Dialog& d, const std::string& title, const std::vector<Filter>& filters,
          std::function<void(const std::string& name, std::vector<uint8_t>& bytes)> onOpen) {
    begin(d, title);
    d.filters = filters;
    if (d.filters.empty()) d.filters.push_back(allFiles);
    d.onOpen = std::move(onOpen);
}

void openReading(Dialog& d, const std::string& title, const std::vector<Filter>& filters,
                 std::function<void(const std::string& name, std::unique_ptr<Platform::FileReading> file)> onReading) {
    open(d, title, filters, nullptr);
    d.onReading = std::move(onReading);
}

void openPath(Dialog& d, const std::string& title, const std::vector<Filter>& filters,
              std::function<void(const std::string& path)> onPath) {
    open(d, title, filters, nullptr);
    d.onPath = std::move(onPath);
}

void chooseDirectory(Dialog& d, const std::string& title, std::function<void(const std::string& path)> onPath) {
    open(d, title, {Filter{"Directories", {std::string(1, '\x01')}}}, nullptr);
    d.chooseDir = true;
    d.onPath = std::move(onPath);
}

void saveWith(Dialog& d, const std::string& title, const std::string& defaultName,
              std::function<std::vector<uint8_t>(const std::string& path)> producer,
              std::function<void(const std::string& name)> onSaved) {
    begin(d, title);
    d.save = true;
    d.defaultExt = extension(defaultName);
    if (!d.defaultExt.empty()) d.filters.push_back({"*." + d.defaultExt, {d.defaultExt}});
    d.filters.push_back(allFiles);
    setName(d, defaultName);
    d.producer = std::move(producer);
    d.onSaved = std::move(onSaved);
}

void save(Dialog& d, const std::string& title, const std::string& defaultName, std::vector<uint8_t> bytes,
          std::function<void(const std::string& name)> onSaved) {
    auto held = std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
    saveWith(
        d, title, defaultName, [held](const std::string&) { return *held; }, std::move(onSaved));
}

std::string startDir(const Dialog& d) {
    if (!d.lastDir.empty()) return d.lastDir;
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
    return LowerCase(path.substr(dot + 1));
}

std::string baseName(const std::string& path) {
    size_t sep = path.find_last_of("/\\");
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

bool nameBefore(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(LowerAscii(x)) < static_cast<unsigned char>(LowerAscii(y));
    });
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
                                            [](char x, char y) { return LowerAscii(x) < LowerAscii(y); });
    });
    return out;
}

const std::vector<Entry>& cachedList(ListingCache& c, const std::string& dir, const Filter& filter, unsigned serial,
                                     double now) {
    std::error_code ec;
    const fs::file_time_type modified = fs::last_write_time(dir, ec);
    const bool same = c.reads > 0 && c.dir == dir && c.extensions == filter.extensions && c.serial == serial;
    // Folder times are coarse: one read in the same tick as a change may miss it, so such a
    // listing, and one whose time cannot be read, is checked again about once a second.
    const bool recheck = (c.racy || ec) && (now - c.readAt >= 1.0 || now < c.readAt);
    if (same && (ec || modified == c.modified) && !recheck) return c.entries;
    c.entries = list(dir, filter);
    c.dir = dir;
    c.extensions = filter.extensions;
    c.serial = serial;
    c.modified = modified;
    c.racy = ec || fs::file_time_type::clock::now() - modified < std::chrono::seconds(2);
    c.readAt = now;
    ++c.reads;
    return c.entries;
}

void goUp(Dialog& d) {
    fs::path p(d.dir);
    if (p.has_relative_path()) {
        // A trailing separator leaves an empty last component; drop it first.
        if (!p.has_filename()) p = p.parent_path();
        setDir(d, p.parent_path().string());
    }
}

void goHome(Dialog& d) {
    const char* home = std::getenv("USERPROFILE");
    if (!home || !*home) home = std::getenv("HOME");
    if (home && *home) setDir(d, home);
}

void goDrive(Dialog& d, char letter) { setDir(d, std::string(1, letter) + ":\\"); }

void enterDir(Dialog& d, const std::string& name) { setDir(d, (fs::path(d.dir) / name).string()); }

void pickFile(Dialog& d, const std::string& name) {
    setName(d, name);
    disarm(d);
}

void nameEdited(Dialog& d) { disarm(d); }

void cancel(Dialog& d) {
    if (!d.open) return;
    auto cb = std::move(d.onCancel);
    d.onCancel = nullptr;
    d.open = false;
    if (cb) cb();
}

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

void refuseSave(Dialog& d, const std::string& error) { d.refusal = error.empty() ? "Couldn't open file for writing!" : error; }

void useThisDirectory(Dialog& d) {
    std::string dir = d.dir;
    auto cb = d.onPath;
    finish(d, dir);
    if (cb) cb(dir);
}

void accept(Dialog& d) {
    std::string name = d.name;
    if (name.empty()) return;
    std::string full = isAbsoluteName(name) ? name : (fs::path(d.dir) / name).string();

    std::error_code ec;
    if (fs::is_directory(full, ec)) {
        fs::path canon = fs::weakly_canonical(full, ec);
        setDir(d, ec ? full : canon.string());
        setName(d, "");
        return;
    }

    if (d.onPath) {
        if (!fs::exists(full, ec)) {
            d.error = "File not found";
            return;
        }
        auto cb = d.onPath;
        finish(d, parentOf(full));
        cb(full);
        return;
    }

    if (d.onReading) {
        std::unique_ptr<Platform::FileReading> file = Platform::startFileReading(full);
        if (!file) {
            d.error = "Couldn't open file!";
            return;
        }
        auto cb = d.onReading;
        finish(d, parentOf(full));
        cb(baseName(full), std::move(file));
        return;
    }

    if (!d.save) {
        std::vector<uint8_t> bytes;
        if (!Platform::readFile(full, bytes)) {
            d.error = "Couldn't open file!";
            return;
        }
        auto cb = d.onOpen;
        finish(d, parentOf(full));
        if (cb) cb(baseName(full), bytes);
        return;
    }

    if (!d.defaultExt.empty() && extension(full) != d.defaultExt) full = forceExtension(full, d.defaultExt);
    bool exists = fs::exists(fs::symlink_status(full, ec));
    if (exists && !(d.overwriteArmed && d.armedPath == full)) {
        d.overwriteArmed = true;
        d.armedPath = full;
        d.error = baseName(full) + " exists. Press Save again to overwrite.";
        return;
    }
    if (!d.producer || fs::is_directory(full, ec)) {
        d.error = "Couldn't open file for writing!";
        return;
    }
    d.refusal.clear();
    std::vector<uint8_t> bytes = d.producer(full);
    if (!d.refusal.empty()) {
        d.error = d.refusal;
        d.refusal.clear();
        return;
    }
    std::string why;
    if (!Platform::writeFile(full, bytes, &why)) {
        d.error = why.empty() ? "Couldn't open file for writing!" : why;
        return;
    }
    auto cb = d.onSaved;
    finish(d, parentOf(full));
    if (cb) cb(baseName(full));
}

}  // namespace FileIO
