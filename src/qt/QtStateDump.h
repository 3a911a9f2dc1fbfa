#pragma once

class QString;

namespace tren::qt {

class QtForm;

// Writes what the window shows (the path box, the size box, the list, whether a
// handler runs) to the file path, anew each time it changes, so that a test
// driving the window through the display can read it without looking at pixels.
// One "key=value" a line; the file is replaced whole, never seen half-written.
void DumpStateOnChange(QtForm& window, const QString& path);

} // namespace tren::qt
