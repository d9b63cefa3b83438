#pragma once

// Workbooks written by openpyxl and by hand (tests/support/xlsxfixtures.py),
// and openpyxl's reading of a workbook, for the spreadsheet tests.

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace TestSupport {

QString xlsxFixturesScript();
// Runs the generator with a command and its arguments; its exit code, or -1.
int runXlsxFixtures(const QStringList &args, QByteArray *out = nullptr, int timeoutMs = -1);
// Writes every fixture workbook into dir (see the script for what each holds).
bool makeWorkbookFixtures(const QString &dir);

// The fixture workbooks in a temporary folder, for a test's lifetime.
class WorkbookFixtures
{
public:
    // Writes them; false when the folder or openpyxl failed.
    bool make() { return m_dir.isValid() && makeWorkbookFixtures(m_dir.path()); }
    QString path(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};
// {"sheets": [names], "cells": {name: [[row, column, value, type], ...]}} as
// openpyxl reads the workbook; values that are not texts come as Python repr.
QJsonObject openpyxlDump(const QString &path);

} // namespace TestSupport
