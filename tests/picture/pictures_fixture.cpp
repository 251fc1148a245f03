#include "pictures_fixture.h"

#include "picture/pictures.h"
#include "scripted_server.h"

#include <QDir>

namespace testing_picture {

Folder::Folder(const std::string& name) : path(CHAT_BINARY_DIR "/" + name) {
  QDir(QString::fromStdString(path)).removeRecursively();
  QDir().mkpath(QString::fromStdString(path));
}

Folder::~Folder() { QDir(QString::fromStdString(path)).removeRecursively(); }

Pane::Pane(picture::Pictures& registry, int width, int height) : doc(measurer, &registry) {
  doc.AttachView(&view);
  doc.SetViewSize(width, height);
}

}  // namespace testing_picture
