#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"

// The built-in file dialog: asynchronous requests that fill its record,
// the acceptance of a chosen name, and the path helpers used everywhere.
namespace FileIO {

struct Filter {
    std::string name;
    std::vector<std::string> extensions;  // lower case, no dot; empty matches every file
};

// Shown alone when an open asks for no filter, and last in every save's list.
inline const Filter allFiles{"All files", {}};

struct Dialog {
    bool open = false;
    bool save = false;
    bool openPending = false;
    std::string title;
    std::vector<Filter> filters;
    int filterIndex = 0;
    std::string dir;
    char name[512] = {};
    std::string defaultExt;
    std::function<void(const std::string& name, std::vector<uint8_t>& bytes)> onOpen;
    std::function<void(const std::string& path)> onPath;
    // The chosen file opened for reading a piece at a time, by its name.
    std::function<void(const std::string& name, std::unique_ptr<Platform::FileReading> file)> onReading;
    bool chooseDir = false;
    std::function<std::vector<uint8_t>(const std::string& path)> producer;
    std::function<void(const std::string& name)> onSaved;
    // Called when the user cancels the request (Cancel, Escape, the close box).
    std::function<void()> onCancel;
    std::string error;
    bool overwriteArmed = false;
    // The one path the overwrite warning was given for; any other path asks again.
    std::string armedPath;
    // Kept from one request to the next.
    std::string lastDir;  // where the last accepted request ended
    unsigned serial = 0;  // counts requests, so the window can tell that a callback started a new one
    std::string refusal;  // set by a producer that cannot make its bytes
};

// One line of the listing.
struct Entry {
    std::string name;
    bool isDir = false;
};

void open(Dialog& d, const std::string& title, const std::vector<Filter>& filters,
          std::function<void(const std::string& name, std::vector<uint8_t>& bytes)> onOpen);
// As open, but the callback reads the file itself, a piece at a time; the same files are refused.
void openReading(Dialog& d, const std::string& title, const std::vector<Filter>& filters,
                 std::function<void(const std::string& name, std::unique_ptr<Platform::FileReading> file)> onReading);
void openPath(Dialog& d, const std::string& title, const std::vector<Filter>& filters,
              std::function<void(const std::string& path)> onPath);
void chooseDirectory(Dialog& d, const std::string& title, std::function<void(const std::string& path)> onPath);
void saveWith(Dialog& d, const std::string& title, const std::string& defaultName,
              std::function<std::vector<uint8_t>(const std::string& path)> producer,
              std::function<void(const std::string& name)> onSaved);
void save(Dialog& d, const std::string& title, const std::string& defaultName, std::vector<uint8_t> bytes,
          std::function<void(const std::string& name)> onSaved);

std::string startDir(const Dialog& d);

std::string extension(const std::string& path);
std::string baseName(const std::string& path);

// The dialog's acceptance (its window is drawn by the GUI).
void accept(Dialog& d);
// Called by a producer that cannot make its bytes: nothing is written and the
// dialog stays open showing the text.
void refuseSave(Dialog& d, const std::string& error);
// "Use this directory" of the choose-directory request.
void useThisDirectory(Dialog& d);


// The listing's order of names: byte by byte after lower-casing ASCII letters, bytes
// unsigned (names in UTF-8 or any 8-bit encoding come after the plain ASCII ones);
// a name that begins another comes first.
bool nameBefore(const std::string& a, const std::string& b);

// Directories first, then files of the filter, each group in nameBefore order.
std::vector<Entry> list(const std::string& dir, const Filter& filter);

// The listing as last read: a large folder costs too much to read every frame.
struct ListingCache {
    std::string dir;
    std::vector<std::string> extensions;
    unsigned serial = 0;
    std::filesystem::file_time_type modified{};  // the folder's, when read
    bool racy = true;  // changed so near the read that a later change may keep the same time
    double readAt = 0;
    std::vector<Entry> entries;
    int reads = 0;
};
// The listing of dir, read again only when the folder, the filter or the request
// (serial) changed; now is the caller's clock in seconds.
const std::vector<Entry>& cachedList(ListingCache& cache, const std::string& dir, const Filter& filter,
                                     unsigned serial, double now);

// Moves of the dialog; each drops a pending overwrite warning.
void goUp(Dialog& d);
void goHome(Dialog& d);
void goDrive(Dialog& d, char letter);
void enterDir(Dialog& d, const std::string& name);
void pickFile(Dialog& d, const std::string& name);
void nameEdited(Dialog& d);
// Ends an open request without acceptance; its onCancel runs after the dialog has closed.
void cancel(Dialog& d);
// Drive letters present ("C:"...); empty where the host has none.
std::vector<std::string> drives();
std::string rootName(const std::string& dir);

}  // namespace FileIO
