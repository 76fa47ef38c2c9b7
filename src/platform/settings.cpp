#include "platform/settings.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

#include <cstring>

namespace kelvaro {
namespace {

QString& rootOverride() {
  static QString r;
  return r;
}

QString rootFolder() {
  if (!rootOverride().isEmpty()) return rootOverride();
  return qEnvironmentVariable("KELVARO_SETTINGS_DIR");
}

// The INI store keeps the registry type in front of each value; the registry keeps its own.
bool nativeStore(const QSettings& s) { return s.format() == QSettings::NativeFormat; }

std::shared_ptr<QSettings> openStore() {
  const QString root = rootFolder();
  if (!root.isEmpty()) {
    QDir().mkpath(root);
    return std::make_shared<QSettings>(QDir(root).filePath("Kelvaro.conf"), QSettings::IniFormat);
  }
#ifdef Q_OS_WIN
  return std::make_shared<QSettings>(QStringLiteral("HKEY_CURRENT_USER"), QSettings::NativeFormat);
#else
  const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/Dravenco";
  QDir().mkpath(dir);
  return std::make_shared<QSettings>(dir + "/Kelvaro.conf", QSettings::IniFormat);
#endif
}

QStringList splitPath(const QString& path) {
  QString p = path;
  p.replace('/', '\\');
  return p.split('\\', Qt::SkipEmptyParts);
}

QStringList childGroupsOf(QSettings& s, const QString& group) {
  s.beginGroup(group);
  QStringList g = s.childGroups();
  s.endGroup();
  return g;
}

// One decoded value: its registry type and payload.
struct Typed {
  RegType type = RegType::None;
  QString text;
  std::uint32_t dword = 0;
  QByteArray bytes;
};

Typed decode(const QVariant& v, bool native) {
  Typed t;
  if (!v.isValid()) return t;
  if (native) {
    switch (v.metaType().id()) {
      case QMetaType::QString: t.type = RegType::String; t.text = v.toString(); break;
      case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
        t.type = RegType::Dword; t.dword = static_cast<std::uint32_t>(v.toLongLong()); break;
      case QMetaType::QByteArray: t.type = RegType::Binary; t.bytes = v.toByteArray(); break;
      default: t.type = RegType::String; t.text = v.toString(); break;
    }
    return t;
  }
  // INI: an unquoted value with commas comes back as a list.
  const QString s = v.metaType().id() == QMetaType::QStringList ? v.toStringList().join(',') : v.toString();
  if (s.startsWith(QLatin1String("sz:"))) {
    t.type = RegType::String;
    t.text = s.mid(3);
  } else if (s.startsWith(QLatin1String("dword:"))) {
    bool ok = false;
    const QString digits = s.mid(6).trimmed();
    const qulonglong n = digits.toULongLong(&ok, 16);
    if (ok && digits.size() <= 8 && n <= 0xFFFFFFFFull) {
      t.type = RegType::Dword;
      t.dword = static_cast<std::uint32_t>(n);
    } else {
      t.type = RegType::String;  // unreadable number: not a DWORD
      t.text = s;
    }
  } else if (s.startsWith(QLatin1String("hex:"))) {
    QByteArray bytes;
    bool good = true;
    const QString body = s.mid(4).trimmed();
    if (!body.isEmpty()) {
      for (const QString& part : body.split(',')) {
        bool ok = false;
        const uint b = part.trimmed().toUInt(&ok, 16);
        if (!ok || b > 0xFF) { good = false; break; }
        bytes.append(static_cast<char>(b));
      }
    }
    if (good) {
      t.type = RegType::Binary;
      t.bytes = bytes;
    } else {
      t.type = RegType::String;
      t.text = s;
    }
  } else {
    t.type = RegType::String;  // hand-written value without a type
    t.text = s;
  }
  return t;
}

QVariant encodeString(const QString& v, bool native) { return native ? QVariant(v) : QVariant("sz:" + v); }
QVariant encodeDword(std::uint32_t v, bool native) {
  if (native) return QVariant(static_cast<int>(v));
  return QVariant(QStringLiteral("dword:%1").arg(v, 8, 16, QChar('0')));
}
QVariant encodeBinary(const QByteArray& v, bool native) {
  if (native) return QVariant(v);
  QStringList parts;
  for (char c : v) parts << QStringLiteral("%1").arg(static_cast<uchar>(c), 2, 16, QChar('0'));
  return QVariant("hex:" + parts.join(','));
}

}  // namespace

void setSettingsRoot(const QString& folder) { rootOverride() = folder; }

QString settingsLocation() {
  auto s = openStore();
  return nativeStore(*s) ? QStringLiteral("HKEY_CURRENT_USER") : s->fileName();
}

QByteArray doubleToBytes(double v) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, 8);
  QByteArray out(8, '\0');
  for (int i = 0; i < 8; ++i) out[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
  return out;
}

std::optional<double> bytesToDouble(const QByteArray& bytes) {
  if (bytes.size() != 8) return std::nullopt;
  std::uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits |= std::uint64_t(static_cast<uchar>(bytes[i])) << (8 * i);
  double v;
  std::memcpy(&v, &bits, 8);
  return v;
}

RegKey::RegKey() = default;
RegKey::~RegKey() { flush(); }
RegKey::RegKey(RegKey&&) noexcept = default;
RegKey& RegKey::operator=(RegKey&& o) noexcept {
  if (this != &o) {
    flush();
    store_ = std::move(o.store_);
    group_ = std::move(o.group_);
    path_ = std::move(o.path_);
  }
  return *this;
}

RegKey::RegKey(std::shared_ptr<QSettings> store, QString group, QString path)
    : store_(std::move(store)), group_(std::move(group)), path_(std::move(path)) {}

RegKey RegKey::open(const QString& path) {
  const QStringList parts = splitPath(path);
  if (parts.isEmpty()) return {};
  auto store = openStore();
  if (store->status() != QSettings::NoError) return {};
  QString group;
  for (const QString& part : parts) {
    QString found;
    for (const QString& g : childGroupsOf(*store, group))
      if (g.compare(part, Qt::CaseInsensitive) == 0) { found = g; break; }
    if (found.isEmpty()) return {};
    group = group.isEmpty() ? found : group + '/' + found;
  }
  return RegKey(std::move(store), group, path);
}

RegKey RegKey::create(const QString& path) {
  const QStringList parts = splitPath(path);
  if (parts.isEmpty()) return {};
  auto store = openStore();
  QString group;
  bool existing = true;
  for (const QString& part : parts) {
    QString found = part;
    if (existing) {
      existing = false;
      for (const QString& g : childGroupsOf(*store, group))
        if (g.compare(part, Qt::CaseInsensitive) == 0) { found = g; existing = true; break; }
    }
    group = group.isEmpty() ? found : group + '/' + found;
  }
  return RegKey(std::move(store), group, path);
}

QStringList RegKey::valueNames() const {
  if (!store_) return {};
  store_->beginGroup(group_);
  QStringList names = store_->childKeys();
  store_->endGroup();
  return names;
}

QString RegKey::actualName(const QString& name) const {
  for (const QString& n : valueNames())
    if (n.compare(name, Qt::CaseInsensitive) == 0) return n;
  return {};
}

std::optional<QVariant> RegKey::raw(const QString& name) const {
  if (!store_) return std::nullopt;
  const QString actual = actualName(name);
  if (actual.isEmpty()) return std::nullopt;
  return store_->value(group_ + '/' + actual);
}

void RegKey::put(const QString& name, const QVariant& value) {
  if (!store_) return;
  const QString actual = actualName(name);
  store_->setValue(group_ + '/' + (actual.isEmpty() ? name : actual), value);
}

RegType RegKey::valueType(const QString& name) const {
  auto v = raw(name);
  return v ? decode(*v, nativeStore(*store_)).type : RegType::None;
}

std::optional<QString> RegKey::readString(const QString& name) const {
  auto v = raw(name);
  if (!v) return std::nullopt;
  Typed t = decode(*v, nativeStore(*store_));
  if (t.type != RegType::String) return std::nullopt;
  return t.text;
}

std::optional<std::uint32_t> RegKey::readDword(const QString& name) const {
  auto v = raw(name);
  if (!v) return std::nullopt;
  Typed t = decode(*v, nativeStore(*store_));
  if (t.type != RegType::Dword) return std::nullopt;
  return t.dword;
}

std::optional<QByteArray> RegKey::readBinary(const QString& name) const {
  auto v = raw(name);
  if (!v) return std::nullopt;
  Typed t = decode(*v, nativeStore(*store_));
  if (t.type != RegType::Binary) return std::nullopt;
  return t.bytes;
}

std::optional<bool> RegKey::readBool(const QString& name) const {
  auto d = readDword(name);
  if (!d) return std::nullopt;
  return *d != 0;
}

std::optional<double> RegKey::readDouble(const QString& name) const {
  auto b = readBinary(name);
  if (!b) return std::nullopt;
  return bytesToDouble(*b);
}

void RegKey::writeString(const QString& name, const QString& value) {
  if (store_) put(name, encodeString(value, nativeStore(*store_)));
}
void RegKey::writeDword(const QString& name, std::uint32_t value) {
  if (store_) put(name, encodeDword(value, nativeStore(*store_)));
}
void RegKey::writeBinary(const QString& name, const QByteArray& value) {
  if (store_) put(name, encodeBinary(value, nativeStore(*store_)));
}
void RegKey::writeDouble(const QString& name, double value) { writeBinary(name, doubleToBytes(value)); }

void RegKey::deleteValue(const QString& name) {
  if (!store_) return;
  const QString actual = actualName(name);
  if (!actual.isEmpty()) store_->remove(group_ + '/' + actual);
}

bool RegKey::flush() {
  if (!store_) return false;
  store_->sync();
  return store_->status() == QSettings::NoError;
}

template <class T, class R>
KeyReader& KeyReader::take(std::optional<R> v, T& out) {
  if (!ok_) return *this;
  if (!v) {
    ok_ = false;
    return *this;
  }
  out = static_cast<T>(*v);
  return *this;
}

KeyReader& KeyReader::string(const QString& name, QString& out) {
  if (!ok_) return *this;
  if (!key_.hasValue(name)) {
    out.clear();
    return *this;
  }
  return take(key_.readString(name), out);
}
KeyReader& KeyReader::dword(const QString& name, std::uint32_t& out) { return ok_ ? take(key_.readDword(name), out) : *this; }
KeyReader& KeyReader::integer(const QString& name, int& out) { return ok_ ? take(key_.readDword(name), out) : *this; }
KeyReader& KeyReader::boolean(const QString& name, bool& out) { return ok_ ? take(key_.readBool(name), out) : *this; }
KeyReader& KeyReader::real(const QString& name, double& out) { return ok_ ? take(key_.readDouble(name), out) : *this; }

}  // namespace kelvaro
