// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/mprisadaptors.h"

MprisRootAdaptor::MprisRootAdaptor(MprisMediaKeys *service)
    : QDBusAbstractAdaptor(service), m_service(service)
{
}

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisMediaKeys *service)
    : QDBusAbstractAdaptor(service), m_service(service)
{
}

QString MprisPlayerAdaptor::statusText(MprisMediaKeys::Status status)
{
    switch (status) {
    case MprisMediaKeys::Status::Playing:
        return QStringLiteral("Playing");
    case MprisMediaKeys::Status::Paused:
        return QStringLiteral("Paused");
    case MprisMediaKeys::Status::Stopped:
        break;
    }
    return QStringLiteral("Stopped");
}
