#pragma once

class QWidget;

namespace qb {

class Dialogs;

// Lets the user open the picture viewer on what the preview boxes show: a
// double-click on Image2 or Image3, their context menu's "查看原图", or F3 on
// the entry and search pages. On the search page PageDown and PageUp in the
// viewer select the next and previous hit, as a click on its line would,
// and show its picture. The boxes, the list and the pages are found in
// `mainWindow` by name; nothing they do changes.
void attachPictureViewer(QWidget& mainWindow, Dialogs& dialogs);

} // namespace qb
