#pragma once
// Qt's own texts (the buttons of question boxes, the line-edit menus, the
// file and colour dialogs) in the interface language: Qt's Russian
// translation is installed while the interface is Russian and removed for
// English.
namespace window {

// Returns false when Russian was asked for but Qt's translation file could
// not be loaded (the package with Qt's translations is missing).
bool UseQtTranslations(bool russian);

}  // namespace window
