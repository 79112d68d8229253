#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct App;
struct Machine;
class DiskDrive;

// What the mount-disk window does with a drive, apart from drawing: loads into
// memory, saves a memory range, the preset ranges and the checks before a copy.
namespace DiskActions {

// Bytes outside 32-126 shown as "?".
std::string printable(const std::string& text);

// The list row index of the drive read into memory as a PRG, or as a picture
// of the format table; each after a whole-memory undo step. Results and
// failures go to the popups.
void loadFile(App& app, DiskDrive& drive, int index);
void loadImage(App& app, DiskDrive& drive, int index, int format);

// Memory [start, end) saved to the drive as a PRG under the upper-cased name.
void saveRange(App& app, DiskDrive& drive, const std::string& name, int start, int end);

// The ranges of the range buttons: 0 bitmap, 1 video matrix, 2 colour memory, 3 character set.
void presetRange(const Machine& m, int which, int& start, int& end);

// The drive whose open image is the file at path, or null: writing a new file
// there would leave that drive writing into a file no longer on disk.
const DiskDrive* mountedAt(App& app, const std::string& path);

// Offers a disk image (a new one, or a copy) in the save dialog; a path that is mounted on a
// drive is refused and the dialog stays open.
void saveImage(App& app, const std::string& title, const std::string& defaultName, std::vector<uint8_t> image,
               std::function<void(const std::string& name)> onSaved);

}  // namespace DiskActions
