#pragma once
// The program's settings store: registry-like keys and typed values of the current user.
//
// Keys are written as registry paths ("Software\\Dravenco\\Kelvaro\\CAD"). On Windows the store
// is the registry itself (HKEY_CURRENT_USER); elsewhere it is one INI file whose groups are the
// key paths and whose values carry their registry type ("sz:", "dword:", "hex:").
// Key and value names are matched without regard to case, as the registry does.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

class QSettings;

namespace kelvaro {

enum class RegType { None, String, Dword, Binary };

// Where the store lives. Order: setSettingsRoot(), then $KELVARO_SETTINGS_DIR, then the user's
// configuration folder. With a root folder the store is <root>/Kelvaro.conf in INI form on every
// platform, so tests never touch the user's settings.
void setSettingsRoot(const QString& folder);  // empty: back to the default
QString settingsLocation();                   // file path, or "HKEY_CURRENT_USER" on Windows

class RegKey {
 public:
  // Opens an existing key; a key that does not exist is not opened (isOpen() false).
  static RegKey open(const QString& path);
  // Opens a key, creating it (and its parents) when missing.
  static RegKey create(const QString& path);

  RegKey();
  ~RegKey();
  RegKey(RegKey&&) noexcept;
  RegKey& operator=(RegKey&&) noexcept;

  bool isOpen() const { return static_cast<bool>(store_); }
  QString path() const { return path_; }

  QStringList valueNames() const;
  RegType valueType(const QString& name) const;  // None when missing
  bool hasValue(const QString& name) const { return valueType(name) != RegType::None; }

  // Typed reads: nothing when the value is missing or of another type.
  std::optional<QString> readString(const QString& name) const;
  std::optional<std::uint32_t> readDword(const QString& name) const;
  std::optional<QByteArray> readBinary(const QString& name) const;
  // A boolean is a DWORD, any non-zero value is true.
  std::optional<bool> readBool(const QString& name) const;
  // A double is REG_BINARY of exactly 8 bytes, IEEE little-endian.
  std::optional<double> readDouble(const QString& name) const;

  // Writes replace a value of the same name in any letter case (keeping its stored spelling).
  // They do nothing on a key that is not open.
  void writeString(const QString& name, const QString& value);
  void writeDword(const QString& name, std::uint32_t value);
  void writeInt(const QString& name, std::int32_t value) { writeDword(name, static_cast<std::uint32_t>(value)); }
  void writeBinary(const QString& name, const QByteArray& value);
  void writeBool(const QString& name, bool value) { writeDword(name, value ? 1u : 0u); }
  void writeDouble(const QString& name, double value);
  void deleteValue(const QString& name);

  // Writes pending changes to disk (also done when the key is destroyed).
  bool flush();

 private:
  RegKey(std::shared_ptr<QSettings> store, QString group, QString path);
  QString actualName(const QString& name) const;
  std::optional<QVariant> raw(const QString& name) const;
  void put(const QString& name, const QVariant& value);

  std::shared_ptr<QSettings> store_;
  QString group_;  // the key's group inside the store, in its stored spelling
  QString path_;
};

// Reads the values of one key in order; the first missing or mistyped value ends the reading:
// it and every later value keep what the caller put there before. A key that is not open reads
// nothing. A missing string reads as empty without ending the reading.
class KeyReader {
 public:
  explicit KeyReader(const RegKey& key) : key_(key), ok_(key.isOpen()) {}
  bool ok() const { return ok_; }

  KeyReader& string(const QString& name, QString& out);
  KeyReader& dword(const QString& name, std::uint32_t& out);
  KeyReader& integer(const QString& name, int& out);
  KeyReader& boolean(const QString& name, bool& out);
  KeyReader& real(const QString& name, double& out);

 private:
  template <class T, class R>
  KeyReader& take(std::optional<R> v, T& out);
  const RegKey& key_;
  bool ok_;
};

// The 8 bytes of a REG_BINARY double (IEEE 754, little-endian) and back.
QByteArray doubleToBytes(double v);
std::optional<double> bytesToDouble(const QByteArray& bytes);

}  // namespace kelvaro
