#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The built-in file dialog: asynchronous requests that fill its one record,
// the acceptance of a chosen name, and the path helpers used everywhere.
namespace FileIO {

struct Filter {
    std::string name;
    std::vector<std::string> extensions;  // lower case, no dot; empty matches every file
};

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
    bool chooseDir = false;
    std::function<std::vector<uint8_t>(const std::string& path)> producer;
    std::function<void(const std::string& name)> onSaved;
    std::string error;
    bool overwriteArmed = false;
    // The one path the overwrite warning was given for; any other path asks again.
    std::string armedPath;
};

// One line of the listing.
struct Entry {
    std::string name;
    bool isDir = false;
};

void open(const std::string& title, const std::vector<Filter>& filters,
          std::function<void(const std::string& name, std::vector<uint8_t>& bytes)> onOpen);
void openPath(const std::string& title, const std::vector<Filter>& filters,
              std::function<void(const std::string& path)> onPath);
void chooseDirectory(const std::string& title, std::function<void(const std::string& path)> onPath);
void saveWith(const std::string& title, const std::string& defaultName,
              std::function<std::vector<uint8_t>(const std::string& path)> producer,
              std::function<void(const std::string& name)> onSaved);
void save(const std::string& title, const std::string& defaultName, std::vector<uint8_t> bytes,
          std::function<void(const std::string& name)> onSaved);

std::string startDir();

std::string extension(const std::string& path);
std::string baseName(const std::string& path);
// Bytes taken as unsigned, so names in any 8-bit encoding are safe.
std::string lowerCase(std::string text);

// The dialog's acceptance (its window is drawn by the GUI).
void accept();
// Called by a producer that cannot make its bytes: nothing is written and the
// dialog stays open showing the text.
void refuseSave(const std::string& error);
// "Use this directory" of the choose-directory request.
void useThisDirectory();

// The one record, for the dialog window; callers make requests instead.
Dialog& dialog();
// Counts requests, so the window can tell that a callback started a new one.
unsigned requestSerial();

// Directories first, then files of the filter, each group sorted case-blind.
std::vector<Entry> list(const std::string& dir, const Filter& filter);

// Moves of the dialog; each drops a pending overwrite warning.
void goUp();
void goHome();
void goDrive(char letter);
void enterDir(const std::string& name);
void pickFile(const std::string& name);
void nameEdited();
void cancel();
// Drive letters present ("C:"...); empty where the host has none.
std::vector<std::string> drives();
std::string rootName(const std::string& dir);

}  // namespace FileIO
