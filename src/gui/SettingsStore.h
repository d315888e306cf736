#pragma once
// Per-user settings: the window placement and the last-used folders. Every routine opens its own
// access to the store for the one call and closes it before returning, also on error.
//
// A key such as "\Software\Kestrova\reelwright\forms\frmMain" names the settings of organisation
// "Kestrova", application "reelwright" (the platform's native store), group "forms/frmMain".
#include <memory>
#include <string>

#include <QRect>

class QSettings;
class QWidget;

namespace rw {

enum class TRegRoot { CurrentUser };

// Opens Key under Root, positioned on its group. Raises "The settings file %s is not a regular
// file" when the store's file is a named pipe, a device or a folder: reading it could block.
// A file larger than any settings of ours is neither read nor written: the first access
// raises "The settings file %s is larger than any settings of this program (%d bytes): it is
// neither read nor written", and every later one gets nullptr, so it is reported once; the
// routines below then read nothing and write nothing.
std::unique_ptr<QSettings> OpenRegKey(TRegRoot Root, const std::string& Key);

// The string value Name, or the empty string when it does not exist. Raises
// "Invalid data type for '%s'" when the value is not a string, and "The value of '%s' is
// longer than any folder name" when it is longer than the longest path the system takes.
std::string ReadRegString(TRegRoot Root, const std::string& Key, const std::string& Name);
// Stores Value as the string value Name. Raises "Failed to set data for '%s'" when the store
// refuses the write.
void WriteRegString(TRegRoot Root, const std::string& Key, const std::string& Name,
                    const std::string& Value);

// Restores "Top" and "Left" and, unless PositionOnly, "Width", "Height" and "WindowState"
// (0 normal, 1 maximized, anything else ignored); each only when it exists. Each value is read
// on its own: one of the wrong type is skipped, the others apply, and the problems are raised
// together at the end, one per line. The bounds are clamped to the screens (ClampToScreens).
void LoadFormPlacement(TRegRoot Root, const std::string& Key, QWidget& Form, bool PositionOnly);
// A window's bounds moved and cut to fit the screens: no larger than the available area of the
// screen that shows most of it (the primary one when none does), at least 160 x 120, its top
// edge on that screen and at least 100 pixels of its width on it.
QRect ClampToScreens(long long Left, long long Top, long long Width, long long Height);

// Stores the bounds and "WindowState" 0 of a normal window, only "WindowState" 1 of a maximized
// one, nothing of a minimized one.
void SaveFormPlacement(TRegRoot Root, const std::string& Key, QWidget& Form);

}  // namespace rw
