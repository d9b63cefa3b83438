#pragma once

#include "model/templatemodel.h"

#include <QDateTime>
#include <QJsonObject>

// The one JSON form of a template, shared by the built-in resource, the user
// store, the recycle bin and export files.
namespace TemplateJson {

inline constexpr const char TIME_FORMAT[] = "yyyy-MM-dd hh:mm:ss";

// Every key of the format, with its reader's default when absent.
TemplateModel readTemplate(const QJsonObject &object);
// Only the name, type, background, the four sizes and both times.
TemplateModel readHeader(const QJsonObject &object);

// A new object with every key. "createTime" keeps the model's value unless it
// is empty; "modifyTime" is always the given time.
QJsonObject writeTemplate(const TemplateModel &model, const QDateTime &now = QDateTime::currentDateTime());

// A template about to be stored for the first time gets the creation time
// the full writer would give it; kept by the caller, later saves keep it too.
void stampCreation(TemplateModel &model, const QDateTime &now = QDateTime::currentDateTime());

// The stored object with "offsetX", "offsetY" and "angle" set from the model
// and every other key left as it was.
QJsonObject writePlacement(QJsonObject stored, const TemplateModel &model);

// Reader conversions, also used for objects that are not templates.
QString toString(const QJsonValue &value);
float toFloat(const QJsonValue &value);
int toInt(const QJsonValue &value);
bool toBool(const QJsonValue &value);

} // namespace TemplateJson
