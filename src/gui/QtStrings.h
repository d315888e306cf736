#pragma once
// Conversions between the program's byte strings and the toolkit's strings: file names go
// through the locale's file-name encoding, texts are UTF-8.
#include <QFile>
#include <QString>
#include <string>

namespace rw {

inline QString PathToQ(const std::string& Path) {
  return QFile::decodeName(QByteArray::fromStdString(Path));
}
inline std::string PathFromQ(const QString& Path) { return QFile::encodeName(Path).toStdString(); }
inline QString TextToQ(const std::string& Text) { return QString::fromStdString(Text); }
inline std::string TextFromQ(const QString& Text) { return Text.toStdString(); }

}  // namespace rw
