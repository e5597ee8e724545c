#include "platform/os/Registry.h"

#include <QSettings>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/rtl/SysUtils.h"

namespace {

QString ToQ(const String& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
String FromQ(const QString& s) { return s.toUtf8().toStdString(); }

// The non-empty parts of a path.
std::vector<String> SplitPath(const String& path, char separator) {
  std::vector<String> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(separator, start);
    if (end == String::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

String HomeDirectory() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return home;
  if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) return pw->pw_dir;
  return "/tmp";
}

// The directory of a file name ("" for a name without one).
String DirectoryOf(const String& path) {
  size_t slash = path.rfind('/');
  return slash == String::npos ? String() : path.substr(0, slash);
}

// Creates the missing directories of Dir, each owner-only.
bool EnsureDirectory(const String& dir) {
  if (dir.empty()) return true;
  struct stat st{};
  if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  if (errno != ENOENT || !EnsureDirectory(DirectoryOf(dir))) return false;
  return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

// Makes the file (owner-only) and its directories when missing.
bool PrepareFile(const String& path) {
  if (!EnsureDirectory(DirectoryOf(path))) return false;
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) return close(fd) == 0;
  return errno == EEXIST;
}

// An existing file must be a readable regular file of UTF-8 text without
// NUL bytes.
bool FileBytesUsable(const String& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::vector<char> bytes;
  char buffer[8192];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      close(fd);
      return false;
    }
    if (n == 0) break;
    bytes.insert(bytes.end(), buffer, buffer + n);
  }
  close(fd);
  if (std::memchr(bytes.data(), 0, bytes.size()) != nullptr) return false;
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = decoder(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
  return !decoder.hasError();
}

// The verdict on a file as it was when judged. QSettings reports a malformed
// file only to the first object that parses it (later ones share its cache),
// so the verdict is kept until the file changes.
struct Verdict {
  dev_t dev;
  ino_t ino;
  off_t size;
  timespec mtime;
  bool usable;
  bool Matches(const struct stat& st) const {
    return dev == st.st_dev && ino == st.st_ino && size == st.st_size && mtime.tv_sec == st.st_mtim.tv_sec &&
           mtime.tv_nsec == st.st_mtim.tv_nsec;
  }
};

std::mutex g_verdicts_lock;
std::map<String, Verdict> g_verdicts;

// The settings of the user's file, or nullptr when the file is unusable. A
// missing file is usable (it reads as empty).
std::unique_ptr<QSettings> OpenSettings() {
  String path = UserSettingsFileName();
  struct stat st{};
  bool exists = stat(path.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) return nullptr;
  std::lock_guard lock(g_verdicts_lock);
  auto known = g_verdicts.find(path);
  bool judged = exists && known != g_verdicts.end() && known->second.Matches(st);
  if (judged && !known->second.usable) return nullptr;
  bool usable = !exists || judged || (S_ISREG(st.st_mode) && FileBytesUsable(path));
  auto settings = usable ? std::make_unique<QSettings>(ToQ(path), QSettings::IniFormat) : nullptr;
  if (settings != nullptr && settings->status() != QSettings::NoError) settings.reset();
  if (exists && !judged) g_verdicts[path] = Verdict{st.st_dev, st.st_ino, st.st_size, st.st_mtim, settings != nullptr};
  return settings;
}

// The names below Group that QSettings lists (groups or keys).
QStringList Children(QSettings& s, const QString& group, bool groups) {
  if (!group.isEmpty()) s.beginGroup(group);
  QStringList names = groups ? s.childGroups() : s.childKeys();
  if (!group.isEmpty()) s.endGroup();
  return names;
}

// The stored spelling of Name among Names (compared ignoring case).
std::optional<QString> FindName(const QStringList& names, const QString& name) {
  for (const QString& n : names) {
    if (n.compare(name, Qt::CaseInsensitive) == 0) return n;
  }
  return std::nullopt;
}

// QSettings keeps no empty groups: a key made empty holds this hidden value,
// a name no value can have (control characters are refused in names).
QString KeyMarker() { return QString(QChar(1)); }

// Names hold no control characters and no "/" (nor "\\" for values).
bool ValidName(const String& name, bool value) {
  if (name.empty()) return false;
  for (char c : name) {
    if (c == '/' || (value && c == '\\') || static_cast<unsigned char>(c) < 0x20) return false;
  }
  return true;
}

bool ValidValueName(const String& name) { return ValidName(name, true); }

QString Join(const QString& group, const QString& name) { return group.isEmpty() ? name : group + '/' + name; }

// The full QSettings key of a value below Group, when it exists.
std::optional<QString> FindValue(QSettings& s, const String& group, const String& name) {
  if (!ValidValueName(name)) return std::nullopt;
  QString g = ToQ(group);
  auto found = FindName(Children(s, g, false), ToQ(name));
  if (!found) return std::nullopt;
  return Join(g, *found);
}

[[noreturn]] void InvalidType(const String& name) {
  throw ERegistryException(Format("Invalid data type for '%s'", {name}));
}

String DoubleText(double value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return String(buffer, result.ptr);
}

// The invariant settings values are written with ("." as decimal separator).
const TFormatSettings& Invariant() {
  static const TFormatSettings settings;
  return settings;
}

}  // namespace

String UserSettingsFileName() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  String base = xdg != nullptr && xdg[0] == '/' ? String(xdg) : HomeDirectory() + "/.config";
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base + "/procview/registry.ini";
}

bool TRegistry::OpenKey(const String& Key, bool CanCreate) {
  std::vector<String> names;
  if (!Key.starts_with('\\')) {
    for (const String& part : SplitPath(group_, '/')) names.push_back(part);
  }
  for (const String& part : SplitPath(Key, '\\')) {
    if (!ValidName(part, false)) return false;
    names.push_back(part);
  }
  auto s = OpenSettings();
  if (s == nullptr) return false;
  if (CanCreate && !PrepareFile(UserSettingsFileName())) return false;
  QString group;
  bool exists = true;
  for (const String& name : names) {
    QString q = ToQ(name);
    if (exists) {
      if (auto found = FindName(Children(*s, group, true), q)) {
        q = *found;
      } else {
        exists = false;
      }
    }
    if (!exists && !CanCreate) return false;
    group = Join(group, q);
  }
  if (!exists) {
    s->setValue(Join(group, KeyMarker()), QString());
    s->sync();
    if (s->status() != QSettings::NoError) return false;
  }
  group_ = FromQ(group);
  current_path_ = StringReplace(group_, "/", "\\", {rfReplaceAll});
  return true;
}

void TRegistry::CloseKey() {
  group_.clear();
  current_path_.clear();
}

bool TRegistry::ValueExists(const String& Name) {
  auto s = OpenSettings();
  return s != nullptr && FindValue(*s, group_, Name).has_value();
}

bool TRegistry::ReadText(const String& Name, String& Text) const {
  auto s = OpenSettings();
  if (s == nullptr) return false;
  auto key = FindValue(*s, group_, Name);
  if (!key) return false;
  QVariant v = s->value(*key);
  // An unquoted "a, b" written by hand reads as a list.
  Text = v.userType() == QMetaType::QStringList ? FromQ(v.toStringList().join(',')) : FromQ(v.toString());
  return true;
}

String TRegistry::ReadRequired(const String& Name) const {
  String text;
  if (!ReadText(Name, text)) InvalidType(Name);
  return text;
}

void TRegistry::WriteText(const String& Name, const String& Text) {
  auto s = ValidValueName(Name) ? OpenSettings() : nullptr;
  if (s == nullptr || !PrepareFile(UserSettingsFileName()))
    throw ERegistryException(Format("Failed to set data for '%s'", {Name}));
  QString group = ToQ(group_);
  auto found = FindName(Children(*s, group, false), ToQ(Name));
  s->setValue(Join(group, found ? *found : ToQ(Name)), ToQ(Text));
  s->sync();
  if (s->status() != QSettings::NoError) throw ERegistryException(Format("Failed to set data for '%s'", {Name}));
}

double TRegistry::ReadDouble(const String& Name) const {
  String text = ReadRequired(Name);
  double value = 0;
  auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size()) InvalidType(Name);
  return value;
}

Currency TRegistry::ReadCurrency(const String& Name) {
  Currency value;
  if (!TryStrToCurr(ReadRequired(Name), value, Invariant())) InvalidType(Name);
  return value;
}

bool TRegistry::ReadBool(const String& Name) { return ReadInteger(Name) != 0; }
TDateTime TRegistry::ReadDate(const String& Name) { return ReadDouble(Name); }
TDateTime TRegistry::ReadDateTime(const String& Name) { return ReadDouble(Name); }
double TRegistry::ReadFloat(const String& Name) { return ReadDouble(Name); }
TDateTime TRegistry::ReadTime(const String& Name) { return ReadDouble(Name); }

Integer TRegistry::ReadInteger(const String& Name) {
  Integer value = 0;
  if (!TryStrToInt(ReadRequired(Name), value)) InvalidType(Name);
  return value;
}

String TRegistry::ReadString(const String& Name) {
  String text;
  ReadText(Name, text);
  return text;
}

void TRegistry::WriteCurrency(const String& Name, Currency Value) { WriteText(Name, CurrToStr(Value, Invariant())); }
void TRegistry::WriteBool(const String& Name, bool Value) { WriteText(Name, Value ? "1" : "0"); }
void TRegistry::WriteDate(const String& Name, TDateTime Value) { WriteText(Name, DoubleText(Value)); }
void TRegistry::WriteDateTime(const String& Name, TDateTime Value) { WriteText(Name, DoubleText(Value)); }
void TRegistry::WriteFloat(const String& Name, double Value) { WriteText(Name, DoubleText(Value)); }
void TRegistry::WriteInteger(const String& Name, Integer Value) { WriteText(Name, IntToStr(Value)); }
void TRegistry::WriteString(const String& Name, const String& Value) { WriteText(Name, Value); }
void TRegistry::WriteTime(const String& Name, TDateTime Value) { WriteText(Name, DoubleText(Value)); }
