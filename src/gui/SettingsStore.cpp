#include "gui/SettingsStore.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QStringList>
#include <QWidget>
#include <algorithm>
#include <optional>
#include <set>
#include <vector>

#include "platform/Errors.h"
#include "platform/Files.h"

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

// Smallest window a stored placement may give, and how much of it stays on a screen: enough
// of its top to grab it by the title bar.
constexpr int MinFormWidth = 160;
constexpr int MinFormHeight = 120;
constexpr int VisibleEdge = 100;
constexpr int VisibleTop = 50;

// The longest value a setting of ours holds (a folder name: the longest path the system
// takes), and the largest settings file: three such names, escaped as the store writes them
// (up to three characters per byte), and the placement take less than 40 KiB. The store reads
// the whole file at every access and writes it all again at every change, so a larger file
// would cost seconds at every start and exit.
constexpr size_t MaxValueBytes = 4095;
constexpr qint64 MaxSettingsFileBytes = 64 << 10;

// The settings files refused for their size and reported once already.
std::set<std::string>& ReportedFiles() {
  static std::set<std::string> files;
  return files;
}

// The files the native store would read for Organisation and Application (none where the
// store is not a file). Opening a named pipe or a device for reading would block start-up
// or read something that is not settings, so anything but a regular file is refused, and so
// is a file larger than any settings of ours. False when the store may not be used and this
// was reported already.
bool CheckSettingsFiles(const QString& Organisation, const QString& Application) {
#ifndef Q_OS_WIN
  // The store's folder, as the toolkit resolves it, from a name that holds no settings.
  const QString probe =
      QSettings(QSettings::NativeFormat, QSettings::UserScope, "reelwright-settings-probe")
          .fileName();
  const QString folder = QFileInfo(probe).path();
  for (const QString& name : {folder + "/" + Organisation + "/" + Application + ".conf",
                              folder + "/" + Organisation + ".conf"}) {
    const std::string file = QFile::encodeName(name).toStdString();
    if (FileExists(file) && !IsRegularFile(file))
      throw Exception("The settings file " + file + " is not a regular file");
    const qint64 size = QFileInfo(name).size();
    if (size > MaxSettingsFileBytes) {
      if (!ReportedFiles().insert(file).second) return false;
      throw Exception("The settings file " + file +
                      " is larger than any settings of this "
                      "program (" +
                      std::to_string(size) +
                      " bytes): it is neither read nor "
                      "written");
    }
  }
#else
  (void)Organisation;
  (void)Application;
#endif
  return true;
}

// Value clamped into [Low, High]; High wins when High < Low.
long long Bound(long long Value, long long Low, long long High) {
  return std::min(std::max(Value, Low), High);
}

}  // namespace

QRect ClampToScreens(long long Left, long long Top, long long Width, long long Height) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  if (screens.isEmpty())
    return QRect(static_cast<int>(Bound(Left, -100000, 100000)),
                 static_cast<int>(Bound(Top, -100000, 100000)),
                 static_cast<int>(Bound(Width, MinFormWidth, 100000)),
                 static_cast<int>(Bound(Height, MinFormHeight, 100000)));
  // The screen that shows the most of the window, else the primary one.
  QScreen* target = QGuiApplication::primaryScreen();
  long long best = 0;
  for (QScreen* screen : screens) {
    const QRect a = screen->availableGeometry();
    const long long w =
        std::min<long long>(Left + Width, a.x() + a.width()) - std::max<long long>(Left, a.x());
    const long long h =
        std::min<long long>(Top + Height, a.y() + a.height()) - std::max<long long>(Top, a.y());
    if (w > 0 && h > 0 && w * h > best) {
      best = w * h;
      target = screen;
    }
  }
  const QRect a = target->availableGeometry();
  const long long width = Bound(Width, MinFormWidth, a.width());
  const long long height = Bound(Height, MinFormHeight, a.height());
  // Part of the window may hang over the screen's edges, but its title bar stays on it.
  const long long visible = std::min<long long>(VisibleEdge, width);
  const long long left = Bound(Left, a.x() - width + visible, a.x() + a.width() - visible);
  const long long top = Bound(Top, a.y(), a.y() + a.height() - VisibleTop);
  return QRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(width),
               static_cast<int>(height));
}

std::unique_ptr<QSettings> OpenRegKey(TRegRoot /*Root*/, const std::string& Key) {
  // "Software", then the organisation and the application; the rest is the group.
  std::vector<std::string> parts = SplitKey(Key);
  size_t first = (!parts.empty() &&
                  QString::fromStdString(parts[0]).compare("Software", Qt::CaseInsensitive) == 0)
                     ? 1
                     : 0;
  std::string organisation = parts.size() > first ? parts[first] : std::string();
  std::string application = parts.size() > first + 1 ? parts[first + 1] : std::string();
  QStringList group;
  for (size_t i = first + 2; i < parts.size(); ++i) group << ToQ(parts[i]);

  if (!CheckSettingsFiles(ToQ(organisation), ToQ(application))) return nullptr;
  auto settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                              ToQ(organisation), ToQ(application));
  if (!group.isEmpty()) settings->beginGroup(group.join('/'));
  return settings;
}

std::string ReadRegString(TRegRoot Root, const std::string& Key, const std::string& Name) {
  auto s = OpenRegKey(Root, Key);
  if (!s) return {};
  QVariant v = s->value(ToQ(Name));
  if (!v.isValid()) return {};
  if (v.typeId() != QMetaType::QString) InvalidType(Name);
  std::string value = v.toString().toStdString();
  if (value.size() > MaxValueBytes)
    throw Exception("The value of '" + Name + "' is longer than any folder name");
  return value;
}

void WriteRegString(TRegRoot Root, const std::string& Key, const std::string& Name,
                    const std::string& Value) {
  auto s = OpenRegKey(Root, Key);
  if (s) WriteValue(*s, Name, ToQ(Value));
}

void LoadFormPlacement(TRegRoot Root, const std::string& Key, QWidget& Form, bool PositionOnly) {
  auto s = OpenRegKey(Root, Key);
  if (!s) return;
  // Each value is read on its own: a bad one is skipped and the others still apply.
  std::vector<std::string> problems;
  auto read = [&](const std::string& Name) -> std::optional<int> {
    try {
      return ReadInteger(*s, Name);
    } catch (const std::exception& E) {
      problems.push_back(E.what());
      return std::nullopt;
    }
  };
  const auto top = read("Top");
  const auto left = read("Left");
  std::optional<int> width, height, state;
  if (!PositionOnly) {
    width = read("Width");
    height = read("Height");
    state = read("WindowState");
  }
  if (top || left || width || height) {
    const QRect placed =
        ClampToScreens(left.value_or(Form.x()), top.value_or(Form.y()),
                       width.value_or(Form.width()), height.value_or(Form.height()));
    Form.move(placed.topLeft());
    if (placed.size() != Form.size()) Form.resize(placed.size());
  }
  if (state) {
    if (*state == 0)
      Form.setWindowState(Form.windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized));
    else if (*state == 1)
      Form.setWindowState((Form.windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
  }
  if (!problems.empty()) {
    std::string text = problems.front();
    for (size_t i = 1; i < problems.size(); ++i) text += "\n" + problems[i];
    throw Exception(text);
  }
}

void SaveFormPlacement(TRegRoot Root, const std::string& Key, QWidget& Form) {
  if (Form.isMinimized()) return;
  auto s = OpenRegKey(Root, Key);
  if (!s) return;
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
