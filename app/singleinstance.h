#pragma once

#include <QSharedMemory>
#include <QString>

// The guard that keeps the program to one running instance on the machine:
// a one-byte shared-memory segment held for the whole run.
class SingleInstance
{
public:
    static constexpr const char *KEY = "kelo-printer";

    explicit SingleInstance(const QString &key = QLatin1String(KEY));

    // Takes the guard. False only when a live instance holds it. A segment
    // left behind by an instance that was killed is released first, so it
    // never locks the program out.
    bool acquire();

    // acquire(); when another instance runs, tells the user so (" 程序已运行！")
    // and returns false: the program then ends with exit code 0.
    bool acquireOrTell();

private:
    QSharedMemory m_memory;
};
