#pragma once
#include <QIcon>
#include <QString>

namespace kelvaro {

// The toolbar glyph of a command (by its action name), drawn at run time.
QIcon commandIcon(const QString& name);

}  // namespace kelvaro
