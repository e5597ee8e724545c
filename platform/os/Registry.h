// The current user's registry: a per-user settings store in one INI file,
// and TRegistry, the key/value wrapper over it.
//
// Store: UserSettingsFileName() = $XDG_CONFIG_HOME/procview/registry.ini
// ($HOME/.config when XDG_CONFIG_HOME is unset, empty or relative), in Qt's
// QSettings INI format. The name is looked up afresh by every call, so a
// changed environment takes effect at once. The process keeps the file's
// contents (read again whenever the file changed) and the values written
// since that have not reached the file.
//
// Writing the file: its contents with the unwritten values over them go to
// a new owner-only (0600) file beside it, which then replaces it (the target
// of a symbolic link); missing directories on the way are made owner-only
// (0700). A file that this user may not write, or any failure on the way,
// leaves the file exactly as it was: the values written stay readable in
// this process, and each later write of the file tries them again.
//
// Keys: paths of names separated by "\" ("Software\App\Form1"). A path that
// starts with "\" is taken from the root, any other from the open key; empty
// names (doubled or trailing "\") are skipped. Key and value names compare
// ignoring case, as registry names do; a new name keeps the spelling it was
// first written with.
//
// Values are kept as text. Integers in decimal, Booleans as 1/0, floats,
// dates and times as the shortest decimal text that reads back to the same
// double, currency in decimal with up to four decimals; strings as they are.
// Reading converts the text to the kind asked for; a text that does not read
// as that kind, or a missing value for any kind but string, raises
// ERegistryException "Invalid data type for '<name>'". A missing string reads
// as "". Each Write* writes the file at once (see BeginUpdate); when that
// fails it raises ERegistryException "Failed to set data for '<name>'".
// OpenKey(Key, true) makes a missing key at once: a failure to write it to
// the file is raised by the next Write*.
//
// Bad files: a file that cannot be read, is not a regular file, holds NUL
// bytes or text that is not UTF-8, or that QSettings reports as malformed is
// never written: OpenKey fails (with or without CanCreate), ValueExists is
// false, ReadString gives "" and Write* raise.
//
// Thin: only the current user's root exists (no other roots, no remote
// registry, no access rights, no deleting or listing); value types are not
// kept, so any value reads as any kind its text converts to. A key made by
// OpenKey(Key, true) is kept in the file by a hidden empty value named
// "\x01", since QSettings stores no empty groups. Names may not hold control
// characters, "/" may not appear in key names, nor "/" or "\" in value
// names, and there is no unnamed default value (such names count as missing
// values, and writing them raises). Other processes see each write once the
// file is replaced (writers take turns through QSettings' lock file,
// "registry.ini.lock"). Use it from the main thread.
#pragma once

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/System.h"

RTL_DECLARE_EXCEPTION(ERegistryException, Exception);

// The file that holds the current user's registry.
String UserSettingsFileName();

class TRegistry : public TObject {
 public:
  TRegistry() = default;
  // Writes what an unended update left unwritten (failures are dropped).
  ~TRegistry() override;
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  // Opens Key (creating it with CanCreate); true on success, when the
  // previously open key is closed first. On failure the open key stays.
  bool OpenKey(const String& Key, bool CanCreate);
  // Closes the open key (values then go to the root).
  void CloseKey();
  // The open key's path from the root, without leading "\" ("" at the root).
  const String& CurrentPath() const { return current_path_; }
  // True when the open key (or the root) holds the value.
  bool ValueExists(const String& Name);

  Currency ReadCurrency(const String& Name);
  bool ReadBool(const String& Name);
  TDateTime ReadDate(const String& Name);
  TDateTime ReadDateTime(const String& Name);
  double ReadFloat(const String& Name);
  Integer ReadInteger(const String& Name);
  String ReadString(const String& Name);
  TDateTime ReadTime(const String& Name);

  void WriteCurrency(const String& Name, Currency Value);
  void WriteBool(const String& Name, bool Value);
  void WriteDate(const String& Name, TDateTime Value);
  void WriteDateTime(const String& Name, TDateTime Value);
  void WriteFloat(const String& Name, double Value);
  void WriteInteger(const String& Name, Integer Value);
  void WriteString(const String& Name, const String& Value);
  void WriteTime(const String& Name, TDateTime Value);

  // Between BeginUpdate and the matching EndUpdate (they nest) this object's
  // Write* and new keys change the settings in memory only, readable at
  // once; the outermost EndUpdate writes the file once, and raises
  // "Failed to set data for '<name>'" (the first value or key written) when
  // that fails.
  void BeginUpdate();
  void EndUpdate();

 private:
  // The value's text; false when it is missing or the file is unusable.
  bool ReadText(const String& Name, String& Text) const;
  void WriteText(const String& Name, const String& Text);
  // The value's text; raises "Invalid data type" when it is missing.
  String ReadRequired(const String& Name) const;
  double ReadDouble(const String& Name) const;

  // Notes a change held back by an update.
  void Pending(const String& Path, const String& Name);

  String current_path_;  // "A\B"
  String group_;         // the same path as a QSettings group, "A/B"
  int update_depth_ = 0;
  String pending_path_;  // the file an update holds changes of ("": none)
  String pending_name_;
};
