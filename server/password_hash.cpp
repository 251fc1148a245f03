#include "server/password_hash.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

namespace chatd {

std::string HashPassword(const std::string& salt, const std::string& password) {
  QByteArray data = QByteArray::fromStdString(salt + password);
  for (int i = 0; i < 1000; ++i) data = QCryptographicHash::hash(data, QCryptographicHash::Sha256);
  return data.toStdString();
}

std::string NewSalt() {
  std::string salt(16, '\0');
  for (auto& c : salt) c = static_cast<char>(QRandomGenerator::system()->bounded(256));
  return salt;
}

}  // namespace chatd
