#pragma once

#include <QString>
#include <QStringList>

// Titles of new and pasted fields. A title names the data column that fills
// its field, so a new one must not be in use already.
class DefaultTitle
{
public:
    DefaultTitle() = delete;

    // The prefix followed by the first number from 1 to count that no taken
    // title uses (case-sensitive), or the prefix itself when there is none.
    static QString firstFree(const QString &prefix, const QStringList &taken, int count);
};
