#pragma once
// Conversions between the program's byte strings and the toolkit's strings: file names go
// through the locale's file-name encoding, texts are UTF-8.
#include <QFile>
#include <QString>
#include <QUrl>
#include <string>

namespace rw {

inline QString PathToQ(const std::string& Path) {
  return QFile::decodeName(QByteArray::fromStdString(Path));
}
inline std::string PathFromQ(const QString& Path) { return QFile::encodeName(Path).toStdString(); }
// A "file:" address's path with its escaped bytes as they are (a name that is not valid UTF-8
// keeps its bytes); empty for an address of no local file.
inline std::string PathFromUrl(const QUrl& Url) {
  if (!Url.isLocalFile()) return {};
  return QByteArray::fromPercentEncoding(Url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}
inline QString TextToQ(const std::string& Text) { return QString::fromStdString(Text); }
inline std::string TextFromQ(const QString& Text) { return Text.toStdString(); }

}  // namespace rw
