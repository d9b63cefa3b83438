#pragma once

// The favourite templates ("常用模板") that the print page offers first: at
// most three names, kept in the user configuration key "template.default"
// joined with "|".

#include <QString>
#include <QStringList>

class TemplateFavourites
{
public:
    TemplateFavourites() = delete;

    static constexpr int MAX_COUNT = 3;

    enum class SwitchOn { Added, AlreadyThere, Full };

    // The stored names, split at "|" with empty parts kept; none for an empty value.
    static QStringList load();
    // Whether the configuration was written.
    static bool store(const QStringList &names);

    // Adds name unless it is there or the list is full: three names and none
    // of them empty (an empty entry, which only a hand-edited value holds,
    // leaves room for one more).
    static SwitchOn switchOn(QStringList &names, const QString &name);
    // Removes the first occurrence of name, if any.
    static void switchOff(QStringList &names, const QString &name);
    // A template that left the store under its name: its entry takes the
    // new name, or goes when there is none, so no slot is held by a name no
    // row shows a switch for. Whether the list changed.
    static bool follow(QStringList &names, const QString &from, const QString &to);
};
