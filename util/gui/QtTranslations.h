#pragma once

class QCoreApplication;

namespace qb {

// Makes what Qt draws by itself (the buttons of message boxes, the file,
// print and progress dialogs, the edit fields' context menus) speak
// Simplified Chinese, as the program's own texts do, whatever the system's
// language. Qt's translation comes from its translations folder; without it
// those texts stay English and the program runs all the same. Returns whether
// it was found. Call once, before the first window.
bool installQtTranslations(QCoreApplication& app);

} // namespace qb
