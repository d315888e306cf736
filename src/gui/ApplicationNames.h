#pragma once
// The names the program gives itself before its first window.

namespace rw {

// The organisation and application names under which the settings are stored, and the desktop
// entry the windows belong to (its icon and name in task bars). No display name is set: Qt
// appends one to every window title, and each window's title is its own caption.
void SetApplicationNames();

}  // namespace rw
