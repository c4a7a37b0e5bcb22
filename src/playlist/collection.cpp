// SPDX-License-Identifier: GPL-3.0-or-later
#include "playlist/collection.h"

#include "platform/error.h"

namespace {
void checkPosition(int position, int count)
{
    if (position < 1 || position > count)
        throw WakewellError(errors::subscriptOutOfRange);
}
} // namespace

const QString &Collection::Item(int position) const
{
    checkPosition(position, Count());
    return m_items.at(position - 1);
}

void Collection::Add(const QString &text)
{
    if (Count() >= maxCount)
        throw WakewellError(errors::overflow);
    m_items.append(text);
}

void Collection::Remove(int position)
{
    checkPosition(position, Count());
    m_items.removeAt(position - 1);
}
