#include "platform/os/Registry.h"

#include <QLockFile>
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
#include <utility>
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

// The file as it was when read: absent, or its identity, kind and age.
struct FileStamp {
  bool exists = false;
  dev_t dev = 0;
  ino_t ino = 0;
  mode_t mode = 0;
  off_t size = 0;
  timespec mtime{};
  bool operator==(const FileStamp& o) const {
    return exists == o.exists && dev == o.dev && ino == o.ino && mode == o.mode && size == o.size &&
           mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec;
  }
};

// False when the file's state cannot be found out (other than its absence).
bool StampOf(const String& path, FileStamp& stamp) {
  struct stat st{};
  stamp = {};
  if (stat(path.c_str(), &st) != 0) return errno == ENOENT;
  stamp = {true, st.st_dev, st.st_ino, st.st_mode, st.st_size, st.st_mtim};
  return true;
}

// Full QSettings keys ("A/B/name") and their values.
using KeyMap = std::map<QString, QVariant>;

// One settings file as this process knows it: what the file held when it
// was last read or written, and the values written since that have not
// reached the file (a failed write keeps them here, readable, and the next
// write of the file takes them along).
struct Store {
  bool read = false;
  FileStamp stamp;
  bool usable = true;  // false: a bad file, never written
  KeyMap file;
  KeyMap unsaved;
};

std::mutex g_stores_lock;
std::map<String, Store> g_stores;

// The store of the file at Path, read again when the file changed.
Store& Refresh(const String& path) {
  Store& s = g_stores[path];
  FileStamp now;
  bool known = StampOf(path, now);
  if (s.read && known && now == s.stamp) return s;
  s.read = known;
  s.stamp = now;
  s.file.clear();
  s.usable = known && (!now.exists || (S_ISREG(now.mode) && FileBytesUsable(path)));
  if (s.usable && now.exists) {
    QSettings settings(ToQ(path), QSettings::IniFormat);
    if (settings.status() != QSettings::NoError) s.usable = false;
    else
      for (const QString& key : settings.allKeys()) s.file[key] = settings.value(key);
  }
  return s;
}

// The value of a full key: an unsaved one first, then the file's.
const QVariant* FindKey(const Store& s, const QString& key) {
  if (auto it = s.unsaved.find(key); it != s.unsaved.end()) return &it->second;
  if (auto it = s.file.find(key); it != s.file.end()) return &it->second;
  return nullptr;
}

// The names right below Group (as stored): groups (names with levels below
// them) or values.
QStringList Children(const Store& s, const QString& group, bool groups) {
  const QString prefix = group.isEmpty() ? QString() : group + '/';
  QStringList names;
  for (const KeyMap* keys : {&s.unsaved, &s.file}) {
    for (auto it = keys->lower_bound(prefix); it != keys->end() && it->first.startsWith(prefix); ++it) {
      QStringView rest = QStringView(it->first).mid(prefix.size());
      qsizetype slash = rest.indexOf(u'/');
      if (groups != (slash >= 0)) continue;
      QString name = (groups ? rest.left(slash) : rest).toString();
      if (!names.contains(name)) names << name;
    }
  }
  return names;
}

void SyncPath(const String& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// The file that writing Path replaces: the target of a symbolic link.
String WriteTarget(const String& path) {
  struct stat st{};
  if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* real = realpath(path.c_str(), nullptr);
  if (real == nullptr) return path;
  String target = real;
  std::free(real);
  return target;
}

// Writes the file's keys with the unsaved values over them to a new
// owner-only file beside it and puts that in its place: the file is whole
// and unchanged on any failure. True when written (or nothing was unsaved).
bool Flush(const String& path, const Store& s) {
  if (s.unsaved.empty()) return true;
  const String target = WriteTarget(path);
  if (!EnsureDirectory(DirectoryOf(target))) return false;
  if (access(target.c_str(), F_OK) == 0 && access(target.c_str(), W_OK) != 0) return false;
  // The lock QSettings takes too, so that writers of the file take turns.
  QLockFile lock(ToQ(target + ".lock"));
  if (!lock.tryLock(5000)) return false;
  Store& now = Refresh(path);  // another process may have written meanwhile
  if (!now.usable) return false;
  KeyMap all = now.file;
  for (const auto& [key, value] : now.unsaved) all[key] = value;
  String temp = target + ".XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) return false;
  close(fd);
  bool ok;
  {
    QSettings out(ToQ(temp), QSettings::IniFormat);
    for (const auto& [key, value] : all) out.setValue(key, value);
    out.sync();
    ok = out.status() == QSettings::NoError;
  }
  if (ok) {
    SyncPath(temp);
    ok = chmod(temp.c_str(), 0600) == 0 && rename(temp.c_str(), target.c_str()) == 0;
  }
  if (!ok) {
    unlink(temp.c_str());
    return false;
  }
  SyncPath(DirectoryOf(target));
  now.file = std::move(all);
  now.unsaved.clear();
  now.read = StampOf(path, now.stamp);
  return true;
}

[[noreturn]] void SetDataFailed(const String& name) {
  throw ERegistryException(Format("Failed to set data for '%s'", {name}));
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
std::optional<QString> FindValue(const Store& s, const String& group, const String& name) {
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

TRegistry::~TRegistry() {
  if (update_depth_ == 0 || pending_path_.empty()) return;
  std::lock_guard lock(g_stores_lock);
  Flush(pending_path_, Refresh(pending_path_));  // as EndUpdate, without raising
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
  const String path = UserSettingsFileName();
  std::lock_guard lock(g_stores_lock);
  Store& s = Refresh(path);
  if (!s.usable) return false;
  QString group;
  bool exists = true;
  for (const String& name : names) {
    QString q = ToQ(name);
    if (exists) {
      if (auto found = FindName(Children(s, group, true), q)) {
        q = *found;
      } else {
        exists = false;
      }
    }
    if (!exists && !CanCreate) return false;
    group = Join(group, q);
  }
  if (!exists) {
    // The key exists from now on; a failed write of the file is raised by
    // the next Write*, which tries again.
    s.unsaved[Join(group, KeyMarker())] = QString();
    if (update_depth_ > 0) Pending(path, Key);
    else Flush(path, s);
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
  std::lock_guard lock(g_stores_lock);
  return FindValue(Refresh(UserSettingsFileName()), group_, Name).has_value();
}

bool TRegistry::ReadText(const String& Name, String& Text) const {
  std::lock_guard lock(g_stores_lock);
  const Store& s = Refresh(UserSettingsFileName());
  auto key = FindValue(s, group_, Name);
  if (!key) return false;
  const QVariant& v = *FindKey(s, *key);
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
  if (!ValidValueName(Name)) SetDataFailed(Name);
  const String path = UserSettingsFileName();
  std::lock_guard lock(g_stores_lock);
  Store& s = Refresh(path);
  if (!s.usable) SetDataFailed(Name);
  QString group = ToQ(group_);
  auto found = FindName(Children(s, group, false), ToQ(Name));
  s.unsaved[Join(group, found ? *found : ToQ(Name))] = ToQ(Text);
  if (update_depth_ > 0) Pending(path, Name);
  else if (!Flush(path, s)) SetDataFailed(Name);
}

void TRegistry::Pending(const String& Path, const String& Name) {
  if (pending_path_.empty()) pending_name_ = Name;
  pending_path_ = Path;
}

void TRegistry::BeginUpdate() { ++update_depth_; }

void TRegistry::EndUpdate() {
  if (update_depth_ == 0 || --update_depth_ > 0 || pending_path_.empty()) return;
  const String path = std::exchange(pending_path_, String());
  const String name = std::exchange(pending_name_, String());
  std::lock_guard lock(g_stores_lock);
  if (!Flush(path, Refresh(path))) SetDataFailed(name);
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
