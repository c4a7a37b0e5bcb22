// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

// A 1-based ordered collection of texts. A position that holds no entry is the error
// "Subscript out of range"; a collection never holds more than 32,767 entries, the most a
// 16-bit position can reach ("Overflow").
class Collection
{
public:
    static constexpr int maxCount = 32767;

    int Count() const { return static_cast<int>(m_items.size()); }
    const QString &Item(int position) const;
    void Add(const QString &text);
    void Remove(int position);

private:
    QStringList m_items;
};
