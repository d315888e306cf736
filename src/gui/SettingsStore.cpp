#include "gui/SettingsStore.h"

#include <QSettings>
#include <QStringList>
#include <QWidget>
#include <optional>
#include <vector>

#include "platform/Errors.h"

namespace rw {
namespace {

std::vector<std::string> SplitKey(const std::string& Key) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : Key) {
    if (c == '\\' || c == '/') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

QString ToQ(const std::string& S) { return QString::fromStdString(S); }

[[noreturn]] void InvalidType(const std::string& Name) {
  throw Exception("Invalid data type for '" + Name + "'");
}

[[noreturn]] void WriteFailed(const std::string& Name) {
  throw Exception("Failed to set data for '" + Name + "'");
}

void WriteValue(QSettings& S, const std::string& Name, const QVariant& Value) {
  if (!S.isWritable()) WriteFailed(Name);
  S.setValue(ToQ(Name), Value);
  S.sync();
  if (S.status() != QSettings::NoError) WriteFailed(Name);
}

std::optional<int> ReadInteger(QSettings& S, const std::string& Name) {
  QVariant v = S.value(ToQ(Name));
  if (!v.isValid()) return std::nullopt;
  const int type = v.typeId();
  if (type != QMetaType::Int && type != QMetaType::LongLong && type != QMetaType::QString &&
      type != QMetaType::QByteArray)
    InvalidType(Name);
  bool ok = false;
  int value = v.toInt(&ok);
  if (!ok) InvalidType(Name);
  return value;
}

}  // namespace

std::unique_ptr<QSettings> OpenRegKey(TRegRoot /*Root*/, const std::string& Key) {
  // "Software", then the organisation and the application; the rest is the group.
  std::vector<std::string> parts = SplitKey(Key);
  size_t first = (!parts.empty() && QString::fromStdString(parts[0])
                                            .compare("Software", Qt::CaseInsensitive) == 0)
                     ? 1
                     : 0;
  std::string organisation = parts.size() > first ? parts[first] : std::string();
  std::string application = parts.size() > first + 1 ? parts[first + 1] : std::string();
  QStringList group;
  for (size_t i = first + 2; i < parts.size(); ++i) group << ToQ(parts[i]);

  auto settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                              ToQ(organisation), ToQ(application));
  if (!group.isEmpty()) settings->beginGroup(group.join('/'));
  return settings;
}

std::string ReadRegString(TRegRoot Root, const std::string& Key, const std::string& Name) {
  auto s = OpenRegKey(Root, Key);
  QVariant v = s->value(ToQ(Name));
  if (!v.isValid()) return {};
  if (v.typeId() != QMetaType::QString) InvalidType(Name);
  return v.toString().toStdString();
}

void WriteRegString(TRegRoot Root, const std::string& Key, const std::string& Name,
                    const std::string& Value) {
  auto s = OpenRegKey(Root, Key);
  WriteValue(*s, Name, ToQ(Value));
}

void LoadFormPlacement(TRegRoot Root, const std::string& Key, QWidget& Form, bool PositionOnly) {
  auto s = OpenRegKey(Root, Key);
  auto top = ReadInteger(*s, "Top");
  if (top) Form.move(Form.x(), *top);
  auto left = ReadInteger(*s, "Left");
  if (left) Form.move(*left, Form.y());
  if (PositionOnly) return;
  if (auto width = ReadInteger(*s, "Width")) Form.resize(*width, Form.height());
  if (auto height = ReadInteger(*s, "Height")) Form.resize(Form.width(), *height);
  if (auto state = ReadInteger(*s, "WindowState")) {
    if (*state == 0)
      Form.setWindowState(Form.windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized));
    else if (*state == 1)
      Form.setWindowState((Form.windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
  }
}

void SaveFormPlacement(TRegRoot Root, const std::string& Key, QWidget& Form) {
  if (Form.isMinimized()) return;
  auto s = OpenRegKey(Root, Key);
  if (Form.isMaximized()) {
    WriteValue(*s, "WindowState", 1);
    return;
  }
  WriteValue(*s, "Top", Form.y());
  WriteValue(*s, "Left", Form.x());
  WriteValue(*s, "Width", Form.width());
  WriteValue(*s, "Height", Form.height());
  WriteValue(*s, "WindowState", 0);
}

}  // namespace rw
