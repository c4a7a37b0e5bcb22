// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <stdexcept>

// A step that failed. Handlers do not catch it: the window's dispatcher ends the
// handler at the failing step and shows description() in a message box.
class WakewellError : public std::runtime_error
{
public:
    explicit WakewellError(const QString &description)
        : std::runtime_error(description.toStdString()), m_description(description)
    {
    }
    QString description() const { return m_description; }

private:
    QString m_description;
};

// The descriptions the window reports, kept in one place so tests and code agree.
namespace errors {
inline const QString overflow = QStringLiteral("Overflow");
inline const QString subscriptOutOfRange = QStringLiteral("Subscript out of range");
inline const QString pathNotFound = QStringLiteral("Path not found");
inline const QString pathTooLong = QStringLiteral("Path too long");
inline const QString permissionDenied = QStringLiteral("Permission denied");
inline const QString deviceUnavailable = QStringLiteral("Device unavailable");
} // namespace errors
