#include "window/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace window {

bool UseQtTranslations(bool russian) {
  static QTranslator* translator = nullptr;
  if (!translator) translator = new QTranslator(QCoreApplication::instance());
  if (!russian) {
    QCoreApplication::removeTranslator(translator);
    return true;
  }
  if (translator->isEmpty() &&
      !translator->load("qtbase_ru", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    return false;
  // Installing it again sends the change event that retitles Qt's dialogs.
  QCoreApplication::removeTranslator(translator);
  return QCoreApplication::installTranslator(translator);
}

}  // namespace window
