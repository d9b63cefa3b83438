#pragma once

// The two font lists of the configuration page: the installed families not
// in use and the families offered for text elements, in the order the user
// built it.

#include <QString>
#include <QStringList>

class FontSelection
{
public:
    FontSelection() = default;
    // inUse as configured; an empty list means every installed family. A
    // family in use that is not installed stays in use.
    FontSelection(const QStringList &inUse, const QStringList &installed);

    const QStringList &available() const { return m_available; }
    const QStringList &inUse() const { return m_inUse; }

    void useAll();
    void unuseAll();
    // Moves family to the end of the other list, once.
    void use(const QString &family);
    void unuse(const QString &family);

private:
    QStringList m_available;
    QStringList m_inUse;
};
