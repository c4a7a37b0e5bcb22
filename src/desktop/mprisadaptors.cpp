// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/mprisadaptors.h"

MprisRootAdaptor::MprisRootAdaptor(MprisService *service)
    : QDBusAbstractAdaptor(service), m_service(service)
{
}

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService *service)
    : QDBusAbstractAdaptor(service), m_service(service)
{
}

QString MprisPlayerAdaptor::statusText(MprisService::Status status)
{
    switch (status) {
    case MprisService::Status::Playing:
        return QStringLiteral("Playing");
    case MprisService::Status::Paused:
        return QStringLiteral("Paused");
    case MprisService::Status::Stopped:
        break;
    }
    return QStringLiteral("Stopped");
}
